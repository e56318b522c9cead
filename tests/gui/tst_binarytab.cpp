#include <QtTest>
#include <QtWidgets>

#include "hextesttools.h"
#include "processes.h"
#include "testfiles.h"
#include "testplatform.h"
#include "windowtest.h"

using namespace TestFiles;

namespace {

const QByteArray HexRecords = ":0400000001020304F2\n:00000001FF\n";

QString fileControl(const char *kind, int slot)
{
    return QStringLiteral("Binary%1File%2").arg(QLatin1String(kind)).arg(slot);
}

// Ticks exactly the given slots (1 to 6) of "Файл 1" ... "Файл 6".
void tickOnly(WindowTest &t, const QList<int> &ticked)
{
    for (int slot = 1; slot <= 6; ++slot)
        t.tick(fileControl("Check", slot), ticked.contains(slot));
}

// A Binary build that lasts seconds: one 400 MiB piece (a sparse file, quick to make) into "out",
// where an older image of the same name lies.
void prepareLongBuild(WindowTest &t)
{
    const QString dir = t.workDir.path();
    QFile big(dir + QStringLiteral("/big.bin"));
    QVERIFY(big.open(QIODevice::WriteOnly) && big.resize(qint64(400) << 20));
    big.close();
    write(dir, QStringLiteral("out/image.bin"), "an older image");
    t.openTab(1);
    tickOnly(t, {1});
    t.chooseFile(QStringLiteral("BinarySearchButtonFile1"), big.fileName());
    t.type(QStringLiteral("BinaryTemplateNameRelease"), QStringLiteral("image"));
    t.chooseDirectory(QStringLiteral("BinarySearchRelesae"), dir + QStringLiteral("/out"));
    t.dialogs.records.clear();
}

// The progress dialog on the screen, if any.
QProgressDialog *shownProgress(QWidget *window)
{
    auto *dialog = window->findChild<QProgressDialog *>();
    return dialog && dialog->isVisible() ? dialog : nullptr;
}

// Clicks the progress dialog's "Отмена".
void clickCancel(QProgressDialog *dialog)
{
    auto *cancel = dialog->findChild<QPushButton *>();
    QVERIFY(cancel);
    QCOMPARE(cancel->text(), QStringLiteral("Отмена"));
    QTest::mouseClick(cancel, Qt::LeftButton);
}

} // namespace

class BinaryTabTest : public QObject {
    Q_OBJECT

private slots:
    void fileChoiceRefusesIntelHex_data();
    void fileChoiceRefusesIntelHex();
    void extensionButtonsSetTheChooserFilter();
    void untickedRowsTakeNoInput();
    void extensionIsThatOfTheFileShown_data();
    void extensionIsThatOfTheFileShown();
    void offsetsTakeInputOnlyWhenPiecesGoToThem();

    void placesTickedPiecesAtTheirOffsets();
    void writesTheHexOutputAsIntelHex_data();
    void writesTheHexOutputAsIntelHex();
    void refusesABadOffsetOfATickedSlotOnly();
    void warnsWithoutTickedSlots();
    void pieceIsRefusedLikeTheCommandLine_data();
    void pieceIsRefusedLikeTheCommandLine();
    void buildsWhatTheCommandLineBuildsFromTheSameSettings_data();
    void buildsWhatTheCommandLineBuildsFromTheSameSettings();
    void cancelLeavesTheOldImage();
    void windowAnswersDuringABuild();
};

void BinaryTabTest::fileChoiceRefusesIntelHex_data()
{
    QTest::addColumn<int>("slot");
    for (int slot = 1; slot <= 6; ++slot)
        QTest::addRow("File%d", slot) << slot;
}

