#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>
#include <QXmlStreamReader>

#include "hextesttools.h"
#include "imagejobs.h"
#include "imageplan.h"
#include "jobrun.h"
#include "memorymap.h"
#include "processes.h"
#include "releasename.h"
#include "testfiles.h"
#include "testplatform.h"

using namespace HexTestTools;

namespace {

QString kindName(MemoryRegion::Kind kind)
{
    switch (kind) {
    case MemoryRegion::Kind::Gap:
        return QStringLiteral("gap");
    case MemoryRegion::Kind::Piece:
        return QStringLiteral("piece");
    case MemoryRegion::Kind::Overlap:
        return QStringLiteral("overlap");
    case MemoryRegion::Kind::NameField:
        return QStringLiteral("field");
    }
    return QString();
}

// "piece 0-ff a.bin; gap 100-1ff; overlap 80-ff a.bin+b.bin": kind, first and last address in
// hexadecimal, the pieces by file name; an overlap whose bytes agree is "same-overlap".
QString describe(const MemoryMap &map)
{
    QStringList parts;
    for (const MemoryRegion &region : map.regions) {
        QStringList names;
        for (const int piece : region.pieces)
            names << map.pieces.at(piece).name;
        QString kind = kindName(region.kind);
        if (region.sameBytes)
            kind.prepend(QStringLiteral("same-"));
        QString part = QStringLiteral("%1 %2-%3")
                           .arg(kind, QString::number(region.start, 16), QString::number(region.end - 1, 16));
        if (region.kind != MemoryRegion::Kind::Gap)
            part += QLatin1Char(' ') + names.join(QLatin1Char('+'));
        parts << part;
    }
    return parts.join(QStringLiteral("; "));
}

// A file described as "name:size@offset" (offset in hex; for .hex files the address of its data).
struct FileLayout {
    QString name;
    int size = 0;
    quint64 offset = 0;
};

FileLayout parseLayout(const QString &text)
{
    const QStringList nameRest = text.split(QLatin1Char(':'));
    const QStringList sizeOffset = nameRest.at(1).split(QLatin1Char('@'));
    return {nameRest.at(0), sizeOffset.at(0).toInt(nullptr, 16),
            sizeOffset.value(1).toULongLong(nullptr, 16)};
}

// The maps of a job as the window's map shows them: from a plan made only to look.
template <typename Job> MemoryMapSet memoryMapsOf(const Job &job)
{
    JobRun run;
    return memoryMapsOf(planImages(job, run, PlanPurpose::Look));
}

// Why the image of a job would not fit its flash, as "Сборка" asks it; empty when it fits.
template <typename Job> QString flashOverflowOf(const Job &job)
{
    JobRun run;
    const std::optional<Problem> overflow = planImages(job, run).flashOverflow();
    return overflow ? overflow->message : QString();
}

MemoryMapSet memoryMapOfImageFile(const QString &path, std::optional<quint64> flashSize)
{
    return memoryMapsOf(planImageFile(path, flashSize));
}

} // namespace

class MemoryMapTest : public QObject {
    Q_OBJECT

private slots:
    void binaryJobs_data();
    void binaryJobs();
    void loRaPairsShowTheirNameFields();
    void intelHexJoins_data();
    void intelHexJoins();
    void imageFilesAgreeWithInfoAndSrecInfo();
    void flashFit_data();
    void flashFit();
    void commandLine_data();
    void commandLine();
    void svgRectanglesLieAtTheRegionsScaledPlaces();
    void svgIsKeptWhenTheMapFails();
};

void MemoryMapTest::binaryJobs_data()
{
    QTest::addColumn<QStringList>("files"); // "name:size@offset", "-" before the name: not ticked
    QTest::addColumn<bool>("sequential");
    QTest::addColumn<QString>("expected");

    QTest::newRow("offsets with a gap") << QStringList{"a.bin:100@0", "b.bin:80@200"} << false
                                        << "piece 0-ff a.bin; gap 100-1ff; piece 200-27f b.bin";
    QTest::newRow("offsets, first piece not at 0")
        << QStringList{"a.bin:10@40"} << false << "gap 0-3f; piece 40-4f a.bin";
    QTest::newRow("pieces touching") << QStringList{"a.bin:100@0", "b.bin:100@100"} << false
                                     << "piece 0-ff a.bin; piece 100-1ff b.bin";
    QTest::newRow("overlap names both") << QStringList{"a.bin:100@0", "b.bin:100@80"} << false
                                        << "piece 0-ff a.bin; piece 80-17f b.bin; overlap 80-ff a.bin+b.bin";
    QTest::newRow("sequential ignores offsets and unticked files")
        << QStringList{"a.bin:100@5000", "-c.bin:40@0", "b.bin:80@0"} << true
        << "piece 0-ff a.bin; piece 100-17f b.bin";
    QTest::newRow("empty file") << QStringList{"a.bin:0@10", "b.bin:20@0"} << false
                                << "piece 0-1f b.bin; piece 10-f a.bin";
}

