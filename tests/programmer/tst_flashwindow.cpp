#include <QtTest>

#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>

#include "fakeprogrammer.h"
#include "mainwindow/mainwindow.h"
#include "programmer/flashdialog.h"
#include "scripteddialogs.h"

class MainWindowTestAccess {
public:
    static QString &lastImagePath(MainWindow &window) { return window.lastImagePath; }
    static QStringList &bootFiles(MainWindow &window) { return window.bootFiles; }
    static QStringList &loraMacFiles(MainWindow &window) { return window.loraMacFiles; }
    static QStringList &appFiles(MainWindow &window) { return window.appFiles; }
    static ProgrammerTimeouts &timeouts(MainWindow &window) { return window.programmerTimeouts; }
};
using Access = MainWindowTestAccess;

namespace {

QString writeFile(const QString &path, const QByteArray &bytes = QByteArray(16, '\x5a'))
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
        return QString();
    return QFileInfo(path).absoluteFilePath();
}

QByteArray withField(int size, int fieldOffset, const QByteArray &field)
{
    QByteArray bytes(size, '\x11');
    bytes.replace(fieldOffset, field.size(), field);
    return bytes;
}

} // namespace

class FlashWindowTest : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void cancelledChoiceWarnsAndRunsNothing();
    void flashesTheLastImageInAWindowModalDialog();
    void secondPressAsksForAFile();
    void failureShowsTheMessageWithTheOutput_data();
    void failureShowsTheMessageWithTheOutput();
    void closingTheDialogCancelsTheProgrammer();
    void destroyingTheWindowLeavesNoProgrammerBehind();
    void missingProgrammerIsReportedAndNothingRuns();
    void assembleAndFlashWithManyPairsWarnsAndFlashesNothing();
    void assembleAndFlashOneLoRaMacThreeAppsFlashesTheLastImage();
    void assembleAndFlashTwoByTwoBuildsFourAndFlashesNothing();
    void assembleAndFlashAfterAFailedAssemblyFlashesNothing();

private:
    FlashDialog *runningDialog();
    void fillLoRaSources(int loraMacCount, int appCount);

    std::optional<QTemporaryDir> m_dir;
    QString m_previousDir;
    std::optional<FakeProgrammer> m_fake;
    std::optional<ScriptedDialogs> m_dialogs;
    std::unique_ptr<MainWindow> m_window;
    QListWidget *m_releases = nullptr;
};

void FlashWindowTest::init()
{
    m_previousDir = QDir::currentPath();
    m_dir.emplace();
    QVERIFY(QDir::setCurrent(m_dir->path()));
    m_fake.emplace();
    m_dialogs.emplace();
    m_window = std::make_unique<MainWindow>(*m_dialogs);
    m_releases = m_window->findChild<QListWidget *>(QStringLiteral("LoRaComboRelease"));
    QVERIFY(m_releases);
    m_releases->clear();
    m_releases->addItem(m_dir->filePath(QStringLiteral("release")));
    QDir().mkpath(m_dir->filePath(QStringLiteral("release")));
    m_window->show();
}

void FlashWindowTest::cleanup()
{
    m_window.reset();
    m_dialogs.reset();
    m_fake.reset();
    QDir::setCurrent(m_previousDir);
    m_dir.reset();
}

FlashDialog *FlashWindowTest::runningDialog()
{
    return m_window->findChild<FlashDialog *>();
}

void FlashWindowTest::cancelledChoiceWarnsAndRunsNothing()
{
    QTest::mouseClick(m_window->findChild<QPushButton *>(QStringLiteral("LoRaRunFirmware")), Qt::LeftButton);

    QCOMPARE(m_dialogs->records.size(), 2);
    const ScriptedDialogs::Record choice = m_dialogs->records[0];
    QCOMPARE(choice.call, ScriptedDialogs::Call::ChooseFile);
    QCOMPARE(choice.title, QStringLiteral("Выберете прошивку"));
    QCOMPARE(choice.startDir, m_dir->filePath(QStringLiteral("release")));
    QCOMPARE(choice.filter, QStringLiteral("*.bin *.hex"));
    QVERIFY(choice.hadParent);
    const ScriptedDialogs::Record warning = m_dialogs->records[1];
    QCOMPARE(warning.kind, MessageKind::Warning);
    QCOMPARE(warning.title, QStringLiteral("Предупреждение!"));
    QCOMPARE(warning.text, QStringLiteral("Файл не выбран!"));
    QVERIFY(!runningDialog());
    QTest::qWait(20);
    QVERIFY(m_fake->runs().isEmpty());
}

