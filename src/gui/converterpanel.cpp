#include "converterpanel.h"

#include <QDir>
#include <QFileInfo>

#include "conversionprogress.h"
#include "converter.h"
#include "hexnumber.h"
#include "hexnumbervalidator.h"
#include "hextext.h"
#include "ui_mainwindow.h"
#include "userdialogs.h"

ConverterPanel::ConverterPanel(Ui::MainWindow &ui, QWidget *window, UserDialogs &dialogs)
    : ui(ui), m_window(window), m_dialogs(dialogs)
{}

void ConverterPanel::convert(QObject *button)
{
    const bool binaryWanted = button == ui.Converter2IntelHEX || ui.Converter2IntelHEX->isDown();
    const QString filter = binaryWanted ? QStringLiteral("*.bin") : QStringLiteral("*.hex");
    const QString path =
        m_dialogs.chooseFile(tr("Выберите файл для конвертации"), QStringLiteral("."), filter);
    if (path.isEmpty()) {
        m_dialogs.message(MessageKind::Warning, tr("Файл не выбран!"), tr("Выберите файл для конвертации."));
        return;
    }

    // The button pressed says what the file is: "IntelHEX to BIN" reads it as Intel HEX (a file that
    // is not gets the reader's error, naming its line), "BIN to IntelHEX" takes binaries only. The
    // offset is asked for a binary only. A cancelled question is a cancelled conversion, never a
    // silent offset 0 or a silently replaced file.
    ConversionProgress progress(m_window);
    std::optional<quint64> chosenOffset;
    const HexNumberValidator hexAddress(LargestLoadAddress);
    const BinaryOffsetQuestion askOffset = [&]() -> std::optional<quint64> {
        const std::optional<QString> typed = m_dialogs.askText(
            tr("Смещение"),
            tr("Задайте смещение: адрес первого байта, шестнадцатеричный (например 0x08000000)"),
            QStringLiteral("0x"), &hexAddress);
        progress.restartClock(); // the time spent typing is not work
        if (typed)
            chosenOffset = HexNumber::parse(*typed, LargestLoadAddress);
        return chosenOffset;
    };
    ConversionOptions options;
    options.expectedInput = binaryWanted ? InputFormat::Binary : InputFormat::IntelHex;
    progress.watch(options);
    options.confirmReplace = [&](const QString &outputPath) {
        const bool replace =
            m_dialogs.ask(ReportTitle::warning(),
                          tr("Файл %1 уже существует. Заменить?").arg(QDir::toNativeSeparators(outputPath)));
        progress.restartClock();
        return replace;
    };
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
    QString done = tr("Процесс завершен.");
    if (chosenOffset)
        done += QLatin1Char('\n') + tr("Адрес первого байта: %1.").arg(HexText::address(*chosenOffset));
    done += QLatin1Char('\n') + tr("Файл: %1").arg(QDir::toNativeSeparators(result.outputPath));
    m_dialogs.message(MessageKind::Information, tr("Конвертация"), done);
}
