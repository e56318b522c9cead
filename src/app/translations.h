#pragma once

#include <QString>
#include <QTranslator>

// The interface is Russian whatever the system's locale: the program's translation and Qt's own
// for the standard buttons and the file and input dialogs.
class Translations {
public:
    // The locale every text of the window is in.
    static QString localeName() { return QStringLiteral("ru_RU"); }

    // Loads both translations; false when either is missing (the program then shows what it carries
    // built in, and Qt's buttons in English).
    bool load();
    // Installs what load() found into the running application, and makes Russian the default locale
    // of the dialogs.
    void install();

    const QTranslator &program() const { return m_program; }
    const QTranslator &qt() const { return m_qt; }
    bool hasQtTranslation() const { return m_qtLoaded; }

private:
    QTranslator m_program;
    QTranslator m_qt;
    bool m_programLoaded = false;
    bool m_qtLoaded = false;
};
