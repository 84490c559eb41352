#include "glyphs.h"

#include <QColor>
#include <set>
#include <utility>
#include <vector>

namespace app::testing {
namespace {

bool IsDark(QRgb pixel) { return qGray(pixel) < 110; }

struct Shape {
  QRect bounds;
  std::vector<QPoint> pixels;
};

std::vector<Shape> Shapes(const QImage& image, const QRect& area) {
  const QRect clipped = area.intersected(image.rect());
  std::vector<char> seen(static_cast<size_t>(clipped.width() * clipped.height()), 0);
  auto index = [&](int x, int y) {
    return static_cast<size_t>((y - clipped.top()) * clipped.width() + (x - clipped.left()));
  };
  std::vector<Shape> shapes;
  for (int y = clipped.top(); y <= clipped.bottom(); ++y) {
    for (int x = clipped.left(); x <= clipped.right(); ++x) {
      if (seen[index(x, y)] || !IsDark(image.pixel(x, y))) continue;
      Shape shape;
      std::vector<QPoint> stack{{x, y}};
      seen[index(x, y)] = 1;
      while (!stack.empty()) {
        const QPoint p = stack.back();
        stack.pop_back();
        shape.pixels.push_back(p);
        shape.bounds |= QRect(p, QSize(1, 1));
        for (const auto& [dx, dy] : {std::pair{1, 0}, {-1, 0}, {0, 1}, {0, -1}}) {
          const QPoint q(p.x() + dx, p.y() + dy);
          if (!clipped.contains(q) || seen[index(q.x(), q.y())]) continue;
          if (!IsDark(image.pixel(q))) continue;
          seen[index(q.x(), q.y())] = 1;
          stack.push_back(q);
        }
      }
      shapes.push_back(std::move(shape));
    }
  }
  return shapes;
}

// A hollow rectangle: big enough to have an inside, nothing dark inside its two-pixel rim,
// and its rim mostly drawn (letters such as O and D leave their corners open).
bool IsBox(const Shape& shape) {
  const QRect& b = shape.bounds;
  if (b.width() < 5 || b.height() < 7) return false;
  const QRect inside = b.adjusted(2, 2, -2, -2);
  int rim = 0;
  for (const QPoint& p : shape.pixels) {
    if (inside.contains(p)) return false;
    if (p.x() == b.left() || p.x() == b.right() || p.y() == b.top() || p.y() == b.bottom()) ++rim;
  }
  const int perimeter = 2 * (b.width() + b.height()) - 4;
  return rim * 10 >= perimeter * 9;
}

}  // namespace

InkReport InspectInk(const QImage& image, const QRect& area) {
  InkReport report;
  std::set<std::pair<int, int>> sizes;
  for (const Shape& shape : Shapes(image, area)) {
    report.dark_pixels += static_cast<int>(shape.pixels.size());
    ++report.shapes;
    if (IsBox(shape)) ++report.boxes;
    sizes.insert({shape.bounds.width(), shape.bounds.height()});
  }
  report.distinct_sizes = static_cast<int>(sizes.size());
  return report;
}

bool LooksLikeText(const InkReport& report) {
  return report.dark_pixels >= 20 && report.shapes >= 2 && report.boxes * 2 < report.shapes &&
         report.distinct_sizes >= 2;
}

QImage Render(QWidget& window) {
  window.ensurePolished();
  return window.grab().toImage().convertToFormat(QImage::Format_RGB32);
}

}  // namespace app::testing
