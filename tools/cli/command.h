// The command-line tools' sub-commands: each registers itself, one file each, and a tool's
// main hands its arguments to Dispatch.
#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace cli {

// Thrown for bad arguments: the tool prints the command's usage and exits with 2.
struct UsageError {
  std::string message;
};

struct Command {
  std::string name;
  std::string usage;  // arguments after the command name, e.g. "FILE TABLE"
  std::string summary;
  // Runs with the arguments after the command name; returns the exit code.
  std::function<int(const std::vector<std::string>& args)> run;
};

// The commands linked into this program.
std::vector<Command>& Commands();

struct RegisterCommand {
  explicit RegisterCommand(Command command) { Commands().push_back(std::move(command)); }
};

// Runs the command named by argv[1]: usage (exit 2) for a missing or unknown command or bad
// arguments, the engine's error number and description (exit 1) when it fails.
int Dispatch(std::string_view program, int argc, char** argv);

}  // namespace cli
