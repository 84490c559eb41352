#include "app/form_progress.h"

#include <QCloseEvent>
#include <QLabel>
#include <QProgressBar>

#include "app/controls.h"
#include "app/placement.h"
#include "app/twips.h"

namespace app {

Form_Progress::Form_Progress(QWidget* owner)
    : QWidget(owner, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint) {
  setObjectName("Form_Progress");
  setWindowTitle("Export Progress");
  setFixedSize(Px(6300), Px(1800));

  // The decorative picture: a bar in the title colour down the left edge.
  MakeTitleColourPicture(this, TwipsRect(0, 0, 360, 1800));

  Label_Task = MakeHeading(this, "Label_Task", "Exporting Database", TwipsRect(600, 180, 5460, 360),
                           Wrap::kNo);
  Label_Status = MakeLabel(this, "Label_Status", "---", TwipsRect(600, 600, 5460, 360), Wrap::kNo);

  ProgressBar1 = new QProgressBar(this);
  ProgressBar1->setObjectName("ProgressBar1");
  ProgressBar1->setRange(0, 100);
  ProgressBar1->setValue(0);
  ProgressBar1->setGeometry(Px(600), Px(1080), Px(5460), Px(420));

  // Load step: centre on the screen.
  CentreOnScreen(this);
}

void Form_Progress::closeEvent(QCloseEvent* event) { event->ignore(); }

}  // namespace app
