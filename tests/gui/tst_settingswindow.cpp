#include <QtTest>
#include <QtWidgets>

#include <memory>

#include "configfile.h"
#include "pathcombobox.h"
#include "smallfilesystem.h"
#include "tabsettings.h"
#include "testfiles.h"
#include "windowtest.h"

using namespace TestFiles;
using UserActions::items;
using UserActions::rows;

namespace {

const char *const BinaryCombos[] = {"BinaryComboFile1", "BinaryComboFile2", "BinaryComboFile3",
                                    "BinaryComboFile4", "BinaryComboFile5", "BinaryComboFile6"};
const char *const BinaryOffsets[] = {"BinaryOffsetFile1", "BinaryOffsetFile2", "BinaryOffsetFile3",
                                     "BinaryOffsetFile4", "BinaryOffsetFile5", "BinaryOffsetFile6"};
const char *const BinaryChecks[] = {"BinaryCheckFile1", "BinaryCheckFile2", "BinaryCheckFile3",
                                    "BinaryCheckFile4", "BinaryCheckFile5", "BinaryCheckFile6"};
const char *const BinaryRows[] = {"File1Group", "File2Group", "File3Group",
                                  "File4Group", "File5Group", "File6Group"};
const char *const BinarySearches[] = {"BinarySearchButtonFile1", "BinarySearchButtonFile2",
                                      "BinarySearchButtonFile3", "BinarySearchButtonFile4",
                                      "BinarySearchButtonFile5", "BinarySearchButtonFile6"};
const char *const IntelHexCombos[] = {"IntelHEXComboBOOT",
                                      "IntelHEXComboApp",
                                      "IntelHEXComboMain",
                                      "IntelHEXAdditionalFile1Combo",
                                      "IntelHEXAdditionalFile2Combo",
                                      "IntelHEXAdditionalFile3Combo"};
const char *const IntelHexChecks[] = {"IntelHEXCheckBOOT",  "IntelHEXCheckBOOT2", "IntelHEXCheckApp",
                                      "IntelHEXCheckFile1", "IntelHEXCheckFile2", "IntelHEXCheckFile3"};
const char *const IntelHexRows[] = {"IntelHEXBOOT",
                                    "IntelHEXAppBOOT",
                                    "IntelHEXMainGroup",
                                    "IntelHEXAdditionalFile1",
                                    "IntelHEXAdditionalFile2",
                                    "IntelHEXAdditionalFile3"};
const char *const IntelHexSearches[] = {"IntelHEXSearchBOOT",        "IntelHEXSearchBOOTApp",
                                        "IntelHEXSearchApp",         "IntelHEXSearchAddictFile1",
                                        "IntelHEXSearchAddictFile2", "IntelHEXSearchAddictFile3"};
const char *const LoRaOffsets[] = {"LoRaComboOffsetBOOT", "LoRaComboOffsetLoRa", "LoRaComboOffsetApp",
                                   "LoRaComboOffset_lora_region", "LoRaComboOffsetFW"};

// An Intel HEX file the IntelHEX tab's file chooser takes, under the working directory.
QString hexFile(const QString &name)
{
    return write(QDir::currentPath(), name, ":0400000001020304F2\r\n:00000001FF\r\n");
}

} // namespace

class SettingsWindowTest : public QObject {
    Q_OBJECT

private slots:
    void firstStartCreatesAndShowsTheDefaults();
    void everyWidgetSurvivesARestart();
    void assemblyNamesTheFieldLeftAtItsDefault_data();
    void assemblyNamesTheFieldLeftAtItsDefault();
    void loadedTemplatePathsBecomeCurrent();
    void loadedBinaryTemplateIsWhatTheTabBuilds();
    void resetRestoresTheDefaultsAfterYes();
    void resetAnsweredNoChangesNothing();
    void damagedConfigurationOpensTheWindow_data();
    void damagedConfigurationOpensTheWindow();
    void emptyConfigurationIsLeftAsItIs();

    void pathListsShowTheEndOfLongPaths();

    void templateSaveListsAndClears_data();
    void templateSaveListsAndClears();
    void templateKindsStayApart();
    void templateNameProblemsWarn_data();
    void templateNameProblemsWarn();
    void templateSelectStripsOnlyTheEndingExtension();
    void loraTemplateRoundTrip();
    void binaryTemplateRestoresSwitchesAndRows();
    void intelHexTemplateRoundTrip();
    void templateWriteFailureWarnsAndKeepsTheName();
    void foldersInsideTheWorkingDirectoryAreKeptRelative_data();
    void foldersInsideTheWorkingDirectoryAreKeptRelative();
    void templateSavedOverAfterAQuestionLoadsByKey_data();
    void templateSavedOverAfterAQuestionLoadsByKey();
    void templateDeleteAndRenameAsk_data();
    void templateDeleteAndRenameAsk();
    void fullDiskKeepsTheOldFilesWhole();
};

