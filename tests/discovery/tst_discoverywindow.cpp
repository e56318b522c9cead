#include <QtTest>
#include <QtWidgets>

#include <memory>

#include "mainwindow/mainwindow.h"
#include "scripteddialogs.h"

// Reads the window's private lists of found sources.
class MainWindowTestAccess {
public:
    static QStringList bootFiles(const MainWindow &window) { return window.bootFiles; }
    static QStringList loraMacFiles(const MainWindow &window) { return window.loraMacFiles; }
    static QStringList appFiles(const MainWindow &window) { return window.appFiles; }
    static QString loraMacFilter(const MainWindow &window) { return window.loraMacFilter; }
};

namespace {

bool writeFile(const QString &path, const QByteArray &content)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(content) == content.size();
}

QStringList treeRows(const QTreeWidget *tree)
{
    QStringList rows;
    for (int i = 0; i < tree->topLevelItemCount(); ++i)
        rows << tree->topLevelItem(i)->text(0);
    rows.sort();
    return rows;
}

QStringList sorted(QStringList list)
{
    list.sort();
    return list;
}

const QByteArray HexRecords = ":0400000001020304F2\n:00000001FF\n";
const QByteArray RawBytes("\x00\x50\x00\x20\xC1\x01\x00\x08", 8);

} // namespace

class DiscoveryWindowTest : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void loraSearchButtonsScanTheChosenDirectory_data();
    void loraSearchButtonsScanTheChosenDirectory();
    void cancelledLoraSearchChangesNothing();
    void keyboardActivationFindsTheButton();
    void intelHexFilesAreRefusedUnderTheHexFilter();
    void binFilterNeverSniffs();
    void radioButtonsChangeTheFilterAndRescan();
    void loraMacNameOptionTogglesThePattern();
    void releaseDirectoriesReplaceTheList_data();
    void releaseDirectoriesReplaceTheList();
    void binaryFileChoice_data();
    void binaryFileChoice();
    void binaryRadioButtonsSetTheChooserFilter();
    void intelHexFileChoice_data();
    void intelHexFileChoice();
    void startupScansTheStoredLoraDirectories();

private:
    template <typename T> T *widget(const char *name)
    {
        T *found = m_window->findChild<T *>(QString::fromLatin1(name));
        if (!found)
            qFatal("no widget %s", name);
        return found;
    }
    QString source(const QString &relative) const { return m_sources->filePath(relative); }

    QTemporaryDir *m_dir = nullptr;
    std::unique_ptr<QTemporaryDir> m_sources;
    QString m_previousDir;
    ScriptedDialogs m_dialogs;
    std::unique_ptr<MainWindow> m_window;
};

void DiscoveryWindowTest::init()
{
    m_previousDir = QDir::currentPath();
    m_dir = new QTemporaryDir;
    QVERIFY(m_dir->isValid());
    QVERIFY(QDir::setCurrent(m_dir->path()));
    m_sources = std::make_unique<QTemporaryDir>();
    QVERIFY(m_sources->isValid());
    m_dialogs = ScriptedDialogs();
    m_window = std::make_unique<MainWindow>(m_dialogs);
    // Every optional file row takes part, so that its buttons can be used.
    for (auto *check : m_window->findChildren<QCheckBox *>())
        if (check->objectName().startsWith(QStringLiteral("BinaryCheckFile")) ||
            check->objectName().startsWith(QStringLiteral("IntelHEXCheck")))
            check->setChecked(true);
}

void DiscoveryWindowTest::cleanup()
{
    m_window.reset();
    m_sources.reset();
    QDir::setCurrent(m_previousDir);
    delete m_dir;
    m_dir = nullptr;
}