void BinaryTabTest::fileChoiceRefusesIntelHex()
{
    QFETCH(int, slot);
    WindowTest t;
    QVERIFY(t.isValid());
    t.openTab(1);
    const QString raw = write(t.workDir.path(), QStringLiteral("raw.bin"), pattern(8, 1));
    const QString records = write(t.workDir.path(), QStringLiteral("records.bin"), HexRecords);
    tickOnly(t, {slot});
    const QString button = QStringLiteral("BinarySearchButtonFile%1").arg(slot);
    auto *combo = t.widget<QComboBox>(fileControl("Combo", slot));
    // With no file shown, every slot lists raw images.
    const QString filter = QStringLiteral("*.bin");

    t.chooseFile(button, raw);
    QCOMPARE(UserActions::items(combo), QStringList{raw});

    t.chooseFile(button, records);
    const QList<ScriptedDialogs::Record> messages = t.dialogs.messages();
    QCOMPARE(messages.size(), 1);
    QCOMPARE(messages[0].kind, MessageKind::Warning);
    QCOMPARE(messages[0].title, QStringLiteral("Не верный формат!"));
    QCOMPARE(messages[0].text, records + QStringLiteral(" явлеяется IntelHEX файлом."));
    QCOMPARE(UserActions::items(combo), QStringList{raw});

    t.chooseFile(button, QString());
    QCOMPARE(combo->currentText(), raw);

    QList<ScriptedDialogs::Record> choosers;
    for (const ScriptedDialogs::Record &record : t.dialogs.records)
        if (record.call == ScriptedDialogs::Call::ChooseFile)
            choosers << record;
    QCOMPARE(choosers.size(), 3);
    QCOMPARE(choosers[0].startDir, QString());
    QCOMPARE(choosers[1].startDir, raw);
    for (const ScriptedDialogs::Record &record : choosers) {
        QCOMPARE(record.title, QStringLiteral("File%1 Directory").arg(slot));
        QCOMPARE(record.filter, filter);
        QVERIFY(record.hadParent);
    }
}

void BinaryTabTest::extensionButtonsSetTheChooserFilter()
{
    WindowTest t;
    QVERIFY(t.isValid());
    t.openTab(1);
    tickOnly(t, {1, 3});
    t.click(fileControl("HEX", 1));
    t.click(fileControl("BIN", 3));
    t.chooseFile(QStringLiteral("BinarySearchButtonFile1"), QString());
    t.chooseFile(QStringLiteral("BinarySearchButtonFile3"), QString());
    QCOMPARE(t.dialogs.records.size(), 2);
    QCOMPARE(t.dialogs.records[0].filter, QStringLiteral("*.hex"));
    QCOMPARE(t.dialogs.records[1].filter, QStringLiteral("*.bin"));
}

void BinaryTabTest::untickedRowsTakeNoInput()
{
    WindowTest t;
    QVERIFY(t.isValid());
    t.openTab(1);
    tickOnly(t, {});
    t.chooseFile(QStringLiteral("BinarySearchButtonFile2"), QStringLiteral("/chosen.bin"));
    QVERIFY(t.dialogs.records.isEmpty());
    t.tick(fileControl("Check", 2), true);
    QVERIFY(t.widget<QGroupBox>(QStringLiteral("File2Group"))->isEnabled());
    t.click(QStringLiteral("BinarySearchButtonFile2"));
    QCOMPARE(t.dialogs.records.size(), 1);
    QCOMPARE(t.widget<QComboBox>(fileControl("Combo", 2))->currentText(), QStringLiteral("/chosen.bin"));
}

void BinaryTabTest::extensionIsThatOfTheFileShown_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<bool>("hex");
    QTest::newRow(".bin") << "piece.bin" << false;
    QTest::newRow(".HEX holding raw bytes") << "piece.HEX" << true;
    QTest::newRow("another extension") << "piece.img" << false;
}

void BinaryTabTest::extensionIsThatOfTheFileShown()
{
    QFETCH(QString, file);
    QFETCH(bool, hex);
    WindowTest t;
    QVERIFY(t.isValid());
    t.openTab(1);
    for (int slot = 1; slot <= 6; ++slot) {
        QVERIFY(t.widget<QRadioButton>(fileControl("BIN", slot))->isChecked());
        QVERIFY(!t.widget<QRadioButton>(fileControl("HEX", slot))->isChecked());
    }
    const QString path = write(t.workDir.path(), file, pattern(8, 1));
    tickOnly(t, {3});
    t.chooseFile(QStringLiteral("BinarySearchButtonFile3"), path);
    QCOMPARE(t.widget<QRadioButton>(fileControl("HEX", 3))->isChecked(), hex);
    QCOMPARE(t.widget<QRadioButton>(fileControl("BIN", 3))->isChecked(), !hex);
}

