#include <QtTest>

#include "hextesttools.h"
#include "testplatform.h"

using namespace HexTestTools;

namespace {

ToolRun convertTo(const QString &format, const QString &input, const QString &output,
                  const QStringList &more = {})
{
    return runTool(cliPath(), QStringList{QStringLiteral("convert"), input, QStringLiteral("--to"), format,
                                          QStringLiteral("-o"), output} +
                                  more);
}

} // namespace

class SRecordTest : public QObject {
    Q_OBJECT

private slots:
    void writtenLayout();
    void srecCatReadsWhatWeWrite_data();
    void srecCatReadsWhatWeWrite();
    void weReadWhatOtherToolsWrite_data();
    void weReadWhatOtherToolsWrite();
    void malformedRecordsAreRefusedWithTheirLine_data();
    void malformedRecordsAreRefusedWithTheirLine();
};

// A tiny image with a start address, written out to the character.
void SRecordTest::writtenLayout()
{
    QTemporaryDir dir;
    const QString hexPath = dir.filePath(QStringLiteral("app.hex"));
    QVERIFY(writeFile(hexPath, ":020000040800F2\r\n"
                               ":14000000000102030405060708090A0B0C0D0E0F101112132E\r\n"
                               ":0400000508000004EB\r\n"
                               ":00000001FF\r\n"));
    const ToolRun run = runTool(
        cliPath(), {QStringLiteral("convert"), hexPath, QStringLiteral("--to"), QStringLiteral("srec")});
    QVERIFY2(run.exitCode == 0, run.err.constData());
    QCOMPARE(run.out, dir.filePath(QStringLiteral("app.srec")).toUtf8() + '\n');
    QCOMPARE(readFile(dir.filePath(QStringLiteral("app.srec"))),
             QByteArray("S00A00005175696C6C6F6E11\r\n"
                        "S31508000000000102030405060708090A0B0C0D0E0F6A\r\n"
                        "S309080000101011121398\r\n"
                        "S5030002FA\r\n"
                        "S70508000004EE\r\n"));
}

void SRecordTest::srecCatReadsWhatWeWrite_data()
{
    QTest::addColumn<qsizetype>("size");
    QTest::addColumn<quint64>("offset");
    QTest::addColumn<bool>("fromHex"); // a sparse image read from Intel HEX rather than a flat binary
    QTest::newRow("one byte at 0") << qsizetype(1) << quint64(0) << false;
    QTest::newRow("17 bytes at 0x08000000") << qsizetype(17) << quint64(0x08000000) << false;
    QTest::newRow("top of the address space") << qsizetype(0x1000) << quint64(0xFFFFF000) << false;
    // More records than an S5 record counts: an S6 record follows them.
    QTest::newRow("1.2 MiB, S6 count") << qsizetype(1200000) << quint64(0x08000000) << false;
    QTest::newRow("from Intel HEX, erased blocks kept") << qsizetype(70000) << quint64(0x08004000) << true;
}