void DiscoveryWindowTest::loraSearchButtonsScanTheChosenDirectory_data()
{
    QTest::addColumn<QString>("button");
    QTest::addColumn<QString>("combo");
    QTest::addColumn<QString>("tree");
    QTest::addColumn<QString>("caption");
    QTest::addColumn<QString>("pattern");
    QTest::newRow("bootloader") << "LoRaSearchBOOT"
                                << "LoRaComboBOOT"
                                << "LoRaFoundFilesBOOT"
                                << "Bootloader Directory"
                                << ".bin";
    QTest::newRow("LoRaMAC") << "LoRaSearchLoraMAC"
                             << "LoRaComboLoraMAC"
                             << "LoRaFoundFilesLoraMAC"
                             << "LoRaMAC Directory"
                             << ".hex";
    QTest::newRow("application") << "LoRaSearchApp"
                                 << "LoRaComboApp"
                                 << "LoRaFoundFilesApp"
                                 << "App Directory"
                                 << ".bin";
}

void DiscoveryWindowTest::loraSearchButtonsScanTheChosenDirectory()
{
    QFETCH(QString, button);
    QFETCH(QString, combo);
    QFETCH(QString, tree);
    QFETCH(QString, caption);
    QFETCH(QString, pattern);
    const QString root = source(QStringLiteral("pieces"));
    for (const char *name : {"one", "sub/two", "sub/deep/three"})
        QVERIFY(writeFile(root + QLatin1Char('/') + QLatin1String(name) + pattern, RawBytes));
    QVERIFY(writeFile(root + QStringLiteral("/other.txt"), RawBytes));

    m_dialogs.directoryAnswers.enqueue(root);
    widget<QPushButton>(qPrintable(button))->click();
    QCOMPARE(m_dialogs.records.size(), 1);
    const ScriptedDialogs::Record chooser = m_dialogs.records[0];
    QCOMPARE(chooser.call, ScriptedDialogs::Call::ChooseDirectory);
    QCOMPARE(chooser.title, caption);
    QCOMPARE(chooser.startDir, QStringLiteral("Enter Path..->"));
    QVERIFY(chooser.hadParent);

    auto *comboBox = widget<QComboBox>(qPrintable(combo));
    QCOMPARE(comboBox->count(), 1);
    QCOMPARE(comboBox->currentText(), root);
    QCOMPARE(treeRows(widget<QTreeWidget>(qPrintable(tree))),
             sorted({"one" + pattern, "two" + pattern, "three" + pattern}));
    const QStringList expected =
        sorted({root + "/one" + pattern, root + "/sub/two" + pattern, root + "/sub/deep/three" + pattern});
    const QStringList found = button == "LoRaSearchBOOT"      ? MainWindowTestAccess::bootFiles(*m_window)
                              : button == "LoRaSearchLoraMAC" ? MainWindowTestAccess::loraMacFiles(*m_window)
                                                              : MainWindowTestAccess::appFiles(*m_window);
    QCOMPARE(sorted(found), expected);
    QVERIFY(m_dialogs.messages().isEmpty());

    // A second search starts at the directory now shown and replaces everything.
    const QString empty = source(QStringLiteral("empty"));
    QVERIFY(QDir().mkpath(empty));
    m_dialogs.directoryAnswers.enqueue(empty);
    widget<QPushButton>(qPrintable(button))->click();
    QCOMPARE(m_dialogs.records.last().startDir, root);
    QCOMPARE(comboBox->count(), 1);
    QCOMPARE(comboBox->currentText(), empty);
    QCOMPARE(widget<QTreeWidget>(qPrintable(tree))->topLevelItemCount(), 0);
}

void DiscoveryWindowTest::cancelledLoraSearchChangesNothing()
{
    const QString root = source(QStringLiteral("pieces"));
    QVERIFY(writeFile(root + QStringLiteral("/a.bin"), RawBytes));
    m_dialogs.directoryAnswers.enqueue(root);
    widget<QPushButton>("LoRaSearchApp")->click();
    widget<QPushButton>("LoRaSearchApp")->click(); // no answer queued: cancelled
    QCOMPARE(m_dialogs.records.size(), 2);
    QCOMPARE(widget<QComboBox>("LoRaComboApp")->currentText(), root);
    QCOMPARE(MainWindowTestAccess::appFiles(*m_window), QStringList{root + "/a.bin"});
    QCOMPARE(treeRows(widget<QTreeWidget>("LoRaFoundFilesApp")), QStringList{"a.bin"});
}