void MemoryMapTest::binaryJobs()
{
    QFETCH(QStringList, files);
    QFETCH(bool, sequential);
    QFETCH(QString, expected);
    QTemporaryDir dir;
    QVERIFY(dir.isValid());

    BinaryJob job;
    job.sequential = sequential;
    job.fileName = QStringLiteral("out.bin");
    int seed = 1;
    QStringList refusedByTheBuild; // an empty piece is shown, and said to stop the build
    for (QString file : files) {
        const bool ticked = !file.startsWith(QLatin1Char('-'));
        if (!ticked)
            file.remove(0, 1);
        const FileLayout layout = parseLayout(file);
        job.files.append({ticked,
                          TestFiles::write(dir.path(), layout.name, TestFiles::pattern(layout.size, seed++)),
                          qint64(layout.offset)});
        if (layout.size == 0)
            refusedByTheBuild << QStringLiteral("Файл %1 пуст: в образ нечего положить, образ не собран.")
                                     .arg(job.files.last().path);
    }
    const MemoryMapSet set = memoryMapsOf(job);
    QCOMPARE(set.problems, refusedByTheBuild);
    QCOMPARE(set.maps.size(), 1);
    QCOMPARE(describe(set.maps.first()), expected);
    QCOMPARE(set.maps.first().start, 0u);
    QCOMPARE(set.hasRefusedOverlap(), expected.contains(QLatin1String("overlap")));
}

void MemoryMapTest::loRaPairsShowTheirNameFields()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    LoRaJob job;
    job.bootPath = TestFiles::write(dir.path(), QStringLiteral("boot.bin"), TestFiles::pattern(0x40, 1));
    for (const char *region : {"1.0.4RU864", "1.0.3EU868"}) {
        const QByteArray loraMac = TestFiles::withField(TestFiles::pattern(0x100, 2), 0x10,
                                                        TestFiles::nameField(region, LoRaMacNameFieldSize));
        job.loraMacPaths << TestFiles::write(dir.path(), QStringLiteral("mac_%1.bin").arg(region), loraMac);
    }
    // The firmware field runs 8 bytes past the end of the application.
    job.appPaths << TestFiles::write(
        dir.path(), QStringLiteral("app.bin"),
        TestFiles::withField(TestFiles::pattern(0x78, 3), 0x70, QByteArray("SENSOR_V2", 8)));
    job.bootOffset = 0;
    job.loraMacOffset = 0x100;
    job.appOffset = 0x300;
    job.regionFieldOffset = 0x10;
    job.fwFieldOffset = 0x70;
    job.nameTemplate = QStringLiteral("region_lora_fw");

    const MemoryMapSet set = memoryMapsOf(job);
    QVERIFY(set.problems.isEmpty());
    QCOMPARE(set.maps.size(), 2); // one per LoRaMAC and application pair
    QCOMPARE(set.maps.at(0).title, QStringLiteral("RU864_1.0.4_SENSOR_V.bin"));
    QCOMPARE(set.maps.at(1).title, QStringLiteral("EU868_1.0.3_SENSOR_V.bin"));
    QCOMPARE(describe(set.maps.at(0)),
             QStringLiteral("piece 0-3f boot.bin; gap 40-ff; piece 100-1ff mac_1.0.4RU864.bin; "
                            "field 110-12f mac_1.0.4RU864.bin; gap 200-2ff; "
                            "piece 300-377 app.bin; field 370-37f app.bin"));
    const MemoryRegion &loraField = set.maps.at(1).regions.at(3);
    QCOMPARE(loraField.field, MemoryRegion::Field::LoRaMac);
    QVERIFY(loraField.fieldBytes.startsWith("1.0.3EU868"));
    const MemoryRegion &appField = set.maps.at(1).regions.last();
    QCOMPARE(appField.field, MemoryRegion::Field::Firmware);
    QCOMPARE(appField.fieldBytes, QByteArray("SENSOR_V")); // what the file holds of the 16 bytes
}

