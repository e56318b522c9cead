#include <QtTest>
#include <QtWidgets>

#include <memory>

#include <unistd.h>

#include "mainwindow/mainwindow.h"
#include "scripteddialogs.h"
#include "settings/configfile.h"
#include "settings/tabsettings.h"

namespace {

QByteArray readFile(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return file.readAll();
}

bool writeFile(const QString &path, const QByteArray &content)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(content) == content.size();
}

QStringList comboItems(const QComboBox *combo)
{
    QStringList items;
    for (int i = 0; i < combo->count(); ++i)
        items << combo->itemText(i);
    return items;
}

QStringList listRows(const QListWidget *list)
{
    QStringList rows;
    for (int i = 0; i < list->count(); ++i)
        rows << list->item(i)->text();
    return rows;
}

void setSingleItem(QComboBox *combo, const QString &text)
{
    combo->clear();
    combo->addItem(text);
}

void setSingleRow(QListWidget *list, const QString &text)
{
    list->clear();
    list->addItem(text);
}

const char *const BinaryCombos[] = {"BinaryComboFile1", "BinaryComboFile2", "BinaryComboFile3",
                                    "BinaryComboFile4", "BinaryComboFile5", "BinaryComboFile6"};
const char *const BinaryOffsets[] = {"BinaryOffsetFile1", "BinaryOffsetFile2", "BinaryOffsetFile3",
                                     "BinaryOffsetFile4", "BinaryOffsetFile5", "BinaryOffsetFile6"};
const char *const BinaryChecks[] = {"BinaryCheckFile1", "BinaryCheckFile2", "BinaryCheckFile3",
                                    "BinaryCheckFile4", "BinaryCheckFile5", "BinaryCheckFile6"};
const char *const BinaryRows[] = {"File1Group", "File2Group", "File3Group",
                                  "File4Group", "File5Group", "File6Group"};
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
const char *const LoRaOffsets[] = {"LoRaComboOffsetBOOT", "LoRaComboOffsetLoRa", "LoRaComboOffsetApp",
                                   "LoRaComboOffset_lora_region", "LoRaComboOffsetFW"};

} // namespace

class SettingsWindowTest : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void firstStartCreatesAndShowsTheDefaults();
    void everyWidgetSurvivesARestart();
    void loadingTwiceGrowsOnlyTheFileCombos();
    void resetRestoresTheDefaultsAfterYes();
    void resetAnsweredNoChangesNothing();
    void damagedConfigurationOpensTheWindow_data();
    void damagedConfigurationOpensTheWindow();
    void emptyConfigurationIsLeftAsItIs();

    void templateSaveListsAndClears_data();
    void templateSaveListsAndClears();
    void templateKindsStayApart();
    void templateNameProblemsWarn_data();
    void templateNameProblemsWarn();
    void templateSelectStripsEveryExtension();
    void loraTemplateRoundTrip();
    void binaryTemplateRestoresSwitchesAndRows();
    void intelHexTemplateRoundTrip();
    void templateWriteFailureWarnsAndKeepsTheName();
    void fullDiskKeepsTheOldFilesWhole();

private:
    std::unique_ptr<MainWindow> openWindow();
    template <typename T> T *widget(const char *name)
    {
        T *found = m_window->findChild<T *>(QString::fromLatin1(name));
        if (!found)
            qFatal("no widget %s", name);
        return found;
    }
    void fillEveryWidget();
    void checkEveryWidget();

    QTemporaryDir *m_dir = nullptr;
    QString m_previousDir;
    ScriptedDialogs m_dialogs;
    std::unique_ptr<MainWindow> m_window;
};

void SettingsWindowTest::init()
{
    m_previousDir = QDir::currentPath();
    m_dir = new QTemporaryDir;
    QVERIFY(m_dir->isValid());
    QVERIFY(QDir::setCurrent(m_dir->path()));
    m_dialogs = ScriptedDialogs();
}

void SettingsWindowTest::cleanup()
{
    m_window.reset();
    QDir::setCurrent(m_previousDir);
    delete m_dir;
    m_dir = nullptr;
}

