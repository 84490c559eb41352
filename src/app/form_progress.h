// The small window long commands keep on screen while they copy records. It has no behaviour
// of its own beyond centring itself; the commands write its texts and bar.
#pragma once

#include <QWidget>

class QLabel;
class QProgressBar;

namespace app {

class Form_Progress : public QWidget {
 public:
  // Loads with "Export Progress", "Exporting Database", "---" and an empty bar, centred on
  // the screen.
  explicit Form_Progress(QWidget* parent = nullptr);

  QLabel* Label_Task;
  QLabel* Label_Status;
  QProgressBar* ProgressBar1;
};

}  // namespace app
