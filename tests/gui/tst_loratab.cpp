#include <QtTest>
#include <QtWidgets>

#include "processes.h"
#include "testfiles.h"
#include "testplatform.h"
#include "windowtest.h"

using namespace TestFiles;

namespace {

const QByteArray HexRecords = ":0400000001020304F2\n:00000001FF\n";
const QByteArray RawBytes("\x00\x50\x00\x20\xC1\x01\x00\x08", 8);

// The names shown in a found-files list, sorted, for tests about which files are found.
QStringList treeRows(const QTreeWidget *tree)
{
    QStringList rows;
    for (int i = 0; i < tree->topLevelItemCount(); ++i)
        rows << tree->topLevelItem(i)->text(0);
    rows.sort();
    return rows;
}

// Pieces with name fields at two offsets each, so that moving a field offset changes the name.
struct LoRaPieces {
    QByteArray boot = pattern(0x800, 1);
    QByteArray otherBoot = pattern(0x600, 2);
    QList<QByteArray> loraMacs;
    QList<QByteArray> apps;

    static QByteArray loraMac(int seed, const QByteArray &first, const QByteArray &second)
    {
        return withField(withField(pattern(0x1000, seed), 0x20, nameField(first, 32)), 0x40,
                         nameField(second, 32));
    }
    static QByteArray app(int seed, const QByteArray &first, const QByteArray &second)
    {
        return withField(withField(pattern(0x2000, seed), 0x100, nameField(first, 16)), 0x200,
                         nameField(second, 16));
    }
};

} // namespace

class LoRaTabTest : public QObject {
    Q_OBJECT

private slots:
    // Finding the sources.
    void searchButtonsListTheChosenDirectory_data();
    void searchButtonsListTheChosenDirectory();
    void cancelledSearchChangesNothing();
    void keyboardActivationFindsTheButton();
    void intelHexFilesAreLeftOutUnderTheHexFilter();
    void oneWarningForEverythingASearchLeavesOut();
    void extensionButtonsChangeTheFilterAndSearchAgain();
    void loraMacNameOptionKeepsOnlyLoraMacFiles();
    void startupSearchesTheStoredDirectories();
    void listsFoundFilesInNameOrder_data();
    void listsFoundFilesInNameOrder();

    // Building.
    void buildsAnImagePerPair();
    void refusesAnOffsetThatIsNotHex();
    void reportsCollidingPieces();
    void warnsWhenNothingWasFound();
    void ctrlGBuilds();
    void eachBuildTakesTheFilesTheDirectoriesHoldThen();
    void intelHexPieceIsRefusedLikeTheCommandLine();
    void refusesANameFieldThatHoldsNoName_data();
    void refusesANameFieldThatHoldsNoName();
    void completionNamesTheBootloaderTakenFromSeveral();
    void buildsWhatTheCommandLineBuildsFromTheSameSettings_data();
    void buildsWhatTheCommandLineBuildsFromTheSameSettings();
};

