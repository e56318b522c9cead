#include <QtTest>

#include <QLocalSocket>
#include <QUuid>

#include "app/selfupdate.h"
#include "app/singleinstance.h"
#include "httpfixture.h"
#include "platform/platform.h"
#include "quillonprocess.h"
#include "scripteddialogs.h"

#include <signal.h>

// Start-up of the real program: two processes meeting through the single-instance guard, a crashed
// first instance, and the clean-up left by an update.
class StartupTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();
    void secondStartHandsOverAndShowsNoWindow();
    void malformedActivationIsIgnored_data();
    void malformedActivationIsIgnored();
    void killedFirstInstanceDoesNotBlockLaterStarts();
    void leftoverUpdateIsCleanedUpBesideTheExecutable();
    void publishedBuildThatOffersNothingStartsNormally_data();
    void publishedBuildThatOffersNothingStartsNormally();
    void acceptedUpdateRestartsIntoTheNewBuild();

private:
    QString logPath(const QString &name) const { return m_workDir->filePath(name + QStringLiteral(".log")); }
    std::unique_ptr<QuillonProcess> launch(const QString &name,
                                           const QString &program = QuillonProcess::builtProgram(),
                                           const QString &updateServer = QString());

    std::unique_ptr<QTemporaryDir> m_workDir;
    QString m_key;
};

static constexpr int StartTimeoutMs = 30000;

void StartupTest::initTestCase()
{
    QVERIFY2(QFile::exists(QuillonProcess::builtProgram()), qPrintable(QuillonProcess::builtProgram()));
}

void StartupTest::init()
{
    m_workDir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_workDir->isValid());
    m_key = QStringLiteral("QuillonStartup-") + QUuid::createUuid().toString(QUuid::Id128);
}

void StartupTest::cleanup()
{
    QFile::remove(SingleInstance::lockFilePathFor(m_key));
    QLocalServer::removeServer(SingleInstance::serverNameFor(m_key));
}

std::unique_ptr<QuillonProcess> StartupTest::launch(const QString &name, const QString &program,
                                                    const QString &updateServer)
{
    auto instance = std::make_unique<QuillonProcess>(program, m_workDir->path(), m_key, logPath(name));
    if (!updateServer.isEmpty())
        instance->setUpdateServer(updateServer);
    if (!instance->start())
        return nullptr;
    return instance;
}

void StartupTest::secondStartHandsOverAndShowsNoWindow()
{
    auto first = launch(QStringLiteral("first"));
    QVERIFY(first);
    QTRY_VERIFY_WITH_TIMEOUT(first->events().contains(QStringLiteral("listening")), StartTimeoutMs);
    QCOMPARE(first->events(), (QStringList{"shown", "listening"}));

    auto second = launch(QStringLiteral("second"));
    QVERIFY(second);
    QVERIFY(second->process().waitForFinished(StartTimeoutMs));
    QCOMPARE(second->process().exitStatus(), QProcess::NormalExit);
    QCOMPARE(second->process().exitCode(), 0);
    QCOMPARE(second->events(), QStringList{"handed-over"});

    QTRY_VERIFY_WITH_TIMEOUT(first->events().contains(QStringLiteral("activated")), StartTimeoutMs);
    QCOMPARE(first->process().state(), QProcess::Running);
}

void StartupTest::malformedActivationIsIgnored_data()
{
    QTest::addColumn<QList<QByteArray>>("pieces");
    QTest::newRow("line end") << QList<QByteArray>{"activateWindow\n"};
    QTest::newRow("two pieces") << QList<QByteArray>{"activate", "Window"};
    QTest::newRow("garbage") << QList<QByteArray>{"GET / HTTP/1.0\r\n\r\n"};
}

