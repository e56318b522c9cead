#include <QtTest>

#include <QLocalSocket>
#include <QUuid>

#include "app/singleinstance.h"
#include "httpfixture.h"
#include "platform/platform.h"
#include "quillonprocess.h"

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

QTEST_GUILESS_MAIN(StartupTest)
#include "tst_startup.moc"
