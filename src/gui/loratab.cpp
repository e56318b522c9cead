#include "loratab.h"

#include <utility>

#include <QDir>

#include "flashdialog.h"
#include "flashfield.h"
#include "imagebuild.h"
#include "jobrunner.h"
#include "offsetparser.h"
#include "pathwidgets.h"
#include "programmercommands.h"
#include "settingskeys.h"
#include "sourcefiles.h"
#include "sourcescan.h"
#include "tabjobs.h"
#include "ui_mainwindow.h"
#include "userdialogs.h"

LoRaTab::LoRaTab(Ui::MainWindow &ui, QWidget *window, UserDialogs &dialogs, JobRunner &jobs)
    : SettingsTab(TemplateKind::LoRa, ui.LoRaNameWrtSettings, ui.LoRaListFileSettings, dialogs), ui(ui),
      m_window(window), m_dialogs(dialogs), m_jobs(jobs)
{
    m_sources[Boot] = {ui.LoRaSearchBOOT, ui.LoRaComboBOOT, ui.LoRaFoundFilesBOOT,
                       ui.LoRaBINBOOT,    ui.LoRaHEXBOOT,   QStringLiteral("Bootloader Directory")};
    m_sources[LoRaMac] = {ui.LoRaSearchLoraMAC, ui.LoRaComboLoraMAC, ui.LoRaFoundFilesLoraMAC,
                          ui.LoRaBINLoraMAC,    ui.LoRaHEXLoraMAC,   QStringLiteral("LoRaMAC Directory")};
    m_sources[App] = {ui.LoRaSearchApp, ui.LoRaComboApp, ui.LoRaFoundFilesApp,
                      ui.LoRaBINApp,    ui.LoRaHEXApp,   QStringLiteral("App Directory")};

    const QString shortcutHint =
        QStringLiteral("CTRL + G - Сборка, \n"
                       "ALT + G - Сборка и прошивка(только с одним выходным файлом)");
    ui.LoRaAssembling->setToolTip(shortcutHint);
    ui.LoRaRunFirmware->setToolTip(shortcutHint);
    ui.LoRaLoRaMACInName->setText(QString());
    ui.Converter_3->setEnabled(false);
}

LoRaTab::~LoRaTab() = default;

QString LoRaTab::filterOf(Source source) const
{
    QString filter = LoRaSettings::extensionFilter(m_sources[source].hexRadio->isChecked());
    if (source == LoRaMac && ui.LoRaLoRaMACInName->checkState() != Qt::Unchecked)
        filter.prepend(LoRaSettings::loraMacNamePattern());
    return filter;
}

LoRaSettings LoRaTab::settings() const
{
    LoRaSettings settings;
    settings.pathToBoot = PathWidgets::storedPath(ui.LoRaComboBOOT);
    settings.pathToLoRa = PathWidgets::storedPath(ui.LoRaComboLoraMAC);
    settings.pathToApp = PathWidgets::storedPath(ui.LoRaComboApp);
    settings.pathToRelease = PathWidgets::storedRow(ui.LoRaComboRelease);
    settings.offsetWrtBoot = ui.LoRaComboOffsetBOOT->text();
    settings.offsetWrtFmwLora = ui.LoRaComboOffsetLoRa->text();
    settings.offsetWrtFmw = ui.LoRaComboOffsetApp->text();
    settings.offsetSrchNameLora = ui.LoRaComboOffset_lora_region->text();
    settings.offsetSrchNameFmw = ui.LoRaComboOffsetFW->text();
    settings.templateName = PathWidgets::storedText(ui.LoRaTemplateName);
    settings.bootFilter = filterOf(Boot);
    settings.loraMacFilter = filterOf(LoRaMac);
    settings.appFilter = filterOf(App);
    settings.flashSize = m_flashSize;
    return settings;
}