namespace {

QString binaryPath(int slot)
{
    return QStringLiteral("/bin/файл%1.bin").arg(slot + 1);
}

QString intelHexPath(int slot)
{
    return QDir::currentPath() + QStringLiteral("/hex/part %1.hex").arg(slot + 1);
}

QString loraOffset(int field)
{
    return QStringLiteral("0x0800%1").arg(field) + QStringLiteral("000");
}

// Sets every stored field of the three tabs through the widgets, ticking the odd Binary files and
// the last three IntelHEX files, and opens the IntelHEX tab.
void fillEveryWidget(WindowTest &t)
{
    t.openTab(0);
    t.chooseDirectory(QStringLiteral("LoRaSearchBOOT"), QStringLiteral("/no/boot"));
    t.chooseDirectory(QStringLiteral("LoRaSearchLoraMAC"), QStringLiteral("/no/lora mac"));
    t.chooseDirectory(QStringLiteral("LoRaSearchApp"), QStringLiteral("/no/app;x"));
    t.chooseDirectory(QStringLiteral("LoRaSearchRelease"), QStringLiteral("/out/lora"));
    for (int field = 0; field < 5; ++field)
        t.type(QLatin1String(LoRaOffsets[field]), loraOffset(field));
    t.type(QStringLiteral("LoRaTemplateName"), QStringLiteral("region_\"lora\"_fw"));

    t.openTab(1);
    for (int slot = 0; slot < 6; ++slot) {
        t.tick(QLatin1String(BinaryChecks[slot]), true);
        t.chooseFile(QLatin1String(BinarySearches[slot]), binaryPath(slot));
        t.type(QLatin1String(BinaryOffsets[slot]), QStringLiteral("%1F00").arg(slot));
        t.tick(QLatin1String(BinaryChecks[slot]), slot % 2 == 1);
    }
    t.chooseDirectory(QStringLiteral("BinarySearchRelesae"), QStringLiteral("/out/bin"));
    t.type(QStringLiteral("BinaryTemplateNameRelease"), QStringLiteral("bin, image"));

    t.openTab(2);
    for (int slot = 0; slot < 6; ++slot) {
        t.tick(QLatin1String(IntelHexChecks[slot]), true);
        t.chooseFile(QLatin1String(IntelHexSearches[slot]),
                     hexFile(QStringLiteral("hex/part %1.hex").arg(slot + 1)));
        t.tick(QLatin1String(IntelHexChecks[slot]), slot >= 3);
    }
    t.chooseDirectory(QStringLiteral("IntelHEXSearchReleaseButton"), QStringLiteral("/out/hex"));
    t.type(QStringLiteral("IntelHEXTemplFileName"), QStringLiteral(" hex image "));
}

void checkEveryWidget(WindowTest &t)
{
    QCOMPARE(t.widget<QComboBox>(QStringLiteral("LoRaComboBOOT"))->currentText(), QStringLiteral("/no/boot"));
    QCOMPARE(t.widget<QComboBox>(QStringLiteral("LoRaComboLoraMAC"))->currentText(),
             QStringLiteral("/no/lora mac"));
    QCOMPARE(t.widget<QComboBox>(QStringLiteral("LoRaComboApp"))->currentText(), QStringLiteral("/no/app;x"));
    QCOMPARE(rows(t.widget<QListWidget>(QStringLiteral("LoRaComboRelease"))), QStringList{"/out/lora"});
    for (int field = 0; field < 5; ++field)
        QCOMPARE(t.widget<QLineEdit>(QLatin1String(LoRaOffsets[field]))->text(), loraOffset(field));
    QCOMPARE(t.widget<QLineEdit>(QStringLiteral("LoRaTemplateName"))->text(),
             QStringLiteral("region_\"lora\"_fw"));
    for (int slot = 0; slot < 6; ++slot) {
        QCOMPARE(t.widget<QComboBox>(QLatin1String(BinaryCombos[slot]))->currentText(), binaryPath(slot));
        QCOMPARE(t.widget<QLineEdit>(QLatin1String(BinaryOffsets[slot]))->text(),
                 QStringLiteral("%1F00").arg(slot));
        QCOMPARE(t.widget<QCheckBox>(QLatin1String(BinaryChecks[slot]))->isChecked(), slot % 2 == 1);
        QCOMPARE(t.widget<QGroupBox>(QLatin1String(BinaryRows[slot]))->isEnabled(), slot % 2 == 1);
        QCOMPARE(t.widget<QComboBox>(QLatin1String(IntelHexCombos[slot]))->currentText(), intelHexPath(slot));
        QCOMPARE(t.widget<QCheckBox>(QLatin1String(IntelHexChecks[slot]))->isChecked(), slot >= 3);
        QCOMPARE(t.widget<QGroupBox>(QLatin1String(IntelHexRows[slot]))->isEnabled(), slot >= 3);
    }
    QCOMPARE(rows(t.widget<QListWidget>(QStringLiteral("BinaryReleaseCombo"))), QStringList{"/out/bin"});
    QCOMPARE(rows(t.widget<QListWidget>(QStringLiteral("IntelHEXReleaseDirrect"))), QStringList{"/out/hex"});
    QCOMPARE(t.widget<QLineEdit>(QStringLiteral("BinaryTemplateNameRelease"))->text(),
             QStringLiteral("bin, image"));
    QCOMPARE(t.widget<QLineEdit>(QStringLiteral("IntelHEXTemplFileName"))->text(),
             QStringLiteral(" hex image "));
}

// Whether a field shows nothing but `hint` in grey: a combo box with no entry current, a list
// without rows, an empty line edit.
bool showsOnlyHint(QWidget *field, const QString &hint)
{
    bool empty = false;
    if (auto *combo = qobject_cast<QComboBox *>(field))
        empty = combo->currentIndex() < 0 && combo->currentText().isEmpty();
    else if (auto *list = qobject_cast<QListWidget *>(field))
        empty = list->count() == 0;
    else if (auto *edit = qobject_cast<QLineEdit *>(field))
        empty = edit->text().isEmpty();
    return empty && field->property("placeholderText").toString() == hint;
}

// Every field as config.conf's defaults show it: a path or name still at its default is an empty
// field with the default as its hint.
void checkTheDefaults(WindowTest &t)
{
    QStringList emptyPaths{"LoRaComboBOOT", "LoRaComboLoraMAC", "LoRaComboApp", "BinaryReleaseCombo",
                           "IntelHEXReleaseDirrect"};
    for (const char *name : BinaryCombos)
        emptyPaths << QLatin1String(name);
    for (const char *name : IntelHexCombos)
        emptyPaths << QLatin1String(name);
    for (const QString &name : emptyPaths)
        QVERIFY2(showsOnlyHint(t.widget<QWidget>(name), QStringLiteral("Enter Path..->")), qPrintable(name));
    QVERIFY(
        showsOnlyHint(t.widget<QWidget>(QStringLiteral("LoRaComboRelease")), QStringLiteral("Enter Path..")));
    for (const char *name : {"BinaryTemplateNameRelease", "IntelHEXTemplFileName"})
        QVERIFY2(showsOnlyHint(t.widget<QWidget>(QLatin1String(name)), QStringLiteral("Enter Template Name")),
                 name);
    for (const char *name : LoRaOffsets)
        QCOMPARE(t.widget<QLineEdit>(QLatin1String(name))->text(), QStringLiteral("0"));
    for (const char *name : BinaryOffsets)
        QCOMPARE(t.widget<QLineEdit>(QLatin1String(name))->text(), QStringLiteral("0"));
    QCOMPARE(t.widget<QLineEdit>(QStringLiteral("LoRaTemplateName"))->text(),
             QStringLiteral("region_lora_fw"));
    QCOMPARE(t.widget<QTabWidget>(QStringLiteral("tabWidget"))->currentIndex(), 1);
    for (int slot = 0; slot < 6; ++slot) {
        QVERIFY(!t.widget<QCheckBox>(QLatin1String(BinaryChecks[slot]))->isChecked());
        QVERIFY(!t.widget<QGroupBox>(QLatin1String(BinaryRows[slot]))->isEnabled());
        QVERIFY(!t.widget<QCheckBox>(QLatin1String(IntelHexChecks[slot]))->isChecked());
        QVERIFY(!t.widget<QGroupBox>(QLatin1String(IntelHexRows[slot]))->isEnabled());
    }
}

} // namespace

