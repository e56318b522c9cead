#include <QtTest>

#include "hextesttools.h"
#include "testplatform.h"

using namespace HexTestTools;

namespace {

QByteArray sHeader()
{
    return sRecord(0, 0, "test");
}

// The bytes srec_cat reads from a record file, as address -> byte; why it refused the file otherwise.
QMap<quint64, quint8> srecCatReading(const QString &path, const QString &work, QString *error)
{
    const QString output = work + QStringLiteral("/srec_cat.s37");
    const bool hex = readFile(path).startsWith(':');
    const ToolRun run =
        runTool(QStringLiteral("srec_cat"),
                {path, hex ? QStringLiteral("-Intel") : QStringLiteral("-Motorola"), QStringLiteral("-o"),
                 output, QStringLiteral("-Motorola"), QStringLiteral("-address-length=4")});
    if (run.exitCode != 0)
        *error = QString::fromUtf8(run.err);
    return bytesOfS3Records(readFile(output));
}

// A flat binary from `base` as address -> byte, leaving out the fill where srec_cat reads nothing.
QMap<quint64, quint8> binaryReading(const QByteArray &bytes, quint64 base, const QMap<quint64, quint8> &input)
{
    QMap<quint64, quint8> reading;
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        const quint64 address = base + quint64(i);
        if (input.contains(address) || quint8(bytes.at(i)) != 0xFF)
            reading.insert(address, quint8(bytes.at(i)));
    }
    return reading;
}

struct CliRun {
    int exitCode = -1;
    QString err;
    QByteArray output;
    QStringList files; // what the directory holds after the run
};

// quillon-cli converts `name` in `directory` into "out" there; the messages name the file without the
// directory, so that two runs on the same name compare.
CliRun convertIn(const QString &directory, const QString &name, const QStringList &options,
                 const QByteArray &fifoText = {})
{
    const QString input = directory + QLatin1Char('/') + name;
    const QString output = directory + QStringLiteral("/out");
    QProcess cli;
    cli.start(cliPath(),
              QStringList{QStringLiteral("convert"), input, QStringLiteral("-o"), output} + options);
    if (!fifoText.isNull() && cli.waitForStarted())
        TestPlatform::writeToFifo(input, fifoText); // a reader that stops early leaves the rest unwritten
    if (!cli.waitForFinished(60000))
        cli.kill();
    cli.waitForFinished();
    CliRun run{cli.exitCode(), QString::fromUtf8(cli.readAllStandardError()), readFile(output), {}};
    run.err.replace(directory + QLatin1Char('/'), QString());
    run.files = QDir(directory).entryList(QDir::Files | QDir::Hidden | QDir::System, QDir::Name);
    return run;
}

} // namespace

class StreamedConversionTest : public QObject {
    Q_OBJECT

private slots:
    void sameBytesAndErrorsAsWhenHeldWhole_data();
    void sameBytesAndErrorsAsWhenHeldWhole();
};