void DiscoveryWindowTest::keyboardActivationFindsTheButton()
{
    const QString root = source(QStringLiteral("pieces"));
    QVERIFY(writeFile(root + QStringLiteral("/a.bin"), RawBytes));
    m_dialogs.directoryAnswers.enqueue(root);
    QTest::keyClick(widget<QPushButton>("LoRaSearchBOOT"), Qt::Key_Space);
    QCOMPARE(m_dialogs.records.size(), 1);
    QCOMPARE(m_dialogs.records[0].title, QStringLiteral("Bootloader Directory"));
    QCOMPARE(widget<QComboBox>("LoRaComboBOOT")->currentText(), root);
}

void DiscoveryWindowTest::intelHexFilesAreRefusedUnderTheHexFilter()
{
    // The LoRaMAC source lists ".hex" files at start.
    const QString root = source(QStringLiteral("mac"));
    QVERIFY(writeFile(root + QStringLiteral("/records.hex"), HexRecords));
    QVERIFY(writeFile(root + QStringLiteral("/nested/raw.hex"), RawBytes));
    m_dialogs.directoryAnswers.enqueue(root);
    widget<QPushButton>("LoRaSearchLoraMAC")->click();

    const QList<ScriptedDialogs::Record> messages = m_dialogs.messages();
    QCOMPARE(messages.size(), 1);
    QCOMPARE(messages[0].kind, MessageKind::Warning);
    QCOMPARE(messages[0].title, QStringLiteral("Предупреждение!"));
    QCOMPARE(messages[0].text, QStringLiteral("Файл ") + root +
                                   QStringLiteral("/records.hex, является IntelHEX фалом и не будет "
                                                  "добавлен в очередь."));
    QCOMPARE(MainWindowTestAccess::loraMacFiles(*m_window), QStringList{root + "/nested/raw.hex"});
    // The refused file keeps an empty row.
    QCOMPARE(treeRows(widget<QTreeWidget>("LoRaFoundFilesLoraMAC")), (QStringList{QString(), "raw.hex"}));
}

void DiscoveryWindowTest::binFilterNeverSniffs()
{
    const QString root = source(QStringLiteral("boot"));
    QVERIFY(writeFile(root + QStringLiteral("/looks_like_hex.bin"), HexRecords));
    m_dialogs.directoryAnswers.enqueue(root);
    widget<QPushButton>("LoRaSearchBOOT")->click();
    QVERIFY(m_dialogs.messages().isEmpty());
    QCOMPARE(MainWindowTestAccess::bootFiles(*m_window), QStringList{root + "/looks_like_hex.bin"});
}

void DiscoveryWindowTest::radioButtonsChangeTheFilterAndRescan()
{
    const QString root = source(QStringLiteral("boot"));
    QVERIFY(writeFile(root + QStringLiteral("/a.bin"), RawBytes));
    QVERIFY(writeFile(root + QStringLiteral("/b.hex"), RawBytes));
    m_dialogs.directoryAnswers.enqueue(root);
    widget<QPushButton>("LoRaSearchBOOT")->click();
    QCOMPARE(MainWindowTestAccess::bootFiles(*m_window), QStringList{root + "/a.bin"});

    widget<QRadioButton>("LoRaHEXBOOT")->click();
    QCOMPARE(MainWindowTestAccess::bootFiles(*m_window), QStringList{root + "/b.hex"});
    QCOMPARE(treeRows(widget<QTreeWidget>("LoRaFoundFilesBOOT")), QStringList{"b.hex"});
    widget<QRadioButton>("LoRaBINBOOT")->click();
    QCOMPARE(MainWindowTestAccess::bootFiles(*m_window), QStringList{root + "/a.bin"});

    // Same for the application and the LoRaMAC inputs.
    widget<QComboBox>("LoRaComboApp")->clear();
    widget<QComboBox>("LoRaComboApp")->addItem(root);
    widget<QRadioButton>("LoRaHEXApp")->click();
    QCOMPARE(MainWindowTestAccess::appFiles(*m_window), QStringList{root + "/b.hex"});
    widget<QComboBox>("LoRaComboLoraMAC")->clear();
    widget<QComboBox>("LoRaComboLoraMAC")->addItem(root);
    widget<QRadioButton>("LoRaBINLoraMAC")->click();
    QCOMPARE(MainWindowTestAccess::loraMacFilter(*m_window), QStringLiteral("*.bin"));
    QCOMPARE(MainWindowTestAccess::loraMacFiles(*m_window), QStringList{root + "/a.bin"});
    QVERIFY(m_dialogs.messages().isEmpty());
}