std::unique_ptr<MainWindow> SettingsWindowTest::openWindow()
{
    return std::make_unique<MainWindow>(m_dialogs);
}

void SettingsWindowTest::firstStartCreatesAndShowsTheDefaults()
{
    m_window = openWindow();
    QCOMPARE(readFile(QStringLiteral("config.conf")), ConfigFile::defaultContent());
    QCOMPARE(comboItems(widget<QComboBox>("LoRaComboBOOT")), QStringList{"Enter Path..->"});
    QCOMPARE(comboItems(widget<QComboBox>("LoRaComboLoraMAC")), QStringList{"Enter Path..->"});
    QCOMPARE(comboItems(widget<QComboBox>("LoRaComboApp")), QStringList{"Enter Path..->"});
    QCOMPARE(listRows(widget<QListWidget>("LoRaComboRelease")), QStringList{"Enter Path.."});
    QCOMPARE(listRows(widget<QListWidget>("BinaryReleaseCombo")), QStringList{"Enter Path..->"});
    QCOMPARE(listRows(widget<QListWidget>("IntelHEXReleaseDirrect")), QStringList{"Enter Path..->"});
    for (const char *name : BinaryCombos)
        QCOMPARE(comboItems(widget<QComboBox>(name)), QStringList{"Enter Path..->"});
    for (const char *name : IntelHexCombos)
        QCOMPARE(comboItems(widget<QComboBox>(name)), QStringList{"Enter Path..->"});
    for (const char *name : LoRaOffsets)
        QCOMPARE(widget<QLineEdit>(name)->text(), QStringLiteral("0"));
    for (const char *name : BinaryOffsets)
        QCOMPARE(widget<QLineEdit>(name)->text(), QStringLiteral("0"));
    QCOMPARE(widget<QLineEdit>("LoRaTemplateName")->text(), QStringLiteral("region_lora_fw"));
    QCOMPARE(widget<QLineEdit>("BinaryTemplateNameRelease")->text(), QStringLiteral("Enter Template Name"));
    QCOMPARE(widget<QLineEdit>("IntelHEXTemplFileName")->text(), QStringLiteral("Enter Template Name"));
    QCOMPARE(widget<QTabWidget>("tabWidget")->currentIndex(), 1);
    for (int slot = 0; slot < 6; ++slot) {
        QVERIFY(!widget<QCheckBox>(BinaryChecks[slot])->isChecked());
        QVERIFY(!widget<QGroupBox>(BinaryRows[slot])->isEnabled());
        QVERIFY(!widget<QCheckBox>(IntelHexChecks[slot])->isChecked());
        QVERIFY(!widget<QGroupBox>(IntelHexRows[slot])->isEnabled());
    }
    QVERIFY(m_dialogs.records.isEmpty());
}

void SettingsWindowTest::fillEveryWidget()
{
    setSingleItem(widget<QComboBox>("LoRaComboBOOT"), QStringLiteral("/no/boot"));
    setSingleItem(widget<QComboBox>("LoRaComboLoraMAC"), QStringLiteral("/no/lora mac"));
    setSingleItem(widget<QComboBox>("LoRaComboApp"), QStringLiteral("/no/app;x"));
    setSingleRow(widget<QListWidget>("LoRaComboRelease"), QStringLiteral("/out/lora"));
    for (int i = 0; i < 5; ++i)
        widget<QLineEdit>(LoRaOffsets[i])->setText(QStringLiteral("0x0800%1").arg(i) + QStringLiteral("000"));
    widget<QLineEdit>("LoRaTemplateName")->setText(QStringLiteral("region_\"lora\"_fw"));
    for (int slot = 0; slot < 6; ++slot) {
        setSingleItem(widget<QComboBox>(BinaryCombos[slot]), QStringLiteral("/bin/файл%1.bin").arg(slot + 1));
        widget<QLineEdit>(BinaryOffsets[slot])->setText(QStringLiteral("%1F00").arg(slot));
        widget<QCheckBox>(BinaryChecks[slot])->setChecked(slot % 2 == 1);
        setSingleItem(widget<QComboBox>(IntelHexCombos[slot]),
                      QStringLiteral("/hex/part %1.hex").arg(slot + 1));
        widget<QCheckBox>(IntelHexChecks[slot])->setChecked(slot >= 3);
    }
    setSingleRow(widget<QListWidget>("BinaryReleaseCombo"), QStringLiteral("/out/bin"));
    setSingleRow(widget<QListWidget>("IntelHEXReleaseDirrect"), QStringLiteral("/out/hex"));
    widget<QLineEdit>("BinaryTemplateNameRelease")->setText(QStringLiteral("bin, image"));
    widget<QLineEdit>("IntelHEXTemplFileName")->setText(QStringLiteral(" hex image "));
    widget<QTabWidget>("tabWidget")->setCurrentIndex(2);
}

