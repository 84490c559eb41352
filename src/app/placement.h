// Where windows open: task windows and the progress window in the middle of the screen, as
// the laboratory's windows open, so that none starts in a corner or half off the screen.
#pragma once

#include <QPoint>
#include <QRect>
#include <QSize>

class QWidget;

namespace app {

// The top-left corner that puts a window of `size` in the middle of `area`, kept inside
// `area` where the window is larger (its top-left corner stays visible: the caption and the
// first controls are there).
QPoint CentredCorner(QSize size, const QRect& area);

// Moves the window to the middle of the screen's available area (without the desktop's
// panels), before it is shown.
void CentreOnScreen(QWidget* window);

}  // namespace app
