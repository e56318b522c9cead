#include <QtTest>

#include "jobrun.h"
#include "sourcefiles.h"
#include "sourcescan.h"
#include "testfiles.h"
#include "testplatform.h"
#include "wildcard.h"

using TestFiles::writeFile;

namespace {

QByteArray hexLines(int count)
{
    QByteArray content;
    for (int i = 0; i < count; ++i)
        content += ":10000000000102030405060708090A0B0C0D0E0F78\r\n";
    return content;
}

QStringList listSourceFiles(const QString &directory, const QString &nameFilter)
{
    JobRun run;
    return listSourceFiles(directory, nameFilter, run).files;
}

} // namespace

Q_DECLARE_METATYPE(SourceScanLimits)

class SourceFilesTest : public QObject {
    Q_OBJECT

private slots:
    void sniffsIntelHex_data();
    void sniffsIntelHex();
    void unreadableFileIsNotIntelHex();
    void listsNestedFilesByPattern();
    void wildcardMatch_data();
    void wildcardMatch();
    void listsNothingForMissingOrEmptyDirectory();
    void doesNotFollowDirectoryLinks();
    void skipsWhatIsNotARegularFile_data();
    void skipsWhatIsNotARegularFile();
    void stopsAtItsLimits_data();
    void stopsAtItsLimits();
    void warningListsTheFirstTwenty_data();
    void warningListsTheFirstTwenty();
};

void SourceFilesTest::sniffsIntelHex_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<bool>("intelHex");
    QTest::newRow("empty file") << QByteArray() << true;
    QTest::newRow("one record, no terminator") << QByteArray(":00000001FF") << true;
    QTest::newRow("records") << hexLines(5) + ":00000001FF\n" << true;
    QTest::newRow("lone colon") << QByteArray(":") << true;
    QTest::newRow("blank second line") << hexLines(1) + "\n" + hexLines(3) << false;
    QTest::newRow("blank second line, CRLF") << hexLines(1) + "\r\n" + hexLines(3) << false;
    QTest::newRow("binary") << QByteArray("\x00\x20\x00\x20\x91\x01\x00\x08", 8) << false;
    QTest::newRow("leading blank") << QByteArray(" :00000001FF\n") << false;
    QTest::newRow("twentieth line bad") << hexLines(19) + "xx\n" << false;
    QTest::newRow("twenty-first line bad") << hexLines(20) + "not hex\n" << true;
    QTest::newRow("twenty-first line blank") << hexLines(20) + "\n\n" << true;
    QTest::newRow("long first line") << ":" + QByteArray(100000, 'A') + "\n" + hexLines(2) << true;
    QTest::newRow("long line hides a bad one") << ":" + QByteArray(10000, 'A') + "\nbad\n" << false;
    QTest::newRow("CR only line ends") << QByteArray(":00\r:00\rbad\r") << true;
}

void SourceFilesTest::sniffsIntelHex()
{
    QFETCH(QByteArray, content);
    QFETCH(bool, intelHex);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("piece.hex"));
    QVERIFY(writeFile(path, content));
    QCOMPARE(isIntelHexFile(path), intelHex);
}

void SourceFilesTest::unreadableFileIsNotIntelHex()
{
    QTemporaryDir dir;
    QVERIFY(!isIntelHexFile(dir.filePath(QStringLiteral("missing.hex"))));
    QVERIFY(!isIntelHexFile(dir.path()));
}

void SourceFilesTest::listsNestedFilesByPattern()
{
    QTemporaryDir dir;
    const QString root = dir.path();
    for (const char *name : {"a.bin", "b.hex", "sub/c.bin", "sub/deeper/d.bin", "sub/deeper/LoraMAC_eu.bin",
                             "x_LoraMAC.hex", "notbin.bin.txt", "upper.BIN"})
        QVERIFY(writeFile(root + QLatin1Char('/') + QLatin1String(name), "x"));
    QVERIFY(QDir().mkpath(root + QStringLiteral("/folder.bin")));

    QStringList bins = listSourceFiles(root, QStringLiteral("*.bin"));
    bins.sort();
    QCOMPARE(bins, (QStringList{root + "/a.bin", root + "/sub/c.bin", root + "/sub/deeper/LoraMAC_eu.bin",
                                root + "/sub/deeper/d.bin", root + "/upper.BIN"}));
    QStringList loraMac = listSourceFiles(root, QStringLiteral("*LoraMAC**.bin"));
    QCOMPARE(loraMac, QStringList{root + "/sub/deeper/LoraMAC_eu.bin"});
    QStringList hex = listSourceFiles(root, QStringLiteral("*.hex"));
    hex.sort();
    QCOMPARE(hex, (QStringList{root + "/b.hex", root + "/x_LoraMAC.hex"}));
}

