#include "platform/launcher.h"

#include "jet/native_path.h"
#include "platform/files.h"

#ifdef _WIN32
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#else
#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#endif

namespace platform {

Command BrowseFolderCommand(std::string_view folder) {
#if defined(_WIN32)
  return {"explorer.exe", {NativePath(folder)}};
#elif defined(__APPLE__)
  return {"open", {NativePath(folder)}};
#else
  return {"xdg-open", {NativePath(folder)}};
#endif
}

Command EditTextFileCommand(std::string_view file) {
#if defined(_WIN32)
  return {"notepad.exe", {NativePath(file)}};
#elif defined(__APPLE__)
  return {"open", {"-t", NativePath(file)}};
#else
  return {"xdg-open", {NativePath(file)}};
#endif
}

namespace {

// One argument as the started program's C runtime splits its command line again: quoted
// when it is empty or holds a blank or a quote; backslashes doubled only before a quote.
std::string QuotedArgument(std::string_view argument) {
  if (!argument.empty() && argument.find_first_of(" \t\n\v\"") == std::string_view::npos) {
    return std::string(argument);
  }
  std::string out = "\"";
  size_t backslashes = 0;
  for (char c : argument) {
    if (c == '\\') {
      ++backslashes;
      continue;
    }
    out.append(c == '"' ? backslashes * 2 + 1 : backslashes, '\\');
    backslashes = 0;
    out += c;
  }
  out.append(backslashes * 2, '\\');
  out += '"';
  return out;
}

}  // namespace

std::string WindowsCommandLine(const Command& command) {
  std::string line = QuotedArgument(command.program);
  for (const std::string& argument : command.arguments) {
    line += ' ';
    line += QuotedArgument(argument);
  }
  return line;
}

namespace {

#ifdef _WIN32

bool StartDetached(const Command& command) {
  std::wstring line = jet::WidePath(WindowsCommandLine(command));
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process{};
  if (!CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE,
                      DETACHED_PROCESS | CREATE_NEW_PROCESS_GROUP, nullptr, nullptr, &startup,
                      &process)) {
    return false;
  }
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  return true;
}

#else

// Started from a grandchild that the init process adopts, so that nobody has to wait for it;
// a pipe closed by the exec (or carrying its failure) tells whether the program started.
bool StartDetached(const Command& command) {
  std::vector<char*> argv;
  std::vector<std::string> words{command.program};
  words.insert(words.end(), command.arguments.begin(), command.arguments.end());
  for (std::string& word : words) argv.push_back(word.data());
  argv.push_back(nullptr);

  int status_pipe[2];
  if (pipe2(status_pipe, O_CLOEXEC) != 0) return false;
  const pid_t child = fork();
  if (child < 0) {
    close(status_pipe[0]);
    close(status_pipe[1]);
    return false;
  }
  if (child == 0) {
    setsid();
    const pid_t grandchild = fork();
    if (grandchild == 0) {
      execvp(argv[0], argv.data());
      const int failure = errno;
      (void)!write(status_pipe[1], &failure, sizeof failure);
      _exit(127);
    }
    if (grandchild < 0) {
      const int failure = errno;
      (void)!write(status_pipe[1], &failure, sizeof failure);
    }
    _exit(0);
  }
  close(status_pipe[1]);
  int status = 0;
  while (waitpid(child, &status, 0) < 0 && errno == EINTR) {
  }
  int failure = 0;
  ssize_t got;
  do {
    got = read(status_pipe[0], &failure, sizeof failure);
  } while (got < 0 && errno == EINTR);
  close(status_pipe[0]);
  return got == 0;
}

#endif

}  // namespace

bool SystemLauncher::BrowseFolder(std::string_view folder) {
  return StartDetached(BrowseFolderCommand(folder));
}

bool SystemLauncher::EditTextFile(std::string_view file) {
  return StartDetached(EditTextFileCommand(file));
}

}  // namespace platform
