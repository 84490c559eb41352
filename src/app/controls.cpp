#include "app/controls.h"

#include <QFontMetrics>
#include <QLabel>
#include <QLinearGradient>
#include <QPainter>
#include <QPixmap>
#include <QPushButton>

#include "app/twips.h"

namespace app {
namespace {

QLinearGradient BackgroundGradient(int height) {
  QLinearGradient gradient(0, 0, 0, height);
  gradient.setColorAt(0, QColor(232, 240, 248));
  gradient.setColorAt(1, QColor(198, 216, 234));
  return gradient;
}

}  // namespace

QRect TwipsRect(int left, int top, int width, int height) {
  return {Px(left), Px(top), Px(width), Px(height)};
}

QLabel* MakeLabel(QWidget* parent, const char* name, const QString& text, const QRect& where,
                  Wrap wrap) {
  auto* label = new QLabel(text, parent);
  label->setObjectName(name);
  label->setTextFormat(Qt::PlainText);
  label->setWordWrap(wrap == Wrap::kWords);
  label->setGeometry(where);
  return label;
}

QLabel* MakeHeading(QWidget* parent, const char* name, const QString& text, const QRect& where,
                    Wrap wrap) {
  QLabel* label = MakeLabel(parent, name, text, where, wrap);
  QFont bold = label->font();
  bold.setBold(true);
  label->setFont(bold);
  return label;
}

QPushButton* MakeButton(QWidget* parent, const char* name, const QString& text,
                        const QRect& where) {
  auto* button = new QPushButton(text, parent);
  button->setObjectName(name);
  button->setGeometry(where);
  return button;
}

void FitTextInLabel(QLabel* label, double smallest_scale) {
  QFont font = label->font();
  const double largest = font.pointSizeF();
  const double smallest = largest * smallest_scale;
  // Quarter points: fine enough to lose no size the text could have had.
  constexpr double kStep = 0.25;
  for (double size = largest; size >= smallest; size -= kStep) {
    font.setPointSizeF(size);
    const QRect needed = QFontMetrics(font).boundingRect(QRect(0, 0, label->width(), 1 << 20),
                                                         Qt::TextWordWrap, label->text());
    if (needed.height() <= label->height()) break;
  }
  // Where nothing in the range fits, the smallest size tried stands.
  label->setFont(font);
}

QPointer<QWidget> ParkFocus(QWidget* window) {
  QPointer<QWidget> had = window->focusWidget();
  window->setFocus(Qt::OtherFocusReason);
  return had;
}

void RestoreFocus(const QPointer<QWidget>& control) {
  if (control && control->isEnabled()) control->setFocus(Qt::OtherFocusReason);
}

void PaintBackground(QWidget* window) {
  QPalette palette = window->palette();
  palette.setBrush(QPalette::Window, BackgroundGradient(window->height()));
  window->setPalette(palette);
  window->setAutoFillBackground(true);
}

QLabel* MakeBackgroundPicture(QWidget* parent, const char* name, const QRect& where) {
  auto* picture = new QLabel(parent);
  picture->setObjectName(name);
  picture->setGeometry(where);
  QPixmap pixmap(picture->size());
  QPainter painter(&pixmap);
  painter.fillRect(pixmap.rect(), BackgroundGradient(pixmap.height()));
  painter.end();
  picture->setPixmap(pixmap);
  return picture;
}

void UseTitleColour(QWidget* widget, QPalette::ColorRole role) {
  QPalette palette = widget->palette();
  palette.setColor(role, kTitleColour);
  widget->setPalette(palette);
}

QLabel* MakeTitleColourPicture(QWidget* parent, const QRect& where) {
  auto* picture = new QLabel(parent);
  picture->setGeometry(where);
  picture->setAutoFillBackground(true);
  UseTitleColour(picture, QPalette::Window);
  return picture;
}

}  // namespace app