void DiscoveryWindowTest::loraMacNameOptionTogglesThePattern()
{
    const QString root = source(QStringLiteral("mac"));
    QVERIFY(writeFile(root + QStringLiteral("/LoraMAC_eu868.bin"), RawBytes));
    QVERIFY(writeFile(root + QStringLiteral("/sub/app_LoraMAC_v2.bin"), RawBytes));
    QVERIFY(writeFile(root + QStringLiteral("/plain.bin"), RawBytes));
    widget<QRadioButton>("LoRaBINLoraMAC")->click();
    m_dialogs.directoryAnswers.enqueue(root);
    widget<QPushButton>("LoRaSearchLoraMAC")->click();
    QCOMPARE(MainWindowTestAccess::loraMacFiles(*m_window).size(), 3);

    auto *option = widget<QCheckBox>("LoRaLoRaMACInName");
    for (int round = 0; round < 2; ++round) {
        option->setChecked(true);
        QCOMPARE(MainWindowTestAccess::loraMacFilter(*m_window), QStringLiteral("*LoraMAC**.bin"));
        QCOMPARE(sorted(MainWindowTestAccess::loraMacFiles(*m_window)),
                 (QStringList{root + "/LoraMAC_eu868.bin", root + "/sub/app_LoraMAC_v2.bin"}));
        QCOMPARE(treeRows(widget<QTreeWidget>("LoRaFoundFilesLoraMAC")),
                 (QStringList{"LoraMAC_eu868.bin", "app_LoraMAC_v2.bin"}));
        // A second "checked" does not stack the pattern.
        m_window->LoRaMAC_Name_Check(Qt::Checked);
        QCOMPARE(MainWindowTestAccess::loraMacFilter(*m_window), QStringLiteral("*LoraMAC**.bin"));
        // Switching the extension keeps the pattern in front.
        widget<QRadioButton>("LoRaHEXLoraMAC")->click();
        QCOMPARE(MainWindowTestAccess::loraMacFilter(*m_window), QStringLiteral("*LoraMAC**.hex"));
        widget<QRadioButton>("LoRaBINLoraMAC")->click();
        QCOMPARE(MainWindowTestAccess::loraMacFilter(*m_window), QStringLiteral("*LoraMAC**.bin"));

        option->setChecked(false);
        QCOMPARE(MainWindowTestAccess::loraMacFilter(*m_window), QStringLiteral("*.bin"));
        QCOMPARE(MainWindowTestAccess::loraMacFiles(*m_window).size(), 3);
    }
    m_window->LoRaMAC_Name_Check(Qt::PartiallyChecked);
    QCOMPARE(MainWindowTestAccess::loraMacFilter(*m_window), QStringLiteral("*.bin"));
}

void DiscoveryWindowTest::releaseDirectoriesReplaceTheList_data()
{
    QTest::addColumn<QString>("button");
    QTest::addColumn<QString>("list");
    QTest::addColumn<QString>("start");
    QTest::addColumn<bool>("parented");
    QTest::newRow("LoRa") << "LoRaSearchRelease"
                          << "LoRaComboRelease"
                          << "Enter Path.." << true;
    QTest::newRow("Binary") << "BinarySearchRelesae"
                            << "BinaryReleaseCombo"
                            << "Enter Path..->" << false;
    QTest::newRow("IntelHEX") << "IntelHEXSearchReleaseButton"
                              << "IntelHEXReleaseDirrect"
                              << "Enter Path..->" << false;
}