void SettingsWindowTest::checkEveryWidget()
{
    QCOMPARE(widget<QComboBox>("LoRaComboBOOT")->currentText(), QStringLiteral("/no/boot"));
    QCOMPARE(widget<QComboBox>("LoRaComboLoraMAC")->currentText(), QStringLiteral("/no/lora mac"));
    QCOMPARE(widget<QComboBox>("LoRaComboApp")->currentText(), QStringLiteral("/no/app;x"));
    QCOMPARE(listRows(widget<QListWidget>("LoRaComboRelease")), QStringList{"/out/lora"});
    for (int i = 0; i < 5; ++i)
        QCOMPARE(widget<QLineEdit>(LoRaOffsets[i])->text(),
                 QStringLiteral("0x0800%1").arg(i) + QStringLiteral("000"));
    QCOMPARE(widget<QLineEdit>("LoRaTemplateName")->text(), QStringLiteral("region_\"lora\"_fw"));
    for (int slot = 0; slot < 6; ++slot) {
        QCOMPARE(widget<QComboBox>(BinaryCombos[slot])->currentText(),
                 QStringLiteral("/bin/файл%1.bin").arg(slot + 1));
        QCOMPARE(widget<QLineEdit>(BinaryOffsets[slot])->text(), QStringLiteral("%1F00").arg(slot));
        QCOMPARE(widget<QCheckBox>(BinaryChecks[slot])->isChecked(), slot % 2 == 1);
        QCOMPARE(widget<QGroupBox>(BinaryRows[slot])->isEnabled(), slot % 2 == 1);
        QCOMPARE(widget<QComboBox>(IntelHexCombos[slot])->currentText(),
                 QStringLiteral("/hex/part %1.hex").arg(slot + 1));
        QCOMPARE(widget<QCheckBox>(IntelHexChecks[slot])->isChecked(), slot >= 3);
        QCOMPARE(widget<QGroupBox>(IntelHexRows[slot])->isEnabled(), slot >= 3);
    }
    QCOMPARE(listRows(widget<QListWidget>("BinaryReleaseCombo")), QStringList{"/out/bin"});
    QCOMPARE(listRows(widget<QListWidget>("IntelHEXReleaseDirrect")), QStringList{"/out/hex"});
    QCOMPARE(widget<QLineEdit>("BinaryTemplateNameRelease")->text(), QStringLiteral("bin, image"));
    QCOMPARE(widget<QLineEdit>("IntelHEXTemplFileName")->text(), QStringLiteral(" hex image "));
}

void SettingsWindowTest::everyWidgetSurvivesARestart()
{
    m_window = openWindow();
    fillEveryWidget();
    m_window.reset();

    QSettings store(QStringLiteral("config.conf"), QSettings::IniFormat);
    QCOMPARE(store.allKeys().size(), 47);
    QCOMPARE(store.value(QStringLiteral("STMSetting/LoRaHW_ID")).toString(), QStringLiteral("0"));
    QCOMPARE(store.value(QStringLiteral("StateWindow/Tab")).toInt(), 2);
    QCOMPARE(LoRaSettings::load(store).offsetWrtBoot, QStringLiteral("0x08000000"));

    m_window = openWindow();
    checkEveryWidget();
    QCOMPARE(widget<QTabWidget>("tabWidget")->currentIndex(), 2);
    for (const char *name : BinaryCombos)
        QCOMPARE(widget<QComboBox>(name)->count(), 1);
    QVERIFY(m_dialogs.records.isEmpty());
}

