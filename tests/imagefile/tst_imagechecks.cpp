#include <QtTest>

#include <QCryptographicHash>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include "hextesttools.h"
#include "testplatform.h"

using namespace HexTestTools;

namespace {

// A release image as srec_cat writes it from a binary: `format` is srec_cat's word for it.
QString writeWithSrecCat(const QString &binPath, quint64 offset, const QString &format, const QString &out)
{
    const ToolRun run =
        runTool(QStringLiteral("srec_cat"), {binPath, QStringLiteral("-Binary"), QStringLiteral("-offset"),
                                             hexArgument(offset), QStringLiteral("-o"), out, format});
    return run.exitCode == 0 ? out : QString();
}

// quillon-cli run in `dir`, so that it names the files as they are given.
ToolRun runCliIn(const QString &dir, const QStringList &arguments)
{
    const ProcessRun run = runCli(arguments, dir);
    return {run.exitCode, run.out.toUtf8(), run.err.toUtf8()};
}

// A binary with a run of erased flash in the middle.
QByteArray imageBytes()
{
    QByteArray bytes = firmwareBytes(0x2000, 5);
    bytes.replace(0x800, 0x400, QByteArray(0x400, '\xFF'));
    return bytes;
}

} // namespace

class ImageChecksTest : public QObject {
    Q_OBJECT

private slots:
    void init();
    void compareAgreesWithSrecCmp_data();
    void compareAgreesWithSrecCmp();
    void compareListsTwentyRangesThenCounts();
    void stampGivesSrecCatsBytes_data();
    void stampGivesSrecCatsBytes();
    void stampRefusals_data();
    void stampRefusals();
    void stampIsRecordedInTheManifest();

private:
    std::optional<QTemporaryDir> m_dir;
    QString m_binPath;
};

void ImageChecksTest::init()
{
    m_dir.emplace();
    m_binPath = m_dir->filePath(QStringLiteral("image.bin"));
    QVERIFY(writeFile(m_binPath, imageBytes()));
}

void ImageChecksTest::compareAgreesWithSrecCmp_data()
{
    // The second file is the first one changed by srec_cat's filters; both at 0x08000000.
    QTest::addColumn<QStringList>("change");
    QTest::addColumn<QStringList>("range"); // --range START END, and srec_cmp's -crop
    QTest::addColumn<int>("exitCode");
    QTest::newRow("same bytes, other format") << QStringList() << QStringList() << 0;
    QTest::newRow("one byte differs") << QStringList{"-exclude",   "0x08000100", "0x08000101", "-generate",
                                                     "0x08000100", "0x08000101", "-constant",  "0x5A"}
                                      << QStringList() << 1;
    QTest::newRow("a byte only in one")
        << QStringList{"-exclude", "0x08001FFF", "0x08002000"} << QStringList() << 1;
    QTest::newRow("erased flash written out against nothing")
        << QStringList{"-fill", "0xFF", "0x08002000", "0x08002010"} << QStringList() << 1;
    QTest::newRow("a difference outside the range") << QStringList{"-exclude", "0x08001FFF", "0x08002000"}
                                                    << QStringList{"0x08000000", "0x08001000"} << 0;
    QTest::newRow("a difference inside the range") << QStringList{"-exclude", "0x08000FFF", "0x08001000"}
                                                   << QStringList{"0x08000000", "0x08001000"} << 1;
}

void ImageChecksTest::compareAgreesWithSrecCmp()
{
    QFETCH(QStringList, change);
    QFETCH(QStringList, range);
    QFETCH(int, exitCode);
    POSIX_ONLY("judged by srec_cat, objcopy and Python's intelhex, Linux programs");
    const QString first = writeWithSrecCat(m_binPath, 0x08000000, QStringLiteral("-Intel"),
                                           m_dir->filePath(QStringLiteral("first.hex")));
    QVERIFY(!first.isEmpty());
    const QString second = m_dir->filePath(QStringLiteral("second.s37"));
    ToolRun run = runTool(QStringLiteral("srec_cat"),
                          QStringList{first, QStringLiteral("-Intel")} + change +
                              QStringList{QStringLiteral("-o"), second, QStringLiteral("-Motorola")});
    QVERIFY2(run.exitCode == 0, run.err.constData());

    QStringList peerArguments{first, QStringLiteral("-Intel")};
    QStringList ourArguments{QStringLiteral("compare"), first, second};
    if (!range.isEmpty()) {
        peerArguments << QStringLiteral("-crop") << range;
        ourArguments << QStringLiteral("--range") << range;
    }
    peerArguments << second << QStringLiteral("-Motorola");
    if (!range.isEmpty())
        peerArguments << QStringLiteral("-crop") << range;
    const ToolRun peer = runTool(QStringLiteral("srec_cmp"), peerArguments);
    // srec_cmp says 2 where the files differ.
    QCOMPARE(peer.exitCode, exitCode == 0 ? 0 : 2);
    run = runTool(cliPath(), ourArguments);
    QVERIFY2(run.exitCode == exitCode, run.out + run.err);

    // A binary placed with --offset is the same image.
    if (change.isEmpty()) {
        run = runTool(cliPath(), {QStringLiteral("compare"), m_binPath, second, QStringLiteral("--offset"),
                                  QStringLiteral("8000000")});
        QVERIFY2(run.exitCode == 0, run.out + run.err);
    }
}