void DiscoveryWindowTest::releaseDirectoriesReplaceTheList()
{
    QFETCH(QString, button);
    QFETCH(QString, list);
    QFETCH(QString, start);
    QFETCH(bool, parented);
    auto *rows = widget<QListWidget>(qPrintable(list));
    widget<QPushButton>(qPrintable(button))->click(); // cancelled
    QCOMPARE(rows->count(), 1);
    QCOMPARE(rows->item(0)->text(), start);
    m_dialogs.directoryAnswers.enqueue(QStringLiteral("/releases/out"));
    widget<QPushButton>(qPrintable(button))->click();
    QCOMPARE(m_dialogs.records.size(), 2);
    for (const ScriptedDialogs::Record &record : m_dialogs.records) {
        QCOMPARE(record.call, ScriptedDialogs::Call::ChooseDirectory);
        QCOMPARE(record.title, QStringLiteral("Release Directory"));
        QCOMPARE(record.startDir, start);
        QCOMPARE(record.hadParent, parented);
    }
    QCOMPARE(rows->count(), 1);
    QCOMPARE(rows->item(0)->text(), QStringLiteral("/releases/out"));
}

void DiscoveryWindowTest::binaryFileChoice_data()
{
    QTest::addColumn<int>("slot");
    for (int slot = 1; slot <= 6; ++slot)
        QTest::addRow("File%d", slot) << slot;
}

void DiscoveryWindowTest::binaryFileChoice()
{
    QFETCH(int, slot);
    const QString raw = source(QStringLiteral("raw.bin"));
    const QString records = source(QStringLiteral("records.bin"));
    QVERIFY(writeFile(raw, RawBytes));
    QVERIFY(writeFile(records, HexRecords));
    auto *button = widget<QPushButton>(qPrintable(QStringLiteral("BinarySearchButtonFile%1").arg(slot)));
    auto *combo = widget<QComboBox>(qPrintable(QStringLiteral("BinaryComboFile%1").arg(slot)));
    // The third slot starts on ".hex" (its radio button is checked in the layout).
    const QString filter = slot == 3 ? QStringLiteral("*.hex") : QStringLiteral("*.bin");

    m_dialogs.fileAnswers.enqueue(raw);
    button->click();
    QCOMPARE(combo->count(), 1);
    QCOMPARE(combo->currentText(), raw);

    m_dialogs.fileAnswers.enqueue(records);
    button->click();
    const QList<ScriptedDialogs::Record> messages = m_dialogs.messages();
    QCOMPARE(messages.size(), 1);
    QCOMPARE(messages[0].kind, MessageKind::Warning);
    QCOMPARE(messages[0].title, QStringLiteral("Не верный формат!"));
    QCOMPARE(messages[0].text, records + QStringLiteral(" явлеяется IntelHEX файлом."));
    QCOMPARE(combo->count(), 1);
    QCOMPARE(combo->currentText(), raw);

    button->click(); // cancelled
    QCOMPARE(combo->currentText(), raw);

    QList<ScriptedDialogs::Record> choosers;
    for (const ScriptedDialogs::Record &record : m_dialogs.records)
        if (record.call == ScriptedDialogs::Call::ChooseFile)
            choosers << record;
    QCOMPARE(choosers.size(), 3);
    QCOMPARE(choosers[0].startDir, QStringLiteral("Enter Path..->"));
    QCOMPARE(choosers[1].startDir, raw);
    for (const ScriptedDialogs::Record &record : choosers) {
        QCOMPARE(record.title, QStringLiteral("File%1 Directory").arg(slot));
        QCOMPARE(record.filter, filter);
        QVERIFY(!record.hadParent);
    }
}

void DiscoveryWindowTest::binaryRadioButtonsSetTheChooserFilter()
{
    widget<QRadioButton>("BinaryHEXFile1")->click();
    widget<QRadioButton>("BinaryBINFile3")->click();
    widget<QPushButton>("BinarySearchButtonFile1")->click();
    widget<QPushButton>("BinarySearchButtonFile3")->click();
    QCOMPARE(m_dialogs.records.size(), 2);
    QCOMPARE(m_dialogs.records[0].filter, QStringLiteral("*.hex"));
    QCOMPARE(m_dialogs.records[1].filter, QStringLiteral("*.bin"));
}