void SRecordTest::srecCatReadsWhatWeWrite()
{
    QFETCH(qsizetype, size);
    QFETCH(quint64, offset);
    QFETCH(bool, fromHex);
    POSIX_ONLY("judged by srec_cat, objcopy and Python's intelhex, Linux programs");
    QTemporaryDir dir;
    QByteArray input = firmwareBytes(size);
    if (size > 4096)
        input.replace(2048, 1024, QByteArray(1024, '\xFF'));
    const QString binPath = dir.filePath(QStringLiteral("fw.bin"));
    const QString srecPath = dir.filePath(QStringLiteral("fw.srec"));
    QVERIFY(writeFile(binPath, input));
    QString source = binPath;
    if (fromHex) {
        // srec_cat writes every byte, erased or not, and a start address.
        source = dir.filePath(QStringLiteral("peer.hex"));
        const ToolRun peer =
            runTool(QStringLiteral("srec_cat"),
                    {binPath, QStringLiteral("-Binary"), QStringLiteral("-offset"), hexArgument(offset),
                     QStringLiteral("-execution-start-address"), hexArgument(offset + 0x101),
                     QStringLiteral("-o"), source, QStringLiteral("-Intel")});
        QVERIFY2(peer.exitCode == 0, peer.err.constData());
    }
    const ToolRun run = convertTo(QStringLiteral("srec"), source, srecPath,
                                  {QStringLiteral("--offset"), hexArgument(offset)});
    QVERIFY2(run.exitCode == 0, run.err.constData());

    const QString backPath = dir.filePath(QStringLiteral("back.bin"));
    const ToolRun back = runTool(QStringLiteral("srec_cat"),
                                 {srecPath, QStringLiteral("-Motorola"), QStringLiteral("-offset"),
                                  QStringLiteral("-") + hexArgument(offset), QStringLiteral("-fill"),
                                  QStringLiteral("0xFF"), QStringLiteral("0"), hexArgument(size),
                                  QStringLiteral("-o"), backPath, QStringLiteral("-Binary")});
    QVERIFY2(back.exitCode == 0 && !back.err.contains("mismatch"), back.err.constData());
    QVERIFY(readFile(backPath) == input);
    if (fromHex) {
        // Every byte the HEX file named, the erased ones too, and its start address.
        const ToolRun same = runTool(QStringLiteral("srec_cmp"), {srecPath, QStringLiteral("-Motorola"),
                                                                  source, QStringLiteral("-Intel")});
        QVERIFY2(same.exitCode == 0, same.err.constData());
        QVERIFY(readFile(srecPath).contains(sRecord(7, quint32(offset + 0x101), {})));
    }
}

void SRecordTest::weReadWhatOtherToolsWrite_data()
{
    QTest::addColumn<QString>("tool");
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<quint64>("offset");
    QTest::addColumn<QString>("start"); // as info prints it
    QTest::newRow("srec_cat, S1 records")
        << "srec_cat"
        << QStringList{"IN", "-Binary", "-offset", "0x0100", "-o", "OUT", "-Motorola", "-address-length=2"}
        << quint64(0x100) << "none";
    QTest::newRow("srec_cat, S2 records of 64 bytes")
        << "srec_cat" << QStringList{"IN",  "-Binary",   "-offset",           "0x010000",           "-o",
                                     "OUT", "-Motorola", "-address-length=3", "-Output_Block_Size", "64"}
        << quint64(0x10000) << "none";
    QTest::newRow("srec_cat, S3 records of 250 bytes, S7 start")
        << "srec_cat" << QStringList{"IN",
                                     "-Binary",
                                     "-offset",
                                     "0x08000000",
                                     "-execution-start-address",
                                     "0x08000189",
                                     "-o",
                                     "OUT",
                                     "-Motorola",
                                     "-address-length=4",
                                     "-Output_Block_Size",
                                     "250"}
        << quint64(0x08000000) << "0x08000189";
    QTest::newRow("objcopy, S3 records")
        << "objcopy"
        << QStringList{"-I",         "binary", "-O", "srec", "--srec-forceS3", "--change-addresses",
                       "0x08000000", "IN",     "OUT"}
        << quint64(0x08000000) << "0x08000000";
}

void SRecordTest::weReadWhatOtherToolsWrite()
{
    QFETCH(QString, tool);
    QFETCH(QStringList, arguments);
    QFETCH(quint64, offset);
    QFETCH(QString, start);
    QTemporaryDir dir;
    const QByteArray input = firmwareBytes(offset < 0x10000 ? 0xFE00 : 200003, 3);
    const QString binPath = dir.filePath(QStringLiteral("in.bin"));
    const QString peerPath = dir.filePath(QStringLiteral("peer.s19"));
    QVERIFY(writeFile(binPath, input));
    arguments.replaceInStrings(QRegularExpression(QStringLiteral("^IN$")), binPath);
    arguments.replaceInStrings(QRegularExpression(QStringLiteral("^OUT$")), peerPath);
    POSIX_ONLY("judged by srec_cat, objcopy and Python's intelhex, Linux programs");
    const ToolRun peer = runTool(tool, arguments);
    QVERIFY2(peer.exitCode == 0, peer.err.constData());

    const QString flatPath = dir.filePath(QStringLiteral("flat.bin"));
    const ToolRun run =
        convertTo(QStringLiteral("bin"), peerPath, flatPath, {QStringLiteral("--base"), hexArgument(offset)});
    QVERIFY2(run.exitCode == 0 && run.err.isEmpty(), run.err.constData());
    QVERIFY(readFile(flatPath) == input);
    const ToolRun info = runTool(cliPath(), {QStringLiteral("info"), peerPath});
    QVERIFY2(info.out.contains("format: s-record\n"), info.out.constData());
    QVERIFY2(info.out.contains("start: " + start.toUtf8() + '\n'), info.out.constData());
}

