#include "mainwindow/mainwindow.h"

#include <QProgressDialog>

#include "assembly/binaryassembler.h"
#include "assembly/loraassembler.h"
#include "assembly/offsetparser.h"
#include "mainwindow/userdialogs.h"
#include "ui_mainwindow.h"

namespace {

QString firstItemText(const QListWidget *list)
{
    return list->count() > 0 ? list->item(0)->text() : QString();
}

} // namespace

bool MainWindow::assembleLoRa()
{
    LoRaJob job;
    // Each offset is named in an error by the label the user sees beside it.
    const struct {
        const QLabel *label;
        const QLineEdit *edit;
        qint64 *offset;
    } offsetFields[] = {
        {ui->label_20, ui->LoRaComboOffsetBOOT, &job.bootOffset},
        {ui->label_21, ui->LoRaComboOffsetLoRa, &job.loraMacOffset},
        {ui->label_22, ui->LoRaComboOffsetApp, &job.appOffset},
        {ui->label_23, ui->LoRaComboOffset_lora_region, &job.regionFieldOffset},
        {ui->label_24, ui->LoRaComboOffsetFW, &job.fwFieldOffset},
    };
    for (const auto &field : offsetFields) {
        const std::optional<qint64> offset =
            parseOffsetField(field.label->text().simplified(), field.edit->text(), m_dialogs);
        if (!offset)
            return false;
        *field.offset = *offset;
    }
    job.bootPath = bootFiles.value(0);
    job.loraMacPaths = loraMacFiles;
    job.appPaths = appFiles;
    job.outputDir = firstItemText(ui->LoRaComboRelease);
    job.nameTemplate = ui->LoRaTemplateName->text();

    const LoRaResult result = assembleLoRaImages(job, m_dialogs);
    if (!result.images.isEmpty())
        releaseBaseName = result.images.last().releaseBaseName;
    if (result.succeeded)
        lastImagePath = result.images.last().path;
    return result.succeeded;
}

void MainWindow::LoRa_Start_Assembler()
{
    assembleLoRa();
}

void MainWindow::Binary_Start_Assembling()
{
    const QComboBox *const paths[] = {ui->BinaryComboFile1, ui->BinaryComboFile2, ui->BinaryComboFile3,
                                      ui->BinaryComboFile4, ui->BinaryComboFile5, ui->BinaryComboFile6};
    const QLineEdit *const offsets[] = {ui->BinaryOffsetFile1, ui->BinaryOffsetFile2, ui->BinaryOffsetFile3,
                                        ui->BinaryOffsetFile4, ui->BinaryOffsetFile5, ui->BinaryOffsetFile6};
    BinaryJob job;
    // "Сборка по смещениям" checked: each piece at its own offset; unchecked: one after another.
    job.sequential = !ui->BinarySequentAssenbl->isChecked();
    for (int slot = 0; slot < binaryChecks.size(); ++slot) {
        BinarySlot file;
        file.enabled = binaryChecks[slot]->isChecked();
        file.path = paths[slot]->currentText();
        // Offsets of pieces that take no part, or follow one another, are never read.
        if (file.enabled && !job.sequential) {
            const std::optional<qint64> offset = parseOffsetField(
                ui->label_15->text().simplified() + QStringLiteral(" (Файл %1)").arg(slot + 1),
                offsets[slot]->text(), m_dialogs);
            if (!offset)
                return;
            file.offset = *offset;
        }
        job.files.append(file);
    }
    QString extension = binaryReleaseFilter;
    extension.remove(QLatin1Char('*'));
    job.outputDir = firstItemText(ui->BinaryReleaseCombo);
    job.fileName = ui->BinaryTemplateNameRelease->text() + extension;
    job.hexOutput = extension.compare(QLatin1String(".hex"), Qt::CaseInsensitive) == 0;

    QProgressDialog progress(QStringLiteral("Идет процесс сборки..."), QStringLiteral("Отмена"), 0, 100,
                             this);
    progress.setWindowModality(Qt::WindowModal);
    progress.setMinimumDuration(0);
    progress.setValue(0);
    progress.show();
    assembleBinaryImage(job, m_dialogs, [&progress](qint64 done, qint64 total) {
        progress.setValue(total > 0 ? int(done * 100 / total) : 100);
    });
}
