// The "Loading..." window that windows filling their lists show meanwhile.
#pragma once

#include <QWidget>

class QLabel;

namespace app {

class Infoform : public QWidget {
 public:
  explicit Infoform(QWidget* parent = nullptr);

  // Callers write their own text here ("Loading Customers...").
  QLabel* InfoLab;
};

}  // namespace app
