#include <QtTest>

#include "configfile.h"
#include "settingsfile.h"
#include "smallfilesystem.h"
#include "tabsettings.h"
#include "templatestore.h"
#include "testfiles.h"
#include "testplatform.h"

using TestFiles::writeFile;

namespace {

LoRaSettings sampleLoRa()
{
    LoRaSettings settings;
    settings.pathToBoot = QStringLiteral("C:/fw/boot dir");
    settings.pathToLoRa = QStringLiteral("/home/user/Ло Ра");
    settings.pathToApp = QStringLiteral("a,b;c=d\"e\\f");
    settings.pathToRelease = QStringLiteral(" leading and trailing ");
    settings.offsetWrtBoot = QStringLiteral("0x08000000");
    settings.offsetWrtFmwLora = QStringLiteral("8000");
    settings.offsetWrtFmw = QStringLiteral("0X1F000");
    settings.offsetSrchNameLora = QStringLiteral("zz");
    settings.offsetSrchNameFmw = QString();
    settings.templateName = QStringLiteral("region_%1_fw");
    return settings;
}

BinarySettings sampleBinary()
{
    BinarySettings settings;
    for (int slot = 0; slot < 6; ++slot) {
        settings.pathFile[slot] = QStringLiteral("/src/file%1.bin").arg(slot + 1);
        settings.offsetFile[slot] = QStringLiteral("0x%1000").arg(slot);
        settings.enabled[slot] = slot % 2 == 0;
    }
    settings.pathRelease = QStringLiteral("/out");
    settings.templateName = QStringLiteral("image");
    return settings;
}

IntelHexSettings sampleIntelHex()
{
    IntelHexSettings settings;
    settings.pathBoot = QStringLiteral("/h/boot.hex");
    settings.pathApp = QStringLiteral("/h/app.hex");
    settings.pathMain = QStringLiteral("/h/main.hex");
    settings.pathAddictFile = {QStringLiteral("/h/a1.hex"), QStringLiteral("/h/a2.hex"),
                               QStringLiteral("/h/a3.hex")};
    settings.pathRelease = QStringLiteral("/h/out");
    settings.templateName = QStringLiteral("merged");
    settings.enabled = {true, false, true, false, false, true};
    return settings;
}

QStringList sectionNames(const QByteArray &content)
{
    QStringList names;
    for (const QByteArray &line : content.split('\n'))
        if (line.startsWith('['))
            names << QString::fromUtf8(line.mid(1, line.indexOf(']') - 1));
    return names;
}

} // namespace

class SettingsFilesTest : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void defaultFileHasTheDocumentedBytes();
    void defaultFileReadsBackAsTheDefaults();
    void defaultLinesMatchWhatQSettingsWrites();
    void existingFileIsNeverTouched();
    void everyKeyRoundTrips();
    void eachTabWritesOnlyItsOwnKeys_data();
    void eachTabWritesOnlyItsOwnKeys();
    void missingKeysReadEmpty();
    void flashKeysAreWrittenOnlyOnceASizeIsSet_data();
    void flashKeysAreWrittenOnlyOnceASizeIsSet();
    void updateKeepsForeignKeys();
    void updateOfGarbageWritesAFreshFile_data();
    void updateOfGarbageWritesAFreshFile();
    void readerSeesRewritesWithinTheSameMillisecond();
    void readOnlyFileIsLeftIntact();
    void readOnlyDirectoryIsLeftIntact();
    void fullDiskLeavesTheOldFileIntact();

    void templateNames_data();
    void templateNames();
    void templateNameLosesItsEndingExtension();
    void templatesListOnlyTheirKind();
    void templateSaveCreatesTheFolder();
    void temporariesStayBesideTheFile();
    void nonRegularFilesAreNeverOpened_data();
    void nonRegularFilesAreNeverOpened();
    void staleTemporariesAreRemoved_data();
    void staleTemporariesAreRemoved();

private:
    QTemporaryDir *m_dir = nullptr;
    QString path(const QString &name) const { return m_dir->filePath(name); }
};

void SettingsFilesTest::init()
{
    m_dir = new QTemporaryDir;
    QVERIFY(m_dir->isValid());
}

void SettingsFilesTest::cleanup()
{
    delete m_dir;
    m_dir = nullptr;
}