void SettingsWindowTest::loadingTwiceGrowsOnlyTheFileCombos()
{
    m_window = openWindow();
    fillEveryWidget();
    widget<QLineEdit>("BinaryNameWrtSettings")->setText(QStringLiteral("b"));
    widget<QPushButton>("BinarySaveSettings")->click();
    widget<QLineEdit>("IntelHEXNameWrtSettings")->setText(QStringLiteral("h"));
    widget<QPushButton>("IntelHEXSaveSettings")->click();
    widget<QLineEdit>("LoRaNameWrtSettings")->setText(QStringLiteral("l"));
    widget<QPushButton>("LoRaSaveSettings")->click();

    // Choose other current items so that the loads can be seen not to move them.
    for (const char *name : BinaryCombos)
        setSingleItem(widget<QComboBox>(name), QStringLiteral("/kept"));
    for (const char *name : IntelHexCombos)
        setSingleItem(widget<QComboBox>(name), QStringLiteral("/kept"));
    for (int round = 1; round <= 2; ++round) {
        for (const char *list :
             {"BinaryListFileSettings", "IntelHEXListFileSettings", "LoRaListFileSettings"}) {
            QListWidget *templates = widget<QListWidget>(list);
            QCOMPARE(templates->count(), 1);
            emit templates->itemDoubleClicked(templates->item(0));
        }
        for (int slot = 0; slot < 6; ++slot) {
            QComboBox *binary = widget<QComboBox>(BinaryCombos[slot]);
            QCOMPARE(binary->count(), 1 + round);
            QCOMPARE(binary->currentText(), QStringLiteral("/kept"));
            QCOMPARE(binary->itemText(round), QStringLiteral("/bin/файл%1.bin").arg(slot + 1));
            QComboBox *intelHex = widget<QComboBox>(IntelHexCombos[slot]);
            QCOMPARE(intelHex->count(), 1 + round);
            QCOMPARE(intelHex->currentText(), QStringLiteral("/kept"));
        }
        for (const char *name : {"LoRaComboBOOT", "LoRaComboLoraMAC", "LoRaComboApp"})
            QCOMPARE(widget<QComboBox>(name)->count(), 1);
        for (const char *name : {"LoRaComboRelease", "BinaryReleaseCombo", "IntelHEXReleaseDirrect"})
            QCOMPARE(widget<QListWidget>(name)->count(), 1);
    }
    QCOMPARE(widget<QLineEdit>("BinaryNameWrtSettings")->text(), QStringLiteral("b"));
    QCOMPARE(widget<QLineEdit>("IntelHEXNameWrtSettings")->text(), QStringLiteral("h"));
    QCOMPARE(widget<QLineEdit>("LoRaNameWrtSettings")->text(), QStringLiteral("l"));
    QVERIFY(m_dialogs.messages().isEmpty());
}

