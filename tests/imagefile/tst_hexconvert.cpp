#include <QtTest>

#include "converter.h"
#include "hextesttools.h"
#include "intelhexreader.h"
#include "jobrun.h"
#include "memoryimage.h"
#include "sourcefiles.h"
#include "testplatform.h"

using namespace HexTestTools;

namespace {

const QString pythonIntelHex = QStringLiteral("/usr/bin/python3");

// Writes the bytes Python's intelhex reads from a HEX file between two addresses (0xFF where none).
const char pythonExtract[] =
    "import sys, intelhex\n"
    "ih = intelhex.IntelHex(sys.argv[1])\n"
    "start, size = int(sys.argv[2], 0), int(sys.argv[3], 0)\n"
    "ih.padding = 0xFF\n"
    "assert ih.minaddr() >= start and ih.maxaddr() < start + size, (ih.minaddr(), ih.maxaddr())\n"
    "ih.tobinfile(sys.argv[4], start=start, size=size)\n";

// Whether a flat file is 0xFF up to `offset` and then exactly `data`, read block by block.
bool flatImageHolds(const QString &path, quint64 offset, const QByteArray &data)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly) || quint64(file.size()) != offset + quint64(data.size()))
        return false;
    const QByteArray erased(1 << 20, '\xFF');
    for (quint64 done = 0; done < offset;) {
        const qint64 length = qint64(qMin<quint64>(erased.size(), offset - done));
        if (file.read(length) != QByteArrayView(erased).first(length))
            return false;
        done += quint64(length);
    }
    return file.readAll() == data;
}

// The data of an Intel HEX text as our reader sees it, in address order.
QByteArray dataOfHex(const QByteArray &text)
{
    QByteArray copy = text;
    QBuffer buffer(&copy);
    buffer.open(QIODevice::ReadOnly);
    IntelHexReader reader;
    if (!reader.read(buffer, QStringLiteral("x.hex")))
        return {};
    std::optional<MemoryImage::Conflict> conflict;
    const MemoryImage image = MemoryImage::fromChunks(reader.content().chunks, &conflict);
    QByteArray data;
    for (const MemoryImage::Range &range : image.ranges())
        data += range.bytes;
    return data;
}

QStringList filesIn(const QString &directory)
{
    return QDir(directory).entryList(QDir::Files | QDir::Hidden, QDir::Name);
}

// A conversion as a user meets it: whether it wrote, its error and warnings as they are shown, where
// it wrote, and whether its run was cancelled.
struct Converted {
    bool ok = false;
    QString errorText;
    QStringList warnings;
    QString outputPath;
    bool cancelled = false;
};

Converted converted(const Result<Conversion> &result, const JobRun &run)
{
    Converted made;
    made.ok = result.ok();
    made.cancelled = run.isCancelled();
    for (const Problem &problem : result.problems()) {
        if (problem.isError())
            made.errorText = problem.toString();
        else
            made.warnings << problem.toString();
    }
    if (result)
        made.outputPath = result->outputPath;
    return made;
}

// The converter as its two buttons call it: "BIN to IntelHEX" with the first byte at `offset`, and
// "IntelHEX to BIN", the file read as Intel HEX.
Converted convertAsBinary(const QString &path, quint64 offset, JobRun &&run = JobRun())
{
    ConversionOptions options;
    options.expectedInput = InputFormat::Binary;
    return converted(convertFile(
                         path, [offset] { return std::optional<quint64>(offset); }, options, run),
                     run);
}

Converted convertAsIntelHex(const QString &path, JobRun &&run = JobRun())
{
    ConversionOptions options;
    options.expectedInput = InputFormat::IntelHex;
    return converted(convertFile(path, {}, options, run), run);
}

// What the reader makes of a whole Intel HEX file.
bool readHexFile(IntelHexReader &reader, const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) && reader.read(file, path);
}

} // namespace

class HexConvertTest : public QObject {
    Q_OBJECT

private slots:
    void outputNames_data();
    void outputNames();
    void directionOfInput_data();
    void directionOfInput();
    void emptyInputIsNoConversion();
    void inputsAreReadToTheirEnd();
    void fifoIsOpenedOnce();
    void sniffing_data();
    void sniffing();
    void roundTrip_data();
    void roundTrip();
    void flatImageMatchesObjcopyAndSrecCat();
    void readsHexWrittenByOtherTools_data();
    void readsHexWrittenByOtherTools();
    void gapsAndLeadInAreErased();
    void erasedBlocksAreSkippedButReadBackAsErased();
    void badRecordWritesNothing_data();
    void badRecordWritesNothing();
    void missingEndOfFileConvertsWithWarning();
    void clashingRecordsNameBothLines();
    void hugeImageIsRefused();
    void everyInputStopsAtTheImageLimit();
    void offsetPastAddressSpaceIsRefused();
    void existingOutputIsReplacedWhole();
    void progressAndCancel();
    void commandLine();
    void commandLineNeverWritesOverItsInput_data();
    void commandLineNeverWritesOverItsInput();
};