void FlashWindowTest::flashesTheLastImageInAWindowModalDialog()
{
    const QString image = writeFile(m_dir->filePath(QStringLiteral("release/fw & $(touch pwned).bin")));
    Access::lastImagePath(*m_window) = image;
    m_fake->setWriteBehaviour("hang");
    Access::timeouts(*m_window) = {60000, 60000};

    QTest::mouseClick(m_window->findChild<QPushButton *>(QStringLiteral("LoRaRunFirmware")), Qt::LeftButton);
    FlashDialog *dialog = runningDialog();
    QVERIFY(dialog);
    QVERIFY(dialog->isVisible());
    QCOMPARE(dialog->windowModality(), Qt::WindowModal);
    QVERIFY(Access::lastImagePath(*m_window).isEmpty());

    // The output shows up while the programmer is still at work: the event loop keeps running.
    auto *output = dialog->findChild<QPlainTextEdit *>(QStringLiteral("FlashDialogOutput"));
    QTRY_VERIFY(output->toPlainText().contains(QLatin1String("fake programmer: erase and write")));
    QVERIFY(dialog->isRunning());
    QCOMPARE(dialog->findChild<QPushButton *>(QStringLiteral("FlashDialogButton"))->text(),
             QStringLiteral("Отмена"));
    QVERIFY(m_dialogs->messages().isEmpty());

    // End the hanging write; the arguments it received are already recorded.
    dialog->runner()->cancel();
    QCOMPARE(m_fake->runs().size(), 2);
    QCOMPARE(m_fake->runs()[1].arguments,
             (QStringList{"-c", "port=SWD", "-e", "all", "-w", image, "0x08000000"}));
    QVERIFY(!QFileInfo::exists(m_dir->filePath(QStringLiteral("release/pwned"))));
    QVERIFY(!QFileInfo::exists(m_dir->filePath(QStringLiteral("pwned"))));
}

void FlashWindowTest::secondPressAsksForAFile()
{
    const QString first = writeFile(m_dir->filePath(QStringLiteral("release/first.bin")));
    const QString second = writeFile(m_dir->filePath(QStringLiteral("release/second.hex")));
    Access::lastImagePath(*m_window) = first;
    auto *flashButton = m_window->findChild<QPushButton *>(QStringLiteral("LoRaRunFirmware"));

    QTest::mouseClick(flashButton, Qt::LeftButton);
    QPointer<FlashDialog> dialog = runningDialog();
    QVERIFY(dialog);
    QTRY_VERIFY(!dialog->isRunning());
    QCOMPARE(m_dialogs->records.size(), 1);
    QCOMPARE(m_dialogs->records[0].kind, MessageKind::Information);
    QCOMPARE(m_dialogs->records[0].title, QStringLiteral("Complete!"));
    QCOMPARE(m_dialogs->records[0].text, QStringLiteral("Прошивка завершена"));
    QVERIFY(Access::lastImagePath(*m_window).isEmpty());
    // The dialog stays for reading until closed.
    auto *closeButton = dialog->findChild<QPushButton *>(QStringLiteral("FlashDialogButton"));
    QCOMPARE(closeButton->text(), QStringLiteral("Закрыть"));
    QTest::mouseClick(closeButton, Qt::LeftButton);
    QTRY_VERIFY(dialog.isNull());

    m_dialogs->fileAnswers.enqueue(second);
    QTest::mouseClick(flashButton, Qt::LeftButton);
    QCOMPARE(m_dialogs->records[1].call, ScriptedDialogs::Call::ChooseFile);
    QTRY_COMPARE(m_dialogs->messages().size(), 2);
    QCOMPARE(m_dialogs->messages()[1].title, QStringLiteral("Complete!"));
    const QList<FakeProgrammer::Run> runs = m_fake->runs();
    QCOMPARE(runs.size(), 4);
    QCOMPARE(runs[1].arguments.value(5), first);
    QCOMPARE(runs[2].arguments, (QStringList{"-c", "port=SWD", "-ob", "rdp=0xAA"}));
    QCOMPARE(runs[3].arguments.value(5), second);
}

void FlashWindowTest::failureShowsTheMessageWithTheOutput_data()
{
    QTest::addColumn<QByteArray>("optionBytes");
    QTest::addColumn<QByteArray>("write");
    QTest::addColumn<int>("expectedRuns");
    QTest::addColumn<QString>("expectedText");

    QTest::newRow("exit code") << QByteArray("exit:3") << QByteArray("ok") << 1 << "код 3";
    QTest::newRow("crash") << QByteArray("ok") << QByteArray("crash") << 2 << "аварийно завершился";
    QTest::newRow("hang") << QByteArray("hang") << QByteArray("ok") << 1 << "не завершился за 0.2 с";
}