void BinaryTabTest::offsetsTakeInputOnlyWhenPiecesGoToThem()
{
    WindowTest t;
    QVERIFY(t.isValid());
    t.openTab(1);
    tickOnly(t, {1, 2, 3, 4, 5, 6});
    for (const bool ownOffsets : {false, true, false}) {
        t.tick(QStringLiteral("BinarySequentAssenbl"), ownOffsets);
        for (int slot = 1; slot <= 6; ++slot)
            QCOMPARE(t.widget<QLineEdit>(fileControl("Offset", slot))->isEnabled(), ownOffsets);
    }
}

void BinaryTabTest::placesTickedPiecesAtTheirOffsets()
{
    WindowTest t;
    QVERIFY(t.isValid());
    const QString dir = t.workDir.path();
    const QByteArray one = pattern(0x100, 1);
    const QByteArray three = pattern(0x80, 3);
    const QList<QByteArray> contents = {one, pattern(0x40, 2), three};
    t.openTab(1);
    tickOnly(t, {1, 2, 3});
    for (int slot = 1; slot <= 3; ++slot)
        t.chooseFile(QStringLiteral("BinarySearchButtonFile%1").arg(slot),
                     write(dir, QStringLiteral("f%1.bin").arg(slot), contents[slot - 1]));
    t.type(fileControl("Offset", 1), QStringLiteral("0x1000"));
    t.type(fileControl("Offset", 2), QStringLiteral("not an offset"));
    t.type(fileControl("Offset", 3), QString());
    tickOnly(t, {1, 3});
    t.tick(QStringLiteral("BinarySequentAssenbl"), true);
    t.type(QStringLiteral("BinaryTemplateNameRelease"), QStringLiteral("release"));
    t.chooseDirectory(QStringLiteral("BinarySearchRelesae"), dir + QStringLiteral("/out"));
    QVERIFY(QDir(dir).mkdir(QStringLiteral("out")));

    t.click(QStringLiteral("BinaryAssembling"));
    QCOMPARE(t.dialogs.messageSummaries(), QStringList{QStringLiteral("Сборка завершена")});
    QCOMPARE(imagesIn(dir + QStringLiteral("/out")).keys(), QStringList{"release.bin"});
    QCOMPARE(read(dir + QStringLiteral("/out/release.bin")), layout({{0x1000, one}, {0, three}}));
    QVERIFY(!t.window->findChild<QProgressDialog *>());
}

void BinaryTabTest::writesTheHexOutputAsIntelHex_data()
{
    QTest::addColumn<bool>("sequential");
    QTest::addColumn<QList<int>>("ticked");
    QTest::addColumn<QStringList>("offsets");
    // The offsets of pieces that follow one another are never read.
    QTest::newRow("one after another") << true << QList<int>{2, 5} << QStringList{"garbage", "never read"};
    QTest::newRow("at their offsets, across a 64 KiB window")
        << false << QList<int>{1, 3, 4} << QStringList{"10", "FFE0", "0x20000"};
}