void HexConvertTest::outputNames_data()
{
    QTest::addColumn<QString>("input");
    QTest::addColumn<QString>("hex");
    QTest::addColumn<QString>("bin");
    QTest::newRow("plain") << "/w/fw.bin"
                           << "/w/fw.hex"
                           << "/w/fw.bin.bin";
    QTest::newRow("hex input") << "/w/fw.hex"
                               << "/w/fw.hex.hex"
                               << "/w/fw.bin";
    QTest::newRow("every occurrence") << "/w/a.bin.bin"
                                      << "/w/a.hex.hex"
                                      << "/w/a.bin.bin.bin";
    QTest::newRow("case-sensitive") << "/w/FW.BIN"
                                    << "/w/FW.BIN.hex"
                                    << "/w/FW.BIN.bin";
    QTest::newRow("no extension") << "/w/fw"
                                  << "/w/fw.hex"
                                  << "/w/fw.bin";
    QTest::newRow("directory untouched") << "/w.bin/x.hex/fw.bin"
                                         << "/w.bin/x.hex/fw.hex"
                                         << "/w.bin/x.hex/fw.bin.bin";
    QTest::newRow("middle of name") << "fw.binary.bin"
                                    << "fw.hexary.hex"
                                    << "fw.binary.bin.bin";
}

void HexConvertTest::outputNames()
{
    QFETCH(QString, input);
    QFETCH(QString, hex);
    QFETCH(QString, bin);
    QCOMPARE(hexOutputPathFor(input), hex);
    QCOMPARE(binaryOutputPathFor(input), bin);
}

void HexConvertTest::directionOfInput_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QString>("format");       // as "info" says it; empty: the file is refused
    QTest::addColumn<QByteArray>("converted"); // the flat binary of an input with addresses; empty otherwise
    QTest::addColumn<QString>("error");        // what convert and info say of a refused file
    const QByteArray end = ":00000001FF\r\n";
    QTest::newRow("records") << ":0100000011EE\r\n" + end << "intel-hex" << QByteArray("\x11") << "";
    QTest::newRow("byte order mark") << "\xEF\xBB\xBF:0100000011EE\r\n" + end << "intel-hex"
                                     << QByteArray("\x11") << "";
    QTest::newRow("leading and trailing blank lines") << "\r\n\n:0100000011EE\n:0100010022DC\n\n" + end + "\n"
                                                      << "intel-hex" << QByteArray("\x11\x22") << "";
    QTest::newRow("NUL line") << ":0100000011EE\r\n" + QByteArray(3, '\0') + "\r\n" + end << ""
                              << QByteArray() << "in.hex, строка 2: запись не начинается с ':'";
    QTest::newRow("line led by a blank") << ":0100000011EE\n :0100010022DC\n" + end << "" << QByteArray()
                                         << "in.hex, строка 2: запись не начинается с ':'";
    QTest::newRow("garbage among the first lines")
        << ":0100000011EE\n:0100010022DC\ngarbage\n" + end << "" << QByteArray()
        << "in.hex, строка 3: запись не начинается с ':'";
    QTest::newRow("S-records") << QByteArray("\r\nS10500001122C7\r\nS9030000FC\r\n") << "s-record"
                               << QByteArray("\x11\x22") << "";
    QTest::newRow("bad S-record further on")
        << QByteArray("S10500001122C7\nS10500021122C6\n") << "" << QByteArray()
        << "in.hex, строка 2: контрольная сумма не сходится";
    QTest::newRow("ELF cut short") << QByteArray("\x7f"
                                                 "ELF\x01\x02\n\n:",
                                                 9)
                                   << "" << QByteArray() << "in.hex: не является правильным файлом ELF";
    QTest::newRow("binary") << QByteArray("\x7f"
                                          "ELV\x01\x02\n\n:",
                                          9)
                            << "binary" << QByteArray() << "";
    QTest::newRow("text that is no record")
        << QByteArray(":not a record\n:00000001FF\n") << "binary" << QByteArray() << "";
}

// quillon-cli convert and info read a file alike: Intel HEX or S-records when its first non-empty
// line is such a record, and then a bad line is an error naming it, whatever output name was asked
// for; ELF by its magic bytes.
void HexConvertTest::directionOfInput()
{
    QFETCH(QByteArray, content);
    QFETCH(QString, format);
    QFETCH(QByteArray, converted);
    QFETCH(QString, error);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("in.hex"));
    const QString output = dir.filePath(QStringLiteral("x.bin"));
    QVERIFY(writeFile(path, content));

    const ToolRun convert =
        runTool(cliPath(), {QStringLiteral("convert"), path, QStringLiteral("-o"), output});
    const ToolRun info = runTool(cliPath(), {QStringLiteral("info"), path});
    if (format.isEmpty()) {
        QCOMPARE(convert.exitCode, 1);
        QVERIFY2(convert.err.contains(error.toUtf8()), convert.err.constData());
        QVERIFY(!QFile::exists(output));
        QCOMPARE(info.exitCode, 1);
        QVERIFY2(info.err.contains(error.toUtf8().sliced(6)), info.err.constData());
        return;
    }
    QVERIFY2(convert.exitCode == 0, convert.err.constData());
    QVERIFY2(info.exitCode == 0, info.err.constData());
    QVERIFY2(info.out.contains("format: " + format.toUtf8() + '\n'), info.out.constData());
    if (format != QLatin1String("binary"))
        QCOMPARE(readFile(output), converted);
    else
        QVERIFY(readFile(output).startsWith(":"));
}

