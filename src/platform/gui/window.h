#pragma once

#include <QPoint>
#include <QSize>

class QWidget;

// The window attributes a note needs from the window system: per-window alpha, the topmost band and
// the foreground.
namespace Window {

// Alpha from 0 (transparent) to 255 (opaque); values outside are clamped, as only a hand-edited
// store can hold them.
void setOpacity(QWidget *window, int alpha);

// Moves the window into or out of the topmost band without changing its position, size or content.
void setStayOnTop(QWidget *window, bool onTop);
bool isStayOnTop(const QWidget *window);

// Brings the window in front of the others and gives it the focus; a minimised window stays minimised.
void bringToFront(QWidget *window);

// Shows the window without asking the window manager to give it the focus. This show only: a later show, a
// raise or a click activates it as any other window.
void showWithoutActivating(QWidget *window);

// A stored position or size within what Qt's geometry can hold: a hand-edited store may carry anything an
// integer holds, and Qt adds sizes to positions without checking. Inside these limits no sum overflows.
QPoint boundedPosition(int left, int top);
QSize boundedSize(int width, int height);

// Limits a window to the available size of its screen, and moves one that lies entirely outside every
// screen onto the primary screen.
void keepOnScreen(QWidget *window);

// Places the window in the middle of the primary screen's free area by its size, before it is shown; the
// frame the window manager adds later cannot be known yet, so its top left corner is where the window's
// own would be. New notes are placed the same way.
void centreOnScreen(QWidget *window);

} // namespace Window