void SettingsWindowTest::resetRestoresTheDefaultsAfterYes()
{
    m_window = openWindow();
    fillEveryWidget();
    m_window.reset();
    QVERIFY(readFile(QStringLiteral("config.conf")) != ConfigFile::defaultContent());
    m_window = openWindow();

    m_dialogs.askAnswers.enqueue(true);
    widget<QPushButton>("Reset")->click();
    QCOMPARE(m_dialogs.records.size(), 1);
    QCOMPARE(m_dialogs.records[0].call, ScriptedDialogs::Call::Ask);
    QCOMPARE(readFile(QStringLiteral("config.conf")), ConfigFile::defaultContent());
    QCOMPARE(comboItems(widget<QComboBox>("LoRaComboBOOT")), QStringList{"Enter Path..->"});
    QCOMPARE(listRows(widget<QListWidget>("LoRaComboRelease")), QStringList{"Enter Path.."});
    QCOMPARE(widget<QLineEdit>("LoRaComboOffsetBOOT")->text(), QStringLiteral("0"));
    QCOMPARE(widget<QLineEdit>("LoRaTemplateName")->text(), QStringLiteral("region_lora_fw"));
    QCOMPARE(widget<QLineEdit>("BinaryTemplateNameRelease")->text(), QStringLiteral("Enter Template Name"));
    QCOMPARE(widget<QTabWidget>("tabWidget")->currentIndex(), 1);
    // The file combos offer the default beside the earlier path, which stays current.
    QCOMPARE(comboItems(widget<QComboBox>("BinaryComboFile1")),
             (QStringList{"/bin/файл1.bin", "Enter Path..->"}));
    QCOMPARE(widget<QComboBox>("BinaryComboFile1")->currentIndex(), 0);
    for (int slot = 0; slot < 6; ++slot) {
        QVERIFY(!widget<QCheckBox>(BinaryChecks[slot])->isChecked());
        QVERIFY(!widget<QGroupBox>(BinaryRows[slot])->isEnabled());
        QVERIFY(!widget<QCheckBox>(IntelHexChecks[slot])->isChecked());
        QVERIFY(!widget<QGroupBox>(IntelHexRows[slot])->isEnabled());
    }
}

void SettingsWindowTest::resetAnsweredNoChangesNothing()
{
    m_window = openWindow();
    fillEveryWidget();
    m_window.reset();
    const QByteArray saved = readFile(QStringLiteral("config.conf"));
    m_window = openWindow();

    m_dialogs.askAnswers.enqueue(false);
    widget<QPushButton>("Reset")->click();
    QCOMPARE(m_dialogs.records.size(), 1);
    QCOMPARE(readFile(QStringLiteral("config.conf")), saved);
    checkEveryWidget();
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
    QVERIFY(writeFile(QStringLiteral("config.conf"), content));
    m_window = openWindow();
    QCOMPARE(readFile(QStringLiteral("config.conf")), content);
    QCOMPARE(widget<QComboBox>("LoRaComboBOOT")->count(), 1);
    QCOMPARE(widget<QListWidget>("LoRaComboRelease")->count(), 1);
    fillEveryWidget();
    m_window.reset();
    // The next start finds everything that was on screen.
    m_window = openWindow();
    checkEveryWidget();
}

void SettingsWindowTest::emptyConfigurationIsLeftAsItIs()
{
    QVERIFY(writeFile(QStringLiteral("config.conf"), QByteArray()));
    m_window = openWindow();
    QCOMPARE(readFile(QStringLiteral("config.conf")), QByteArray());
    QCOMPARE(comboItems(widget<QComboBox>("LoRaComboBOOT")), QStringList{QString()});
    QCOMPARE(comboItems(widget<QComboBox>("BinaryComboFile1")), QStringList{QString()});
    QCOMPARE(listRows(widget<QListWidget>("LoRaComboRelease")), QStringList{QString()});
    QCOMPARE(widget<QLineEdit>("LoRaComboOffsetBOOT")->text(), QString());
    QCOMPARE(widget<QLineEdit>("LoRaTemplateName")->text(), QString());
    QCOMPARE(widget<QTabWidget>("tabWidget")->currentIndex(), 0);
    QVERIFY(!widget<QGroupBox>("IntelHEXBOOT")->isEnabled());
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
    QVERIFY(QDir().mkpath(QStringLiteral("Templates Setting")));
    QVERIFY(writeFile(QStringLiteral("Templates Setting/old") + extension, "[PathTo]\n"));
    m_window = openWindow();
    auto *name = widget<QLineEdit>(qPrintable(prefix + QStringLiteral("NameWrtSettings")));
    auto *list = widget<QListWidget>(qPrintable(prefix + QStringLiteral("ListFileSettings")));
    QCOMPARE(listRows(list), QStringList{"old" + extension});
    name->setText(QStringLiteral("new one"));
    widget<QPushButton>(qPrintable(prefix + QStringLiteral("SaveSettings")))->click();
    QVERIFY(QFileInfo(QStringLiteral("Templates Setting/new one") + extension).isFile());
    QCOMPARE(name->text(), QString());
    QCOMPARE(listRows(list), (QStringList{"new one" + extension, "old" + extension}));
    // Saving again under the same name overwrites and lists it once.
    name->setText(QStringLiteral("new one"));
    widget<QPushButton>(qPrintable(prefix + QStringLiteral("SaveSettings")))->click();
    QCOMPARE(listRows(list), (QStringList{"new one" + extension, "old" + extension}));
    QVERIFY(m_dialogs.messages().isEmpty());
}

