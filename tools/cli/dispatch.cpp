#include <algorithm>
#include <filesystem>
#include <iostream>

#include "cli/command.h"
#include "cli/process_io.h"
#include "jet/error.h"

namespace cli {

std::vector<Command>& Commands() {
  static std::vector<Command> commands;
  return commands;
}

namespace {

void PrintUsage(std::string_view program) {
  auto commands = Commands();
  std::sort(commands.begin(), commands.end(),
            [](const auto& a, const auto& b) { return a.name < b.name; });
  std::cerr << "usage: " << program << " COMMAND ARGUMENTS\n\ncommands:\n";
  for (const auto& c : commands) {
    std::cerr << "  " << program << " " << c.name << " " << c.usage << "\n      " << c.summary
              << "\n";
  }
}

}  // namespace

int Dispatch(std::string_view program, int argc, char** argv) {
  UseBinaryStandardStreams();
  const std::vector<std::string> arguments = ProgramArguments(argc, argv);
  if (arguments.size() < 2) {
    PrintUsage(program);
    return 2;
  }
  const std::string name = arguments[1];
  if (name == "--help" || name == "-h" || name == "help") {
    PrintUsage(program);
    return 0;
  }
  const auto& commands = Commands();
  const auto it =
      std::find_if(commands.begin(), commands.end(), [&](const auto& c) { return c.name == name; });
  if (it == commands.end()) {
    std::cerr << program << ": unknown command '" << name << "'\n";
    PrintUsage(program);
    return 2;
  }
  try {
    return it->run(std::vector<std::string>(arguments.begin() + 2, arguments.end()));
  } catch (const UsageError& e) {
    std::cerr << program << " " << name << ": " << e.message << "\nusage: " << program << " "
              << name << " " << it->usage << "\n";
    return 2;
  } catch (const jet::Error& e) {
    std::cerr << program << ": error " << e.number() << ": " << e.description() << "\n";
    return 1;
  } catch (const std::filesystem::filesystem_error& e) {
    std::cerr << program << ": " << e.what() << "\n";
    return 1;
  }
}

}  // namespace cli
