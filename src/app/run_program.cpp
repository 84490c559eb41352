#include "app/run_program.h"

#include <QApplication>

#include "app/form_export.h"
#include "app/form_import.h"
#include "app/launcher_with_notice.h"
#include "app/paint_now.h"
#include "app/reconciler.h"
#include "app/shell.h"
#include "platform/files.h"
#include "platform/launcher.h"
#include "platform/qt_prompter.h"

namespace app {

int RunProgram(const std::string& program_name, const std::function<void(Shell&)>& register_tasks) {
  PaintingClock clock;
  Reconciler reconciler(program_name, clock, platform::DefaultProgramFolder());
  platform::QtPrompter prompter(program_name);
  // The program's certificate list and the way to the file browser, for the task windows.
  rebuild::SeenList seen;
  platform::SystemLauncher system_launcher;
  Shell shell(reconciler.values(), prompter);
  prompter.SetOwner([&shell] { return shell.CurrentWindow(); });
  LauncherWithNotice launcher(system_launcher, prompter);
  RegisterExportWindows(shell, launcher, seen);
  RegisterImportWindow(shell, launcher);
  if (register_tasks) register_tasks(shell);
  if (!reconciler.StartUp(shell)) return 1;
  return QApplication::exec();
}

}  // namespace app
