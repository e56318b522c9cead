#include "mainwindow/mainwindow.h"

#include <utility>

#include "mainwindow/userdialogs.h"
#include "programmer/flashdialog.h"
#include "ui_mainwindow.h"

void MainWindow::Key_Assembling_Firmware()
{
    if (loraMacFiles.size() <= 1 || appFiles.size() <= 1) {
        // Only the image just built goes to the board: after a failed assembly an older image, or
        // one the user would be asked for, is not what was meant.
        if (assembleLoRa())
            LoRa_Start_Firmware();
        return;
    }
    dialogs().message(MessageKind::Warning, ReportTitle::warning(),
                      QStringLiteral("Склейка с последующей прошивкой работает только для одной прошивки"));
    LoRa_Start_Assembler();
}

void MainWindow::LoRa_Start_Firmware()
{
    // One programmer at a time: the board is attached once.
    FlashDialog *previous = findChild<FlashDialog *>();
    if (previous && previous->isRunning())
        return;

    if (lastImagePath.isEmpty()) {
        const QListWidgetItem *firstRelease = ui->LoRaComboRelease->item(0);
        lastImagePath = dialogs().chooseFile(this, QStringLiteral("Выберете прошивку"),
                                             firstRelease ? firstRelease->text() : QString(),
                                             QStringLiteral("*.bin *.hex"));
    }
    if (lastImagePath.isEmpty()) {
        dialogs().message(MessageKind::Warning, ReportTitle::warning(), QStringLiteral("Файл не выбран!"));
        return;
    }
    // Whatever happens now, the next press asks for a file again.
    const QString image = std::exchange(lastImagePath, QString());

    const FlashPlan plan = ProgrammerCommands::planFlashing(image, programmerTimeouts);
    if (!plan.ok()) {
        dialogs().message(MessageKind::Critical, ReportTitle::error(), plan.error);
        return;
    }
    if (previous)
        previous->close();

    auto *dialog = new FlashDialog(this);
    connect(dialog, &FlashDialog::flashingFinished, this,
            [this](ProgrammerRunner::Outcome outcome, const QString &message) {
                if (outcome == ProgrammerRunner::Outcome::Succeeded)
                    dialogs().message(MessageKind::Information, ReportTitle::complete(), message);
                else if (outcome == ProgrammerRunner::Outcome::Cancelled)
                    dialogs().message(MessageKind::Warning, ReportTitle::warning(), message);
                else
                    dialogs().message(MessageKind::Critical, ReportTitle::error(), message);
            });
    dialog->open();
    dialog->start(plan);
}