void SRecordTest::malformedRecordsAreRefusedWithTheirLine_data()
{
    QTest::addColumn<QByteArray>("line"); // the second line of a file that starts well
    QTest::addColumn<QString>("message");
    QTest::newRow("no S") << QByteArray("X10500001122C7") << "строка 2: запись не начинается с «S»";
    QTest::newRow("reserved S4") << QByteArray("S40500001122C7")
                                 << "строка 2: S4 — зарезервированный тип записи";
    QTest::newRow("unknown type") << QByteArray("SA0500001122C7") << "строка 2: неизвестный тип записи 'A'";
    QTest::newRow("not hex") << QByteArray("S1050000G122C7")
                             << "строка 2: 'G' в столбце 9 — не шестнадцатеричная цифра";
    QTest::newRow("odd digits") << QByteArray("S10500001122C") << "строка 2: в записи нечётное число";
    QTest::newRow("count")
        << QByteArray("S10600001122C6")
        << "строка 2: счётчик байтов 06 (6 байт) не совпадает со строкой: после него в ней 5";
    QTest::newRow("too short for S3") << QByteArray("S3030000FC") << "строка 2: запись слишком коротка";
    QTest::newRow("checksum") << QByteArray("S10500001122C6")
                              << "строка 2: контрольная сумма не сходится: в записи C6, по её байтам C7";
    QTest::newRow("data in a start record")
        << QByteArray("S90500001122C7") << "строка 2: запись S9 не несёт данных, а в этой 2 байт";
    QTest::newRow("S1 past 64 KiB") << QByteArray("S105FFFF1122C9")
                                    << "строка 2: данные выходят за 16-битное адресное пространство";
    QTest::newRow("count record")
        << QByteArray("S5030002FA")
        << "строка 2: запись счётчика называет 2 записей данных, а до неё в файле 1";
    QTest::newRow("overlong line") << "S1" + QByteArray(600, 'F') << "строка 2: строка длиннее любой записи";
}

// Every kind of bad record stops convert, info and compare alike, naming the file and the line, and
// nothing is written.
void SRecordTest::malformedRecordsAreRefusedWithTheirLine()
{
    QFETCH(QByteArray, line);
    QFETCH(QString, message);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("bad.srec"));
    QVERIFY(writeFile(path, sRecord(1, 0, "\x11\x22") + line + "\r\n" + sRecord(9, 0, {})));
    const QByteArray expected = "bad.srec, " + message.toUtf8();

    const ToolRun convert = convertTo(QStringLiteral("bin"), path, dir.filePath(QStringLiteral("out.bin")));
    QCOMPARE(convert.exitCode, 1);
    QVERIFY2(convert.err.contains(expected), convert.err.constData());
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{QStringLiteral("bad.srec")});
    const ToolRun info = runTool(cliPath(), {QStringLiteral("info"), path});
    QCOMPARE(info.exitCode, 1);
    QVERIFY2(info.err.contains(expected), info.err.constData());
    const ToolRun compare = runTool(cliPath(), {QStringLiteral("compare"), path, path});
    QCOMPARE(compare.exitCode, 2);
    QVERIFY2(compare.err.contains(expected), compare.err.constData());
}

QTEST_GUILESS_MAIN(SRecordTest)
#include "tst_srecord.moc"
