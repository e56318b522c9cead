#pragma once

#include <QList>

class QTabWidget;
class QWidget;

// The keyboard's way through the window: Tab visits only what the user sees, in the order it is
// read, and Enter presses the focused button.
namespace KeyboardNavigation {

// Keeps every widget of the tabs' pages that the visible width would clip hidden (out of the
// focus chain, so that no key reaches a field the user cannot see), as long as the tabs live.
void hideWhatTheWidthClips(QTabWidget *tabs);
// Orders the focus chain: the tab bar, each page column by column (each top to bottom, a row
// left to right), then `below`, the widgets under the tabs, left to right.
void orderByReading(QTabWidget *tabs, QList<QWidget *> below);
// Enter or Return on a focused push button of the window presses it, as Space does.
void pressButtonsOnEnter(QWidget *window);

} // namespace KeyboardNavigation
