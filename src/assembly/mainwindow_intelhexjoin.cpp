#include "mainwindow/mainwindow.h"

#include <QProgressDialog>

#include "assembly/assemblymessages.h"
#include "assembly/intelhexjoin.h"
#include "mainwindow/userdialogs.h"
#include "ui_mainwindow.h"

void MainWindow::IntelHEX_Start_Assembling()
{
    // The sources in join order; intelHexChecks holds their check boxes in the same order.
    const QComboBox *const sources[] = {ui->IntelHEXComboBOOT,
                                        ui->IntelHEXComboApp,
                                        ui->IntelHEXComboMain,
                                        ui->IntelHEXAdditionalFile1Combo,
                                        ui->IntelHEXAdditionalFile2Combo,
                                        ui->IntelHEXAdditionalFile3Combo};
    IntelHexJoinJob job;
    for (int slot = 0; slot < intelHexChecks.size(); ++slot) {
        if (intelHexChecks[slot]->isChecked())
            job.sources << sources[slot]->currentText();
    }
    job.outputDir =
        ui->IntelHEXReleaseDirrect->count() > 0 ? ui->IntelHEXReleaseDirrect->item(0)->text() : QString();
    job.fileName = ui->IntelHEXTemplFileName->text() + QStringLiteral(".hex");

    if (job.sources.isEmpty()) {
        joinIntelHexFiles(job, m_dialogs);
        return;
    }
    QProgressDialog progress(QStringLiteral("Идет процесс сборки..."), QStringLiteral("Отмена"), 0,
                             static_cast<int>(job.sources.size()), this);
    progress.setWindowModality(Qt::WindowModal);
    progress.setAutoReset(false);
    progress.setMinimumDuration(0);
    progress.setValue(0);
    job.cancelled = [&progress] {
        return progress.wasCanceled();
    };
    const IntelHexJoinResult result =
        joinIntelHexFiles(job, m_dialogs, [&progress](qint64 done, qint64) { progress.setValue(int(done)); });
    progress.close();
    if (result.succeeded())
        m_dialogs.message(MessageKind::Information, ReportTitle::complete(), AssemblyText::finished());
}
