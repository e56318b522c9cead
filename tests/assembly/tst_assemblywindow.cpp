#include <QtTest>
#include <QtWidgets>

#include "mainwindow/mainwindow.h"
#include "scripteddialogs.h"
#include "testfiles.h"

using namespace TestFiles;

// Fills what the discovery slots would have found, and reads what the LoRa run leaves behind.
class MainWindowTestAccess {
public:
    static QStringList &bootFiles(MainWindow &window) { return window.bootFiles; }
    static QStringList &loraMacFiles(MainWindow &window) { return window.loraMacFiles; }
    static QStringList &appFiles(MainWindow &window) { return window.appFiles; }
    static QString &binaryReleaseFilter(MainWindow &window) { return window.binaryReleaseFilter; }
    static QString lastImagePath(const MainWindow &window) { return window.lastImagePath; }
    static QString releaseBaseName(const MainWindow &window) { return window.releaseBaseName; }
};

namespace {

template <typename T> T *widget(MainWindow &window, const QString &name)
{
    T *found = window.findChild<T *>(name);
    if (!found)
        qFatal("no widget %s", qPrintable(name));
    return found;
}

void setText(MainWindow &window, const QString &name, const QString &text)
{
    widget<QLineEdit>(window, name)->setText(text);
}

void setOutputDirectory(MainWindow &window, const QString &listName, const QString &directory)
{
    auto *list = widget<QListWidget>(window, listName);
    list->clear();
    list->addItem(directory);
}

// The combo's only item becomes the chosen file, as the file choice leaves it.
void setComboPath(MainWindow &window, const QString &name, const QString &path)
{
    auto *combo = widget<QComboBox>(window, name);
    combo->clear();
    combo->addItem(path);
}

void click(MainWindow &window, const QString &buttonName)
{
    QTest::mouseClick(widget<QPushButton>(window, buttonName), Qt::LeftButton);
}

QStringList dirEntries(const QString &path)
{
    return QDir(path).entryList(QDir::Files | QDir::Hidden, QDir::Name);
}

} // namespace

class AssemblyWindowTest : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void loraButtonBuildsEveryPair();
    void loraRejectsAnOffsetThatIsNotHex();
    void loraReportsCollidingPieces();
    void loraWarnsWhenNothingWasFound();
    void loraShortcutAssembles();

    void binaryButtonPlacesCheckedPiecesAtTheirOffsets();
    void binaryButtonFollowsPiecesInOrder();
    void binaryRejectsABadOffsetOfACheckedSlotOnly();
    void binaryWarnsWithoutCheckedSlots();

private:
    void prepareLoRa(MainWindow &window, int loraMacCount, int appCount);

    QTemporaryDir *m_workDir = nullptr;
    QString m_previousDir;
    QByteArray m_boot;
    QList<QByteArray> m_loraMacs;
    QList<QByteArray> m_apps;
};

void AssemblyWindowTest::init()
{
    m_previousDir = QDir::currentPath();
    m_workDir = new QTemporaryDir;
    QVERIFY(QDir::setCurrent(m_workDir->path()));
    QVERIFY(QDir().mkdir(QStringLiteral("out")));
}

void AssemblyWindowTest::cleanup()
{
    QDir::setCurrent(m_previousDir);
    delete m_workDir;
    m_workDir = nullptr;
}

