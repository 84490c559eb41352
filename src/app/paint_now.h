// Painting a window before a step that lets no events through (the title window's wait, the
// loading window's list fill). Under a window manager a shown window can be drawn on only once
// the manager has framed and mapped it and the window system has exposed it; a repaint before
// that draws nothing, and the window stays black for the whole step.
#pragma once

#include "platform/clock.h"

class QWidget;

namespace app {

// Lets the window system's own messages through (exposures, paints, moves), never input: the
// user's clicks and keys wait in the queue for the next turn of the event loop.
void LetWindowSystemRun();

// The system's clock for the waits of the start-up: a nap between two readings lets the
// window system run, so that a window the window manager frames, moves or uncovers during the
// wait is drawn again instead of staying black, while input still waits.
class PaintingClock : public platform::Clock {
 public:
  double Now() override { return system_.Now(); }
  void Nap() override;

 private:
  platform::SystemClock system_;
};

// Shows the window, waits (letting only the window system's own messages through, never
// input) until it is exposed, and paints it. Gives up waiting after two seconds: a window
// system that never exposes the window must not stop the program.
void ShowAndPaintNow(QWidget* window);

// Paints an already shown window at once, after waiting for its exposure as above.
void PaintNow(QWidget* window);

}  // namespace app
