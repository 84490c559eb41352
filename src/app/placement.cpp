#include "app/placement.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>
#include <algorithm>

namespace app {

QPoint CentredCorner(QSize size, const QRect& area) {
  const int left = area.left() + (area.width() - size.width()) / 2;
  const int top = area.top() + (area.height() - size.height()) / 2;
  return {std::max(left, area.left()), std::max(top, area.top())};
}

void CentreOnScreen(QWidget* window) {
  const QScreen* screen = window->screen();
  if (screen == nullptr) screen = QGuiApplication::primaryScreen();
  if (screen == nullptr) return;
  window->move(CentredCorner(window->size(), screen->availableGeometry()));
}

}  // namespace app
