// Starting other programs without waiting for them: the file browser on a folder and a text
// editor on a log file.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace platform {

// A program and its arguments, ready to start.
struct Command {
  std::string program;
  std::vector<std::string> arguments;
  friend bool operator==(const Command&, const Command&) = default;
};

// The system's file browser on `folder`: "explorer.exe" on Windows, "open" on macOS,
// "xdg-open" (the desktop's file manager) elsewhere.
Command BrowseFolderCommand(std::string_view folder);
// A text editor on `file`: "notepad.exe" on Windows, "open -t" (the default text editor) on
// macOS, "xdg-open" elsewhere, which opens a .txt file in the desktop's text editor.
Command EditTextFileCommand(std::string_view file);

// Every way the system has to show `folder` or `file`, the commands above first. Elsewhere
// than on Windows and macOS the desktop's opener may be missing (xdg-open is not on every
// system), so GLib's opener follows it.
std::vector<Command> BrowseFolderCommands(std::string_view folder);
std::vector<Command> EditTextFileCommands(std::string_view file);

// The command line that starts `command` on Windows, which hands a program one string: each
// argument quoted where needed so that the program's C runtime splits the line back into the
// same arguments.
std::string WindowsCommandLine(const Command& command);

class Launcher {
 public:
  virtual ~Launcher() = default;
  // Each returns false when no program could be started, or each one started gave up at once
  // (an opener with nothing to open the file with); the caller does not wait for the program.
  virtual bool BrowseFolder(std::string_view folder) = 0;
  virtual bool EditTextFile(std::string_view file) = 0;
};

// Starts the commands above, one after another until one runs, as detached processes.
class SystemLauncher : public Launcher {
 public:
  bool BrowseFolder(std::string_view folder) override;
  bool EditTextFile(std::string_view file) override;
};

}  // namespace platform
