#include <QtTest>

#include <QLocalServer>
#include <QLocalSocket>

#include <atomic>
#include <thread>

#include "platform.h"
#include "singleinstance.h"
#include "testplatform.h"

// The guard within one process: a second SingleInstance object finds the lock file held by a live
// process (this one) exactly as a second start of the program would. A second start waits for the
// running instance's answer, so it claims on a thread of its own while this one's event loop
// answers.
class SingleInstanceTest : public QObject {
    Q_OBJECT

private slots:
    void init();
    void firstClaimTakesTheLockInTheRuntimeDirectory();
    void laterClaimHandsOverAndActivates();
    void otherMessagesAreIgnored_data();
    void otherMessagesAreIgnored();
    void silentHolderIsNotAnswering_data();
    void silentHolderIsNotAnswering();
    void releasedLockCanBeTakenByTheNext();
    void damagedLockIsRecovered_data();
    void damagedLockIsRecovered();
    void anotherUsersChannelIsNeverTrusted();
    void onlyAPrivateDirectoryIsUsed_data();
    void onlyAPrivateDirectoryIsUsed();

private:
    // Claims with a second guard on another thread, turning this thread's events meanwhile.
    SingleInstance::Claim claimFromAnotherThread(const SingleInstance::Patience &patience = {});

    std::unique_ptr<QTemporaryDir> m_runtime;
};

void SingleInstanceTest::init()
{
    m_runtime = std::make_unique<QTemporaryDir>();
    QVERIFY(m_runtime->isValid());
}

SingleInstance::Claim SingleInstanceTest::claimFromAnotherThread(const SingleInstance::Patience &patience)
{
    std::atomic<bool> done{false};
    SingleInstance::Claim result = SingleInstance::Claim::NotAnswering;
    const QString directory = m_runtime->path();
    std::thread second([&] {
        SingleInstance instance(directory);
        result = instance.claim(patience);
        done = true;
    });
    // The claim ends by itself within its patience.
    while (!done)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    second.join();
    return result;
}

void SingleInstanceTest::firstClaimTakesTheLockInTheRuntimeDirectory()
{
    SingleInstance first(m_runtime->path());
    QCOMPARE(first.claim(), SingleInstance::Claim::First);
    QCOMPARE(QFileInfo(first.lockFilePath()).absolutePath(), m_runtime->path());
    QVERIFY(QFileInfo::exists(first.lockFilePath()));
    QVERIFY(first.listen());
    QVERIFY(first.isListening());
    // A socket beside the lock on Linux; Windows' pipes have a namespace of their own.
    if (TestPlatform::isPosix()) {
        QCOMPARE(QFileInfo(first.serverName()).absolutePath(), m_runtime->path());
        QVERIFY(QFileInfo(first.serverName()).exists());
    }
    QCOMPARE(SingleInstance::activationMessage(), QByteArray("activateWindow"));
}

void SingleInstanceTest::laterClaimHandsOverAndActivates()
{
    SingleInstance first(m_runtime->path());
    QCOMPARE(first.claim(), SingleInstance::Claim::First);
    QVERIFY(first.listen());
    QSignalSpy activations(&first, &SingleInstance::activationRequested);
    QSignalSpy ignored(&first, &SingleInstance::messageIgnored);

    QCOMPARE(claimFromAnotherThread(), SingleInstance::Claim::HandedOver);
    QCOMPARE(activations.count(), 1);
    QCOMPARE(ignored.count(), 0);
}

void SingleInstanceTest::otherMessagesAreIgnored_data()
{
    QTest::addColumn<QList<QByteArray>>("pieces");
    QTest::newRow("line end") << QList<QByteArray>{"activateWindow\n"};
    QTest::newRow("CR LF") << QList<QByteArray>{"activateWindow\r\n"};
    QTest::newRow("terminator") << QList<QByteArray>{QByteArray("activateWindow", 15)};
    QTest::newRow("two pieces") << QList<QByteArray>{"activate", "Window"};
    QTest::newRow("lower case") << QList<QByteArray>{"activatewindow"};
    QTest::newRow("garbage") << QList<QByteArray>{"\x01\x02\xff hello"};
    QTest::newRow("prefix only") << QList<QByteArray>{"activateWindo"};
}