void SettingsFilesTest::defaultFileHasTheDocumentedBytes()
{
    const QString config = path(QStringLiteral("config.conf"));
    QVERIFY(ConfigFile::ensureExists(config));
    const QByteArray expected = "[PathTo]\n"
                                "LoRaPathToBoot=Enter Path..->\n"
                                "LoRaPathToLoRa=Enter Path..->\n"
                                "LoRaPathToApp=Enter Path..->\n"
                                "LoRaPathToRelease=Enter Path..\n"
                                "BinaryPathFile_1=Enter Path..->\n"
                                "BinaryPathFile_2=Enter Path..->\n"
                                "BinaryPathFile_3=Enter Path..->\n"
                                "BinaryPathFile_4=Enter Path..->\n"
                                "BinaryPathFile_5=Enter Path..->\n"
                                "BinaryPathFile_6=Enter Path..->\n"
                                "BinaryPathRelease=Enter Path..->\n"
                                "IntelHEXPathBoot=Enter Path..->\n"
                                "IntelHEXPathApp=Enter Path..->\n"
                                "IntelHEXPathMain=Enter Path..->\n"
                                "IntelHEXPathAddictFile_1=Enter Path..->\n"
                                "IntelHEXPathAddictFile_2=Enter Path..->\n"
                                "IntelHEXPathAddictFile_3=Enter Path..->\n"
                                "IntelHEXPathRelease=Enter Path..->\n"
                                "\n"
                                "[Offsets]\n"
                                "LoRaOffsetWrtBoot=0\n"
                                "LoRaOffsetWrtFmwLora=0\n"
                                "LoRaOffsetWrtFmw=0\n"
                                "LoRaOffsetSrchNameLora=0\n"
                                "LoRaOffsetSrchNameFmw=0\n"
                                "BinaryOffsetFile_1=0\n"
                                "BinaryOffsetFile_2=0\n"
                                "BinaryOffsetFile_3=0\n"
                                "BinaryOffsetFile_4=0\n"
                                "BinaryOffsetFile_5=0\n"
                                "BinaryOffsetFile_6=0\n"
                                "\n"
                                "[STMSetting]\n"
                                "FlashAdress=0\n"
                                "LoRaHW_ID=0\n"
                                "\n"
                                "[Templates_Name]\n"
                                "LoRaTmpltNameOutFile=region_lora_fw\n"
                                "BinaryTmpltNameOutFile=Enter Template Name\n"
                                "IntelHEXTmpltNameOutFile=Enter Template Name\n"
                                "\n"
                                "[StateWindow]\n"
                                "Tab=1\n";
    QCOMPARE(TestFiles::read(config), TestPlatform::settingsText(expected));
    QCOMPARE(expected.count('='), 35);
}

void SettingsFilesTest::defaultFileReadsBackAsTheDefaults()
{
    const QString config = path(QStringLiteral("config.conf"));
    QVERIFY(ConfigFile::ensureExists(config));
    QSettings store(config, QSettings::IniFormat);
    QCOMPARE(store.status(), QSettings::NoError);
    QCOMPARE(store.allKeys().size(), 35);
    QCOMPARE(LoRaSettings::load(store), LoRaSettings::defaults());
    QCOMPARE(BinarySettings::load(store), BinarySettings::defaults());
    QCOMPARE(IntelHexSettings::load(store), IntelHexSettings::defaults());
    QCOMPARE(ConfigFile::loadTab(store), 1);
    QCOMPARE(store.value(QStringLiteral("STMSetting/FlashAdress")).toString(), QStringLiteral("0"));
    QCOMPARE(store.value(QStringLiteral("STMSetting/LoRaHW_ID")).toString(), QStringLiteral("0"));
    QCOMPARE(store.value(QStringLiteral("PathTo/LoRaPathToRelease")).toString(),
             QStringLiteral("Enter Path.."));
}

