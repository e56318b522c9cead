#include <QtTest>

#include <QLocalSocket>
#include <QUuid>

#include "app/singleinstance.h"

// The guard within one process: a second SingleInstance object finds the lock file held by a live
// process (this one) exactly as a second start of the program would.
class SingleInstanceTest : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void firstClaimTakesTheLock();
    void laterClaimHandsOverAndActivates();
    void otherMessagesAreIgnored_data();
    void otherMessagesAreIgnored();
    void heldLockWithoutListenerIsUndecided();
    void releasedLockCanBeTakenByTheNext();
    void namesArePerUserAndPerKey();

private:
    QString m_key;
};

void SingleInstanceTest::init()
{
    m_key = QStringLiteral("QuillonTest-") + QUuid::createUuid().toString(QUuid::Id128);
}

void SingleInstanceTest::cleanup()
{
    QFile::remove(SingleInstance::lockFilePathFor(m_key));
}

void SingleInstanceTest::firstClaimTakesTheLock()
{
    SingleInstance first(m_key);
    QCOMPARE(first.claim(), SingleInstance::Claim::First);
    QVERIFY(QFile::exists(SingleInstance::lockFilePathFor(m_key)));
    QVERIFY(first.listen());
    QVERIFY(first.isListening());
}

void SingleInstanceTest::laterClaimHandsOverAndActivates()
{
    SingleInstance first(m_key);
    QCOMPARE(first.claim(), SingleInstance::Claim::First);
    QVERIFY(first.listen());
    QSignalSpy activations(&first, &SingleInstance::activationRequested);
    QSignalSpy ignored(&first, &SingleInstance::messageIgnored);

    SingleInstance second(m_key);
    QCOMPARE(second.claim(), SingleInstance::Claim::HandedOver);
    QTRY_COMPARE(activations.count(), 1);
    QCOMPARE(ignored.count(), 0);
    QVERIFY(!second.isListening());
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
    SingleInstance first(m_key);
    QCOMPARE(first.claim(), SingleInstance::Claim::First);
    QVERIFY(first.listen());
    QSignalSpy activations(&first, &SingleInstance::activationRequested);
    QSignalSpy ignored(&first, &SingleInstance::messageIgnored);

    QLocalSocket client;
    client.connectToServer(SingleInstance::serverNameFor(m_key));
    QVERIFY(client.waitForConnected(5000));
    for (int piece = 0; piece < pieces.size(); ++piece) {
        client.write(pieces[piece]);
        QVERIFY(client.waitForBytesWritten(5000));
        // Each piece is seen on its own before the next is sent.
        QTRY_COMPARE(ignored.count(), piece + 1);
        QCOMPARE(ignored.last().first().toByteArray(), pieces[piece]);
    }
    QCOMPARE(activations.count(), 0);

    // The same connection still activates with the exact message afterwards.
    client.write(SingleInstance::activationMessage());
    QVERIFY(client.waitForBytesWritten(5000));
    QTRY_COMPARE(activations.count(), 1);
}

void SingleInstanceTest::heldLockWithoutListenerIsUndecided()
{
    SingleInstance first(m_key);
    QCOMPARE(first.claim(), SingleInstance::Claim::First);
    SingleInstance second(m_key);
    QCOMPARE(second.claim(100, 1000), SingleInstance::Claim::Undecided);
}

void SingleInstanceTest::releasedLockCanBeTakenByTheNext()
{
    SingleInstance first(m_key);
    QCOMPARE(first.claim(), SingleInstance::Claim::First);
    QVERIFY(first.listen());
    first.release();
    QVERIFY(!first.isListening());

    SingleInstance next(m_key);
    QCOMPARE(next.claim(100, 1000), SingleInstance::Claim::First);
    QVERIFY(next.listen());
    QVERIFY(!first.reclaim());
}

void SingleInstanceTest::namesArePerUserAndPerKey()
{
    const QString server = SingleInstance::serverNameFor(QStringLiteral("Quillon"));
    QVERIFY(server.startsWith(QStringLiteral("Quillon-")));
    QVERIFY(server.size() > 8);
    QVERIFY(SingleInstance::lockFilePathFor(QStringLiteral("Quillon")).contains(server));
    QVERIFY(SingleInstance::serverNameFor(QStringLiteral("Other")) != server);
    QCOMPARE(SingleInstance::activationMessage().size(), 14);
}

QTEST_GUILESS_MAIN(SingleInstanceTest)
#include "tst_singleinstance.moc"
