#pragma once

#include <QString>

class QComboBox;
class QListWidget;
class QWidget;
class UserDialogs;

// How the tabs read and show a path: a combo box or a list whose single entry is the chosen path.
namespace PathWidgets {

// The text of the first row, empty when the list has none.
QString firstRow(const QListWidget *list);
// The list holds just `text`.
void replaceRows(QListWidget *list, const QString &text);
// The combo box holds just `text`, which becomes current.
void replaceItems(QComboBox *combo, const QString &text);
// `text` becomes current; the other entries stay offered below it, and `text` is added only when
// the list does not hold it yet.
void showPath(QComboBox *combo, const QString &text);
// A chosen folder as the settings keep it: relative to the working directory when it lies inside
// it, so that a workspace moved elsewhere keeps working; absolute otherwise.
QString storedDirectory(const QString &chosen);
// The "..." of an output directory: a directory dialog that starts at the one shown; a directory
// chosen replaces it, kept as storedDirectory() gives it.
void chooseReleaseDirectory(UserDialogs &dialogs, QListWidget *list);

} // namespace PathWidgets