void SourceFilesTest::wildcardMatch_data()
{
    QTest::addColumn<QString>("pattern");
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("matches");
    QTest::newRow("question mark is one character") << "fw_?.hex"
                                                    << "fw_1.hex" << true;
    QTest::newRow("question mark is not two") << "fw_?.hex"
                                              << "fw_12.hex" << false;
    QTest::newRow("question mark is not none") << "fw_?.hex"
                                               << "fw_.hex" << false;
    QTest::newRow("star steps back to match the end") << "*a*b"
                                                      << "xaYbaab" << true;
    QTest::newRow("end must match") << "*.hex"
                                    << "fw.hex.bak" << false;
    QTest::newRow("Cyrillic of either case") << "*Прошивка*"
                                             << "новая_ПРОШИВКА.bin" << true;
    QTest::newRow("empty pattern matches only nothing") << ""
                                                        << "a" << false;
    QTest::newRow("brackets are plain characters") << "fw[1].hex"
                                                   << "fw[1].hex" << true;
    QTest::newRow("many stars stay fast")
        << QString(5000, QLatin1Char('*')) + "b" << QString(5000, QLatin1Char('a')) << false;
}

void SourceFilesTest::wildcardMatch()
{
    QFETCH(QString, pattern);
    QFETCH(QString, name);
    QFETCH(bool, matches);
    QCOMPARE(matchesWildcard(name, pattern), matches);
}

void SourceFilesTest::listsNothingForMissingOrEmptyDirectory()
{
    QTemporaryDir dir;
    QVERIFY(writeFile(dir.filePath(QStringLiteral("here.bin")), "x"));
    QVERIFY(QDir::setCurrent(dir.path()));
    QCOMPARE(listSourceFiles(QString(), QStringLiteral("*.bin")), QStringList());
    QCOMPARE(listSourceFiles(QStringLiteral("Enter Path..->"), QStringLiteral("*.bin")), QStringList());
    QCOMPARE(listSourceFiles(dir.filePath(QStringLiteral("missing")), QStringLiteral("*.bin")),
             QStringList());
    QVERIFY(QDir().mkpath(dir.filePath(QStringLiteral("empty"))));
    QCOMPARE(listSourceFiles(dir.filePath(QStringLiteral("empty")), QStringLiteral("*.bin")), QStringList());
}

void SourceFilesTest::doesNotFollowDirectoryLinks()
{
    QTemporaryDir dir;
    const QString root = dir.path();
    QVERIFY(writeFile(root + QStringLiteral("/elsewhere/far.bin"), "x"));
    QVERIFY(writeFile(root + QStringLiteral("/scan/near.bin"), "x"));
    QVERIFY(QFile::link(root + QStringLiteral("/elsewhere"), root + QStringLiteral("/scan/link")));
    // A loop back to the scanned directory must not make the scan endless either.
    QVERIFY(QFile::link(root + QStringLiteral("/scan"), root + QStringLiteral("/scan/loop")));
    QCOMPARE(listSourceFiles(root + QStringLiteral("/scan"), QStringLiteral("*.bin")),
             QStringList{root + "/scan/near.bin"});
}

void SourceFilesTest::skipsWhatIsNotARegularFile_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("said");
    const QString notRegular = QStringLiteral(
        " не является обычным файлом (канал, устройство или ссылка на них) и не будет добавлен в очередь.");
    QTest::newRow("FIFO") << "fifo" << notRegular;
    QTest::newRow("link to a FIFO") << "link to fifo" << notRegular;
    QTest::newRow("link to /dev/zero") << "link to /dev/zero" << notRegular;
    QTest::newRow("link to nothing")
        << "link to nothing"
        << " является ссылкой на несуществующий файл и не будет добавлен в очередь.";
}

