#include <QtTest>

#include <csignal>

#include "hextesttools.h"
#include "peakmemory.h"
#include "processes.h"
#include "testfiles.h"
#include "testplatform.h"

using namespace TestFiles;

namespace {

// A file of the given size that takes no room on disk.
void writeSparse(const QString &path, qint64 size)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || !file.resize(size))
        qFatal("cannot make %s", qPrintable(path));
}

// kill -9, TerminateProcess on Windows: no signal a program could catch.
constexpr int Kill = 9;
// SIGHUP's number; Windows has no such signal.
constexpr int HangUp = 1;

// A signal a program can catch, sent to that process.
bool sendSignal(int signal, qint64 processId)
{
    if (signal == SIGINT)
        return TestPlatform::interruptProcess(processId);
    if (signal == HangUp)
        return TestPlatform::hangUpProcess(processId);
    return TestPlatform::terminateProcess(processId);
}

QStringList lines(const QString &text)
{
    return text.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}

} // namespace

class AssemblyCliTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void loraWritesEveryPairAndPrintsThePaths();
    void loraFailsOnCollidingPieces();
    void loraUsageErrors_data();
    void loraUsageErrors();
    void loraFailsOnAMissingFile();
    void loraSearchesTheSavedDirectories();
    void loraOptionsOverrideTheSavedTemplate();
    void loraRejectsABadSavedOffset();
    void loraWarnsWhenTheSavedDirectoriesHoldNothing();

    void binaryPlacesPiecesAtTheirOffsets();
    void binaryFollowsPiecesWithSequential();
    void jobsWriteIntoAnExistingFolder();
    void binaryFailsOnCollidingPieces();
    void binaryUsageErrors_data();
    void binaryUsageErrors();
    void binaryTakesASavedTemplate();
    void binaryOptionsOverrideTheSavedTemplate();
    void binaryRejectsABadSavedOffset();

    void jobsRefuseWhatCannotBeAPieceOrAName_data();
    void jobsRefuseWhatCannotBeAPieceOrAName();
    void piecesFromPipesArePlaced();
    void loraChecksSizesBeforeReading_data();
    void loraChecksSizesBeforeReading();
    void loraStreamsItsPieces();
    void interruptedJobLeavesNoTemporary_data();
    void interruptedJobLeavesNoTemporary();
    void everyPieceIsOpenedOnce_data();
    void everyPieceIsOpenedOnce();

private:
    QTemporaryDir *m_dir = nullptr;
    QByteArray m_boot;
    QList<QByteArray> m_loraMacs;
    QList<QByteArray> m_apps;
};

void AssemblyCliTest::initTestCase()
{
    QVERIFY2(QFile::exists(cliPath()), "quillon-cli is not built");
}

void AssemblyCliTest::init()
{
    m_dir = new QTemporaryDir;
    QVERIFY(QDir(m_dir->path()).mkdir(QStringLiteral("out")));
    write(m_dir->path(), QStringLiteral("garbage.LoRa"), QByteArray("[PathTo\nLoRaPathToBoot=/a\n["));
    m_boot = pattern(0x2000, 1);
    m_loraMacs = {withField(pattern(0x3000, 2), 0x10, nameField("1.0.4RU864", 32)),
                  withField(pattern(0x2800, 3), 0x10, nameField("V2.3EU868", 32))};
    m_apps = {withField(pattern(0x5000, 4), 0x200, nameField("App1", 16)),
              withField(pattern(0x1000, 5), 0x200, nameField("App2", 16))};
    write(m_dir->path(), QStringLiteral("boot.bin"), m_boot);
    for (int i = 0; i < 2; ++i) {
        write(m_dir->path(), QStringLiteral("lora%1.bin").arg(i), m_loraMacs[i]);
        write(m_dir->path(), QStringLiteral("app%1.bin").arg(i), m_apps[i]);
    }
}

void AssemblyCliTest::cleanup()
{
    delete m_dir;
    m_dir = nullptr;
}

void AssemblyCliTest::loraWritesEveryPairAndPrintsThePaths()
{
    // An older, longer image of one of the names must not leave its tail behind.
    write(m_dir->path(), QStringLiteral("out/RU864_1.0.4_App2.bin"), QByteArray(0x80000, '\xAB'));
    const ProcessRun run = runCli({"lora",      "--out",
                                   "out",       "--boot",
                                   "boot.bin",  "--loramac",
                                   "lora0.bin", "--loramac",
                                   "lora1.bin", "--app",
                                   "app0.bin",  "--app",
                                   "app1.bin",  "--loramac-offset",
                                   "0x4000",    "--app-offset",
                                   "8000",      "--region-offset",
                                   "10",        "--fw-offset",
                                   "0x200"},
                                  m_dir->path());
    QCOMPARE(run.exitCode, 0);
    QCOMPARE(lines(run.out), (QStringList{"out/RU864_1.0.4_App1.bin", "out/RU864_1.0.4_App2.bin",
                                          "out/EU868_V2.3_App1.bin", "out/EU868_V2.3_App2.bin"}));
    QCOMPARE(run.err, QStringLiteral("Complete! Сборка завершена\n"));
    for (int i = 0; i < 4; ++i) {
        QCOMPARE(read(m_dir->filePath(lines(run.out)[i])),
                 layout({{0, m_boot}, {0x4000, m_loraMacs[i / 2]}, {0x8000, m_apps[i % 2]}}));
    }
}