void StartupTest::malformedActivationIsIgnored()
{
    QFETCH(QList<QByteArray>, pieces);
    auto first = launch(QStringLiteral("first"));
    QVERIFY(first);
    QTRY_VERIFY_WITH_TIMEOUT(first->events().contains(QStringLiteral("listening")), StartTimeoutMs);

    QLocalSocket client;
    client.connectToServer(SingleInstance::serverNameFor(m_key));
    QVERIFY(client.waitForConnected(5000));
    for (int piece = 0; piece < pieces.size(); ++piece) {
        client.write(pieces[piece]);
        QVERIFY(client.waitForBytesWritten(5000));
        QTRY_COMPARE_WITH_TIMEOUT(first->events().count(QStringLiteral("ignored")), piece + 1,
                                  StartTimeoutMs);
    }
    QVERIFY(!first->events().contains(QStringLiteral("activated")));

    client.write(SingleInstance::activationMessage());
    QVERIFY(client.waitForBytesWritten(5000));
    QTRY_VERIFY_WITH_TIMEOUT(first->events().contains(QStringLiteral("activated")), StartTimeoutMs);
}

void StartupTest::killedFirstInstanceDoesNotBlockLaterStarts()
{
    auto crashed = launch(QStringLiteral("crashed"));
    QVERIFY(crashed);
    QTRY_VERIFY_WITH_TIMEOUT(crashed->events().contains(QStringLiteral("listening")), StartTimeoutMs);
    crashed->process().kill(); // SIGKILL: nothing of the instance gets to clean up
    QVERIFY(crashed->process().waitForFinished(StartTimeoutMs));
    QCOMPARE(crashed->process().exitStatus(), QProcess::CrashExit);
    QVERIFY(QFile::exists(SingleInstance::lockFilePathFor(m_key)));

    auto next = launch(QStringLiteral("next"));
    QVERIFY(next);
    QTRY_VERIFY_WITH_TIMEOUT(next->events().contains(QStringLiteral("listening")), StartTimeoutMs);
    QCOMPARE(next->events(), (QStringList{"shown", "listening"}));

    auto third = launch(QStringLiteral("third"));
    QVERIFY(third);
    QVERIFY(third->process().waitForFinished(StartTimeoutMs));
    QCOMPARE(third->process().exitCode(), 0);
    QCOMPARE(third->events(), QStringList{"handed-over"});
    QTRY_VERIFY_WITH_TIMEOUT(next->events().contains(QStringLiteral("activated")), StartTimeoutMs);
}

void StartupTest::leftoverUpdateIsCleanedUpBesideTheExecutable()
{
    // The program lives in its own directory, apart from the working directory.
    QTemporaryDir installDir;
    QVERIFY(installDir.isValid());
    const QString program = installDir.filePath(Platform::publishedExecutableName());
    QVERIFY(QFile::copy(QuillonProcess::builtProgram(), program));
    const QString old = installDir.filePath(Platform::oldExecutableName());
    QVERIFY(QFile::copy(QuillonProcess::builtProgram(), old));
    const QString script = installDir.filePath(Platform::cleanupScriptName());
    {
        QFile file(script);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(Platform::cleanupScriptText(old));
    }

    auto instance = launch(QStringLiteral("updated"), program);
    QVERIFY(instance);
    QTRY_VERIFY_WITH_TIMEOUT(instance->events().contains(QStringLiteral("listening")), StartTimeoutMs);
    QVERIFY(!QFile::exists(old));
    QVERIFY(!QFile::exists(script));
    QVERIFY(QFile::exists(program));
}

void StartupTest::publishedBuildThatOffersNothingStartsNormally_data()
{
    QTest::addColumn<int>("status");
    QTest::addColumn<bool>("sameBuild");
    QTest::addColumn<QByteArray>("otherBody");
    QTest::newRow("same build") << 200 << true << QByteArray();
    QTest::newRow("HTML page") << 200 << false << QByteArray("<html><body>Maintenance</body></html>");
    QTest::newRow("404") << 404 << false
                         << QByteArray("\x7f"
                                       "ELF not found");
}

void StartupTest::publishedBuildThatOffersNothingStartsNormally()
{
    QFETCH(int, status);
    QFETCH(bool, sameBuild);
    QFETCH(QByteArray, otherBody);
    QTemporaryDir installDir;
    QVERIFY(installDir.isValid());
    const QString program = installDir.filePath(Platform::publishedExecutableName());
    QVERIFY(QFile::copy(QuillonProcess::builtProgram(), program));

    HttpFixture http;
    QVERIFY(http.start());
    http.status = status;
    if (sameBuild) {
        QFile build(program);
        QVERIFY(build.open(QIODevice::ReadOnly));
        http.body = build.readAll();
    } else {
        http.body = otherBody;
    }

    auto instance = launch(QStringLiteral("checked"), program, http.address());
    QVERIFY(instance);
    QTRY_VERIFY_WITH_TIMEOUT(instance->events().contains(QStringLiteral("listening")), StartTimeoutMs);
    QCOMPARE(http.requestLines, QList<QByteArray>{"GET /QUILL/Quillon.exe HTTP/1.1"});
    QCOMPARE(QDir(installDir.path()).entryList(QDir::Files | QDir::Hidden),
             QStringList{Platform::publishedExecutableName()});
}