void MemoryMapTest::intelHexJoins_data()
{
    QTest::addColumn<QStringList>("files"); // "name:size@address", size and address in hex
    QTest::addColumn<QString>("expected");

    QTest::newRow("two files with a gap")
        << QStringList{"boot.hex:20@8000000", "app.hex:10@8000100"}
        << "piece 8000000-800001f boot.hex; gap 8000020-80000ff; piece 8000100-800010f app.hex";
    QTest::newRow("clashing bytes") << QStringList{"a.hex:20@8000000", "b.hex:20@8000010"}
                                    << "piece 8000000-800001f a.hex; piece 8000010-800002f b.hex; "
                                       "overlap 8000010-800001f a.hex+b.hex";
    QTest::newRow("same bytes again") << QStringList{"a.hex:20@8000000", "a2.hex:20@8000000"}
                                      << "piece 8000000-800001f a.hex; piece 8000000-800001f a2.hex; "
                                         "same-overlap 8000000-800001f a.hex+a2.hex";
}

void MemoryMapTest::intelHexJoins()
{
    QFETCH(QStringList, files);
    QFETCH(QString, expected);
    QTemporaryDir dir;
    QVERIFY(dir.isValid());

    IntelHexJoinJob job;
    job.fileName = QStringLiteral("joined.hex");
    for (const QString &file : files) {
        const FileLayout layout = parseLayout(file);
        // Files whose names share a first letter carry the same bytes.
        const QByteArray bytes =
            firmwareBytes(layout.size, quint32(layout.name.at(0).unicode()) + quint32(layout.offset));
        job.sources << TestFiles::write(dir.path(), layout.name, hexFor(quint32(layout.offset), bytes));
    }
    const MemoryMapSet set = memoryMapsOf(job);
    QVERIFY(set.problems.isEmpty());
    QCOMPARE(set.maps.size(), 1);
    QVERIFY(set.maps.first().addressed);
    QCOMPARE(describe(set.maps.first()), expected);
    QCOMPARE(set.hasRefusedOverlap(), expected.contains(QLatin1String("; overlap")));
}

void MemoryMapTest::imageFilesAgreeWithInfoAndSrecInfo()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    // Three ranges, one of them across a 64 KiB boundary.
    const QString hex = TestFiles::write(dir.path(), QStringLiteral("image.hex"),
                                         hexFor(0x08000000, firmwareBytes(0x40), false) +
                                             hexFor(0x0800FFF0, firmwareBytes(0x30), false) +
                                             hexFor(0x08020000, firmwareBytes(0x10)));
    const MemoryMapSet set = memoryMapOfImageFile(hex, std::nullopt);
    QVERIFY(set.problems.isEmpty());
    QStringList mapRanges;
    for (const MemoryRegion &region : set.maps.first().regions) {
        if (region.kind == MemoryRegion::Kind::Piece)
            mapRanges << QStringLiteral("%1-%2")
                             .arg(region.start, 8, 16, QLatin1Char('0'))
                             .arg(region.end - 1, 8, 16, QLatin1Char('0'));
    }
    QCOMPARE(mapRanges, QStringList({"08000000-0800003f", "0800fff0-0801001f", "08020000-0802000f"}));

    const ProcessRun info = runCli({QStringLiteral("info"), hex});
    QCOMPARE(info.exitCode, 0);
    QStringList infoRanges;
    static const QRegularExpression infoRange(QStringLiteral("^range: 0x([0-9A-F]+)-0x([0-9A-F]+)"),
                                              QRegularExpression::MultilineOption);
    for (auto it = infoRange.globalMatch(info.out); it.hasNext();) {
        const QRegularExpressionMatch match = it.next();
        infoRanges << (match.captured(1) + QLatin1Char('-') + match.captured(2)).toLower();
    }
    QCOMPARE(infoRanges, mapRanges);

    POSIX_ONLY("judged by srec_cat, objcopy and Python's intelhex, Linux programs");
    const ProcessRun srecInfo = runProcess(QStringLiteral("srec_info"), {hex, QStringLiteral("-Intel")});
    QCOMPARE(srecInfo.exitCode, 0);
    QStringList srecRanges;
    static const QRegularExpression srecRange(QStringLiteral("([0-9A-F]{8}) - ([0-9A-F]{8})"));
    for (auto it = srecRange.globalMatch(srecInfo.out); it.hasNext();) {
        const QRegularExpressionMatch match = it.next();
        srecRanges << (match.captured(1) + QLatin1Char('-') + match.captured(2)).toLower();
    }
    QCOMPARE(srecRanges, mapRanges);

    const QString bin =
        TestFiles::write(dir.path(), QStringLiteral("image.bin"), TestFiles::pattern(0x1234, 1));
    const MemoryMapSet flat = memoryMapOfImageFile(bin, std::nullopt);
    QCOMPARE(describe(flat.maps.first()), QStringLiteral("piece 0-1233 image.bin"));
}

