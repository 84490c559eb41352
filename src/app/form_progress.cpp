#include "app/form_progress.h"

#include <QGuiApplication>
#include <QLabel>
#include <QProgressBar>
#include <QScreen>

#include "app/passform.h"
#include "app/twips.h"

namespace app {

Form_Progress::Form_Progress(QWidget* parent) : QWidget(parent) {
  setObjectName("Form_Progress");
  setWindowTitle("Export Progress");
  setFixedSize(Px(6300), Px(1800));

  // The decorative picture: a bar in the title colour down the left edge.
  auto* picture = new QLabel(this);
  picture->setGeometry(0, 0, Px(360), Px(1800));
  picture->setAutoFillBackground(true);
  QPalette palette = picture->palette();
  palette.setColor(QPalette::Window, kTitleColour);
  picture->setPalette(palette);

  Label_Task = new QLabel("Exporting Database", this);
  Label_Task->setObjectName("Label_Task");
  Label_Task->setTextFormat(Qt::PlainText);
  QFont bold = Label_Task->font();
  bold.setBold(true);
  Label_Task->setFont(bold);
  Label_Task->setGeometry(Px(600), Px(180), Px(5460), Px(360));

  Label_Status = new QLabel("---", this);
  Label_Status->setObjectName("Label_Status");
  Label_Status->setTextFormat(Qt::PlainText);
  Label_Status->setGeometry(Px(600), Px(600), Px(5460), Px(360));

  ProgressBar1 = new QProgressBar(this);
  ProgressBar1->setObjectName("ProgressBar1");
  ProgressBar1->setRange(0, 100);
  ProgressBar1->setValue(0);
  ProgressBar1->setGeometry(Px(600), Px(1080), Px(5460), Px(420));

  // Load step: centre on the screen.
  if (const QScreen* screen = QGuiApplication::primaryScreen()) {
    const QRect area = screen->geometry();
    move(area.left() + (area.width() - width()) / 2, area.top() + (area.height() - height()) / 2);
  }
}

}  // namespace app
