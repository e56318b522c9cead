#include "converterpanel.h"

#include <QDir>
#include <QFileInfo>

#include "converter.h"
#include "hexnumber.h"
#include "hexnumbervalidator.h"
#include "hextext.h"
#include "jobrunner.h"
#include "ui_mainwindow.h"
#include "userdialogs.h"

ConverterPanel::ConverterPanel(Ui::MainWindow &ui, QWidget *window, UserDialogs &dialogs, JobRunner &jobs)
    : ui(ui), m_window(window), m_dialogs(dialogs), m_jobs(jobs)
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
    std::optional<quint64> chosenOffset;
    const HexNumberValidator hexAddress(LargestLoadAddress);
    const Result<Conversion> result =
        m_jobs.run(tr("Конвертация..."), [&](JobRun &run, UserDialogs &dialogs) {
            const BinaryOffsetQuestion askOffset = [&]() -> std::optional<quint64> {
                const std::optional<QString> typed = dialogs.askText(
                    tr("Смещение"),
                    tr("Задайте смещение: адрес первого байта, шестнадцатеричный (например 0x08000000)"),
                    QStringLiteral("0x"), &hexAddress);
                if (typed)
                    chosenOffset = HexNumber::parse(*typed, LargestLoadAddress);
                return chosenOffset;
            };
            ConversionOptions options;
            options.expectedInput = binaryWanted ? InputFormat::Binary : InputFormat::IntelHex;
            options.confirmReplace = [&dialogs](const QString &outputPath) {
                return dialogs.ask(
                    ReportTitle::warning(),
                    tr("Файл %1 уже существует. Заменить?").arg(QDir::toNativeSeparators(outputPath)));
            };
            return convertFile(path, askOffset, options, run);
        });
    if (!m_jobs.wasCancelled())
        showOutcome(result, chosenOffset);
}

void ConverterPanel::showOutcome(const Result<Conversion> &result, std::optional<quint64> chosenOffset)
{
    if (!result) {
        m_dialogs.message(MessageKind::Critical, ReportTitle::error(), result.problems().first().toString());
        return;
    }
    for (const Problem &warning : result.problems())
        m_dialogs.message(MessageKind::Warning, ReportTitle::warning(), warning.toString());
    QString done = tr("Процесс завершен.");
    if (chosenOffset)
        done += QLatin1Char('\n') + tr("Адрес первого байта: %1.").arg(HexText::address(*chosenOffset));
    done += QLatin1Char('\n') + tr("Файл: %1").arg(QDir::toNativeSeparators(result->outputPath));
    m_dialogs.message(MessageKind::Information, tr("Конвертация"), done);
}