void SettingsFilesTest::defaultLinesMatchWhatQSettingsWrites()
{
    // The hand-ordered file must say, line for line, what QSettings itself would write for the same
    // values, only in another order.
    const QString byQt = path(QStringLiteral("byqt.conf"));
    {
        QSettings store(byQt, QSettings::IniFormat);
        LoRaSettings::defaults().save(store);
        BinarySettings::defaults().save(store);
        IntelHexSettings::defaults().save(store);
        store.remove(QStringLiteral("StateWindow"));
        store.setValue(QStringLiteral("STMSetting/FlashAdress"), QStringLiteral("0"));
        store.setValue(QStringLiteral("STMSetting/LoRaHW_ID"), QStringLiteral("0"));
        store.setValue(QStringLiteral("StateWindow/Tab"), QStringLiteral("1"));
    }
    QStringList qtLines =
        QString::fromUtf8(TestFiles::read(byQt)).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    QStringList ourLines =
        QString::fromUtf8(ConfigFile::defaultContent()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    QCOMPARE(sectionNames(ConfigFile::defaultContent()),
             (QStringList{"PathTo", "Offsets", "STMSetting", "Templates_Name", "StateWindow"}));
    qtLines.sort();
    ourLines.sort();
    QCOMPARE(ourLines, qtLines);
}

void SettingsFilesTest::existingFileIsNeverTouched()
{
    const QString config = path(QStringLiteral("config.conf"));
    for (const QByteArray &content : {QByteArray(), QByteArray("[PathTo]\nLoRaPathToBoot=x\n")}) {
        QVERIFY(writeFile(config, content));
        QVERIFY(ConfigFile::ensureExists(config));
        QCOMPARE(TestFiles::read(config), content);
    }
}

void SettingsFilesTest::everyKeyRoundTrips()
{
    const QString config = path(QStringLiteral("config.conf"));
    QVERIFY(ConfigFile::ensureExists(config));
    QVERIFY(SettingsFile::update(config, [](QSettings &store) {
        sampleLoRa().save(store);
        sampleBinary().save(store);
        sampleIntelHex().save(store);
        ConfigFile::saveTab(store, 2);
    }));
    SettingsFile::Reader reader(config);
    QVERIFY(reader.wellFormed());
    QCOMPARE(LoRaSettings::load(reader.store()), sampleLoRa());
    QCOMPARE(BinarySettings::load(reader.store()), sampleBinary());
    QCOMPARE(IntelHexSettings::load(reader.store()), sampleIntelHex());
    QCOMPARE(ConfigFile::loadTab(reader.store()), 2);
    // 35 defaults plus Bin1..6 and HEX1..6.
    QCOMPARE(reader.store().allKeys().size(), 47);
    QVERIFY(TestFiles::read(config).contains(TestPlatform::settingsText("Bin1=true\n")));
    QVERIFY(TestFiles::read(config).contains(TestPlatform::settingsText("Bin2=false\n")));
    QVERIFY(TestFiles::read(config).contains(TestPlatform::settingsText("Tab=2\n")));
}

void SettingsFilesTest::eachTabWritesOnlyItsOwnKeys_data()
{
    QTest::addColumn<int>("tab");
    QTest::addColumn<QStringList>("keys");
    QStringList lora{"PathTo/LoRaPathToBoot",         "PathTo/LoRaPathToLoRa",
                     "PathTo/LoRaPathToApp",          "PathTo/LoRaPathToRelease",
                     "Offsets/LoRaOffsetWrtBoot",     "Offsets/LoRaOffsetWrtFmwLora",
                     "Offsets/LoRaOffsetWrtFmw",      "Offsets/LoRaOffsetSrchNameLora",
                     "Offsets/LoRaOffsetSrchNameFmw", "Templates_Name/LoRaTmpltNameOutFile"};
    QStringList binary;
    QStringList intelHex{"PathTo/IntelHEXPathBoot", "PathTo/IntelHEXPathApp", "PathTo/IntelHEXPathMain"};
    for (int n = 1; n <= 6; ++n)
        binary << QStringLiteral("PathTo/BinaryPathFile_%1").arg(n);
    binary << "PathTo/BinaryPathRelease";
    for (int n = 1; n <= 6; ++n)
        binary << QStringLiteral("Offsets/BinaryOffsetFile_%1").arg(n);
    binary << "Templates_Name/BinaryTmpltNameOutFile";
    for (int n = 1; n <= 6; ++n)
        binary << QStringLiteral("StateWindow/Bin%1").arg(n);
    for (int n = 1; n <= 3; ++n)
        intelHex << QStringLiteral("PathTo/IntelHEXPathAddictFile_%1").arg(n);
    intelHex << "PathTo/IntelHEXPathRelease"
             << "Templates_Name/IntelHEXTmpltNameOutFile";
    for (int n = 1; n <= 6; ++n)
        intelHex << QStringLiteral("StateWindow/HEX%1").arg(n);
    QTest::newRow("LoRa") << 0 << lora;
    QTest::newRow("Binary") << 1 << binary;
    QTest::newRow("IntelHEX") << 2 << intelHex;
}

void SettingsFilesTest::eachTabWritesOnlyItsOwnKeys()
{
    QFETCH(int, tab);
    QFETCH(QStringList, keys);
    const QString file = path(QStringLiteral("one.tab"));
    QVERIFY(SettingsFile::update(file, [tab](QSettings &store) {
        if (tab == 0)
            sampleLoRa().save(store);
        else if (tab == 1)
            sampleBinary().save(store);
        else
            sampleIntelHex().save(store);
    }));
    QSettings store(file, QSettings::IniFormat);
    QStringList written = store.allKeys();
    written.sort();
    keys.sort();
    QCOMPARE(written, keys);
}

void SettingsFilesTest::missingKeysReadEmpty()
{
    const QString file = path(QStringLiteral("partial.conf"));
    QVERIFY(writeFile(file, "[PathTo]\nLoRaPathToBoot=/only\n[StateWindow]\nBin3=true\n"));
    SettingsFile::Reader reader(file);
    LoRaSettings lora = LoRaSettings::load(reader.store());
    QCOMPARE(lora.pathToBoot, QStringLiteral("/only"));
    QVERIFY(lora.pathToApp.isEmpty());
    QVERIFY(lora.templateName.isEmpty());
    const BinarySettings binary = BinarySettings::load(reader.store());
    QCOMPARE(binary.enabled, (std::array<bool, 6>{false, false, true, false, false, false}));
    QVERIFY(binary.offsetFile[0].isEmpty());
    QCOMPARE(ConfigFile::loadTab(reader.store()), 0);
}

void SettingsFilesTest::flashKeysAreWrittenOnlyOnceASizeIsSet_data()
{
    QTest::addColumn<int>("tab");
    QTest::addColumn<QByteArray>("flashGroup");
    QTest::newRow("LoRa") << 0 << QByteArray("[Flash]\nLoRaFlashSize=0x40000\n");
    QTest::newRow("Binary") << 1 << QByteArray("[Flash]\nBinaryFlashSize=0x40000\n");
    QTest::newRow("IntelHEX") << 2
                              << QByteArray(
                                     "[Flash]\nIntelHEXFlashBase=0x08004000\nIntelHEXFlashSize=0x40000\n");
}

void SettingsFilesTest::flashKeysAreWrittenOnlyOnceASizeIsSet()
{
    QFETCH(int, tab);
    QFETCH(QByteArray, flashGroup);
    const QString config = path(QStringLiteral("config.conf"));
    QVERIFY(ConfigFile::ensureExists(config));
    const auto saveWith = [&](const QString &size) {
        return SettingsFile::update(config, [&](QSettings &store) {
            LoRaSettings lora = sampleLoRa();
            BinarySettings binary = sampleBinary();
            IntelHexSettings intelHex = sampleIntelHex();
            (tab == 0 ? lora.flashSize : tab == 1 ? binary.flashSize : intelHex.flashSize) = size;
            intelHex.flashBase = QStringLiteral("0x08004000");
            lora.save(store);
            binary.save(store);
            intelHex.save(store);
        });
    };
    // A file from before there was a flash size saves as it did, without a trace of one. Saved
    // twice: QSettings on Windows keeps keys in the order they were first set, and the first save
    // over the defaults sets some of them anew.
    QVERIFY(saveWith(QString()));
    QVERIFY(saveWith(QString()));
    const QByteArray withoutFlash = TestFiles::read(config);
    QVERIFY(!withoutFlash.contains("Flash]"));

    QVERIFY(saveWith(QStringLiteral("0x40000")));
    // The other groups keep their bytes. QSettings writes groups and keys in name order, except on
    // Windows, where a new group follows those it had already, its keys in the order they were set.
    const QByteArray saved = TestFiles::read(config);
    if (TestPlatform::isPosix()) {
        QCOMPARE(saved, flashGroup + '\n' + withoutFlash);
    } else {
        QVERIFY(saved.startsWith(withoutFlash));
        QList<QByteArray> added = saved.mid(withoutFlash.size()).split('\n');
        QList<QByteArray> expected = TestPlatform::settingsText('\n' + flashGroup).split('\n');
        std::sort(added.begin(), added.end());
        std::sort(expected.begin(), expected.end());
        QCOMPARE(added, expected);
    }
    {
        SettingsFile::Reader reader(config);
        QCOMPARE(LoRaSettings::load(reader.store()).flashSize,
                 tab == 0 ? QStringLiteral("0x40000") : QString());
        QCOMPARE(BinarySettings::load(reader.store()).flashSize,
                 tab == 1 ? QStringLiteral("0x40000") : QString());
        const IntelHexSettings intelHex = IntelHexSettings::load(reader.store());
        QCOMPARE(intelHex.flashSize, tab == 2 ? QStringLiteral("0x40000") : QString());
        QCOMPARE(intelHex.flashBase, tab == 2 ? QStringLiteral("0x08004000") : QString());
    }

    // Back to no limit: the keys go again.
    QVERIFY(saveWith(QString()));
    QCOMPARE(TestFiles::read(config), withoutFlash);
}

void SettingsFilesTest::updateKeepsForeignKeys()
{
    const QString config = path(QStringLiteral("config.conf"));
    QVERIFY(ConfigFile::ensureExists(config));
    QVERIFY(SettingsFile::update(config, [](QSettings &store) { sampleLoRa().save(store); }));
    QSettings store(config, QSettings::IniFormat);
    QCOMPARE(store.value(QStringLiteral("STMSetting/FlashAdress")).toString(), QStringLiteral("0"));
    QCOMPARE(store.value(QStringLiteral("Templates_Name/BinaryTmpltNameOutFile")).toString(),
             QStringLiteral("Enter Template Name"));
    QCOMPARE(store.allKeys().size(), 35);
}

void SettingsFilesTest::updateOfGarbageWritesAFreshFile_data()
{
    QTest::addColumn<QByteArray>("content");
    QByteArray binary;
    for (int i = 0; i < 4096; ++i)
        binary += char((i * 7919 + 13) & 0xFF);
    QTest::newRow("binary") << binary;
    QTest::newRow("half-written") << QByteArray("[PathTo]\nLoRaPathToBoot=/a\nLoRaPathTo");
    QTest::newRow("broken variant") << QByteArray(
        "[PathTo]\nLoRaPathToBoot=@Variant(\\0\\0\\0\\x7f\\xff\\xff\n");
    QTest::newRow("unterminated group") << QByteArray("[PathTo\nLoRaPathToBoot=/a\n[");
}

void SettingsFilesTest::updateOfGarbageWritesAFreshFile()
{
    QFETCH(QByteArray, content);
    const QString config = path(QStringLiteral("config.conf"));
    QVERIFY(writeFile(config, content));
    {
        // Whatever it holds, reading must not fail hard.
        SettingsFile::Reader reader(config);
        LoRaSettings::load(reader.store());
        BinarySettings::load(reader.store());
        IntelHexSettings::load(reader.store());
        ConfigFile::loadTab(reader.store());
    }
    QVERIFY(SettingsFile::update(config, [](QSettings &store) { sampleLoRa().save(store); }));
    SettingsFile::Reader reader(config);
    QVERIFY(reader.wellFormed());
    QCOMPARE(LoRaSettings::load(reader.store()), sampleLoRa());
}

void SettingsFilesTest::readerSeesRewritesWithinTheSameMillisecond()
{
    const QString file = path(QStringLiteral("same.conf"));
    QVERIFY(SettingsFile::update(file, [](QSettings &store) {
        store.setValue(QStringLiteral("Offsets/LoRaOffsetWrtBoot"), QStringLiteral("0"));
    }));
    const QDateTime stamp = QFileInfo(file).lastModified();
    for (int round = 1; round <= 3; ++round) {
        {
            SettingsFile::Reader reader(file);
            QCOMPARE(LoRaSettings::load(reader.store()).offsetWrtBoot, QString::number(round - 1));
        }
        const QString value = QString::number(round);
        QVERIFY(SettingsFile::update(file, [&value](QSettings &store) {
            store.setValue(QStringLiteral("Offsets/LoRaOffsetWrtBoot"), value);
        }));
        // Same size and, as far as QSettings can tell, the same modification time.
        QFile touched(file);
        QVERIFY(touched.open(QIODevice::ReadWrite));
        QVERIFY(touched.setFileTime(stamp, QFileDevice::FileModificationTime));
        touched.close();
        SettingsFile::Reader reader(file);
        QCOMPARE(LoRaSettings::load(reader.store()).offsetWrtBoot, value);
    }
}

void SettingsFilesTest::readOnlyFileIsLeftIntact()
{
    if (TestPlatform::isSuperUser())
        QSKIP("permission bits do not bind root; the full file system case covers root");
    const QString config = path(QStringLiteral("config.conf"));
    QVERIFY(ConfigFile::ensureExists(config));
    const QByteArray before = TestFiles::read(config);
    QVERIFY(QFile::setPermissions(config, QFile::ReadOwner));
    QVERIFY(!SettingsFile::update(config, [](QSettings &store) { sampleLoRa().save(store); }));
    QCOMPARE(TestFiles::read(config), before);
}

void SettingsFilesTest::readOnlyDirectoryIsLeftIntact()
{
    POSIX_ONLY("Windows' read-only attribute does not keep files out of a folder");
    if (TestPlatform::isSuperUser())
        QSKIP("permission bits do not bind root; the full file system case covers root");
    const QString config = path(QStringLiteral("config.conf"));
    QVERIFY(ConfigFile::ensureExists(config));
    const QByteArray before = TestFiles::read(config);
    QVERIFY(QFile::setPermissions(m_dir->path(), QFile::ReadOwner | QFile::ExeOwner));
    const bool updated = SettingsFile::update(config, [](QSettings &store) { sampleLoRa().save(store); });
    QFile::setPermissions(m_dir->path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    QVERIFY(!updated);
    QCOMPARE(TestFiles::read(config), before);
}

void SettingsFilesTest::fullDiskLeavesTheOldFileIntact()
{
    const QString mountPoint = path(QStringLiteral("small"));
    SmallFileSystem disk(mountPoint, 8);
    if (!disk.isMounted())
        QSKIP("mounting a small file system needs root");

    const QString config = mountPoint + QStringLiteral("/config.conf");
    QVERIFY(ConfigFile::ensureExists(config));
    const QByteArray before = TestFiles::read(config);
    QCOMPARE(before, ConfigFile::defaultContent());
    disk.fill();

    QVERIFY(!SettingsFile::update(config, [](QSettings &store) { sampleBinary().save(store); }));
    QCOMPARE(TestFiles::read(config), before);
    QVERIFY(!ConfigFile::ensureExists(mountPoint + QStringLiteral("/other.conf")));
    // No temporary or half-written file is left behind.
    QCOMPARE(QDir(mountPoint).entryList(QDir::Files | QDir::Hidden), (QStringList{"config.conf", "filler"}));
}

void SettingsFilesTest::templateNames_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("problem");
    QTest::newRow("empty") << QString() << QStringLiteral("Поле не может быть пустым");
    const QString separators = QStringLiteral("Имя шаблона не может содержать символы \"/\" и \"\\\"");
    QTest::newRow("slash") << QStringLiteral("../escape") << separators;
    QTest::newRow("backslash") << QStringLiteral("a\\b") << separators;
    QTest::newRow("plain") << QStringLiteral("release 1") << QString();
    QTest::newRow("dots and symbols") << QStringLiteral("..;,=#") << QString();
    QTest::newRow("blank") << QStringLiteral(" ") << QString();
}

void SettingsFilesTest::templateNames()
{
    QFETCH(QString, name);
    QFETCH(QString, problem);
    QCOMPARE(TemplateStore::nameProblem(name), problem);
    const TemplateStore templates(m_dir->path());
    const bool saved =
        templates.save(name, TemplateKind::LoRa, [](QSettings &store) { sampleLoRa().save(store); });
    QCOMPARE(saved, problem.isEmpty());
    QCOMPARE(templates.list(TemplateKind::LoRa),
             problem.isEmpty() ? QStringList{name + QStringLiteral(".LoRa")} : QStringList{});
    // Nothing lands beside the folder.
    QCOMPARE(QDir(m_dir->path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden),
             problem.isEmpty() ? QStringList{QStringLiteral("Templates Setting")} : QStringList{});
}

void SettingsFilesTest::templateNameLosesItsEndingExtension()
{
    QCOMPARE(TemplateStore::nameOf(QStringLiteral("a.LoRab.LoRa"), TemplateKind::LoRa),
             QStringLiteral("a.LoRab"));
    QCOMPARE(TemplateStore::nameOf(QStringLiteral("fw.LoRa"), TemplateKind::Binary),
             QStringLiteral("fw.LoRa"));
    QCOMPARE(TemplateStore::nameOf(QStringLiteral("x.lora.LoRa"), TemplateKind::LoRa),
             QStringLiteral("x.lora"));
    QCOMPARE(TemplateStore::nameOf(QStringLiteral("x.binary"), TemplateKind::Binary), QStringLiteral("x"));
    QCOMPARE(TemplateStore::nameOf(QStringLiteral("x.IntelHEX"), TemplateKind::IntelHex),
             QStringLiteral("x"));
}

void SettingsFilesTest::templatesListOnlyTheirKind()
{
    const TemplateStore templates(m_dir->path());
    QVERIFY(templates.save(QStringLiteral("b"), TemplateKind::LoRa,
                           [](QSettings &store) { sampleLoRa().save(store); }));
    QVERIFY(templates.save(QStringLiteral("a"), TemplateKind::LoRa,
                           [](QSettings &store) { sampleLoRa().save(store); }));
    QVERIFY(templates.save(QStringLiteral("a"), TemplateKind::Binary,
                           [](QSettings &store) { sampleBinary().save(store); }));
    QVERIFY(templates.save(QStringLiteral("c"), TemplateKind::IntelHex,
                           [](QSettings &store) { sampleIntelHex().save(store); }));
    QVERIFY(QDir().mkpath(templates.folder() + QStringLiteral("folder.LoRa")));
    QVERIFY(writeFile(templates.folder() + QStringLiteral("lower.lora"), "[PathTo]\n"));
    QCOMPARE(templates.list(TemplateKind::LoRa), (QStringList{"a.LoRa", "b.LoRa"}));
    QCOMPARE(templates.list(TemplateKind::Binary), (QStringList{"a.binary"}));
    QCOMPARE(templates.list(TemplateKind::IntelHex), (QStringList{"c.IntelHEX"}));
    QSettings store(templates.pathOf(QStringLiteral("c.IntelHEX")), QSettings::IniFormat);
    QCOMPARE(IntelHexSettings::load(store), sampleIntelHex());
}

void SettingsFilesTest::templateSaveCreatesTheFolder()
{
    const TemplateStore templates(m_dir->path() + QStringLiteral("/nested/base"));
    QVERIFY(templates.save(QStringLiteral("t"), TemplateKind::Binary,
                           [](QSettings &store) { sampleBinary().save(store); }));
    QVERIFY(QFileInfo(m_dir->path() + QStringLiteral("/nested/base/Templates Setting/t.binary")).isFile());
}

// A full or missing TMPDIR is no reason not to save: the working folder is written anyway.
void SettingsFilesTest::temporariesStayBesideTheFile()
{
    const QByteArray savedTmp = qgetenv("TMPDIR");
    const QByteArray savedTemp = qgetenv("TEMP");
    const QString missing = path(QStringLiteral("no such tmp"));
    qputenv("TMPDIR", QFile::encodeName(missing));
    qputenv("TEMP", QFile::encodeName(missing));
    qputenv("TMP", QFile::encodeName(missing));
    const QString config = path(QStringLiteral("config.conf"));
    const bool created = ConfigFile::ensureExists(config);
    const bool updated = SettingsFile::update(config, [](QSettings &store) { sampleLoRa().save(store); });
    const bool templateSaved =
        TemplateStore(m_dir->path()).save(QStringLiteral("t"), TemplateKind::LoRa, [](QSettings &store) {
            sampleLoRa().save(store);
        });
    LoRaSettings loaded;
    {
        SettingsFile::Reader reader(config);
        loaded = LoRaSettings::load(reader.store());
    }
    qputenv("TMPDIR", savedTmp);
    qputenv("TEMP", savedTemp);
    qputenv("TMP", savedTemp);
    QVERIFY(created && updated && templateSaved);
    QCOMPARE(loaded.pathToApp, sampleLoRa().pathToApp);
    QCOMPARE(QDir(m_dir->path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden),
             (QStringList{"config.conf", "Templates Setting"}));
    QCOMPARE(QDir(TemplateStore(m_dir->path()).folder()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot),
             QStringList{"t.LoRa"});
}

void SettingsFilesTest::nonRegularFilesAreNeverOpened_data()
{
    QTest::addColumn<QString>("kind");
    QTest::newRow("FIFO") << "fifo";
    QTest::newRow("link to a FIFO") << "link to fifo";
    QTest::newRow("link to /dev/zero") << "link to zero";
    QTest::newRow("directory") << "directory";
    QTest::newRow("a file of 17 MB") << "huge";
}

// config.conf or a template that is no settings file reads as empty at once, says why, and is
// never written over.
void SettingsFilesTest::nonRegularFilesAreNeverOpened()
{
    QFETCH(QString, kind);
    const QString config = path(QStringLiteral("config.conf"));
    const QString fifo = path(QStringLiteral("fifo"));
    if (kind.contains(QLatin1String("fifo")) && !TestPlatform::makeFifo(fifo))
        QSKIP("no FIFOs here");
    if (kind == QLatin1String("link to zero") && !QFile::exists(QStringLiteral("/dev/zero")))
        QSKIP("no /dev/zero here");
    if (kind == QLatin1String("fifo"))
        QVERIFY(QFile::rename(fifo, config));
    if (kind == QLatin1String("link to fifo"))
        QVERIFY(QFile::link(fifo, config));
    if (kind == QLatin1String("link to zero"))
        QVERIFY(QFile::link(QStringLiteral("/dev/zero"), config));
    if (kind == QLatin1String("directory"))
        QVERIFY(QDir().mkpath(config + QStringLiteral("/inside")));
    if (kind == QLatin1String("huge")) {
        QFile file(config);
        QVERIFY(file.open(QIODevice::WriteOnly));
        QVERIFY(file.write("[PathTo]\nLoRaPathToApp=x\n") > 0);
        QVERIFY(file.resize(17 * 1024 * 1024));
    }

    {
        SettingsFile::Reader reader(config);
        QVERIFY(!reader.problem().isEmpty());
        QVERIFY(!reader.wellFormed());
        QVERIFY(reader.store().allKeys().isEmpty());
    }
    // A regular file, however big, is the program's to rewrite; nothing else is.
    const bool huge = kind == QLatin1String("huge");
    QCOMPARE(SettingsFile::update(config, [](QSettings &store) { sampleLoRa().save(store); }), huge);
    QVERIFY(ConfigFile::ensureExists(config));
    QCOMPARE(QFileInfo(config).isFile(), huge);
    QStringList expected{"config.conf"};
    if (kind == QLatin1String("link to fifo"))
        expected << "fifo";
    QCOMPARE(
        QDir(m_dir->path())
            .entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System, QDir::Name),
        expected);
}

