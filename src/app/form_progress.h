// The small window long commands keep on screen while they copy records. It has no behaviour
// of its own beyond centring itself and staying: the commands write its texts and bar, and
// unload it when their work ends.
#pragma once

#include <QWidget>

class QLabel;
class QProgressBar;

namespace app {

class Form_Progress : public QWidget {
 public:
  // Loads with "Export Progress", "Exporting Database", "---" and an empty bar, centred on
  // the screen. With an `owner` it is a window of the owner's, kept above it by the window
  // manager, so that a click on the task window cannot hide the progress behind it.
  explicit Form_Progress(QWidget* owner = nullptr);

  QLabel* Label_Task;
  QLabel* Label_Status;
  QProgressBar* ProgressBar1;

 protected:
  // The work goes on whatever the user does: closing the window would only lose the
  // feedback, so the window has no close button and refuses to close.
  void closeEvent(QCloseEvent* event) override;
};

}  // namespace app
