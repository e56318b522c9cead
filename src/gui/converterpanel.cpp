#include "gui/converterpanel.h"

#include "gui/conversionprogress.h"
#include "gui/userdialogs.h"
#include "hex/converter.h"
#include "ui_mainwindow.h"

ConverterPanel::ConverterPanel(Ui::MainWindow &ui, QWidget *window, UserDialogs &dialogs)
    : ui(ui), m_window(window), m_dialogs(dialogs)
{}

void ConverterPanel::convert(QObject *button)
{
    const bool binaryWanted = button == ui.Converter2IntelHEX || ui.Converter2IntelHEX->isDown();
    const QString filter = binaryWanted ? QStringLiteral("*.bin") : QStringLiteral("*.hex");
    const QString path =
        m_dialogs.chooseFile(nullptr, tr("Выберите файл для конвертации"), QStringLiteral("."), filter);
    if (path.isEmpty()) {
        m_dialogs.message(MessageKind::Warning, tr("Файл не выбран!"), tr("Выберите файл для конвертации."));
        return;
    }

    // The content decides the direction, whichever button was pressed; the offset is asked for only
    // when the file turns out to be binary. A cancelled offset is a cancelled conversion, not a
    // silent offset 0.
    ConversionProgress progress(m_window);
    const BinaryOffsetQuestion askOffset = [this, &progress]() -> std::optional<quint64> {
        const std::optional<int> typed =
            m_dialogs.askInteger(m_window, tr("Смещение"), tr("Задайте смещение"), 0, 0, 2000000000, 1);
        progress.restartClock(); // the time spent typing is not work
        if (!typed)
            return std::nullopt;
        return offsetFromTypedDigits(*typed);
    };
    ConversionOptions options;
    progress.watch(options);
    const ConversionResult result = convertFile(path, askOffset, options);
    progress.finish();

    if (result.cancelled)
        return;
    if (!result.ok) {
        m_dialogs.message(MessageKind::Critical, ReportTitle::error(), result.errorText);
        return;
    }
    for (const QString &warning : result.warnings)
        m_dialogs.message(MessageKind::Warning, ReportTitle::warning(), warning);
    m_dialogs.message(MessageKind::Information, tr("Конвертация"), tr("Процесс завершен."));
}