void SettingsWindowTest::firstStartCreatesAndShowsTheDefaults()
{
    WindowTest t;
    QVERIFY(t.isValid());
    QCOMPARE(read(QStringLiteral("config.conf")), ConfigFile::defaultContent());
    checkTheDefaults(t);
    QVERIFY(t.dialogs.messages().isEmpty());
}

void SettingsWindowTest::assemblyNamesTheFieldLeftAtItsDefault_data()
{
    // Each change: a control and its value, as WindowTest::change() takes them.
    QTest::addColumn<int>("page");
    QTest::addColumn<QString>("assemble");
    QTest::addColumn<QStringList>("changes");
    QTest::addColumn<QString>("message");
    const QString folder = QStringLiteral("Выберите директорию в поле «Путь записи out-file».");
    const QString name = QStringLiteral("Задайте имя в поле «Шаблон имени out-file».");
    QTest::newRow("LoRa, first start")
        << 0 << "LoRaAssembling" << QStringList() << "Выберите директорию в группе «Бутлоадер».";
    QTest::newRow("LoRa, output folder")
        << 0 << "LoRaAssembling"
        << QStringList{"LoRaSearchBOOT", "src", "LoRaSearchLoraMAC", "src", "LoRaSearchApp", "src"} << folder;
    QTest::newRow("Binary, first start") << 1 << "BinaryAssembling" << QStringList() << folder;
    QTest::newRow("Binary, name") << 1 << "BinaryAssembling" << QStringList{"BinarySearchRelesae", "out"}
                                  << name;
    QTest::newRow("Binary, ticked file")
        << 1 << "BinaryAssembling" << QStringList{"BinaryCheckFile2", QString()}
        << "Выберите файл в группе «Файл 2».";
    QTest::newRow("IntelHEX, name") << 2 << "IntelHEXAssebling"
                                    << QStringList{"IntelHEXSearchReleaseButton", "out"} << name;
}

void SettingsWindowTest::assemblyNamesTheFieldLeftAtItsDefault()
{
    QFETCH(int, page);
    QFETCH(QString, assemble);
    QFETCH(QStringList, changes);
    QFETCH(QString, message);
    WindowTest t;
    QVERIFY(t.isValid());
    QVERIFY(QDir().mkpath(QStringLiteral("out")) && QDir().mkpath(QStringLiteral("src")));
    t.openTab(page);
    for (int i = 0; i + 1 < changes.size(); i += 2)
        t.change(changes[i], changes[i + 1]);
    t.dialogs.records.clear();

    t.click(assemble);
    QCOMPARE(t.dialogs.messageTexts(), QStringList{message});
    QCOMPARE(t.dialogs.messages().first().kind, MessageKind::Warning);
    QVERIFY(QDir(QStringLiteral("out")).isEmpty());
    QVERIFY(!QFileInfo::exists(QStringLiteral("Enter Template Name.bin")));
}

void SettingsWindowTest::everyWidgetSurvivesARestart()
{
    WindowTest t;
    QVERIFY(t.isValid());
    fillEveryWidget(t);
    t.window.reset();

    QSettings store(QStringLiteral("config.conf"), QSettings::IniFormat);
    QCOMPARE(store.allKeys().size(), 47);
    QCOMPARE(store.value(QStringLiteral("STMSetting/LoRaHW_ID")).toString(), QStringLiteral("0"));
    QCOMPARE(store.value(QStringLiteral("StateWindow/Tab")).toInt(), 2);
    QCOMPARE(LoRaSettings::load(store).offsetWrtBoot, QStringLiteral("0x08000000"));

    t.reopen();
    checkEveryWidget(t);
    QCOMPARE(t.widget<QTabWidget>(QStringLiteral("tabWidget"))->currentIndex(), 2);
    for (const char *name : BinaryCombos)
        QCOMPARE(t.widget<QComboBox>(QLatin1String(name))->count(), 1);
    QVERIFY(t.dialogs.messages().isEmpty());
}

void SettingsWindowTest::loadedTemplatePathsBecomeCurrent()
{
    WindowTest t;
    QVERIFY(t.isValid());
    fillEveryWidget(t);
    t.saveTemplate(QStringLiteral("Binary"), QStringLiteral(".binary"), QStringLiteral("b"));
    t.saveTemplate(QStringLiteral("IntelHEX"), QStringLiteral(".IntelHEX"), QStringLiteral("h"));
    t.saveTemplate(QStringLiteral("LoRa"), QStringLiteral(".LoRa"), QStringLiteral("l"));

    // Other files chosen since: the loads must switch back to the template's.
    const QString keptRaw = write(QDir::currentPath(), QStringLiteral("kept.bin"), "raw");
    const QString kept = hexFile(QStringLiteral("kept.hex"));
    for (int slot = 0; slot < 6; ++slot) {
        t.tick(QLatin1String(BinaryChecks[slot]), true);
        t.chooseFile(QLatin1String(BinarySearches[slot]), keptRaw);
        t.tick(QLatin1String(IntelHexChecks[slot]), true);
        t.chooseFile(QLatin1String(IntelHexSearches[slot]), kept);
    }
    for (int round = 1; round <= 2; ++round) {
        for (const char *list :
             {"BinaryListFileSettings", "IntelHEXListFileSettings", "LoRaListFileSettings"}) {
            auto *templates = t.widget<QListWidget>(QLatin1String(list));
            QCOMPARE(templates->count(), 1);
            UserActions::doubleClickRow(templates, 0);
        }
        // The template's paths are shown; the earlier ones stay in the lists, each once.
        for (int slot = 0; slot < 6; ++slot) {
            auto *binary = t.widget<QComboBox>(QLatin1String(BinaryCombos[slot]));
            QCOMPARE(binary->currentText(), binaryPath(slot));
            QCOMPARE(items(binary), (QStringList{keptRaw, binaryPath(slot)}));
            auto *intelHex = t.widget<QComboBox>(QLatin1String(IntelHexCombos[slot]));
            QCOMPARE(intelHex->currentText(), intelHexPath(slot));
            QCOMPARE(items(intelHex), (QStringList{kept, intelHexPath(slot)}));
        }
        checkEveryWidget(t);
        for (const char *name : {"LoRaComboBOOT", "LoRaComboLoraMAC", "LoRaComboApp"})
            QCOMPARE(t.widget<QComboBox>(QLatin1String(name))->count(), 1);
        for (const char *name : {"LoRaComboRelease", "BinaryReleaseCombo", "IntelHEXReleaseDirrect"})
            QCOMPARE(t.widget<QListWidget>(QLatin1String(name))->count(), 1);
    }
    QCOMPARE(t.widget<QLineEdit>(QStringLiteral("BinaryNameWrtSettings"))->text(), QStringLiteral("b"));
    QCOMPARE(t.widget<QLineEdit>(QStringLiteral("IntelHEXNameWrtSettings"))->text(), QStringLiteral("h"));
    QCOMPARE(t.widget<QLineEdit>(QStringLiteral("LoRaNameWrtSettings"))->text(), QStringLiteral("l"));
    QVERIFY(t.dialogs.messages().isEmpty());

    // An earlier path is still picked from the list as a user picks it.
    auto *first = t.widget<QComboBox>(QLatin1String(BinaryCombos[0]));
    t.openTab(1);
    t.tick(QLatin1String(BinaryChecks[0]), true);
    UserActions::selectItem(first, 0);
    QCOMPARE(first->currentText(), keptRaw);
}

