#include "app/infoform.h"

#include <QFrame>
#include <QLabel>

#include "app/controls.h"
#include "app/twips.h"

namespace app {

Infoform::Infoform(QWidget* parent) : QWidget(parent) {
  setObjectName("Infoform");
  setWindowTitle("Loading...");
  setFixedSize(Px(4800), Px(1500));

  auto* frame = new QFrame(this);
  frame->setFrameStyle(QFrame::Box | QFrame::Plain);
  frame->setGeometry(Px(120), Px(120), Px(4560), Px(1260));
  UseTitleColour(frame, QPalette::WindowText);

  // The picture: a small emblem in the title colour, decoration only.
  MakeTitleColourPicture(this, TwipsRect(360, 450, 600, 600));

  InfoLab = MakeHeading(this, "InfoLab", "Loading...", TwipsRect(1200, 450, 3360, 600), Wrap::kNo);
}

}  // namespace app
