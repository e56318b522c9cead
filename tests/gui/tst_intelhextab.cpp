#include <QtTest>
#include <QtWidgets>

#include "testfiles.h"
#include "windowtest.h"

using namespace TestFiles;

namespace {

const QByteArray EndOfFile = ":00000001FF\r\n";

// The six sources in join order: search button, file list and check box of each.
const struct {
    const char *search;
    const char *combo;
    const char *check;
} Sources[] = {
    {"IntelHEXSearchBOOT", "IntelHEXComboBOOT", "IntelHEXCheckBOOT"},
    {"IntelHEXSearchBOOTApp", "IntelHEXComboApp", "IntelHEXCheckBOOT2"},
    {"IntelHEXSearchApp", "IntelHEXComboMain", "IntelHEXCheckApp"},
    {"IntelHEXSearchAddictFile1", "IntelHEXAdditionalFile1Combo", "IntelHEXCheckFile1"},
    {"IntelHEXSearchAddictFile2", "IntelHEXAdditionalFile2Combo", "IntelHEXCheckFile2"},
    {"IntelHEXSearchAddictFile3", "IntelHEXAdditionalFile3Combo", "IntelHEXCheckFile3"},
};

// The records of source `slot`: its own bytes at its own address.
QByteArray recordsOf(int slot, int seed = 0)
{
    return intelHexText(static_cast<quint16>(0x100 * slot), pattern(16, slot + 1 + seed))
        .chopped(EndOfFile.size());
}

// Also notes what the progress dialog showed when a message came up during the run.
// The tab with a HEX file chosen for every source, all of them unticked, the output directory
// "release" and the name "image".
void enter(WindowTest &t)
{
    t.openTab(2);
    for (int slot = 0; slot < 6; ++slot) {
        t.tick(QLatin1String(Sources[slot].check), true);
        t.chooseFile(QLatin1String(Sources[slot].search),
                     write(t.workDir.path(), QStringLiteral("piece%1.hex").arg(slot + 1),
                           recordsOf(slot) + EndOfFile));
        t.tick(QLatin1String(Sources[slot].check), false);
    }
    t.chooseDirectory(QStringLiteral("IntelHEXSearchReleaseButton"),
                      t.workDir.filePath(QStringLiteral("release")));
    QDir(t.workDir.path()).mkpath(QStringLiteral("release"));
    t.type(QStringLiteral("IntelHEXTemplFileName"), QStringLiteral("image"));
}

} // namespace

class IntelHexTabTest : public QObject {
    Q_OBJECT

private slots:
    void fileChoiceRefusesWhatIsNotIntelHex_data();
    void fileChoiceRefusesWhatIsNotIntelHex();
    void tickedSourcesAreJoinedInOrder_data();
    void tickedSourcesAreJoinedInOrder();
    void nothingTickedWarns();
    void brokenSourceErrorIsInFrontOfTheWindow();
    void buildsWhatTheCommandLineBuildsFromTheSameSettings_data();
    void buildsWhatTheCommandLineBuildsFromTheSameSettings();
};

void IntelHexTabTest::fileChoiceRefusesWhatIsNotIntelHex_data()
{
    QTest::addColumn<int>("slot");
    for (int slot = 0; slot < 6; ++slot)
        QTest::addRow("%d", slot + 1) << slot;
}

