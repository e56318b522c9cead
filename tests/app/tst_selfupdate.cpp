#include <QtTest>

#include "httpfixture.h"
#include "leftovercleanup.h"
#include "platform.h"
#include "processes.h"
#include "scripteddialogs.h"
#include "selfupdate.h"
#include "singleinstance.h"
#include "testplatform.h"
#include "updaterelease.h"
#include "updatesignature.h"

// The update against a real HTTP server on 127.0.0.1, with a key pair made here, on files in a
// temporary directory: a copy of the update probe built with the tests plays the running executable.
class SelfUpdateTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();
    void sourceComesFromBuildOrEnvironment_data();
    void sourceComesFromBuildOrEnvironment();
    void withoutAddressOrKeyNothingIsRequested_data();
    void withoutAddressOrKeyNothingIsRequested();
    void signedNewerReleaseIsOffered();
    void releaseIsSkippedWithoutAQuestion_data();
    void releaseIsSkippedWithoutAQuestion();
    void cancelledDownloadLeavesNothing_data();
    void cancelledDownloadLeavesNothing();
    void unwritableFolderIsNeverOffered();
    void yesSwapsRestartsAndNextStartCleansUp();
    void failedInstallIsReported_data();
    void failedInstallIsReported();
    void unstartableBuildIsRolledBackAndReported();
    void publishingScriptRoundTrips();

private:
    static QByteArray readFile(const QString &path);
    QStringList entries() const;
    UpdateSource source() const { return {m_http.address(), m_publisher.publicKey(), {}}; }
    // Runs the start-up step and checks that it left the program as it was and asked nothing.
    void expectNothingOffered(const QString &reasonPart);
    // Runs the start-up step, answers Yes, and checks that the download was refused and reported.
    void expectDownloadRefused(const QString &reasonPart);

    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<QTemporaryDir> m_runtime;
    QString m_executable;
    QByteArray m_running;
    QByteArray m_newer; // a different executable for this platform
    HttpFixture m_http;
    UpdatePublisher m_publisher;
    std::unique_ptr<SingleInstance> m_instance;
};

static const UpdateTimeouts ShortTimeouts{500, 500, 10000};

// Whether a reason says what the row expects. Under Wine on a busy machine an endless answer may
// come too slowly to pass its size limit within the short time-outs: running out of time is the
// same refusal there.
static bool reasonFits(const QString &reason, const QString &expected)
{
    if (reason.contains(expected))
        return true;
    return !TestPlatform::isPosix() && expected.startsWith(QStringLiteral("more than")) &&
           reason.contains(QStringLiteral("no answer in time"));
}

QByteArray SelfUpdateTest::readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QStringList SelfUpdateTest::entries() const
{
    return QDir(m_dir->path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden, QDir::Name);
}

void SelfUpdateTest::initTestCase()
{
    QVERIFY(m_http.start());
}

void SelfUpdateTest::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
    m_executable = m_dir->filePath(Platform::publishedExecutableName());
    // The update probe, with a trailer that keeps it apart from the probe as published.
    QVERIFY(QFile::copy(builtProgram(QStringLiteral(UPDATE_PROBE_PATH)), m_executable));
    {
        QFile running(m_executable);
        QVERIFY(running.open(QIODevice::Append));
        running.write("running build");
    }
    m_running = readFile(m_executable);
    QVERIFY(Platform::isNativeExecutable(m_running));
    m_newer = m_running + QByteArray("new build");
    m_http.reset();

    m_runtime = std::make_unique<QTemporaryDir>();
    QVERIFY(m_runtime->isValid());
    m_instance = std::make_unique<SingleInstance>(m_runtime->path());
    QCOMPARE(m_instance->claim(), SingleInstance::Claim::First);
    QVERIFY(m_instance->listen());
}

void SelfUpdateTest::cleanup()
{
    // The lock goes before the directory that holds it.
    m_instance.reset();
}