void LoRaTab::showSettings(const LoRaSettings &settings)
{
    const QString *filters[] = {&settings.bootFilter, &settings.loraMacFilter, &settings.appFilter};
    const QString *directories[] = {&settings.pathToBoot, &settings.pathToLoRa, &settings.pathToApp};
    {
        // The name option's own signal would search the LoRaMAC directory before its path is shown.
        const QSignalBlocker blocker(ui.LoRaLoRaMACInName);
        ui.LoRaLoRaMACInName->setChecked(
            settings.loraMacFilter.startsWith(LoRaSettings::loraMacNamePattern()));
    }
    for (const Source source : {Boot, LoRaMac, App}) {
        const bool hex = filters[source]->endsWith(QLatin1String(".hex"));
        (hex ? m_sources[source].hexRadio : m_sources[source].binRadio)->setChecked(true);
        PathWidgets::replaceItems(m_sources[source].directory, *directories[source]);
        search(source, *directories[source]);
    }
    PathWidgets::replaceRows(ui.LoRaComboRelease, settings.pathToRelease);
    ui.LoRaComboOffsetBOOT->setText(settings.offsetWrtBoot);
    ui.LoRaComboOffsetLoRa->setText(settings.offsetWrtFmwLora);
    ui.LoRaComboOffsetApp->setText(settings.offsetWrtFmw);
    ui.LoRaComboOffset_lora_region->setText(settings.offsetSrchNameLora);
    ui.LoRaComboOffsetFW->setText(settings.offsetSrchNameFmw);
    PathWidgets::showText(ui.LoRaTemplateName, settings.templateName);
    m_flashSize = settings.flashSize;
}

void LoRaTab::search(Source source, const QString &directory, Announce announce)
{
    SourceRow &row = m_sources[source];
    const QStringList leftOutBefore = std::exchange(row.leftOut, QStringList());
    row.found->clear();
    row.files.clear();
    // Listed with full paths, whichever way the directory is kept.
    const QString scanned =
        directory.isEmpty() ? directory : QDir::cleanPath(QDir::current().absoluteFilePath(directory));
    // Off the window's thread, with a progress dialog and "Отмена" once it has lasted a second.
    constexpr int ProgressDelayMs = 1000;
    const QString filter = filterOf(source);
    SourceScan scan = m_jobs.run(
        QStringLiteral("Поиск файлов в %1").arg(directory),
        [&](JobRun &run, UserDialogs &) { return scanLoRaSource(scanned, filter, run); }, ProgressDelayMs);
    for (const ScannedSourceFile &file : scan.files) {
        // A file left out keeps its row, without a name.
        auto *item = new QTreeWidgetItem(row.found);
        if (!file.accepted) {
            row.leftOut.append(file.path);
            // Looked up again before a build, a file already announced is not announced again.
            if (announce == Announce::NewlyLeftOut && leftOutBefore.contains(file.path))
                scan.problems.removeOne(SourceText::intelHexLeftOut(file.path));
            continue;
        }
        row.files.append(file.path);
        item->setText(0, file.path.mid(file.path.lastIndexOf(QLatin1Char('/')) + 1));
    }
    // However many files it left out, one search brings up one box.
    if (!scan.problems.isEmpty())
        m_dialogs.message(MessageKind::Warning, ReportTitle::warning(),
                          SourceText::scanProblems(scan.problems));
}

void LoRaTab::searchAgain()
{
    for (const Source source : {Boot, LoRaMac, App})
        search(source, m_sources[source].directory->currentText(), Announce::NewlyLeftOut);
}

void LoRaTab::chooseDirectory(QObject *button)
{
    for (const Source source : {Boot, LoRaMac, App}) {
        const SourceRow &row = m_sources[source];
        if (button != row.search)
            continue;
        const QString chosen = m_dialogs.chooseDirectory(row.caption, row.directory->currentText());
        if (chosen.isEmpty())
            return;
        const QString directory = PathWidgets::storedDirectory(chosen);
        PathWidgets::replaceItems(row.directory, directory);
        search(source, directory);
        return;
    }
    if (button == ui.LoRaSearchRelease)
        PathWidgets::chooseReleaseDirectory(m_dialogs, ui.LoRaComboRelease);
}

void LoRaTab::extensionChosen(Source source)
{
    search(source, m_sources[source].directory->currentText());
}

void LoRaTab::loraMacNameOptionChanged(int state)
{
    // A box the user cannot set to "partly" has nothing to say in that state.
    if (state == Qt::PartiallyChecked)
        return;
    search(LoRaMac, m_sources[LoRaMac].directory->currentText());
}

QString LoRaTab::offsetFieldName(const QString &key) const
{
    using namespace SettingsKeys;
    // Each offset is named in an error by the label the user sees beside it.
    const std::pair<QString, const QLabel *> labels[] = {
        {loraOffsetWrtBoot(), ui.label_20},     {loraOffsetWrtFmwLora(), ui.label_21},
        {loraOffsetWrtFmw(), ui.label_22},      {loraOffsetSrchNameLora(), ui.label_23},
        {loraOffsetSrchNameFmw(), ui.label_24},
    };
    for (const auto &[labelKey, label] : labels) {
        if (labelKey == key)
            return label->text().simplified();
    }
    return flashFieldName(key);
}

