#include <QtTest>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include "imagebuild.h"
#include "imageplan.h"
#include "jobrun.h"
#include "pieceoverlap.h"
#include "scripteddialogs.h"
#include "testfiles.h"
#include "testplatform.h"

using namespace TestFiles;

namespace {

constexpr qint64 RegionFieldOffset = 0x100;
constexpr qint64 FwFieldOffset = 0x40;

// What a run left in a directory, but for the release manifests beside the images (tested apart).
QStringList dirEntries(const QString &path)
{
    QStringList entries =
        QDir(path).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden, QDir::Name);
    entries.removeIf([](const QString &name) { return name.endsWith(QLatin1String(".manifest.json")); });
    return entries;
}

// A LoRa workspace: one bootloader, LoRaMAC files and applications with name fields, an output dir.
struct LoRaWorkspace {
    QTemporaryDir dir;
    QByteArray boot = pattern(0x1000, 1);
    QList<QByteArray> loraMacs;
    QList<QByteArray> apps;
    LoRaJob job;

    LoRaWorkspace()
    {
        QDir(dir.path()).mkdir(QStringLiteral("out"));
        job.bootPath = write(dir.path(), QStringLiteral("boot/boot.bin"), boot);
        job.outputDir = dir.filePath(QStringLiteral("out"));
        job.nameTemplate = QStringLiteral("kimo lora region fw");
        job.bootOffset = 0;
        job.loraMacOffset = 0x8000;
        job.appOffset = 0x20000;
        job.regionFieldOffset = RegionFieldOffset;
        job.fwFieldOffset = FwFieldOffset;
    }
    void addLoRaMac(const QByteArray &nameText, int size = 0x3000)
    {
        const QByteArray bytes =
            withField(pattern(size, 10 + loraMacs.size()), RegionFieldOffset, nameField(nameText, 32));
        loraMacs << bytes;
        job.loraMacPaths << write(dir.path(), QStringLiteral("lora/lora%1.bin").arg(loraMacs.size()), bytes);
    }
    void addApp(const QByteArray &nameText, int size = 0x4000)
    {
        const QByteArray bytes =
            withField(pattern(size, 20 + apps.size()), FwFieldOffset, nameField(nameText, 16));
        apps << bytes;
        job.appPaths << write(dir.path(), QStringLiteral("app/app%1.bin").arg(apps.size()), bytes);
    }
    QString outPath(const QString &name) const { return job.outputDir + QLatin1Char('/') + name; }
    QByteArray expectedImage(int loraMac, int app) const
    {
        return layout(
            {{job.bootOffset, boot}, {job.loraMacOffset, loraMacs[loraMac]}, {job.appOffset, apps[app]}});
    }
};

QString completed()
{
    return QStringLiteral("Сборка завершена");
}

// A "Сборка" as the window and quillon-cli run it, without the flash question: the job's plan, its
// build, and what the user is told.
struct Built {
    bool succeeded = false;
    QStringList images; // written, in order
    QString imagePath;  // the first of them
};

template <typename Job>
Built build(const Job &job, Reporter &reporter, const JobRun::ProgressConsumer &progress = {})
{
    JobRun run(
        progress, [&reporter](const Problem &problem) { reportProblem(reporter, problem); }, 0);
    const ImagePlan plan = planImages(job, run);
    const Result<QStringList> built = buildImages(plan, run);
    if (!built)
        return {};
    reporter.message(MessageKind::Information, ReportTitle::complete(), plan.finishedText);
    return {true, built.value(), built->value(0)};
}

} // namespace

class AssemblersTest : public QObject {
    Q_OBJECT

private slots:
    void buildsOneLoRaImageByteForByte();
    void buildsAnImagePerPairEachWithTheBootloader();
    void replacesAnOlderLongerImage();
    void acceptsTouchingAndReorderedPieces_data();
    void acceptsTouchingAndReorderedPieces();
    void rejectsCollidingLoRaPieces_data();
    void rejectsCollidingLoRaPieces();
    void failedRunLeavesThePreviousImage();
    void rejectsPairsThatWouldShareAName();
    void warnsWhenThereIsNothingToAssemble_data();
    void warnsWhenThereIsNothingToAssemble();
    void matchesSrecCat();
    void writesAManifestBesideEachImage();