void AssemblyCliTest::loraFailsOnCollidingPieces()
{
    const ProcessRun run =
        runCli({"lora", "--out", "out", "--boot", "boot.bin", "--loramac", "lora0.bin", "--app", "app0.bin",
                "--loramac-offset", "0x1000", "--app-offset", "0x10000"},
               m_dir->path());
    QCOMPARE(run.exitCode, 1);
    QVERIFY(run.out.isEmpty());
    QCOMPARE(run.err,
             QStringLiteral("Error! Некорректное смещение. Файл boot.bin: 0x0-0x1FFF. Файл lora0.bin: "
                            "0x1000-0x3FFF\n"));
    QVERIFY(QDir(m_dir->filePath(QStringLiteral("out"))).isEmpty());
}

void AssemblyCliTest::loraUsageErrors_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("complaint");
    const QStringList complete = {"--out",     "out",       "--boot", "boot.bin",
                                  "--loramac", "lora0.bin", "--app",  "app0.bin"};
    QTest::newRow("bad offset") << (complete + QStringList{"--app-offset", "0x8O00"}) << "\"--app-offset\"";
    QTest::newRow("no output") << complete.mid(2) << "--out is required";
    QTest::newRow("no bootloader") << (complete.mid(0, 2) + complete.mid(4)) << "--boot is required";
    QTest::newRow("no application") << complete.mid(0, 6) << "--app is required";
    QTest::newRow("unknown option") << (complete + QStringList{"--bogus"}) << "bogus";
    QTest::newRow("stray argument") << (complete + QStringList{"extra"}) << "\"extra\"";
    QTest::newRow("missing settings file") << (complete + QStringList{"--settings", "none.LoRa"})
                                           << "cannot read the settings file \"none.LoRa\"";
    QTest::newRow("settings file that is not INI") << (complete + QStringList{"--settings", "garbage.LoRa"})
                                                   << "\"garbage.LoRa\" is not a valid settings file";
    QTest::newRow("settings file that is a binary") << (complete + QStringList{"--settings", "lora0.bin"})
                                                    << "\"lora0.bin\" is not a valid settings file";
}

void AssemblyCliTest::loraUsageErrors()
{
    QFETCH(QStringList, arguments);
    QFETCH(QString, complaint);
    const ProcessRun run = runCli(QStringList{"lora"} + arguments, m_dir->path());
    QCOMPARE(run.exitCode, 2);
    QVERIFY2(run.err.contains(complaint), qPrintable(run.err));
    QVERIFY(run.out.isEmpty());
    QVERIFY(QDir(m_dir->filePath(QStringLiteral("out"))).isEmpty());
}

void AssemblyCliTest::loraFailsOnAMissingFile()
{
    const ProcessRun run =
        runCli({"lora", "--out", "out", "--boot", "boot.bin", "--loramac", "lora0.bin", "--app", "app0.bin",
                "--app", "gone.bin", "--loramac-offset", "4000", "--app-offset", "8000"},
               m_dir->path());
    QCOMPARE(run.exitCode, 1);
    QCOMPARE(run.err, QStringLiteral("Error! Не удалось открыть файл по пути: gone.bin\n"));
    QVERIFY(QDir(m_dir->filePath(QStringLiteral("out"))).isEmpty());
}

void AssemblyCliTest::binaryPlacesPiecesAtTheirOffsets()
{
    const ProcessRun run = runCli({"binary", "--out", "out", "--name", "release", "--file",
                                   "app0.bin@0x10000", "--file", "boot.bin", "--file", "lora1.bin@2000"},
                                  m_dir->path());
    QCOMPARE(run.exitCode, 0);
    QCOMPARE(lines(run.out), QStringList{"out/release.bin"});
    QCOMPARE(run.err, QStringLiteral("Complete! Сборка завершена\n"));
    QCOMPARE(read(m_dir->filePath(QStringLiteral("out/release.bin"))),
             layout({{0x10000, m_apps[0]}, {0, m_boot}, {0x2000, m_loraMacs[1]}}));
}

void AssemblyCliTest::binaryFollowsPiecesWithSequential()
{
    const ProcessRun run = runCli({"binary", "--out", "out", "--name", "joined", "--sequential", "--file",
                                   "boot.bin@0x9999", "--file", "app1.bin"},
                                  m_dir->path());
    QCOMPARE(run.exitCode, 0);
    QCOMPARE(lines(run.out), QStringList{"out/joined.bin"});
    QCOMPARE(read(m_dir->filePath(QStringLiteral("out/joined.bin"))), m_boot + m_apps[1]);
}