void LoRaTabTest::searchButtonsListTheChosenDirectory_data()
{
    QTest::addColumn<QString>("button");
    QTest::addColumn<QString>("combo");
    QTest::addColumn<QString>("tree");
    QTest::addColumn<QString>("caption");
    QTest::addColumn<QString>("extension");
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

void LoRaTabTest::searchButtonsListTheChosenDirectory()
{
    QFETCH(QString, button);
    QFETCH(QString, combo);
    QFETCH(QString, tree);
    QFETCH(QString, caption);
    QFETCH(QString, extension);
    WindowTest t;
    QVERIFY(t.isValid());
    const QString root = t.workDir.filePath(QStringLiteral("pieces"));
    for (const char *name : {"one", "sub/two", "sub/deep/three"})
        write(root, QLatin1String(name) + extension, RawBytes);
    write(root, QStringLiteral("other.txt"), RawBytes);

    t.chooseDirectory(button, root);
    QCOMPARE(t.dialogs.records.size(), 1);
    const ScriptedDialogs::Record chooser = t.dialogs.records[0];
    QCOMPARE(chooser.call, ScriptedDialogs::Call::ChooseDirectory);
    QCOMPARE(chooser.title, caption);
    QCOMPARE(chooser.startDir, QString()); // no directory chosen yet
    QVERIFY(chooser.hadParent);

    // Inside the working directory, a directory is kept relative to it.
    auto *comboBox = t.widget<QComboBox>(combo);
    QCOMPARE(UserActions::items(comboBox), QStringList{"pieces"});
    QCOMPARE(treeRows(t.widget<QTreeWidget>(tree)),
             (QStringList{"one" + extension, "three" + extension, "two" + extension}));
    QVERIFY(t.dialogs.messages().isEmpty());

    // A second search starts at the directory now shown and replaces everything.
    const QString empty = t.workDir.filePath(QStringLiteral("empty"));
    QVERIFY(QDir().mkpath(empty));
    t.chooseDirectory(button, empty);
    QCOMPARE(t.dialogs.records.last().startDir, QStringLiteral("pieces"));
    QCOMPARE(UserActions::items(comboBox), QStringList{"empty"});
    QCOMPARE(t.widget<QTreeWidget>(tree)->topLevelItemCount(), 0);
}

void LoRaTabTest::cancelledSearchChangesNothing()
{
    WindowTest t;
    QVERIFY(t.isValid());
    const QString root = t.workDir.filePath(QStringLiteral("pieces"));
    write(root, QStringLiteral("a.bin"), RawBytes);
    t.chooseDirectory(QStringLiteral("LoRaSearchApp"), root);
    t.chooseDirectory(QStringLiteral("LoRaSearchApp"), QString());
    QCOMPARE(t.dialogs.records.size(), 2);
    QCOMPARE(t.widget<QComboBox>(QStringLiteral("LoRaComboApp"))->currentText(), QStringLiteral("pieces"));
    QCOMPARE(treeRows(t.widget<QTreeWidget>(QStringLiteral("LoRaFoundFilesApp"))), QStringList{"a.bin"});
}

void LoRaTabTest::keyboardActivationFindsTheButton()
{
    WindowTest t;
    QVERIFY(t.isValid());
    const QString root = t.workDir.filePath(QStringLiteral("pieces"));
    write(root, QStringLiteral("a.bin"), RawBytes);
    t.dialogs.directoryAnswers.enqueue(root);
    QTest::keyClick(t.button(QStringLiteral("LoRaSearchBOOT")), Qt::Key_Space);
    QCOMPARE(t.dialogs.records.size(), 1);
    QCOMPARE(t.dialogs.records[0].title, QStringLiteral("Bootloader Directory"));
    QCOMPARE(t.widget<QComboBox>(QStringLiteral("LoRaComboBOOT"))->currentText(), QStringLiteral("pieces"));
}

void LoRaTabTest::intelHexFilesAreLeftOutUnderTheHexFilter()
{
    // The LoRaMAC source lists ".hex" files at start.
    WindowTest t;
    QVERIFY(t.isValid());
    const QString root = t.workDir.filePath(QStringLiteral("mac"));
    write(root, QStringLiteral("records.hex"), HexRecords);
    write(root, QStringLiteral("nested/raw.hex"), RawBytes);
    t.chooseDirectory(QStringLiteral("LoRaSearchLoraMAC"), root);

    const QList<ScriptedDialogs::Record> messages = t.dialogs.messages();
    QCOMPARE(messages.size(), 1);
    QCOMPARE(messages[0].kind, MessageKind::Warning);
    QCOMPARE(messages[0].title, QStringLiteral("Предупреждение!"));
    QCOMPARE(messages[0].text, QStringLiteral("Файл ") + root +
                                   QStringLiteral("/records.hex, является IntelHEX фалом и не будет "
                                                  "добавлен в очередь."));
    // The refused file keeps an empty row.
    QCOMPARE(treeRows(t.widget<QTreeWidget>(QStringLiteral("LoRaFoundFilesLoraMAC"))),
             (QStringList{QString(), "raw.hex"}));

    // Under ".bin" the content is not looked at while listing.
    write(root, QStringLiteral("looks_like_hex.bin"), HexRecords);
    t.click(QStringLiteral("LoRaBINLoraMAC"));
    QCOMPARE(t.dialogs.messages().size(), 1);
    QCOMPARE(treeRows(t.widget<QTreeWidget>(QStringLiteral("LoRaFoundFilesLoraMAC"))),
             QStringList{"looks_like_hex.bin"});
}

// However many files a search leaves out, it brings up one box, at the "..." button and again at
// start, when config.conf names the folder; a FIFO there is skipped, not waited on.
void LoRaTabTest::oneWarningForEverythingASearchLeavesOut()
{
    WindowTest t;
    QVERIFY(t.isValid());
    const QString root = t.workDir.filePath(QStringLiteral("mac"));
    for (int i = 0; i < 25; ++i)
        write(root, QStringLiteral("records%1.hex").arg(i, 2, 10, QLatin1Char('0')), HexRecords);
    write(root, QStringLiteral("raw.hex"), RawBytes);
    int leftOut = 25;
    if (TestPlatform::isPosix()) {
        QVERIFY(TestPlatform::makeFifo(root + QStringLiteral("/pipe.hex")));
        QVERIFY(QFile::link(root + QStringLiteral("/gone"), root + QStringLiteral("/gone.hex")));
        leftOut += 2;
    }
    for (int start = 0; start < 2; ++start) {
        if (start)
            t.reopen();
        else
            t.chooseDirectory(QStringLiteral("LoRaSearchLoraMAC"), root);
        const QList<ScriptedDialogs::Record> messages = t.dialogs.messages();
        QCOMPARE(messages.size(), start + 1);
        QCOMPARE(messages.last().title, QStringLiteral("Предупреждение!"));
        const QStringList lines = messages.last().text.split(QLatin1Char('\n'));
        QCOMPARE(lines.size(), 21);
        QCOMPARE(lines.last(), QStringLiteral("… и ещё %1.").arg(leftOut - 20));
        QCOMPARE(treeRows(t.widget<QTreeWidget>(QStringLiteral("LoRaFoundFilesLoraMAC"))).last(),
                 QStringLiteral("raw.hex"));
    }
}

void LoRaTabTest::extensionButtonsChangeTheFilterAndSearchAgain()
{
    WindowTest t;
    QVERIFY(t.isValid());
    const QString root = t.workDir.filePath(QStringLiteral("boot"));
    write(root, QStringLiteral("a.bin"), RawBytes);
    write(root, QStringLiteral("b.hex"), RawBytes);
    const struct {
        const char *search;
        const char *tree;
        const char *bin;
        const char *hex;
    } sources[] = {{"LoRaSearchBOOT", "LoRaFoundFilesBOOT", "LoRaBINBOOT", "LoRaHEXBOOT"},
                   {"LoRaSearchLoraMAC", "LoRaFoundFilesLoraMAC", "LoRaBINLoraMAC", "LoRaHEXLoraMAC"},
                   {"LoRaSearchApp", "LoRaFoundFilesApp", "LoRaBINApp", "LoRaHEXApp"}};
    for (const auto &source : sources) {
        t.chooseDirectory(QLatin1String(source.search), root);
        auto *tree = t.widget<QTreeWidget>(QLatin1String(source.tree));
        t.click(QLatin1String(source.hex));
        QCOMPARE(treeRows(tree), QStringList{"b.hex"});
        t.click(QLatin1String(source.bin));
        QCOMPARE(treeRows(tree), QStringList{"a.bin"});
    }
    QVERIFY(t.dialogs.messages().isEmpty());
}

void LoRaTabTest::loraMacNameOptionKeepsOnlyLoraMacFiles()
{
    WindowTest t;
    QVERIFY(t.isValid());
    const QString root = t.workDir.filePath(QStringLiteral("mac"));
    write(root, QStringLiteral("LoraMAC_eu868.bin"), RawBytes);
    write(root, QStringLiteral("sub/app_LoraMAC_v2.bin"), RawBytes);
    write(root, QStringLiteral("plain.bin"), RawBytes);
    write(root, QStringLiteral("LoraMAC_ru864.hex"), RawBytes);
    t.click(QStringLiteral("LoRaBINLoraMAC"));
    t.chooseDirectory(QStringLiteral("LoRaSearchLoraMAC"), root);
    auto *tree = t.widget<QTreeWidget>(QStringLiteral("LoRaFoundFilesLoraMAC"));
    QCOMPARE(tree->topLevelItemCount(), 3);

    for (int round = 0; round < 2; ++round) {
        t.tick(QStringLiteral("LoRaLoRaMACInName"), true);
        QCOMPARE(treeRows(tree), (QStringList{"LoraMAC_eu868.bin", "app_LoraMAC_v2.bin"}));
        // Switching the extension keeps the name option.
        t.click(QStringLiteral("LoRaHEXLoraMAC"));
        QCOMPARE(treeRows(tree), QStringList{"LoraMAC_ru864.hex"});
        t.click(QStringLiteral("LoRaBINLoraMAC"));
        QCOMPARE(treeRows(tree), (QStringList{"LoraMAC_eu868.bin", "app_LoraMAC_v2.bin"}));

        t.tick(QStringLiteral("LoRaLoRaMACInName"), false);
        QCOMPARE(treeRows(tree), (QStringList{"LoraMAC_eu868.bin", "app_LoraMAC_v2.bin", "plain.bin"}));
    }
}

void LoRaTabTest::startupSearchesTheStoredDirectories()
{
    WindowTest t;
    QVERIFY(t.isValid());
    const QString boot = t.workDir.filePath(QStringLiteral("boot"));
    const QString app = t.workDir.filePath(QStringLiteral("app"));
    write(boot, QStringLiteral("sub/boot.bin"), RawBytes);
    write(app, QStringLiteral("app.bin"), RawBytes);
    t.chooseDirectory(QStringLiteral("LoRaSearchBOOT"), boot);
    t.chooseDirectory(QStringLiteral("LoRaSearchApp"), app);

    t.reopen();
    QCOMPARE(treeRows(t.widget<QTreeWidget>(QStringLiteral("LoRaFoundFilesBOOT"))), QStringList{"boot.bin"});
    QCOMPARE(treeRows(t.widget<QTreeWidget>(QStringLiteral("LoRaFoundFilesApp"))), QStringList{"app.bin"});
    QCOMPARE(t.widget<QTreeWidget>(QStringLiteral("LoRaFoundFilesLoraMAC"))->topLevelItemCount(), 0);
}

void LoRaTabTest::listsFoundFilesInNameOrder_data()
{
    QTest::addColumn<QString>("button");
    QTest::addColumn<QString>("radio");
    QTest::addColumn<QString>("tree");
    QTest::newRow("bootloader") << "LoRaSearchBOOT"
                                << "LoRaBINBOOT"
                                << "LoRaFoundFilesBOOT";
    QTest::newRow("LoRaMAC") << "LoRaSearchLoraMAC"
                             << "LoRaBINLoraMAC"
                             << "LoRaFoundFilesLoraMAC";
    QTest::newRow("application") << "LoRaSearchApp"
                                 << "LoRaBINApp"
                                 << "LoRaFoundFilesApp";
}

void LoRaTabTest::listsFoundFilesInNameOrder()
{
    QFETCH(QString, button);
    QFETCH(QString, radio);
    QFETCH(QString, tree);
    WindowTest t;
    QVERIFY(t.isValid());
    // Written out of order, some in folders: the directory's own order is the file system's.
    const QString root = t.workDir.filePath(QStringLiteral("pieces"));
    QStringList names{"LoraMAC_c",         "sub/LoraMAC_a", "LoraMAC_E", "LoraMAC_b",
                      "deep/er/LoraMAC_d", "LoraMAC_B",     "LoraMAC_f", "LoraMAC_10"};
    QStringList expected{"LoraMAC_10.bin", "LoraMAC_a.bin", "LoraMAC_B.bin", "LoraMAC_b.bin",
                         "LoraMAC_c.bin",  "LoraMAC_d.bin", "LoraMAC_E.bin", "LoraMAC_f.bin"};
    // Where file names ignore case (Windows), LoraMAC_B would only be LoraMAC_b again.
    if (TestPlatform::fileNamesIgnoreCase()) {
        names.removeAll(QStringLiteral("LoraMAC_B"));
        expected.removeAll(QStringLiteral("LoraMAC_B.bin"));
    }
    for (const QString &name : names)
        write(root, name + QStringLiteral(".bin"), RawBytes);
    t.openTab(0);
    t.click(radio);
    t.chooseDirectory(button, root);
    const auto *found = t.widget<QTreeWidget>(tree);
    QStringList rows;
    for (int i = 0; i < found->topLevelItemCount(); ++i)
        rows << found->topLevelItem(i)->text(0);
    QCOMPARE(rows, expected);
}

namespace {

// The LoRa tab set up through its widgets: three source directories under `root`, offsets, the
// name template and the output directory.
struct LoRaSetup {
    QString boot = QStringLiteral("boot");
    QString loraMac = QStringLiteral("lora");
    QString app = QStringLiteral("app");
    QString out = QStringLiteral("out");
    QString bootOffset = QStringLiteral("0");
    QString loraMacOffset = QStringLiteral("0x4000");
    QString appOffset = QStringLiteral("10000");
    QString regionOffset = QStringLiteral("20");
    QString fwOffset = QStringLiteral("0x100");
    QString name = QStringLiteral("kimo lora region fw");
};

void enter(WindowTest &t, const LoRaSetup &setup)
{
    const QString root = t.workDir.path() + QLatin1Char('/');
    t.openTab(0);
    t.chooseDirectory(QStringLiteral("LoRaSearchBOOT"), root + setup.boot);
    t.chooseDirectory(QStringLiteral("LoRaSearchLoraMAC"), root + setup.loraMac);
    t.chooseDirectory(QStringLiteral("LoRaSearchApp"), root + setup.app);
    t.chooseDirectory(QStringLiteral("LoRaSearchRelease"), root + setup.out);
    t.type(QStringLiteral("LoRaComboOffsetBOOT"), setup.bootOffset);
    t.type(QStringLiteral("LoRaComboOffsetLoRa"), setup.loraMacOffset);
    t.type(QStringLiteral("LoRaComboOffsetApp"), setup.appOffset);
    t.type(QStringLiteral("LoRaComboOffset_lora_region"), setup.regionOffset);
    t.type(QStringLiteral("LoRaComboOffsetFW"), setup.fwOffset);
    t.type(QStringLiteral("LoRaTemplateName"), setup.name);
}

// Two LoRaMAC files (one in a subfolder) and three applications; "lora" and "app" hold raw images
// named as the LoRaMAC filter and the application filter want them.
LoRaPieces writePieces(const QString &root)
{
    LoRaPieces pieces;
    write(root, QStringLiteral("boot/boot.bin"), pieces.boot);
    pieces.loraMacs = {LoRaPieces::loraMac(10, "1.0.4RU864", "2.0EU868"),
                       LoRaPieces::loraMac(11, "V2.3EU868", "3.1AS923")};
    write(root, QStringLiteral("lora/lora0.hex"), pieces.loraMacs[0]);
    write(root, QStringLiteral("lora/sub/lora1.hex"), pieces.loraMacs[1]);
    pieces.apps = {LoRaPieces::app(20, "Alpha", "One"), LoRaPieces::app(21, "Beta", "Two"),
                   LoRaPieces::app(22, "Gamma", "Three")};
    for (int i = 0; i < pieces.apps.size(); ++i)
        write(root, QStringLiteral("app/app%1.bin").arg(i), pieces.apps[i]);
    QDir(root).mkpath(QStringLiteral("out"));
    return pieces;
}

} // namespace

void LoRaTabTest::buildsAnImagePerPair()
{
    WindowTest t;
    QVERIFY(t.isValid());
    const LoRaPieces pieces = writePieces(t.workDir.path());
    enter(t, LoRaSetup());
    t.click(QStringLiteral("LoRaAssembling"));

    QCOMPARE(t.dialogs.messageSummaries(), QStringList{QStringLiteral("Сборка завершена")});
    QCOMPARE(t.dialogs.messages().first().title, QStringLiteral("Complete!"));
    const QMap<QString, QByteArray> images = imagesIn(t.workDir.filePath(QStringLiteral("out")));
    QCOMPARE(images.keys(),
             (QStringList{"1.0.4_RU864_Alpha.bin", "1.0.4_RU864_Beta.bin", "1.0.4_RU864_Gamma.bin",
                          "V2.3_EU868_Alpha.bin", "V2.3_EU868_Beta.bin", "V2.3_EU868_Gamma.bin"}));
    QCOMPARE(images.value(QStringLiteral("V2.3_EU868_Beta.bin")),
             layout({{0, pieces.boot}, {0x4000, pieces.loraMacs[1]}, {0x10000, pieces.apps[1]}}));
    QCOMPARE(images.value(QStringLiteral("1.0.4_RU864_Gamma.bin")),
             layout({{0, pieces.boot}, {0x4000, pieces.loraMacs[0]}, {0x10000, pieces.apps[2]}}));
}

void LoRaTabTest::refusesAnOffsetThatIsNotHex()
{
    WindowTest t;
    QVERIFY(t.isValid());
    writePieces(t.workDir.path());
    LoRaSetup setup;
    setup.appOffset = QStringLiteral("0x1O000");
    enter(t, setup);
    t.click(QStringLiteral("LoRaAssembling"));
    QCOMPARE(t.dialogs.messages().size(), 1);
    QCOMPARE(t.dialogs.messages().first().title, QStringLiteral("Error!"));
    QCOMPARE(t.dialogs.messages().first().kind, MessageKind::Critical);
    const QString text = t.dialogs.messageTexts().first();
    QVERIFY2(text.contains(QStringLiteral("\"Смещение, по которому запишется Application.\"")),
             qPrintable(text));
    QVERIFY(text.contains(QStringLiteral("\"0x1O000\"")));
    QVERIFY(imagesIn(t.workDir.filePath(QStringLiteral("out"))).isEmpty());
}

void LoRaTabTest::reportsCollidingPieces()
{
    WindowTest t;
    QVERIFY(t.isValid());
    const QString root = t.workDir.path();
    writePieces(root);
    QFile::remove(root + QStringLiteral("/lora/sub/lora1.hex"));
    LoRaSetup setup;
    setup.loraMacOffset = QStringLiteral("7FF");
    enter(t, setup);
    t.click(QStringLiteral("LoRaAssembling"));
    QCOMPARE(t.dialogs.messageTexts(),
             QStringList{QStringLiteral("Некорректное смещение. Файл %1: 0x0-0x7FF. Файл %2: 0x7FF-0x17FE")
                             .arg(root + QStringLiteral("/boot/boot.bin"),
                                  root + QStringLiteral("/lora/lora0.hex"))});
    QVERIFY(imagesIn(root + QStringLiteral("/out")).isEmpty());
}

void LoRaTabTest::warnsWhenNothingWasFound()
{
    WindowTest t;
    QVERIFY(t.isValid());
    writePieces(t.workDir.path());
    QVERIFY(QDir().mkpath(t.workDir.filePath(QStringLiteral("nothing"))));
    LoRaSetup setup;
    setup.boot = QStringLiteral("nothing");
    enter(t, setup);
    t.click(QStringLiteral("LoRaAssembling"));
    setup = LoRaSetup();
    setup.app = QStringLiteral("nothing");
    enter(t, setup);
    t.click(QStringLiteral("LoRaAssembling"));
    QCOMPARE(t.dialogs.messages().size(), 2);
    for (const ScriptedDialogs::Record &record : t.dialogs.messages()) {
        QCOMPARE(record.kind, MessageKind::Warning);
        QCOMPARE(record.title, QStringLiteral("Предупреждение!"));
        QVERIFY(record.text.startsWith(QStringLiteral("Нечего собирать")));
    }
    QVERIFY(imagesIn(t.workDir.filePath(QStringLiteral("out"))).isEmpty());
}

void LoRaTabTest::ctrlGBuilds()
{
    WindowTest t;
    QVERIFY(t.isValid());
    const QString root = t.workDir.path();
    writePieces(root);
    QFile::remove(root + QStringLiteral("/lora/sub/lora1.hex"));
    for (const char *app : {"/app/app1.bin", "/app/app2.bin"})
        QFile::remove(root + QLatin1String(app));
    enter(t, LoRaSetup());
    t.window->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(t.window.get()));
    QTest::keyClick(t.window.get(), Qt::Key_G, Qt::ControlModifier);
    QCOMPARE(t.dialogs.messageSummaries(), QStringList{QStringLiteral("Сборка завершена")});
    QCOMPARE(imagesIn(root + QStringLiteral("/out")).keys(), QStringList{"1.0.4_RU864_Alpha.bin"});
}

