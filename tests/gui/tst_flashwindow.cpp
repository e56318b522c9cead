#include <QtTest>
#include <QtWidgets>

#include "fakeprogrammer.h"
#include "flashdialog.h"
#include "testfiles.h"
#include "windowtest.h"

using namespace TestFiles;

class FlashWindowTest : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void cancelledChoiceSaysNothingAndRunsNothing();
    void flashesTheChosenImageInAWindowModalDialog();
    void secondPressAsksForAFileAgain();
    void failureShowsTheMessageWithTheOutput_data();
    void failureShowsTheMessageWithTheOutput();
    void escapeAsksBeforeCancellingTheProgrammer_data();
    void escapeAsksBeforeCancellingTheProgrammer();
    void destroyingTheWindowLeavesNoProgrammerBehind();
    void missingProgrammerIsReportedAndNothingRuns();
    void assembleAndFlashFlashesOnlyASingleImage_data();
    void assembleAndFlashFlashesOnlyASingleImage();
    void assembleAndFlashAfterAFailedAssemblyFlashesNothing();
    void assembleAndFlashFromAnotherTabAsksFirst_data();
    void assembleAndFlashFromAnotherTabAsksFirst();

private:
    FlashDialog *runningDialog() { return m_window->window->findChild<FlashDialog *>(); }
    QString release(const QString &name = QString()) const
    {
        return m_window->workDir.filePath(QStringLiteral("release")) +
               (name.isEmpty() ? QString() : QLatin1Char('/') + name);
    }
    // Presses "Прошивка" and answers the file dialog, when it asks, with `image`.
    void pressFlash(const QString &image = QString())
    {
        m_window->chooseFile(QStringLiteral("LoRaRunFirmware"), image);
    }
    QString writeImage(const QString &name) { return write(release(), name, QByteArray(16, '\x5a')); }
    void enterLoRaSources(int loraMacCount, int appCount);
    void pressKeys(Qt::KeyboardModifier modifier);

    std::optional<FakeProgrammer> m_fake;
    std::unique_ptr<WindowTest> m_window;
};

void FlashWindowTest::init()
{
    m_fake.emplace();
    m_window = std::make_unique<WindowTest>();
    QVERIFY(m_window->isValid());
    QDir().mkpath(release());
    m_window->openTab(0);
    m_window->chooseDirectory(QStringLiteral("LoRaSearchRelease"), release());
    m_window->dialogs.records.clear();
}

void FlashWindowTest::cleanup()
{
    m_window.reset();
    m_fake.reset();
}

void FlashWindowTest::cancelledChoiceSaysNothingAndRunsNothing()
{
    pressFlash();

    QCOMPARE(m_window->dialogs.records.size(), 1);
    const ScriptedDialogs::Record choice = m_window->dialogs.records[0];
    QCOMPARE(choice.call, ScriptedDialogs::Call::ChooseFile);
    QCOMPARE(choice.title, QStringLiteral("Выберете прошивку"));
    QCOMPARE(QDir(choice.startDir).absolutePath(), release()); // kept relative to the working directory
    QCOMPARE(choice.filter, QStringLiteral("*.bin *.hex"));
    QVERIFY(choice.hadParent);
    QVERIFY(!runningDialog());
    QTest::qWait(20);
    QVERIFY(m_fake->runs().isEmpty());
}

