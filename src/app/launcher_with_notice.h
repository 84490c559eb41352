// Opening the import log or the export's folder where the system has no program for it (no
// file browser, no opener installed): the user is told where the file or folder is, instead
// of a runtime error that reads as a fault of the database, or nothing at all.
#pragma once

#include <string>
#include <string_view>

#include "platform/launcher.h"
#include "platform/prompter.h"

namespace app {

// The notices, naming the log's or the folder's path.
std::string LogNotShownText(std::string_view log_path);
std::string FolderNotShownText(std::string_view folder);

// `path` as the user can find it: a relative path (the import log is written to the current
// folder) completed with `current_folder`, in the system's own form.
std::string PathToShow(std::string_view path, std::string_view current_folder);

class LauncherWithNotice : public platform::Launcher {
 public:
  LauncherWithNotice(platform::Launcher& launcher, platform::Prompter& prompter)
      : launcher_(launcher), prompter_(prompter) {}

  // Each shows the notice when no program could show the file or folder, and then counts as
  // done: the user has been told where to look.
  bool BrowseFolder(std::string_view folder) override;
  bool EditTextFile(std::string_view file) override;

 private:
  platform::Launcher& launcher_;
  platform::Prompter& prompter_;
};

}  // namespace app