void LoRaTabTest::eachBuildTakesTheFilesTheDirectoriesHoldThen()
{
    WindowTest t;
    QVERIFY(t.isValid());
    const QString root = t.workDir.path();
    const LoRaPieces pieces = writePieces(root);
    for (const char *removed : {"/lora/sub/lora1.hex", "/app/app1.bin", "/app/app2.bin"})
        QVERIFY(QFile::remove(root + QLatin1String(removed)));
    enter(t, LoRaSetup());
    t.click(QStringLiteral("LoRaAssembling"));
    QCOMPARE(imagesIn(root + QStringLiteral("/out")).keys(), QStringList{"1.0.4_RU864_Alpha.bin"});

    // Changed while the window is open: one LoRaMAC added, one application replaced by another.
    write(root, QStringLiteral("lora/sub/lora1.hex"), pieces.loraMacs[1]);
    QVERIFY(QFile::remove(root + QStringLiteral("/app/app0.bin")));
    write(root, QStringLiteral("app/app1.bin"), pieces.apps[1]);
    QVERIFY(QFile::remove(root + QStringLiteral("/out/1.0.4_RU864_Alpha.bin")));
    t.dialogs.records.clear();
    t.click(QStringLiteral("LoRaAssembling"));
    QCOMPARE(t.dialogs.messageSummaries(), QStringList{QStringLiteral("Сборка завершена")});
    QCOMPARE(imagesIn(root + QStringLiteral("/out")).keys(),
             (QStringList{"1.0.4_RU864_Beta.bin", "V2.3_EU868_Beta.bin"}));
    QCOMPARE(treeRows(t.widget<QTreeWidget>(QStringLiteral("LoRaFoundFilesLoraMAC"))),
             (QStringList{"lora0.hex", "lora1.hex"}));
    QCOMPARE(treeRows(t.widget<QTreeWidget>(QStringLiteral("LoRaFoundFilesApp"))), QStringList{"app1.bin"});
}