void SettingsWindowTest::loadedBinaryTemplateIsWhatTheTabBuilds()
{
    WindowTest t;
    QVERIFY(t.isValid());
    const QString dir = t.workDir.path();
    const QByteArray wanted = pattern(0x40, 1);
    t.openTab(1);
    t.tick(QLatin1String(BinaryChecks[0]), true);
    t.chooseFile(QLatin1String(BinarySearches[0]), write(dir, QStringLiteral("wanted.bin"), wanted));
    t.type(QLatin1String(BinaryOffsets[0]), QStringLiteral("100"));
    t.type(QStringLiteral("BinaryTemplateNameRelease"), QStringLiteral("image"));
    QVERIFY(QDir(dir).mkdir(QStringLiteral("out")));
    t.chooseDirectory(QStringLiteral("BinarySearchRelesae"), dir + QStringLiteral("/out"));
    t.saveTemplate(QStringLiteral("Binary"), QStringLiteral(".binary"), QStringLiteral("release"));

    t.chooseFile(QLatin1String(BinarySearches[0]), write(dir, QStringLiteral("other.bin"), pattern(0x40, 2)));
    t.type(QLatin1String(BinaryOffsets[0]), QStringLiteral("0"));
    UserActions::doubleClickRow(t.widget<QListWidget>(QStringLiteral("BinaryListFileSettings")), 0);
    t.click(QStringLiteral("BinaryAssembling"));
    QCOMPARE(t.dialogs.messageSummaries(), QStringList{QStringLiteral("Сборка завершена")});
    QCOMPARE(read(dir + QStringLiteral("/out/image.bin")), layout({{0x100, wanted}}));
}

void SettingsWindowTest::resetRestoresTheDefaultsAfterYes()
{
    WindowTest t;
    QVERIFY(t.isValid());
    fillEveryWidget(t);
    t.reopen();
    QVERIFY(read(QStringLiteral("config.conf")) != ConfigFile::defaultContent());
    // Choices the files do not store are set back too.
    t.openTab(0);
    t.click(QStringLiteral("LoRaHEXBOOT"));
    t.tick(QStringLiteral("LoRaLoRaMACInName"), true);
    t.openTab(1);
    t.tick(QStringLiteral("BinarySequentAssenbl"), false);
    t.click(QStringLiteral("BinaryHEXRelease"));
    t.saveTemplate(QStringLiteral("Binary"), QStringLiteral(".binary"), QStringLiteral("b"));
    UserActions::doubleClickRow(t.widget<QListWidget>(QStringLiteral("BinaryListFileSettings")), 0);

    t.dialogs.records.clear();
    t.dialogs.askAnswers.enqueue(true);
    t.click(QStringLiteral("Reset"));
    QCOMPARE(t.dialogs.records.size(), 1);
    QCOMPARE(t.dialogs.records[0].call, ScriptedDialogs::Call::Ask);
    QCOMPARE(read(QStringLiteral("config.conf")), ConfigFile::defaultContent());
    checkTheDefaults(t);
    QVERIFY(t.widget<QRadioButton>(QStringLiteral("LoRaBINBOOT"))->isChecked());
    QVERIFY(!t.widget<QCheckBox>(QStringLiteral("LoRaLoRaMACInName"))->isChecked());
    QVERIFY(t.widget<QCheckBox>(QStringLiteral("BinarySequentAssenbl"))->isChecked());
    QVERIFY(t.widget<QRadioButton>(QStringLiteral("BinaryBINRelease"))->isChecked());

    // Closed untouched, the window leaves the default values in config.conf.
    t.window.reset();
    QSettings saved(QStringLiteral("config.conf"), QSettings::IniFormat);
    QCOMPARE(LoRaSettings::load(saved), LoRaSettings::defaults());
    QCOMPARE(BinarySettings::load(saved), BinarySettings::defaults());
    QCOMPARE(IntelHexSettings::load(saved), IntelHexSettings::defaults());
    t.reopen();
    checkTheDefaults(t);
}

void SettingsWindowTest::resetAnsweredNoChangesNothing()
{
    WindowTest t;
    QVERIFY(t.isValid());
    fillEveryWidget(t);
    t.window.reset();
    const QByteArray saved = read(QStringLiteral("config.conf"));
    t.reopen();

    t.dialogs.records.clear();
    t.dialogs.askAnswers.enqueue(false);
    t.click(QStringLiteral("Reset"));
    QCOMPARE(t.dialogs.records.size(), 1);
    QCOMPARE(read(QStringLiteral("config.conf")), saved);
    checkEveryWidget(t);
}

void SettingsWindowTest::damagedConfigurationOpensTheWindow_data()
{
    QTest::addColumn<QByteArray>("content");
    QByteArray binary;
    for (int i = 0; i < 8192; ++i)
        binary += char((i * 2654435761u) >> 13);
    QTest::newRow("binary") << binary;
    QTest::newRow("half-written") << ConfigFile::defaultContent().left(300);
    QTest::newRow("nul bytes") << QByteArray("[PathTo]\nLoRaPathToBoot=/a\0\0\0\n[Offs\0ets]\n=\n", 40);
    QTest::newRow("broken variant") << QByteArray(
        "[StateWindow]\nTab=@Variant(\\0\\0\\0\\x7f\\0\\0\\0\\xffQ)\nBin1=@ByteArray(\n");
}

void SettingsWindowTest::damagedConfigurationOpensTheWindow()
{
    QFETCH(QByteArray, content);
    WindowTest t;
    QVERIFY(t.isValid());
    t.window.reset();
    QVERIFY(writeFile(QStringLiteral("config.conf"), content));
    t.reopen();
    QCOMPARE(read(QStringLiteral("config.conf")), content);
    // A path read whole, or none (an empty field with its hint).
    QVERIFY(t.widget<QComboBox>(QStringLiteral("LoRaComboBOOT"))->count() <= 1);
    QVERIFY(t.widget<QListWidget>(QStringLiteral("LoRaComboRelease"))->count() <= 1);
    fillEveryWidget(t);
    // The next start finds everything that was on screen.
    t.reopen();
    checkEveryWidget(t);
}

