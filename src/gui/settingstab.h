#pragma once

#include <QObject>

#include "templatelist.h"

class QSettings;

// What the three assembly tabs share: their settings struct shown in and read from the widgets,
// config.conf and the tab's templates. A tab gives settings() and showSettings(); reading a file
// leaves the choices it does not store (filters, placement, output format) as the widgets show them.
template <typename Settings> class SettingsTab : public QObject {
public:
    ~SettingsTab() override = default;

    virtual Settings settings() const = 0;
    virtual void showSettings(const Settings &settings) = 0;

    // The tab's keys from and to an open config.conf or template.
    void loadSettings(QSettings &store)
    {
        Settings loaded = settings();
        loaded.readStored(store);
        showSettings(loaded);
    }
    // As a first start shows the file: what it does not store at its defaults, and no earlier
    // path left in the lists.
    void resetSettings(QSettings &store)
    {
        forgetPaths();
        showSettings(Settings::load(store));
    }
    void saveSettings(QSettings &store) const { settings().save(store); }
    TemplateList &templates() { return m_templates; }

protected:
    SettingsTab(TemplateKind kind, QLineEdit *nameEdit, QListWidget *list, UserDialogs &dialogs)
        : m_templates(
              kind, nameEdit, list, dialogs, [this](QSettings &store) { saveSettings(store); },
              [this](QSettings &store) { loadSettings(store); })
    {}

    // Empties the lists that keep earlier paths.
    virtual void forgetPaths() {}

private:
    TemplateList m_templates;
};