    void binaryFollowsCheckedSlotsSequentially();
    void binaryPlacesPiecesAtTheirOffsets();
    void binaryChecksEveryPlacedPiece_data();
    void binaryChecksEveryPlacedPiece();
    void binaryWritesBinaryHoldingTheRecordWhole();
    void binaryReplacesAnOlderLongerImage();
    void binaryKeepsTheOldImageWhenItsManifestCannotBeWritten();
    void binaryWarnsWhenThereIsNothingToAssemble_data();
    void binaryWarnsWhenThereIsNothingToAssemble();
    void refusesIntelHexAsARawPiece_data();
    void refusesIntelHexAsARawPiece();
    void binaryKeepsThePreviousImageWhenAPieceIsMissing();
};

void AssemblersTest::writesAManifestBesideEachImage()
{
    LoRaWorkspace ws;
    ws.addLoRaMac("1.0.4RU864");
    ws.addApp("App1");
    ws.addApp("App2");
    ScriptedDialogs reporter;
    const QDateTime before = QDateTime::currentDateTimeUtc().addSecs(-1);
    const Built result = build(ws.job, reporter);
    QVERIFY(result.succeeded);
    QCOMPARE(result.images.size(), 2);

    for (int app = 0; app < 2; ++app) {
        const QString imagePath = result.images[app];
        const QByteArray image = read(imagePath);
        QFile file(imagePath + QStringLiteral(".manifest.json"));
        QVERIFY(file.open(QIODevice::ReadOnly));
        QJsonParseError error;
        const QJsonObject manifest = QJsonDocument::fromJson(file.readAll(), &error).object();
        QCOMPARE(error.error, QJsonParseError::NoError);

        const QJsonObject imageEntry = manifest[QStringLiteral("image")].toObject();
        QCOMPARE(imageEntry[QStringLiteral("file")].toString(), QFileInfo(imagePath).fileName());
        QCOMPARE(imageEntry[QStringLiteral("size")].toInteger(), image.size());
        QCOMPARE(imageEntry[QStringLiteral("sha256")].toString().toLatin1(),
                 QCryptographicHash::hash(image, QCryptographicHash::Sha256).toHex());
        // An independent CRC-32: Python's zlib, a Linux program.
        if (TestPlatform::isPosix()) {
            QProcess python;
            python.start(
                QStringLiteral("python3"),
                {QStringLiteral("-c"),
                 QStringLiteral(
                     "import sys, zlib; print('0x%08X' % zlib.crc32(open(sys.argv[1], 'rb').read()))"),
                 imagePath});
            QVERIFY(python.waitForFinished(30000));
            QCOMPARE(imageEntry[QStringLiteral("crc32")].toString(),
                     QString::fromLatin1(python.readAll().trimmed()));
        }

        const QJsonArray pieces = manifest[QStringLiteral("pieces")].toArray();
        const QList<QPair<QString, qint64>> expected = {
            {ws.job.bootPath, 0}, {ws.job.loraMacPaths[0], 0x8000}, {ws.job.appPaths[app], 0x20000}};
        QCOMPARE(pieces.size(), expected.size());
        for (int i = 0; i < pieces.size(); ++i) {
            const QJsonObject piece = pieces[i].toObject();
            const QByteArray source = read(expected[i].first);
            QCOMPARE(piece[QStringLiteral("source")].toString(),
                     QDir::toNativeSeparators(QFileInfo(expected[i].first).absoluteFilePath()));
            QCOMPARE(
                piece[QStringLiteral("offset")].toString(),
                QStringLiteral("0x") +
                    QString::number(expected[i].second, 16).toUpper().rightJustified(8, QLatin1Char('0')));
            QCOMPARE(piece[QStringLiteral("size")].toInteger(), source.size());
            QCOMPARE(piece[QStringLiteral("sha256")].toString().toLatin1(),
                     QCryptographicHash::hash(source, QCryptographicHash::Sha256).toHex());
        }

        const QJsonObject names = manifest[QStringLiteral("names")].toObject();
        QCOMPARE(names[QStringLiteral("version")].toString(), QStringLiteral("1.0.4"));
        QCOMPARE(names[QStringLiteral("region")].toString(), QStringLiteral("RU864"));
        QCOMPARE(names[QStringLiteral("firmware")].toString(), QStringLiteral("App%1").arg(app + 1));
        QCOMPARE(manifest[QStringLiteral("tool")].toString(), QStringLiteral("Quillon " QUILLON_VERSION));
        const QDateTime created =
            QDateTime::fromString(manifest[QStringLiteral("created")].toString(), Qt::ISODate);
        QVERIFY(created.isValid());
        QVERIFY(created >= before && created <= QDateTime::currentDateTimeUtc().addSecs(1));
    }
}

