#include "windowplacement.h"

#include <QScreen>
#include <QWidget>

namespace WindowPlacement {

namespace {

constexpr int Gap = 8;

// The width and height the window manager adds around a window's contents. A window not yet
// shown has no frame, so the owner's (shown, decorated alike) stands in for it.
QSize decoration(const QWidget *window, const QWidget *owner)
{
    const QSize own = window->frameGeometry().size() - window->size();
    return own.isEmpty() ? owner->frameGeometry().size() - owner->size() : own;
}

} // namespace

QRect beside(const QRect &owner, const QSize &frame, const QRect &available)
{
    const QSize size = frame.boundedTo(available.size());
    int left = owner.left();
    if (owner.right() + Gap + size.width() <= available.right())
        left = owner.right() + 1 + Gap;
    else if (owner.left() - Gap - size.width() >= available.left())
        left = owner.left() - Gap - size.width();
    const int top = owner.top();
    return QRect(qBound(available.left(), left, available.right() + 1 - size.width()),
                 qBound(available.top(), top, available.bottom() + 1 - size.height()), size.width(),
                 size.height());
}

void placeBeside(QWidget *window, const QWidget *owner)
{
    const QScreen *screen = owner->screen();
    if (!screen)
        return;
    const QSize extra = decoration(window, owner);
    const QRect frame = beside(owner->frameGeometry(), window->size() + extra, screen->availableGeometry());
    window->resize(frame.size() - extra);
    window->move(frame.topLeft());
}

} // namespace WindowPlacement
