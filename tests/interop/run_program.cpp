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
#include <sys/wait.h>
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

bool ProgramOnPath(const std::string& name) {
  const char* path = std::getenv("PATH");
  if (path == nullptr) return false;
  std::stringstream dirs(path);
  std::string dir;
  while (std::getline(dirs, dir, ';')) {
    std::error_code ec;
    const auto candidate = std::filesystem::path(dir) / (name + ".exe");
    if (std::filesystem::is_regular_file(candidate, ec)) return true;
  }
  return false;
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

bool ProgramOnPath(const std::string& name) {
  const char* path = std::getenv("PATH");
  if (path == nullptr) return false;
  std::stringstream dirs(path);
  std::string dir;
  while (std::getline(dirs, dir, ':')) {
    std::error_code ec;
    const auto candidate = std::filesystem::path(dir) / name;
    if (std::filesystem::is_regular_file(candidate, ec)) return true;
  }
  return false;
}

#endif

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