void DiscoveryWindowTest::intelHexFileChoice_data()
{
    QTest::addColumn<QString>("button");
    QTest::addColumn<QString>("combo");
    QTest::addColumn<QString>("caption");
    QTest::newRow("1") << "IntelHEXSearchBOOT"
                       << "IntelHEXComboBOOT"
                       << "File1 Directory";
    QTest::newRow("2") << "IntelHEXSearchBOOTApp"
                       << "IntelHEXComboApp"
                       << "File2 Directory";
    QTest::newRow("3") << "IntelHEXSearchApp"
                       << "IntelHEXComboMain"
                       << "File3 Directory";
    QTest::newRow("4") << "IntelHEXSearchAddictFile1"
                       << "IntelHEXAdditionalFile1Combo"
                       << "File4 Directory";
    QTest::newRow("5") << "IntelHEXSearchAddictFile2"
                       << "IntelHEXAdditionalFile2Combo"
                       << "File5 Directory";
    QTest::newRow("6") << "IntelHEXSearchAddictFile3"
                       << "IntelHEXAdditionalFile3Combo"
                       << "File6 Directory";
}

void DiscoveryWindowTest::intelHexFileChoice()
{
    QFETCH(QString, button);
    QFETCH(QString, combo);
    QFETCH(QString, caption);
    const QString records = source(QStringLiteral("records.hex"));
    const QString raw = source(QStringLiteral("raw.hex"));
    QVERIFY(writeFile(records, HexRecords));
    QVERIFY(writeFile(raw, RawBytes));
    auto *comboBox = widget<QComboBox>(qPrintable(combo));

    m_dialogs.fileAnswers.enqueue(records);
    widget<QPushButton>(qPrintable(button))->click();
    QCOMPARE(comboBox->count(), 1);
    QCOMPARE(comboBox->currentText(), records);

    m_dialogs.fileAnswers.enqueue(raw);
    widget<QPushButton>(qPrintable(button))->click();
    const QList<ScriptedDialogs::Record> messages = m_dialogs.messages();
    QCOMPARE(messages.size(), 1);
    QCOMPARE(messages[0].kind, MessageKind::Warning);
    QCOMPARE(messages[0].title, QStringLiteral("Не верный формат!"));
    QCOMPARE(messages[0].text, raw + QStringLiteral(" не явлеяется IntelHEX файлом"));
    QCOMPARE(comboBox->currentText(), records);

    const ScriptedDialogs::Record first = m_dialogs.records[0];
    QCOMPARE(first.call, ScriptedDialogs::Call::ChooseFile);
    QCOMPARE(first.title, caption);
    QCOMPARE(first.filter, QStringLiteral("*.hex"));
    QCOMPARE(first.startDir, QStringLiteral("Enter Path..->"));
    QVERIFY(!first.hadParent);
}

void DiscoveryWindowTest::startupScansTheStoredLoraDirectories()
{
    const QString boot = source(QStringLiteral("boot"));
    const QString app = source(QStringLiteral("app"));
    QVERIFY(writeFile(boot + QStringLiteral("/sub/boot.bin"), RawBytes));
    QVERIFY(writeFile(app + QStringLiteral("/app.bin"), RawBytes));
    m_window.reset();
    {
        QSettings store(QStringLiteral("config.conf"), QSettings::IniFormat);
        store.setValue(QStringLiteral("PathTo/LoRaPathToBoot"), boot);
        store.setValue(QStringLiteral("PathTo/LoRaPathToApp"), app);
    }
    m_window = std::make_unique<MainWindow>(m_dialogs);
    QCOMPARE(MainWindowTestAccess::bootFiles(*m_window), QStringList{boot + "/sub/boot.bin"});
    QCOMPARE(MainWindowTestAccess::appFiles(*m_window), QStringList{app + "/app.bin"});
    QCOMPARE(treeRows(widget<QTreeWidget>("LoRaFoundFilesBOOT")), QStringList{"boot.bin"});
    QVERIFY(MainWindowTestAccess::loraMacFiles(*m_window).isEmpty());
}

QTEST_MAIN(DiscoveryWindowTest)
#include "tst_discoverywindow.moc"
