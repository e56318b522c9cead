#pragma once

#include <QString>
#include <QStringList>
#include <QTranslator>

// The program's own translation and Qt's for the standard buttons and dialogs, chosen from the
// user's interface languages in order of preference.
class Translations {
public:
    // Loads, for the first of the languages that the program carries a translation for, the
    // program's translation and Qt's one for the same locale. Returns that locale's name (e.g.
    // "ru_RU"), or an empty text when none of the languages has a translation.
    QString load(const QStringList &uiLanguages);
    // Installs what load() found into the running application.
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
