#include <QtTest>

#include "crc32.h"
#include "hextesttools.h"
#include "imageinfo.h"
#include "intelhexrecord.h"
#include "testplatform.h"

using HexTestTools::record;
using TestFiles::pattern;

namespace {

const QByteArray &endOfFile = HexTestTools::EndOfFile;

ProcessRun info(const QStringList &arguments, const QString &workingDir)
{
    return runCli(QStringList(QStringLiteral("info")) + arguments, workingDir);
}

QString valueOf(const QString &output, const QString &key)
{
    for (const QString &line : output.split(QLatin1Char('\n')))
        if (line.startsWith(key + QStringLiteral(": ")))
            return line.mid(key.size() + 2);
    return QString();
}

} // namespace

class InfoTest : public QObject {
    Q_OBJECT

private slots:
    void init();

    void crc32MatchesTheKnownCheckValue();
    void sniffingLooksAtTheFirstRecord_data();
    void sniffingLooksAtTheFirstRecord();
    void binaryIsSummedWhole();
    void hexListsRangesGapsAndStart();
    void hexSumsMatchPythonOverTheDataInAddressOrder_data();
    void hexSumsMatchPythonOverTheDataInAddressOrder();
    void hexWithoutDataHasNoRange();
    void failuresAndUsage_data();
    void failuresAndUsage();
    void missingEndOfFileIsAWarning();
    void saysWhetherTheManifestMatches_data();
    void saysWhetherTheManifestMatches();

private:
    QString put(const QString &name, const QByteArray &bytes);

    std::optional<QTemporaryDir> m_dir;
};

void InfoTest::init()
{
    m_dir.emplace();
    QVERIFY(m_dir->isValid());
}

QString InfoTest::put(const QString &name, const QByteArray &bytes)
{
    QFile file(m_dir->filePath(name));
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
        return QString();
    return file.fileName();
}

void InfoTest::crc32MatchesTheKnownCheckValue()
{
    const QByteArray check("123456789");
    QCOMPARE(Crc32::of(check), 0xCBF43926u);
    // Fed in pieces, across the eight-byte steps, it gives the same.
    Crc32 pieces;
    pieces.addData(check.constData(), 3);
    pieces.addData(check.constData() + 3, 6);
    QCOMPARE(pieces.result(), 0xCBF43926u);
    QCOMPARE(Crc32::of(QByteArray()), 0u);
    // A long input through the eight-byte loop against the bit-by-bit definition.
    QByteArray data(1000, Qt::Uninitialized);
    for (int i = 0; i < data.size(); ++i)
        data[i] = char(i * 37 + 11);
    quint32 bitwise = 0xFFFFFFFFu;
    for (const char byte : data) {
        bitwise ^= quint8(byte);
        for (int bit = 0; bit < 8; ++bit)
            bitwise = (bitwise & 1u) ? (bitwise >> 1) ^ 0xEDB88320u : bitwise >> 1;
    }
    QCOMPARE(Crc32::of(data), ~bitwise);
}

void InfoTest::sniffingLooksAtTheFirstRecord_data()
{
    QTest::addColumn<QByteArray>("head");
    QTest::addColumn<bool>("hex");
    const QByteArray line = ":10000000000102030405060708090A0B0C0D0E0F78\r\n";
    QTest::newRow("records") << line.repeated(20) + ":00000001FF\r\n" << true;
    QTest::newRow("one record without a line end") << QByteArray(":00000001FF") << true;
    // Taken for Intel HEX by its first record: a bad line further on is an error, not binary.
    QTest::newRow("fifth line is not a record") << line.repeated(4) + "x\n" + line << true;
    QTest::newRow("blank line among the first") << line + "\r\n" + line << true;
    QTest::newRow("empty") << QByteArray() << false;
    QTest::newRow("binary") << QByteArray("\x00\x01\x02:\n", 5) << false;
    QTest::newRow("leading blank") << " " + line << false;
}