void SettingsWindowTest::emptyConfigurationIsLeftAsItIs()
{
    WindowTest t;
    QVERIFY(t.isValid());
    t.window.reset();
    QVERIFY(writeFile(QStringLiteral("config.conf"), QByteArray()));
    t.reopen();
    QCOMPARE(read(QStringLiteral("config.conf")), QByteArray());
    QCOMPARE(items(t.widget<QComboBox>(QStringLiteral("LoRaComboBOOT"))), QStringList{QString()});
    QCOMPARE(items(t.widget<QComboBox>(QStringLiteral("BinaryComboFile1"))), QStringList{QString()});
    QCOMPARE(rows(t.widget<QListWidget>(QStringLiteral("LoRaComboRelease"))), QStringList{QString()});
    QCOMPARE(t.widget<QLineEdit>(QStringLiteral("LoRaComboOffsetBOOT"))->text(), QString());
    QCOMPARE(t.widget<QLineEdit>(QStringLiteral("LoRaTemplateName"))->text(), QString());
    QCOMPARE(t.widget<QTabWidget>(QStringLiteral("tabWidget"))->currentIndex(), 0);
    QVERIFY(!t.widget<QGroupBox>(QStringLiteral("IntelHEXBOOT"))->isEnabled());
}

void SettingsWindowTest::pathListsShowTheEndOfLongPaths()
{
    WindowTest t;
    QVERIFY(t.isValid());
    const QString deep = QStringLiteral("/a/long/way/down/to/the/release/pieces/of/this/board/");
    struct Row {
        QString combo;
        QString search;
        QString tick; // the box that has to be ticked for the row to take a file
        QString path;
    };
    QList<Row> paths = {
        {"LoRaComboBOOT", "LoRaSearchBOOT", {}, deep + QStringLiteral("bootloader")},
        {"LoRaComboLoraMAC", "LoRaSearchLoraMAC", {}, deep + QStringLiteral("loramac")},
        {"LoRaComboApp", "LoRaSearchApp", {}, deep + QStringLiteral("application")},
    };
    for (int slot = 0; slot < 6; ++slot) {
        paths.append({QLatin1String(BinaryCombos[slot]), QLatin1String(BinarySearches[slot]),
                      QLatin1String(BinaryChecks[slot]), deep + QStringLiteral("piece%1.bin").arg(slot + 1)});
        paths.append({QLatin1String(IntelHexCombos[slot]), QLatin1String(IntelHexSearches[slot]),
                      QLatin1String(IntelHexChecks[slot]),
                      hexFile(deep.mid(1) + QStringLiteral("part%1.hex").arg(slot + 1))});
    }
    for (const Row &row : paths) {
        if (!row.tick.isEmpty())
            t.tick(row.tick, true);
        if (row.combo.startsWith(QLatin1String("LoRa")))
            t.chooseDirectory(row.search, row.path);
        else
            t.chooseFile(row.search, row.path);
        auto *combo = t.widget<PathComboBox>(row.combo);
        const QString name = row.path.mid(row.path.lastIndexOf(QLatin1Char('/')));
        QCOMPARE(combo->currentText(), row.path);
        QCOMPARE(combo->toolTip(), row.path);
        QVERIFY2(combo->displayText().endsWith(name) && combo->displayText().startsWith(QChar(0x2026)),
                 qPrintable(row.combo + QStringLiteral(": ") + combo->displayText()));
    }
    QVERIFY(t.dialogs.messages().isEmpty());
}

void SettingsWindowTest::templateSaveListsAndClears_data()
{
    QTest::addColumn<QString>("prefix");
    QTest::addColumn<QString>("extension");
    QTest::newRow("LoRa") << "LoRa"
                          << ".LoRa";
    QTest::newRow("Binary") << "Binary"
                            << ".binary";
    QTest::newRow("IntelHEX") << "IntelHEX"
                              << ".IntelHEX";
}

void SettingsWindowTest::templateSaveListsAndClears()
{
    QFETCH(QString, prefix);
    QFETCH(QString, extension);
    WindowTest t;
    QVERIFY(t.isValid());
    write(QDir::currentPath(), QStringLiteral("Templates Setting/old") + extension, "[PathTo]\n");
    t.reopen();
    auto *name = t.widget<QLineEdit>(prefix + QStringLiteral("NameWrtSettings"));
    auto *list = t.widget<QListWidget>(prefix + QStringLiteral("ListFileSettings"));
    QCOMPARE(rows(list), QStringList{"old" + extension});
    const QString saved = t.saveTemplate(prefix, extension, QStringLiteral("new one"));
    QVERIFY(QFileInfo(saved).isFile());
    QCOMPARE(name->text(), QString());
    QCOMPARE(rows(list), (QStringList{"new one" + extension, "old" + extension}));
    // Saving again under the same name, agreed to, overwrites and lists it once.
    t.dialogs.askAnswers.enqueue(true);
    t.saveTemplate(prefix, extension, QStringLiteral("new one"));
    QCOMPARE(rows(list), (QStringList{"new one" + extension, "old" + extension}));
    QVERIFY(t.dialogs.messages().isEmpty());
}

void SettingsWindowTest::templateKindsStayApart()
{
    WindowTest t;
    QVERIFY(t.isValid());
    t.saveTemplate(QStringLiteral("LoRa"), QStringLiteral(".LoRa"), QStringLiteral("same"));
    t.saveTemplate(QStringLiteral("Binary"), QStringLiteral(".binary"), QStringLiteral("same"));
    t.saveTemplate(QStringLiteral("IntelHEX"), QStringLiteral(".IntelHEX"), QStringLiteral("same"));
    for (int start = 0; start < 2; ++start) {
        QCOMPARE(rows(t.widget<QListWidget>(QStringLiteral("LoRaListFileSettings"))),
                 QStringList{"same.LoRa"});
        QCOMPARE(rows(t.widget<QListWidget>(QStringLiteral("BinaryListFileSettings"))),
                 QStringList{"same.binary"});
        QCOMPARE(rows(t.widget<QListWidget>(QStringLiteral("IntelHEXListFileSettings"))),
                 QStringList{"same.IntelHEX"});
        t.reopen();
    }

    // Each file holds its own tab's keys only.
    QSettings lora(QStringLiteral("Templates Setting/same.LoRa"), QSettings::IniFormat);
    QCOMPARE(lora.allKeys().size(), 10);
    QSettings binary(QStringLiteral("Templates Setting/same.binary"), QSettings::IniFormat);
    QCOMPARE(binary.allKeys().size(), 20);
    QSettings intelHex(QStringLiteral("Templates Setting/same.IntelHEX"), QSettings::IniFormat);
    QCOMPARE(intelHex.allKeys().size(), 14);
}