void LoRaTabTest::intelHexPieceIsRefusedLikeTheCommandLine()
{
    // A ".bin" piece whose content is Intel HEX is listed (".bin" is not looked into) but never built.
    WindowTest t;
    QVERIFY(t.isValid());
    const QString root = t.workDir.path();
    writePieces(root);
    const QString text = write(root, QStringLiteral("app/text.bin"), HexRecords);
    write(root, QStringLiteral("out/kept.bin"), "an older image");
    enter(t, LoRaSetup());
    t.click(QStringLiteral("LoRaAssembling"));
    const QString refusal =
        QStringLiteral("Файл %1, является IntelHEX фалом и не будет добавлен в очередь.").arg(text);
    QCOMPARE(t.dialogs.messages().size(), 1);
    QCOMPARE(t.dialogs.messages().first().kind, MessageKind::Warning);
    QCOMPARE(t.dialogs.messages().first().title, QStringLiteral("Предупреждение!"));
    QCOMPARE(t.dialogs.messages().first().text, refusal);
    QCOMPARE(QDir(root + QStringLiteral("/out")).entryList(QDir::Files), QStringList{"kept.bin"});

    const ProcessRun run =
        runCli({QStringLiteral("lora"), QStringLiteral("--out"), QStringLiteral("out"),
                QStringLiteral("--boot"), QStringLiteral("boot/boot.bin"), QStringLiteral("--loramac"),
                QStringLiteral("lora/lora0.hex"), QStringLiteral("--app"), text},
               root);
    QCOMPARE(run.exitCode, 1);
    QCOMPARE(run.err, QStringLiteral("Предупреждение! ") + refusal + QLatin1Char('\n'));
    QVERIFY(run.out.isEmpty());
    QCOMPARE(QDir(root + QStringLiteral("/out")).entryList(QDir::Files), QStringList{"kept.bin"});
}

