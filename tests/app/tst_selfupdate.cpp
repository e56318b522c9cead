#include <QtTest>

#include <QUuid>

#include "app/leftovercleanup.h"
#include "app/selfupdate.h"
#include "app/singleinstance.h"
#include "httpfixture.h"
#include "platform/platform.h"
#include "scripteddialogs.h"

// The update against a real HTTP server on 127.0.0.1, on files in a temporary directory: a copy of
// a small ELF program plays the running executable.
class SelfUpdateTest : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void digestIsLowerCaseSha256();
    void serverAddressComesFromBuildOrEnvironment_data();
    void serverAddressComesFromBuildOrEnvironment();
    void noServerAddressMeansNoCheck();
    void identicalBuildAsksNothing();
    void differentBuildIsOffered_data();
    void differentBuildIsOffered();
    void unusableDownloadIsSkipped_data();
    void unusableDownloadIsSkipped();
    void yesSwapsRestartsAndNextStartCleansUp();
    void failedStepLeavesTheProgramInPlace_data();
    void failedStepLeavesTheProgramInPlace();
    void unstartableBuildIsRolledBack();

private:
    static QByteArray readFile(const QString &path);
    QStringList entries() const;

    std::unique_ptr<QTemporaryDir> m_dir;
    QString m_executable;
    QByteArray m_running;
    HttpFixture m_http;
    std::unique_ptr<SingleInstance> m_instance;
    QString m_key;
};

static const UpdateTimeouts ShortTimeouts{500, 500, 10000};

QByteArray SelfUpdateTest::readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QStringList SelfUpdateTest::entries() const
{
    return QDir(m_dir->path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden, QDir::Name);
}

void SelfUpdateTest::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
    m_executable = m_dir->filePath(Platform::publishedExecutableName());
    QVERIFY(QFile::copy(QStringLiteral("/bin/true"), m_executable));
    m_running = readFile(m_executable);
    QVERIFY(Platform::isNativeExecutable(m_running));

    m_http.status = 200;
    m_http.body = m_running;
    m_http.behaviour = HttpFixture::Behaviour::Answer;
    m_http.requestLines.clear();
    if (!m_http.isListening())
        QVERIFY(m_http.start());

    m_key = QStringLiteral("QuillonUpdate-") + QUuid::createUuid().toString(QUuid::Id128);
    m_instance = std::make_unique<SingleInstance>(m_key);
    QCOMPARE(m_instance->claim(100, 1000), SingleInstance::Claim::First);
}

void SelfUpdateTest::cleanup()
{
    m_instance.reset();
    QFile::remove(SingleInstance::lockFilePathFor(m_key));
}

void SelfUpdateTest::digestIsLowerCaseSha256()
{
    QCOMPARE(SelfUpdate::fileDigest("abc"),
             QStringLiteral("ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"));
    QCOMPARE(SelfUpdate::fileDigest(QByteArray()),
             QStringLiteral("e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855"));
}

void SelfUpdateTest::serverAddressComesFromBuildOrEnvironment_data()
{
    QTest::addColumn<bool>("set");
    QTest::addColumn<QString>("value");
    QTest::addColumn<QString>("expected");
    QTest::newRow("unset: the build's") << false << "" << QStringLiteral(QUILLON_DEFAULT_UPDATE_URL);
    QTest::newRow("set") << true << "http://updates.example:8080"
                         << "http://updates.example:8080";
    QTest::newRow("set but empty: off") << true << ""
                                        << "";
}

void SelfUpdateTest::serverAddressComesFromBuildOrEnvironment()
{
    QFETCH(bool, set);
    QFETCH(QString, value);
    QFETCH(QString, expected);
    const QByteArray saved = qgetenv("QUILLON_UPDATE_URL");
    const bool wasSet = qEnvironmentVariableIsSet("QUILLON_UPDATE_URL");
    if (set)
        qputenv("QUILLON_UPDATE_URL", value.toUtf8());
    else
        qunsetenv("QUILLON_UPDATE_URL");
    const QString address = updateServerAddress();
    if (wasSet)
        qputenv("QUILLON_UPDATE_URL", saved);
    else
        qunsetenv("QUILLON_UPDATE_URL");
    QCOMPARE(address, expected);
    QCOMPARE(publishedBuildUrl(QStringLiteral("http://updates.example:8080/")).toString(),
             QStringLiteral("http://updates.example:8080/QUILL/Quillon.exe"));
}

void SelfUpdateTest::noServerAddressMeansNoCheck()
{
    m_http.body = m_running + "new";
    ScriptedDialogs dialogs;
    QVERIFY(!updateAtStartup(m_executable, QString(), dialogs, *m_instance, ShortTimeouts));
    QVERIFY(dialogs.records.isEmpty());
    QVERIFY(m_http.requestLines.isEmpty());
}