void MemoryMapTest::flashFit_data()
{
    QTest::addColumn<bool>("intelHex");
    QTest::addColumn<quint64>("flashBase");
    QTest::addColumn<quint64>("flashSize");
    QTest::addColumn<quint64>("overflow");

    // The image: 0x100 bytes at offset 0x100 (Binary) or at 0x08000100 (Intel HEX).
    QTest::newRow("binary fits exactly") << false << quint64(0) << quint64(0x200) << quint64(0);
    QTest::newRow("binary one byte too large") << false << quint64(0) << quint64(0x1FF) << quint64(1);
    QTest::newRow("hex fits exactly") << true << quint64(0x08000100) << quint64(0x100) << quint64(0);
    QTest::newRow("hex one byte past the end") << true << quint64(0x08000100) << quint64(0xFF) << quint64(1);
    QTest::newRow("hex one byte below the base")
        << true << quint64(0x08000101) << quint64(0x1000) << quint64(1);
}

void MemoryMapTest::flashFit()
{
    QFETCH(bool, intelHex);
    QFETCH(quint64, flashBase);
    QFETCH(quint64, flashSize);
    QFETCH(quint64, overflow);
    QTemporaryDir dir;
    QVERIFY(dir.isValid());

    MemoryMapSet set;
    QString message;
    if (intelHex) {
        IntelHexJoinJob job;
        job.sources << TestFiles::write(dir.path(), QStringLiteral("a.hex"),
                                        hexFor(0x08000100, firmwareBytes(0x100)));
        job.flash = FlashTarget{flashBase, flashSize};
        set = memoryMapsOf(job);
        message = flashOverflowOf(job);
    } else {
        BinaryJob job;
        job.files.append({true,
                          TestFiles::write(dir.path(), QStringLiteral("a.bin"), TestFiles::pattern(0x100, 1)),
                          0x100});
        job.flash = FlashTarget{flashBase, flashSize};
        set = memoryMapsOf(job);
        message = flashOverflowOf(job);
    }
    QCOMPARE(set.maps.first().overflow(), overflow);
    const bool beyond = std::any_of(set.maps.first().regions.cbegin(), set.maps.first().regions.cend(),
                                    [](const MemoryRegion &region) { return region.beyondFlash; });
    QCOMPARE(beyond, overflow > 0);
    if (overflow == 0) {
        QVERIFY(message.isEmpty());
    } else {
        QVERIFY2(message.contains(QStringLiteral("на 1 байт")), qPrintable(message));
    }
}

void MemoryMapTest::commandLine_data()
{
    QTest::addColumn<QStringList>("arguments"); // a.bin: 0x100 bytes, b.bin: 0x100 bytes, out/ exists
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("inOutput"); // on standard output (exit 0) or standard error
    QTest::addColumn<bool>("imageWritten");

    QTest::newRow("map of a layout that fits")
        << QStringList{"map", "binary", "--file", "a.bin@0", "--file", "b.bin@200", "--flash-size", "300"}
        << 0 << "пусто    0x00000100  0x000001FF     256  нулевые байты" << false;
    QTest::newRow("map names both overlapping files")
        << QStringList{"map", "binary", "--file", "a.bin@0", "--file", "b.bin@80"} << 1
        << "Файлы пересекаются" << false;
    QTest::newRow("map of an image one byte too large")
        << QStringList{"map", "a.bin", "--flash-size", "FF"} << 1 << "больше на 1 байт" << false;
    QTest::newRow("build refused one byte too large")
        << QStringList{"binary",  "--out",  "out",       "--name",       "img", "--file",
                       "a.bin@0", "--file", "b.bin@100", "--flash-size", "1FF"}
        << 1 << "больше на 1 байт" << false;
    QTest::newRow("build that fits exactly")
        << QStringList{"binary",  "--out",  "out",       "--name",       "img", "--file",
                       "a.bin@0", "--file", "b.bin@100", "--flash-size", "200"}
        << 0 << "img.bin" << true;
    QTest::newRow("size that is no size")
        << QStringList{"map", "a.bin", "--flash-size", "0"} << 2 << "--flash-size" << false;
}