void LoRaTabTest::refusesANameFieldThatHoldsNoName_data()
{
    // One LoRaMAC file (0x1000 bytes, its name "1.0.4RU864" at 0x20) and one application (0x2000
    // bytes, "Alpha" at 0x100); a row may give one of them other contents. In `message`, {root} is the
    // working directory and {bytes} the bytes of the field named by `field`: file, offset and size.
    QTest::addColumn<QString>("file");
    QTest::addColumn<QByteArray>("contents");
    QTest::addColumn<QString>("regionOffset");
    QTest::addColumn<QString>("fwOffset");
    QTest::addColumn<QString>("nameTemplate");
    QTest::addColumn<QString>("message");
    const QString lora = QStringLiteral("lora/lora0.hex");
    const QString app = QStringLiteral("app/app0.bin");
    const auto loraMac = [](const QByteArray &field) {
        return withField(pattern(0x1000, 10), 0x20, field);
    };
    const auto application = [](const QByteArray &field) {
        return withField(pattern(0x2000, 20), 0x100, field);
    };
    const QString refusal =
        QStringLiteral("Поле имени в файле {root}/%1 по смещению %2 не содержит имени: %3. "
                       "Найденные байты: {bytes}.");
    const QString notText = QStringLiteral("в имени есть байты, которые не являются печатаемым текстом");
    // A name at the very end of its file, without the padding after it, names the image.
    QTest::newRow("LoRaMAC name cut short by the end of its file")
        << lora << pattern(0xFF6, 10) + "1.0.4RU864"
        << "FF6"
        << "100"
        << "lora region fw"
        << "Сборка завершена";
    QTest::newRow("LoRaMAC field beyond its file")
        << lora << QByteArray() << "5000"
        << "100"
        << "region" << refusal.arg(lora, "0x5000", "поле длиной 32 байт начинается за концом файла");
    QTest::newRow("erased LoRaMAC field")
        << lora << loraMac(QByteArray(32, '\xFF')) << "20"
        << "100"
        << "kimo lora_fw" << refusal.arg(lora, "0x20", "поле стерто (все байты FF)");
    QTest::newRow("LoRaMAC field of zeros")
        << lora << loraMac(QByteArray(32, '\0')) << "20"
        << "100"
        << "region_fw" << refusal.arg(lora, "0x20", "поле пустое (все байты 00)");
    QTest::newRow("LoRaMAC name with a control byte")
        << lora << loraMac(nameField("1.0.4\aRU864", 32)) << "20"
        << "100"
        << "lora region fw" << refusal.arg(lora, "0x20", notText);
    QTest::newRow("firmware field cut short, holding no text")
        << app << QByteArray() << "20"
        << "1FF8"
        << "region_fw"
        << refusal.arg(app, "0x1FF8", notText + " (поле длиной 16 байт обрезано концом файла)");
    QTest::newRow("firmware name that is not UTF-8")
        << app << application(nameField("SENS\xFF\xFEOR", 16)) << "20"
        << "100"
        << "FW" << refusal.arg(app, "0x100", notText);
    QTest::newRow("empty firmware name")
        << app << application(nameField(QByteArray("\0SENSOR", 7), 16)) << "20"
        << "100"
        << "lora_fw" << refusal.arg(app, "0x100", "имя пустое (первый байт 00)");
    QTest::newRow("name empty after the replacements")
        << QString() << QByteArray() << "20"
        << "100"
        << "kimo "
        << QStringLiteral("Шаблон имени «kimo » дает для {root}/%1 и {root}/%2 имя «», которое не может быть "
                          "именем файла.")
               .arg(lora, app);
    // A field the template takes nothing from names nothing.
    QTest::newRow("erased field the template does not use") << lora << loraMac(QByteArray(32, '\xFF')) << "20"
                                                            << "100"
                                                            << "release fw"
                                                            << "Сборка завершена";
}