void ImageChecksTest::compareListsTwentyRangesThenCounts()
{
    QByteArray changed = imageBytes();
    for (int i = 0; i < 25; ++i)
        changed[0x10 + 0x20 * i] = char(~changed[0x10 + 0x20 * i]);
    changed.append("\x01\x02", 2);
    const QString other = m_dir->filePath(QStringLiteral("other.bin"));
    QVERIFY(writeFile(other, changed));
    const ToolRun run = runCliIn(
        m_dir->path(), {QStringLiteral("compare"), QStringLiteral("image.bin"), QStringLiteral("other.bin")});
    QCOMPARE(run.exitCode, 1);
    const QList<QByteArray> lines = run.out.trimmed().split('\n');
    QCOMPARE(lines.size(), 2 + 20 + 2);
    QCOMPARE(lines.at(0), QByteArray("image.bin: binary, 8192 bytes of data"));
    QCOMPARE(lines.at(2),
             QByteArray("differ: 0x00000010-0x00000010 (1 bytes), first: 0x") +
                 QByteArray::number(quint8(imageBytes().at(0x10)), 16).toUpper().rightJustified(2, '0') +
                 " in image.bin, 0x" +
                 QByteArray::number(quint8(changed.at(0x10)), 16).toUpper().rightJustified(2, '0') +
                 " in other.bin");
    QCOMPARE(lines.at(22), QByteArray("... and 6 more ranges"));
    QCOMPARE(lines.at(23), QByteArray("different: 26 ranges, 27 bytes"));
}

void ImageChecksTest::stampGivesSrecCatsBytes_data()
{
    QTest::addColumn<QString>("format"); // srec_cat's word for the input's format
    QTest::addColumn<QString>("algorithm");
    QTest::addColumn<quint64>("address");
    QTest::addColumn<QStringList>("range"); // empty: from the lowest address up to the stamp
    QTest::newRow("crc32 after a binary") << "-Binary"
                                          << "crc32" << quint64(0x08002000) << QStringList();
    QTest::newRow("stm32 after a binary") << "-Binary"
                                          << "stm32" << quint64(0x08002000) << QStringList();
    QTest::newRow("crc32 over a range of Intel HEX, stamp below it")
        << "-Intel"
        << "crc32" << quint64(0x07FFFFF0) << QStringList{"0x08000010", "0x08001F03"};
    QTest::newRow("stm32 over a range of S-records, stamp in erased flash")
        << "-Motorola"
        << "stm32" << quint64(0x08000900) << QStringList{"0x08000000", "0x08000800"};
}