void IntelHexTabTest::fileChoiceRefusesWhatIsNotIntelHex()
{
    QFETCH(int, slot);
    WindowTest t;
    QVERIFY(t.isValid());
    t.openTab(2);
    const QString records = write(t.workDir.path(), QStringLiteral("records.hex"), recordsOf(0) + EndOfFile);
    const QString raw = write(t.workDir.path(), QStringLiteral("raw.hex"), pattern(8, 1));
    t.tick(QLatin1String(Sources[slot].check), true);
    auto *combo = t.widget<QComboBox>(QLatin1String(Sources[slot].combo));

    t.chooseFile(QLatin1String(Sources[slot].search), records);
    QCOMPARE(UserActions::items(combo), QStringList{records});

    t.chooseFile(QLatin1String(Sources[slot].search), raw);
    const QList<ScriptedDialogs::Record> messages = t.dialogs.messages();
    QCOMPARE(messages.size(), 1);
    QCOMPARE(messages[0].kind, MessageKind::Warning);
    QCOMPARE(messages[0].title, QStringLiteral("Не верный формат!"));
    QCOMPARE(messages[0].text, raw + QStringLiteral(" не явлеяется IntelHEX файлом"));
    QCOMPARE(UserActions::items(combo), QStringList{records});

    const ScriptedDialogs::Record first = t.dialogs.records[0];
    QCOMPARE(first.call, ScriptedDialogs::Call::ChooseFile);
    QCOMPARE(first.title, QStringLiteral("File%1 Directory").arg(slot + 1));
    QCOMPARE(first.filter, QStringLiteral("*.hex"));
    QCOMPARE(first.startDir, QString());
    QVERIFY(first.hadParent);
}

void IntelHexTabTest::tickedSourcesAreJoinedInOrder_data()
{
    QTest::addColumn<QList<int>>("ticked");
    QTest::newRow("the three main ones") << QList<int>{0, 1, 2};
    QTest::newRow("firmware bootloader only") << QList<int>{1};
    QTest::newRow("all six") << QList<int>{0, 1, 2, 3, 4, 5};
    QTest::newRow("root bootloader and second extra file") << QList<int>{0, 4};
}

void IntelHexTabTest::tickedSourcesAreJoinedInOrder()
{
    QFETCH(QList<int>, ticked);
    WindowTest t;
    QVERIFY(t.isValid());
    enter(t);
    t.dialogs.records.clear();
    // Ticked in reverse, to show that the order comes from the sources, not from the clicks.
    for (qsizetype i = ticked.size() - 1; i >= 0; --i)
        t.tick(QLatin1String(Sources[ticked[i]].check), true);
    QByteArray expected;
    for (int slot : ticked)
        expected += recordsOf(slot);
    expected += EndOfFile;

    t.click(QStringLiteral("IntelHEXAssebling"));

    QCOMPARE(read(t.workDir.filePath(QStringLiteral("release/image.hex"))), expected);
    QCOMPARE(t.dialogs.messages().size(), 1);
    const ScriptedDialogs::Record done = t.dialogs.messages().first();
    QCOMPARE(done.kind, MessageKind::Information);
    QCOMPARE(done.title, QStringLiteral("Complete!"));
    QCOMPARE(done.text, QStringLiteral("Сборка завершена\n\nЗаписано в папку %1:\nimage.hex")
                            .arg(QDir::toNativeSeparators(t.workDir.filePath(QStringLiteral("release")))));
    QVERIFY(!t.window->findChild<QProgressDialog *>());
}

void IntelHexTabTest::nothingTickedWarns()
{
    WindowTest t;
    QVERIFY(t.isValid());
    enter(t);
    t.click(QStringLiteral("IntelHEXAssebling"));
    QCOMPARE(t.dialogs.messages().size(), 1);
    QCOMPARE(t.dialogs.messages().first().kind, MessageKind::Warning);
    QCOMPARE(t.dialogs.messages().first().title, QStringLiteral("Предупреждение!"));
    QCOMPARE(t.dialogs.messages().first().text, QStringLiteral("Нечего собирать: не отмечен ни один файл."));
    QVERIFY(!QFile::exists(t.workDir.filePath(QStringLiteral("release/image.hex"))));
}