void LoRaTabTest::refusesANameFieldThatHoldsNoName()
{
    QFETCH(QString, file);
    QFETCH(QByteArray, contents);
    QFETCH(QString, regionOffset);
    QFETCH(QString, fwOffset);
    QFETCH(QString, nameTemplate);
    QFETCH(QString, message);
    WindowTest t;
    QVERIFY(t.isValid());
    const QString root = t.workDir.path();
    writePieces(root);
    for (const char *other : {"/lora/sub/lora1.hex", "/app/app1.bin", "/app/app2.bin"})
        QVERIFY(QFile::remove(root + QLatin1String(other)));
    if (!contents.isEmpty())
        write(root, file, contents);
    write(root, QStringLiteral("out/kept.bin"), "an older image");
    message.replace(QStringLiteral("{root}"), root);
    if (message.contains(QStringLiteral("{bytes}"))) {
        const bool loraMacField = file.startsWith(QStringLiteral("lora/"));
        const QByteArray field = read(root + QLatin1Char('/') + file)
                                     .mid((loraMacField ? regionOffset : fwOffset).toLongLong(nullptr, 16),
                                          loraMacField ? 32 : 16);
        QStringList bytes;
        for (const char byte : field)
            bytes << QString::number(quint8(byte), 16).toUpper().rightJustified(2, QLatin1Char('0'));
        message.replace(QStringLiteral("{bytes}"),
                        field.isEmpty() ? QStringLiteral("нет") : bytes.join(QLatin1Char(' ')));
    }
    LoRaSetup setup;
    setup.regionOffset = regionOffset;
    setup.fwOffset = fwOffset;
    setup.name = nameTemplate;
    enter(t, setup);
    t.click(QStringLiteral("LoRaAssembling"));
    QCOMPARE(t.dialogs.messageSummaries(), QStringList{message});
    const bool built = message == QStringLiteral("Сборка завершена");
    QCOMPARE(t.dialogs.messages().first().title,
             built ? QStringLiteral("Complete!") : QStringLiteral("Error!"));
    const QStringList written = QDir(root + QStringLiteral("/out")).entryList(QDir::Files);
    QCOMPARE(written.size(), built ? 3 : 1);
    QVERIFY(written.contains(QStringLiteral("kept.bin")));
    QCOMPARE(read(root + QStringLiteral("/out/kept.bin")), QByteArray("an older image"));

    // The command line refuses the same run with the same words.
    QDir(root + QStringLiteral("/out")).removeRecursively();
    QVERIFY(QDir(root).mkdir(QStringLiteral("out")));
    const ProcessRun run =
        runCli({"lora", "--out", "out", "--boot", "boot/boot.bin", "--loramac", "lora/lora0.hex", "--app",
                "app/app0.bin", "--loramac-offset", setup.loraMacOffset, "--app-offset", setup.appOffset,
                "--region-offset", regionOffset, "--fw-offset", fwOffset, "--name", nameTemplate},
               root);
    QCOMPARE(run.exitCode, built ? 0 : 1);
    // It names the files as they were given to it.
    QCOMPARE(run.err, (built ? QStringLiteral("Complete! ") : QStringLiteral("Error! ")) +
                          QString(message).remove(root + QLatin1Char('/')) + QLatin1Char('\n'));
    QCOMPARE(QDir(root + QStringLiteral("/out")).isEmpty(), !built);
}