void SelfUpdateTest::expectNothingOffered(const QString &reasonPart)
{
    ScriptedDialogs dialogs;
    dialogs.askAnswers.enqueue(true);
    QElapsedTimer clock;
    clock.start();
    QVERIFY(!updateAtStartup(m_executable, source(), dialogs, *m_instance, ShortTimeouts));
    // Gives up on its time-outs, far from hanging the start-up.
    QVERIFY2(clock.elapsed() < ShortTimeouts.totalMs, qPrintable(QString::number(clock.elapsed())));
    QVERIFY(dialogs.records.isEmpty());
    QCOMPARE(entries(), QStringList{Platform::publishedExecutableName()});
    QCOMPARE(readFile(m_executable), m_running);

    SelfUpdate update(m_executable);
    QVERIFY(!update.findRelease(source(), ShortTimeouts));
    QVERIFY2(reasonFits(update.skipReason(), reasonPart), qPrintable(update.skipReason()));
    QCOMPARE(entries(), QStringList{Platform::publishedExecutableName()});
}

void SelfUpdateTest::expectDownloadRefused(const QString &reasonPart)
{
    ScriptedDialogs dialogs;
    dialogs.askAnswers.enqueue(true);
    QVERIFY(!updateAtStartup(m_executable, source(), dialogs, *m_instance, ShortTimeouts));
    QCOMPARE(dialogs.records.size(), 2);
    QCOMPARE(dialogs.records[0].call, ScriptedDialogs::Call::Ask);
    QCOMPARE(dialogs.records[1].kind, MessageKind::Critical);
    QVERIFY2(reasonFits(dialogs.records[1].text, reasonPart), qPrintable(dialogs.records[1].text));
    QCOMPARE(entries(), QStringList{Platform::publishedExecutableName()});
    QCOMPARE(readFile(m_executable), m_running);
}

void SelfUpdateTest::sourceComesFromBuildOrEnvironment_data()
{
    QTest::addColumn<QByteArray>("variable");
    QTest::addColumn<bool>("set");
    QTest::addColumn<QString>("value");
    QTest::addColumn<QString>("expected"); // the address, or the key in base64
    QTest::addColumn<bool>("keyProblem");
    const QString key = QString::fromLatin1(QByteArray(32, '\x5a').toBase64());
    QTest::newRow("address unset: the build's")
        << QByteArray("QUILLON_UPDATE_URL") << false << "" << UpdateSource::builtInAddress() << false;
    QTest::newRow("address set") << QByteArray("QUILLON_UPDATE_URL") << true << "http://updates.example:8080"
                                 << "http://updates.example:8080" << false;
    QTest::newRow("address set but empty: off") << QByteArray("QUILLON_UPDATE_URL") << true << ""
                                                << "" << false;
    QTest::newRow("key unset: the build's") << QByteArray("QUILLON_UPDATE_PUBLIC_KEY") << false << ""
                                            << UpdateSource::builtInPublicKey() << false;
    QTest::newRow("key set") << QByteArray("QUILLON_UPDATE_PUBLIC_KEY") << true << key << key << false;
    QTest::newRow("key set but empty: none") << QByteArray("QUILLON_UPDATE_PUBLIC_KEY") << true << ""
                                             << "" << false;
    QTest::newRow("key not base64") << QByteArray("QUILLON_UPDATE_PUBLIC_KEY") << true << "not*base64!"
                                    << "" << true;
    QTest::newRow("key of 31 bytes") << QByteArray("QUILLON_UPDATE_PUBLIC_KEY") << true
                                     << QString::fromLatin1(QByteArray(31, 'k').toBase64()) << "" << true;
}