void AssemblersTest::buildsOneLoRaImageByteForByte()
{
    LoRaWorkspace ws;
    ws.addLoRaMac("1.0.4RU864");
    ws.addApp("App1");
    ScriptedDialogs reporter;
    const Built result = build(ws.job, reporter);
    QVERIFY(result.succeeded);
    QCOMPARE(result.images.size(), 1);
    QCOMPARE(result.images.first(), ws.outPath(QStringLiteral("1.0.4_RU864_App1.bin")));
    const QByteArray image = read(result.images.first());
    QCOMPARE(image.size(), 0x20000 + 0x4000);
    QCOMPARE(image, ws.expectedImage(0, 0));
    QCOMPARE(image.mid(0x1000, 0x7000), QByteArray(0x7000, '\0'));
    QCOMPARE(reporter.messageTexts(), QStringList{completed()});
    QCOMPARE(reporter.messages().first().title, QStringLiteral("Complete!"));
    QCOMPARE(reporter.messages().first().kind, MessageKind::Information);
    QCOMPARE(dirEntries(ws.job.outputDir), QStringList{QStringLiteral("1.0.4_RU864_App1.bin")});
}

void AssemblersTest::buildsAnImagePerPairEachWithTheBootloader()
{
    LoRaWorkspace ws;
    ws.addLoRaMac("1.0.4RU864");
    ws.addLoRaMac("V2.3EU868", 0x2000);
    ws.addApp("Alpha");
    ws.addApp("Beta", 0x100);
    ws.addApp("Gamma", 0x5000);
    ScriptedDialogs reporter;
    const Built result = build(ws.job, reporter);
    QVERIFY(result.succeeded);
    const QStringList expectedNames = {
        "1.0.4_RU864_Alpha", "1.0.4_RU864_Beta", "1.0.4_RU864_Gamma",
        "V2.3_EU868_Alpha",  "V2.3_EU868_Beta",  "V2.3_EU868_Gamma",
    };
    QCOMPARE(result.images.size(), 6);
    for (int i = 0; i < 6; ++i) {
        QCOMPARE(result.images[i], ws.outPath(expectedNames[i] + QStringLiteral(".bin")));
        QCOMPARE(read(result.images[i]), ws.expectedImage(i / 3, i % 3));
        QCOMPARE(read(result.images[i]).left(ws.boot.size()), ws.boot);
    }
    QCOMPARE(reporter.messageTexts(), QStringList{completed()});
    QCOMPARE(dirEntries(ws.job.outputDir).size(), 6);
}

void AssemblersTest::replacesAnOlderLongerImage()
{
    LoRaWorkspace ws;
    ws.addLoRaMac("1.0.4RU864");
    ws.addApp("App1");
    const QString target = ws.outPath(QStringLiteral("1.0.4_RU864_App1.bin"));
    write(ws.job.outputDir, QStringLiteral("1.0.4_RU864_App1.bin"), QByteArray(0x40000, '\xEE'));
    ScriptedDialogs reporter;
    QVERIFY(build(ws.job, reporter).succeeded);
    QCOMPARE(read(target), ws.expectedImage(0, 0));
}

void AssemblersTest::acceptsTouchingAndReorderedPieces_data()
{
    QTest::addColumn<qint64>("bootOffset");
    QTest::addColumn<qint64>("loraMacOffset");
    QTest::addColumn<qint64>("appOffset");
    QTest::newRow("touching") << qint64(0) << qint64(0x1000) << qint64(0x4000);
    QTest::newRow("application first") << qint64(0x4000) << qint64(0x20000) << qint64(0);
    QTest::newRow("reverse order touching") << qint64(0x7000) << qint64(0x4000) << qint64(0);
}

void AssemblersTest::acceptsTouchingAndReorderedPieces()
{
    QFETCH(qint64, bootOffset);
    QFETCH(qint64, loraMacOffset);
    QFETCH(qint64, appOffset);
    LoRaWorkspace ws;
    ws.addLoRaMac("1.0.4RU864");
    ws.addApp("App1");
    ws.job.bootOffset = bootOffset;
    ws.job.loraMacOffset = loraMacOffset;
    ws.job.appOffset = appOffset;
    ScriptedDialogs reporter;
    const Built result = build(ws.job, reporter);
    QVERIFY(result.succeeded);
    QCOMPARE(reporter.messageTexts(), QStringList{completed()});
    QCOMPARE(read(result.images.first()), ws.expectedImage(0, 0));
}

