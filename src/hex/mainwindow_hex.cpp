#include "mainwindow/mainwindow.h"

#include <memory>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QProgressDialog>

#include "hex/converter.h"
#include "mainwindow/userdialogs.h"
#include "ui_mainwindow.h"

void MainWindow::Start_convert()
{
    const bool binaryWanted = sender() == ui->Converter2IntelHEX || ui->Converter2IntelHEX->isDown();
    const QString filter = binaryWanted ? QStringLiteral("*.bin") : QStringLiteral("*.hex");
    const QString path =
        dialogs().chooseFile(nullptr, tr("Выберите файл для конвертации"), QStringLiteral("."), filter);
    if (path.isEmpty()) {
        dialogs().message(MessageKind::Warning, tr("Файл не выбран!"), tr("Выберите файл для конвертации."));
        return;
    }

    // The content decides the direction, whichever button was pressed; the offset is asked for only
    // when the file turns out to be binary. A cancelled offset is a cancelled conversion, not a
    // silent offset 0.
    // Quick conversions finish before a progress dialog would be worth showing: it is made only when
    // the work has lasted a moment, so that a small file costs no more than on the command line.
    QElapsedTimer elapsed;
    elapsed.start();
    const BinaryOffsetQuestion askOffset = [this, &elapsed]() -> std::optional<quint64> {
        const std::optional<int> typed =
            dialogs().askInteger(this, tr("Смещение"), tr("Задайте смещение"), 0, 0, 2000000000, 1);
        elapsed.restart(); // the time spent typing is not work
        if (!typed)
            return std::nullopt;
        return offsetFromTypedDigits(*typed);
    };
    std::unique_ptr<QProgressDialog> progress;
    ConversionOptions options;
    options.progress = [&](qint64 done, qint64 total) {
        if (!progress) {
            if (elapsed.elapsed() < conversionProgressDelayMs) {
                // Keep the window painted meanwhile, without taking clicks that could start another
                // conversion.
                QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
                return;
            }
            progress = std::make_unique<QProgressDialog>(tr("Конвертация..."), tr("Отмена"), 0, 100, this);
            progress->setWindowModality(Qt::WindowModal);
            progress->setMinimumDuration(0);
            progress->setAutoClose(false);
            progress->setAutoReset(false);
        }
        progress->setValue(total > 0 ? static_cast<int>(done * 100 / total) : 0);
    };
    options.cancelRequested = [&progress]() {
        return progress && progress->wasCanceled();
    };
    const ConversionResult result = convertFile(path, askOffset, options);
    if (progress) {
        progress->setValue(100);
        progress->close();
        progress.reset();
    }

    if (result.cancelled)
        return;
    if (!result.ok) {
        dialogs().message(MessageKind::Critical, ReportTitle::error(), result.errorText);
        return;
    }
    for (const QString &warning : result.warnings)
        dialogs().message(MessageKind::Warning, ReportTitle::warning(), warning);
    dialogs().message(MessageKind::Information, tr("Конвертация"), tr("Процесс завершен."));
}
