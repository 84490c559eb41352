// Start-up: the program-wide values, the results folder found through the initialisation
// database, the title window for two seconds, then the main menu. Runs before any window
// input is handled, and without windows at all when a test drives it.
#pragma once

#include <string>

#include "app/program_values.h"
#include "jet/value.h"
#include "platform/clock.h"

namespace app {

// The windows start-up drives.
class StartUpScreens {
 public:
  virtual ~StartUpScreens() = default;
  // Loads the title window, shows it without blocking and paints it at once.
  virtual void ShowTitle() = 0;
  // Sets the title window's database-path label and paints it at once.
  virtual void SetTitleInfo(const std::string& text) = 0;
  virtual void UnloadTitle() = 0;
  // Shows the main menu without blocking.
  virtual void ShowMenu() = 0;
  // Start-up cannot go on: shows the engine's error message, with nothing added to it.
  virtual void ShowStop(const std::string& message) = 0;
};

class Reconciler {
 public:
  // `default_program_folder` is where the initialisation database is looked for when the
  // current folder has none; the installed program uses platform::DefaultProgramFolder().
  Reconciler(std::string program_name, platform::Clock& clock, std::string default_program_folder);

  // Start-up, in the laboratory's order. Returns true when the main menu was shown, false
  // when start-up stopped with the engine's message (the title window is still on screen
  // then; the program ends).
  bool StartUp(StartUpScreens& screens);

  ProgramValues& values() { return values_; }
  // The initialisation database start-up opened (or tried to).
  const std::string& init_database_path() const { return init_database_path_; }

  // Returns once more than `seconds` have passed, processing no window messages.
  void WaitSeconds(double seconds);

 private:
  void LocateInitDatabase();
  void ApplyResultsPath(const jet::Value& results_path);

  ProgramValues values_;
  platform::Clock& clock_;
  std::string default_program_folder_;
  std::string init_database_path_;
};

// VB's Trim: leading and trailing spaces only; tabs and other blanks stay.
std::string TrimSpaces(const std::string& text);

// The caption start-up writes into the title window.
std::string TitleInfoText(const std::string& main_database_path);

}  // namespace app
