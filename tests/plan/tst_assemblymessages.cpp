#include <QtTest>

#include "assemblymessages.h"

class AssemblyMessagesTest : public QObject {
    Q_OBJECT

private slots:
    void writtenFilesNameTheFolderAndAtMostTenFiles_data();
    void writtenFilesNameTheFolderAndAtMostTenFiles();
};

void AssemblyMessagesTest::writtenFilesNameTheFolderAndAtMostTenFiles_data()
{
    QTest::addColumn<int>("count");
    QTest::addColumn<int>("listed");
    QTest::addColumn<QString>("last");
    QTest::newRow("none") << 0 << 0 << QString();
    QTest::newRow("one") << 1 << 1 << "image0.bin";
    QTest::newRow("ten") << 10 << 10 << "image9.bin";
    QTest::newRow("eleven") << 11 << 10 << "и еще файлов: 1";
    QTest::newRow("twenty-five") << 25 << 10 << "и еще файлов: 15";
}

void AssemblyMessagesTest::writtenFilesNameTheFolderAndAtMostTenFiles()
{
    QFETCH(int, count);
    QFETCH(int, listed);
    QFETCH(QString, last);
    const QString folder = QDir::currentPath() + QStringLiteral("/out dir");
    QStringList paths;
    for (int i = 0; i < count; ++i)
        paths << folder + QStringLiteral("/image%1.bin").arg(i);

    const QString text = AssemblyText::writtenFiles(paths);
    if (count == 0) {
        QVERIFY(text.isEmpty());
        return;
    }
    QStringList lines = text.split(QLatin1Char('\n'));
    // A blank line apart from what the build said before.
    QCOMPARE(lines.takeFirst(), QString());
    QCOMPARE(lines.takeFirst(), QString());
    QCOMPARE(lines.takeFirst(), QStringLiteral("Записано в папку %1:").arg(QDir::toNativeSeparators(folder)));
    QCOMPARE(lines.last(), last);
    for (int i = 0; i < listed; ++i)
        QCOMPARE(lines.at(i), QStringLiteral("image%1.bin").arg(i));
    QCOMPARE(lines.size(), listed + (count > listed ? 1 : 0));
}

QTEST_GUILESS_MAIN(AssemblyMessagesTest)
#include "tst_assemblymessages.moc"