void SingleInstanceTest::otherMessagesAreIgnored()
{
    QFETCH(QList<QByteArray>, pieces);
    SingleInstance first(m_runtime->path());
    QCOMPARE(first.claim(), SingleInstance::Claim::First);
    QVERIFY(first.listen());
    QSignalSpy activations(&first, &SingleInstance::activationRequested);
    QSignalSpy ignored(&first, &SingleInstance::messageIgnored);

    QLocalSocket client;
    client.connectToServer(first.serverName());
    QVERIFY(client.waitForConnected(5000));
    for (int piece = 0; piece < pieces.size(); ++piece) {
        client.write(pieces[piece]);
        QTRY_COMPARE(client.bytesToWrite(), qint64(0));
        // Each piece is seen on its own before the next is sent.
        QTRY_COMPARE(ignored.count(), piece + 1);
        QCOMPARE(ignored.last().first().toByteArray(), pieces[piece]);
    }
    QCOMPARE(activations.count(), 0);
    QCOMPARE(client.bytesAvailable(), 0);

    // The same connection still activates with the exact message afterwards, and is answered.
    client.write(SingleInstance::activationMessage());
    QTRY_COMPARE(client.bytesToWrite(), qint64(0));
    QTRY_COMPARE(activations.count(), 1);
    QTRY_COMPARE(client.bytesAvailable(), SingleInstance::confirmationMessage().size());
    QCOMPARE(client.readAll(), SingleInstance::confirmationMessage());
}

void SingleInstanceTest::silentHolderIsNotAnswering_data()
{
    QTest::addColumn<bool>("listening");
    QTest::newRow("holds the lock, not listening") << false;
    // Connections queue up, but its event loop never turns to answer them (stopped, hung).
    QTest::newRow("listening, never answering") << true;
}

void SingleInstanceTest::silentHolderIsNotAnswering()
{
    QFETCH(bool, listening);
    SingleInstance first(m_runtime->path());
    QCOMPARE(first.claim(), SingleInstance::Claim::First);
    if (listening)
        QVERIFY(first.listen());
    const QByteArray lock = [&] {
        QFile file(first.lockFilePath());
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }();

    QElapsedTimer clock;
    clock.start();
    SingleInstance::Claim result = SingleInstance::Claim::First;
    const QString directory = m_runtime->path();
    std::thread second([&] {
        SingleInstance instance(directory);
        result = instance.claim({600, 50});
    });
    second.join(); // this thread turns no events meanwhile
    QCOMPARE(result, SingleInstance::Claim::NotAnswering);
    QVERIFY2(clock.elapsed() >= 600, qPrintable(QString::number(clock.elapsed())));
    // A live holder's lock is never taken for a damaged one.
    QFile file(first.lockFilePath());
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), lock);
}

void SingleInstanceTest::releasedLockCanBeTakenByTheNext()
{
    SingleInstance first(m_runtime->path());
    QCOMPARE(first.claim(), SingleInstance::Claim::First);
    QVERIFY(first.listen());
    first.release();
    QVERIFY(!first.isListening());

    SingleInstance next(m_runtime->path());
    QCOMPARE(next.claim(), SingleInstance::Claim::First);
    QVERIFY(next.listen());
    QVERIFY(!first.reclaim());
}

void SingleInstanceTest::damagedLockIsRecovered_data()
{
    QTest::addColumn<QString>("damage");
    QTest::newRow("empty") << "empty";
    QTest::newRow("garbage") << "garbage";
    QTest::newRow("unreadable") << "unreadable";
    QTest::newRow("a directory in its place") << "directory";
    QTest::newRow("a symbolic link in its place") << "symlink";
    QTest::newRow("another user's") << "foreign";
    // Reading either would block for good.
    QTest::newRow("a FIFO in its place") << "fifo";
    QTest::newRow("a symbolic link to a FIFO") << "symlink to fifo";
}