// A name may put the image into a folder of the output directory, as saved templates do.
void AssemblyCliTest::jobsWriteIntoAnExistingFolder()
{
    QVERIFY(QDir(m_dir->path()).mkpath(QStringLiteral("out/2024")));
    ProcessRun run =
        runCli({"binary", "--out", "out", "--name", "2024/img", "--file", "boot.bin"}, m_dir->path());
    QCOMPARE(run.exitCode, 0);
    QCOMPARE(read(m_dir->filePath(QStringLiteral("out/2024/img.bin"))), m_boot);
    run = runCli({"lora", "--out", "out", "--name", "2024\\region_lora_fw", "--boot", "boot.bin", "--loramac",
                  "lora0.bin", "--app", "app0.bin", "--loramac-offset", "4000", "--app-offset", "8000",
                  "--region-offset", "10", "--fw-offset", "200"},
                 m_dir->path());
    QCOMPARE(run.exitCode, 0);
    QCOMPARE(read(m_dir->filePath(QStringLiteral("out/2024/RU864_1.0.4_App1.bin"))),
             layout({{0, m_boot}, {0x4000, m_loraMacs[0]}, {0x8000, m_apps[0]}}));
    QVERIFY(QFile::exists(m_dir->filePath(QStringLiteral("out/2024/RU864_1.0.4_App1.bin.manifest.json"))));
}

void AssemblyCliTest::binaryFailsOnCollidingPieces()
{
    const ProcessRun run = runCli({"binary", "--out", "out", "--name", "release", "--file", "boot.bin",
                                   "--file", "app0.bin@0x8000", "--file", "app1.bin@0x1FFF"},
                                  m_dir->path());
    QCOMPARE(run.exitCode, 1);
    QVERIFY(run.out.isEmpty());
    QCOMPARE(run.err,
             QStringLiteral("Error! Некорректное смещение. Файл: boot.bin (0x0-0x1FFF). Файл: app1.bin "
                            "(0x1FFF-0x2FFE)\n"));
    QVERIFY(QDir(m_dir->filePath(QStringLiteral("out"))).isEmpty());
}

void AssemblyCliTest::binaryUsageErrors_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("complaint");
    const QStringList base = {"--out", "out", "--name", "release"};
    QStringList seven = base;
    for (int i = 0; i < 7; ++i)
        seven << "--file" << QStringLiteral("boot.bin@%1").arg(i * 0x10000, 0, 16);
    QTest::newRow("seven files") << seven << "at most 6";
    QTest::newRow("bad offset") << (base + QStringList{"--file", "boot.bin@12x"}) << "\"12x\"";
    QTest::newRow("no files") << base << "--file is required";
    QTest::newRow("no name") << QStringList{"--out", "out", "--file", "boot.bin"} << "--name is required";
    QTest::newRow("offset only") << (base + QStringList{"--file", "@100"}) << "names no file";
    // A path holding '@' ends with "@0"; a bare '@' is a slip, not offset 0.
    QTest::newRow("nothing after @") << (base + QStringList{"--file", "boot.bin@"}) << "\"\"";
}

void AssemblyCliTest::binaryUsageErrors()
{
    QFETCH(QStringList, arguments);
    QFETCH(QString, complaint);
    const ProcessRun run = runCli(QStringList{"binary"} + arguments, m_dir->path());
    QCOMPARE(run.exitCode, 2);
    QVERIFY2(run.err.contains(complaint), qPrintable(run.err));
    QVERIFY(QDir(m_dir->filePath(QStringLiteral("out"))).isEmpty());
}