void MemoryMapTest::commandLine()
{
    QFETCH(QStringList, arguments);
    QFETCH(int, exitCode);
    QFETCH(QString, inOutput);
    QFETCH(bool, imageWritten);
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    TestFiles::write(dir.path(), QStringLiteral("a.bin"), TestFiles::pattern(0x100, 1));
    TestFiles::write(dir.path(), QStringLiteral("b.bin"), TestFiles::pattern(0x100, 2));
    QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("out")));

    const ProcessRun run = runCli(arguments, dir.path());
    QCOMPARE(run.exitCode, exitCode);
    const QString said = exitCode == 0 ? run.out : run.err;
    QVERIFY2(said.contains(inOutput), qPrintable(run.out + run.err));
    QCOMPARE(QFileInfo::exists(dir.filePath(QStringLiteral("out/img.bin"))), imageWritten);
}

void MemoryMapTest::svgRectanglesLieAtTheRegionsScaledPlaces()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    TestFiles::write(dir.path(), QStringLiteral("a.bin"), TestFiles::pattern(0x100, 1));
    TestFiles::write(dir.path(), QStringLiteral("b.bin"), TestFiles::pattern(0x300, 2));
    const ProcessRun run = runCli({QStringLiteral("map"), QStringLiteral("binary"), QStringLiteral("--file"),
                                   QStringLiteral("a.bin@0"), QStringLiteral("--file"),
                                   QStringLiteral("b.bin@80"), QStringLiteral("--flash-size"),
                                   QStringLiteral("800"), QStringLiteral("--svg"), QStringLiteral("map.svg")},
                                  dir.path());
    QCOMPARE(run.exitCode, 1); // the files overlap: the picture is written all the same
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files).size(), 3); // a.bin, b.bin, map.svg: nothing else

    // What the rectangles must show, as start-end pairs of the regions: the view is the flash, 0..0x800.
    const QMap<QString, QStringList> expected{
        {"piece", {"0-100", "80-380"}}, {"gap", {}}, {"overlap", {"80-100"}}};
    QMap<QString, QStringList> found;
    QXmlStreamReader xml(TestFiles::read(dir.filePath(QStringLiteral("map.svg"))));
    double left = -1;
    double width = -1;
    while (!xml.atEnd()) {
        if (xml.readNext() != QXmlStreamReader::StartElement)
            continue;
        const QXmlStreamAttributes attributes = xml.attributes();
        if (xml.name() == QLatin1String("g") && attributes.value("class") == QLatin1String("bar")) {
            left = attributes.value("data-left").toDouble();
            width = attributes.value("data-width").toDouble();
            QCOMPARE(attributes.value("data-view-start").toString(), QStringLiteral("0x00000000"));
            QCOMPARE(attributes.value("data-view-end").toString(), QStringLiteral("0x00000800"));
        }
        const QString kind = attributes.value("class").toString();
        if (xml.name() != QLatin1String("rect") || !expected.contains(kind))
            continue;
        const quint64 start = attributes.value("data-start").toString().toULongLong(nullptr, 16);
        const quint64 end = attributes.value("data-end").toString().toULongLong(nullptr, 16);
        QVERIFY(width > 0);
        QCOMPARE(qRound(attributes.value("x").toDouble() * 100),
                 qRound((left + width * start / 0x800) * 100));
        QCOMPARE(qRound(attributes.value("width").toDouble() * 100),
                 qRound(width * (end - start) / 0x800 * 100));
        found[kind] << QStringLiteral("%1-%2").arg(start, 0, 16).arg(end, 0, 16);
    }
    QVERIFY2(!xml.hasError(), qPrintable(xml.errorString()));
    QCOMPARE(found.value("piece"), expected.value("piece"));
    QCOMPARE(found.value("overlap"), expected.value("overlap"));
}

// A map of a file that cannot be read is no picture: the SVG there stays as it was.
void MemoryMapTest::svgIsKeptWhenTheMapFails()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    TestFiles::write(dir.path(), QStringLiteral("bad.hex"), ":0100000011EF\r\n:00000001FF\r\n");
    TestFiles::write(dir.path(), QStringLiteral("keep.svg"), "<svg/>");
    const ProcessRun run = runCli({"map", "bad.hex", "--svg", "keep.svg"}, dir.path());
    QCOMPARE(run.exitCode, 1);
    QVERIFY2(run.err.contains(QStringLiteral("bad.hex, строка 1")), qPrintable(run.err));
    QCOMPARE(TestFiles::read(dir.filePath(QStringLiteral("keep.svg"))), QByteArray("<svg/>"));
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden).size(), 2);
}

QTEST_GUILESS_MAIN(MemoryMapTest)
#include "tst_memorymap.moc"