void SettingsWindowTest::templateKindsStayApart()
{
    m_window = openWindow();
    const QStringList prefixes{"LoRa", "Binary", "IntelHEX"};
    for (const QString &prefix : prefixes) {
        widget<QLineEdit>(qPrintable(prefix + "NameWrtSettings"))->setText(QStringLiteral("same"));
        widget<QPushButton>(qPrintable(prefix + "SaveSettings"))->click();
    }
    QCOMPARE(listRows(widget<QListWidget>("LoRaListFileSettings")), QStringList{"same.LoRa"});
    QCOMPARE(listRows(widget<QListWidget>("BinaryListFileSettings")), QStringList{"same.binary"});
    QCOMPARE(listRows(widget<QListWidget>("IntelHEXListFileSettings")), QStringList{"same.IntelHEX"});
    m_window.reset();
    m_window = openWindow();
    QCOMPARE(listRows(widget<QListWidget>("LoRaListFileSettings")), QStringList{"same.LoRa"});
    QCOMPARE(listRows(widget<QListWidget>("BinaryListFileSettings")), QStringList{"same.binary"});
    QCOMPARE(listRows(widget<QListWidget>("IntelHEXListFileSettings")), QStringList{"same.IntelHEX"});

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
    QVERIFY(QDir().mkpath(QStringLiteral("Templates Setting")));
    QVERIFY(writeFile(QStringLiteral("Templates Setting/kept.binary"), "[PathTo]\n"));
    m_window = openWindow();
    auto *nameEdit = widget<QLineEdit>("BinaryNameWrtSettings");
    nameEdit->setText(name);
    widget<QPushButton>("BinarySaveSettings")->click();
    const QList<ScriptedDialogs::Record> messages = m_dialogs.messages();
    QCOMPARE(messages.size(), 1);
    QCOMPARE(messages[0].kind, MessageKind::Warning);
    QCOMPARE(messages[0].title, QStringLiteral("Предупреждение!"));
    QCOMPARE(messages[0].text, text);
    QCOMPARE(nameEdit->text(), name);
    QCOMPARE(listRows(widget<QListWidget>("BinaryListFileSettings")), QStringList{"kept.binary"});
    QCOMPARE(QDir(QStringLiteral("Templates Setting")).entryList(QDir::Files), QStringList{"kept.binary"});
    QCOMPARE(QDir(m_dir->path()).entryList(QDir::Files), QStringList{"config.conf"});
}

void SettingsWindowTest::templateSelectStripsEveryExtension()
{
    QVERIFY(QDir().mkpath(QStringLiteral("Templates Setting")));
    QVERIFY(writeFile(QStringLiteral("Templates Setting/v.LoRa2.LoRa"), "[PathTo]\n"));
    QVERIFY(writeFile(QStringLiteral("Templates Setting/plain.IntelHEX"), "[PathTo]\n"));
    m_window = openWindow();
    auto *list = widget<QListWidget>("LoRaListFileSettings");
    QCOMPARE(list->count(), 1);
    emit list->itemClicked(list->item(0));
    QCOMPARE(widget<QLineEdit>("LoRaNameWrtSettings")->text(), QStringLiteral("v2"));
    auto *hexList = widget<QListWidget>("IntelHEXListFileSettings");
    emit hexList->itemClicked(hexList->item(0));
    QCOMPARE(widget<QLineEdit>("IntelHEXNameWrtSettings")->text(), QStringLiteral("plain"));
}

