// The title window: the product's name and version. Start-up shows it with the path of the
// main database it found; About shows it modally with an OK button.
#pragma once

#include <QDialog>
#include <array>

#include "app/program_values.h"

class QFrame;
class QLabel;
class QPushButton;

namespace app {

class PASSFORM : public QDialog {
 public:
  // Runs the load steps (every showing creates the window afresh).
  explicit PASSFORM(const ProgramValues& values, QWidget* parent = nullptr);

  // Control arrays: both members of an array carry the array's name as objectName and their
  // index in the "Index" property.
  std::array<QLabel*, 2> TitleLab;
  std::array<QFrame*, 2> TitleLine;
  QLabel* VerLab;
  QLabel* InfoLab;
  QPushButton* OKBut;
  QFrame* Shape1;

 private:
  void Load(const ProgramValues& values);
};

}  // namespace app