void AssemblyWindowTest::prepareLoRa(MainWindow &window, int loraMacCount, int appCount)
{
    const QString dir = m_workDir->path();
    const QList<QByteArray> regions = {"1.0.4RU864", "V2.3EU868"};
    const QList<QByteArray> firmware = {"Alpha", "Beta", "Gamma"};
    m_boot = pattern(0x800, 1);
    m_loraMacs.clear();
    m_apps.clear();
    MainWindowTestAccess::bootFiles(window) = {write(dir, QStringLiteral("boot/boot.bin"), m_boot)};
    MainWindowTestAccess::loraMacFiles(window).clear();
    MainWindowTestAccess::appFiles(window).clear();
    for (int i = 0; i < loraMacCount; ++i) {
        m_loraMacs << withField(pattern(0x1000, 10 + i), 0x20, nameField(regions[i], 32));
        MainWindowTestAccess::loraMacFiles(window)
            << write(dir, QStringLiteral("lora/lora%1.hex").arg(i), m_loraMacs.last());
    }
    for (int i = 0; i < appCount; ++i) {
        m_apps << withField(pattern(0x2000, 20 + i), 0x100, nameField(firmware[i], 16));
        MainWindowTestAccess::appFiles(window)
            << write(dir, QStringLiteral("app/app%1.bin").arg(i), m_apps.last());
    }
    setText(window, QStringLiteral("LoRaComboOffsetBOOT"), QStringLiteral("0"));
    setText(window, QStringLiteral("LoRaComboOffsetLoRa"), QStringLiteral("0x4000"));
    setText(window, QStringLiteral("LoRaComboOffsetApp"), QStringLiteral("10000"));
    setText(window, QStringLiteral("LoRaComboOffset_lora_region"), QStringLiteral("20"));
    setText(window, QStringLiteral("LoRaComboOffsetFW"), QStringLiteral("0x100"));
    setText(window, QStringLiteral("LoRaTemplateName"), QStringLiteral("kimo lora region fw"));
    setOutputDirectory(window, QStringLiteral("LoRaComboRelease"), dir + QStringLiteral("/out"));
}

void AssemblyWindowTest::loraButtonBuildsEveryPair()
{
    ScriptedDialogs dialogs;
    MainWindow window(dialogs);
    prepareLoRa(window, 2, 3);
    click(window, QStringLiteral("LoRaAssembling"));

    QCOMPARE(dialogs.messageTexts(), QStringList{QStringLiteral("Сборка завершена")});
    QCOMPARE(dialogs.messages().first().title, QStringLiteral("Complete!"));
    const QString out = m_workDir->path() + QStringLiteral("/out");
    QCOMPARE(dirEntries(out),
             (QStringList{"1.0.4_RU864_Alpha.bin", "1.0.4_RU864_Beta.bin", "1.0.4_RU864_Gamma.bin",
                          "V2.3_EU868_Alpha.bin", "V2.3_EU868_Beta.bin", "V2.3_EU868_Gamma.bin"}));
    QCOMPARE(read(out + QStringLiteral("/V2.3_EU868_Beta.bin")),
             layout({{0, m_boot}, {0x4000, m_loraMacs[1]}, {0x10000, m_apps[1]}}));
    QCOMPARE(read(out + QStringLiteral("/1.0.4_RU864_Gamma.bin")),
             layout({{0, m_boot}, {0x4000, m_loraMacs[0]}, {0x10000, m_apps[2]}}));
    QCOMPARE(MainWindowTestAccess::lastImagePath(window), out + QStringLiteral("/V2.3_EU868_Gamma.bin"));
    QCOMPARE(MainWindowTestAccess::releaseBaseName(window), QStringLiteral("V2.3_EU868_Gamma"));
}

void AssemblyWindowTest::loraRejectsAnOffsetThatIsNotHex()
{
    ScriptedDialogs dialogs;
    MainWindow window(dialogs);
    prepareLoRa(window, 1, 1);
    setText(window, QStringLiteral("LoRaComboOffsetApp"), QStringLiteral("0x1O000"));
    click(window, QStringLiteral("LoRaAssembling"));
    QCOMPARE(dialogs.messages().size(), 1);
    QCOMPARE(dialogs.messages().first().title, QStringLiteral("Error!"));
    QCOMPARE(dialogs.messages().first().kind, MessageKind::Critical);
    const QString text = dialogs.messageTexts().first();
    QVERIFY2(text.contains(QStringLiteral("\"Смещение, по которому запишется Application.\"")),
             qPrintable(text));
    QVERIFY(text.contains(QStringLiteral("\"0x1O000\"")));
    QVERIFY(dirEntries(m_workDir->path() + QStringLiteral("/out")).isEmpty());
    QVERIFY(MainWindowTestAccess::lastImagePath(window).isEmpty());
}

void AssemblyWindowTest::loraReportsCollidingPieces()
{
    ScriptedDialogs dialogs;
    MainWindow window(dialogs);
    prepareLoRa(window, 1, 1);
    setText(window, QStringLiteral("LoRaComboOffsetLoRa"), QStringLiteral("7FF"));
    click(window, QStringLiteral("LoRaAssembling"));
    QCOMPARE(dialogs.messageTexts(),
             QStringList{QStringLiteral("Некорректное смещение. Файл %1: 0x0-0x7FF. Файл %2: 0x7FF-0x17FE")
                             .arg(MainWindowTestAccess::bootFiles(window).first(),
                                  MainWindowTestAccess::loraMacFiles(window).first())});
    QVERIFY(dirEntries(m_workDir->path() + QStringLiteral("/out")).isEmpty());
}