void BinaryTabTest::writesTheHexOutputAsIntelHex()
{
    QFETCH(bool, sequential);
    QFETCH(QList<int>, ticked);
    QFETCH(QStringList, offsets);
    WindowTest t;
    QVERIFY(t.isValid());
    const QString dir = t.workDir.path();
    QVERIFY(QDir(dir).mkdir(QStringLiteral("out")));
    QVERIFY(QDir(dir).mkdir(QStringLiteral("cli")));
    t.openTab(1);
    tickOnly(t, ticked);
    t.tick(QStringLiteral("BinarySequentAssenbl"), !sequential);
    QStringList cliArguments{"binary", "--out", "cli", "--name", "image", "--hex"};
    if (sequential)
        cliArguments << QStringLiteral("--sequential");
    // Odd sizes, and erased flash inside each piece: 0xFF bytes are bytes of the image too.
    QList<QPair<qint64, QByteArray>> placed;
    qint64 next = 0;
    for (int i = 0; i < ticked.size(); ++i) {
        const int slot = ticked[i];
        QByteArray piece = pattern(0x30 + 0x11 * slot, slot);
        piece.replace(0x10, 0x20, QByteArray(0x20, '\xFF'));
        const QString path = write(dir, QStringLiteral("piece%1.bin").arg(slot), piece);
        t.chooseFile(QStringLiteral("BinarySearchButtonFile%1").arg(slot), path);
        t.type(fileControl("Offset", slot), offsets[i]);
        const qint64 offset = sequential ? next : qint64(offsets[i].toLongLong(nullptr, 16));
        placed.append({offset, piece});
        next = offset + piece.size();
        cliArguments << QStringLiteral("--file")
                     << (sequential ? path : path + QLatin1Char('@') + offsets[i]);
    }
    t.click(QStringLiteral("BinaryHEXRelease"));
    t.type(QStringLiteral("BinaryTemplateNameRelease"), QStringLiteral("image"));
    t.chooseDirectory(QStringLiteral("BinarySearchRelesae"), dir + QStringLiteral("/out"));
    t.click(QStringLiteral("BinaryAssembling"));
    QCOMPARE(t.dialogs.messageSummaries(), QStringList{QStringLiteral("Сборка завершена")});
    // ".bin" again: the same image as a flat binary, to compare with.
    t.click(QStringLiteral("BinaryBINRelease"));
    t.click(QStringLiteral("BinaryAssembling"));
    QCOMPARE(imagesIn(dir + QStringLiteral("/out")).keys(), (QStringList{"image.bin", "image.hex"}));

    const QByteArray flat = read(dir + QStringLiteral("/out/image.bin"));
    QByteArray expectedFlat(next, '\0');
    QMap<quint64, quint8> expected;
    for (const auto &[offset, piece] : placed) {
        expectedFlat.replace(offset, piece.size(), piece);
        HexTestTools::addBytesAt(expected, quint64(offset), flat.mid(offset, piece.size()));
    }
    QCOMPARE(flat, expectedFlat);
    const QString hexPath = dir + QStringLiteral("/out/image.hex");
    const QByteArray hex = read(hexPath);
    QVERIFY(hex.endsWith(HexTestTools::EndOfFile));
    QCOMPARE(hex.count(":00000001FF"), 1);
    POSIX_ONLY("judged by srec_cat, objcopy and Python's intelhex, Linux programs");
    const QString difference = HexTestTools::otherToolsDifference(hexPath, dir, expected);
    QVERIFY2(difference.isEmpty(), qPrintable(difference));

    const ProcessRun run = runCli(cliArguments, dir);
    QCOMPARE(run.exitCode, 0);
    QCOMPARE(read(dir + QStringLiteral("/cli/image.hex")), hex);
}

void BinaryTabTest::refusesABadOffsetOfATickedSlotOnly()
{
    WindowTest t;
    QVERIFY(t.isValid());
    const QString dir = t.workDir.path();
    t.openTab(1);
    tickOnly(t, {1, 2, 4});
    t.chooseFile(QStringLiteral("BinarySearchButtonFile1"), write(dir, "one.bin", pattern(8, 1)));
    t.chooseFile(QStringLiteral("BinarySearchButtonFile4"), write(dir, "four.bin", pattern(8, 4)));
    t.tick(QStringLiteral("BinarySequentAssenbl"), true);
    t.type(fileControl("Offset", 1), QStringLiteral("0"));
    t.type(fileControl("Offset", 2), QStringLiteral("zzz"));
    t.type(fileControl("Offset", 4), QStringLiteral("12345678Z"));
    tickOnly(t, {1, 4});
    t.type(QStringLiteral("BinaryTemplateNameRelease"), QStringLiteral("release"));
    t.chooseDirectory(QStringLiteral("BinarySearchRelesae"), dir + QStringLiteral("/out"));
    QVERIFY(QDir(dir).mkdir(QStringLiteral("out")));

    t.click(QStringLiteral("BinaryAssembling"));
    QCOMPARE(t.dialogs.messages().size(), 1);
    QCOMPARE(t.dialogs.messages().first().title, QStringLiteral("Error!"));
    QVERIFY2(t.dialogs.messageTexts().first().contains(
                 QStringLiteral("\"Смещение записи (Файл 4)\": \"12345678Z\"")),
             qPrintable(t.dialogs.messageTexts().first()));
    QVERIFY(imagesIn(dir + QStringLiteral("/out")).isEmpty());
}

