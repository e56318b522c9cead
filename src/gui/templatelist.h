#pragma once

#include <functional>

#include <QObject>

#include "templatestore.h"

class QLineEdit;
class QListWidget;
class QListWidgetItem;
class QSettings;
class UserDialogs;

// The saved-templates column of one tab: the name field, the list of the tab's templates in
// "Templates Setting/" under the working directory, and what saving, selecting, loading, deleting
// and renaming one does. Enter or Space on the list loads the current row, Delete deletes it, and
// the list's context menu offers "Удалить" and "Переименовать".
// The tab gives the transfer of its own keys to and from an open store.
class TemplateList : public QObject {
public:
    using Transfer = std::function<void(QSettings &store)>;

    TemplateList(TemplateKind kind, QLineEdit *nameEdit, QListWidget *list, UserDialogs &dialogs,
                 Transfer saveTab, Transfer loadTab);

    // Appends the templates found to the list.
    void refresh();
    // Writes the tab's keys under the typed name, then lists the templates afresh. An existing
    // template is written over only when the user agrees.
    void save();
    // Puts the row's name, without the extension, into the name field.
    void select(QListWidgetItem *item);
    // Loads the row's template into the tab.
    void load(QListWidgetItem *item);
    // Deletes or renames the current row's template file, after asking.
    void removeCurrent();
    void renameCurrent();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void addMenu();
    void relist();
    void warn(const QString &text);

    TemplateKind m_kind;
    QLineEdit *m_nameEdit;
    QListWidget *m_list;
    UserDialogs &m_dialogs;
    Transfer m_saveTab;
    Transfer m_loadTab;
};