// The four bytes and everything else: srec_cat computes the CRC over the same range, with the
// addresses that hold no data filled with 0xFF first.
void ImageChecksTest::stampGivesSrecCatsBytes()
{
    QFETCH(QString, format);
    QFETCH(QString, algorithm);
    QFETCH(quint64, address);
    QFETCH(QStringList, range);
    POSIX_ONLY("judged by srec_cat, objcopy and Python's intelhex, Linux programs");
    QString input = m_binPath;
    QStringList arguments{QStringLiteral("stamp"),       input,
                          QStringLiteral("--at"),        hexArgument(address),
                          QStringLiteral("--algorithm"), algorithm};
    QStringList inputSpec{m_binPath, QStringLiteral("-Binary"), QStringLiteral("-offset"),
                          hexArgument(0x08000000)};
    if (format == QLatin1String("-Binary")) {
        arguments << QStringLiteral("--offset") << QStringLiteral("8000000");
    } else if (format == QLatin1String("-Intel")) {
        // Our own Intel HEX leaves the erased run out: the range has a gap, read as 0xFF.
        input = m_dir->filePath(QStringLiteral("image.hex"));
        const ToolRun converted =
            runTool(cliPath(), {QStringLiteral("convert"), m_binPath, QStringLiteral("--offset"),
                                QStringLiteral("8000000"), QStringLiteral("-o"), input});
        QVERIFY2(converted.exitCode == 0, converted.err.constData());
        arguments[1] = input;
        inputSpec = QStringList{input, format};
    } else {
        input = writeWithSrecCat(m_binPath, 0x08000000, format, m_dir->filePath(QStringLiteral("image.txt")));
        QVERIFY(!input.isEmpty());
        arguments[1] = input;
        inputSpec = QStringList{input, format};
    }
    if (!range.isEmpty())
        arguments << QStringLiteral("--range") << range;
    const QString output = m_dir->filePath(QStringLiteral("stamped"));
    arguments << QStringLiteral("-o") << output;
    const ToolRun run = runTool(cliPath(), arguments);
    QVERIFY2(run.exitCode == 0, run.err.constData());
    QCOMPARE(run.err.contains("считаются равными 0xFF (стёртая флеш-память)"),
             format == QLatin1String("-Intel"));

    const QStringList cover =
        range.isEmpty() ? QStringList{hexArgument(0x08000000), hexArgument(address)} : range;
    const QString expected = m_dir->filePath(QStringLiteral("expected.s37"));
    // srec_cat takes the stamp from a copy of the range, and the rest of the input around it.
    const QString algorithmFilter =
        algorithm == QLatin1String("crc32") ? QStringLiteral("-crc32-l-e") : QStringLiteral("-stm32-l-e");
    const QStringList stampOnly =
        QStringList{QStringLiteral("(")} + inputSpec +
        QStringList{QStringLiteral("-fill"), QStringLiteral("0xFF")} + cover +
        QStringList{QStringLiteral("-crop")} + cover +
        QStringList{algorithmFilter,      hexArgument(address),     QStringLiteral("-crop"),
                    hexArgument(address), hexArgument(address + 4), QStringLiteral(")")};
    const ToolRun peer =
        runTool(QStringLiteral("srec_cat"),
                stampOnly + inputSpec +
                    QStringList{QStringLiteral("-exclude"), hexArgument(address), hexArgument(address + 4),
                                QStringLiteral("-o"), expected, QStringLiteral("-Motorola")});
    QVERIFY2(peer.exitCode == 0, peer.err.constData());
    const QStringList ours = format == QLatin1String("-Binary")
                                 ? QStringList{output, QStringLiteral("-Binary"), QStringLiteral("-offset"),
                                               hexArgument(0x08000000)}
                                 : QStringList{output, format};
    const ToolRun same =
        runTool(QStringLiteral("srec_cmp"), ours + QStringList{expected, QStringLiteral("-Motorola")});
    QVERIFY2(same.exitCode == 0, same.err.constData());
    QVERIFY2(run.out.contains("address: " + QByteArray("0x") +
                              QByteArray::number(address, 16).toUpper().rightJustified(8, '0') + '\n'),
             run.out.constData());
}

void ImageChecksTest::stampRefusals_data()
{
    QTest::addColumn<QStringList>("options");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("message");
    QTest::newRow("stamp inside the range") << QStringList{"--at", "100", "--range", "0", "200"} << 1
                                            << "error: image.bin: CRC по адресам 0x00000100-0x00000103 лежит "
                                               "внутри диапазона 0x00000000-0x000001FF";
    QTest::newRow("data at the stamp") << QStringList{"--at", "100", "--range", "0", "100"} << 1
                                       << "error: image.bin: в четырёх байтах по адресу 0x00000100 данные (";
    QTest::newRow("stm32 over an odd length")
        << QStringList{"--at", "900", "--range", "0", "7FE", "--algorithm", "stm32"} << 1
        << "error: image.bin: в диапазоне 0x00000000-0x000007FD 2046 байт; блок CRC STM32 принимает целые "
           "32-битные слова";
    QTest::newRow("range without data") << QStringList{"--at", "900", "--range", "3000", "3100"} << 1
                                        << "error: image.bin: в диапазоне 0x00003000-0x000030FF нет данных";
    QTest::newRow("nothing below the stamp")
        << QStringList{"--at", "0"} << 1 << "error: image.bin: адрес CRC 0x00000000 не выше";
    QTest::newRow("no address") << QStringList() << 2 << "quillon-cli stamp: нужен --at ADDR";
    QTest::newRow("unknown algorithm") << QStringList{"--at", "2000", "--algorithm", "md5"} << 2
                                       << "quillon-cli stamp: --algorithm принимает crc32 или stm32";
    QTest::newRow("range with one address")
        << QStringList{"--at", "2000", "--range", "0"} << 2
        << "quillon-cli stamp: --range принимает два шестнадцатеричных адреса";
    QTest::newRow("empty range") << QStringList{"--at", "2000", "--range", "10", "10"} << 2
                                 << "quillon-cli stamp: --range 10 10 пуст";
}