void SelfUpdateTest::sourceComesFromBuildOrEnvironment()
{
    QFETCH(QByteArray, variable);
    QFETCH(bool, set);
    QFETCH(QString, value);
    QFETCH(QString, expected);
    QFETCH(bool, keyProblem);
    const std::optional<QByteArray> saved =
        qEnvironmentVariableIsSet(variable) ? std::optional(qgetenv(variable)) : std::nullopt;
    if (set)
        qputenv(variable, value.toUtf8());
    else
        qunsetenv(variable);
    const UpdateSource source = UpdateSource::fromBuildAndEnvironment();
    if (saved)
        qputenv(variable, *saved);
    else
        qunsetenv(variable);

    if (variable == "QUILLON_UPDATE_URL")
        QCOMPARE(source.address, expected);
    else
        QCOMPARE(QString::fromLatin1(source.publicKey.toBase64()), expected);
    QCOMPARE(!source.keyProblem.isEmpty(), keyProblem);
    const UpdateSource server{QStringLiteral("http://updates.example:8080/"), {}, {}};
    QCOMPARE(server.fileUrl(SelfUpdate::manifestFileName()).toString(),
             QStringLiteral("http://updates.example:8080/QUILL/Quillon.exe.json"));
}

void SelfUpdateTest::withoutAddressOrKeyNothingIsRequested_data()
{
    QTest::addColumn<bool>("withAddress");
    QTest::addColumn<QString>("keyText");
    QTest::newRow("no address") << false << m_publisher.publicKeyBase64();
    QTest::newRow("no key") << true << "";
    QTest::newRow("a key that is no key") << true << "AAAA";
}

void SelfUpdateTest::withoutAddressOrKeyNothingIsRequested()
{
    QFETCH(bool, withAddress);
    QFETCH(QString, keyText);
    m_publisher.publish(m_http, UpdatePublisher::versionAfterRunning(), m_newer);
    UpdateSource source;
    source.address = withAddress ? m_http.address() : QString();
    if (!keyText.isEmpty())
        source.publicKey = UpdateSignature::decodePublicKey(keyText, &source.keyProblem);

    ScriptedDialogs dialogs;
    dialogs.askAnswers.enqueue(true);
    QVERIFY(!updateAtStartup(m_executable, source, dialogs, *m_instance, ShortTimeouts));
    SelfUpdate update(m_executable);
    QVERIFY(!update.findRelease(source, ShortTimeouts));
    QVERIFY(!update.skipReason().isEmpty());
    QVERIFY(dialogs.records.isEmpty());
    QVERIFY(m_http.requestLines.isEmpty());
    QCOMPARE(entries(), QStringList{Platform::publishedExecutableName()});
}

void SelfUpdateTest::signedNewerReleaseIsOffered()
{
    const QString version = UpdatePublisher::versionAfterRunning();
    m_publisher.publish(m_http, version, m_newer);
    {
        SelfUpdate update(m_executable);
        QVERIFY2(update.findRelease(source(), ShortTimeouts), qPrintable(update.skipReason()));
        QCOMPARE(update.release().version.toString(), version);
        // Only the manifest and its signature until the user agrees.
        QCOMPARE(m_http.requestLines.size(), 2);
        QCOMPARE(entries(), QStringList{Platform::publishedExecutableName()});
        QVERIFY2(update.download(source(), {}, ShortTimeouts), qPrintable(update.problem()));
        QCOMPARE(QFileInfo(update.downloadedPath()).absolutePath(), m_dir->path());
        QCOMPARE(readFile(update.downloadedPath()), m_newer);
        QCOMPARE(m_http.requestLines, (QList<QByteArray>{"GET /QUILL/Quillon.exe.json HTTP/1.1",
                                                         "GET /QUILL/Quillon.exe.json.sig HTTP/1.1",
                                                         "GET /QUILL/Quillon.exe HTTP/1.1"}));
    }
    // A download not installed does not stay behind.
    QCOMPARE(entries(), QStringList{Platform::publishedExecutableName()});

    // Answered No: nothing is written, the program runs on, and the next start asks again.
    for (int start = 0; start < 2; ++start) {
        ScriptedDialogs dialogs;
        dialogs.askAnswers.enqueue(false);
        QVERIFY(!updateAtStartup(m_executable, source(), dialogs, *m_instance, ShortTimeouts));
        QCOMPARE(dialogs.records.size(), 1);
        QCOMPARE(dialogs.records[0].call, ScriptedDialogs::Call::Ask);
        QCOMPARE(dialogs.records[0].title, QStringLiteral("Доступно обновление"));
        QCOMPARE(dialogs.records[0].text, QStringLiteral("Доступна новая версия ПО, обновить?"));
        QCOMPARE(entries(), QStringList{Platform::publishedExecutableName()});
        QCOMPARE(readFile(m_executable), m_running);
    }
}