void FlashWindowTest::flashesTheChosenImageInAWindowModalDialog()
{
    const QString image = writeImage(QStringLiteral("fw & $(touch pwned).bin"));
    m_fake->setWriteBehaviour("hang");

    pressFlash(image);
    FlashDialog *dialog = runningDialog();
    QVERIFY(dialog);
    QVERIFY(dialog->isVisible());
    QCOMPARE(dialog->windowModality(), Qt::WindowModal);

    // The output shows up while the programmer is still at work: the event loop keeps running.
    auto *output = dialog->findChild<QPlainTextEdit *>(QStringLiteral("FlashDialogOutput"));
    QTRY_VERIFY(output->toPlainText().contains(QLatin1String("fake programmer: erase and write")));
    QVERIFY(dialog->isRunning());
    auto *button = dialog->findChild<QPushButton *>(QStringLiteral("FlashDialogButton"));
    QCOMPARE(button->text(), QStringLiteral("Отмена"));
    QCOMPARE(m_window->dialogs.records.size(), 1); // the file dialog only

    // End the hanging write; the arguments it received are already recorded.
    m_window->dialogs.askAnswers.enqueue(true);
    UserActions::click(button);
    QCOMPARE(m_fake->runs().size(), 2);
    QCOMPARE(m_fake->runs()[1].arguments, (QStringList{"-c", "port=SWD", "-e", "all", "-w",
                                                       QDir::toNativeSeparators(image), "0x08000000"}));
    QVERIFY(!QFileInfo::exists(release(QStringLiteral("pwned"))));
    QVERIFY(!QFileInfo::exists(m_window->workDir.filePath(QStringLiteral("pwned"))));
}

void FlashWindowTest::secondPressAsksForAFileAgain()
{
    const QString first = writeImage(QStringLiteral("first.bin"));
    const QString second = writeImage(QStringLiteral("second.hex"));

    pressFlash(first);
    QPointer<FlashDialog> dialog = runningDialog();
    QVERIFY(dialog);
    // A good flashing ends in its one box: the dialog closes itself.
    QTRY_VERIFY(dialog.isNull());
    QCOMPARE(m_window->dialogs.messages().size(), 1);
    QCOMPARE(m_window->dialogs.messages()[0].kind, MessageKind::Information);
    QCOMPARE(m_window->dialogs.messages()[0].title, QStringLiteral("Complete!"));
    QCOMPARE(m_window->dialogs.messages()[0].text, QStringLiteral("Прошивка завершена"));

    pressFlash(second);
    QCOMPARE(m_window->dialogs.records.size(), 3);
    QCOMPARE(m_window->dialogs.records[2].call, ScriptedDialogs::Call::ChooseFile);
    QTRY_COMPARE(m_window->dialogs.messages().size(), 2);
    QCOMPARE(m_window->dialogs.messages()[1].title, QStringLiteral("Complete!"));
    const QList<FakeProgrammer::Run> runs = m_fake->runs();
    QCOMPARE(runs.size(), 4);
    QCOMPARE(runs[1].arguments.value(5), QDir::toNativeSeparators(first));
    QCOMPARE(runs[2].arguments, (QStringList{"-c", "port=SWD", "-ob", "rdp=0xAA"}));
    QCOMPARE(runs[3].arguments.value(5), QDir::toNativeSeparators(second));
}

void FlashWindowTest::failureShowsTheMessageWithTheOutput_data()
{
    QTest::addColumn<QByteArray>("optionBytes");
    QTest::addColumn<QByteArray>("write");
    QTest::addColumn<int>("expectedRuns");
    QTest::addColumn<QString>("expectedText");

    QTest::newRow("exit code") << QByteArray("exit:3") << QByteArray("ok") << 1 << "код 3";
    QTest::newRow("crash") << QByteArray("ok") << QByteArray("crash") << 2 << "аварийно завершился";
}

void FlashWindowTest::failureShowsTheMessageWithTheOutput()
{
    QFETCH(QByteArray, optionBytes);
    QFETCH(QByteArray, write);
    QFETCH(int, expectedRuns);
    QFETCH(QString, expectedText);

    m_fake->setOptionBytesBehaviour(optionBytes);
    m_fake->setWriteBehaviour(write);
    pressFlash(writeImage(QStringLiteral("a.bin")));

    QTRY_COMPARE(m_window->dialogs.messages().size(), 1);
    const ScriptedDialogs::Record box = m_window->dialogs.messages()[0];
    QCOMPARE(box.kind, MessageKind::Critical);
    QCOMPARE(box.title, QStringLiteral("Error!"));
    QVERIFY2(box.text.contains(expectedText), qPrintable(box.text));
    QVERIFY(box.text.contains(QLatin1String("fake programmer error stream")));
    QCOMPARE(m_fake->runs().size(), expectedRuns);
}