void SettingsFilesTest::staleTemporariesAreRemoved_data()
{
    QTest::addColumn<QString>("entry");
    QTest::addColumn<QString>("kind"); // "file", "scratch" (a folder as the reader leaves it), "folder"
    QTest::addColumn<bool>("removed");
    QTest::newRow("config.conf's temporary file") << "config.conf.quillon-Ab12Cd"
                                                  << "file" << true;
    QTest::newRow("config.conf's scratch folder") << "config.conf.quillon-zZ09yY"
                                                  << "scratch" << true;
    QTest::newRow("a template's temporary file") << "Templates Setting/fw.LoRa.quillon-q1W2e3"
                                                 << "file" << true;
    QTest::newRow("a template's scratch folder") << "Templates Setting/b.binary.quillon-Q1w2E3"
                                                 << "scratch" << true;
    QTest::newRow("a user's folder of that name") << "config.conf.quillon-Ab12Cd"
                                                  << "folder" << false;
    QTest::newRow("a backup") << "config.conf.backup"
                              << "file" << false;
    QTest::newRow("Qt's temporary name") << "config.conf.Ab12Cd"
                                         << "file" << false;
    QTest::newRow("five letters") << "config.conf.quillon-Ab12C"
                                  << "file" << false;
    QTest::newRow("another file's") << "notes.txt.quillon-Ab12Cd"
                                    << "file" << false;
    QTest::newRow("a template's, in the working folder") << "fw.LoRa.quillon-q1W2e3"
                                                         << "file" << false;
}