MemoryMapSet LoRaTab::memoryMaps() const
{
    const JobFromSettings<LoRaJob> made =
        loraJobFrom(settings(), {m_sources[Boot].files, m_sources[LoRaMac].files, m_sources[App].files});
    return memoryMapsOfMade(made, made.ok() ? QString() : offsetFieldName(made.invalidOffset->key));
}

bool LoRaTab::assemble()
{
    return buildImages().has_value();
}

QString LoRaTab::unsetField() const
{
    const QGroupBox *groups[] = {ui.LoRaBOOTGroup, ui.LoRaLoraMACGroup, ui.LoRaAppGroup};
    for (const Source source : {Boot, LoRaMac, App}) {
        if (m_sources[source].directory->currentText().isEmpty())
            return UnsetField::directoryInGroup(groups[source]->title());
    }
    if (PathWidgets::firstRow(ui.LoRaComboRelease).isEmpty())
        return UnsetField::directoryInField(ui.label_5->text());
    if (ui.LoRaTemplateName->text().trimmed().isEmpty())
        return UnsetField::nameInField(ui.label->text());
    return QString();
}

std::optional<QStringList> LoRaTab::buildImages()
{
    if (const QString unset = unsetField(); !unset.isEmpty()) {
        m_dialogs.message(MessageKind::Warning, ReportTitle::warning(), unset);
        return std::nullopt;
    }
    // A file added to or removed from a directory since it was chosen counts.
    searchAgain();
    const JobFromSettings<LoRaJob> made =
        loraJobFrom(settings(), {m_sources[Boot].files, m_sources[LoRaMac].files, m_sources[App].files});
    if (!made.ok()) {
        m_dialogs.message(MessageKind::Critical, ReportTitle::error(),
                          made.invalidOffset->message(offsetFieldName(made.invalidOffset->key)));
        return std::nullopt;
    }
    const std::optional<QStringList> built =
        planAndBuild([&made](JobRun &run) { return planImages(made.job, run); }, m_jobs, m_dialogs);
    if (!built)
        return std::nullopt;
    // Of several images none is "the image just built": the flash button then asks which one.
    m_lastImagePath = built->size() == 1 ? built->first() : QString();
    return built.value();
}

void LoRaTab::assembleAndFlash()
{
    // Only the one image of this run goes to the board: not an older image after a failed run, nor
    // one picked out of several.
    const std::optional<QStringList> images = buildImages();
    if (!images)
        return;
    if (images->size() == 1) {
        flash();
        return;
    }
    m_dialogs.message(
        MessageKind::Warning, ReportTitle::warning(),
        QStringLiteral("Собрано образов: %1. Склейка с последующей прошивкой работает только для "
                       "одной прошивки, поэтому ничего не прошито.")
            .arg(images->size()));
}

void LoRaTab::flash()
{
    // One programmer at a time: the board is attached once.
    if (m_flashDialog && m_flashDialog->isRunning())
        return;

    if (m_lastImagePath.isEmpty()) {
        m_lastImagePath =
            m_dialogs.chooseFile(QStringLiteral("Выберете прошивку"),
                                 PathWidgets::firstRow(ui.LoRaComboRelease), QStringLiteral("*.bin *.hex"));
    }
    // A cancelled chooser is the user's own answer: nothing more to say.
    if (m_lastImagePath.isEmpty())
        return;
    // Whatever happens now, the next press asks for a file again.
    const QString image = std::exchange(m_lastImagePath, QString());

    const FlashPlan plan = ProgrammerCommands::planFlashing(image);
    if (!plan.ok()) {
        m_dialogs.message(MessageKind::Critical, ReportTitle::error(), plan.error);
        return;
    }
    if (m_flashDialog)
        m_flashDialog->close();

    m_flashDialog = new FlashDialog(m_window, m_dialogs);
    connect(m_flashDialog, &FlashDialog::flashingFinished, this,
            [this](ProgrammerRunner::Outcome outcome, const QString &message) {
                if (outcome == ProgrammerRunner::Outcome::Succeeded)
                    m_dialogs.message(MessageKind::Information, ReportTitle::complete(), message);
                else if (outcome == ProgrammerRunner::Outcome::Cancelled ||
                         outcome == ProgrammerRunner::Outcome::SucceededWithErrors)
                    m_dialogs.message(MessageKind::Warning, ReportTitle::warning(), message);
                else
                    m_dialogs.message(MessageKind::Critical, ReportTitle::error(), message);
            });
    m_flashDialog->open();
    m_flashDialog->start(plan);
}