void AssemblyCliTest::jobsRefuseWhatCannotBeAPieceOrAName_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("complaint");
    const QStringList loraPieces = {"--boot",   "boot.bin",         "--loramac", "lora0.bin",    "--app",
                                    "app0.bin", "--loramac-offset", "4000",      "--app-offset", "8000"};
    // A device never ends: it must not be read until memory runs out.
    if (TestPlatform::isPosix()) {
        QTest::newRow("device as a binary piece")
            << QStringList{"binary", "--out", "out/deep", "--name", "image", "--file", "/dev/zero"}
            << "Не удалось открыть файл по пути: /dev/zero (это устройство, а не файл: устройства не "
               "читаются)";
        QTest::newRow("device as a LoRa piece")
            << QStringList{"lora",      "--out",     "out/deep", "--boot",  "boot.bin",
                           "--loramac", "/dev/zero", "--app",    "app0.bin"}
            << "/dev/zero (это устройство";
    }
    // Names are file names in the output directory, or in a folder there, never paths out of it.
    QTest::newRow("binary name climbing out")
        << QStringList{"binary", "--out", "out/deep", "--name", "../x", "--file", "boot.bin"}
        << "Имя выходного файла «../x» недопустимо: «.» и «..» не могут быть именем файла или папки.";
    QTest::newRow("binary name with a backslash")
        << QStringList{"binary", "--out", "out/deep", "--name", "..\\x", "--file", "boot.bin"} << "«..\\x»";
    QTest::newRow("binary name from the root")
        << QStringList{"binary", "--out", "out/deep", "--name", "/tmp/img", "--file", "boot.bin"}
        << "«/tmp/img» недопустимо: путь от корня или от диска";
    QTest::newRow("binary name on a drive")
        << QStringList{"binary", "--out", "out/deep", "--name", "C:img", "--file", "boot.bin"} << "«C:img»";
    QTest::newRow("binary name into a missing folder")
        << QStringList{"binary", "--out", "out/deep", "--name", "none/img", "--file", "boot.bin"}
        << "Не найдена папка out/deep/none";
    QTest::newRow("LoRa name into a missing folder")
        << (QStringList{"lora", "--out", "out/deep", "--name", "region/x", "--region-offset", "10"} +
            loraPieces)
        << "Не найдена папка out/deep/RU864";
    // Nothing built is a failure: an image missing a piece is no release.
    QTest::newRow("empty binary piece") << QStringList{"binary", "--out",    "out/deep", "--name",        "x",
                                                       "--file", "boot.bin", "--file",   "empty.bin@4000"}
                                        << "Файл empty.bin пуст: в образ нечего положить, образ не собран.";
    QTest::newRow("empty HEX piece") << QStringList{"intelhex", "--out",     "out/deep", "--name",
                                                    "x",        "piece.hex", "empty.bin"}
                                     << "В файле empty.bin нет данных";
    QTest::newRow("HEX piece of an end-of-file record")
        << QStringList{"intelhex", "--out", "out/deep", "--name", "x", "end.hex"}
        << "В файле end.hex нет данных";
    // A damaged record file is refused as a piece, never placed as its text.
    QTest::newRow("damaged Intel HEX as a binary piece")
        << QStringList{"binary", "--out", "out/deep", "--name", "x", "--file", "bad.hex"}
        << "bad.hex явлеяется IntelHEX файлом.";
    QTest::newRow("binary name dot") << QStringList{"binary", "--out",  "out/deep", "--name",
                                                    ".",      "--file", "boot.bin"}
                                     << "«.» и «..» не могут быть именем файла";
    QTest::newRow("binary name with a control character")
        << QStringList{"binary", "--out", "out/deep", "--name", "a\x1b[2Jb", "--file", "boot.bin"}
        << "«a\\x1B[2Jb» недопустимо: в нём есть управляющие символы";
    QTest::newRow("LoRa name climbing out")
        << (QStringList{"lora", "--out", "out/deep", "--name", "../region"} + loraPieces) << "«../region»";
    QTest::newRow("LoRa name dot dot")
        << (QStringList{"lora", "--out", "out/deep", "--name", ".."} + loraPieces) << "«.» и «..»";
    QTest::newRow("join name climbing out")
        << QStringList{"intelhex", "--out", "out/deep", "--name", "../x", "piece.hex"} << "«../x»";
}

// Whatever the job, nothing is read from a device and nothing is written outside the output
// directory.
void AssemblyCliTest::jobsRefuseWhatCannotBeAPieceOrAName()
{
    QFETCH(QStringList, arguments);
    QFETCH(QString, complaint);
    QVERIFY(QDir(m_dir->path()).mkpath(QStringLiteral("out/deep/sub")));
    write(m_dir->path(), QStringLiteral("piece.hex"), ":0100000011EE\r\n:00000001FF\r\n");
    write(m_dir->path(), QStringLiteral("bad.hex"), ":0100000011EF\r\n:00000001FF\r\n");
    write(m_dir->path(), QStringLiteral("end.hex"), ":00000001FF\r\n");
    write(m_dir->path(), QStringLiteral("empty.bin"), QByteArray());
    const ProcessRun run = runCli(arguments, m_dir->path());
    QCOMPARE(run.exitCode, 1);
    QVERIFY2(run.err.contains(complaint), qPrintable(run.err));
    QVERIFY(run.out.isEmpty());
    QCOMPARE(QDir(m_dir->filePath(QStringLiteral("out"))).entryList(QDir::AllEntries | QDir::NoDotAndDotDot),
             QStringList{QStringLiteral("deep")});
    QCOMPARE(
        QDir(m_dir->filePath(QStringLiteral("out/deep"))).entryList(QDir::AllEntries | QDir::NoDotAndDotDot),
        QStringList{QStringLiteral("sub")});
    QVERIFY(QDir(m_dir->filePath(QStringLiteral("out/deep/sub"))).isEmpty());
}