void BinaryTabTest::warnsWithoutTickedSlots()
{
    WindowTest t;
    QVERIFY(t.isValid());
    t.openTab(1);
    tickOnly(t, {});
    t.type(QStringLiteral("BinaryTemplateNameRelease"), QStringLiteral("release"));
    t.chooseDirectory(QStringLiteral("BinarySearchRelesae"), t.workDir.path());
    t.click(QStringLiteral("BinaryAssembling"));
    QCOMPARE(t.dialogs.messageTexts(),
             QStringList{QStringLiteral("Нечего собирать: не отмечен ни один файл.")});
    QCOMPARE(t.dialogs.messages().first().kind, MessageKind::Warning);
    QVERIFY(!QFile::exists(t.workDir.filePath(QStringLiteral("release.bin"))));
}

void BinaryTabTest::pieceIsRefusedLikeTheCommandLine_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QString>("title");
    QTest::addColumn<QString>("said"); // after the file's path
    QTest::newRow("Intel HEX") << HexRecords << "Не верный формат!"
                               << " явлеяется IntelHEX файлом.";
    QTest::newRow("S-records") << QByteArray("S1060000010203F3\r\n") << "Не верный формат!"
                               << " является S-record файлом.";
    QTest::newRow("empty") << QByteArray() << "Error!"
                           << " пуст: в образ нечего положить, образ не собран.";
}

void BinaryTabTest::pieceIsRefusedLikeTheCommandLine()
{
    // The file chooser refuses Intel HEX, but a saved path reaches the build unchecked: the build
    // refuses it the way the command line does, and writes nothing.
    QFETCH(QByteArray, content);
    QFETCH(QString, title);
    QFETCH(QString, said);
    WindowTest t;
    QVERIFY(t.isValid());
    const QString dir = t.workDir.path();
    const QString raw = write(dir, QStringLiteral("raw.bin"), pattern(0x40, 1));
    const QString text = write(dir, QStringLiteral("text.bin"), content);
    write(dir, QStringLiteral("out/image.bin"), "an older image");
    const QByteArray saved =
        QStringLiteral("[PathTo]\nBinaryPathFile_1=%1\nBinaryPathFile_2=%2\n"
                       "BinaryPathRelease=%3/out\n[Offsets]\nBinaryOffsetFile_1=0\n"
                       "BinaryOffsetFile_2=100\n[Templates_Name]\n"
                       "BinaryTmpltNameOutFile=image\n[StateWindow]\nBin1=true\nBin2=true\n")
            .arg(raw, text, dir)
            .toUtf8();
    const QString settings = write(dir, QStringLiteral("saved.binary"), saved);
    t.window.reset();
    write(dir, QStringLiteral("config.conf"), saved);
    t.reopen();
    t.openTab(1);
    QCOMPARE(t.widget<QComboBox>(fileControl("Combo", 2))->currentText(), text);

    t.click(QStringLiteral("BinaryAssembling"));
    const QString refusal = (content.isEmpty() ? QStringLiteral("Файл ") : QString()) + text + said;
    QCOMPARE(t.dialogs.messages().size(), 1);
    QCOMPARE(t.dialogs.messages().first().kind,
             content.isEmpty() ? MessageKind::Critical : MessageKind::Warning);
    QCOMPARE(t.dialogs.messages().first().title, title);
    QCOMPARE(t.dialogs.messages().first().text, refusal);
    // Refused in front of the window, with no progress dialog standing behind the box.
    QVERIFY(t.dialogs.messages().first().hadParent);
    QVERIFY(!t.dialogs.messages().first().progressShown);
    QCOMPARE(read(dir + QStringLiteral("/out/image.bin")), QByteArray("an older image"));

    for (const QStringList &arguments :
         {QStringList{QStringLiteral("--settings"), settings},
          QStringList{QStringLiteral("--out"), QStringLiteral("out"), QStringLiteral("--name"),
                      QStringLiteral("image"), QStringLiteral("--file"), raw, QStringLiteral("--file"),
                      text + QStringLiteral("@100")}}) {
        const ProcessRun run = runCli(QStringList{QStringLiteral("binary")} + arguments, dir);
        QCOMPARE(run.exitCode, 1);
        QCOMPARE(run.err, title + QLatin1Char(' ') + refusal + QLatin1Char('\n'));
        QVERIFY(run.out.isEmpty());
        QCOMPARE(read(dir + QStringLiteral("/out/image.bin")), QByteArray("an older image"));
    }
}