void FlashWindowTest::escapeAsksBeforeCancellingTheProgrammer_data()
{
    QTest::addColumn<bool>("viaButton");
    QTest::newRow("Esc") << false;
    QTest::newRow("Отмена") << true;
}

void FlashWindowTest::escapeAsksBeforeCancellingTheProgrammer()
{
    QFETCH(bool, viaButton);
    m_fake->setOptionBytesBehaviour("hang");
    pressFlash(writeImage(QStringLiteral("a.bin")));
    QPointer<FlashDialog> dialog = runningDialog();
    QVERIFY(dialog);
    QTRY_COMPARE(m_fake->runs().size(), 1);
    const qint64 processId = m_fake->runs()[0].processId;
    const auto abort = [&] {
        m_window->dialogs.records.clear();
        if (viaButton)
            UserActions::click(dialog->findChild<QPushButton *>(QStringLiteral("FlashDialogButton")));
        else
            QTest::keyClick(dialog, Qt::Key_Escape);
        QVERIFY(!m_window->dialogs.records.isEmpty());
        QCOMPARE(m_window->dialogs.records[0].call, ScriptedDialogs::Call::Ask);
        QCOMPARE(m_window->dialogs.records[0].text,
                 QStringLiteral("Прервать прошивку? Плата может остаться стертой."));
    };

    m_window->dialogs.askAnswers.enqueue(false);
    abort();
    QVERIFY(dialog && dialog->isVisible() && dialog->isRunning());
    QVERIFY(FakeProgrammer::processExists(processId));
    QVERIFY(m_window->dialogs.messages().isEmpty());

    m_window->dialogs.askAnswers.enqueue(true);
    abort();
    QVERIFY(!FakeProgrammer::processExists(processId));
    QCOMPARE(m_window->dialogs.messages().size(), 1);
    QCOMPARE(m_window->dialogs.messages()[0].kind, MessageKind::Warning);
    QVERIFY(m_window->dialogs.messages()[0].text.contains(QStringLiteral("прервана")));
    QTRY_VERIFY(dialog.isNull());
    QCOMPARE(m_fake->runs().size(), 1);
}

void FlashWindowTest::destroyingTheWindowLeavesNoProgrammerBehind()
{
    m_fake->setOptionBytesBehaviour("hang");
    pressFlash(writeImage(QStringLiteral("a.bin")));
    QTRY_COMPARE(m_fake->runs().size(), 1);
    const qint64 processId = m_fake->runs()[0].processId;
    m_window->window.reset();
    QVERIFY(!FakeProgrammer::processExists(processId));
    QVERIFY(m_window->dialogs.messages().isEmpty());
}

void FlashWindowTest::missingProgrammerIsReportedAndNothingRuns()
{
    m_fake->setProgram(m_window->workDir.filePath(QStringLiteral("no/programmer")));
    pressFlash(writeImage(QStringLiteral("a.bin")));
    QCOMPARE(m_window->dialogs.messages().size(), 1);
    QCOMPARE(m_window->dialogs.messages()[0].kind, MessageKind::Critical);
    QCOMPARE(m_window->dialogs.messages()[0].title, QStringLiteral("Error!"));
    QVERIFY(m_window->dialogs.messages()[0].text.contains(QLatin1String("QUILLON_PROGRAMMER")));
    QVERIFY(!runningDialog());
    // The image is forgotten: the next press asks again.
    pressFlash();
    QCOMPARE(m_window->dialogs.records.last().call, ScriptedDialogs::Call::ChooseFile);
}

