// Telling rendered text from the empty boxes a window system draws when it has no font for
// the text: the boxes are hollow rectangles, all alike; letters are not.
#pragma once

#include <QImage>
#include <QRect>
#include <QWidget>

namespace app::testing {

struct InkReport {
  int dark_pixels = 0;     // pixels clearly darker than the background
  int shapes = 0;          // connected groups of dark pixels
  int boxes = 0;           // of those, hollow rectangles (missing-glyph boxes)
  int distinct_sizes = 0;  // different bounding-box sizes among the shapes
};

// Examines `area` of `image` for text drawn dark on a light background.
InkReport InspectInk(const QImage& image, const QRect& area);

// True when the area holds real glyphs: ink, several shapes, not mostly boxes, and shapes of
// more than one size.
bool LooksLikeText(const InkReport& report);

// The window drawn as the screen would show it.
QImage Render(QWidget& window);

}  // namespace app::testing
