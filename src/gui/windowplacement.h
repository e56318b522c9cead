#pragma once

#include <QRect>

class QWidget;

namespace WindowPlacement {

// Where a window of frame size `frame` opened from a window with the frame `owner` goes: right of
// it, else left of it, where `available` has room; otherwise over it. The result always lies
// wholly inside `available`, shrunk to it when the window is larger.
QRect beside(const QRect &owner, const QSize &frame, const QRect &available);

// Moves (and if need be shrinks) the top-level `window` beside `owner`, inside the available
// area of the owner's screen.
void placeBeside(QWidget *window, const QWidget *owner);

} // namespace WindowPlacement