void AssemblyCliTest::piecesFromPipesArePlaced()
{
    POSIX_ONLY("/dev/stdin");
    // Standard input is a pipe: it has no size until it has been read to its end.
    QProcess process;
    process.setWorkingDirectory(m_dir->path());
    process.start(cliPath(), {"binary", "--out", "out", "--name", "piped", "--file", "boot.bin", "--file",
                              "/dev/stdin@4000"});
    QVERIFY(process.waitForStarted());
    process.write(m_apps[1]);
    process.closeWriteChannel();
    QVERIFY(process.waitForFinished(60000));
    QVERIFY2(process.exitCode() == 0, process.readAllStandardError().constData());
    QCOMPARE(read(m_dir->filePath(QStringLiteral("out/piped.bin"))),
             layout({{0, m_boot}, {0x4000, m_apps[1]}}));
}

void AssemblyCliTest::loraChecksSizesBeforeReading_data()
{
    QTest::addColumn<qint64>("pieceSize");
    QTest::addColumn<QString>("loraMacOffset");
    QTest::addColumn<QString>("complaint");
    QTest::newRow("2 GiB pieces") << (qint64(2) << 30) << "0x1000"
                                  << "больше 512 МиБ";
    QTest::newRow("overlap shown by the sizes") << (qint64(300) << 20) << "0x1000"
                                                << "Некорректное смещение. Файл big0.bin: 0x0-0x12BFFFFF";
    QTest::newRow("past the largest image") << (qint64(100) << 20) << "0x1C000000"
                                            << "за 512 МиБ";
}

// Pieces whose sizes already show that the image cannot be built are not read at all.
void AssemblyCliTest::loraChecksSizesBeforeReading()
{
    QFETCH(qint64, pieceSize);
    QFETCH(QString, loraMacOffset);
    QFETCH(QString, complaint);
    writeSparse(m_dir->filePath(QStringLiteral("big0.bin")), pieceSize);
    writeSparse(m_dir->filePath(QStringLiteral("big1.bin")), pieceSize);
    const MeasuredRun bare = runMeasured(cliPath(), {"--version"});
    const MeasuredRun run =
        runMeasured(cliPath(),
                    {"lora", "--out", "out", "--boot", "big0.bin", "--loramac", "big1.bin", "--app",
                     "app0.bin", "--loramac-offset", loraMacOffset, "--app-offset", "0x1FFF0000"},
                    m_dir->path());
    QCOMPARE(run.exitCode, 1);
    QVERIFY2(QString::fromUtf8(run.err).contains(complaint), run.err.constData());
    QVERIFY(QDir(m_dir->filePath(QStringLiteral("out"))).isEmpty());
    POSIX_ONLY("peak memory as GNU time measures it");
    QVERIFY(bare.peakKiB > 0 && run.peakKiB > 0);
    QVERIFY2(run.peakKiB - bare.peakKiB < 32 * 1024,
             qPrintable(QStringLiteral("%1 KiB against %2 KiB").arg(run.peakKiB).arg(bare.peakKiB)));
}

// The image is written from the pieces' files: memory does not grow with their size.
void AssemblyCliTest::loraStreamsItsPieces()
{
    const QByteArray app = withField(pattern(48 << 20, 6), 0x200, nameField("BIG", 16));
    write(m_dir->path(), QStringLiteral("big-app.bin"), app);
    POSIX_ONLY("peak memory as GNU time measures it");
    const MeasuredRun bare = runMeasured(cliPath(), {"--version"});
    const MeasuredRun run =
        runMeasured(cliPath(),
                    {"lora", "--out", "out", "--boot", "boot.bin", "--loramac", "lora0.bin", "--app",
                     "big-app.bin", "--loramac-offset", "0x4000", "--app-offset", "0x10000",
                     "--region-offset", "10", "--fw-offset", "200"},
                    m_dir->path());
    QVERIFY2(run.exitCode == 0, run.err.constData());
    QCOMPARE(
        read(m_dir->filePath(QStringLiteral("out/") + lines(QString::fromUtf8(run.out)).value(0).mid(4))),
        layout({{0, m_boot}, {0x4000, m_loraMacs[0]}, {0x10000, app}}));
    QVERIFY(bare.peakKiB > 0 && run.peakKiB > 0);
    QVERIFY2(run.peakKiB - bare.peakKiB < 16 * 1024,
             qPrintable(QStringLiteral("%1 KiB against %2 KiB").arg(run.peakKiB).arg(bare.peakKiB)));
}

