#include "app/infoform.h"

#include <QFrame>
#include <QLabel>

#include "app/passform.h"
#include "app/twips.h"

namespace app {

Infoform::Infoform(QWidget* parent) : QWidget(parent) {
  setObjectName("Infoform");
  setWindowTitle("Loading...");
  setFixedSize(Px(4800), Px(1500));

  auto* frame = new QFrame(this);
  frame->setFrameStyle(QFrame::Box | QFrame::Plain);
  frame->setGeometry(Px(120), Px(120), Px(4560), Px(1260));
  QPalette frame_palette = frame->palette();
  frame_palette.setColor(QPalette::WindowText, kTitleColour);
  frame->setPalette(frame_palette);

  // The picture: a small emblem in the title colour, decoration only.
  auto* picture = new QLabel(this);
  picture->setGeometry(Px(360), Px(450), Px(600), Px(600));
  picture->setAutoFillBackground(true);
  QPalette picture_palette = picture->palette();
  picture_palette.setColor(QPalette::Window, kTitleColour);
  picture->setPalette(picture_palette);

  InfoLab = new QLabel("Loading...", this);
  InfoLab->setObjectName("InfoLab");
  InfoLab->setTextFormat(Qt::PlainText);
  QFont bold = InfoLab->font();
  bold.setBold(true);
  InfoLab->setFont(bold);
  InfoLab->setGeometry(Px(1200), Px(450), Px(3360), Px(600));
}

}  // namespace app
