#include <QtTest>

#include "leftovercleanup.h"
#include "platform.h"

class LeftoverCleanupTest : public QObject {
    Q_OBJECT

private slots:
    void cleansUp_data();
    void cleansUp();
};

void LeftoverCleanupTest::cleansUp_data()
{
    QTest::addColumn<bool>("withScript");
    QTest::addColumn<bool>("withOld");
    QTest::addColumn<bool>("expectRun");
    QTest::newRow("script without Old: deleted, not run") << true << false << false;
    QTest::newRow("script and Old: run, Old removed") << true << true << true;
    QTest::newRow("Old without script: left alone") << false << true << false;
    QTest::newRow("neither") << false << false << false;
}

void LeftoverCleanupTest::cleansUp()
{
    QFETCH(bool, withScript);
    QFETCH(bool, withOld);
    QFETCH(bool, expectRun);
    QTemporaryDir directory;
    QVERIFY(directory.isValid());
    const QString script = directory.filePath(Platform::cleanupScriptName());
    const QString old = directory.filePath(Platform::oldExecutableName());
    const QString ranMarker = directory.filePath(QStringLiteral("script-ran"));

    if (withOld) {
        QFile file(old);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("old build");
    }
    if (withScript) {
        QFile file(script);
        QVERIFY(file.open(QIODevice::WriteOnly));
        // The real script, plus a line that leaves a trace of having run (the same in sh and cmd).
        file.write("echo ran> \"" + QDir::toNativeSeparators(ranMarker).toUtf8() + "\"\n" +
                   Platform::cleanupScriptText(old));
    }

    QCOMPARE(finishLeftoverUpdate(directory.path()), expectRun);
    QVERIFY(!QFile::exists(script));
    QCOMPARE(QFile::exists(ranMarker), expectRun);
    QCOMPARE(QFile::exists(old), withOld && !expectRun);
}

QTEST_GUILESS_MAIN(LeftoverCleanupTest)
#include "tst_leftovercleanup.moc"
