#include "app/reconciler.h"

#include <exception>

#include "app/init_database.h"
#include "jet/error.h"
#include "platform/display_text.h"
#include "platform/files.h"

namespace app {

Reconciler::Reconciler(std::string program_name, platform::Clock& clock,
                       std::string default_program_folder)
    : clock_(clock), default_program_folder_(std::move(default_program_folder)) {
  values_.program_name = std::move(program_name);
}

std::string TrimSpaces(const std::string& text) {
  const size_t first = text.find_first_not_of(' ');
  if (first == std::string::npos) return "";
  const size_t last = text.find_last_not_of(' ');
  return text.substr(first, last - first + 1);
}

std::string TitleInfoText(const std::string& main_database_path) {
  return std::string("Certificates Database Path = ") + platform::kCr + platform::kCr +
         main_database_path;
}

void Reconciler::WaitSeconds(double seconds) { platform::WaitSeconds(clock_, seconds); }

void Reconciler::LocateInitDatabase() {
  std::string folder = platform::CurrentFolder();
  if (!platform::FileExists(folder + kInitDatabaseName)) {
    // The folder stays current for the rest of the run: relative names used later (the
    // import log) resolve against it. When it cannot be entered (not installed there), the
    // file is still looked for there, so that the engine's message names the file the
    // program wanted rather than one in a folder it had already found empty.
    folder = default_program_folder_;
    platform::SetCurrentFolder(folder);
  }
  init_database_path_ = folder + kInitDatabaseName;
}

void Reconciler::ApplyResultsPath(const jet::Value& results_path) {
  if (results_path.IsNull()) return;
  const std::string text = results_path.Is<std::string>() ? results_path.As<std::string>()
                                                          : jet::DebugString(results_path);
  // Used as written: no separator added or removed, the folder not tested.
  values_.results_folder = TrimSpaces(text);
  values_.main_database_path = values_.results_folder + kMainDatabaseName;
}

bool Reconciler::StartUp(StartUpScreens& screens) {
  values_.version_text = kVersionText;
  LocateInitDatabase();
  screens.ShowTitle();
  try {
    const jet::Value results_path = ReadResultsPath(init_database_path_);
    ApplyResultsPath(results_path);
  } catch (const jet::Error& error) {
    screens.ShowStop(error.description());
    return false;
  } catch (const std::exception& error) {
    // Not an engine error (the file system refusing the folder, memory): still a stop with
    // the message, never a crash.
    screens.ShowStop(error.what());
    return false;
  }
  screens.SetTitleInfo(TitleInfoText(values_.main_database_path));
  WaitSeconds(2);
  screens.UnloadTitle();
  screens.ShowMenu();
  return true;
}

}  // namespace app