void InfoTest::sniffingLooksAtTheFirstRecord()
{
    QFETCH(QByteArray, head);
    QFETCH(bool, hex);
    const Result<ImageInfo> info = inspectImage(put(QStringLiteral("sniffed"), head));
    // A file taken for Intel HEX that holds a bad record is refused, naming the line.
    if (!info) {
        QVERIFY(hex);
        const QString error = info.problems().constFirst().toString();
        QVERIFY2(error.contains(QStringLiteral("строка 5")), qPrintable(error));
        return;
    }
    QCOMPARE(info->format == InputFormat::IntelHex, hex);
}

void InfoTest::binaryIsSummedWhole()
{
    const QByteArray bytes = pattern(5000, 1);
    const QString file = put(QStringLiteral("fw.bin"), bytes);

    const ProcessRun result = info({QStringLiteral("fw.bin")}, m_dir->path());

    QCOMPARE(result.exitCode, 0);
    QCOMPARE(result.err, QString());
    POSIX_ONLY("judged by srec_cat, objcopy and Python's intelhex, Linux programs");
    const ProcessRun sha = runProcess(QStringLiteral("sha256sum"), {file});
    const ProcessRun crc = runProcess(
        QStringLiteral("python3"),
        {QStringLiteral("-c"),
         QStringLiteral("import sys, zlib; print('0x%08X' % zlib.crc32(open(sys.argv[1], 'rb').read()))"),
         file});
    QCOMPARE(sha.exitCode, 0);
    QCOMPARE(crc.exitCode, 0);
    QCOMPARE(result.out, QStringLiteral("file: fw.bin\n"
                                        "format: binary\n"
                                        "size: 5000\n"
                                        "sha256: %1\n"
                                        "crc32: %2\n"
                                        "checksums-of: the whole file\n")
                             .arg(sha.out.section(QLatin1Char(' '), 0, 0), crc.out.trimmed()));
}

void InfoTest::hexListsRangesGapsAndStart()
{
    // Records out of address order, two of them touching, one repeated with the same bytes.
    const QByteArray text =
        record(IntelHexRecordType::ExtendedLinearAddress, 0, QByteArray::fromHex("0800")) +
        record(IntelHexRecordType::Data, 0x0010, QByteArray(16, '\x02')) +
        record(IntelHexRecordType::Data, 0x0000, QByteArray(16, '\x01')) +
        record(IntelHexRecordType::Data, 0x0000, QByteArray(16, '\x01')) +
        record(IntelHexRecordType::Data, 0x1000, QByteArray(3, '\x03')) +
        record(IntelHexRecordType::ExtendedLinearAddress, 0, QByteArray::fromHex("0801")) +
        record(IntelHexRecordType::Data, 0xFFFF, QByteArray(1, '\x04')) +
        record(IntelHexRecordType::StartLinearAddress, 0, QByteArray::fromHex("08000101")) +
        // Of two start addresses the first counts, as it does when the file is joined.
        record(IntelHexRecordType::StartLinearAddress, 0, QByteArray::fromHex("08000201")) + endOfFile;
    put(QStringLiteral("fw.hex"), text);
    const QByteArray data =
        QByteArray(16, '\x01') + QByteArray(16, '\x02') + QByteArray(3, '\x03') + QByteArray(1, '\x04');
    QCryptographicHash sha(QCryptographicHash::Sha256);
    sha.addData(data);

    const ProcessRun result = info({QStringLiteral("fw.hex")}, m_dir->path());

    QCOMPARE(result.exitCode, 0);
    QCOMPARE(result.err, QString());
    QCOMPARE(result.out,
             QStringLiteral("file: fw.hex\n"
                            "format: intel-hex\n"
                            "size: %1\n"
                            "data: 36\n"
                            "ranges: 3 (inclusive, hex)\n"
                            "range: 0x08000000-0x0800001F (32 bytes)\n"
                            "gap: 0x08000020-0x08000FFF (4064 bytes)\n"
                            "range: 0x08001000-0x08001002 (3 bytes)\n"
                            "gap: 0x08001003-0x0801FFFE (126972 bytes)\n"
                            "range: 0x0801FFFF-0x0801FFFF (1 bytes)\n"
                            "start: 0x08000101\n"
                            "sha256: %2\n"
                            "crc32: 0x%3\n"
                            "checksums-of: the data bytes in address order, gaps not included\n")
                 .arg(text.size())
                 .arg(QString::fromLatin1(sha.result().toHex()),
                      QString::number(Crc32::of(data), 16).toUpper().rightJustified(8, QLatin1Char('0'))));
}