void AssemblersTest::rejectsCollidingLoRaPieces_data()
{
    QTest::addColumn<qint64>("bootOffset");
    QTest::addColumn<qint64>("loraMacOffset");
    QTest::addColumn<qint64>("appOffset");
    QTest::addColumn<int>("firstPiece"); // 0 boot, 1 LoRaMAC, 2 application
    QTest::addColumn<int>("secondPiece");
    QTest::addColumn<QString>("firstRange");
    QTest::addColumn<QString>("secondRange");
    QTest::newRow("LoRaMAC inside the bootloader")
        << qint64(0) << qint64(0x800) << qint64(0x20000) << 0 << 1 << "0x0-0xFFF"
        << "0x800-0x37FF";
    QTest::newRow("LoRaMAC ends inside the bootloader")
        << qint64(0x2000) << qint64(0) << qint64(0x20000) << 0 << 1 << "0x2000-0x2FFF"
        << "0x0-0x2FFF";
    QTest::newRow("application inside the LoRaMAC")
        << qint64(0) << qint64(0x8000) << qint64(0xA000) << 1 << 2 << "0x8000-0xAFFF"
        << "0xA000-0xDFFF";
    QTest::newRow("application over the bootloader")
        << qint64(0) << qint64(0x8000) << qint64(0xFFF) << 0 << 2 << "0x0-0xFFF"
        << "0xFFF-0x4FFE";
}

void AssemblersTest::rejectsCollidingLoRaPieces()
{
    QFETCH(qint64, bootOffset);
    QFETCH(qint64, loraMacOffset);
    QFETCH(qint64, appOffset);
    QFETCH(int, firstPiece);
    QFETCH(int, secondPiece);
    QFETCH(QString, firstRange);
    QFETCH(QString, secondRange);
    LoRaWorkspace ws;
    ws.addLoRaMac("1.0.4RU864");
    ws.addApp("App1");
    ws.job.bootOffset = bootOffset;
    ws.job.loraMacOffset = loraMacOffset;
    ws.job.appOffset = appOffset;
    const QStringList paths = {ws.job.bootPath, ws.job.loraMacPaths.first(), ws.job.appPaths.first()};
    ScriptedDialogs reporter;
    const Built result = build(ws.job, reporter);
    QVERIFY(!result.succeeded);
    QVERIFY(result.images.isEmpty());
    QCOMPARE(reporter.messageTexts(),
             QStringList{QStringLiteral("Некорректное смещение. Файл %1: %2. Файл %3: %4")
                             .arg(paths[firstPiece], firstRange, paths[secondPiece], secondRange)});
    QCOMPARE(reporter.messages().first().title, QStringLiteral("Error!"));
    QVERIFY(dirEntries(ws.job.outputDir).isEmpty());
}

void AssemblersTest::failedRunLeavesThePreviousImage()
{
    LoRaWorkspace ws;
    ws.addLoRaMac("1.0.4RU864");
    ws.addApp("App1");
    ScriptedDialogs reporter;
    const Built first = build(ws.job, reporter);
    QVERIFY(first.succeeded);
    const QByteArray before = read(first.images.first());

    // A changed application and a missing second one: the run writes nothing, not even the image
    // of the pair whose files are all there.
    write(ws.dir.path(), QStringLiteral("app/app1.bin"), pattern(0x6000, 98));
    ws.job.appPaths << ws.dir.filePath(QStringLiteral("app/missing.bin"));
    ScriptedDialogs second;
    QVERIFY(!build(ws.job, second).succeeded);
    QCOMPARE(second.messageTexts(),
             QStringList{QStringLiteral("Не удалось открыть файл по пути: ") + ws.job.appPaths.last()});
    QCOMPARE(read(first.images.first()), before);

    // And a run that fails on its offsets.
    ws.job.appPaths.removeLast();
    ws.job.appOffset = 0x9000;
    ScriptedDialogs third;
    QVERIFY(!build(ws.job, third).succeeded);
    QCOMPARE(third.messages().size(), 1);
    QVERIFY(third.messageTexts().first().startsWith(QStringLiteral("Некорректное смещение. Файл ")));
    QCOMPARE(read(first.images.first()), before);
    QCOMPARE(dirEntries(ws.job.outputDir), QStringList{QStringLiteral("1.0.4_RU864_App1.bin")});
}