void SelfUpdateTest::releaseIsSkippedWithoutAQuestion_data()
{
    // Faults of the executable show only once the user agreed: they are reported then.
    QTest::addColumn<QString>("change");
    QTest::addColumn<QString>("reasonPart");
    QTest::newRow("unsigned") << "no signature"
                              << "Quillon.exe.json.sig: HTTP status 404";
    QTest::newRow("signed with another key") << "other key"
                                             << "not signed with the public key";
    QTest::newRow("manifest changed after signing") << "tampered manifest"
                                                    << "not signed with the public key";
    QTest::newRow("executable changed after signing") << "tampered executable"
                                                      << "SHA-256";
    QTest::newRow("older version") << "older"
                                   << "is not newer";
    QTest::newRow("equal version") << "equal"
                                   << "is not newer";
    QTest::newRow("equal version with a trailing .0") << "equal.0"
                                                      << "is not newer";
    QTest::newRow("executable longer than the manifest says") << "longer"
                                                              << "more than";
    QTest::newRow("executable cut short, no length") << "cut without length"
                                                     << "bytes, the manifest says";
    QTest::newRow("executable cut short, with a length") << "cut with length"
                                                         << "Quillon.exe:";
    QTest::newRow("executable stalls") << "stall"
                                       << "no data for 500 ms";
    QTest::newRow("manifest never answered") << "manifest never answers"
                                             << "no answer in time";
    QTest::newRow("same build as the running one") << "same build"
                                                   << "is the running build";
    QTest::newRow("signed HTML page") << "html"
                                      << "not an executable";
    QTest::newRow("manifest not JSON") << "manifest: not json"
                                       << "not JSON";
    QTest::newRow("manifest without sha256") << "manifest: no sha256"
                                             << "\"sha256\"";
    QTest::newRow("sha256 in upper case") << "manifest: upper-case sha256"
                                          << "\"sha256\"";
    QTest::newRow("version with a suffix") << "manifest: rc version"
                                           << "\"version\"";
    QTest::newRow("size not whole") << "manifest: size 1.5"
                                    << "\"size\"";
    QTest::newRow("size of 1 GiB") << "manifest: size 1 GiB"
                                   << "\"size\"";
    QTest::newRow("signature of 65 bytes") << "long signature"
                                           << "more than 64 bytes";
    QTest::newRow("endless manifest") << "endless manifest"
                                      << "more than 4096 bytes";
    QTest::newRow("endless signature") << "endless signature"
                                       << "more than 64 bytes";
    QTest::newRow("endless executable") << "endless executable"
                                        << "more than";
    QTest::newRow("executable redirected to another port") << "redirect"
                                                           << "not followed";
}