void HexConvertTest::emptyInputIsNoConversion()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("empty.hex"));
    QVERIFY(writeFile(path, QByteArray()));
    const ToolRun convert = runTool(cliPath(), {QStringLiteral("convert"), path});
    QCOMPARE(convert.exitCode, 1);
    QVERIFY2(convert.err.contains("empty.hex: файл пуст, конвертировать нечего"), convert.err.constData());
    QCOMPARE(filesIn(dir.path()), QStringList{QStringLiteral("empty.hex")});
    // info agrees that it holds no Intel HEX record.
    const ToolRun info = runTool(cliPath(), {QStringLiteral("info"), path});
    QCOMPARE(info.exitCode, 0);
    QVERIFY2(info.out.contains("format: binary\nsize: 0\n"), info.out.constData());
}

// Pipes and /proc files report no size; they are read until they end. Devices never end.
void HexConvertTest::inputsAreReadToTheirEnd()
{
    POSIX_ONLY("/dev/stdin, /proc and /dev/zero");
    QTemporaryDir dir;
    const QByteArray input = firmwareBytes(100000, 3);
    QProcess piped;
    piped.start(cliPath(), {QStringLiteral("convert"), QStringLiteral("/dev/stdin"), QStringLiteral("-o"),
                            dir.filePath(QStringLiteral("piped.hex")), QStringLiteral("--offset"),
                            QStringLiteral("1000")});
    QVERIFY(piped.waitForStarted());
    // In pieces, as a pipeline hands them over; the record grid must not follow the pieces.
    for (qsizetype at = 0; at < input.size(); at += 7001) {
        piped.write(input.mid(at, 7001));
        QVERIFY(piped.waitForBytesWritten(10000));
    }
    piped.closeWriteChannel();
    QVERIFY(piped.waitForFinished(60000));
    QVERIFY2(piped.exitCode() == 0, piped.readAllStandardError().constData());
    const QString regular = dir.filePath(QStringLiteral("regular.bin"));
    QVERIFY(writeFile(regular, input));
    QVERIFY(convertAsBinary(regular, 0x1000).ok);
    QCOMPARE(readFile(dir.filePath(QStringLiteral("piped.hex"))),
             readFile(dir.filePath(QStringLiteral("regular.hex"))));

    const ToolRun proc =
        runTool(cliPath(), {QStringLiteral("convert"), QStringLiteral("/proc/self/status"),
                            QStringLiteral("-o"), dir.filePath(QStringLiteral("status.hex"))});
    QVERIFY2(proc.exitCode == 0, proc.err.constData());
    QVERIFY2(
        dataOfHex(readFile(dir.filePath(QStringLiteral("status.hex")))).startsWith("Name:\tquillon-cli\n"),
        readFile(dir.filePath(QStringLiteral("status.hex"))).left(200).constData());

    const ToolRun device =
        runTool(cliPath(), {QStringLiteral("convert"), QStringLiteral("/dev/zero"), QStringLiteral("-o"),
                            dir.filePath(QStringLiteral("zero.hex"))});
    QCOMPARE(device.exitCode, 1);
    QVERIFY2(device.err.contains(
                 "zero: не удалось открыть файл: это устройство, а не файл; устройства не читаются"),
             device.err.constData());
    QVERIFY(!QFile::exists(dir.filePath(QStringLiteral("zero.hex"))));
}

void HexConvertTest::fifoIsOpenedOnce()
{
    QTemporaryDir dir;
    const QString fifo = dir.filePath(QStringLiteral("records.hex"));
    POSIX_ONLY("FIFOs");
    QVERIFY(TestPlatform::makeFifo(fifo));
    const QString output = dir.filePath(QStringLiteral("flat.bin"));
    QProcess cli;
    cli.start(cliPath(), {QStringLiteral("convert"), fifo, QStringLiteral("-o"), output});
    QVERIFY(cli.waitForStarted());
    QVERIFY(TestPlatform::writeToFifo(fifo, ":0400100001020304E2\r\n:00000001FF\r\n"));
    // A second open of the FIFO would wait for a writer that never comes.
    if (!cli.waitForFinished(20000)) {
        cli.kill();
        cli.waitForFinished();
        QFAIL("quillon-cli convert did not finish reading the FIFO");
    }
    QVERIFY2(cli.exitCode() == 0, cli.readAllStandardError().constData());
    QCOMPARE(readFile(output), QByteArray(16, '\xFF') + QByteArray::fromHex("01020304"));
}

void HexConvertTest::sniffing_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<bool>("isHex");
    QTest::newRow("empty") << QByteArray() << true;
    QTest::newRow("records") << QByteArray(":00000001FF\r\n") << true;
    QTest::newRow("binary") << QByteArray("\x7f"
                                          "ELF\x01:")
                            << false;
    QTest::newRow("blank second line") << QByteArray(":00000001FF\n\n:00000001FF\n") << false;
    QByteArray late = QByteArray(":00000001FF\n").repeated(20) + "junk\n";
    QTest::newRow("junk after 20 lines") << late << true;
}