void BinaryTabTest::buildsWhatTheCommandLineBuildsFromTheSameSettings_data()
{
    // Each row changes one control of the tab that changes the job. "Сборка по смещениям" and the
    // output extension are not stored in a template, so the command line is given them as options.
    QTest::addColumn<QString>("control");
    QTest::addColumn<QString>("value");
    QTest::addColumn<QStringList>("options");
    QTest::newRow("as set up") << QString() << QString() << QStringList();
    for (int slot = 1; slot <= 6; ++slot) {
        QTest::addRow("file %d unticked", slot) << fileControl("Check", slot) << QString() << QStringList();
        QTest::addRow("file %d offset", slot)
            << fileControl("Offset", slot) << QString::number((slot - 1) * 0x1000 + 0x800, 16)
            << QStringList();
        QTest::addRow("file %d path", slot) << QStringLiteral("BinarySearchButtonFile%1").arg(slot)
                                            << QStringLiteral("other%1.bin").arg(slot) << QStringList();
    }
    QTest::newRow("output directory") << "BinarySearchRelesae"
                                      << "out2" << QStringList();
    QTest::newRow("name") << "BinaryTemplateNameRelease"
                          << "renamed" << QStringList();
    QTest::newRow(".hex output") << "BinaryHEXRelease" << QString() << QStringList{"--hex"};
    QTest::newRow("one after another") << "BinarySequentAssenbl" << QString() << QStringList{"--sequential"};
}

void BinaryTabTest::buildsWhatTheCommandLineBuildsFromTheSameSettings()
{
    QFETCH(QString, control);
    QFETCH(QString, value);
    QFETCH(QStringList, options);
    WindowTest t;
    QVERIFY(t.isValid());
    const QString dir = t.workDir.path();
    QVERIFY(QDir(dir).mkdir(QStringLiteral("out")));
    QVERIFY(QDir(dir).mkdir(QStringLiteral("out2")));
    // Six pieces of different sizes 0x1000 apart, all ticked, and another file for each slot.
    t.openTab(1);
    tickOnly(t, {1, 2, 3, 4, 5, 6});
    for (int slot = 1; slot <= 6; ++slot) {
        t.chooseFile(QStringLiteral("BinarySearchButtonFile%1").arg(slot),
                     write(dir, QStringLiteral("piece%1.bin").arg(slot), pattern(0x100 * slot, slot)));
        write(dir, QStringLiteral("other%1.bin").arg(slot), pattern(0x80 * slot, 10 + slot));
        t.type(fileControl("Offset", slot), QString::number((slot - 1) * 0x1000, 16));
    }
    t.type(QStringLiteral("BinaryTemplateNameRelease"), QStringLiteral("image"));
    t.chooseDirectory(QStringLiteral("BinarySearchRelesae"), dir + QStringLiteral("/out"));

    t.change(control, value);
    const QString out =
        dir + (control == "BinarySearchRelesae" ? QStringLiteral("/out2") : QStringLiteral("/out"));
    const QString difference =
        t.commandLineDifference(QStringLiteral("BinaryAssembling"), QStringLiteral("Binary"),
                                QStringLiteral(".binary"), QStringLiteral("binary"), options, out);
    QVERIFY2(difference.isEmpty(), qPrintable(difference));
    QCOMPARE(imagesIn(out).size(), 1);
}

