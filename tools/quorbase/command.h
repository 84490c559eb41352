// quorbase's sub-commands register themselves here, one file each.
#pragma once

#include <functional>
#include <string>
#include <vector>

namespace quorbase_tool {

// Thrown for bad arguments: the tool prints the usage and exits with 2.
struct UsageError {
  std::string message;
};

struct Command {
  std::string name;
  std::string usage;  // arguments after the command name, e.g. "FOLDER [--seed N]"
  std::string summary;
  // Runs with the arguments after the command name; returns the exit code.
  std::function<int(const std::vector<std::string>& args)> run;
};

std::vector<Command>& Commands();

struct RegisterCommand {
  explicit RegisterCommand(Command command) { Commands().push_back(std::move(command)); }
};

}  // namespace quorbase_tool
