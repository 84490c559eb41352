#include "interop/run_program.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <sstream>
#include <string_view>

#ifndef _WIN32
#include <sys/wait.h>
#endif

namespace interop {
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

ProgramResult RunProgram(const std::vector<std::string>& argv) {
  std::string command;
  for (const std::string& arg : argv) {
    if (!command.empty()) command += ' ';
    command += ShellQuote(arg);
  }
  ProgramResult result;
#ifdef _WIN32
  FILE* pipe = _popen(command.c_str(), "rb");
#else
  FILE* pipe = popen(command.c_str(), "r");
#endif
  if (pipe == nullptr) return result;
  char buffer[65536];
  size_t n;
  while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) result.output.append(buffer, n);
#ifdef _WIN32
  result.exit_code = _pclose(pipe);
#else
  const int status = pclose(pipe);
  result.exit_code = (status != -1 && WIFEXITED(status)) ? WEXITSTATUS(status) : -1;
#endif
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

}  // namespace interop