void FlashWindowTest::enterLoRaSources(int loraMacCount, int appCount)
{
    // Boot at 0, LoRaMAC at 0x100, application at 0x200, each 0x100 long with its name field at 0x10.
    const QString sources = m_window->workDir.filePath(QStringLiteral("sources"));
    write(sources, QStringLiteral("boot/boot.bin"), QByteArray(0x100, '\x22'));
    const QList<QByteArray> regions{"RU864", "EU868"};
    for (int i = 0; i < loraMacCount; ++i)
        write(sources, QStringLiteral("lora/LoraMAC%1.bin").arg(i),
              withField(QByteArray(0x100, '\x11'), 0x10, nameField("1.0.4_" + regions[i], 32)));
    const QList<QByteArray> names{"APPONE", "APPTWO", "APPTHREE"};
    for (int i = 0; i < appCount; ++i)
        write(sources, QStringLiteral("app/app%1.bin").arg(i),
              withField(QByteArray(0x100, '\x11'), 0x10, nameField(names[i], 16)));
    m_window->click(QStringLiteral("LoRaBINLoraMAC"));
    m_window->chooseDirectory(QStringLiteral("LoRaSearchBOOT"), sources + QStringLiteral("/boot"));
    m_window->chooseDirectory(QStringLiteral("LoRaSearchLoraMAC"), sources + QStringLiteral("/lora"));
    m_window->chooseDirectory(QStringLiteral("LoRaSearchApp"), sources + QStringLiteral("/app"));
    const QList<QPair<const char *, const char *>> texts{
        {"LoRaComboOffsetBOOT", "0"},  {"LoRaComboOffsetLoRa", "100"},
        {"LoRaComboOffsetApp", "200"}, {"LoRaComboOffset_lora_region", "10"},
        {"LoRaComboOffsetFW", "10"},   {"LoRaTemplateName", "lora region fw"}};
    for (const auto &[name, text] : texts)
        m_window->type(QLatin1String(name), QLatin1String(text));
    m_window->dialogs.records.clear();
}

void FlashWindowTest::pressKeys(Qt::KeyboardModifier modifier)
{
    m_window->window->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(m_window->window.get()));
    QTest::keyClick(m_window->window.get(), Qt::Key_G, modifier);
}

void FlashWindowTest::assembleAndFlashFlashesOnlyASingleImage_data()
{
    QTest::addColumn<int>("loraMacs");
    QTest::addColumn<int>("apps");
    QTest::newRow("one pair") << 1 << 1;
    QTest::newRow("one LoRaMAC, three applications") << 1 << 3;
    QTest::newRow("two LoRaMACs, one application") << 2 << 1;
    QTest::newRow("two by two") << 2 << 2;
}

void FlashWindowTest::assembleAndFlashFlashesOnlyASingleImage()
{
    QFETCH(int, loraMacs);
    QFETCH(int, apps);
    enterLoRaSources(loraMacs, apps);
    pressKeys(Qt::AltModifier);

    const QDir releaseDir(release());
    const QStringList images = releaseDir.entryList({QStringLiteral("*.bin")}, QDir::Files);
    QCOMPARE(images.size(), loraMacs * apps);
    for (const ScriptedDialogs::Record &record : m_window->dialogs.records)
        QVERIFY(record.call != ScriptedDialogs::Call::ChooseFile);
    if (images.size() == 1) {
        QTRY_VERIFY(!runningDialog());
        QCOMPARE(m_fake->runs().size(), 2);
        QCOMPARE(m_fake->runs()[1].arguments.value(5),
                 QDir::toNativeSeparators(releaseDir.absoluteFilePath(images.first())));
        QCOMPARE(m_window->dialogs.messageSummaries(),
                 (QStringList{"Сборка завершена", "Прошивка завершена"}));
        return;
    }
    const QList<ScriptedDialogs::Record> messages = m_window->dialogs.messages();
    QCOMPARE(messages.size(), 2);
    QCOMPARE(m_window->dialogs.messageSummaries()[0], QStringLiteral("Сборка завершена"));
    QCOMPARE(messages[1].kind, MessageKind::Warning);
    QCOMPARE(messages[1].title, QStringLiteral("Предупреждение!"));
    QCOMPARE(messages[1].text, QStringLiteral("Собрано образов: %1. Склейка с последующей прошивкой работает "
                                              "только для одной прошивки, поэтому ничего не прошито.")
                                   .arg(images.size()));
    QVERIFY(!runningDialog());
    QTest::qWait(20);
    QVERIFY(m_fake->runs().isEmpty());

    // None of the images is "the one just built": "Прошивка" asks which to flash.
    m_window->dialogs.records.clear();
    pressFlash();
    QCOMPARE(m_window->dialogs.records.first().call, ScriptedDialogs::Call::ChooseFile);
    QVERIFY(m_window->dialogs.messages().isEmpty());
    QTest::qWait(20);
    QVERIFY(m_fake->runs().isEmpty());
}

