#include "pathwidgets.h"

#include <QComboBox>
#include <QDir>
#include <QLineEdit>

#include "pathlistwidget.h"
#include "settingskeys.h"
#include "userdialogs.h"

namespace PathWidgets {

bool isPlaceholder(const QString &text)
{
    return text == SettingsKeys::enterPath() || text == SettingsKeys::enterReleasePath() ||
           text == SettingsKeys::enterTemplateName();
}

QString firstRow(const QListWidget *list)
{
    return list->count() > 0 ? list->item(0)->text() : QString();
}

void replaceRows(PathListWidget *list, const QString &text)
{
    list->clear();
    if (isPlaceholder(text))
        list->setPlaceholderText(text);
    else
        list->addItem(text);
}

QString storedRow(const PathListWidget *list)
{
    return list->count() > 0 ? firstRow(list) : list->placeholderText();
}

void replaceItems(QComboBox *combo, const QString &text)
{
    combo->clear();
    if (isPlaceholder(text)) {
        combo->setPlaceholderText(text);
        return;
    }
    // With a hint set, a combo box no longer makes its first entry current by itself.
    combo->addItem(text);
    combo->setCurrentIndex(0);
}

void showPath(QComboBox *combo, const QString &text)
{
    if (isPlaceholder(text)) {
        combo->setPlaceholderText(text);
        combo->setCurrentIndex(-1);
        return;
    }
    int index = combo->findText(text, Qt::MatchExactly | Qt::MatchCaseSensitive);
    if (index < 0) {
        combo->addItem(text);
        index = combo->count() - 1;
    }
    combo->setCurrentIndex(index);
}

QString storedPath(const QComboBox *combo)
{
    return combo->currentIndex() < 0 ? combo->placeholderText() : combo->currentText();
}

void showText(QLineEdit *edit, const QString &text)
{
    if (isPlaceholder(text)) {
        edit->setPlaceholderText(text);
        edit->clear();
    } else {
        edit->setText(text);
    }
}

QString storedText(const QLineEdit *edit)
{
    return edit->text().isEmpty() ? edit->placeholderText() : edit->text();
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

void chooseReleaseDirectory(UserDialogs &dialogs, PathListWidget *list)
{
    const QString directory = dialogs.chooseDirectory(QStringLiteral("Release Directory"), firstRow(list));
    if (!directory.isEmpty())
        replaceRows(list, storedDirectory(directory));
}

} // namespace PathWidgets