void FlashWindowTest::failureShowsTheMessageWithTheOutput()
{
    QFETCH(QByteArray, optionBytes);
    QFETCH(QByteArray, write);
    QFETCH(int, expectedRuns);
    QFETCH(QString, expectedText);

    m_fake->setOptionBytesBehaviour(optionBytes);
    m_fake->setWriteBehaviour(write);
    Access::timeouts(*m_window) = {200, 200};
    Access::lastImagePath(*m_window) = writeFile(m_dir->filePath(QStringLiteral("release/a.bin")));
    m_window->LoRa_Start_Firmware();

    QTRY_COMPARE(m_dialogs->messages().size(), 1);
    const ScriptedDialogs::Record box = m_dialogs->messages()[0];
    QCOMPARE(box.kind, MessageKind::Critical);
    QCOMPARE(box.title, QStringLiteral("Error!"));
    QVERIFY2(box.text.contains(expectedText), qPrintable(box.text));
    QVERIFY(box.text.contains(QLatin1String("fake programmer error stream")));
    QCOMPARE(m_fake->runs().size(), expectedRuns);
    QVERIFY(Access::lastImagePath(*m_window).isEmpty());
}

void FlashWindowTest::closingTheDialogCancelsTheProgrammer()
{
    m_fake->setOptionBytesBehaviour("hang");
    Access::lastImagePath(*m_window) = writeFile(m_dir->filePath(QStringLiteral("release/a.bin")));
    m_window->LoRa_Start_Firmware();
    QPointer<FlashDialog> dialog = runningDialog();
    QVERIFY(dialog);
    QTRY_COMPARE(m_fake->runs().size(), 1);
    const qint64 processId = m_fake->runs()[0].processId;

    dialog->close();
    QVERIFY(!FakeProgrammer::processExists(processId));
    QCOMPARE(m_dialogs->messages().size(), 1);
    QCOMPARE(m_dialogs->messages()[0].kind, MessageKind::Warning);
    QVERIFY(m_dialogs->messages()[0].text.contains(QStringLiteral("прервана")));
    QTRY_VERIFY(dialog.isNull());
    QCOMPARE(m_fake->runs().size(), 1);
}

void FlashWindowTest::destroyingTheWindowLeavesNoProgrammerBehind()
{
    m_fake->setOptionBytesBehaviour("hang");
    Access::lastImagePath(*m_window) = writeFile(m_dir->filePath(QStringLiteral("release/a.bin")));
    m_window->LoRa_Start_Firmware();
    QTRY_COMPARE(m_fake->runs().size(), 1);
    const qint64 processId = m_fake->runs()[0].processId;
    m_window.reset();
    QVERIFY(!FakeProgrammer::processExists(processId));
    QVERIFY(m_dialogs->messages().isEmpty());
}

void FlashWindowTest::missingProgrammerIsReportedAndNothingRuns()
{
    m_fake->setProgram(m_dir->filePath(QStringLiteral("no/programmer")));
    Access::lastImagePath(*m_window) = writeFile(m_dir->filePath(QStringLiteral("release/a.bin")));
    m_window->LoRa_Start_Firmware();
    QCOMPARE(m_dialogs->messages().size(), 1);
    QCOMPARE(m_dialogs->messages()[0].kind, MessageKind::Critical);
    QCOMPARE(m_dialogs->messages()[0].title, QStringLiteral("Error!"));
    QVERIFY(m_dialogs->messages()[0].text.contains(QLatin1String("QUILLON_PROGRAMMER")));
    QVERIFY(!runningDialog());
    QVERIFY(Access::lastImagePath(*m_window).isEmpty());
}

void FlashWindowTest::fillLoRaSources(int loraMacCount, int appCount)
{
    // Boot at 0, LoRaMAC at 0x100, application at 0x200, each 0x100 long with its name field at 0x10.
    const QString sources = m_dir->filePath(QStringLiteral("sources/"));
    Access::bootFiles(*m_window) = {
        writeFile(sources + QStringLiteral("boot.bin"), QByteArray(0x100, '\x22'))};
    QStringList &loraMac = Access::loraMacFiles(*m_window);
    QStringList &apps = Access::appFiles(*m_window);
    loraMac.clear();
    apps.clear();
    const QList<QByteArray> regions{"RU864", "EU868"};
    for (int i = 0; i < loraMacCount; ++i)
        loraMac << writeFile(sources + QStringLiteral("LoraMAC%1.bin").arg(i),
                             withField(0x100, 0x10, "1.0.4_" + regions[i] + QByteArray(32 - 11, '\0')));
    const QList<QByteArray> names{"APPONE", "APPTWO", "APPTHREE"};
    for (int i = 0; i < appCount; ++i)
        apps << writeFile(sources + QStringLiteral("app%1.bin").arg(i),
                          withField(0x100, 0x10, names[i] + QByteArray(16 - names[i].size(), '\0')));
    const QList<QPair<const char *, const char *>> texts{
        {"LoRaComboOffsetBOOT", "0"},  {"LoRaComboOffsetLoRa", "100"},
        {"LoRaComboOffsetApp", "200"}, {"LoRaComboOffset_lora_region", "10"},
        {"LoRaComboOffsetFW", "10"},   {"LoRaTemplateName", "lora region fw"}};
    for (const auto &[name, text] : texts)
        m_window->findChild<QLineEdit *>(QLatin1String(name))->setText(QLatin1String(text));
}

