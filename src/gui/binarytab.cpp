#include "binarytab.h"

#include "flashfield.h"
#include "imagebuild.h"
#include "jobrunner.h"
#include "offsetparser.h"
#include "pathwidgets.h"
#include "settingskeys.h"
#include "sourcefiles.h"
#include "tabjobs.h"
#include "ui_mainwindow.h"
#include "userdialogs.h"

BinaryTab::BinaryTab(Ui::MainWindow &ui, QWidget *window, UserDialogs &dialogs, JobRunner &jobs)
    : SettingsTab(TemplateKind::Binary, ui.BinaryNameWrtSettings, ui.BinaryListFileSettings, dialogs), ui(ui),
      m_window(window), m_dialogs(dialogs), m_jobs(jobs)
{
    m_rows[0] = {ui.BinaryCheckFile1, ui.File1Group,     ui.BinaryComboFile1,       ui.BinaryOffsetFile1,
                 ui.BinaryBINFile1,   ui.BinaryHEXFile1, ui.BinarySearchButtonFile1};
    m_rows[1] = {ui.BinaryCheckFile2, ui.File2Group,     ui.BinaryComboFile2,       ui.BinaryOffsetFile2,
                 ui.BinaryBINFile2,   ui.BinaryHEXFile2, ui.BinarySearchButtonFile2};
    m_rows[2] = {ui.BinaryCheckFile3, ui.File3Group,     ui.BinaryComboFile3,       ui.BinaryOffsetFile3,
                 ui.BinaryBINFile3,   ui.BinaryHEXFile3, ui.BinarySearchButtonFile3};
    m_rows[3] = {ui.BinaryCheckFile4, ui.File4Group,     ui.BinaryComboFile4,       ui.BinaryOffsetFile4,
                 ui.BinaryBINFile4,   ui.BinaryHEXFile4, ui.BinarySearchButtonFile4};
    m_rows[4] = {ui.BinaryCheckFile5, ui.File5Group,     ui.BinaryComboFile5,       ui.BinaryOffsetFile5,
                 ui.BinaryBINFile5,   ui.BinaryHEXFile5, ui.BinarySearchButtonFile5};
    m_rows[5] = {ui.BinaryCheckFile6, ui.File6Group,     ui.BinaryComboFile6,       ui.BinaryOffsetFile6,
                 ui.BinaryBINFile6,   ui.BinaryHEXFile6, ui.BinarySearchButtonFile6};

    // A file row is usable exactly when it takes part in the assembly; its offset only when the
    // pieces go to their own offsets; its "Расширение" is that of the file shown.
    for (const FileRow &row : m_rows) {
        connect(row.check, &QAbstractButton::toggled, row.group, &QWidget::setEnabled);
        connect(row.path, &QComboBox::currentTextChanged, this, [row] { showExtensionOf(row); });
    }
    connect(ui.BinarySequentAssenbl, &QAbstractButton::toggled, this, &BinaryTab::enableOffsets);
}

void BinaryTab::showExtensionOf(const FileRow &row)
{
    const bool hex = row.path->currentText().endsWith(QLatin1String(".hex"), Qt::CaseInsensitive);
    (hex ? row.hexRadio : row.binRadio)->setChecked(true);
}

void BinaryTab::enableOffsets()
{
    for (const FileRow &row : m_rows)
        row.offset->setEnabled(ui.BinarySequentAssenbl->isChecked());
}

BinaryTab::~BinaryTab() = default;

BinarySettings BinaryTab::settings() const
{
    BinarySettings settings;
    for (int slot = 0; slot < 6; ++slot) {
        settings.pathFile[slot] = PathWidgets::storedPath(m_rows[slot].path);
        settings.offsetFile[slot] = m_rows[slot].offset->text();
        settings.enabled[slot] = m_rows[slot].check->isChecked();
    }
    settings.pathRelease = PathWidgets::storedRow(ui.BinaryReleaseCombo);
    settings.templateName = PathWidgets::storedText(ui.BinaryTemplateNameRelease);
    // "Сборка по смещениям" ticked: each piece at its own offset.
    settings.sequential = !ui.BinarySequentAssenbl->isChecked();
    settings.hexOutput = ui.BinaryHEXRelease->isChecked();
    settings.flashSize = m_flashSize;
    return settings;
}

