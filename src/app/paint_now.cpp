#include "app/paint_now.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QThread>
#include <QWidget>
#include <QWindow>

namespace app {
namespace {

constexpr int kLongestExposeWaitMs = 2000;

bool Exposed(QWidget* window) {
  const QWindow* handle = window->windowHandle();
  return handle != nullptr && handle->isExposed();
}

}  // namespace

void LetWindowSystemRun() { QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents); }

void PaintingClock::Nap() {
  LetWindowSystemRun();
  system_.Nap();
}

void PaintNow(QWidget* window) {
  LetWindowSystemRun();
  QElapsedTimer waited;
  waited.start();
  while (window->isVisible() && !Exposed(window) && waited.elapsed() < kLongestExposeWaitMs) {
    QThread::msleep(5);
    LetWindowSystemRun();
  }
  window->repaint();
  // The picture goes to the window system now, not at the next turn of the event loop, which
  // the step that follows would hold up.
  QGuiApplication::sync();
  LetWindowSystemRun();
}

void ShowAndPaintNow(QWidget* window) {
  window->show();
  window->raise();
  PaintNow(window);
}

}  // namespace app
