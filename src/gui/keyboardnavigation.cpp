#include "keyboardnavigation.h"

#include <algorithm>

#include <QEvent>
#include <QHash>
#include <QKeyEvent>
#include <QPushButton>
#include <QTabBar>
#include <QTabWidget>

namespace {

// Hides the widgets of every page that reach beyond the visible width and shows the others, each
// time the pages are resized.
class ClippedWidgetHider : public QObject {
public:
    ClippedWidgetHider(QTabWidget *tabs, QWidget *area) : QObject(area), m_tabs(tabs), m_area(area)
    {
        area->installEventFilter(this);
    }

    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (watched == m_area && event->type() == QEvent::Resize)
            update();
        return false;
    }

private:
    void update()
    {
        for (int page = 0; page < m_tabs->count(); ++page) {
            for (QObject *object : m_tabs->widget(page)->children()) {
                if (auto *widget = qobject_cast<QWidget *>(object); widget && !widget->isWindow())
                    widget->setVisible(widget->geometry().right() < m_area->width());
            }
        }
    }

    QTabWidget *m_tabs;
    QWidget *m_area;
};

class EnterPressesButton : public QObject {
public:
    using QObject::QObject;

    bool eventFilter(QObject *watched, QEvent *event) override
    {
        auto *button = qobject_cast<QPushButton *>(watched);
        if (!button || event->type() != QEvent::KeyPress)
            return false;
        const auto *key = static_cast<QKeyEvent *>(event);
        const bool enter = key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter;
        if (!enter || key->isAutoRepeat() || (key->modifiers() & ~Qt::KeypadModifier) != Qt::NoModifier)
            return false;
        if (button->isEnabled())
            button->click();
        return true;
    }
};

// A page's columns, numbered from the left: a widget that starts within the width of the column
// so far belongs to it (a button beside another under a wide group), one that starts right of it
// opens the next.
QHash<QWidget *, int> columns(QList<QWidget *> widgets)
{
    std::stable_sort(widgets.begin(), widgets.end(), [](QWidget *a, QWidget *b) { return a->x() < b->x(); });
    QHash<QWidget *, int> column;
    int index = -1;
    int right = 0;
    for (QWidget *widget : widgets) {
        if (index < 0 || widget->x() > right) {
            ++index;
            right = widget->geometry().right();
        } else {
            right = qMax(right, widget->geometry().right());
        }
        column.insert(widget, index);
    }
    return column;
}

// A group's rows, numbered from the top: widgets whose middles lie within a few pixels of a row's
// first share it, so that a button a pixel higher than the field beside it still counts as its row.
QHash<QWidget *, int> rows(QList<QWidget *> widgets)
{
    constexpr int tolerance = 8;
    const auto middle = [](QWidget *w) {
        return w->geometry().center().y();
    };
    std::stable_sort(widgets.begin(), widgets.end(),
                     [&middle](QWidget *a, QWidget *b) { return middle(a) < middle(b); });
    QHash<QWidget *, int> row;
    int index = -1;
    int start = 0;
    for (QWidget *widget : widgets) {
        if (index < 0 || middle(widget) > start + tolerance) {
            ++index;
            start = middle(widget);
        }
        row.insert(widget, index);
    }
    return row;
}

// A page reads column by column, each from the top; a group row by row, each from the left.
void sortByReading(QList<QWidget *> &widgets, bool inColumns)
{
    const QHash<QWidget *, int> band = inColumns ? columns(widgets) : rows(widgets);
    std::stable_sort(widgets.begin(), widgets.end(), [&band, inColumns](QWidget *a, QWidget *b) {
        if (band.value(a) != band.value(b))
            return band.value(a) < band.value(b);
        if (inColumns && a->y() != b->y())
            return a->y() < b->y();
        return a->x() < b->x();
    });
}

// The widgets that take focus with Tab inside `container`, in reading order; a widget that takes
// focus itself is not looked into.
QList<QWidget *> readingOrder(QWidget *container, bool inColumns)
{
    QList<QWidget *> children;
    for (QObject *object : container->children()) {
        if (auto *widget = qobject_cast<QWidget *>(object); widget && !widget->isWindow())
            children << widget;
    }
    sortByReading(children, inColumns);
    QList<QWidget *> order;
    for (QWidget *child : children) {
        if (child->focusPolicy() & Qt::TabFocus)
            order << child;
        else
            order << readingOrder(child, false);
    }
    return order;
}

} // namespace

namespace KeyboardNavigation {

void hideWhatTheWidthClips(QTabWidget *tabs)
{
    if (tabs->count() > 0)
        new ClippedWidgetHider(tabs, tabs->widget(0)->parentWidget());
}

void orderByReading(QTabWidget *tabs, QList<QWidget *> below)
{
    QList<QWidget *> chain{tabs->findChild<QTabBar *>()};
    for (int page = 0; page < tabs->count(); ++page)
        chain << readingOrder(tabs->widget(page), true);
    std::stable_sort(below.begin(), below.end(), [](QWidget *a, QWidget *b) { return a->x() < b->x(); });
    chain << below;
    for (int i = 1; i < chain.size(); ++i)
        QWidget::setTabOrder(chain.at(i - 1), chain.at(i));
}

void pressButtonsOnEnter(QWidget *window)
{
    auto *filter = new EnterPressesButton(window);
    for (QPushButton *button : window->findChildren<QPushButton *>())
        button->installEventFilter(filter);
}

} // namespace KeyboardNavigation