void HexConvertTest::sniffing()
{
    QFETCH(QByteArray, content);
    QFETCH(bool, isHex);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("f"));
    QVERIFY(writeFile(path, content));
    // Listing files in the window still judges by the first 20 lines.
    QCOMPARE(isIntelHexFile(path), isHex);
}

void HexConvertTest::roundTrip_data()
{
    QTest::addColumn<qsizetype>("size");
    QTest::addColumn<quint64>("offset");
    const qsizetype sizes[] = {1, 15, 16, 17, 0x10000 + 5, (1 << 20) + 3, 16 << 20};
    const quint64 offsets[] = {0, 0x1000, 0xFFF8, 0x8000000, 0x0FFFFFF0};
    for (qsizetype size : sizes)
        for (quint64 offset : offsets)
            QTest::addRow("%lld bytes at 0x%llx", qint64(size), offset) << size << offset;
}

// BIN -> HEX judged by srec_cat, objcopy, Python's intelhex and our reader; HEX -> BIN back to the input.
void HexConvertTest::roundTrip()
{
    QFETCH(qsizetype, size);
    QFETCH(quint64, offset);
    QTemporaryDir dir;
    const QByteArray input = firmwareBytes(size);
    const QString binPath = dir.filePath(QStringLiteral("fw.bin"));
    QVERIFY(writeFile(binPath, input));

    const Converted toHex = convertAsBinary(binPath, offset);
    QVERIFY2(toHex.ok, qPrintable(toHex.errorText));
    QCOMPARE(toHex.outputPath, dir.filePath(QStringLiteral("fw.hex")));

    const QString srecPath = dir.filePath(QStringLiteral("srec.bin"));
    QStringList srecArguments{toHex.outputPath, QStringLiteral("-Intel")};
    if (offset != 0)
        srecArguments << QStringLiteral("-offset") << QStringLiteral("-") + hexArgument(offset);
    srecArguments << QStringLiteral("-o") << srecPath << QStringLiteral("-Binary");
    POSIX_ONLY("judged by srec_cat, objcopy and Python's intelhex, Linux programs");
    const ToolRun srec = runTool(QStringLiteral("srec_cat"), srecArguments);
    QVERIFY2(srec.exitCode == 0, srec.err.constData());
    QVERIFY(readFile(srecPath) == input);

    // objcopy writes from the lowest address; it adds a segment base left in force to a linear one.
    const QString objcopyPath = dir.filePath(QStringLiteral("objcopy.bin"));
    const ToolRun objcopy = runTool(QStringLiteral("objcopy"),
                                    {QStringLiteral("-I"), QStringLiteral("ihex"), QStringLiteral("-O"),
                                     QStringLiteral("binary"), toHex.outputPath, objcopyPath});
    QVERIFY2(objcopy.exitCode == 0, objcopy.err.constData());
    QVERIFY(readFile(objcopyPath) == input);

    if (size <= 0x10000 + 5) {
        const QString pythonPath = dir.filePath(QStringLiteral("python.bin"));
        const ToolRun python = runTool(
            pythonIntelHex, {QStringLiteral("-c"), QString::fromLatin1(pythonExtract), toHex.outputPath,
                             hexArgument(offset), QString::number(size), pythonPath});
        QVERIFY2(python.exitCode == 0, python.err.constData());
        QVERIFY(readFile(pythonPath) == input);
    }

    IntelHexReader reader;
    QVERIFY(readHexFile(reader, toHex.outputPath));
    QVERIFY(reader.diagnostics().isEmpty());
    std::optional<MemoryImage::Conflict> conflict;
    const MemoryImage image = MemoryImage::fromChunks(reader.content().chunks, &conflict);
    QVERIFY(!conflict);
    QCOMPARE(image.spans(), (QList<QPair<quint64, quint64>>{{offset, offset + quint64(size)}}));

    // The flat image from address 0 is written in full only where it stays small.
    if (offset <= 0x1000 || size == 1) {
        const Converted toBin = convertAsIntelHex(toHex.outputPath);
        QVERIFY2(toBin.ok, qPrintable(toBin.errorText));
        QCOMPARE(toBin.outputPath, binPath);
        QVERIFY(flatImageHolds(binPath, offset, input));
    }
}