// Record files in address order are written out as they are read; any other goes back to the image
// held whole. A FIFO, which cannot be read twice, is always held whole: each file is converted both
// ways and must give the same output, the same messages, and what srec_cat reads from it.
void StreamedConversionTest::sameBytesAndErrorsAsWhenHeldWhole_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QStringList>("options");
    QTest::addColumn<bool>("converts");

    const QByteArray a = firmwareBytes(16, 1), b = firmwareBytes(16, 2), c = firmwareBytes(10, 3);
    const QStringList toBin{QStringLiteral("--to"), QStringLiteral("bin"), QStringLiteral("--base"),
                            QStringLiteral("8000000")};
    const QStringList toHex{QStringLiteral("--to"), QStringLiteral("hex")};
    const QStringList toSRecords{QStringLiteral("--to"), QStringLiteral("srec")};
    const QByteArray ordered = linearBase(0x0800) + dataRecord(0x0000, a) + dataRecord(0x0010, c) +
                               dataRecord(0x0100, b) + linearBase(0x0801) + dataRecord(0xFFF8, a) +
                               startLinear(0x08000101) + EndOfFile;
    const QString hex = QStringLiteral("in.hex");
    const QString srec = QStringLiteral("in.srec");

    // Written as they are read.
    QTest::newRow("hex in order, gaps and windows -> bin") << ordered << hex << toBin << true;
    QTest::newRow("hex in order -> hex") << ordered << hex << toHex << true;
    QTest::newRow("hex in order -> srec") << ordered << hex << toSRecords << true;
    QTest::newRow("hex without an end record -> bin")
        << QByteArray(linearBase(0x0800) + dataRecord(0x20, a)) << hex << toBin << true;
    QTest::newRow("srec in order, records of 10 bytes -> hex")
        << QByteArray(sHeader() + sRecord(3, 0x08000000, c) + sRecord(3, 0x0800000A, c) +
                      sRecord(3, 0x08000014, c) + sRecord(3, 0x08001000, a) + sRecord(7, 0x08000000, {}))
        << srec << toHex << true;
    QTest::newRow("bad checksum in order -> bin")
        << QByteArray(linearBase(0x0800) + dataRecord(0, a) + dataRecord(0x10, a).replace("\r\n", "0\r\n") +
                      EndOfFile)
        << hex << toBin << false;

    // Held whole.
    QTest::newRow("hex address goes back -> bin")
        << QByteArray(linearBase(0x0800) + dataRecord(0x20, a) + dataRecord(0x10, b) + EndOfFile) << hex
        << toBin << true;
    QTest::newRow("hex record given twice -> hex")
        << QByteArray(dataRecord(0x10, a) + dataRecord(0x20, b) + dataRecord(0x20, b) + EndOfFile) << hex
        << toHex << true;
    QTest::newRow("hex overlap with other bytes -> bin")
        << QByteArray(linearBase(0x0800) + dataRecord(0x10, a) + dataRecord(0x18, b) + EndOfFile) << hex
        << toBin << false;
    QTest::newRow("hex extended address jumps back -> srec")
        << QByteArray(linearBase(0x0801) + dataRecord(0, a) + linearBase(0x0800) + dataRecord(0xFFF0, b) +
                      EndOfFile)
        << hex << toSRecords << true;
    QTest::newRow("srec out of order in the middle -> bin")
        << QByteArray(sHeader() + sRecord(3, 0x08000100, a) + sRecord(3, 0x08000120, a) +
                      sRecord(3, 0x08000110, b) + sRecord(3, 0x08000130, c) + sRecord(5, 4, {}))
        << srec << toBin << true;
    QTest::newRow("bad checksum after going back -> bin")
        << QByteArray(linearBase(0x0800) + dataRecord(0x20, a) + dataRecord(0, a) +
                      dataRecord(0x40, a).replace("\r\n", "0\r\n") + EndOfFile)
        << hex << toBin << false;
    // Placed in the binary where they belong, read back where they land on bytes written before.
    const QByteArray d = firmwareBytes(48, 4);
    QTest::newRow("hex records given twice, one partly, after a gap -> bin")
        << QByteArray(linearBase(0x0800) + dataRecord(0x110, d.mid(16, 16)) +
                      dataRecord(0x120, d.mid(32, 16)) + dataRecord(0x100, d.first(16)) +
                      dataRecord(0x118, d.mid(24, 16)) + dataRecord(0x110, d.mid(16, 16)) + EndOfFile)
        << hex << toBin << true;
    QTest::newRow("hex run that goes on into other bytes written before -> bin")
        << QByteArray(linearBase(0x0800) + dataRecord(0x110, d.mid(16, 16)) +
                      dataRecord(0x120, d.mid(32, 16)) + dataRecord(0x108, d.mid(8, 16)) +
                      dataRecord(0x118, b) + EndOfFile)
        << hex << toBin << false;
    // Runs longer than the output's buffer, and more scattered runs than are tracked.
    const QByteArray big = firmwareBytes(600 * 1024, 5);
    QTest::newRow("hex of 600 KiB, upper half first -> bin")
        << QByteArray(hexFor(0x08000000 + 300 * 1024, big.sliced(300 * 1024), false) +
                      hexFor(0x08000000, big.first(300 * 1024)))
        << hex << toBin << true;
    QByteArray scattered;
    for (const quint16 window : {0x0801, 0x0800}) {
        scattered += linearBase(window);
        for (int at = 0xFFE8; at >= 0; at -= 0x18)
            scattered += dataRecord(static_cast<quint16>(at), a);
    }
    QTest::newRow("hex of 5460 runs going back one by one -> bin")
        << scattered + EndOfFile << hex << toBin << true;
    QTest::newRow("hex below the base -> bin") << hexFor(0x07FFFFF0, a + b) << hex << toBin << false;
    QTest::newRow("hex past the largest image -> bin")
        << QByteArray(linearBase(0x0800) + dataRecord(0, a) + linearBase(0x2800) + dataRecord(0, b) +
                      EndOfFile)
        << hex << toBin << false;
}

void StreamedConversionTest::sameBytesAndErrorsAsWhenHeldWhole()
{
    QFETCH(QByteArray, text);
    QFETCH(QString, name);
    QFETCH(QStringList, options);
    QFETCH(bool, converts);
    POSIX_ONLY("FIFOs");
    QTemporaryDir fileDir;
    QTemporaryDir fifoDir;
    QVERIFY(!TestFiles::write(fileDir.path(), name, text).isEmpty());
    QVERIFY(TestPlatform::makeFifo(fifoDir.filePath(name)));

    const CliRun file = convertIn(fileDir.path(), name, options);
    const CliRun held = convertIn(fifoDir.path(), name, options, text);
    QCOMPARE(file.exitCode, converts ? 0 : 1);
    QCOMPARE(file.exitCode, held.exitCode);
    QCOMPARE(file.err, held.err);
    QCOMPARE(file.output, held.output);
    if (!converts) {
        QCOMPARE(file.files, QStringList{name}); // no output, no temporary file
        return;
    }
    QString error;
    const QMap<quint64, quint8> input = srecCatReading(fileDir.filePath(name), fileDir.path(), &error);
    QVERIFY2(error.isEmpty(), qPrintable(error));
    QMap<quint64, quint8> written;
    if (options.contains(QStringLiteral("bin"))) {
        written = binaryReading(file.output, 0x08000000, input);
        QCOMPARE(0x08000000 + quint64(file.output.size()), input.lastKey() + 1); // no fill past the data
    } else {
        written = srecCatReading(fileDir.filePath(QStringLiteral("out")), fileDir.path(), &error);
    }
    QVERIFY2(error.isEmpty(), qPrintable(error));
    QCOMPARE(written, input);
}

QTEST_GUILESS_MAIN(StreamedConversionTest)
#include "tst_streamedconversion.moc"