void SelfUpdateTest::identicalBuildAsksNothing()
{
    ScriptedDialogs dialogs;
    QVERIFY(!updateAtStartup(m_executable, m_http.address(), dialogs, *m_instance, ShortTimeouts));
    QCOMPARE(m_http.requestLines, QList<QByteArray>{"GET /QUILL/Quillon.exe HTTP/1.1"});
    QVERIFY(dialogs.records.isEmpty());
    QCOMPARE(entries(), QStringList{Platform::publishedExecutableName()});
    QCOMPARE(readFile(m_executable), m_running);
}

void SelfUpdateTest::differentBuildIsOffered_data()
{
    QTest::addColumn<int>("change");
    QTest::newRow("one byte changed") << 0;
    QTest::newRow("one byte longer") << 1;
    QTest::newRow("one byte shorter") << -1;
}

void SelfUpdateTest::differentBuildIsOffered()
{
    QFETCH(int, change);
    QByteArray published = m_running;
    if (change == 0)
        published[published.size() / 2] = char(published[published.size() / 2] ^ 0x01);
    else if (change > 0)
        published.append('\0');
    else
        published.chop(1);
    m_http.body = published;

    SelfUpdate update(m_executable);
    QVERIFY2(update.fetchNewBuild(m_http.address(), ShortTimeouts), qPrintable(update.skipReason()));
    QCOMPARE(update.newBuild(), published);

    // Answered No: nothing is written, the program runs on, and the next start asks again.
    for (int start = 0; start < 2; ++start) {
        ScriptedDialogs dialogs;
        dialogs.askAnswers.enqueue(false);
        QVERIFY(!updateAtStartup(m_executable, m_http.address(), dialogs, *m_instance, ShortTimeouts));
        QCOMPARE(dialogs.records.size(), 1);
        QCOMPARE(dialogs.records[0].call, ScriptedDialogs::Call::Ask);
        QCOMPARE(dialogs.records[0].title, QStringLiteral("Доступно обновление"));
        QCOMPARE(dialogs.records[0].text, QStringLiteral("Доступна новая версия ПО, обновить?"));
        QCOMPARE(entries(), QStringList{Platform::publishedExecutableName()});
        QCOMPARE(readFile(m_executable), m_running);
    }
}

void SelfUpdateTest::unusableDownloadIsSkipped_data()
{
    QTest::addColumn<int>("status");
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<int>("behaviour");
    const QByteArray elf = QByteArray("\x7f"
                                      "ELF",
                                      4) +
                           QByteArray(4096, 'x');
    QTest::newRow("404 with an executable body") << 404 << elf << int(HttpFixture::Behaviour::Answer);
    QTest::newRow("500") << 500 << elf << int(HttpFixture::Behaviour::Answer);
    QTest::newRow("empty body") << 200 << QByteArray() << int(HttpFixture::Behaviour::Answer);
    QTest::newRow("HTML page") << 200 << QByteArray("<!DOCTYPE html><html><body>Moved</body></html>")
                               << int(HttpFixture::Behaviour::Answer);
    QTest::newRow("Windows build on Linux")
        << 200 << QByteArray("MZ") + QByteArray(4096, 'x') << int(HttpFixture::Behaviour::Answer);
    QTest::newRow("cut short") << 200 << elf << int(HttpFixture::Behaviour::CutShort);
    QTest::newRow("stalls mid-body") << 200 << elf << int(HttpFixture::Behaviour::Stall);
    QTest::newRow("never answers") << 200 << elf << int(HttpFixture::Behaviour::NeverAnswer);
}

void SelfUpdateTest::unusableDownloadIsSkipped()
{
    QFETCH(int, status);
    QFETCH(QByteArray, body);
    QFETCH(int, behaviour);
    m_http.status = status;
    m_http.body = body;
    m_http.behaviour = HttpFixture::Behaviour(behaviour);

    ScriptedDialogs dialogs;
    dialogs.askAnswers.enqueue(true);
    QElapsedTimer clock;
    clock.start();
    QVERIFY(!updateAtStartup(m_executable, m_http.address(), dialogs, *m_instance, ShortTimeouts));
    // Gives up on its time-outs, far from hanging the start-up.
    QVERIFY2(clock.elapsed() < ShortTimeouts.totalMs, qPrintable(QString::number(clock.elapsed())));
    QCOMPARE(m_http.requestLines.size(), 1);
    QVERIFY(dialogs.records.isEmpty());
    QCOMPARE(entries(), QStringList{Platform::publishedExecutableName()});
    QCOMPARE(readFile(m_executable), m_running);

    SelfUpdate update(m_executable);
    QVERIFY(!update.fetchNewBuild(m_http.address(), ShortTimeouts));
    QVERIFY(!update.skipReason().isEmpty());
    QVERIFY(update.newBuild().isEmpty());
}