void SelfUpdateTest::releaseIsSkippedWithoutAQuestion()
{
    QFETCH(QString, change);
    QFETCH(QString, reasonPart);
    const QByteArray exePath = UpdatePublisher::path(SelfUpdate::executableFileName());
    const QByteArray manifestPath = UpdatePublisher::path(SelfUpdate::manifestFileName());
    const QByteArray signaturePath = UpdatePublisher::path(SelfUpdate::signatureFileName());
    QString version = UpdatePublisher::versionAfterRunning();
    QByteArray executable = m_newer;
    if (change == QLatin1String("older"))
        version = UpdatePublisher::versionAfterRunning(-1);
    if (change.startsWith(QLatin1String("equal")))
        version =
            SelfUpdate::runningVersion().toString() + (change.endsWith(QLatin1String(".0")) ? ".0" : "");
    if (change == QLatin1String("same build"))
        executable = m_running;
    if (change == QLatin1String("html"))
        executable = "<!DOCTYPE html><html><body>Maintenance</body></html>";
    m_publisher.publish(m_http, version, executable);
    auto &manifest = m_http.replies[manifestPath];
    auto &signature = m_http.replies[signaturePath];
    auto &published = m_http.replies[exePath];

    // A manifest of the publisher's, signed by them, saying something else.
    const auto signedManifest = [&](const QByteArray &text) {
        manifest.body = text;
        signature.body = m_publisher.sign(text);
    };
    const QByteArray sha = QCryptographicHash::hash(executable, QCryptographicHash::Sha256).toHex();
    const QByteArray size = QByteArray::number(executable.size());
    if (change == QLatin1String("no signature"))
        m_http.replies.remove(signaturePath);
    if (change == QLatin1String("other key"))
        signature.body = UpdatePublisher().sign(manifest.body);
    if (change == QLatin1String("tampered manifest"))
        manifest.body.replace(version.toUtf8(), "99.0.0");
    if (change == QLatin1String("tampered executable"))
        published.body[published.body.size() - 1] = 'X';
    if (change == QLatin1String("longer"))
        published.body += "trailing bytes";
    if (change == QLatin1String("cut without length"))
        published.behaviour = HttpFixture::Behaviour::NoLengthCut;
    if (change == QLatin1String("cut with length"))
        published.behaviour = HttpFixture::Behaviour::CutShort;
    if (change == QLatin1String("stall"))
        published.behaviour = HttpFixture::Behaviour::Stall;
    if (change == QLatin1String("manifest never answers"))
        manifest.behaviour = HttpFixture::Behaviour::NeverAnswer;
    if (change == QLatin1String("manifest: not json"))
        signedManifest("version=" + version.toUtf8());
    if (change == QLatin1String("manifest: no sha256"))
        signedManifest("{\"version\": \"" + version.toUtf8() + "\", \"size\": " + size + "}");
    if (change == QLatin1String("manifest: upper-case sha256"))
        signedManifest("{\"version\": \"" + version.toUtf8() + "\", \"size\": " + size + ", \"sha256\": \"" +
                       sha.toUpper() + "\"}");
    if (change == QLatin1String("manifest: rc version"))
        signedManifest("{\"version\": \"" + version.toUtf8() + "-rc1\", \"size\": " + size +
                       ", \"sha256\": \"" + sha + "\"}");
    if (change == QLatin1String("manifest: size 1.5"))
        signedManifest("{\"version\": \"" + version.toUtf8() + "\", \"size\": 1.5, \"sha256\": \"" + sha +
                       "\"}");
    if (change == QLatin1String("manifest: size 1 GiB"))
        signedManifest("{\"version\": \"" + version.toUtf8() + "\", \"size\": 1073741824, \"sha256\": \"" +
                       sha + "\"}");
    if (change == QLatin1String("long signature"))
        signature.body += 'x';
    if (change == QLatin1String("endless manifest"))
        manifest.behaviour = HttpFixture::Behaviour::Endless;
    if (change == QLatin1String("endless signature"))
        signature.behaviour = HttpFixture::Behaviour::Endless;
    if (change == QLatin1String("endless executable"))
        published.behaviour = HttpFixture::Behaviour::Endless;
    HttpFixture elsewhere;
    if (change == QLatin1String("redirect")) {
        QVERIFY(elsewhere.start());
        elsewhere.replies[exePath] = {executable};
        published = {elsewhere.address().toUtf8() + exePath, HttpFixture::Behaviour::Redirect};
    }

    static const QStringList faultsOfTheExecutable{"tampered executable", "longer",  "cut without length",
                                                   "cut with length",     "stall",   "html",
                                                   "endless executable",  "redirect"};
    if (faultsOfTheExecutable.contains(change))
        expectDownloadRefused(reasonPart);
    else
        expectNothingOffered(reasonPart);
    QVERIFY(elsewhere.requestLines.isEmpty());
    // Oversized bodies are cut off early, never read to their gigabyte.
    QVERIFY2(m_http.endlessBytesSent < 64 * 1024 * 1024,
             qPrintable(QString::number(m_http.endlessBytesSent)));
}