void SettingsWindowTest::loraTemplateRoundTrip()
{
    m_window = openWindow();
    fillEveryWidget();
    widget<QLineEdit>("LoRaNameWrtSettings")->setText(QStringLiteral("lora"));
    widget<QPushButton>("LoRaSaveSettings")->click();
    setSingleItem(widget<QComboBox>("LoRaComboBOOT"), QStringLiteral("/changed"));
    widget<QLineEdit>("LoRaComboOffsetFW")->setText(QStringLiteral("changed"));
    setSingleRow(widget<QListWidget>("LoRaComboRelease"), QStringLiteral("/changed"));
    auto *list = widget<QListWidget>("LoRaListFileSettings");
    emit list->itemDoubleClicked(list->item(0));
    QCOMPARE(widget<QComboBox>("LoRaComboBOOT")->currentText(), QStringLiteral("/no/boot"));
    QCOMPARE(widget<QLineEdit>("LoRaComboOffsetFW")->text(), QStringLiteral("0x08004000"));
    QCOMPARE(listRows(widget<QListWidget>("LoRaComboRelease")), QStringList{"/out/lora"});
    QCOMPARE(widget<QLineEdit>("LoRaNameWrtSettings")->text(), QStringLiteral("lora"));
}

void SettingsWindowTest::binaryTemplateRestoresSwitchesAndRows()
{
    m_window = openWindow();
    fillEveryWidget();
    widget<QLineEdit>("BinaryNameWrtSettings")->setText(QStringLiteral("bin"));
    widget<QPushButton>("BinarySaveSettings")->click();
    for (int slot = 0; slot < 6; ++slot)
        widget<QCheckBox>(BinaryChecks[slot])->setChecked(slot % 2 == 0);
    widget<QLineEdit>("BinaryOffsetFile2")->setText(QStringLiteral("changed"));
    auto *list = widget<QListWidget>("BinaryListFileSettings");
    emit list->itemDoubleClicked(list->item(0));
    for (int slot = 0; slot < 6; ++slot) {
        QCOMPARE(widget<QCheckBox>(BinaryChecks[slot])->isChecked(), slot % 2 == 1);
        QCOMPARE(widget<QGroupBox>(BinaryRows[slot])->isEnabled(), slot % 2 == 1);
    }
    QCOMPARE(widget<QLineEdit>("BinaryOffsetFile2")->text(), QStringLiteral("1F00"));
    QCOMPARE(widget<QLineEdit>("BinaryTemplateNameRelease")->text(), QStringLiteral("bin, image"));
    // LoRa and IntelHEX widgets are untouched by a Binary template.
    QCOMPARE(widget<QComboBox>("IntelHEXComboBOOT")->count(), 1);
}

void SettingsWindowTest::intelHexTemplateRoundTrip()
{
    m_window = openWindow();
    fillEveryWidget();
    widget<QLineEdit>("IntelHEXNameWrtSettings")->setText(QStringLiteral("hex"));
    widget<QPushButton>("IntelHEXSaveSettings")->click();
    for (int slot = 0; slot < 6; ++slot)
        widget<QCheckBox>(IntelHexChecks[slot])->setChecked(slot < 3);
    setSingleRow(widget<QListWidget>("IntelHEXReleaseDirrect"), QStringLiteral("/changed"));
    auto *list = widget<QListWidget>("IntelHEXListFileSettings");
    emit list->itemDoubleClicked(list->item(0));
    for (int slot = 0; slot < 6; ++slot) {
        QCOMPARE(widget<QCheckBox>(IntelHexChecks[slot])->isChecked(), slot >= 3);
        QCOMPARE(widget<QGroupBox>(IntelHexRows[slot])->isEnabled(), slot >= 3);
        QCOMPARE(widget<QComboBox>(IntelHexCombos[slot])->itemText(1),
                 QStringLiteral("/hex/part %1.hex").arg(slot + 1));
    }
    QCOMPARE(listRows(widget<QListWidget>("IntelHEXReleaseDirrect")), QStringList{"/out/hex"});
    QCOMPARE(widget<QLineEdit>("IntelHEXNameWrtSettings")->text(), QStringLiteral("hex"));
}