void LoRaTabTest::completionNamesTheBootloaderTakenFromSeveral()
{
    WindowTest t;
    QVERIFY(t.isValid());
    const QString root = t.workDir.path();
    const LoRaPieces pieces = writePieces(root);
    for (const char *other : {"/lora/sub/lora1.hex", "/app/app1.bin", "/app/app2.bin"})
        QVERIFY(QFile::remove(root + QLatin1String(other)));
    const QByteArray first = pattern(0x700, 5);
    write(root, QStringLiteral("boot/zeta.bin"), pattern(0x900, 6));
    const QString firstPath = write(root, QStringLiteral("boot/sub/Alpha.bin"), first);
    enter(t, LoRaSetup());
    t.click(QStringLiteral("LoRaAssembling"));

    const QString message = QStringLiteral("Сборка завершена\nВ директории бутлоадера найдено файлов: 3; "
                                           "использован первый по имени: ") +
                            firstPath;
    QCOMPARE(t.dialogs.messageSummaries(), QStringList{message});
    const QString image = root + QStringLiteral("/out/1.0.4_RU864_Alpha.bin");
    const QByteArray expected = layout({{0, first}, {0x4000, pieces.loraMacs[0]}, {0x10000, pieces.apps[0]}});
    QCOMPARE(read(image), expected);
    // The manifest names the file as the system writes paths, inside a JSON string.
    QVERIFY(read(image + QStringLiteral(".manifest.json"))
                .contains(QDir::toNativeSeparators(firstPath)
                              .replace(QLatin1Char('\\'), QStringLiteral("\\\\"))
                              .toUtf8()));

    // The command line takes the same file from the same directory and says so too, naming it
    // from the directory as the settings keep it: relative to the working directory.
    QVERIFY(QFile::remove(image));
    const QString settings =
        t.saveTemplate(QStringLiteral("LoRa"), QStringLiteral(".LoRa"), QStringLiteral("same"));
    const ProcessRun run = runCli({QStringLiteral("lora"), QStringLiteral("--settings"), settings}, root);
    QCOMPARE(run.exitCode, 0);
    QCOMPARE(run.err, QStringLiteral("Complete! ") +
                          QString(message).replace(root + QLatin1Char('/'), QString()) + QLatin1Char('\n'));
    QCOMPARE(read(image), expected);
}

