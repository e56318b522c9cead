#include "translations.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QLocale>

bool Translations::load()
{
    m_programLoaded = m_program.load(QStringLiteral(":/i18n/Quillon_pro_") + localeName());
    m_qtLoaded = m_qt.load(QLocale(localeName()), QStringLiteral("qtbase"), QStringLiteral("_"),
                           QLibraryInfo::path(QLibraryInfo::TranslationsPath));
    return m_programLoaded && m_qtLoaded;
}

void Translations::install()
{
    QLocale::setDefault(QLocale(localeName()));
    if (m_qtLoaded)
        QCoreApplication::installTranslator(&m_qt);
    if (m_programLoaded)
        QCoreApplication::installTranslator(&m_program);
}