void AssemblersTest::rejectsPairsThatWouldShareAName()
{
    LoRaWorkspace ws;
    ws.addLoRaMac("1.0.4RU864");
    ws.addLoRaMac("V2.3EU868", 0x2000);
    ws.addApp("App1");
    ws.addApp("APP1", 0x100);
    ws.job.nameTemplate = QStringLiteral("fw");
    ScriptedDialogs reporter;
    QVERIFY(!build(ws.job, reporter).succeeded);
    QCOMPARE(
        reporter.messageTexts(),
        QStringList{QStringLiteral("Одно имя APP1.bin получают образы двух пар: %1 с %2 и %1 с %3. Измените "
                                   "шаблон имени.")
                        .arg(ws.job.loraMacPaths[0], ws.job.appPaths[0], ws.job.appPaths[1])});
    QVERIFY(dirEntries(ws.job.outputDir).isEmpty());
}

void AssemblersTest::warnsWhenThereIsNothingToAssemble_data()
{
    QTest::addColumn<bool>("withBoot");
    QTest::addColumn<bool>("withLoRaMac");
    QTest::addColumn<bool>("withApp");
    QTest::addColumn<bool>("withOutput");
    QTest::newRow("no bootloader") << false << true << true << true;
    QTest::newRow("no LoRaMAC") << true << false << true << true;
    QTest::newRow("no application") << true << true << false << true;
    QTest::newRow("no output directory") << true << true << true << false;
}

void AssemblersTest::warnsWhenThereIsNothingToAssemble()
{
    QFETCH(bool, withBoot);
    QFETCH(bool, withLoRaMac);
    QFETCH(bool, withApp);
    QFETCH(bool, withOutput);
    LoRaWorkspace ws;
    ws.addLoRaMac("1.0.4RU864");
    ws.addApp("App1");
    if (!withBoot)
        ws.job.bootPath.clear();
    if (!withLoRaMac)
        ws.job.loraMacPaths.clear();
    if (!withApp)
        ws.job.appPaths.clear();
    const QString outputDir = ws.job.outputDir;
    if (!withOutput)
        ws.job.outputDir.clear();
    ScriptedDialogs reporter;
    const Built result = build(ws.job, reporter);
    QVERIFY(!result.succeeded);
    QCOMPARE(reporter.messages().size(), 1);
    QCOMPARE(reporter.messages().first().kind, MessageKind::Warning);
    QCOMPARE(reporter.messages().first().title, QStringLiteral("Предупреждение!"));
    QVERIFY(reporter.messageTexts().first().startsWith(QStringLiteral("Нечего собирать")));
    QVERIFY(dirEntries(outputDir).isEmpty());
}

void AssemblersTest::matchesSrecCat()
{
    const QString srecCat = QStandardPaths::findExecutable(QStringLiteral("srec_cat"));
    if (srecCat.isEmpty())
        QSKIP("srec_cat is not installed");
    LoRaWorkspace ws;
    ws.addLoRaMac("1.0.4RU864", 0x3210);
    ws.addApp("App1", 0x5432);
    ScriptedDialogs reporter;
    const Built result = build(ws.job, reporter);
    QVERIFY(result.succeeded);
    const QString reference = ws.dir.filePath(QStringLiteral("reference.bin"));
    const qint64 end = ws.job.appOffset + ws.apps.first().size();
    QProcess srec;
    srec.start(srecCat, {"(", ws.job.bootPath, "-binary", ws.job.loraMacPaths.first(), "-binary", "-offset",
                         "0x8000", ws.job.appPaths.first(), "-binary", "-offset", "0x20000", ")", "-fill",
                         "0x00", "0", QStringLiteral("0x%1").arg(end, 0, 16), "-o", reference, "-binary"});
    QVERIFY(srec.waitForFinished(30000));
    QCOMPARE(srec.exitCode(), 0);
    QCOMPARE(read(result.images.first()), read(reference));
}