// A saved LoRa template over sources/boot, sources/lora (LoRaMAC images named *.hex, and one real
// Intel HEX file that the search leaves out) and sources/app.
static QString writeLoRaTemplate(const QString &dir, const QString &appOffset = QStringLiteral("0x8000"))
{
    const QByteArray text = QStringLiteral("[PathTo]\n"
                                           "LoRaPathToBoot=%1/sources/boot\n"
                                           "LoRaPathToLoRa=%1/sources/lora\n"
                                           "LoRaPathToApp=%1/sources/app\n"
                                           "LoRaPathToRelease=%1/out\n"
                                           "[Offsets]\n"
                                           "LoRaOffsetWrtBoot=0\n"
                                           "LoRaOffsetWrtFmwLora=4000\n"
                                           "LoRaOffsetWrtFmw=%2\n"
                                           "LoRaOffsetSrchNameLora=0x10\n"
                                           "LoRaOffsetSrchNameFmw=200\n"
                                           "[Templates_Name]\n"
                                           "LoRaTmpltNameOutFile=kimo lora region fw\n")
                                .arg(dir, appOffset)
                                .toUtf8();
    return write(dir, QStringLiteral("Templates Setting/release.LoRa"), text);
}

void AssemblyCliTest::loraSearchesTheSavedDirectories()
{
    const QString dir = m_dir->path();
    write(dir, QStringLiteral("sources/boot/boot.bin"), m_boot);
    write(dir, QStringLiteral("sources/lora/a/LoraMAC_RU.hex"), m_loraMacs[0]);
    write(dir, QStringLiteral("sources/lora/LoraMAC_EU.hex"), m_loraMacs[1]);
    const QString intelHex =
        write(dir, QStringLiteral("sources/lora/text.hex"), ":0400000001020304F2\n:00000001FF\n");
    write(dir, QStringLiteral("sources/app/app.bin"), m_apps[0]);
    write(dir, QStringLiteral("sources/app/notes.txt"), "not a piece");
    const ProcessRun run = runCli({"lora", "--settings", writeLoRaTemplate(dir)}, dir);
    QCOMPARE(run.exitCode, 0);
    QStringList written = lines(run.out);
    written.sort();
    QCOMPARE(written, (QStringList{dir + "/out/1.0.4_RU864_App1.bin", dir + "/out/V2.3_EU868_App1.bin"}));
    QCOMPARE(read(dir + "/out/V2.3_EU868_App1.bin"),
             layout({{0, m_boot}, {0x4000, m_loraMacs[1]}, {0x8000, m_apps[0]}}));
    QCOMPARE(run.err, QStringLiteral(
                          "Предупреждение! Файл %1, является IntelHEX фалом и не будет добавлен в очередь.\n"
                          "Complete! Сборка завершена\n")
                          .arg(intelHex));
}

void AssemblyCliTest::loraOptionsOverrideTheSavedTemplate()
{
    const QString dir = m_dir->path();
    write(dir, QStringLiteral("sources/boot/boot.bin"), m_boot);
    write(dir, QStringLiteral("sources/app/app.bin"), m_apps[0]);
    QVERIFY(QDir(dir).mkdir(QStringLiteral("other")));
    const ProcessRun run =
        runCli({"lora", "--settings", writeLoRaTemplate(dir), "--loramac", "lora1.bin", "--app-offset",
                "0x10000", "--out", "other", "--name", "fw", "--app-filter", "*.none", "--app", "app1.bin"},
               dir);
    QCOMPARE(run.exitCode, 0);
    QCOMPARE(lines(run.out), QStringList{"other/App2.bin"});
    QCOMPARE(read(dir + "/other/App2.bin"),
             layout({{0, m_boot}, {0x4000, m_loraMacs[1]}, {0x10000, m_apps[1]}}));
}

void AssemblyCliTest::loraRejectsABadSavedOffset()
{
    const ProcessRun run = runCli(
        {"lora", "--settings", writeLoRaTemplate(m_dir->path(), QStringLiteral("8000h"))}, m_dir->path());
    QCOMPARE(run.exitCode, 2);
    QVERIFY2(run.err.contains(QStringLiteral("Offsets/LoRaOffsetWrtFmw")), qPrintable(run.err));
    QVERIFY(run.err.contains(QStringLiteral("\"8000h\"")));
    QVERIFY(QDir(m_dir->filePath(QStringLiteral("out"))).isEmpty());
}

void AssemblyCliTest::loraWarnsWhenTheSavedDirectoriesHoldNothing()
{
    const ProcessRun run = runCli({"lora", "--settings", writeLoRaTemplate(m_dir->path())}, m_dir->path());
    QCOMPARE(run.exitCode, 1);
    QVERIFY(run.out.isEmpty());
    QVERIFY2(run.err.startsWith(QStringLiteral("Предупреждение! Нечего собирать")), qPrintable(run.err));
    QVERIFY(!run.err.contains(QStringLiteral("Сборка завершена")));
}

