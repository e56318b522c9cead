#include "app/translations.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QLocale>

QString Translations::load(const QStringList &uiLanguages)
{
    for (const QString &language : uiLanguages) {
        const QString name = QLocale(language).name();
        if (m_program.load(QStringLiteral(":/i18n/Quillon_pro_") + name)) {
            m_programLoaded = true;
            m_qtLoaded = m_qt.load(QStringLiteral("qtbase_") + name,
                                   QLibraryInfo::path(QLibraryInfo::TranslationsPath));
            return name;
        }
    }
    return QString();
}

void Translations::install()
{
    if (m_qtLoaded)
        QCoreApplication::installTranslator(&m_qt);
    if (m_programLoaded)
        QCoreApplication::installTranslator(&m_program);
}