void HexConvertTest::flatImageMatchesObjcopyAndSrecCat()
{
    QTemporaryDir dir;
    const QByteArray input = firmwareBytes(70000);
    const QString binPath = dir.filePath(QStringLiteral("app.bin"));
    QVERIFY(writeFile(binPath, input));
    const Converted toHex = convertAsBinary(binPath, 0x8000000);
    QVERIFY(toHex.ok);
    QVERIFY(QFile::remove(binPath));

    const Converted toBin = convertAsIntelHex(toHex.outputPath);
    QVERIFY2(toBin.ok, qPrintable(toBin.errorText));
    QCOMPARE(toBin.outputPath, binPath);
    const QByteArray flat = readFile(binPath);
    QCOMPARE(flat.size(), 0x8000000 + input.size());
    QVERIFY(flat.first(0x8000000) == QByteArray(0x8000000, '\xFF'));
    QVERIFY(flat.sliced(0x8000000) == input);

    POSIX_ONLY("judged by srec_cat, objcopy and Python's intelhex, Linux programs");
    const QString objcopyPath = dir.filePath(QStringLiteral("objcopy.bin"));
    const ToolRun objcopy =
        runTool(QStringLiteral("objcopy"),
                {QStringLiteral("-I"), QStringLiteral("ihex"), QStringLiteral("-O"), QStringLiteral("binary"),
                 QStringLiteral("--gap-fill"), QStringLiteral("0xFF"), QStringLiteral("--add-section"),
                 QStringLiteral(".lead=/dev/null"), QStringLiteral("--set-section-flags"),
                 QStringLiteral(".lead=alloc,load,contents"), QStringLiteral("--change-section-address"),
                 QStringLiteral(".lead=0"), toHex.outputPath, objcopyPath});
    QVERIFY2(objcopy.exitCode == 0, objcopy.err.constData());
    QVERIFY(readFile(objcopyPath) == flat);

    const QString srecPath = dir.filePath(QStringLiteral("srec.bin"));
    const ToolRun srec =
        runTool(QStringLiteral("srec_cat"),
                {toHex.outputPath, QStringLiteral("-Intel"), QStringLiteral("-fill"), QStringLiteral("0xFF"),
                 QStringLiteral("0"), hexArgument(0x8000000 + input.size()), QStringLiteral("-o"), srecPath,
                 QStringLiteral("-Binary")});
    QVERIFY2(srec.exitCode == 0, srec.err.constData());
    QVERIFY(readFile(srecPath) == flat);
}

void HexConvertTest::readsHexWrittenByOtherTools_data()
{
    QTest::addColumn<QString>("tool");
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<quint64>("offset");
    QTest::newRow("srec_cat, 32-byte records, linear")
        << "srec_cat"
        << QStringList{"IN", "-Binary", "-offset", "0x3FF0", "-o", "OUT", "-Intel", "-Output_Block_Size",
                       "32"}
        << quint64(0x3FF0);
    QTest::newRow("srec_cat, segment addresses")
        << "srec_cat"
        << QStringList{"IN", "-Binary", "-offset", "0x1FFF8", "-o", "OUT", "-Intel", "-address-length=3"}
        << quint64(0x1FFF8);
    QTest::newRow("objcopy at 0x8000000")
        << "objcopy"
        << QStringList{"-I", "binary", "-O", "ihex", "--change-addresses", "0x08000000", "IN", "OUT"}
        << quint64(0x8000000);
}

void HexConvertTest::readsHexWrittenByOtherTools()
{
    QFETCH(QString, tool);
    QFETCH(QStringList, arguments);
    QFETCH(quint64, offset);
    QTemporaryDir dir;
    const QByteArray input = firmwareBytes(200003, 7);
    const QString binPath = dir.filePath(QStringLiteral("in.bin"));
    const QString hexPath = dir.filePath(QStringLiteral("peer.hex"));
    QVERIFY(writeFile(binPath, input));
    arguments.replaceInStrings(QRegularExpression(QStringLiteral("^IN$")), binPath);
    arguments.replaceInStrings(QRegularExpression(QStringLiteral("^OUT$")), hexPath);
    POSIX_ONLY("judged by srec_cat, objcopy and Python's intelhex, Linux programs");
    const ToolRun run = runTool(tool, arguments);
    QVERIFY2(run.exitCode == 0, run.err.constData());

    IntelHexReader reader;
    QVERIFY2(readHexFile(reader, hexPath), reader.error() ? qPrintable(reader.error()->toString()) : "");
    std::optional<MemoryImage::Conflict> conflict;
    const MemoryImage image = MemoryImage::fromChunks(reader.content().chunks, &conflict);
    QVERIFY(!conflict);
    QCOMPARE(image.spans(), (QList<QPair<quint64, quint64>>{{offset, offset + quint64(input.size())}}));
    QByteArray joined;
    for (const MemoryImage::Range &range : image.ranges())
        joined += range.bytes;
    QVERIFY(joined == input);

    if (offset < 0x100000) {
        const Converted toBin = convertAsIntelHex(hexPath);
        QVERIFY2(toBin.ok, qPrintable(toBin.errorText));
        QCOMPARE(toBin.outputPath, dir.filePath(QStringLiteral("peer.bin")));
        QVERIFY(readFile(toBin.outputPath) == QByteArray(qsizetype(offset), '\xFF') + input);
    }
}

void HexConvertTest::gapsAndLeadInAreErased()
{
    QTemporaryDir dir;
    const QString hexPath = dir.filePath(QStringLiteral("gaps.hex"));
    QVERIFY(writeFile(hexPath, ":020004001122C7\n"     // 0x0004
                               ":01000A0033C2\n"       // 0x000A
                               ":0400000312345678E5\n" // start address, no data
                               ":00000001FF\n"));
    const Converted result = convertAsIntelHex(hexPath);
    QVERIFY2(result.ok, qPrintable(result.errorText));
    QVERIFY(result.warnings.isEmpty());
    QCOMPARE(readFile(result.outputPath), QByteArray::fromHex("FFFFFFFF1122FFFFFFFF33"));
}