// The error stands in front of the window, with no progress dialog left behind it.
void IntelHexTabTest::brokenSourceErrorIsInFrontOfTheWindow()
{
    WorkingDirectory workDir;
    QVERIFY(workDir.isValid());
    ScriptedDialogs dialogs;
    MainWindow window(dialogs);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    const QString dir = workDir.path();
    // Its first line begins with ':', so the file chooser takes it.
    const QString broken = write(dir, QStringLiteral("broken.hex"),
                                 ":10000000000102030405060708090A0B0C0D0E0F00\r\n" + EndOfFile);
    write(dir, QStringLiteral("release/image.hex"), "previous image");
    UserActions::openTab(UserActions::widget<QTabWidget>(&window, QStringLiteral("tabWidget")), 2);
    for (int slot : {0, 2, 3}) {
        UserActions::setTicked(UserActions::widget<QCheckBox>(&window, QLatin1String(Sources[slot].check)),
                               true);
        const QString path =
            slot == 2 ? broken : write(dir, QStringLiteral("p%1.hex").arg(slot), recordsOf(slot) + EndOfFile);
        UserActions::chooseFile(
            dialogs, UserActions::widget<QPushButton>(&window, QLatin1String(Sources[slot].search)), path);
    }
    UserActions::chooseDirectory(
        dialogs, UserActions::widget<QPushButton>(&window, QStringLiteral("IntelHEXSearchReleaseButton")),
        dir + QStringLiteral("/release"));
    UserActions::typeInto(UserActions::widget<QLineEdit>(&window, QStringLiteral("IntelHEXTemplFileName")),
                          QStringLiteral("image"));

    UserActions::click(UserActions::widget<QPushButton>(&window, QStringLiteral("IntelHEXAssebling")));

    QCOMPARE(dialogs.messages().size(), 1);
    const ScriptedDialogs::Record error = dialogs.messages().first();
    QCOMPARE(error.kind, MessageKind::Critical);
    QCOMPARE(error.title, QStringLiteral("Error!"));
    QVERIFY2(error.text.startsWith(
                 QStringLiteral("Ошибка в файле %1, строка 1: неверная контрольная сумма").arg(broken)),
             qPrintable(error.text));
    QVERIFY(error.hadParent);
    QVERIFY(!error.progressShown);
    QCOMPARE(read(dir + QStringLiteral("/release/image.hex")), QByteArray("previous image"));
    QVERIFY(!window.findChild<QProgressDialog *>());
}

void IntelHexTabTest::buildsWhatTheCommandLineBuildsFromTheSameSettings_data()
{
    QTest::addColumn<QString>("control");
    QTest::addColumn<QString>("value");
    QTest::newRow("all six") << QString() << QString();
    for (int slot = 0; slot < 6; ++slot) {
        QTest::addRow("source %d unticked", slot + 1)
            << QString::fromLatin1(Sources[slot].check) << QString();
        QTest::addRow("source %d file", slot + 1)
            << QString::fromLatin1(Sources[slot].search) << QStringLiteral("other%1.hex").arg(slot + 1);
    }
    QTest::newRow("output directory") << "IntelHEXSearchReleaseButton"
                                      << "release2";
    QTest::newRow("name") << "IntelHEXTemplFileName"
                          << "renamed";
}

void IntelHexTabTest::buildsWhatTheCommandLineBuildsFromTheSameSettings()
{
    QFETCH(QString, control);
    QFETCH(QString, value);
    WindowTest t;
    QVERIFY(t.isValid());
    const QString dir = t.workDir.path();
    QVERIFY(QDir(dir).mkpath(QStringLiteral("release2")));
    enter(t);
    for (const auto &source : Sources)
        t.tick(QLatin1String(source.check), true);
    for (int slot = 0; slot < 6; ++slot)
        write(dir, QStringLiteral("other%1.hex").arg(slot + 1), recordsOf(slot, 7) + EndOfFile);

    t.change(control, value);
    const QString out =
        dir + (value == "release2" ? QStringLiteral("/release2") : QStringLiteral("/release"));
    const QString difference =
        t.commandLineDifference(QStringLiteral("IntelHEXAssebling"), QStringLiteral("IntelHEX"),
                                QStringLiteral(".IntelHEX"), QStringLiteral("intelhex"), {}, out);
    QVERIFY2(difference.isEmpty(), qPrintable(difference));
    QCOMPARE(imagesIn(out).size(), 1);
}

QTEST_MAIN(IntelHexTabTest)
#include "tst_intelhextab.moc"