// Under ".hex", where every file listed is opened to tell whether it is Intel HEX, what is not a
// regular file is skipped without being opened (a FIFO would wait for a writer for good), named in
// the one warning, and the other files are taken.
void SourceFilesTest::skipsWhatIsNotARegularFile()
{
    QFETCH(QString, kind);
    QFETCH(QString, said);
    POSIX_ONLY("FIFOs, /dev/zero and symbolic links");
    QTemporaryDir dir;
    const QString root = dir.path();
    const QString fifo = root + QStringLiteral("/elsewhere/pipe");
    QVERIFY(QDir().mkpath(root + QStringLiteral("/elsewhere")));
    QVERIFY(TestPlatform::makeFifo(fifo));
    const QString odd = root + QStringLiteral("/sub/odd.hex");
    QVERIFY(QDir().mkpath(root + QStringLiteral("/sub")));
    if (kind == QLatin1String("fifo"))
        QVERIFY(TestPlatform::makeFifo(odd));
    else
        QVERIFY(QFile::link(kind == QLatin1String("link to fifo")        ? fifo
                            : kind == QLatin1String("link to /dev/zero") ? QStringLiteral("/dev/zero")
                                                                         : root + QStringLiteral("/gone.hex"),
                            odd));
    QVERIFY(writeFile(root + QStringLiteral("/raw.hex"), "raw"));

    JobRun run;
    const SourceScan scan = scanLoRaSource(root, QStringLiteral("*.hex"), run);
    QCOMPARE(scan.files.size(), 1);
    QCOMPARE(scan.files[0].path, root + QStringLiteral("/raw.hex"));
    QVERIFY(scan.files[0].accepted);
    QCOMPARE(scan.problems, QStringList{QStringLiteral("Файл ") + odd + said});
}

void SourceFilesTest::stopsAtItsLimits_data()
{
    QTest::addColumn<SourceScanLimits>("limits");
    QTest::addColumn<bool>("cancelled");
    QTest::addColumn<QStringList>("found"); // by file name
    QTest::addColumn<QString>("said");      // with {} for the directory
    // Depth 0 to 3: a.bin, 1/b.bin, 1/2/c.bin, 1/2/3/d.bin, in folder order 1, 1/2, 1/2/3.
    QTest::newRow("deep enough") << SourceScanLimits{} << false
                                 << QStringList{"a.bin", "b.bin", "c.bin", "d.bin"} << QString();
    QTest::newRow("two levels") << SourceScanLimits{2, 1000, 60000} << false
                                << QStringList{"a.bin", "b.bin", "c.bin"}
                                << "Поиск в {}: папки глубже 2 уровней не просмотрены.";
    QTest::newRow("five entries") << SourceScanLimits{16, 5, 60000} << false << QStringList()
                                  << "Поиск в {} остановлен: просмотрено 5 файлов и папок, список неполон.";
    QTest::newRow("no time") << SourceScanLimits{16, 1000, 0} << false << QStringList()
                             << "Поиск в {} остановлен: он шёл дольше 0 с, список неполон.";
    QTest::newRow("cancelled") << SourceScanLimits{} << true << QStringList()
                               << "Поиск в {} отменён, список неполон.";
}

void SourceFilesTest::stopsAtItsLimits()
{
    QFETCH(SourceScanLimits, limits);
    QFETCH(bool, cancelled);
    QFETCH(QStringList, found);
    QFETCH(QString, said);
    QTemporaryDir dir;
    const QString root = dir.path();
    for (const char *name : {"a.bin", "1/b.bin", "1/2/c.bin", "1/2/3/d.bin"})
        QVERIFY(writeFile(root + QLatin1Char('/') + QLatin1String(name), "x"));
    JobRun run;
    if (cancelled)
        run.cancel();
    const SourceListing listing = listSourceFiles(root, QStringLiteral("*.bin"), run, limits);
    QStringList names;
    for (const QString &path : listing.files)
        names << QFileInfo(path).fileName();
    // Cut short by a count, the search keeps what it met first, in the directory's own order.
    if (said.contains(QStringLiteral("остановлен: просмотрено")))
        QVERIFY(names.size() < 4);
    else
        QCOMPARE(names, found);
    QCOMPARE(listing.problems, said.isEmpty() ? QStringList() : QStringList{said.replace("{}", root)});
}

void SourceFilesTest::warningListsTheFirstTwenty_data()
{
    QTest::addColumn<int>("problems");
    QTest::addColumn<int>("lines");
    QTest::addColumn<QString>("last");
    QTest::newRow("one") << 1 << 1 << "problem 1";
    QTest::newRow("twenty") << 20 << 20 << "problem 20";
    QTest::newRow("twenty-one") << 21 << 21 << "… и ещё 1.";
    QTest::newRow("two hundred") << 200 << 21 << "… и ещё 180.";
}

void SourceFilesTest::warningListsTheFirstTwenty()
{
    QFETCH(int, problems);
    QFETCH(int, lines);
    QFETCH(QString, last);
    QStringList list;
    for (int i = 1; i <= problems; ++i)
        list << QStringLiteral("problem %1").arg(i);
    const QStringList shown = SourceText::scanProblems(list).split(QLatin1Char('\n'));
    QCOMPARE(shown.size(), lines);
    QCOMPARE(shown.first(), QStringLiteral("problem 1"));
    QCOMPARE(shown.last(), last);
}

QTEST_GUILESS_MAIN(SourceFilesTest)
#include "tst_sourcefiles.moc"