// A saved Binary template: slot 1 (boot.bin at 0x100) and slot 3 (app1.bin at 0x8000) checked, slot 2
// unchecked with an offset that is no number.
static QString writeBinaryTemplate(const QString &dir, const QString &slot3Offset = QStringLiteral("0x8000"))
{
    const QByteArray text = QStringLiteral("[PathTo]\n"
                                           "BinaryPathFile_1=%1/boot.bin\n"
                                           "BinaryPathFile_2=%1/app0.bin\n"
                                           "BinaryPathFile_3=%1/app1.bin\n"
                                           "BinaryPathRelease=%1/out\n"
                                           "[Offsets]\n"
                                           "BinaryOffsetFile_1=100\n"
                                           "BinaryOffsetFile_2=not a number\n"
                                           "BinaryOffsetFile_3=%2\n"
                                           "[Templates_Name]\n"
                                           "BinaryTmpltNameOutFile=saved\n"
                                           "[StateWindow]\n"
                                           "Bin1=true\n"
                                           "Bin2=false\n"
                                           "Bin3=true\n")
                                .arg(dir, slot3Offset)
                                .toUtf8();
    return write(dir, QStringLiteral("Templates Setting/release.binary"), text);
}

void AssemblyCliTest::binaryTakesASavedTemplate()
{
    const QString settings = writeBinaryTemplate(m_dir->path());
    const ProcessRun run = runCli({"binary", "--settings", settings}, m_dir->path());
    QCOMPARE(run.exitCode, 0);
    QCOMPARE(lines(run.out), QStringList{m_dir->filePath(QStringLiteral("out/saved.bin"))});
    QCOMPARE(read(m_dir->filePath(QStringLiteral("out/saved.bin"))),
             layout({{0x100, m_boot}, {0x8000, m_apps[1]}}));
}

void AssemblyCliTest::binaryOptionsOverrideTheSavedTemplate()
{
    const QString settings = writeBinaryTemplate(m_dir->path());
    QVERIFY(QDir(m_dir->path()).mkdir(QStringLiteral("other")));
    const ProcessRun run = runCli({"binary", "--settings", settings, "--out", "other", "--name", "mine",
                                   "--hex", "--sequential", "--file", "lora0.bin"},
                                  m_dir->path());
    QCOMPARE(run.exitCode, 0);
    QCOMPARE(lines(run.out), QStringList{"other/mine.hex"});
    QMap<quint64, quint8> expected;
    HexTestTools::addBytesAt(expected, 0, m_loraMacs[0]);
    POSIX_ONLY("judged by srec_cat, objcopy and Python's intelhex, Linux programs");
    const QString difference = HexTestTools::otherToolsDifference(
        m_dir->filePath(QStringLiteral("other/mine.hex")), m_dir->path(), expected);
    QVERIFY2(difference.isEmpty(), qPrintable(difference));
    QVERIFY(QDir(m_dir->filePath(QStringLiteral("out"))).isEmpty());
}

void AssemblyCliTest::binaryRejectsABadSavedOffset()
{
    const QString settings = writeBinaryTemplate(m_dir->path(), QStringLiteral("0x80z0"));
    const ProcessRun run = runCli({"binary", "--settings", settings}, m_dir->path());
    QCOMPARE(run.exitCode, 2);
    QVERIFY2(run.err.contains(QStringLiteral("Offsets/BinaryOffsetFile_3")), qPrintable(run.err));
    QVERIFY(run.err.contains(QStringLiteral("\"0x80z0\"")));
    QVERIFY(QDir(m_dir->filePath(QStringLiteral("out"))).isEmpty());

    // Laid one after another, the offsets are not read at all.
    const ProcessRun sequential = runCli({"binary", "--settings", settings, "--sequential"}, m_dir->path());
    QCOMPARE(sequential.exitCode, 0);
    QCOMPARE(read(m_dir->filePath(QStringLiteral("out/saved.bin"))), m_boot + m_apps[1]);

    const ProcessRun missing = runCli({"binary", "--settings", "nothing.binary"}, m_dir->path());
    QCOMPARE(missing.exitCode, 2);
    QVERIFY(missing.err.contains(QStringLiteral("nothing.binary")));
}

void AssemblyCliTest::interruptedJobLeavesNoTemporary_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("output");
    QTest::addColumn<int>("signal");
    const QStringList binary{"binary", "--out", "out", "--name", "release", "--file", "big.bin"};
    const QStringList convert{"convert", "big.bin", "--offset", "0", "-o", "out/big.hex"};
    const struct {
        const char *name;
        int number;
    } interrupts[] = {{"Ctrl+C", SIGINT}, {"SIGTERM", SIGTERM}, {"SIGHUP", HangUp}, {"kill -9", Kill}};
    for (const auto &signal : interrupts) {
        QTest::addRow("binary, %s", signal.name) << binary << QStringLiteral("release.bin") << signal.number;
        QTest::addRow("convert, %s", signal.name) << convert << QStringLiteral("big.hex") << signal.number;
    }
}