void HexConvertTest::erasedBlocksAreSkippedButReadBackAsErased()
{
    QTemporaryDir dir;
    QByteArray input = firmwareBytes(3 * 4096 + 10);
    input.replace(4096, 4096, QByteArray(4096, '\xFF'));
    input += QByteArray(32, '\xFF'); // erased tail: nothing is written for it
    const QString binPath = dir.filePath(QStringLiteral("runs.bin"));
    QVERIFY(writeFile(binPath, input));
    const Converted toHex = convertAsBinary(binPath, 0x1000);
    QVERIFY(toHex.ok);
    QVERIFY(!readFile(toHex.outputPath).contains("FFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFF"));

    QVERIFY(QFile::remove(binPath));
    const Converted toBin = convertAsIntelHex(toHex.outputPath);
    QVERIFY(toBin.ok);
    const QByteArray flat = readFile(toBin.outputPath);
    // The block holding the last data bytes is written whole; the erased blocks after it are not.
    QCOMPARE(flat, QByteArray(0x1000, '\xFF') + input.first(3 * 4096 + 16));

    const QString srecPath = dir.filePath(QStringLiteral("srec.bin"));
    POSIX_ONLY("judged by srec_cat, objcopy and Python's intelhex, Linux programs");
    const ToolRun srec = runTool(QStringLiteral("srec_cat"),
                                 {toHex.outputPath, QStringLiteral("-Intel"), QStringLiteral("-offset"),
                                  QStringLiteral("-0x1000"), QStringLiteral("-fill"), QStringLiteral("0xFF"),
                                  QStringLiteral("0"), QString::number(input.size()), QStringLiteral("-o"),
                                  srecPath, QStringLiteral("-Binary")});
    QVERIFY2(srec.exitCode == 0, srec.err.constData());
    QVERIFY(readFile(srecPath) == input);
}

void HexConvertTest::badRecordWritesNothing_data()
{
    QTest::addColumn<QByteArray>("badLine");
    QTest::addColumn<QString>("message");
    QTest::newRow("no colon") << QByteArray("0100000011EE") << "строка 3: запись не начинается с ':'";
    QTest::newRow("not hex") << QByteArray(":01000000G1EE")
                             << "строка 3: 'G' в столбце 10 не шестнадцатеричная цифра";
    QTest::newRow("byte count") << QByteArray(":02000000110E") << "строка 3: счётчик байтов 02";
    QTest::newRow("checksum") << QByteArray(":0100000011EF") << "строка 3: неверная контрольная сумма";
    QTest::newRow("type") << QByteArray(":00000007F9") << "строка 3: неизвестный тип записи 07";
}

void HexConvertTest::badRecordWritesNothing()
{
    QFETCH(QByteArray, badLine);
    QFETCH(QString, message);
    QTemporaryDir dir;
    const QString hexPath = dir.filePath(QStringLiteral("bad.hex"));
    const QString binPath = dir.filePath(QStringLiteral("bad.bin"));
    QVERIFY(writeFile(hexPath, ":0100000011EE\r\n:0100010022DC\r\n" + badLine + "\r\n:00000001FF\r\n"));

    Converted result = convertAsIntelHex(hexPath);
    QVERIFY(!result.ok);
    QVERIFY2(result.errorText.startsWith(hexPath + QStringLiteral(", ") + message),
             qPrintable(result.errorText));
    QCOMPARE(filesIn(dir.path()), QStringList{QStringLiteral("bad.hex")});

    // An earlier good output stays exactly as it was.
    QVERIFY(writeFile(binPath, "previous"));
    result = convertAsIntelHex(hexPath);
    QVERIFY(!result.ok);
    QCOMPARE(readFile(binPath), QByteArray("previous"));
    QCOMPARE(filesIn(dir.path()), (QStringList{QStringLiteral("bad.bin"), QStringLiteral("bad.hex")}));
}

void HexConvertTest::missingEndOfFileConvertsWithWarning()
{
    QTemporaryDir dir;
    const QString hexPath = dir.filePath(QStringLiteral("cut.hex"));
    QVERIFY(writeFile(hexPath, ":0100000011EE\n:0100010022DC\n"));
    const Converted result = convertAsIntelHex(hexPath);
    QVERIFY(result.ok);
    QCOMPARE(readFile(result.outputPath), QByteArray("\x11\x22"));
    QCOMPARE(
        result.warnings,
        QStringList{hexPath + QStringLiteral(": нет записи конца файла (:00000001FF); данные прочитаны до "
                                             "конца файла")});
}

void HexConvertTest::clashingRecordsNameBothLines()
{
    QTemporaryDir dir;
    const QString hexPath = dir.filePath(QStringLiteral("clash.hex"));
    QVERIFY(writeFile(hexPath, ":0100000011EE\n:0100000011EE\n:0100010022DC\n:0100000012ED\n:00000001FF\n"));
    const Converted result = convertAsIntelHex(hexPath);
    QVERIFY(!result.ok);
    QCOMPARE(result.errorText,
             hexPath + QStringLiteral(", строки 1 и 4: разные байты по адресу 0x00000000 (0x11 и 0x12)"));
    QCOMPARE(filesIn(dir.path()), QStringList{QStringLiteral("clash.hex")});
}

