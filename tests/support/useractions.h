#pragma once

#include <QString>
#include <QStringList>
#include <QWidget>

class QAbstractButton;
class QComboBox;
class QLineEdit;
class QListWidget;
class QTabWidget;
class ScriptedDialogs;

// What a user does to the window, done through the real widgets under the offscreen platform:
// mouse clicks and key presses, never a setter that a user has no way to reach. A disabled
// widget takes no input here either.
namespace UserActions {

// The window's widget of that class and object name; a missing one ends the test program.
template <typename T> T *widget(QWidget *window, const QString &name)
{
    T *found = window->findChild<T *>(name);
    if (!found)
        qFatal("no widget %s", qPrintable(name));
    return found;
}

// A left click in the middle of a button, radio button or check box.
void click(QAbstractButton *button);
// Clicks a check box when it is not ticked as wanted.
void setTicked(QAbstractButton *box, bool ticked);
// Replaces a line edit's text as typed: select all, then the keys (any letters, Cyrillic too).
void typeInto(QLineEdit *edit, const QString &text);
// Picks entry `index` of a combo box with the arrow keys.
void selectItem(QComboBox *combo, int index);

// Clicks a "..." button whose directory or file dialog is answered with `answer` (empty: cancelled).
void chooseDirectory(ScriptedDialogs &dialogs, QAbstractButton *button, const QString &answer);
void chooseFile(ScriptedDialogs &dialogs, QAbstractButton *button, const QString &answer);

// Clicks the tab of a page on the tab bar.
void openTab(QTabWidget *tabs, int page);

// Clicks, or double-clicks, a row of a list.
void clickRow(QListWidget *list, int row);
void doubleClickRow(QListWidget *list, int row);
// Double-clicks the row that shows `text`; false when no row does.
bool doubleClickRow(QListWidget *list, const QString &text);

// The texts of a list's rows and of a combo box's entries, in order.
QStringList rows(const QListWidget *list);
QStringList items(const QComboBox *combo);

} // namespace UserActions
