#include "pathcombobox.h"

#include <QAbstractItemView>
#include <QStyleOptionComboBox>

PathComboBox::PathComboBox(QWidget *parent) : QComboBox(parent)
{
    view()->setTextElideMode(Qt::ElideLeft);
    connect(this, &QComboBox::currentTextChanged, this, [this](const QString &text) { setToolTip(text); });
    connect(model(), &QAbstractItemModel::rowsInserted, this,
            [this](const QModelIndex &, int first, int last) {
                for (int row = first; row <= last; ++row)
                    setItemData(row, itemText(row), Qt::ToolTipRole);
            });
}

QString PathComboBox::displayText() const
{
    QStyleOptionComboBox option;
    initStyleOption(&option);
    return option.currentText;
}

void PathComboBox::initStyleOption(QStyleOptionComboBox *option) const
{
    QComboBox::initStyleOption(option);
    const QRect field =
        style()->subControlRect(QStyle::CC_ComboBox, option, QStyle::SC_ComboBoxEditField, this);
    // The label is drawn with a pixel of margin on either side.
    option->currentText = fontMetrics().elidedText(option->currentText, Qt::ElideLeft, field.width() - 2);
}
