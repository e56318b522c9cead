#include "templatelist.h"

#include <QDir>
#include <QLineEdit>
#include <QListWidget>
#include <QSettings>

#include "settingsfile.h"
#include "userdialogs.h"

namespace {

TemplateStore workingDirectoryTemplates()
{
    return TemplateStore(QDir::currentPath());
}

} // namespace

TemplateList::TemplateList(TemplateKind kind, QLineEdit *nameEdit, QListWidget *list, UserDialogs &dialogs,
                           Transfer saveTab, Transfer loadTab)
    : m_kind(kind), m_nameEdit(nameEdit), m_list(list), m_dialogs(dialogs), m_saveTab(std::move(saveTab)),
      m_loadTab(std::move(loadTab))
{}

void TemplateList::refresh()
{
    m_list->addItems(workingDirectoryTemplates().list(m_kind));
}

void TemplateList::save()
{
    const QString name = m_nameEdit->text();
    const QString problem = TemplateStore::nameProblem(name);
    if (!problem.isEmpty()) {
        m_dialogs.message(MessageKind::Warning, ReportTitle::warning(), problem);
        return;
    }
    const TemplateStore templates = workingDirectoryTemplates();
    if (templates.save(name, m_kind, m_saveTab)) {
        m_nameEdit->clear();
    } else {
        m_dialogs.message(MessageKind::Warning, ReportTitle::warning(),
                          templates.pathOf(name + TemplateStore::extension(m_kind)) +
                              QStringLiteral(": не удалось сохранить шаблон."));
    }
    m_list->clear();
    refresh();
}

void TemplateList::select(QListWidgetItem *item)
{
    if (item)
        m_nameEdit->setText(TemplateStore::nameOf(item->text(), m_kind));
}

void TemplateList::load(QListWidgetItem *item)
{
    if (!item)
        return;
    const QString path = workingDirectoryTemplates().pathOf(item->text());
    SettingsFile::Reader reader(path);
    if (!reader.problem().isEmpty()) {
        m_dialogs.message(MessageKind::Warning, ReportTitle::warning(),
                          QStringLiteral("%1: шаблон не загружен: %2.").arg(path, reader.problem()));
        return;
    }
    m_loadTab(reader.store());
    m_nameEdit->setText(TemplateStore::nameOf(item->text(), m_kind));
}