void InfoTest::hexSumsMatchPythonOverTheDataInAddressOrder_data()
{
    QTest::addColumn<bool>("lowFirst");
    QTest::newRow("high part first: held whole") << false;
    // Up to the top of a 64 KiB window and on in the next: one range either way.
    QTest::newRow("in address order: summed as read") << true;
}

void InfoTest::hexSumsMatchPythonOverTheDataInAddressOrder()
{
    QFETCH(bool, lowFirst);
    QByteArray highText = record(IntelHexRecordType::ExtendedLinearAddress, 0, QByteArray::fromHex("0802"));
    const QByteArray high = pattern(700, 2);
    for (int at = 0; at < high.size(); at += 16)
        highText += record(IntelHexRecordType::Data, static_cast<quint16>(at), high.mid(at, 16));
    QByteArray lowText = record(IntelHexRecordType::ExtendedLinearAddress, 0, QByteArray::fromHex("0801"));
    const QByteArray low = pattern(1024, 3);
    for (int at = 0; at < low.size(); at += 32)
        lowText += record(IntelHexRecordType::Data, static_cast<quint16>(0xFC00 + at), low.mid(at, 32));
    const QByteArray text = (lowFirst ? lowText + highText : highText + lowText) + endOfFile;
    const QString file = put(QStringLiteral("two.hex"), text);

    const ProcessRun result = info({file}, m_dir->path());
    QCOMPARE(result.exitCode, 0);

    POSIX_ONLY("judged by srec_cat, objcopy and Python's intelhex, Linux programs");
    const ProcessRun python =
        runProcess(QStringLiteral("/usr/bin/python3"),
                   {QStringLiteral("-c"),
                    QStringLiteral("import sys, hashlib, zlib\n"
                                   "from intelhex import IntelHex\n"
                                   "ih = IntelHex(sys.argv[1])\n"
                                   "data = bytes(ih[a] for a in sorted(ih.addresses()))\n"
                                   "print(hashlib.sha256(data).hexdigest())\n"
                                   "print('0x%08X' % zlib.crc32(data))\n"
                                   "for start, end in ih.segments():\n"
                                   "    print('0x%08X-0x%08X (%d bytes)' % (start, end - 1, end - start))\n"),
                    file});
    QVERIFY2(python.exitCode == 0, qPrintable(python.err));
    const QStringList expected = python.out.trimmed().split(QLatin1Char('\n'));
    QCOMPARE(valueOf(result.out, QStringLiteral("sha256")), expected.at(0));
    QCOMPARE(valueOf(result.out, QStringLiteral("crc32")), expected.at(1));
    QStringList ranges;
    for (const QString &line : result.out.split(QLatin1Char('\n')))
        if (line.startsWith(QLatin1String("range: ")))
            ranges << line.mid(7);
    QCOMPARE(ranges, expected.mid(2));
    QCOMPARE(valueOf(result.out, QStringLiteral("data")), QStringLiteral("1724"));
}

void InfoTest::hexWithoutDataHasNoRange()
{
    put(QStringLiteral("empty.hex"), endOfFile);

    const ProcessRun result = info({QStringLiteral("empty.hex")}, m_dir->path());

    QCOMPARE(result.exitCode, 0);
    QCOMPARE(result.out,
             QStringLiteral("file: empty.hex\n"
                            "format: intel-hex\n"
                            "size: 13\n"
                            "data: 0\n"
                            "ranges: 0 (inclusive, hex)\n"
                            "start: none\n"
                            "sha256: e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855\n"
                            "crc32: 0x00000000\n"
                            "checksums-of: the data bytes in address order, gaps not included\n"));
}

