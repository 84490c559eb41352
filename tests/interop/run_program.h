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

// A program left running beside the test (a second process holding a file, say): its standard
// input and output are pipes to us, its standard error is ours. The test reads what it reports
// line by line, and ends it by closing its input, which the program takes as the sign to finish.
class RunningProgram {
 public:
  // argv[0] is a path to the program (not looked up on PATH).
  explicit RunningProgram(const std::vector<std::string>& argv);
  ~RunningProgram();  // Finish()
  RunningProgram(const RunningProgram&) = delete;
  RunningProgram& operator=(const RunningProgram&) = delete;

  bool started() const { return started_; }
  // The next line it writes, without its line end; "" once its output has ended.
  std::string ReadLine();
  // Closes its input and waits for it: its exit code (-1 when it never started or was killed).
  int Finish();

 private:
  bool started_ = false;
  int exit_code_ = -1;
#ifdef _WIN32
  void* process_ = nullptr;
  void* input_ = nullptr;
  void* output_ = nullptr;
#else
  int pid_ = -1;
  int input_ = -1;
  int output_ = -1;
#endif
};
// Why a test cannot run `name` (an independent reader), for its skip message; "" when it can.
std::string WhyNotRunnable(const std::string& name);

}  // namespace interop
