// Starts another program (an independent reader, or our own command-line tool) and collects
// what it writes to standard output.
#pragma once

#include <string>
#include <vector>

namespace interop {

struct ProgramResult {
  int exit_code = -1;  // -1 when the program could not be started or was killed
  std::string output;  // standard output, byte for byte
};

// Runs argv[0] (looked up on PATH) with the arguments; standard error goes to ours so that
// a reader's complaint shows in the test log.
ProgramResult RunProgram(const std::vector<std::string>& argv);

// True when `name` is an executable on PATH.
bool ProgramOnPath(const std::string& name);

// Why a test cannot run `name` (an independent reader), for its skip message; "" when it can.
std::string WhyNotRunnable(const std::string& name);

}  // namespace interop