void SettingsWindowTest::templateNameProblemsWarn_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("text");
    QTest::newRow("empty") << QString() << QStringLiteral("Поле не может быть пустым");
    const QString separators = QStringLiteral("Имя шаблона не может содержать символы \"/\" и \"\\\"");
    QTest::newRow("slash") << QStringLiteral("../../outside") << separators;
    QTest::newRow("backslash") << QStringLiteral("..\\outside") << separators;
}

void SettingsWindowTest::templateNameProblemsWarn()
{
    QFETCH(QString, name);
    QFETCH(QString, text);
    WindowTest t;
    QVERIFY(t.isValid());
    write(QDir::currentPath(), QStringLiteral("Templates Setting/kept.binary"), "[PathTo]\n");
    t.reopen();
    t.saveTemplate(QStringLiteral("Binary"), QStringLiteral(".binary"), name);
    const QList<ScriptedDialogs::Record> messages = t.dialogs.messages();
    QCOMPARE(messages.size(), 1);
    QCOMPARE(messages[0].kind, MessageKind::Warning);
    QCOMPARE(messages[0].title, QStringLiteral("Предупреждение!"));
    QCOMPARE(messages[0].text, text);
    QCOMPARE(t.widget<QLineEdit>(QStringLiteral("BinaryNameWrtSettings"))->text(), name);
    QCOMPARE(rows(t.widget<QListWidget>(QStringLiteral("BinaryListFileSettings"))),
             QStringList{"kept.binary"});
    QCOMPARE(QDir(QStringLiteral("Templates Setting")).entryList(QDir::Files), QStringList{"kept.binary"});
    QCOMPARE(QDir::current().entryList(QDir::Files), QStringList{"config.conf"});
}

void SettingsWindowTest::templateSelectStripsOnlyTheEndingExtension()
{
    WindowTest t;
    QVERIFY(t.isValid());
    write(QDir::currentPath(), QStringLiteral("Templates Setting/fw.LoRa.v2.LoRa"), "[PathTo]\n");
    write(QDir::currentPath(), QStringLiteral("Templates Setting/plain.IntelHEX"), "[PathTo]\n");
    t.reopen();
    t.openTab(0);
    auto *list = t.widget<QListWidget>(QStringLiteral("LoRaListFileSettings"));
    QCOMPARE(list->count(), 1);
    UserActions::clickRow(list, 0);
    QCOMPARE(t.widget<QLineEdit>(QStringLiteral("LoRaNameWrtSettings"))->text(),
             QStringLiteral("fw.LoRa.v2"));
    // Saving after the click writes over the template clicked, not beside it.
    t.dialogs.askAnswers.enqueue(true);
    t.click(QStringLiteral("LoRaSaveSettings"));
    QCOMPARE(rows(list), QStringList{"fw.LoRa.v2.LoRa"});
    QVERIFY(read(QStringLiteral("Templates Setting/fw.LoRa.v2.LoRa")).contains("LoRaOffsetWrtBoot"));
    t.openTab(2);
    UserActions::clickRow(t.widget<QListWidget>(QStringLiteral("IntelHEXListFileSettings")), 0);
    QCOMPARE(t.widget<QLineEdit>(QStringLiteral("IntelHEXNameWrtSettings"))->text(), QStringLiteral("plain"));
}

void SettingsWindowTest::loraTemplateRoundTrip()
{
    WindowTest t;
    QVERIFY(t.isValid());
    fillEveryWidget(t);
    t.openTab(0);
    t.saveTemplate(QStringLiteral("LoRa"), QStringLiteral(".LoRa"), QStringLiteral("lora"));
    t.chooseDirectory(QStringLiteral("LoRaSearchBOOT"), QStringLiteral("/changed"));
    t.type(QStringLiteral("LoRaComboOffsetFW"), QStringLiteral("changed"));
    t.chooseDirectory(QStringLiteral("LoRaSearchRelease"), QStringLiteral("/changed"));
    UserActions::doubleClickRow(t.widget<QListWidget>(QStringLiteral("LoRaListFileSettings")), 0);
    QCOMPARE(t.widget<QComboBox>(QStringLiteral("LoRaComboBOOT"))->currentText(), QStringLiteral("/no/boot"));
    QCOMPARE(t.widget<QLineEdit>(QStringLiteral("LoRaComboOffsetFW"))->text(), QStringLiteral("0x08004000"));
    QCOMPARE(rows(t.widget<QListWidget>(QStringLiteral("LoRaComboRelease"))), QStringList{"/out/lora"});
    QCOMPARE(t.widget<QLineEdit>(QStringLiteral("LoRaNameWrtSettings"))->text(), QStringLiteral("lora"));
}

void SettingsWindowTest::binaryTemplateRestoresSwitchesAndRows()
{
    WindowTest t;
    QVERIFY(t.isValid());
    fillEveryWidget(t);
    t.openTab(1);
    t.saveTemplate(QStringLiteral("Binary"), QStringLiteral(".binary"), QStringLiteral("bin"));
    t.tick(QLatin1String(BinaryChecks[1]), true);
    t.type(QStringLiteral("BinaryOffsetFile2"), QStringLiteral("changed"));
    for (int slot = 0; slot < 6; ++slot)
        t.tick(QLatin1String(BinaryChecks[slot]), slot % 2 == 0);
    UserActions::doubleClickRow(t.widget<QListWidget>(QStringLiteral("BinaryListFileSettings")), 0);
    for (int slot = 0; slot < 6; ++slot) {
        QCOMPARE(t.widget<QCheckBox>(QLatin1String(BinaryChecks[slot]))->isChecked(), slot % 2 == 1);
        QCOMPARE(t.widget<QGroupBox>(QLatin1String(BinaryRows[slot]))->isEnabled(), slot % 2 == 1);
    }
    QCOMPARE(t.widget<QLineEdit>(QStringLiteral("BinaryOffsetFile2"))->text(), QStringLiteral("1F00"));
    QCOMPARE(t.widget<QLineEdit>(QStringLiteral("BinaryTemplateNameRelease"))->text(),
             QStringLiteral("bin, image"));
    // LoRa and IntelHEX widgets are untouched by a Binary template.
    QCOMPARE(t.widget<QComboBox>(QStringLiteral("IntelHEXComboBOOT"))->count(), 1);
}

