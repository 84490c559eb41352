#include "interop/run_program.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <sstream>
#include <string_view>

#ifdef _WIN32
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include "jet/native_path.h"
#include "platform/launcher.h"
#else
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>

extern char** environ;
#endif

namespace interop {
#ifndef _WIN32
namespace {

// Quoted for the POSIX shell: single quotes, with embedded single quotes closed and escaped.
std::string ShellQuote(std::string_view arg) {
  std::string out = "'";
  for (char c : arg) {
    if (c == '\'') {
      out += "'\\''";
    } else {
      out += c;
    }
  }
  out += '\'';
  return out;
}

}  // namespace
#endif

#ifdef _WIN32

// Windows: no shell between us and the program. The arguments go as one wide command line,
// quoted the way the program's C runtime splits it again, so that non-ASCII arguments arrive
// intact.
ProgramResult RunProgram(const std::vector<std::string>& argv) {
  ProgramResult result;
  if (argv.empty()) return result;
  SECURITY_ATTRIBUTES inherit{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
  HANDLE read_end = nullptr;
  HANDLE write_end = nullptr;
  if (!CreatePipe(&read_end, &write_end, &inherit, 0)) return result;
  SetHandleInformation(read_end, HANDLE_FLAG_INHERIT, 0);
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
  startup.hStdOutput = write_end;
  startup.hStdError = GetStdHandle(STD_ERROR_HANDLE);
  std::wstring line = jet::WidePath(platform::WindowsCommandLine(
      {argv[0], std::vector<std::string>(argv.begin() + 1, argv.end())}));
  PROCESS_INFORMATION process{};
  const bool started = CreateProcessW(nullptr, line.data(), nullptr, nullptr, TRUE, 0, nullptr,
                                      nullptr, &startup, &process);
  CloseHandle(write_end);
  if (!started) {
    CloseHandle(read_end);
    return result;
  }
  char buffer[65536];
  DWORD n = 0;
  while (ReadFile(read_end, buffer, sizeof buffer, &n, nullptr) && n > 0) {
    result.output.append(buffer, n);
  }
  CloseHandle(read_end);
  WaitForSingleObject(process.hProcess, INFINITE);
  DWORD code = 0;
  if (GetExitCodeProcess(process.hProcess, &code)) result.exit_code = static_cast<int>(code);
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  return result;
}

RunningProgram::RunningProgram(const std::vector<std::string>& argv) {
  if (argv.empty()) return;
  SECURITY_ATTRIBUTES inherit{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
  HANDLE child_in = nullptr, to_child = nullptr, from_child = nullptr, child_out = nullptr;
  if (!CreatePipe(&child_in, &to_child, &inherit, 0)) return;
  if (!CreatePipe(&from_child, &child_out, &inherit, 0)) {
    CloseHandle(child_in);
    CloseHandle(to_child);
    return;
  }
  SetHandleInformation(to_child, HANDLE_FLAG_INHERIT, 0);
  SetHandleInformation(from_child, HANDLE_FLAG_INHERIT, 0);
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = child_in;
  startup.hStdOutput = child_out;
  startup.hStdError = GetStdHandle(STD_ERROR_HANDLE);
  std::wstring line = jet::WidePath(platform::WindowsCommandLine(
      {argv[0], std::vector<std::string>(argv.begin() + 1, argv.end())}));
  PROCESS_INFORMATION process{};
  started_ = CreateProcessW(nullptr, line.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr,
                            &startup, &process);
  CloseHandle(child_in);
  CloseHandle(child_out);
  input_ = to_child;
  output_ = from_child;
  if (!started_) return;
  CloseHandle(process.hThread);
  process_ = process.hProcess;
}

std::string RunningProgram::ReadLine() {
  std::string line;
  char c;
  DWORD n = 0;
  while (output_ != nullptr && ReadFile(output_, &c, 1, &n, nullptr) && n == 1 && c != '\n') {
    if (c != '\r') line += c;
  }
  return line;
}

int RunningProgram::Finish() {
  if (input_ != nullptr) CloseHandle(input_);
  input_ = nullptr;
  if (process_ != nullptr) {
    WaitForSingleObject(process_, INFINITE);
    DWORD code = 0;
    if (GetExitCodeProcess(process_, &code)) exit_code_ = static_cast<int>(code);
    CloseHandle(process_);
    process_ = nullptr;
  }
  if (output_ != nullptr) CloseHandle(output_);
  output_ = nullptr;
  return exit_code_;
}

#else

ProgramResult RunProgram(const std::vector<std::string>& argv) {
  std::string command;
  for (const std::string& arg : argv) {
    if (!command.empty()) command += ' ';
    command += ShellQuote(arg);
  }
  ProgramResult result;
  FILE* pipe = popen(command.c_str(), "r");
  if (pipe == nullptr) return result;
  char buffer[65536];
  size_t n;
  while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) result.output.append(buffer, n);
  const int status = pclose(pipe);
  result.exit_code = (status != -1 && WIFEXITED(status)) ? WEXITSTATUS(status) : -1;
  return result;
}

RunningProgram::RunningProgram(const std::vector<std::string>& argv) {
  if (argv.empty()) return;
  int to_child[2], from_child[2];
  if (pipe2(to_child, O_CLOEXEC) != 0) return;
  if (pipe2(from_child, O_CLOEXEC) != 0) {
    close(to_child[0]);
    close(to_child[1]);
    return;
  }
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, to_child[0], STDIN_FILENO);
  posix_spawn_file_actions_adddup2(&actions, from_child[1], STDOUT_FILENO);
  std::vector<char*> args;
  for (const std::string& arg : argv) args.push_back(const_cast<char*>(arg.c_str()));
  args.push_back(nullptr);
  pid_t pid = -1;
  started_ = posix_spawn(&pid, argv[0].c_str(), &actions, nullptr, args.data(), environ) == 0;
  posix_spawn_file_actions_destroy(&actions);
  close(to_child[0]);
  close(from_child[1]);
  input_ = to_child[1];
  output_ = from_child[0];
  if (started_) pid_ = pid;
}

std::string RunningProgram::ReadLine() {
  std::string line;
  char c;
  while (output_ >= 0) {
    const ssize_t n = read(output_, &c, 1);
    if (n < 0 && errno == EINTR) continue;
    if (n != 1 || c == '\n') break;
    line += c;
  }
  return line;
}

int RunningProgram::Finish() {
  if (input_ >= 0) close(input_);
  input_ = -1;
  if (pid_ > 0) {
    int status = 0;
    while (waitpid(pid_, &status, 0) < 0 && errno == EINTR) {
    }
    exit_code_ = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    pid_ = -1;
  }
  if (output_ >= 0) close(output_);
  output_ = -1;
  return exit_code_;
}

#endif

bool ProgramOnPath(const std::string& name) {
#ifdef _WIN32
  constexpr char kListSeparator = ';';
  const std::string file = name + ".exe";
#else
  constexpr char kListSeparator = ':';
  const std::string& file = name;
#endif
  const char* path = std::getenv("PATH");
  if (path == nullptr) return false;
  std::stringstream dirs(path);
  std::string dir;
  while (std::getline(dirs, dir, kListSeparator)) {
    std::error_code ec;
    if (std::filesystem::is_regular_file(std::filesystem::path(dir) / file, ec)) return true;
  }
  return false;
}

RunningProgram::~RunningProgram() { Finish(); }
std::string WhyNotRunnable(const std::string& name) {
  if (ProgramOnPath(name)) return "";
#ifdef _WIN32
  // Under Wine the readers are the Linux machine's programs, which Wine starts detached, with
  // neither their output nor their exit status: scripts/test-windows runs them on the Linux
  // side against the files this build wrote.
  return name + " is not on this Windows PATH; scripts/test-windows runs it on the Linux side";
#else
  return name + " not found (run scripts/setup)";
#endif
}

}  // namespace interop