void LoRaTabTest::buildsWhatTheCommandLineBuildsFromTheSameSettings_data()
{
    // Each row changes one control of the tab that changes the job. The filters are not stored in a
    // template: the command line's defaults must be the window's first choices, and a changed choice
    // is given as an option.
    QTest::addColumn<QString>("control");
    QTest::addColumn<QString>("value");
    QTest::addColumn<QStringList>("filters");
    QTest::newRow("as set up") << QString() << QString() << QStringList();
    QTest::newRow("bootloader offset") << "LoRaComboOffsetBOOT"
                                       << "0x200" << QStringList();
    QTest::newRow("LoRaMAC offset") << "LoRaComboOffsetLoRa"
                                    << "5000" << QStringList();
    QTest::newRow("application offset") << "LoRaComboOffsetApp"
                                        << "0x20000" << QStringList();
    QTest::newRow("region field offset") << "LoRaComboOffset_lora_region"
                                         << "40" << QStringList();
    QTest::newRow("firmware field offset") << "LoRaComboOffsetFW"
                                           << "200" << QStringList();
    QTest::newRow("name template") << "LoRaTemplateName"
                                   << "kimo fw lora region" << QStringList();
    QTest::newRow("bootloader directory") << "LoRaSearchBOOT"
                                          << "boot2" << QStringList();
    QTest::newRow("LoRaMAC directory") << "LoRaSearchLoraMAC"
                                       << "lora2" << QStringList();
    QTest::newRow("application directory") << "LoRaSearchApp"
                                           << "app2" << QStringList();
    QTest::newRow("output directory") << "LoRaSearchRelease"
                                      << "out2" << QStringList();
    QTest::newRow("bootloader .hex") << "LoRaHEXBOOT" << QString() << QStringList{"--boot-filter", "*.hex"};
    QTest::newRow("LoRaMAC .bin") << "LoRaBINLoraMAC" << QString()
                                  << QStringList{"--loramac-filter", "*.bin"};
    QTest::newRow("application .hex") << "LoRaHEXApp" << QString() << QStringList{"--app-filter", "*.hex"};
    QTest::newRow("LoRaMAC in the name")
        << "LoRaLoRaMACInName" << QString() << QStringList{"--loramac-filter", "*LoraMAC**.hex"};
}

void LoRaTabTest::buildsWhatTheCommandLineBuildsFromTheSameSettings()
{
    QFETCH(QString, control);
    QFETCH(QString, value);
    QFETCH(QStringList, filters);
    WindowTest t;
    QVERIFY(t.isValid());
    const QString root = t.workDir.path();
    writePieces(root);
    // What the other choices find: a raw bootloader named .hex, LoRaMAC files of both kinds and
    // names, applications named .hex, and second directories of each.
    write(root, QStringLiteral("boot/other.hex"), pattern(0x600, 3));
    write(root, QStringLiteral("boot2/b.bin"), pattern(0x700, 4));
    write(root, QStringLiteral("lora/LoraMAC_eu.hex"), LoRaPieces::loraMac(12, "4.4EU868", "4.5US915"));
    write(root, QStringLiteral("lora/mac.bin"), LoRaPieces::loraMac(13, "5.0IN865", "5.1KR920"));
    write(root, QStringLiteral("lora2/LoraMAC_as.hex"), LoRaPieces::loraMac(14, "6.0AS923", "6.1AU915"));
    write(root, QStringLiteral("app/delta.hex"), LoRaPieces::app(23, "Delta", "Four"));
    write(root, QStringLiteral("app2/epsilon.bin"), LoRaPieces::app(24, "Epsilon", "Five"));
    QDir(root).mkpath(QStringLiteral("out2"));
    enter(t, LoRaSetup());

    t.change(control, value);
    const QString out =
        root + QLatin1Char('/') + (control == "LoRaSearchRelease" ? value : QStringLiteral("out"));
    const QString difference =
        t.commandLineDifference(QStringLiteral("LoRaAssembling"), QStringLiteral("LoRa"),
                                QStringLiteral(".LoRa"), QStringLiteral("lora"), filters, out);
    QVERIFY2(difference.isEmpty(), qPrintable(difference));
}

QTEST_MAIN(LoRaTabTest)
#include "tst_loratab.moc"