static QStringList readEvents(const QString &logPath)
{
    QFile log(logPath);
    if (!log.open(QIODevice::ReadOnly))
        return {};
    return QString::fromUtf8(log.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}

// This test plays the first instance that accepts the update; the build it restarts into is the
// real program (with one byte more, so that it differs), which then finishes the update itself.
void StartupTest::acceptedUpdateRestartsIntoTheNewBuild()
{
    QTemporaryDir installDir;
    QVERIFY(installDir.isValid());
    const QString program = installDir.filePath(Platform::publishedExecutableName());
    QVERIFY(QFile::copy(QuillonProcess::builtProgram(), program));
    QByteArray published;
    {
        QFile build(program);
        QVERIFY(build.open(QIODevice::ReadOnly));
        published = build.readAll() + QByteArray(1, '\0');
    }
    HttpFixture http;
    QVERIFY(http.start());
    http.body = published;

    // The restarted build inherits the environment and the working directory.
    const QString log = logPath(QStringLiteral("restarted"));
    const QHash<QByteArray, QByteArray> environment{
        {"QT_QPA_PLATFORM", "offscreen"},
        {"QUILLON_INSTANCE_KEY", m_key.toUtf8()},
        {"QUILLON_STARTUP_LOG", log.toUtf8()},
        {"QUILLON_UPDATE_URL", http.address().toUtf8()},
    };
    QHash<QByteArray, std::optional<QByteArray>> saved;
    for (auto it = environment.cbegin(); it != environment.cend(); ++it) {
        saved[it.key()] =
            qEnvironmentVariableIsSet(it.key()) ? std::optional(qgetenv(it.key())) : std::nullopt;
        qputenv(it.key(), it.value());
    }
    const QString savedDir = QDir::currentPath();
    QVERIFY(QDir::setCurrent(m_workDir->path()));

    SingleInstance instance(m_key);
    QCOMPARE(instance.claim(100, 1000), SingleInstance::Claim::First);
    ScriptedDialogs dialogs;
    dialogs.askAnswers.enqueue(true);
    const bool restarted = updateAtStartup(program, http.address(), dialogs, instance);

    QDir::setCurrent(savedDir);
    for (auto it = saved.cbegin(); it != saved.cend(); ++it) {
        if (it.value())
            qputenv(it.key(), *it.value());
        else
            qunsetenv(it.key());
    }
    QVERIFY(restarted);
    QCOMPARE(dialogs.records.size(), 1);

    // The new build removed the old one, found itself current on the server and came up as the
    // first instance.
    QTRY_VERIFY_WITH_TIMEOUT(readEvents(log).contains(QStringLiteral("listening")), StartTimeoutMs);
    QCOMPARE(readEvents(log), (QStringList{"shown", "listening"}));
    QCOMPARE(http.requestLines.size(), 2);
    QCOMPARE(QDir(installDir.path()).entryList(QDir::Files | QDir::Hidden),
             QStringList{Platform::publishedExecutableName()});
    QFile installed(program);
    QVERIFY(installed.open(QIODevice::ReadOnly));
    QCOMPARE(installed.readAll(), published);

    // It is not a child of ours: end it through the process id its lock names.
    QLockFile lock(SingleInstance::lockFilePathFor(m_key));
    qint64 pid = 0;
    QString host, application;
    QVERIFY(lock.getLockInfo(&pid, &host, &application));
    QVERIFY(pid > 0);
    QCOMPARE(::kill(pid_t(pid), SIGTERM), 0);
    QTRY_VERIFY_WITH_TIMEOUT(::kill(pid_t(pid), 0) != 0, StartTimeoutMs);
}

QTEST_GUILESS_MAIN(StartupTest)
#include "tst_startup.moc"