void AssemblyWindowTest::loraWarnsWhenNothingWasFound()
{
    ScriptedDialogs dialogs;
    MainWindow window(dialogs);
    prepareLoRa(window, 1, 1);
    MainWindowTestAccess::bootFiles(window).clear();
    click(window, QStringLiteral("LoRaAssembling"));
    MainWindowTestAccess::bootFiles(window) << QStringLiteral("boot/boot.bin");
    MainWindowTestAccess::appFiles(window).clear();
    click(window, QStringLiteral("LoRaAssembling"));
    QCOMPARE(dialogs.messages().size(), 2);
    for (const ScriptedDialogs::Record &record : dialogs.messages()) {
        QCOMPARE(record.kind, MessageKind::Warning);
        QCOMPARE(record.title, QStringLiteral("Предупреждение!"));
        QVERIFY(record.text.startsWith(QStringLiteral("Нечего собирать")));
    }
    QVERIFY(MainWindowTestAccess::lastImagePath(window).isEmpty());
    QVERIFY(dirEntries(m_workDir->path() + QStringLiteral("/out")).isEmpty());
}

void AssemblyWindowTest::loraShortcutAssembles()
{
    ScriptedDialogs dialogs;
    MainWindow window(dialogs);
    prepareLoRa(window, 1, 1);
    widget<QTabWidget>(window, QStringLiteral("tabWidget"))->setCurrentIndex(0);
    window.show();
    QVERIFY(QTest::qWaitForWindowActive(&window));
    QTest::keyClick(&window, Qt::Key_G, Qt::ControlModifier);
    QCOMPARE(dialogs.messageTexts(), QStringList{QStringLiteral("Сборка завершена")});
    QCOMPARE(dirEntries(m_workDir->path() + QStringLiteral("/out")), QStringList{"1.0.4_RU864_Alpha.bin"});
}

void AssemblyWindowTest::binaryButtonPlacesCheckedPiecesAtTheirOffsets()
{
    ScriptedDialogs dialogs;
    MainWindow window(dialogs);
    const QString dir = m_workDir->path();
    const QByteArray one = pattern(0x100, 1);
    const QByteArray three = pattern(0x80, 3);
    const QList<QByteArray> contents = {one, pattern(0x40, 2), three};
    for (int slot = 0; slot < 3; ++slot) {
        setComboPath(window, QStringLiteral("BinaryComboFile%1").arg(slot + 1),
                     write(dir, QStringLiteral("f%1.bin").arg(slot + 1), contents[slot]));
    }
    setText(window, QStringLiteral("BinaryOffsetFile1"), QStringLiteral("0x1000"));
    setText(window, QStringLiteral("BinaryOffsetFile2"), QStringLiteral("not an offset"));
    setText(window, QStringLiteral("BinaryOffsetFile3"), QString());
    for (int slot = 1; slot <= 6; ++slot)
        widget<QCheckBox>(window, QStringLiteral("BinaryCheckFile%1").arg(slot))
            ->setChecked(slot == 1 || slot == 3);
    widget<QCheckBox>(window, QStringLiteral("BinarySequentAssenbl"))->setChecked(true);
    setText(window, QStringLiteral("BinaryTemplateNameRelease"), QStringLiteral("release"));
    setOutputDirectory(window, QStringLiteral("BinaryReleaseCombo"), dir + QStringLiteral("/out"));

    click(window, QStringLiteral("BinaryAssembling"));
    QCOMPARE(dialogs.messageTexts(), QStringList{QStringLiteral("Сборка завершена")});
    QCOMPARE(read(dir + QStringLiteral("/out/release.bin")), layout({{0x1000, one}, {0, three}}));
    QVERIFY(!window.findChild<QProgressDialog *>());
}

