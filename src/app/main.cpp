// One source for both products; the build fixes the program name (QB_PROGRAM_NAME).
#include <QApplication>

#include "app/run_program.h"

#ifndef QB_PROGRAM_NAME
#define QB_PROGRAM_NAME "Kestrine"
#endif

int main(int argc, char** argv) {
  QApplication application(argc, argv);
  QApplication::setApplicationName(QB_PROGRAM_NAME);
  return app::RunProgram(QB_PROGRAM_NAME);
}