void SingleInstanceTest::damagedLockIsRecovered()
{
    QFETCH(QString, damage);
    if (damage == QLatin1String("symlink") || damage == QLatin1String("unreadable"))
        POSIX_ONLY("symbolic links and unreadable files need POSIX links and modes");
    const QString lockPath = SingleInstance(m_runtime->path()).lockFilePath();
    QTemporaryDir elsewhere;
    QVERIFY(elsewhere.isValid());
    const QString target = elsewhere.filePath(QStringLiteral("target"));
    if (damage == QLatin1String("directory")) {
        QVERIFY(QDir().mkpath(lockPath + QStringLiteral("/inside")));
    } else if (damage == QLatin1String("fifo")) {
        if (!TestPlatform::makeFifo(lockPath))
            QSKIP("no FIFOs here");
    } else if (damage == QLatin1String("symlink to fifo")) {
        if (!TestPlatform::makeFifo(target))
            QSKIP("no FIFOs here");
        QVERIFY(QFile::link(target, lockPath));
    } else if (damage == QLatin1String("symlink")) {
        QFile file(target);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("12345\nQuillon\nhost\n");
        file.close();
        QVERIFY(QFile::link(target, lockPath));
    } else {
        QFile file(lockPath);
        QVERIFY(file.open(QIODevice::WriteOnly));
        // A valid lock of this very process, unless it is damaged below.
        file.write(QByteArray::number(QCoreApplication::applicationPid()) + "\nQuillon\n\n");
        if (damage == QLatin1String("empty"))
            QVERIFY(file.resize(0));
        if (damage == QLatin1String("garbage")) {
            QVERIFY(file.resize(0));
            file.write("\xff\xfe not a lock at all");
        }
        file.close();
        if (damage == QLatin1String("unreadable")) {
            if (TestPlatform::isSuperUser())
                QSKIP("root reads any file");
            QVERIFY(QFile::setPermissions(lockPath, {}));
        }
        if (damage == QLatin1String("foreign") && !TestPlatform::giveToNobody(lockPath))
            QSKIP("only root on a POSIX system can give a file to another user here");
    }

    SingleInstance first(m_runtime->path());
    QCOMPARE(first.claim({3000, 50}), SingleInstance::Claim::First);
    QVERIFY(first.listen());
    QVERIFY(QFileInfo(lockPath).isFile());
    QVERIFY(!QFileInfo(lockPath).isSymLink());
    QVERIFY(Platform::isOwnedByCurrentUser(lockPath));
    if (damage == QLatin1String("symlink"))
        QVERIFY(QFile::exists(target));
    // And it guards again: a later start is handed over.
    QCOMPARE(claimFromAnotherThread(), SingleInstance::Claim::HandedOver);
}

void SingleInstanceTest::anotherUsersChannelIsNeverTrusted()
{
    if (!TestPlatform::isSuperUser())
        QSKIP("only root on a POSIX system can give a socket to another user");
    SingleInstance first(m_runtime->path());
    QCOMPARE(first.claim(), SingleInstance::Claim::First);

    // Someone else answers on the channel's name as a running instance would.
    QLocalServer impostor;
    QVERIFY(impostor.listen(first.serverName()));
    QVERIFY(TestPlatform::giveToNobody(first.serverName()));
    int connections = 0;
    connect(&impostor, &QLocalServer::newConnection, this, [&] {
        while (QLocalSocket *socket = impostor.nextPendingConnection()) {
            ++connections;
            socket->write(SingleInstance::confirmationMessage());
        }
    });
    QCOMPARE(claimFromAnotherThread({500, 50}), SingleInstance::Claim::NotAnswering);
    QCOMPARE(connections, 0);

    // The holder puts its own channel in the impostor's place.
    QVERIFY(first.listen());
    QVERIFY(Platform::isOwnedByCurrentUser(first.serverName()));
    QCOMPARE(claimFromAnotherThread(), SingleInstance::Claim::HandedOver);
}

void SingleInstanceTest::onlyAPrivateDirectoryIsUsed_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<bool>("isPrivate");
    QTest::newRow("0700, own") << "0700" << true;
    QTest::newRow("0755, own") << "0755" << true;
    QTest::newRow("group may write") << "0770" << false;
    QTest::newRow("anyone may write") << "0777" << false;
    QTest::newRow("like /tmp") << "1777" << false;
    QTest::newRow("a symbolic link to a private directory") << "symlink" << false;
    QTest::newRow("a file") << "file" << false;
    QTest::newRow("missing") << "missing" << false;
    QTest::newRow("another user's") << "foreign" << false;
}

void SingleInstanceTest::onlyAPrivateDirectoryIsUsed()
{
    QFETCH(QString, kind);
    QFETCH(bool, isPrivate);
    if (kind != QLatin1String("file") && kind != QLatin1String("missing"))
        POSIX_ONLY("modes, owners and links: Windows keeps the user's folders private by access lists");
    const QString path = m_runtime->filePath(QStringLiteral("candidate"));
    if (kind == QLatin1String("symlink")) {
        QVERIFY(QFile::link(m_runtime->path(), path));
    } else if (kind == QLatin1String("file")) {
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
    } else if (kind != QLatin1String("missing")) {
        QVERIFY(QDir().mkdir(path));
        const unsigned mode = kind == QLatin1String("foreign") ? 0700 : kind.toUInt(nullptr, 8);
        QVERIFY(TestPlatform::setMode(path, mode));
        if (kind == QLatin1String("foreign") && !TestPlatform::giveToNobody(path))
            QSKIP("only root can give a directory to another user");
    }
    QString problem;
    QCOMPARE(Platform::isPrivateDirectory(path, &problem), isPrivate);
    QCOMPARE(problem.isEmpty(), isPrivate);
    if (!isPrivate)
        QVERIFY2(problem.contains(path), qPrintable(problem));
}

QTEST_GUILESS_MAIN(SingleInstanceTest)
#include "tst_singleinstance.moc"