void SettingsWindowTest::intelHexTemplateRoundTrip()
{
    WindowTest t;
    QVERIFY(t.isValid());
    fillEveryWidget(t);
    t.saveTemplate(QStringLiteral("IntelHEX"), QStringLiteral(".IntelHEX"), QStringLiteral("hex"));
    for (int slot = 0; slot < 6; ++slot)
        t.tick(QLatin1String(IntelHexChecks[slot]), slot < 3);
    t.chooseDirectory(QStringLiteral("IntelHEXSearchReleaseButton"), QStringLiteral("/changed"));
    UserActions::doubleClickRow(t.widget<QListWidget>(QStringLiteral("IntelHEXListFileSettings")), 0);
    for (int slot = 0; slot < 6; ++slot) {
        QCOMPARE(t.widget<QCheckBox>(QLatin1String(IntelHexChecks[slot]))->isChecked(), slot >= 3);
        QCOMPARE(t.widget<QGroupBox>(QLatin1String(IntelHexRows[slot]))->isEnabled(), slot >= 3);
        QCOMPARE(t.widget<QComboBox>(QLatin1String(IntelHexCombos[slot]))->currentText(), intelHexPath(slot));
    }
    QCOMPARE(rows(t.widget<QListWidget>(QStringLiteral("IntelHEXReleaseDirrect"))), QStringList{"/out/hex"});
    QCOMPARE(t.widget<QLineEdit>(QStringLiteral("IntelHEXNameWrtSettings"))->text(), QStringLiteral("hex"));
}

void SettingsWindowTest::templateWriteFailureWarnsAndKeepsTheName()
{
    WindowTest t;
    QVERIFY(t.isValid());
    // A plain file where the folder should be: nothing can be written under it, even as root.
    QVERIFY(writeFile(QStringLiteral("Templates Setting"), "not a folder"));
    t.saveTemplate(QStringLiteral("LoRa"), QStringLiteral(".LoRa"), QStringLiteral("t"));
    const QList<ScriptedDialogs::Record> messages = t.dialogs.messages();
    QCOMPARE(messages.size(), 1);
    QCOMPARE(messages[0].kind, MessageKind::Warning);
    QCOMPARE(messages[0].title, QStringLiteral("Предупреждение!"));
    QCOMPARE(messages[0].text, QDir::currentPath() + QStringLiteral("/Templates Setting/t.LoRa") +
                                   QStringLiteral(": не удалось сохранить шаблон."));
    QCOMPARE(t.widget<QLineEdit>(QStringLiteral("LoRaNameWrtSettings"))->text(), QStringLiteral("t"));
    QCOMPARE(read(QStringLiteral("Templates Setting")), QByteArray("not a folder"));
}

void SettingsWindowTest::fullDiskKeepsTheOldFilesWhole()
{
    WorkingDirectory outer;
    QVERIFY(outer.isValid());
    const QString mountPoint = outer.filePath(QStringLiteral("small"));
    SmallFileSystem disk(mountPoint, 12);
    if (!disk.isMounted())
        QSKIP("mounting a small file system needs root");
    QVERIFY(QDir::setCurrent(mountPoint));
    const auto leave = qScopeGuard([&] { QDir::setCurrent(outer.path()); });
    write(mountPoint, QStringLiteral("Templates Setting/kept.LoRa"), "[PathTo]\nLoRaPathToBoot=/kept\n");

    ScriptedDialogs dialogs;
    auto window = std::make_unique<MainWindow>(dialogs);
    QCOMPARE(read(QStringLiteral("config.conf")), ConfigFile::defaultContent());
    disk.fill();

    UserActions::chooseDirectory(
        dialogs, UserActions::widget<QPushButton>(window.get(), QStringLiteral("LoRaSearchBOOT")),
        QStringLiteral("/elsewhere"));
    UserActions::typeInto(UserActions::widget<QLineEdit>(window.get(), QStringLiteral("LoRaNameWrtSettings")),
                          QStringLiteral("kept"));
    dialogs.askAnswers.enqueue(true);
    UserActions::click(UserActions::widget<QPushButton>(window.get(), QStringLiteral("LoRaSaveSettings")));
    const QList<ScriptedDialogs::Record> messages = dialogs.messages();
    QCOMPARE(messages.size(), 1);
    QCOMPARE(messages[0].title, QStringLiteral("Предупреждение!"));
    QCOMPARE(messages[0].text,
             mountPoint + QStringLiteral("/Templates Setting/kept.LoRa: не удалось сохранить шаблон."));
    QCOMPARE(read(QStringLiteral("Templates Setting/kept.LoRa")),
             QByteArray("[PathTo]\nLoRaPathToBoot=/kept\n"));
    QCOMPARE(rows(UserActions::widget<QListWidget>(window.get(), QStringLiteral("LoRaListFileSettings"))),
             QStringList{"kept.LoRa"});

    window.reset();
    QCOMPARE(dialogs.messages().size(), 1);
    QCOMPARE(read(QStringLiteral("config.conf")), ConfigFile::defaultContent());
    QCOMPARE(QDir().entryList(QDir::Files | QDir::Hidden), (QStringList{"config.conf", "filler"}));
}

void SettingsWindowTest::foldersInsideTheWorkingDirectoryAreKeptRelative_data()
{
    // "%w" stands for the working directory.
    QTest::addColumn<QString>("button");
    QTest::addColumn<QString>("field");
    QTest::addColumn<QString>("chosen");
    QTest::addColumn<QString>("shown");
    const QList<QPair<QString, QString>> folders{{"inside", "%w/out/sub"},
                                                 {"the working directory", "%w"},
                                                 {"beside, with the same start", "%w-other"},
                                                 {"outside", QDir::rootPath()}};
    const QStringList shown{"out/sub", ".", "%w-other", QDir::rootPath()};
    const QList<QPair<QString, QString>> choosers{{"IntelHEXSearchReleaseButton", "IntelHEXReleaseDirrect"},
                                                  {"LoRaSearchBOOT", "LoRaComboBOOT"}};
    for (const auto &[button, field] : choosers) {
        for (int i = 0; i < folders.size(); ++i)
            QTest::addRow("%s, %s", qPrintable(field), qPrintable(folders[i].first))
                << button << field << folders[i].second << shown[i];
    }
}