void SelfUpdateTest::cancelledDownloadLeavesNothing_data()
{
    QTest::addColumn<bool>("trickling");
    QTest::newRow("cancelled on the first bytes") << false;
    QTest::newRow("cancelled while the server sends a byte a second") << true;
}

void SelfUpdateTest::cancelledDownloadLeavesNothing()
{
    QFETCH(bool, trickling);
    m_publisher.publish(m_http, UpdatePublisher::versionAfterRunning(), m_newer);
    if (trickling)
        m_http.replies[UpdatePublisher::path(SelfUpdate::executableFileName())].behaviour =
            HttpFixture::Behaviour::Trickle;
    SelfUpdate update(m_executable);
    QVERIFY2(update.findRelease(source(), ShortTimeouts), qPrintable(update.skipReason()));
    ScriptedDialogs dialogs;
    dialogs.askAnswers.enqueue(true);
    QElapsedTimer clock;
    clock.start();
    // "Отмена" pressed once bytes have arrived, or after 300 ms of a trickle.
    const DownloadProgress cancel = [&](qint64 done, qint64) {
        return trickling ? clock.elapsed() < 300 : done == 0;
    };
    QVERIFY(!acceptAndInstall(update, source(), dialogs, cancel, {500, 5000, 10000}));
    QVERIFY(update.wasCancelled());
    // At once, not when the server gives up or the transfer times out.
    QVERIFY2(clock.elapsed() < 3000, qPrintable(QString::number(clock.elapsed())));
    // Asked, and nothing more: the user knows why nothing happened.
    QCOMPARE(dialogs.records.size(), 1);
    QCOMPARE(entries(), QStringList{Platform::publishedExecutableName()});
    QCOMPARE(readFile(m_executable), m_running);
}