void HexConvertTest::hugeImageIsRefused()
{
    QTemporaryDir dir;
    const QString hexPath = dir.filePath(QStringLiteral("far.hex"));
    QVERIFY(writeFile(hexPath, ":020000042000DA\n:0100000011EE\n:00000001FF\n"));
    const Converted result = convertAsIntelHex(hexPath);
    QVERIFY(!result.ok);
    QCOMPARE(result.errorText,
             hexPath + QStringLiteral(": данные доходят до адреса 0x20000000, двоичный образ от адреса 0 "
                                      "занял бы 513 МиБ; образы больше 512 МиБ не создаются"));
    QCOMPARE(filesIn(dir.path()), QStringList{QStringLiteral("far.hex")});
}

// A binary streamed into records stops where one read whole does, with the same words.
void HexConvertTest::everyInputStopsAtTheImageLimit()
{
    QTemporaryDir dir;
    QFile big(dir.filePath(QStringLiteral("big.bin")));
    QVERIFY(big.open(QIODevice::WriteOnly) && big.resize(qint64(600) << 20));
    big.close();
    const QByteArray said = "big.bin: файл больше 512 МиБ; образы больше 512 МиБ не принимаются";
    for (const QStringList &arguments : {QStringList{"convert", "big.bin", "-o", "big.hex"},
                                         QStringList{"convert", "big.bin", "--to", "srec", "-o", "big.srec"},
                                         QStringList{"info", "big.bin"}}) {
        const ProcessRun run = runCli(arguments, dir.path());
        QCOMPARE(run.exitCode, 1);
        QVERIFY2(run.err.toUtf8().contains(said), qPrintable(run.err));
    }
    QCOMPARE(filesIn(dir.path()), QStringList{QStringLiteral("big.bin")});
}

void HexConvertTest::offsetPastAddressSpaceIsRefused()
{
    QTemporaryDir dir;
    const QString binPath = dir.filePath(QStringLiteral("fw.bin"));
    QVERIFY(writeFile(binPath, firmwareBytes(32)));
    const Converted result = convertAsBinary(binPath, 0xFFFFFFF0);
    QVERIFY(!result.ok);
    QCOMPARE(result.errorText,
             binPath + QStringLiteral(
                           ": 32 байт по смещению 0xFFFFFFF0 выходят за 4 ГиБ, которые адресует Intel HEX"));
    QCOMPARE(filesIn(dir.path()), QStringList{QStringLiteral("fw.bin")});
}

void HexConvertTest::existingOutputIsReplacedWhole()
{
    QTemporaryDir dir;
    const QString binPath = dir.filePath(QStringLiteral("fw.bin"));
    const QString hexPath = dir.filePath(QStringLiteral("fw.hex"));
    QVERIFY(writeFile(binPath, QByteArray::fromHex("0102")));
    QVERIFY(writeFile(hexPath, QByteArray(10000, 'x')));
    QVERIFY(convertAsBinary(binPath, 0).ok);
    QVERIFY(convertAsBinary(binPath, 0).ok);
    QCOMPARE(readFile(hexPath), QByteArray(":020000000102FB\r\n:00000001FF\r\n"));
}

void HexConvertTest::progressAndCancel()
{
    QTemporaryDir dir;
    const QString binPath = dir.filePath(QStringLiteral("fw.bin"));
    QVERIFY(writeFile(binPath, firmwareBytes(4 << 20)));
    QList<qint64> seen;
    const auto watch = [&seen](qint64 done, qint64 total) {
        QVERIFY(done <= total);
        seen << done * 1000 / total;
    };
    QVERIFY(convertAsBinary(binPath, 0, JobRun(watch)).ok);
    QVERIFY(!seen.isEmpty());
    QCOMPARE(seen.last(), 1000);
    QVERIFY(std::is_sorted(seen.begin(), seen.end()));

    seen.clear();
    QVERIFY(convertAsIntelHex(dir.filePath(QStringLiteral("fw.hex")), JobRun(watch)).ok);
    QCOMPARE(seen.last(), 1000);
    QVERIFY(std::is_sorted(seen.begin(), seen.end()));

    // A cancel asked for during the work leaves neither the output nor a temporary file.
    QVERIFY(QFile::remove(dir.filePath(QStringLiteral("fw.hex"))));
    const QByteArray big = firmwareBytes(64 << 20);
    QVERIFY(writeFile(binPath, big));
    JobRun cancelling;
    cancelling.cancel();
    const Converted cancelled = convertAsBinary(binPath, 0, std::move(cancelling));
    QVERIFY(!cancelled.ok);
    QVERIFY(cancelled.cancelled);
    QCOMPARE(filesIn(dir.path()), QStringList{QStringLiteral("fw.bin")});
}