void InfoTest::failuresAndUsage_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("message");
    QTest::newRow("no file") << QStringList() << 2 << "quillon-cli info: FILE is missing";
    QTest::newRow("two files") << QStringList{"bad.hex", "clash.hex"} << 2
                               << "quillon-cli info: one FILE at a time";
    QTest::newRow("missing") << QStringList{"none.bin"} << 1
                             << "quillon-cli info: none.bin: не удалось открыть файл";
    QTest::newRow("directory") << QStringList{"sub"} << 1 << "quillon-cli info: sub: не удалось открыть файл";
    if (TestPlatform::isPosix())
        QTest::newRow("device") << QStringList{"/dev/zero"} << 1
                                << "quillon-cli info: /dev/zero: не удалось открыть файл: это устройство";
    QTest::newRow("bad checksum")
        << QStringList{"bad.hex"} << 1
        << "quillon-cli info: bad.hex, строка 2: неверная контрольная сумма: в записи 00, по её байтам "
           "78";
    QTest::newRow("clash")
        << QStringList{"clash.hex"} << 1
        << "quillon-cli info: clash.hex, строки 1 и 2: разные байты по адресу 0x00000000 (0x01 и "
           "0x02)";
}

void InfoTest::failuresAndUsage()
{
    QFETCH(QStringList, arguments);
    QFETCH(int, exitCode);
    QFETCH(QString, message);
    put(QStringLiteral("bad.hex"), record(IntelHexRecordType::Data, 0x10, QByteArray(4, '\x09')) +
                                       ":10000000000102030405060708090A0B0C0D0E0F00\r\n" + endOfFile);
    put(QStringLiteral("clash.hex"), record(IntelHexRecordType::Data, 0, QByteArray(4, '\x01')) +
                                         record(IntelHexRecordType::Data, 0, QByteArray(4, '\x02')) +
                                         endOfFile);
    QVERIFY(QDir(m_dir->path()).mkdir(QStringLiteral("sub")));

    const ProcessRun result = info(arguments, m_dir->path());

    QCOMPARE(result.exitCode, exitCode);
    QVERIFY2(result.err.startsWith(message), qPrintable(result.err));
    QCOMPARE(result.out, QString());
}

void InfoTest::missingEndOfFileIsAWarning()
{
    put(QStringLiteral("open.hex"), record(IntelHexRecordType::Data, 0x20, QByteArray(8, '\x07')));

    const ProcessRun result = info({QStringLiteral("open.hex")}, m_dir->path());

    QCOMPARE(result.exitCode, 0);
    QVERIFY2(result.err.startsWith(QStringLiteral("warning: open.hex: нет записи конца файла (:00000001FF)")),
             qPrintable(result.err));
    QCOMPARE(valueOf(result.out, QStringLiteral("range")), QStringLiteral("0x00000020-0x00000027 (8 bytes)"));
}

void InfoTest::saysWhetherTheManifestMatches_data()
{
    QTest::addColumn<QString>("job");
    QTest::addColumn<QString>("change");
    QTest::addColumn<QString>("verdict");
    QTest::addColumn<QString>("warning"); // a part of it; empty: none
    QTest::newRow("binary as built") << "binary"
                                     << ""
                                     << "matches"
                                     << "";
    // As a kill between putting the image and its manifest in place leaves them.
    QTest::newRow("binary, the older manifest")
        << "binary"
        << "older manifest"
        << "does not match this image"
        << "манифест выпуска не соответствует образу: в манифесте SHA-256";
    QTest::newRow("binary, longer") << "binary"
                                    << "longer"
                                    << "does not match this image"
                                    << "в манифесте размер 12288 байт, у образа 12289";
    QTest::newRow("binary, stamped") << "binary"
                                     << "stamped"
                                     << "matches"
                                     << "";
    QTest::newRow("binary, manifest not JSON") << "binary"
                                               << "not JSON"
                                               << "cannot be read"
                                               << "это не манифест выпуска: это не JSON";
    QTest::newRow("binary, manifest a FIFO") << "binary"
                                             << "FIFO"
                                             << "cannot be read"
                                             << "не удалось прочитать файл: это не обычный файл";
    QTest::newRow("intelhex as built") << "intelhex"
                                       << ""
                                       << "matches"
                                       << "";
    QTest::newRow("intelhex, the older manifest") << "intelhex"
                                                  << "older manifest"
                                                  << "does not match this image"
                                                  << "в манифесте SHA-256";
}