void SettingsWindowTest::templateWriteFailureWarnsAndKeepsTheName()
{
    // A plain file where the folder should be: nothing can be written under it, even as root.
    QVERIFY(writeFile(QStringLiteral("Templates Setting"), "not a folder"));
    m_window = openWindow();
    auto *nameEdit = widget<QLineEdit>("LoRaNameWrtSettings");
    nameEdit->setText(QStringLiteral("t"));
    widget<QPushButton>("LoRaSaveSettings")->click();
    const QList<ScriptedDialogs::Record> messages = m_dialogs.messages();
    QCOMPARE(messages.size(), 1);
    QCOMPARE(messages[0].kind, MessageKind::Warning);
    QCOMPARE(messages[0].title, QStringLiteral("Предупреждение!"));
    QCOMPARE(messages[0].text, QDir::currentPath() + QStringLiteral("/Templates Setting/t.LoRa") +
                                   QStringLiteral(": не удалось сохранить шаблон."));
    QCOMPARE(nameEdit->text(), QStringLiteral("t"));
    QCOMPARE(readFile(QStringLiteral("Templates Setting")), QByteArray("not a folder"));
}

void SettingsWindowTest::fullDiskKeepsTheOldFilesWhole()
{
    if (::geteuid() != 0)
        QSKIP("mounting a small file system needs root");
    const QString mountPoint = m_dir->filePath(QStringLiteral("small"));
    QVERIFY(QDir().mkpath(mountPoint));
    if (QProcess::execute(QStringLiteral("mount"),
                          {QStringLiteral("-t"), QStringLiteral("tmpfs"), QStringLiteral("-o"),
                           QStringLiteral("size=12k"), QStringLiteral("tmpfs"), mountPoint}) != 0)
        QSKIP("cannot mount a tmpfs here");
    const auto unmount = qScopeGuard([&] {
        QDir::setCurrent(m_dir->path());
        QProcess::execute(QStringLiteral("umount"), {mountPoint});
    });
    QVERIFY(QDir::setCurrent(mountPoint));
    QVERIFY(QDir().mkpath(QStringLiteral("Templates Setting")));
    QVERIFY(writeFile(QStringLiteral("Templates Setting/kept.LoRa"), "[PathTo]\nLoRaPathToBoot=/kept\n"));

    m_window = openWindow();
    QCOMPARE(readFile(QStringLiteral("config.conf")), ConfigFile::defaultContent());
    QFile filler(QStringLiteral("filler"));
    QVERIFY(filler.open(QIODevice::WriteOnly));
    const QByteArray block(512, 'x');
    while (filler.write(block) == block.size() && filler.flush()) {
    }
    filler.close();

    fillEveryWidget();
    widget<QLineEdit>("LoRaNameWrtSettings")->setText(QStringLiteral("kept"));
    widget<QPushButton>("LoRaSaveSettings")->click();
    const QList<ScriptedDialogs::Record> messages = m_dialogs.messages();
    QCOMPARE(messages.size(), 1);
    QCOMPARE(messages[0].title, QStringLiteral("Предупреждение!"));
    QCOMPARE(messages[0].text,
             mountPoint + QStringLiteral("/Templates Setting/kept.LoRa: не удалось сохранить шаблон."));
    QCOMPARE(readFile(QStringLiteral("Templates Setting/kept.LoRa")),
             QByteArray("[PathTo]\nLoRaPathToBoot=/kept\n"));
    QCOMPARE(listRows(widget<QListWidget>("LoRaListFileSettings")), QStringList{"kept.LoRa"});

    m_window.reset();
    QCOMPARE(m_dialogs.messages().size(), 1);
    QCOMPARE(readFile(QStringLiteral("config.conf")), ConfigFile::defaultContent());
    QCOMPARE(QDir().entryList(QDir::Files | QDir::Hidden), (QStringList{"config.conf", "filler"}));
}

QTEST_MAIN(SettingsWindowTest)
#include "tst_settingswindow.moc"
