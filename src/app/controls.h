// The controls every window is built from: plain-text labels and headings, push buttons, the
// gradient that stands in for the laboratory's background picture, and the decorations in the
// title colour. One place for them keeps the windows looking alike.
#pragma once

#include <QColor>
#include <QPalette>
#include <QPointer>
#include <QRect>
#include <QString>

class QLabel;
class QPushButton;
class QWidget;

namespace app {

// The title colour of the laboratory's programs.
inline const QColor kTitleColour(0, 97, 165);

// A design rectangle, given in twips, as pixels.
QRect TwipsRect(int left, int top, int width, int height);

// Whether a label breaks its text into lines to fit its width, or keeps it on one line and
// lets the end be cut off.
enum class Wrap { kNo, kWords };

// Labels show their text as it stands: a customer name with '<' in it is never taken for markup.
QLabel* MakeLabel(QWidget* parent, const char* name, const QString& text, const QRect& where,
                  Wrap wrap);
// A label in bold, as the windows head their steps.
QLabel* MakeHeading(QWidget* parent, const char* name, const QString& text, const QRect& where,
                    Wrap wrap);
QPushButton* MakeButton(QWidget* parent, const char* name, const QString& text, const QRect& where);

// Sets a word-wrapped label's font to the largest size, from its own size down to
// `smallest_scale` of it, at which its whole text fits the label. The fonts of each system
// differ in width, so the size is found where the program runs, not fixed in the design.
void FitTextInLabel(QLabel* label, double smallest_scale);

// While a long command has a window's controls disabled, the window itself holds the keyboard
// focus: Qt hands the focus of a control being disabled to the next one that still takes it,
// the read-only path box, which then shows its whole text selected. ParkFocus returns the
// control that had the focus; RestoreFocus gives it back once the controls are enabled again.
QPointer<QWidget> ParkFocus(QWidget* window);
void RestoreFocus(const QPointer<QWidget>& control);

// The background picture carries no information: a quiet gradient, top to bottom, stands in
// for it. PaintBackground fills the window itself; MakeBackgroundPicture places the gradient
// as a picture control of its own, for windows that have one.
void PaintBackground(QWidget* window);
QLabel* MakeBackgroundPicture(QWidget* parent, const char* name, const QRect& where);

// Draws `role` of the widget's palette (its text, its frame or its fill) in the title colour.
void UseTitleColour(QWidget* widget, QPalette::ColorRole role);
// A decorative picture: a plain area in the title colour.
QLabel* MakeTitleColourPicture(QWidget* parent, const QRect& where);

}  // namespace app