void HexConvertTest::commandLine()
{
    QTemporaryDir dir;
    const QByteArray input = firmwareBytes(1000);
    const QString binPath = dir.filePath(QStringLiteral("app.bin"));
    QVERIFY(writeFile(binPath, input));

    ToolRun run = runTool(cliPath(), {QStringLiteral("convert"), binPath, QStringLiteral("--offset"),
                                      QStringLiteral("8000000")});
    QVERIFY2(run.exitCode == 0, run.err.constData());
    QCOMPARE(run.out, dir.filePath(QStringLiteral("app.hex")).toUtf8() + '\n');
    QVERIFY(readFile(dir.filePath(QStringLiteral("app.hex"))).startsWith(":020000040800F2\r\n"));

    // Direction by content: a HEX file named .bin still becomes a binary.
    const QString disguised = dir.filePath(QStringLiteral("records.bin"));
    QVERIFY(QFile::copy(dir.filePath(QStringLiteral("app.hex")), disguised));
    const QString flat = dir.filePath(QStringLiteral("out/flat.img"));
    QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("out")));
    run = runTool(cliPath(), {QStringLiteral("convert"), disguised, QStringLiteral("-o"), flat});
    QVERIFY2(run.exitCode == 0, run.err.constData());
    QCOMPARE(run.out, flat.toUtf8() + '\n');
    QCOMPARE(QFileInfo(flat).size(), 0x8000000 + 1000);

    const QString badPath = dir.filePath(QStringLiteral("bad.hex"));
    QVERIFY(writeFile(badPath, ":0100000011EE\n:0100000011EF\n:00000001FF\n"));
    run = runTool(cliPath(), {QStringLiteral("convert"), badPath});
    QCOMPARE(run.exitCode, 1);
    QVERIFY(run.out.isEmpty());
    QVERIFY2(run.err.contains("bad.hex, строка 2: неверная контрольная сумма"), run.err.constData());
    QVERIFY(!QFile::exists(dir.filePath(QStringLiteral("bad.bin"))));

    QCOMPARE(runTool(cliPath(), {QStringLiteral("convert")}).exitCode, 2);
    // Only hex digits after an optional 0x: no sign, no other characters (blanks around are dropped).
    for (const char *offset : {"zz", "+10", "0x", "1_0", "-1"}) {
        QCOMPARE(runTool(cliPath(), {QStringLiteral("convert"), binPath, QStringLiteral("--offset"),
                                     QString::fromLatin1(offset)})
                     .exitCode,
                 2);
    }
    // Both hexadecimal options answer alike, in the program's language.
    for (const QString option : {QStringLiteral("offset"), QStringLiteral("base")}) {
        const ToolRun bad = runTool(cliPath(), {QStringLiteral("convert"), binPath, "--" + option, "zz"});
        QVERIFY2(QString::fromUtf8(bad.err).contains("--" + option +
                                                     " принимает шестнадцатеричное число, а не «zz»"),
                 bad.err.constData());
    }
    QCOMPARE(runTool(cliPath(), {QStringLiteral("convert"), binPath, binPath}).exitCode, 2);
    QCOMPARE(
        runTool(cliPath(), {QStringLiteral("convert"), dir.filePath(QStringLiteral("missing.bin"))}).exitCode,
        1);
}

// The command line replaces an existing output as converters do, but never the input itself,
// however the output is spelled.
void HexConvertTest::commandLineNeverWritesOverItsInput_data()
{
    QTest::addColumn<QString>("input");
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QString>("output"); // relative to the working directory
    QTest::addColumn<bool>("refused");
    const QByteArray hex = ":020000000102FB\r\n:00000001FF\r\n";
    QTest::newRow("binary onto itself") << "fw.bin" << QByteArray::fromHex("0102") << "fw.bin" << true;
    QTest::newRow("hex onto itself") << "fw.hex" << hex << "./fw.hex" << true;
    QTest::newRow("through a link") << "fw.bin" << QByteArray::fromHex("0102") << "link.hex" << true;
    QTest::newRow("another file is replaced")
        << "fw.bin" << QByteArray::fromHex("0102") << "old.hex" << false;
}

void HexConvertTest::commandLineNeverWritesOverItsInput()
{
    QFETCH(QString, input);
    QFETCH(QByteArray, content);
    QFETCH(QString, output);
    QFETCH(bool, refused);
    if (output == QLatin1String("link.hex"))
        POSIX_ONLY("symbolic links (QFile::link makes a shortcut on Windows)");
    QTemporaryDir dir;
    const QString inputPath = dir.filePath(input);
    QVERIFY(writeFile(inputPath, content));
    QVERIFY(QFile::link(inputPath, dir.filePath(QStringLiteral("link.hex"))));
    QVERIFY(writeFile(dir.filePath(QStringLiteral("old.hex")), "an older file"));

    const ProcessRun run =
        runProcess(cliPath(), {QStringLiteral("convert"), input, QStringLiteral("-o"), output}, dir.path());

    QCOMPARE(readFile(inputPath), content);
    if (refused) {
        QCOMPARE(run.exitCode, 1);
        QVERIFY2(run.err.contains(input), qPrintable(run.err));
        return;
    }
    QCOMPARE(run.exitCode, 0);
    QCOMPARE(readFile(dir.filePath(output)), QByteArray(":020000000102FB\r\n:00000001FF\r\n"));
}

QTEST_GUILESS_MAIN(HexConvertTest)
#include "tst_hexconvert.moc"
