// Painting a window before a step that lets no events through (the title window's wait, the
// loading window's list fill). Under a window manager a shown window can be drawn on only once
// the manager has framed and mapped it and the window system has exposed it; a repaint before
// that draws nothing, and the window stays black for the whole step.
#pragma once

class QWidget;

namespace app {

// Shows the window, waits (letting only the window system's own messages through, never
// input) until it is exposed, and paints it. Gives up waiting after two seconds: a window
// system that never exposes the window must not stop the program.
void ShowAndPaintNow(QWidget* window);

// Paints an already shown window at once, after waiting for its exposure as above.
void PaintNow(QWidget* window);

}  // namespace app