void SettingsWindowTest::foldersInsideTheWorkingDirectoryAreKeptRelative()
{
    QFETCH(QString, button);
    QFETCH(QString, field);
    QFETCH(QString, chosen);
    QFETCH(QString, shown);
    WindowTest t;
    QVERIFY(t.isValid());
    const QString working = QDir::currentPath();
    const auto pathShown = [&t, &field] {
        if (auto *combo = t.window->findChild<QComboBox *>(field))
            return items(combo);
        return rows(t.widget<QListWidget>(field));
    };
    t.chooseDirectory(button, chosen.replace(QStringLiteral("%w"), working));
    shown.replace(QStringLiteral("%w"), working);
    QCOMPARE(pathShown(), QStringList{shown});
    t.reopen();
    QCOMPARE(pathShown(), QStringList{shown});
}

void SettingsWindowTest::templateSavedOverAfterAQuestionLoadsByKey_data()
{
    QTest::addColumn<bool>("yes"); // the answer to "replace it?"
    QTest::addColumn<int>("key");
    QTest::addColumn<Qt::KeyboardModifiers>("modifiers");
    QTest::newRow("Да, Enter") << true << int(Qt::Key_Return) << Qt::KeyboardModifiers();
    QTest::newRow("Нет, keypad Enter")
        << false << int(Qt::Key_Enter) << Qt::KeyboardModifiers(Qt::KeypadModifier);
    QTest::newRow("Нет, Space") << false << int(Qt::Key_Space) << Qt::KeyboardModifiers();
}

void SettingsWindowTest::templateSavedOverAfterAQuestionLoadsByKey()
{
    QFETCH(bool, yes);
    QFETCH(int, key);
    QFETCH(Qt::KeyboardModifiers, modifiers);
    WindowTest t;
    QVERIFY(t.isValid());
    t.openTab(2);
    t.type(QStringLiteral("IntelHEXTemplFileName"), QStringLiteral("first"));
    t.saveTemplate(QStringLiteral("IntelHEX"), QStringLiteral(".IntelHEX"), QStringLiteral("t"));
    QVERIFY(t.dialogs.records.isEmpty());
    t.type(QStringLiteral("IntelHEXTemplFileName"), QStringLiteral("second"));
    t.dialogs.askAnswers.enqueue(yes);
    t.saveTemplate(QStringLiteral("IntelHEX"), QStringLiteral(".IntelHEX"), QStringLiteral("t"));
    QCOMPARE(t.dialogs.records.size(), 1);
    QCOMPARE(t.dialogs.records[0].call, ScriptedDialogs::Call::Ask);
    QCOMPARE(t.dialogs.records[0].text, QStringLiteral("Шаблон \"t\" уже существует. Заменить его?"));

    // A click only selects the row; the key loads what the file holds.
    t.type(QStringLiteral("IntelHEXTemplFileName"), QStringLiteral("third"));
    auto *list = t.widget<QListWidget>(QStringLiteral("IntelHEXListFileSettings"));
    UserActions::clickRow(list, 0);
    QCOMPARE(t.widget<QLineEdit>(QStringLiteral("IntelHEXTemplFileName"))->text(), QStringLiteral("third"));
    QTest::keyClick(list, Qt::Key(key), modifiers);
    QCOMPARE(t.widget<QLineEdit>(QStringLiteral("IntelHEXTemplFileName"))->text(),
             yes ? QStringLiteral("second") : QStringLiteral("first"));
}

void SettingsWindowTest::templateDeleteAndRenameAsk_data()
{
    QTest::addColumn<QString>("action"); // a context menu entry, or empty for the Delete key
    QTest::addColumn<bool>("yes");
    QTest::addColumn<QString>("newName"); // the rename dialog's answer; none: cancelled
    QTest::addColumn<QStringList>("files");
    QTest::addColumn<QString>("message");
    const QString rename = QStringLiteral("Переименовать");
    const QStringList both{"a.LoRa", "b.LoRa"};
    QTest::newRow("Delete, Да") << QString() << true << QString() << QStringList{"b.LoRa"} << QString();
    QTest::newRow("Delete, Нет") << QString() << false << QString() << both << QString();
    QTest::newRow("menu delete") << QStringLiteral("Удалить") << true << QString() << QStringList{"b.LoRa"}
                                 << QString();
    QTest::newRow("rename") << rename << false << "c" << QStringList{"b.LoRa", "c.LoRa"} << QString();
    QTest::newRow("rename cancelled") << rename << false << QString() << both << QString();
    QTest::newRow("rename onto another")
        << rename << false << "b" << both << QStringLiteral("Шаблон \"b\" уже существует.");
    QTest::newRow("rename outside") << rename << false << "../c" << both
                                    << QStringLiteral(
                                           "Имя шаблона не может содержать символы \"/\" и \"\\\"");
}

void SettingsWindowTest::templateDeleteAndRenameAsk()
{
    QFETCH(QString, action);
    QFETCH(bool, yes);
    QFETCH(QString, newName);
    QFETCH(QStringList, files);
    QFETCH(QString, message);
    WindowTest t;
    QVERIFY(t.isValid());
    t.type(QStringLiteral("LoRaTemplateName"), QStringLiteral("kept_name"));
    t.saveTemplate(QStringLiteral("LoRa"), QStringLiteral(".LoRa"), QStringLiteral("a"));
    t.saveTemplate(QStringLiteral("LoRa"), QStringLiteral(".LoRa"), QStringLiteral("b"));
    auto *list = t.widget<QListWidget>(QStringLiteral("LoRaListFileSettings"));
    UserActions::clickRow(list, 0);
    t.dialogs.askAnswers.enqueue(yes);
    if (!newName.isNull())
        t.dialogs.textAnswers.enqueue(newName);
    if (action.isEmpty()) {
        QTest::keyClick(list, Qt::Key_Delete);
    } else {
        const QList<QAction *> menu = list->actions();
        const auto entry =
            std::find_if(menu.begin(), menu.end(), [&](QAction *a) { return a->text() == action; });
        QVERIFY(entry != menu.end() && (*entry)->isEnabled());
        (*entry)->trigger();
    }
    QCOMPARE(QDir(QStringLiteral("Templates Setting")).entryList(QDir::Files), files);
    QCOMPARE(rows(list), files);
    QCOMPARE(t.dialogs.messageTexts(), message.isEmpty() ? QStringList() : QStringList{message});
    if (action != QStringLiteral("Переименовать"))
        QCOMPARE(t.dialogs.records.last().text, QStringLiteral("Удалить шаблон \"a\"?"));
    else if (files.contains(QStringLiteral("c.LoRa")))
        QVERIFY(read(QStringLiteral("Templates Setting/c.LoRa")).contains("kept_name"));
}

QTEST_MAIN(SettingsWindowTest)
#include "tst_settingswindow.moc"