// "Отмена" in the progress dialog stops the build: the older image stays, no temporary file is left
// beside it, nothing is said. Until then the dialog follows the build over the window.
void BinaryTabTest::cancelLeavesTheOldImage()
{
    WindowTest t;
    QVERIFY(t.isValid());
    prepareLongBuild(t);
    QList<int> values;
    bool cancelled = false;
    QTimer watcher;
    connect(&watcher, &QTimer::timeout, this, [&] {
        QProgressDialog *dialog = shownProgress(t.window.get());
        if (!dialog || cancelled)
            return;
        QCOMPARE(dialog->labelText(), QStringLiteral("Идет процесс сборки..."));
        QCOMPARE(dialog->windowModality(), Qt::WindowModal);
        QCOMPARE(dialog->parentWidget(), static_cast<QWidget *>(t.window.get()));
        values << dialog->value();
        // Some progress seen first, so that the cancel falls in the middle of the writing.
        if (values.size() < 3 || values.last() == values.first())
            return;
        cancelled = true;
        clickCancel(dialog);
    });
    watcher.start(5);
    t.click(QStringLiteral("BinaryAssembling"));
    watcher.stop();

    QVERIFY(cancelled);
    QVERIFY(std::is_sorted(values.begin(), values.end()));
    QVERIFY(values.last() > 0 && values.last() < 100);
    QVERIFY(t.dialogs.records.isEmpty());
    QCOMPARE(read(t.workDir.filePath(QStringLiteral("out/image.bin"))), QByteArray("an older image"));
    QCOMPARE(QDir(t.workDir.filePath(QStringLiteral("out"))).entryList(QDir::Files | QDir::Hidden),
             QStringList{QStringLiteral("image.bin")});
    QVERIFY(!t.window->findChild<QProgressDialog *>());
}

// While a long build runs the window goes on handling its events: a probe timer meant to tick every
// 10 ms keeps ticking (no wait between two ticks over 100 ms), and a click on another tab changes the
// tab at once. Once the progress dialog stands over the window the window takes no clicks until it
// goes, as any window-modal dialog does; the build is cancelled through it.
void BinaryTabTest::windowAnswersDuringABuild()
{
    WindowTest t;
    QVERIFY(t.isValid());
    prepareLongBuild(t);
    auto *tabs = t.widget<QTabWidget>(QStringLiteral("tabWidget"));
    QElapsedTimer clock;
    qint64 lastTick = -1;
    qint64 longestWait = 0;
    int ticks = 0;
    int tabDuringBuild = -1;
    bool buildRunning = false;
    QTimer probe;
    connect(&probe, &QTimer::timeout, this, [&] {
        if (!buildRunning)
            return;
        const qint64 now = clock.elapsed();
        if (lastTick >= 0)
            longestWait = qMax(longestWait, now - lastTick);
        lastTick = now;
        if (++ticks == 1) {
            t.openTab(2);
            tabDuringBuild = tabs->currentIndex();
        }
        // A second of answering, then the build is cancelled.
        if (now > 1000)
            if (QProgressDialog *dialog = shownProgress(t.window.get()))
                clickCancel(dialog);
    });
    probe.start(10);
    clock.start();
    buildRunning = true;
    t.click(QStringLiteral("BinaryAssembling"));
    buildRunning = false;
    probe.stop();

    QVERIFY2(ticks >= 50, qPrintable(QString::number(ticks)));
    QVERIFY2(longestWait < 100, qPrintable(QStringLiteral("%1 ms without an event").arg(longestWait)));
    qInfo("%d ticks, the longest wait between two %lld ms", ticks, longestWait);
    QCOMPARE(tabDuringBuild, 2);
    QCOMPARE(tabs->currentIndex(), 2);
    QCOMPARE(read(t.workDir.filePath(QStringLiteral("out/image.bin"))), QByteArray("an older image"));
}

QTEST_MAIN(BinaryTabTest)
#include "tst_binarytab.moc"