// A signal in the middle of the writing stops the job, and the older output stays. A signal the
// program can catch leaves no temporary file beside it, and the exit code says which signal it was,
// as a shell reports one. What a kill leaves is removed when the same output is next written.
void AssemblyCliTest::interruptedJobLeavesNoTemporary()
{
    QFETCH(QStringList, arguments);
    QFETCH(QString, output);
    QFETCH(int, signal);
    if (signal != Kill)
        POSIX_ONLY("signals a program can catch");
    writeSparse(m_dir->filePath(QStringLiteral("big.bin")), qint64(400) << 20);
    const QString out = m_dir->filePath(QStringLiteral("out"));
    write(out, output, "an older image");
    QProcess process;
    process.setWorkingDirectory(m_dir->path());
    process.start(cliPath(), arguments);
    QVERIFY(process.waitForStarted());
    // The temporary file beside the output shows that the writing has begun.
    QTRY_VERIFY_WITH_TIMEOUT(QDir(out).entryList(QDir::Files | QDir::Hidden).size() == 2, 20000);
    if (signal == Kill)
        process.kill();
    else
        QVERIFY(sendSignal(signal, process.processId()));
    QVERIFY(process.waitForFinished(20000));
    QCOMPARE(read(QDir(out).filePath(output)), QByteArray("an older image"));
    if (signal == Kill) {
        QCOMPARE(process.exitStatus(), QProcess::CrashExit);
        QCOMPARE(QDir(out).entryList(QDir::Files | QDir::Hidden).size(), 2);
    } else {
        QCOMPARE(process.exitStatus(), QProcess::NormalExit);
        QCOMPARE(process.exitCode(), 128 + signal);
        QVERIFY(QString::fromUtf8(process.readAllStandardError()).contains(QStringLiteral("прервано")));
        QCOMPARE(QDir(out).entryList(QDir::Files | QDir::Hidden), QStringList{output});
    }

    write(m_dir->path(), QStringLiteral("big.bin"), m_boot);
    const ProcessRun again = runCli(arguments, m_dir->path());
    QVERIFY2(again.exitCode == 0, qPrintable(again.err));
    QVERIFY(read(QDir(out).filePath(output)) != "an older image");
    QCOMPARE(QDir(out).entryList(QDir::Hidden | QDir::Files).filter(QRegularExpression("^\\.")),
             QStringList());
}

void AssemblyCliTest::everyPieceIsOpenedOnce_data()
{
    QTest::addColumn<QStringList>("arguments"); // {0}, {1}, ... stand for the pieces
    QTest::addColumn<QByteArrayList>("pieces");
    const QByteArray boot = pattern(0x2000, 1);
    const QByteArray loraMac = withField(pattern(0x3000, 2), 0x10, nameField("1.0.4RU864", 32));
    const QByteArray app1 = withField(pattern(0x5000, 4), 0x200, nameField("App1", 16));
    const QByteArray app2 = withField(pattern(0x1000, 5), 0x200, nameField("App2", 16));
    QTest::newRow("binary") << QStringList{"binary", "--name", "once",    "--file",
                                           "{0}@0",  "--file", "{1}@4000"}
                            << QByteArrayList{boot, app2};
    // The bootloader and the LoRaMAC image go into both images.
    QTest::newRow("lora, two applications")
        << QStringList{"lora", "--boot",          "{0}", "--loramac",        "{1}",  "--app",
                       "{2}",  "--app",           "{3}", "--loramac-offset", "2000", "--app-offset",
                       "8000", "--region-offset", "10",  "--fw-offset",      "200"}
        << QByteArrayList{boot, loraMac, app1, app2};
    QTest::newRow("intelhex") << QStringList{"intelhex", "--name", "once", "{0}", "{1}"}
                              << QByteArrayList{HexTestTools::hexFor(0x08000000, boot),
                                                HexTestTools::hexFor(0x08004000, app2)};
}

// A build, its flash question included, opens each piece once, however many images take it.
void AssemblyCliTest::everyPieceIsOpenedOnce()
{
    QFETCH(QStringList, arguments);
    QFETCH(QByteArrayList, pieces);
    POSIX_ONLY("opens are counted with inotify");
    TestPlatform::OpenCounter counter;
    QMap<QString, int> once;
    for (int i = 0; i < pieces.size(); ++i) {
        const QString path = write(m_dir->path(), QStringLiteral("piece%1").arg(i), pieces[i]);
        QVERIFY(counter.watch(path));
        once.insert(path, 1);
        arguments.replaceInStrings(QStringLiteral("{%1}").arg(i), path);
    }
    const ProcessRun run =
        runCli(arguments + QStringList{"--flash-size", "1M", "--out", "out"}, m_dir->path());
    QVERIFY2(run.exitCode == 0, qPrintable(run.err));
    QVERIFY(!imagesIn(m_dir->filePath(QStringLiteral("out"))).isEmpty());
    QCOMPARE(counter.opens(), once);
}

QTEST_GUILESS_MAIN(AssemblyCliTest)
#include "tst_assemblycli.moc"