void AssemblersTest::binaryFollowsCheckedSlotsSequentially()
{
    QTemporaryDir dir;
    const QByteArray one = pattern(0x123, 1);
    const QByteArray three = pattern(0x456, 3);
    BinaryJob job;
    job.sequential = true;
    job.outputDir = dir.path();
    job.fileName = QStringLiteral("release.bin");
    job.files = {{true, write(dir.path(), "1.bin", one), 0x5000},
                 {false, write(dir.path(), "2.bin", pattern(0x10, 2)), 0},
                 {true, write(dir.path(), "3.bin", three), 0x9000},
                 {false, QString(), 0},
                 {false, QStringLiteral("/nonexistent"), 0},
                 {false, QString(), 0}};
    ScriptedDialogs reporter;
    QList<std::pair<qint64, qint64>> progress;
    const Built result = build(job, reporter, [&](qint64 done, qint64 total) {
        progress.append({done, total});
    });
    QVERIFY(result.succeeded);
    QCOMPARE(result.imagePath, dir.filePath(QStringLiteral("release.bin")));
    QCOMPARE(read(result.imagePath), one + three);
    QCOMPARE(reporter.messageTexts(), QStringList{completed()});
    // The slots planned, then the image written in thousandths.
    QCOMPARE(progress.first(), std::pair(qint64(0), qint64(6)));
    QVERIFY(progress.contains(std::pair(qint64(6), qint64(6))));
    QCOMPARE(progress.last(), std::pair(qint64(JobRun::PerMille), qint64(JobRun::PerMille)));
    for (int i = 1; i < progress.size(); ++i)
        QVERIFY(progress[i].first >= progress[i - 1].first || progress[i].second != progress[i - 1].second);
}

void AssemblersTest::binaryPlacesPiecesAtTheirOffsets()
{
    QTemporaryDir dir;
    const QByteArray one = pattern(0x100, 1);
    const QByteArray two = pattern(0x200, 2);
    const QByteArray four = pattern(0x80, 4);
    BinaryJob job;
    job.outputDir = dir.path();
    job.fileName = QStringLiteral("release.bin");
    job.files = {{true, write(dir.path(), "1.bin", one), 0x1000},
                 {true, write(dir.path(), "2.bin", two), 0x4000},
                 {false, write(dir.path(), "3.bin", pattern(0x1000, 3)), 0x1000},
                 {true, write(dir.path(), "4.bin", four), 0}};
    ScriptedDialogs reporter;
    const Built result = build(job, reporter);
    QVERIFY(result.succeeded);
    QCOMPARE(read(result.imagePath), layout({{0x1000, one}, {0x4000, two}, {0, four}}));
}

void AssemblersTest::binaryChecksEveryPlacedPiece_data()
{
    QTest::addColumn<qint64>("thirdOffset");
    QTest::addColumn<int>("collidesWith"); // -1: none
    QTest::newRow("into the first of three") << qint64(0x80) << 0;
    QTest::newRow("into the second") << qint64(0x1008) << 1;
    QTest::newRow("touching both") << qint64(0x100) << -1;
    QTest::newRow("before all") << qint64(0x2000) << -1;
}

void AssemblersTest::binaryChecksEveryPlacedPiece()
{
    QFETCH(qint64, thirdOffset);
    QFETCH(int, collidesWith);
    QTemporaryDir dir;
    BinaryJob job;
    job.outputDir = dir.path();
    job.fileName = QStringLiteral("release.bin");
    const QList<QByteArray> bytes = {pattern(0x100, 1), pattern(0x10, 2), pattern(0x10, 3)};
    job.files = {{true, write(dir.path(), "1.bin", bytes[0]), 0},
                 {true, write(dir.path(), "2.bin", bytes[1]), 0x1000},
                 {true, write(dir.path(), "3.bin", bytes[2]), thirdOffset}};
    const QStringList ranges = {"0x0-0xFF", "0x1000-0x100F", formatPieceRange(thirdOffset, 0x10)};
    ScriptedDialogs reporter;
    const Built result = build(job, reporter);
    if (collidesWith < 0) {
        QVERIFY(result.succeeded);
        QCOMPARE(read(result.imagePath),
                 layout({{0, bytes[0]}, {0x1000, bytes[1]}, {thirdOffset, bytes[2]}}));
        return;
    }
    QVERIFY(!result.succeeded);
    QCOMPARE(reporter.messageTexts(),
             QStringList{
                 QStringLiteral("Некорректное смещение. Файл: %1 (%2). Файл: %3 (%4)")
                     .arg(job.files[collidesWith].path, ranges[collidesWith], job.files[2].path, ranges[2])});
    QCOMPARE(reporter.messages().first().title, QStringLiteral("Error!"));
    QVERIFY(!QFile::exists(dir.filePath(QStringLiteral("release.bin"))));
}