void ImageChecksTest::stampRefusals()
{
    QFETCH(QStringList, options);
    QFETCH(int, exitCode);
    QFETCH(QString, message);
    const QByteArray before = readFile(m_binPath);
    const ToolRun run =
        runCliIn(m_dir->path(), QStringList{QStringLiteral("stamp"), QStringLiteral("image.bin")} + options);
    QCOMPARE(run.exitCode, exitCode);
    QVERIFY2(run.err.startsWith(message.toUtf8()), run.err.constData());
    QVERIFY(readFile(m_binPath) == before);
    QCOMPARE(QDir(m_dir->path()).entryList(QDir::Files | QDir::Hidden),
             QStringList{QStringLiteral("image.bin")});

    // The same bytes over erased flash are written when asked to.
    if (message.contains(QStringLiteral("данные (")) && options.contains(QLatin1String("100"))) {
        const ToolRun forced =
            runCliIn(m_dir->path(), QStringList{QStringLiteral("stamp"), QStringLiteral("image.bin"),
                                                QStringLiteral("--force")} +
                                        options);
        QVERIFY2(forced.exitCode == 0, forced.err.constData());
        QVERIFY(readFile(m_binPath).sliced(0x104) == before.sliced(0x104));
    }
}

// A stamped release image carries its manifest along: the digest of the stamped bytes and the stamp.
void ImageChecksTest::stampIsRecordedInTheManifest()
{
    const QString release = m_dir->filePath(QStringLiteral("release"));
    QVERIFY(QDir(m_dir->path()).mkdir(QStringLiteral("release")));
    ToolRun run = runTool(cliPath(), {QStringLiteral("binary"), QStringLiteral("--out"), release,
                                      QStringLiteral("--name"), QStringLiteral("fw"),
                                      QStringLiteral("--file"), m_binPath});
    QVERIFY2(run.exitCode == 0, run.err.constData());
    const QString image = release + QStringLiteral("/fw.bin");
    const QString manifest = image + QStringLiteral(".manifest.json");
    const QByteArray manifestBefore = readFile(manifest);

    // Into a copy: the image and its manifest stay as they were, the copy gets its own.
    const QString copy = release + QStringLiteral("/fw-crc.bin");
    run = runTool(cliPath(),
                  {QStringLiteral("stamp"), image, QStringLiteral("--at"), QStringLiteral("2000"),
                   QStringLiteral("--algorithm"), QStringLiteral("stm32"), QStringLiteral("-o"), copy});
    QVERIFY2(run.exitCode == 0, run.err.constData());
    QVERIFY(readFile(image) == imageBytes());
    QCOMPARE(readFile(manifest), manifestBefore);
    const QJsonObject root =
        QJsonDocument::fromJson(readFile(copy + QStringLiteral(".manifest.json"))).object();
    const QByteArray stamped = readFile(copy);
    QCOMPARE(stamped.size(), 0x2004);
    const QJsonObject imageEntry = root.value(QStringLiteral("image")).toObject();
    QCOMPARE(imageEntry.value(QStringLiteral("file")).toString(), QStringLiteral("fw-crc.bin"));
    QCOMPARE(imageEntry.value(QStringLiteral("size")).toInt(), 0x2004);
    QCOMPARE(imageEntry.value(QStringLiteral("sha256")).toString(),
             QString::fromLatin1(QCryptographicHash::hash(stamped, QCryptographicHash::Sha256).toHex()));
    QCOMPARE(root.value(QStringLiteral("pieces")).toArray().size(), 1);
    const QJsonArray stamps = root.value(QStringLiteral("stamps")).toArray();
    QCOMPARE(stamps.size(), 1);
    const QJsonObject stamp = stamps.at(0).toObject();
    QCOMPARE(stamp.value(QStringLiteral("algorithm")).toString(), QStringLiteral("stm32"));
    QCOMPARE(stamp.value(QStringLiteral("address")).toString(), QStringLiteral("0x00002000"));
    QCOMPARE(stamp.value(QStringLiteral("range")).toObject().value(QStringLiteral("end")).toString(),
             QStringLiteral("0x00002000"));
    const quint32 value = quint8(stamped.at(0x2000)) | quint8(stamped.at(0x2001)) << 8 |
                          quint8(stamped.at(0x2002)) << 16 | quint32(quint8(stamped.at(0x2003))) << 24;
    QCOMPARE(stamp.value(QStringLiteral("value")).toString(),
             QStringLiteral("0x") + QString::number(value, 16).toUpper().rightJustified(8, QLatin1Char('0')));

    // A manifest that is not one stops the stamp before anything is replaced.
    QVERIFY(writeFile(manifest, "{ not json"));
    run =
        runTool(cliPath(), {QStringLiteral("stamp"), image, QStringLiteral("--at"), QStringLiteral("2000")});
    QCOMPARE(run.exitCode, 1);
    QVERIFY2(run.err.contains("fw.bin.manifest.json: в манифест выпуска нельзя записать CRC"),
             run.err.constData());
    QVERIFY(readFile(image) == imageBytes());
    QCOMPARE(readFile(manifest), QByteArray("{ not json"));
}

QTEST_GUILESS_MAIN(ImageChecksTest)
#include "tst_imagechecks.moc"
