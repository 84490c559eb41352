#include "app/form_export.h"

#include "app/shell.h"
#include "export/on_site_database.h"
#include "platform/files.h"
#include "rebuild/rebuild_database.h"

namespace app {

// The paths go to the tasks in the operating system's form: the database layer opens files by
// the names it is given, and the laboratory's "folder\file" texts name no file elsewhere than
// on Windows, where the form is the same.
CreateAction OnSiteAction(const ProgramValues& values) {
  return [&values](const CreateRequest& request, tasks::TaskUi& ui) {
    export_task::CreateOnSiteDatabase(
        {.customers = request.customers,
         .target_path = platform::NativePath(request.target_path),
         .results_folder = values.results_folder,
         .main_database_path = platform::NativePath(values.main_database_path)},
        ui);
  };
}

CreateAction RebuildAction(const ProgramValues& values, rebuild::SeenList& seen) {
  return [&values, &seen](const CreateRequest& request, tasks::TaskUi& ui) {
    // The rebuild takes every instrument: the export list is not read.
    rebuild::RebuildRequest rebuild_request;
    rebuild_request.results_folder = values.results_folder;
    rebuild_request.main_database_path = platform::NativePath(values.main_database_path);
    rebuild_request.target_path = platform::NativePath(request.target_path);
    rebuild::RebuildDatabase(rebuild_request, ui, seen);
  };
}

ExportWindowServices ShellServices(Shell& shell, platform::Launcher& launcher) {
  return {.values = shell.values(),
          .prompter = shell.prompter(),
          .launcher = launcher,
          .progress = shell.progress(),
          .return_to_menu = [&shell](QWidget* window) { shell.ReturnToMenu(window); }};
}

ExportWindow* NewForm_Export(Shell& shell, platform::Launcher& launcher) {
  auto* window = new ExportWindow(ExportDesign(), ShellServices(shell, launcher),
                                  OnSiteAction(shell.values()));
  window->Load();
  return window;
}

ExportWindow* NewForm_Export_All(Shell& shell, platform::Launcher& launcher,
                                 rebuild::SeenList& seen) {
  auto* window = new ExportWindow(ExportAllDesign(), ShellServices(shell, launcher),
                                  RebuildAction(shell.values(), seen));
  window->Load();
  return window;
}

void RegisterExportWindows(Shell& shell, platform::Launcher& launcher, rebuild::SeenList& seen) {
  shell.RegisterTaskWindow(Task::kExport,
                           [&launcher](Shell& s) { return NewForm_Export(s, launcher); });
  shell.RegisterTaskWindow(Task::kRebuild, [&launcher, &seen](Shell& s) {
    return NewForm_Export_All(s, launcher, seen);
  });
}

}  // namespace app