void AssemblersTest::binaryWritesBinaryHoldingTheRecordWhole()
{
    QTemporaryDir dir;
    const QByteArray tricky = pattern(0x40, 1) + QByteArray(":00000001FF\r\n") + pattern(0x40, 2);
    const QByteArray after = pattern(0x20, 3);
    BinaryJob job;
    job.sequential = true;
    job.outputDir = dir.path();
    job.fileName = QStringLiteral("release.bin");
    job.files = {{true, write(dir.path(), "1.bin", tricky), 0}, {true, write(dir.path(), "2.bin", after), 0}};
    ScriptedDialogs reporter;
    const Built result = build(job, reporter);
    QVERIFY(result.succeeded);
    QCOMPARE(read(result.imagePath), tricky + after);
}

void AssemblersTest::binaryReplacesAnOlderLongerImage()
{
    QTemporaryDir dir;
    const QByteArray one = pattern(0x100, 1);
    write(dir.path(), QStringLiteral("release.bin"), QByteArray(0x10000, '\x5A'));
    BinaryJob job;
    job.outputDir = dir.path();
    job.fileName = QStringLiteral("release.bin");
    job.files = {{true, write(dir.path(), "1.bin", one), 0x10}};
    ScriptedDialogs reporter;
    QVERIFY(build(job, reporter).succeeded);
    QCOMPARE(read(dir.filePath(QStringLiteral("release.bin"))), layout({{0x10, one}}));
}

void AssemblersTest::binaryKeepsTheOldImageWhenItsManifestCannotBeWritten()
{
    QTemporaryDir dir;
    // The image's name fits a file system, the manifest's (14 more bytes) does not.
    const QString fileName = QString(240, QLatin1Char('r')) + QStringLiteral(".bin");
    const QByteArray old = QByteArray(0x100, '\x5A');
    write(dir.path(), fileName, old);
    BinaryJob job;
    job.outputDir = dir.path();
    job.fileName = fileName;
    job.files = {{true, write(dir.path(), "1.bin", pattern(0x40, 1)), 0}};
    ScriptedDialogs reporter;
    QVERIFY(!build(job, reporter).succeeded);
    QCOMPARE(reporter.messages().size(), 1);
    QCOMPARE(reporter.messages().first().kind, MessageKind::Critical);
    QVERIFY(reporter.messages().first().text.endsWith(
        QStringLiteral(".manifest.json (слишком длинное имя файла)")));
    QCOMPARE(read(dir.filePath(fileName)), old);
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden, QDir::Name),
             (QStringList{QStringLiteral("1.bin"), fileName}));
}

void AssemblersTest::binaryWarnsWhenThereIsNothingToAssemble_data()
{
    QTest::addColumn<bool>("checked");
    QTest::addColumn<QString>("fileName");
    QTest::addColumn<bool>("withOutput");
    QTest::addColumn<QString>("warning");
    QTest::addColumn<QString>("title");
    const QString warningTitle = QStringLiteral("Предупреждение!");
    QTest::newRow("no slot checked") << false << "release.bin" << true
                                     << "Нечего собирать: не отмечен ни один файл." << warningTitle;
    // The same words as the other tabs: a name to fill in, not an empty job.
    QTest::newRow("no name") << true << ".bin" << true << "Не задано имя выходного файла."
                             << "Error!";
    QTest::newRow("no output directory")
        << true << "release.bin" << false << "Нечего собирать: не выбран путь записи out-file."
        << warningTitle;
}

void AssemblersTest::binaryWarnsWhenThereIsNothingToAssemble()
{
    QFETCH(bool, checked);
    QFETCH(QString, fileName);
    QFETCH(bool, withOutput);
    QFETCH(QString, warning);
    QFETCH(QString, title);
    QTemporaryDir dir;
    BinaryJob job;
    job.outputDir = withOutput ? dir.path() : QString();
    job.fileName = fileName;
    job.files = {{checked, write(dir.path(), "1.bin", pattern(4, 1)), 0}, {false, QString(), 0}};
    ScriptedDialogs reporter;
    QVERIFY(!build(job, reporter).succeeded);
    QCOMPARE(reporter.messageTexts(), QStringList{warning});
    QCOMPARE(reporter.messages().first().title, title);
    QCOMPARE(dirEntries(dir.path()), QStringList{QStringLiteral("1.bin")});
}