// Makes a directory that not even root can add files to, for the lifetime of the object.
class UnwritableDirectory {
public:
    explicit UnwritableDirectory(const QString &path) : m_path(path)
    {
        // Windows keeps files out of a folder only through its access list, not set here.
        if (!TestPlatform::isPosix())
            return;
        if (TestPlatform::isSuperUser())
            m_done = QProcess::execute(QStringLiteral("chattr"), {QStringLiteral("+i"), path}) == 0;
        else
            m_done = QFile::setPermissions(path, QFileDevice::ReadOwner | QFileDevice::ExeOwner);
    }
    ~UnwritableDirectory()
    {
        if (!m_done)
            return;
        if (TestPlatform::isSuperUser())
            QProcess::execute(QStringLiteral("chattr"), {QStringLiteral("-i"), m_path});
        else
            QFile::setPermissions(m_path,
                                  QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    }
    bool isDone() const { return m_done; }

private:
    QString m_path;
    bool m_done = false;
};

void SelfUpdateTest::unwritableFolderIsNeverOffered()
{
    m_publisher.publish(m_http, UpdatePublisher::versionAfterRunning(), m_newer);
    {
        UnwritableDirectory locked(m_dir->path());
        if (!locked.isDone())
            QSKIP("this file system cannot make a directory unwritable");
        QTemporaryFile probe(m_dir->filePath(QStringLiteral("probe.XXXXXX")));
        QVERIFY(!probe.open());
        expectNothingOffered(QStringLiteral("cannot be written"));
    }
    // The executable was never downloaded: it could not have been installed.
    QVERIFY(!m_http.requestLines.contains("GET /QUILL/Quillon.exe HTTP/1.1"));
}

void SelfUpdateTest::yesSwapsRestartsAndNextStartCleansUp()
{
    const QByteArray published = readFile(builtProgram(QStringLiteral(UPDATE_PROBE_PATH)));
    QVERIFY(Platform::isNativeExecutable(published));
    m_publisher.publish(m_http, UpdatePublisher::versionAfterRunning(), published);
    // The marker goes elsewhere: the started build may write it at any moment.
    QTemporaryDir markerDir;
    QVERIFY(markerDir.isValid());
    const QString marker = markerDir.filePath(QStringLiteral("probe-started"));
    qputenv("QUILLON_PROBE_MARKER", marker.toUtf8());

    ScriptedDialogs dialogs;
    dialogs.askAnswers.enqueue(true);
    const bool restarted = updateAtStartup(m_executable, source(), dialogs, *m_instance, ShortTimeouts);
    qunsetenv("QUILLON_PROBE_MARKER");
    QVERIFY2(restarted, qPrintable(dialogs.messageTexts().join(QLatin1Char('\n'))));
    QCOMPARE(dialogs.records.size(), 1);

    const QString old = m_dir->filePath(Platform::oldExecutableName());
    const QString script = m_dir->filePath(Platform::cleanupScriptName());
    QStringList expected{Platform::cleanupScriptName(), Platform::oldExecutableName(),
                         Platform::publishedExecutableName()};
    expected.sort();
    QCOMPARE(entries(), expected);
    QCOMPARE(readFile(m_executable), published);
    QVERIFY(QFileInfo(m_executable).isExecutable());
    QCOMPARE(readFile(old), m_running);
    QCOMPARE(readFile(script),
             Platform::cleanupScriptText(
                 old, QCryptographicHash::hash(m_running, QCryptographicHash::Sha256).toHex()));
    // The new build was started, and the lock was left free for it.
    QTRY_VERIFY(QFile::exists(marker));
    QVERIFY(!m_instance->isListening());
    SingleInstance successor(m_runtime->path());
    QCOMPARE(successor.claim(), SingleInstance::Claim::First);

    // The next start runs the clean-up script, which removes the old build.
    QVERIFY(finishLeftoverUpdate(m_dir->path()));
    QCOMPARE(entries(), QStringList{Platform::publishedExecutableName()});
    QCOMPARE(readFile(m_executable), published);
}

void SelfUpdateTest::failedInstallIsReported_data()
{
    QTest::addColumn<QString>("obstacle");
    QTest::addColumn<QString>("reasonPart");
    // Whatever stands where a file of the update is to go is not the update's to replace.
    QTest::newRow("old build cannot be moved aside") << Platform::oldExecutableName() << "уже существует";
    QTest::newRow("clean-up script cannot be written") << Platform::cleanupScriptName() << "уже существует";
}

void SelfUpdateTest::failedInstallIsReported()
{
    QFETCH(QString, obstacle);
    QFETCH(QString, reasonPart);
    QVERIFY(QDir(m_dir->path()).mkpath(obstacle + QStringLiteral("/inside")));
    m_publisher.publish(m_http, UpdatePublisher::versionAfterRunning(), m_newer);

    ScriptedDialogs dialogs;
    dialogs.askAnswers.enqueue(true);
    QVERIFY(!updateAtStartup(m_executable, source(), dialogs, *m_instance, ShortTimeouts));
    QCOMPARE(dialogs.records.size(), 2);
    QCOMPARE(dialogs.records[0].call, ScriptedDialogs::Call::Ask);
    const ScriptedDialogs::Record &report = dialogs.records[1];
    QCOMPARE(report.call, ScriptedDialogs::Call::Message);
    QCOMPARE(report.kind, MessageKind::Critical);
    QCOMPARE(report.title, QStringLiteral("Error!"));
    QVERIFY2(report.text.startsWith(QStringLiteral("Обновление не установлено: ")), qPrintable(report.text));
    QVERIFY2(report.text.contains(reasonPart), qPrintable(report.text));

    QStringList expected{obstacle, Platform::publishedExecutableName()};
    expected.sort();
    QCOMPARE(entries(), expected);
    QCOMPARE(readFile(m_executable), m_running);
    QVERIFY(QFileInfo(m_executable).isExecutable());
    QVERIFY(m_instance->isListening());
}

void SelfUpdateTest::unstartableBuildIsRolledBackAndReported()
{
    // Looks like an executable of this system, but the system refuses to run it.
    const QByteArray unstartable = (TestPlatform::isPosix() ? QByteArray("\x7f"
                                                                         "ELF")
                                                            : QByteArray("MZ")) +
                                   QByteArray(64, '\0');
    m_publisher.publish(m_http, UpdatePublisher::versionAfterRunning(), unstartable);

    ScriptedDialogs dialogs;
    dialogs.askAnswers.enqueue(true);
    QVERIFY(!updateAtStartup(m_executable, source(), dialogs, *m_instance, ShortTimeouts));
    QCOMPARE(dialogs.records.size(), 2);
    QCOMPARE(dialogs.records[1].kind, MessageKind::Critical);
    QVERIFY2(dialogs.records[1].text.contains(QStringLiteral("не удалось запустить новую версию")),
             qPrintable(dialogs.records[1].text));
    QCOMPARE(entries(), QStringList{Platform::publishedExecutableName()});
    QCOMPARE(readFile(m_executable), m_running);
    QVERIFY(QFileInfo(m_executable).isExecutable());
    // This instance took its lock back and listens again for later starts.
    QVERIFY(m_instance->isListening());
    SingleInstance later(m_runtime->path());
    QCOMPARE(later.claim({200, 50}), SingleInstance::Claim::NotAnswering);
}

void SelfUpdateTest::publishingScriptRoundTrips()
{
    if (QStandardPaths::findExecutable(QStringLiteral("openssl")).isEmpty())
        QSKIP("openssl is not installed");
    QTemporaryDir publisher;
    QVERIFY(publisher.isValid());
    const QString key = publisher.filePath(QStringLiteral("update-key.pem"));
    QCOMPARE(QProcess::execute(QStringLiteral("openssl"), {"genpkey", "-algorithm", "ed25519", "-out", key}),
             0);
    const QString built = publisher.filePath(QStringLiteral("quillon built"));
    {
        QFile file(built);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(m_newer);
    }
    const QString release = publisher.filePath(QStringLiteral("site/QUILL"));
    const QString version = UpdatePublisher::versionAfterRunning();

    QProcess script;
    script.start(QStringLiteral(PUBLISH_SCRIPT_PATH), {key, built, version, release});
    QVERIFY(script.waitForFinished(30000));
    QVERIFY2(script.exitCode() == 0, script.readAllStandardError().constData());
    QProcess printKey;
    printKey.start(QStringLiteral(PUBLISH_SCRIPT_PATH), {QStringLiteral("--public-key"), key});
    QVERIFY(printKey.waitForFinished(30000));
    QCOMPARE(printKey.exitCode(), 0);
    QString problem;
    const QByteArray publicKey =
        UpdateSignature::decodePublicKey(QString::fromLatin1(printKey.readAllStandardOutput()), &problem);
    QVERIFY2(!publicKey.isEmpty(), qPrintable(problem));

    // The files as written are what the program checks.
    const QByteArray manifest = readFile(release + QStringLiteral("/Quillon.exe.json"));
    QVERIFY(UpdateSignature::verify(publicKey, manifest,
                                    readFile(release + QStringLiteral("/Quillon.exe.json.sig"))));
    const std::optional<UpdateManifest> parsed = UpdateManifest::parse(manifest, &problem);
    QVERIFY2(parsed, qPrintable(problem));
    QCOMPARE(parsed->version.toString(), version);
    QCOMPARE(parsed->size, m_newer.size());
    QCOMPARE(readFile(release + QStringLiteral("/Quillon.exe")), m_newer);

    // Served as published, the release is offered.
    for (const QString &name :
         {SelfUpdate::executableFileName(), SelfUpdate::manifestFileName(), SelfUpdate::signatureFileName()})
        m_http.replies[UpdatePublisher::path(name)] = {readFile(release + QLatin1Char('/') + name)};
    SelfUpdate update(m_executable);
    QVERIFY2(update.findRelease({m_http.address(), publicKey, {}}, ShortTimeouts),
             qPrintable(update.skipReason()));
    QVERIFY(!update.findRelease(source(), ShortTimeouts)); // another publisher's key
}

QTEST_GUILESS_MAIN(SelfUpdateTest)
#include "tst_selfupdate.moc"
