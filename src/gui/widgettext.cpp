#include "gui/widgettext.h"

#include <QComboBox>
#include <QListWidget>

namespace WidgetText {

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

} // namespace WidgetText
