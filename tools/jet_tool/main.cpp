// jet-tool: the engine's command-line tool (listing, dumping, checking and looking up).
#include <algorithm>
#include <cstdio>
#include <iostream>

#include "jet/error.h"
#include "jet_tool/command.h"

namespace jet_tool {

std::vector<Command>& Commands() {
  static std::vector<Command> commands;
  return commands;
}

}  // namespace jet_tool

namespace {

void PrintUsage() {
  auto commands = jet_tool::Commands();
  std::sort(commands.begin(), commands.end(),
            [](const auto& a, const auto& b) { return a.name < b.name; });
  std::cerr << "usage: jet-tool COMMAND ARGUMENTS\n\ncommands:\n";
  for (const auto& c : commands) {
    std::cerr << "  jet-tool " << c.name << " " << c.usage << "\n      " << c.summary << "\n";
  }
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    PrintUsage();
    return 2;
  }
  const std::string name = argv[1];
  const auto& commands = jet_tool::Commands();
  const auto it =
      std::find_if(commands.begin(), commands.end(), [&](const auto& c) { return c.name == name; });
  if (it == commands.end()) {
    std::cerr << "jet-tool: unknown command '" << name << "'\n";
    PrintUsage();
    return 2;
  }
  try {
    return it->run(std::vector<std::string>(argv + 2, argv + argc));
  } catch (const jet_tool::UsageError& e) {
    std::cerr << "jet-tool " << name << ": " << e.message << "\nusage: jet-tool " << name << " "
              << it->usage << "\n";
    return 2;
  } catch (const jet::Error& e) {
    std::cerr << "jet-tool: error " << e.number() << ": " << e.description() << "\n";
    return 1;
  }
}
