#include "intelhextab.h"

#include "flashfield.h"
#include "imagebuild.h"
#include "jobrunner.h"
#include "pathwidgets.h"
#include "sourcefiles.h"
#include "tabjobs.h"
#include "ui_mainwindow.h"
#include "userdialogs.h"

IntelHexTab::IntelHexTab(Ui::MainWindow &ui, QWidget *window, UserDialogs &dialogs, JobRunner &jobs)
    : SettingsTab(TemplateKind::IntelHex, ui.IntelHEXNameWrtSettings, ui.IntelHEXListFileSettings, dialogs),
      ui(ui), m_window(window), m_dialogs(dialogs), m_jobs(jobs)
{
    m_rows[0] = {ui.IntelHEXCheckBOOT, ui.IntelHEXBOOT, ui.IntelHEXComboBOOT, ui.IntelHEXSearchBOOT};
    m_rows[1] = {ui.IntelHEXCheckBOOT2, ui.IntelHEXAppBOOT, ui.IntelHEXComboApp, ui.IntelHEXSearchBOOTApp};
    m_rows[2] = {ui.IntelHEXCheckApp, ui.IntelHEXMainGroup, ui.IntelHEXComboMain, ui.IntelHEXSearchApp};
    m_rows[3] = {ui.IntelHEXCheckFile1, ui.IntelHEXAdditionalFile1, ui.IntelHEXAdditionalFile1Combo,
                 ui.IntelHEXSearchAddictFile1};
    m_rows[4] = {ui.IntelHEXCheckFile2, ui.IntelHEXAdditionalFile2, ui.IntelHEXAdditionalFile2Combo,
                 ui.IntelHEXSearchAddictFile2};
    m_rows[5] = {ui.IntelHEXCheckFile3, ui.IntelHEXAdditionalFile3, ui.IntelHEXAdditionalFile3Combo,
                 ui.IntelHEXSearchAddictFile3};
    for (const SourceRow &row : m_rows)
        connect(row.check, &QAbstractButton::toggled, row.group, &QWidget::setEnabled);
}

IntelHexTab::~IntelHexTab() = default;

IntelHexSettings IntelHexTab::settings() const
{
    IntelHexSettings settings;
    settings.pathBoot = PathWidgets::storedPath(m_rows[0].path);
    settings.pathApp = PathWidgets::storedPath(m_rows[1].path);
    settings.pathMain = PathWidgets::storedPath(m_rows[2].path);
    for (int file = 0; file < 3; ++file)
        settings.pathAddictFile[file] = PathWidgets::storedPath(m_rows[3 + file].path);
    settings.pathRelease = PathWidgets::storedRow(ui.IntelHEXReleaseDirrect);
    settings.templateName = PathWidgets::storedText(ui.IntelHEXTemplFileName);
    for (int slot = 0; slot < 6; ++slot)
        settings.enabled[slot] = m_rows[slot].check->isChecked();
    settings.flashSize = m_flashSize;
    settings.flashBase = m_flashBase;
    return settings;
}

void IntelHexTab::showSettings(const IntelHexSettings &settings)
{
    const std::array<QString, 6> paths = settings.sourcesInOrder();
    for (int slot = 0; slot < 6; ++slot)
        PathWidgets::showPath(m_rows[slot].path, paths[slot]);
    PathWidgets::replaceRows(ui.IntelHEXReleaseDirrect, settings.pathRelease);
    PathWidgets::showText(ui.IntelHEXTemplFileName, settings.templateName);
    for (int slot = 0; slot < 6; ++slot) {
        m_rows[slot].check->setChecked(settings.enabled[slot]);
        m_rows[slot].group->setEnabled(settings.enabled[slot]);
    }
    m_flashSize = settings.flashSize;
    m_flashBase = settings.flashBase;
}

void IntelHexTab::forgetPaths()
{
    for (const SourceRow &row : m_rows)
        row.path->clear();
}

void IntelHexTab::chooseFile(QObject *button)
{
    for (int slot = 0; slot < 6; ++slot) {
        const SourceRow &row = m_rows[slot];
        if (button != row.search)
            continue;
        const QString path = m_dialogs.chooseFile(QStringLiteral("File%1 Directory").arg(slot + 1),
                                                  row.path->currentText(), QStringLiteral("*.hex"));
        if (path.isEmpty())
            return;
        if (!isIntelHexFile(path)) {
            m_dialogs.message(MessageKind::Warning, SourceText::wrongFormatTitle(),
                              SourceText::isNotIntelHex(path));
            return;
        }
        PathWidgets::replaceItems(row.path, path);
        return;
    }
    if (button == ui.IntelHEXSearchReleaseButton)
        PathWidgets::chooseReleaseDirectory(m_dialogs, ui.IntelHEXReleaseDirrect);
}

MemoryMapSet IntelHexTab::memoryMaps() const
{
    const JobFromSettings<IntelHexJoinJob> made = intelHexJobFrom(settings());
    return memoryMapsOfMade(made, made.ok() ? QString() : flashFieldName(made.invalidOffset->key));
}

QString IntelHexTab::unsetField() const
{
    for (const SourceRow &row : m_rows) {
        if (row.check->isChecked() && row.path->currentText().isEmpty())
            return UnsetField::fileInGroup(row.group->title());
    }
    if (PathWidgets::firstRow(ui.IntelHEXReleaseDirrect).isEmpty())
        return UnsetField::directoryInField(ui.label_11->text());
    if (ui.IntelHEXTemplFileName->text().trimmed().isEmpty())
        return UnsetField::nameInField(ui.label_10->text());
    return QString();
}

void IntelHexTab::assemble()
{
    if (const QString unset = unsetField(); !unset.isEmpty()) {
        m_dialogs.message(MessageKind::Warning, ReportTitle::warning(), unset);
        return;
    }
    const JobFromSettings<IntelHexJoinJob> made = intelHexJobFrom(settings());
    if (!made.ok()) {
        m_dialogs.message(MessageKind::Critical, ReportTitle::error(),
                          made.invalidOffset->message(flashFieldName(made.invalidOffset->key)));
        return;
    }
    // The files are read while planning: the progress and "Отмена" cover that too.
    planAndBuild([&made](JobRun &run) { return planImages(made.job, run); }, m_jobs, m_dialogs);
}
