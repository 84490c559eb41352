// The two task windows built on the export window, with the actions behind their create
// buttons, and their registration with the shell.
#pragma once

#include "app/form_export_window.h"
#include "platform/launcher.h"
#include "rebuild/seen_list.h"

namespace app {

class Shell;

// The create button of Form_Export: an on-site database for the export list.
CreateAction OnSiteAction(const ProgramValues& values);
// The create button of Form_Export_All: the rebuild of the whole main database; `seen` is the
// program's certificate list.
CreateAction RebuildAction(const ProgramValues& values, rebuild::SeenList& seen);

// The shell's services for a window about to open.
ExportWindowServices ShellServices(Shell& shell, platform::Launcher& launcher);

// Form_Export and Form_Export_All, created and loaded.
ExportWindow* NewForm_Export(Shell& shell, platform::Launcher& launcher);
ExportWindow* NewForm_Export_All(Shell& shell, platform::Launcher& launcher,
                                 rebuild::SeenList& seen);

// Lets the menu's export and rebuild commands open their windows. `launcher` and `seen` must
// live as long as the shell.
void RegisterExportWindows(Shell& shell, platform::Launcher& launcher, rebuild::SeenList& seen);

}  // namespace app