void FlashWindowTest::assembleAndFlashWithManyPairsWarnsAndFlashesNothing()
{
    fillLoRaSources(2, 2);
    QVERIFY(QTest::qWaitForWindowActive(m_window.get()));
    QTest::keyClick(m_window.get(), Qt::Key_G, Qt::AltModifier);

    QVERIFY(!m_dialogs->messages().isEmpty());
    QCOMPARE(m_dialogs->messages()[0].kind, MessageKind::Warning);
    QCOMPARE(m_dialogs->messages()[0].title, QStringLiteral("Предупреждение!"));
    QCOMPARE(m_dialogs->messages()[0].text,
             QStringLiteral("Склейка с последующей прошивкой работает только для одной прошивки"));
    for (const ScriptedDialogs::Record &record : m_dialogs->records)
        QVERIFY(record.call != ScriptedDialogs::Call::ChooseFile);
    QVERIFY(!runningDialog());
    QTest::qWait(20);
    QVERIFY(m_fake->runs().isEmpty());
}

void FlashWindowTest::assembleAndFlashOneLoRaMacThreeAppsFlashesTheLastImage()
{
    fillLoRaSources(1, 3);
    QVERIFY(QTest::qWaitForWindowActive(m_window.get()));
    QTest::keyClick(m_window.get(), Qt::Key_G, Qt::AltModifier);
    QTRY_VERIFY(runningDialog() && !runningDialog()->isRunning());

    const QDir release(m_dir->filePath(QStringLiteral("release")));
    const QStringList images = release.entryList({QStringLiteral("*.bin")}, QDir::Files);
    QCOMPARE(images.size(), 3);
    const QStringList last = images.filter(QStringLiteral("APPTHREE"));
    QCOMPARE(last.size(), 1);
    QCOMPARE(m_fake->runs().size(), 2);
    QCOMPARE(m_fake->runs()[1].arguments.value(5), release.absoluteFilePath(last.first()));
    QCOMPARE(m_dialogs->messageTexts(), (QStringList{"Сборка завершена", "Прошивка завершена"}));
    QVERIFY(Access::lastImagePath(*m_window).isEmpty());
}

void FlashWindowTest::assembleAndFlashTwoByTwoBuildsFourAndFlashesNothing()
{
    fillLoRaSources(2, 2);
    QVERIFY(QTest::qWaitForWindowActive(m_window.get()));
    QTest::keyClick(m_window.get(), Qt::Key_G, Qt::AltModifier);

    QCOMPARE(m_dialogs->messageTexts(),
             (QStringList{"Склейка с последующей прошивкой работает только для одной прошивки",
                          "Сборка завершена"}));
    const QDir release(m_dir->filePath(QStringLiteral("release")));
    QCOMPARE(release.entryList({QStringLiteral("*.bin")}, QDir::Files).size(), 4);
    QVERIFY(!runningDialog());
    QTest::qWait(20);
    QVERIFY(m_fake->runs().isEmpty());
}

void FlashWindowTest::assembleAndFlashAfterAFailedAssemblyFlashesNothing()
{
    fillLoRaSources(1, 1);
    // The LoRaMAC image would start inside the bootloader.
    m_window->findChild<QLineEdit *>(QStringLiteral("LoRaComboOffsetLoRa"))->setText(QStringLiteral("80"));
    const QString older = writeFile(m_dir->filePath(QStringLiteral("release/older.bin")));
    Access::lastImagePath(*m_window) = older;
    QVERIFY(QTest::qWaitForWindowActive(m_window.get()));
    QTest::keyClick(m_window.get(), Qt::Key_G, Qt::AltModifier);

    QCOMPARE(m_dialogs->messages().size(), 1);
    QCOMPARE(m_dialogs->messages()[0].title, QStringLiteral("Error!"));
    QVERIFY(m_dialogs->messages()[0].text.startsWith(QStringLiteral("Некорректное смещение.")));
    for (const ScriptedDialogs::Record &record : m_dialogs->records)
        QVERIFY(record.call != ScriptedDialogs::Call::ChooseFile);
    QVERIFY(!runningDialog());
    QTest::qWait(20);
    QVERIFY(m_fake->runs().isEmpty());
    QCOMPARE(Access::lastImagePath(*m_window), older);
}

QTEST_MAIN(FlashWindowTest)
#include "tst_flashwindow.moc"
