// quorbase: the laboratory's command-line tool over the results database (demo data, and the
// tasks of the programs without their windows).
#include <algorithm>
#include <filesystem>
#include <iostream>

#include "jet/error.h"
#include "quorbase/command.h"

namespace quorbase_tool {

std::vector<Command>& Commands() {
  static std::vector<Command> commands;
  return commands;
}

}  // namespace quorbase_tool

namespace {

void PrintUsage() {
  auto commands = quorbase_tool::Commands();
  std::sort(commands.begin(), commands.end(),
            [](const auto& a, const auto& b) { return a.name < b.name; });
  std::cerr << "usage: quorbase COMMAND ARGUMENTS\n\ncommands:\n";
  for (const auto& c : commands) {
    std::cerr << "  quorbase " << c.name << " " << c.usage << "\n      " << c.summary << "\n";
  }
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    PrintUsage();
    return 2;
  }
  const std::string name = argv[1];
  if (name == "--help" || name == "-h" || name == "help") {
    PrintUsage();
    return 0;
  }
  const auto& commands = quorbase_tool::Commands();
  const auto it =
      std::find_if(commands.begin(), commands.end(), [&](const auto& c) { return c.name == name; });
  if (it == commands.end()) {
    std::cerr << "quorbase: unknown command '" << name << "'\n";
    PrintUsage();
    return 2;
  }
  try {
    return it->run(std::vector<std::string>(argv + 2, argv + argc));
  } catch (const quorbase_tool::UsageError& e) {
    std::cerr << "quorbase " << name << ": " << e.message << "\nusage: quorbase " << name << " "
              << it->usage << "\n";
    return 2;
  } catch (const jet::Error& e) {
    std::cerr << "quorbase: error " << e.number() << ": " << e.description() << "\n";
    return 1;
  } catch (const std::filesystem::filesystem_error& e) {
    std::cerr << "quorbase: " << e.what() << "\n";
    return 1;
  }
}
