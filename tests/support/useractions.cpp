#include "useractions.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QListWidget>
#include <QRadioButton>
#include <QStyle>
#include <QStyleOptionButton>
#include <QTabBar>
#include <QTabWidget>
#include <QtTest>

#include "scripteddialogs.h"

namespace UserActions {

void click(QAbstractButton *button)
{
    // A check box or radio button takes clicks on its box and label only, not on the rest of its width.
    QPoint where = button->rect().center();
    const bool checkBox = qobject_cast<QCheckBox *>(button);
    if (checkBox || qobject_cast<QRadioButton *>(button)) {
        QStyleOptionButton option;
        option.initFrom(button);
        where =
            button->style()
                ->subElementRect(checkBox ? QStyle::SE_CheckBoxIndicator : QStyle::SE_RadioButtonIndicator,
                                 &option, button)
                .center();
    }
    QTest::mouseClick(button, Qt::LeftButton, {}, where);
}

void setTicked(QAbstractButton *box, bool ticked)
{
    if (box->isChecked() != ticked)
        click(box);
}

void typeInto(QLineEdit *edit, const QString &text)
{
    edit->setFocus(Qt::MouseFocusReason);
    QTest::keyClick(edit, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClick(edit, Qt::Key_Delete);
    // QTest::keyClicks() sends Latin-1 only; a key event carrying its text types any letter.
    for (const QChar character : text)
        QTest::sendKeyEvent(QTest::Click, edit, Qt::Key_unknown, QString(character), Qt::NoModifier);
}

void selectItem(QComboBox *combo, int index)
{
    combo->setFocus(Qt::TabFocusReason);
    QTest::keyClick(combo, Qt::Key_Home);
    for (int step = 0; step < index; ++step)
        QTest::keyClick(combo, Qt::Key_Down);
}

void chooseDirectory(ScriptedDialogs &dialogs, QAbstractButton *button, const QString &answer)
{
    dialogs.directoryAnswers.enqueue(answer);
    click(button);
}

void chooseFile(ScriptedDialogs &dialogs, QAbstractButton *button, const QString &answer)
{
    dialogs.fileAnswers.enqueue(answer);
    click(button);
}

void openTab(QTabWidget *tabs, int page)
{
    QTest::mouseClick(tabs->tabBar(), Qt::LeftButton, {}, tabs->tabBar()->tabRect(page).center());
}

void clickRow(QListWidget *list, int row)
{
    const QPoint centre = list->visualItemRect(list->item(row)).center();
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, centre);
}

void doubleClickRow(QListWidget *list, int row)
{
    // The first click selects the row, the second press arrives as the double click.
    const QPoint centre = list->visualItemRect(list->item(row)).center();
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, centre);
    QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, centre);
}

bool doubleClickRow(QListWidget *list, const QString &text)
{
    const QList<QListWidgetItem *> found = list->findItems(text, Qt::MatchExactly);
    if (found.size() != 1)
        return false;
    doubleClickRow(list, list->row(found.first()));
    return true;
}

QStringList rows(const QListWidget *list)
{
    QStringList texts;
    for (int row = 0; row < list->count(); ++row)
        texts << list->item(row)->text();
    return texts;
}

QStringList items(const QComboBox *combo)
{
    QStringList texts;
    for (int index = 0; index < combo->count(); ++index)
        texts << combo->itemText(index);
    return texts;
}

} // namespace UserActions