void AssemblyWindowTest::binaryButtonFollowsPiecesInOrder()
{
    ScriptedDialogs dialogs;
    MainWindow window(dialogs);
    const QString dir = m_workDir->path();
    const QByteArray two = pattern(0x33, 2);
    const QByteArray five = pattern(0x77, 5);
    setComboPath(window, QStringLiteral("BinaryComboFile2"), write(dir, "two.bin", two));
    setComboPath(window, QStringLiteral("BinaryComboFile5"), write(dir, "five.bin", five));
    for (int slot = 1; slot <= 6; ++slot)
        widget<QCheckBox>(window, QStringLiteral("BinaryCheckFile%1").arg(slot))
            ->setChecked(slot == 2 || slot == 5);
    setText(window, QStringLiteral("BinaryOffsetFile5"), QStringLiteral("garbage is never read here"));
    widget<QCheckBox>(window, QStringLiteral("BinarySequentAssenbl"))->setChecked(false);
    MainWindowTestAccess::binaryReleaseFilter(window) = QStringLiteral("*.hex");
    setText(window, QStringLiteral("BinaryTemplateNameRelease"), QStringLiteral("joined"));
    setOutputDirectory(window, QStringLiteral("BinaryReleaseCombo"), dir + QStringLiteral("/out"));

    click(window, QStringLiteral("BinaryAssembling"));
    QCOMPARE(dialogs.messageTexts(), QStringList{QStringLiteral("Сборка завершена")});
    QCOMPARE(dirEntries(dir + QStringLiteral("/out")), QStringList{QStringLiteral("joined.hex")});
    QCOMPARE(read(dir + QStringLiteral("/out/joined.hex")), two + five);
}

void AssemblyWindowTest::binaryRejectsABadOffsetOfACheckedSlotOnly()
{
    ScriptedDialogs dialogs;
    MainWindow window(dialogs);
    const QString dir = m_workDir->path();
    widget<QComboBox>(window, QStringLiteral("BinaryComboFile1"))
        ->addItem(write(dir, "one.bin", pattern(8, 1)));
    widget<QComboBox>(window, QStringLiteral("BinaryComboFile4"))
        ->addItem(write(dir, "four.bin", pattern(8, 4)));
    for (int slot = 1; slot <= 6; ++slot)
        widget<QCheckBox>(window, QStringLiteral("BinaryCheckFile%1").arg(slot))
            ->setChecked(slot == 1 || slot == 4);
    widget<QCheckBox>(window, QStringLiteral("BinarySequentAssenbl"))->setChecked(true);
    setText(window, QStringLiteral("BinaryOffsetFile1"), QStringLiteral("0"));
    setText(window, QStringLiteral("BinaryOffsetFile2"), QStringLiteral("zzz"));
    setText(window, QStringLiteral("BinaryOffsetFile4"), QStringLiteral("12345678Z"));
    setText(window, QStringLiteral("BinaryTemplateNameRelease"), QStringLiteral("release"));
    setOutputDirectory(window, QStringLiteral("BinaryReleaseCombo"), dir + QStringLiteral("/out"));

    click(window, QStringLiteral("BinaryAssembling"));
    QCOMPARE(dialogs.messages().size(), 1);
    QCOMPARE(dialogs.messages().first().title, QStringLiteral("Error!"));
    QVERIFY2(dialogs.messageTexts().first().contains(
                 QStringLiteral("\"Смещение записи (Файл 4)\": \"12345678Z\"")),
             qPrintable(dialogs.messageTexts().first()));
    QVERIFY(dirEntries(dir + QStringLiteral("/out")).isEmpty());
}

void AssemblyWindowTest::binaryWarnsWithoutCheckedSlots()
{
    ScriptedDialogs dialogs;
    MainWindow window(dialogs);
    for (int slot = 1; slot <= 6; ++slot)
        widget<QCheckBox>(window, QStringLiteral("BinaryCheckFile%1").arg(slot))->setChecked(false);
    setText(window, QStringLiteral("BinaryTemplateNameRelease"), QStringLiteral("release"));
    setOutputDirectory(window, QStringLiteral("BinaryReleaseCombo"),
                       m_workDir->path() + QStringLiteral("/out"));
    click(window, QStringLiteral("BinaryAssembling"));
    QCOMPARE(dialogs.messageTexts(),
             QStringList{QStringLiteral("Нечего собирать: не отмечен ни один файл.")});
    QCOMPARE(dialogs.messages().first().kind, MessageKind::Warning);
    QVERIFY(dirEntries(m_workDir->path() + QStringLiteral("/out")).isEmpty());
}

QTEST_MAIN(AssemblyWindowTest)
#include "tst_assemblywindow.moc"
