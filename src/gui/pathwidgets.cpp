#include "pathwidgets.h"

#include <QComboBox>
#include <QDir>
#include <QListWidget>

#include "userdialogs.h"

namespace PathWidgets {

QString firstRow(const QListWidget *list)
{
    return list->count() > 0 ? list->item(0)->text() : QString();
}

void replaceRows(QListWidget *list, const QString &text)
{
    list->clear();
    list->addItem(text);
}

void replaceItems(QComboBox *combo, const QString &text)
{
    combo->clear();
    combo->addItem(text);
}

void showPath(QComboBox *combo, const QString &text)
{
    int index = combo->findText(text, Qt::MatchExactly | Qt::MatchCaseSensitive);
    if (index < 0) {
        combo->addItem(text);
        index = combo->count() - 1;
    }
    combo->setCurrentIndex(index);
}

QString storedDirectory(const QString &chosen)
{
    const QDir working = QDir::current();
    const QString absolute = QDir::cleanPath(working.absoluteFilePath(chosen));
    // On another Windows drive the relative path comes back absolute, and is kept so.
    const QString relative = working.relativeFilePath(absolute);
    if (relative == QLatin1String("..") || relative.startsWith(QLatin1String("../")) ||
        QDir::isAbsolutePath(relative))
        return QDir::isAbsolutePath(chosen) ? QDir::cleanPath(chosen) : absolute;
    return relative.isEmpty() ? QStringLiteral(".") : relative;
}

void chooseReleaseDirectory(UserDialogs &dialogs, QListWidget *list)
{
    const QString directory = dialogs.chooseDirectory(QStringLiteral("Release Directory"), firstRow(list));
    if (!directory.isEmpty())
        replaceRows(list, storedDirectory(directory));
}

} // namespace PathWidgets
