#pragma once

#include <QString>

class QComboBox;
class QLineEdit;
class QListWidget;
class PathListWidget;
class QWidget;
class UserDialogs;

// How the tabs read and show a path: a combo box or a list whose single entry is the chosen path.
//
// A path or name still at the default a first start stores ("Enter Path..->", "Enter Path..",
// "Enter Template Name") is no value: the field shows empty, with that text as its grey hint, and
// gives the text back when the settings are saved, so that config.conf and the templates keep it.
namespace PathWidgets {

bool isPlaceholder(const QString &text);

// The text of the first row, empty when the list has none.
QString firstRow(const QListWidget *list);
// The list holds just `text`.
void replaceRows(PathListWidget *list, const QString &text);
// The first row, or the hint of an empty list: what the settings keep.
QString storedRow(const PathListWidget *list);
// The combo box holds just `text`, which becomes current.
void replaceItems(QComboBox *combo, const QString &text);
// `text` becomes current; the other entries stay offered below it, and `text` is added only when
// the list does not hold it yet.
void showPath(QComboBox *combo, const QString &text);
// The current entry, or the hint when none is: what the settings keep.
QString storedPath(const QComboBox *combo);
void showText(QLineEdit *edit, const QString &text);
QString storedText(const QLineEdit *edit);

// A chosen folder as the settings keep it: relative to the working directory when it lies inside
// it, so that a workspace moved elsewhere keeps working; absolute otherwise.
QString storedDirectory(const QString &chosen);
// The "..." of an output directory: a directory dialog that starts at the one shown; a directory
// chosen replaces it, kept as storedDirectory() gives it.
void chooseReleaseDirectory(UserDialogs &dialogs, PathListWidget *list);

} // namespace PathWidgets

// What "Сборка" says of a field left empty, naming it as the window captions it.
namespace UnsetField {
inline QString directoryInGroup(const QString &group)
{
    return QStringLiteral("Выберите директорию в группе «%1».").arg(group.simplified());
}
inline QString directoryInField(const QString &label)
{
    return QStringLiteral("Выберите директорию в поле «%1».").arg(label.simplified());
}
inline QString fileInGroup(const QString &group)
{
    return QStringLiteral("Выберите файл в группе «%1».").arg(group.simplified());
}
inline QString nameInField(const QString &label)
{
    return QStringLiteral("Задайте имя в поле «%1».").arg(label.simplified());
}
} // namespace UnsetField