void SelfUpdateTest::yesSwapsRestartsAndNextStartCleansUp()
{
    const QByteArray published = readFile(QStringLiteral(UPDATE_PROBE_PATH));
    QVERIFY(Platform::isNativeExecutable(published));
    m_http.body = published;
    // The marker goes elsewhere: the started build may write it at any moment.
    QTemporaryDir markerDir;
    QVERIFY(markerDir.isValid());
    const QString marker = markerDir.filePath(QStringLiteral("probe-started"));
    qputenv("QUILLON_PROBE_MARKER", marker.toUtf8());

    ScriptedDialogs dialogs;
    dialogs.askAnswers.enqueue(true);
    const bool restarted =
        updateAtStartup(m_executable, m_http.address(), dialogs, *m_instance, ShortTimeouts);
    qunsetenv("QUILLON_PROBE_MARKER");
    QVERIFY(restarted);
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
    QCOMPARE(readFile(script), Platform::cleanupScriptText(old));
    // The new build was started, and the lock was left free for it.
    QTRY_VERIFY(QFile::exists(marker));
    SingleInstance successor(m_key);
    QCOMPARE(successor.claim(100, 1000), SingleInstance::Claim::First);

    // The next start runs the clean-up script, which removes the old build.
    QVERIFY(finishLeftoverUpdate(m_dir->path()));
    QCOMPARE(entries(), QStringList{Platform::publishedExecutableName()});
    QCOMPARE(readFile(m_executable), published);
}

void SelfUpdateTest::failedStepLeavesTheProgramInPlace_data()
{
    QTest::addColumn<QString>("obstacle");
    // A directory with content where a file is to go cannot be replaced or removed.
    QTest::newRow("new build cannot be stored") << Platform::downloadedExecutableName();
    QTest::newRow("old build cannot be moved aside") << Platform::oldExecutableName();
    QTest::newRow("clean-up script cannot be written") << Platform::cleanupScriptName();
}

void SelfUpdateTest::failedStepLeavesTheProgramInPlace()
{
    QFETCH(QString, obstacle);
    QVERIFY(QDir(m_dir->path()).mkpath(obstacle + QStringLiteral("/inside")));
    m_http.body = m_running + QByteArray("new");

    ScriptedDialogs dialogs;
    dialogs.askAnswers.enqueue(true);
    QVERIFY(!updateAtStartup(m_executable, m_http.address(), dialogs, *m_instance, ShortTimeouts));
    QCOMPARE(dialogs.records.size(), 1);
    QStringList expected{obstacle, Platform::publishedExecutableName()};
    expected.sort();
    QCOMPARE(entries(), expected);
    QCOMPARE(readFile(m_executable), m_running);
    QVERIFY(QFileInfo(m_executable).isExecutable());
    // Still the first instance: a later start hands over to it.
    SingleInstance later(m_key);
    QCOMPARE(later.claim(100, 1000), SingleInstance::Claim::Undecided);
}

void SelfUpdateTest::unstartableBuildIsRolledBack()
{
    // Looks like an executable, but the system refuses to run it.
    m_http.body = QByteArray("\x7f"
                             "ELF",
                             4) +
                  QByteArray(64, '\0');
    SelfUpdate update(m_executable);
    QVERIFY(update.fetchNewBuild(m_http.address(), ShortTimeouts));
    QVERIFY(update.install());
    QCOMPARE(readFile(m_executable), m_http.body);
    QVERIFY(!update.restart());
    QCOMPARE(entries(), QStringList{Platform::publishedExecutableName()});
    QCOMPARE(readFile(m_executable), m_running);
    QVERIFY(QFileInfo(m_executable).isExecutable());

    // The whole start-up step ends the same way, and this instance keeps (or takes back) the lock.
    ScriptedDialogs dialogs;
    dialogs.askAnswers.enqueue(true);
    QVERIFY(!updateAtStartup(m_executable, m_http.address(), dialogs, *m_instance, ShortTimeouts));
    QCOMPARE(dialogs.records.size(), 1);
    QCOMPARE(entries(), QStringList{Platform::publishedExecutableName()});
    QCOMPARE(readFile(m_executable), m_running);
    SingleInstance later(m_key);
    QCOMPARE(later.claim(100, 1000), SingleInstance::Claim::Undecided);
}

QTEST_GUILESS_MAIN(SelfUpdateTest)
#include "tst_selfupdate.moc"
