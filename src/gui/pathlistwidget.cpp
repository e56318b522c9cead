#include "pathlistwidget.h"

#include <QPainter>

PathListWidget::PathListWidget(QWidget *parent) : QListWidget(parent) {}

void PathListWidget::setPlaceholderText(const QString &text)
{
    m_placeholder = text;
    viewport()->update();
}

void PathListWidget::paintEvent(QPaintEvent *event)
{
    QListWidget::paintEvent(event);
    if (count() > 0 || m_placeholder.isEmpty())
        return;
    QPainter painter(viewport());
    painter.setPen(palette().placeholderText().color());
    const QRect area = viewport()->rect().adjusted(4, 0, -4, 0);
    painter.drawText(area, Qt::AlignLeft | Qt::AlignVCenter,
                     fontMetrics().elidedText(m_placeholder, Qt::ElideRight, area.width()));
}
