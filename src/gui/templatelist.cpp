#include "templatelist.h"

#include <QAction>
#include <QDir>
#include <QKeyEvent>
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

QString quoted(const QString &name)
{
    return QLatin1Char('"') + name + QLatin1Char('"');
}

} // namespace

TemplateList::TemplateList(TemplateKind kind, QLineEdit *nameEdit, QListWidget *list, UserDialogs &dialogs,
                           Transfer saveTab, Transfer loadTab)
    : m_kind(kind), m_nameEdit(nameEdit), m_list(list), m_dialogs(dialogs), m_saveTab(std::move(saveTab)),
      m_loadTab(std::move(loadTab))
{
    m_list->installEventFilter(this);
    addMenu();
}

void TemplateList::addMenu()
{
    auto *remove = new QAction(QStringLiteral("Удалить"), m_list);
    auto *rename = new QAction(QStringLiteral("Переименовать"), m_list);
    connect(remove, &QAction::triggered, this, &TemplateList::removeCurrent);
    connect(rename, &QAction::triggered, this, &TemplateList::renameCurrent);
    m_list->addActions({remove, rename});
    m_list->setContextMenuPolicy(Qt::ActionsContextMenu);
    const auto enable = [remove, rename](QListWidgetItem *current) {
        remove->setEnabled(current);
        rename->setEnabled(current);
    };
    connect(m_list, &QListWidget::currentItemChanged, this, enable);
    enable(nullptr);
}

bool TemplateList::eventFilter(QObject *watched, QEvent *event)
{
    if (watched != m_list || event->type() != QEvent::KeyPress)
        return false;
    switch (static_cast<QKeyEvent *>(event)->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
    case Qt::Key_Space:
        load(m_list->currentItem());
        return true;
    case Qt::Key_Delete:
        removeCurrent();
        return true;
    default:
        return false;
    }
}

void TemplateList::refresh()
{
    m_list->addItems(workingDirectoryTemplates().list(m_kind));
}

void TemplateList::relist()
{
    m_list->clear();
    refresh();
}

void TemplateList::warn(const QString &text)
{
    m_dialogs.message(MessageKind::Warning, ReportTitle::warning(), text);
}

void TemplateList::save()
{
    const QString name = m_nameEdit->text();
    const QString problem = TemplateStore::nameProblem(name);
    if (!problem.isEmpty()) {
        warn(problem);
        return;
    }
    const TemplateStore templates = workingDirectoryTemplates();
    if (templates.exists(name, m_kind) &&
        !m_dialogs.ask(ReportTitle::warning(),
                       QStringLiteral("Шаблон %1 уже существует. Заменить его?").arg(quoted(name))))
        return;
    if (templates.save(name, m_kind, m_saveTab))
        m_nameEdit->clear();
    else
        warn(templates.pathOf(name + TemplateStore::extension(m_kind)) +
             QStringLiteral(": не удалось сохранить шаблон."));
    relist();
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

void TemplateList::removeCurrent()
{
    const QListWidgetItem *item = m_list->currentItem();
    if (!item)
        return;
    const QString fileName = item->text();
    const QString name = TemplateStore::nameOf(fileName, m_kind);
    if (!m_dialogs.ask(ReportTitle::warning(), QStringLiteral("Удалить шаблон %1?").arg(quoted(name))))
        return;
    const TemplateStore templates = workingDirectoryTemplates();
    if (!templates.remove(fileName))
        warn(templates.pathOf(fileName) + QStringLiteral(": не удалось удалить шаблон."));
    relist();
}

void TemplateList::renameCurrent()
{
    const QListWidgetItem *item = m_list->currentItem();
    if (!item)
        return;
    const QString fileName = item->text();
    const QString name = TemplateStore::nameOf(fileName, m_kind);
    const std::optional<QString> answer =
        m_dialogs.askText(QStringLiteral("Переименовать шаблон"),
                          QStringLiteral("Новое имя шаблона %1:").arg(quoted(name)), name, nullptr);
    if (!answer || *answer == name)
        return;
    const TemplateStore templates = workingDirectoryTemplates();
    if (const QString problem = TemplateStore::nameProblem(*answer); !problem.isEmpty())
        warn(problem);
    else if (templates.exists(*answer, m_kind))
        warn(QStringLiteral("Шаблон %1 уже существует.").arg(quoted(*answer)));
    else if (!templates.rename(fileName, *answer, m_kind))
        warn(templates.pathOf(fileName) + QStringLiteral(": не удалось переименовать шаблон."));
    relist();
}