void SettingsFilesTest::staleTemporariesAreRemoved()
{
    QFETCH(QString, entry);
    QFETCH(QString, kind);
    QFETCH(bool, removed);
    const QString target = path(entry);
    if (kind == QLatin1String("file"))
        QVERIFY(TestFiles::writeFile(target, "[PathTo]\nLoRa"));
    else
        QVERIFY(
            TestFiles::writeFile(target + (kind == QLatin1String("scratch") ? QStringLiteral("/settings.ini")
                                                                            : QStringLiteral("/notes.txt")),
                                 "x"));
    const QString config = path(QStringLiteral("config.conf"));
    QVERIFY(ConfigFile::ensureExists(config));

    ConfigFile::removeStaleTemporaries(config);
    TemplateStore(m_dir->path()).removeStaleTemporaries();
    QCOMPARE(QFileInfo::exists(target), !removed);
    QCOMPARE(TestFiles::read(config), ConfigFile::defaultContent());

    // The scratch folder a reader keeps while it lives is one of them.
    SettingsFile::Reader reader(config);
    QStringList scratch =
        QDir(m_dir->path()).entryList({QStringLiteral("config.conf.*")}, QDir::Dirs | QDir::Hidden);
    scratch.removeAll(QFileInfo(target).fileName());
    QCOMPARE(scratch.size(), 1);
    QVERIFY2(SettingsFile::isStaleTemporary(m_dir->path(), scratch[0], {QStringLiteral("config.conf")}),
             qPrintable(scratch[0]));
}

QTEST_GUILESS_MAIN(SettingsFilesTest)
#include "tst_settingsfiles.moc"
