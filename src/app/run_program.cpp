#include "app/run_program.h"

#include <QApplication>

#include "app/reconciler.h"
#include "app/shell.h"
#include "platform/clock.h"
#include "platform/files.h"
#include "platform/qt_prompter.h"

namespace app {

int RunProgram(const std::string& program_name, const std::function<void(Shell&)>& register_tasks) {
  platform::SystemClock clock;
  Reconciler reconciler(program_name, clock, platform::DefaultProgramFolder());
  platform::QtPrompter prompter(program_name);
  Shell shell(reconciler.values(), prompter);
  if (register_tasks) register_tasks(shell);
  if (!reconciler.StartUp(shell)) return 1;
  return QApplication::exec();
}

}  // namespace app