void FlashWindowTest::assembleAndFlashAfterAFailedAssemblyFlashesNothing()
{
    enterLoRaSources(1, 1);
    // A good build leaves its image to be flashed.
    pressKeys(Qt::ControlModifier);
    const QStringList built = QDir(release()).entryList({QStringLiteral("*.bin")}, QDir::Files);
    QCOMPARE(built.size(), 1);
    m_window->dialogs.records.clear();

    // The LoRaMAC image would start inside the bootloader.
    m_window->type(QStringLiteral("LoRaComboOffsetLoRa"), QStringLiteral("80"));
    pressKeys(Qt::AltModifier);
    QCOMPARE(m_window->dialogs.messages().size(), 1);
    QCOMPARE(m_window->dialogs.messages()[0].title, QStringLiteral("Error!"));
    QVERIFY(m_window->dialogs.messages()[0].text.startsWith(QStringLiteral("Некорректное смещение.")));
    for (const ScriptedDialogs::Record &record : m_window->dialogs.records)
        QVERIFY(record.call != ScriptedDialogs::Call::ChooseFile);
    QVERIFY(!runningDialog());
    QTest::qWait(20);
    QVERIFY(m_fake->runs().isEmpty());

    // The image of the good build is still the one "Прошивка" flashes, without asking.
    pressFlash();
    QTRY_COMPARE(m_fake->runs().size(), 2);
    QCOMPARE(m_fake->runs()[1].arguments.value(5),
             QDir::toNativeSeparators(QDir(release()).absoluteFilePath(built.first())));
    for (const ScriptedDialogs::Record &record : m_window->dialogs.records)
        QVERIFY(record.call != ScriptedDialogs::Call::ChooseFile);
}

void FlashWindowTest::assembleAndFlashFromAnotherTabAsksFirst_data()
{
    QTest::addColumn<int>("page");
    QTest::addColumn<bool>("yes");
    QTest::newRow("LoRa") << 0 << true;
    QTest::newRow("Binary, Нет") << 1 << false;
    QTest::newRow("Binary, Да") << 1 << true;
    QTest::newRow("IntelHEX, Нет") << 2 << false;
    QTest::newRow("IntelHEX, Да") << 2 << true;
}

void FlashWindowTest::assembleAndFlashFromAnotherTabAsksFirst()
{
    QFETCH(int, page);
    QFETCH(bool, yes);
    enterLoRaSources(1, 1);
    m_window->openTab(page);
    m_window->dialogs.askAnswers.enqueue(yes);
    pressKeys(Qt::AltModifier);

    // The LoRa tab is in view before anything is asked or built.
    QCOMPARE(m_window->widget<QTabWidget>(QStringLiteral("tabWidget"))->currentIndex(), 0);
    QList<ScriptedDialogs::Record> questions;
    for (const ScriptedDialogs::Record &record : m_window->dialogs.records) {
        if (record.call == ScriptedDialogs::Call::Ask)
            questions << record;
    }
    QCOMPARE(questions.size(), page == 0 ? 0 : 1);
    if (page != 0)
        QCOMPARE(questions[0].text, QStringLiteral("Собрать и прошить образ вкладки LoRa?"));
    const QStringList images = QDir(release()).entryList({QStringLiteral("*.bin")}, QDir::Files);
    if (!yes) {
        QCOMPARE(m_window->dialogs.records.size(), 1);
        QVERIFY(images.isEmpty());
        QTest::qWait(20);
        QVERIFY(m_fake->runs().isEmpty());
        return;
    }
    QCOMPARE(images.size(), 1);
    QTRY_COMPARE(m_window->dialogs.messageSummaries(),
                 (QStringList{"Сборка завершена", "Прошивка завершена"}));
    QCOMPARE(m_fake->runs().size(), 2);
}

QTEST_MAIN(FlashWindowTest)
#include "tst_flashwindow.moc"