void AssemblersTest::refusesIntelHexAsARawPiece_data()
{
    // Which piece holds what, and what the run says of it (%1: the piece's path).
    QTest::addColumn<QString>("job");
    QTest::addColumn<int>("piece");
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QString>("title");
    QTest::addColumn<QString>("said");
    const QByteArray records = ":0400000001020304F2\r\n:00000001FF\r\n";
    const QString leftOut = QStringLiteral("Файл %1, является IntelHEX фалом и не будет добавлен в очередь.");
    QTest::newRow("LoRa bootloader") << "lora" << 0 << records << "Предупреждение!" << leftOut;
    QTest::newRow("LoRaMAC image") << "lora" << 1 << records << "Предупреждение!" << leftOut;
    QTest::newRow("LoRa application") << "lora" << 2 << records << "Предупреждение!" << leftOut;
    QTest::newRow("Binary piece") << "binary" << 1 << records << "Не верный формат!"
                                  << "%1 явлеяется IntelHEX файлом.";
    QTest::newRow("S-records as a LoRaMAC image")
        << "lora" << 1 << QByteArray("S1060000010203F3\r\n") << "Предупреждение!"
        << "Файл %1, является S-record файлом и не будет добавлен в очередь.";
    QTest::newRow("ELF as a Binary piece") << "binary" << 0
                                           << QByteArray("\x7F"
                                                         "ELF\x01\x01\x01\x00",
                                                         8)
                                           << "Не верный формат!"
                                           << "%1 является ELF файлом.";
    // An empty file would leave the image without the piece.
    QTest::newRow("empty Binary piece") << "binary" << 1 << QByteArray() << "Error!"
                                        << "Файл %1 пуст: в образ нечего положить, образ не собран.";
    QTest::newRow("empty LoRa application") << "lora" << 2 << QByteArray() << "Error!"
                                            << "Файл %1 пуст: в образ нечего положить, образ не собран.";
}

void AssemblersTest::refusesIntelHexAsARawPiece()
{
    QFETCH(QString, job);
    QFETCH(int, piece);
    QFETCH(QByteArray, content);
    QFETCH(QString, title);
    QFETCH(QString, said);
    LoRaWorkspace lora;
    lora.addLoRaMac("1.0.4RU864");
    lora.addApp("App");
    QString *const loraPieces[] = {&lora.job.bootPath, &lora.job.loraMacPaths[0], &lora.job.appPaths[0]};
    BinaryJob binary;
    binary.outputDir = lora.job.outputDir;
    binary.fileName = QStringLiteral("image.bin");
    binary.sequential = true;
    binary.files = {{true, lora.job.bootPath, 0}, {true, lora.job.appPaths[0], 0}};
    QString &path = job == QLatin1String("lora") ? *loraPieces[piece] : binary.files[piece].path;
    path = write(lora.dir.path(), QStringLiteral("text.bin"), content);

    ScriptedDialogs reporter;
    const bool built = job == QLatin1String("lora") ? build(lora.job, reporter).succeeded
                                                    : build(binary, reporter).succeeded;
    QVERIFY(!built);
    QCOMPARE(reporter.messages().size(), 1);
    const ScriptedDialogs::Record refusal = reporter.messages().first();
    QCOMPARE(refusal.kind, title == QLatin1String("Error!") ? MessageKind::Critical : MessageKind::Warning);
    QCOMPARE(refusal.title, title);
    QCOMPARE(refusal.text, said.arg(path));
    QVERIFY(dirEntries(lora.job.outputDir).isEmpty());
}

void AssemblersTest::binaryKeepsThePreviousImageWhenAPieceIsMissing()
{
    QTemporaryDir dir;
    const QByteArray previous = pattern(0x300, 7);
    write(dir.path(), QStringLiteral("release.bin"), previous);
    BinaryJob job;
    job.outputDir = dir.path();
    job.fileName = QStringLiteral("release.bin");
    const QString missing = dir.filePath(QStringLiteral("missing.bin"));
    job.files = {{true, write(dir.path(), "1.bin", pattern(0x10, 1)), 0}, {true, missing, 0x100}};
    ScriptedDialogs reporter;
    QVERIFY(!build(job, reporter).succeeded);
    QCOMPARE(reporter.messageTexts(),
             QStringList{QStringLiteral("Не удалось открыть файл по пути: ") + missing});
    QCOMPARE(read(dir.filePath(QStringLiteral("release.bin"))), previous);
    QCOMPARE(dirEntries(dir.path()), (QStringList{QStringLiteral("1.bin"), QStringLiteral("release.bin")}));
}

QTEST_GUILESS_MAIN(AssemblersTest)
#include "tst_assemblers.moc"
