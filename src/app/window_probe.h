// A hook for the test that runs the programs under a real window system: at the moments a
// window has been painted before a slow step (or after opening), the program writes what the
// test needs to check that window on the screen, and waits until the test has taken its
// screenshot. Inert unless QB_WINDOW_PROBE names a folder.
#pragma once

#include <QStringList>

class QWidget;

namespace app {

// The names of the window's visible labels and buttons whose text does not fit them.
QStringList CutTexts(const QWidget* window);

// With QB_WINDOW_PROBE set: writes "<n>-<moment>.txt" into that folder (the window's client
// and frame rectangles on the screen, its cut texts, its labels' texts, the centres of its
// buttons) and waits up to ten seconds for "<n>.done" there. The window system runs
// meanwhile; input is not handled.
void ProbeWindow(QWidget* window, const char* moment);

}  // namespace app
