#pragma once

#include <functional>

#include "templatestore.h"

class QLineEdit;
class QListWidget;
class QListWidgetItem;
class QSettings;
class UserDialogs;

// The saved-templates column of one tab: the name field, the list of the tab's templates in
// "Templates Setting/" under the working directory, and what saving, selecting and loading one does.
// The tab gives the transfer of its own keys to and from an open store.
class TemplateList {
public:
    using Transfer = std::function<void(QSettings &store)>;

    TemplateList(TemplateKind kind, QLineEdit *nameEdit, QListWidget *list, UserDialogs &dialogs,
                 Transfer saveTab, Transfer loadTab);

    // Appends the templates found to the list.
    void refresh();
    // Writes the tab's keys under the typed name, then lists the templates afresh.
    void save();
    // Puts the row's name, without the extension, into the name field.
    void select(QListWidgetItem *item);
    // Loads the row's template into the tab.
    void load(QListWidgetItem *item);

private:
    TemplateKind m_kind;
    QLineEdit *m_nameEdit;
    QListWidget *m_list;
    UserDialogs &m_dialogs;
    Transfer m_saveTab;
    Transfer m_loadTab;
};