// info of an image with a release manifest beside it says whether the two belong together.
void InfoTest::saysWhetherTheManifestMatches()
{
    QFETCH(QString, job);
    QFETCH(QString, change);
    QFETCH(QString, verdict);
    QFETCH(QString, warning);
    if (change == QLatin1String("FIFO"))
        POSIX_ONLY("FIFOs");
    const bool hex = job == QLatin1String("intelhex");
    const QString image = QStringLiteral("out/rel.") + (hex ? QStringLiteral("hex") : QStringLiteral("bin"));
    const QString manifest = image + QStringLiteral(".manifest.json");
    const auto build = [&](int seed) {
        put(QStringLiteral("a.bin"), pattern(0x1000, seed));
        put(QStringLiteral("b.bin"), pattern(0x1000, seed + 1));
        put(QStringLiteral("a.hex"), HexTestTools::hexFor(0x08000000, pattern(0x1000, seed)));
        put(QStringLiteral("b.hex"), HexTestTools::hexFor(0x08002000, pattern(0x1000, seed + 1)));
        const QStringList arguments =
            hex ? QStringList{"intelhex", "--out", "out", "--name", "rel", "a.hex", "b.hex"}
                : QStringList{"binary", "--out",   "out",    "--name",    "rel",
                              "--file", "a.bin@0", "--file", "b.bin@2000"};
        return runCli(arguments, m_dir->path()).exitCode == 0;
    };
    QVERIFY(QDir(m_dir->path()).mkdir(QStringLiteral("out")));
    QVERIFY(build(1));
    const QString manifestPath = m_dir->filePath(manifest);
    const QString imagePath = m_dir->filePath(image);
    const QByteArray firstManifest = TestFiles::read(manifestPath);
    if (change == QLatin1String("older manifest")) {
        QVERIFY(build(3));
        QVERIFY(TestFiles::writeFile(manifestPath, firstManifest));
    } else if (change == QLatin1String("longer")) {
        QVERIFY(TestFiles::writeFile(imagePath, TestFiles::read(imagePath) + '\xFF'));
    } else if (change == QLatin1String("stamped")) {
        const ProcessRun stamp = runCli({"stamp", image, "--at", "2FFC", "--force"}, m_dir->path());
        QVERIFY2(stamp.exitCode == 0, qPrintable(stamp.err));
        QVERIFY(TestFiles::read(manifestPath) != firstManifest);
    } else if (change == QLatin1String("not JSON")) {
        QVERIFY(TestFiles::writeFile(manifestPath, "{"));
    } else if (change == QLatin1String("FIFO")) {
        QVERIFY(QFile::remove(manifestPath));
        QVERIFY(TestPlatform::makeFifo(manifestPath));
    }

    const ProcessRun result = info({image}, m_dir->path());
    QCOMPARE(result.exitCode, 0);
    QCOMPARE(result.out.split(QLatin1Char('\n'), Qt::SkipEmptyParts).last(),
             QStringLiteral("manifest: %1 (%2)").arg(manifest, verdict));
    if (warning.isEmpty())
        QCOMPARE(result.err, QString());
    else
        QVERIFY2(result.err.startsWith(QStringLiteral("warning: ") + manifest + QStringLiteral(": ")) &&
                     result.err.contains(warning),
                 qPrintable(result.err));
}

QTEST_GUILESS_MAIN(InfoTest)
#include "tst_info.moc"