void BinaryTab::showSettings(const BinarySettings &settings)
{
    // The settings' file is the one built; the lists keep offering the files shown before.
    for (int slot = 0; slot < 6; ++slot)
        PathWidgets::showPath(m_rows[slot].path, settings.pathFile[slot]);
    PathWidgets::replaceRows(ui.BinaryReleaseCombo, settings.pathRelease);
    for (int slot = 0; slot < 6; ++slot)
        m_rows[slot].offset->setText(settings.offsetFile[slot]);
    PathWidgets::showText(ui.BinaryTemplateNameRelease, settings.templateName);
    for (int slot = 0; slot < 6; ++slot) {
        m_rows[slot].check->setChecked(settings.enabled[slot]);
        m_rows[slot].group->setEnabled(settings.enabled[slot]);
    }
    ui.BinarySequentAssenbl->setChecked(!settings.sequential);
    enableOffsets();
    for (const FileRow &row : m_rows)
        showExtensionOf(row);
    (settings.hexOutput ? ui.BinaryHEXRelease : ui.BinaryBINRelease)->setChecked(true);
    m_flashSize = settings.flashSize;
}

void BinaryTab::forgetPaths()
{
    for (const FileRow &row : m_rows)
        row.path->clear();
}

void BinaryTab::chooseFile(QObject *button)
{
    for (int slot = 0; slot < 6; ++slot) {
        const FileRow &row = m_rows[slot];
        if (button != row.search)
            continue;
        const QString filter = row.hexRadio->isChecked() ? QStringLiteral("*.hex") : QStringLiteral("*.bin");
        const QString path = m_dialogs.chooseFile(QStringLiteral("File%1 Directory").arg(slot + 1),
                                                  row.path->currentText(), filter);
        if (path.isEmpty())
            return;
        if (isIntelHexFile(path)) {
            m_dialogs.message(MessageKind::Warning, SourceText::wrongFormatTitle(),
                              SourceText::isIntelHex(path));
            return;
        }
        PathWidgets::replaceItems(row.path, path);
        return;
    }
    if (button == ui.BinarySearchRelesae)
        PathWidgets::chooseReleaseDirectory(m_dialogs, ui.BinaryReleaseCombo);
}

QString BinaryTab::offsetFieldName(const QString &key) const
{
    for (int slot = 0; slot < 6; ++slot) {
        if (SettingsKeys::binaryOffsetFile(slot) == key)
            return ui.label_15->text().simplified() + QStringLiteral(" (Файл %1)").arg(slot + 1);
    }
    return flashFieldName(key);
}

MemoryMapSet BinaryTab::memoryMaps() const
{
    const JobFromSettings<BinaryJob> made = binaryJobFrom(settings());
    return memoryMapsOfMade(made, made.ok() ? QString() : offsetFieldName(made.invalidOffset->key));
}

QString BinaryTab::unsetField() const
{
    for (const FileRow &row : m_rows) {
        if (row.check->isChecked() && row.path->currentText().isEmpty())
            return UnsetField::fileInGroup(row.group->title());
    }
    if (PathWidgets::firstRow(ui.BinaryReleaseCombo).isEmpty())
        return UnsetField::directoryInField(ui.label_9->text());
    if (ui.BinaryTemplateNameRelease->text().trimmed().isEmpty())
        return UnsetField::nameInField(ui.label_8->text());
    return QString();
}

void BinaryTab::assemble()
{
    if (const QString unset = unsetField(); !unset.isEmpty()) {
        m_dialogs.message(MessageKind::Warning, ReportTitle::warning(), unset);
        return;
    }
    const JobFromSettings<BinaryJob> made = binaryJobFrom(settings());
    if (!made.ok()) {
        m_dialogs.message(MessageKind::Critical, ReportTitle::error(),
                          made.invalidOffset->message(offsetFieldName(made.invalidOffset->key)));
        return;
    }
    planAndBuild([&made](JobRun &run) { return planImages(made.job, run); }, m_jobs, m_dialogs);
}
