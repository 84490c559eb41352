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

std::vector<Command> WithFallbacks(Command first_choice, std::string_view path) {
  std::vector<Command> commands{std::move(first_choice)};
#if !defined(_WIN32) && !defined(__APPLE__)
  commands.push_back({"gio", {"open", NativePath(path)}});
#else
  (void)path;
#endif
  return commands;
}

}  // namespace

std::vector<Command> BrowseFolderCommands(std::string_view folder) {
  return WithFallbacks(BrowseFolderCommand(folder), folder);
}

std::vector<Command> EditTextFileCommands(std::string_view file) {
  return WithFallbacks(EditTextFileCommand(file), file);
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

// How long an opener has to give up before it counts as showing the file. Openers hand the
// file to a program and end within this; one that runs on is the program itself.
constexpr int kGiveUpMs = 1000;

// Waits for the started program up to kGiveUpMs: its failure, or 0 once it ended well or still
// runs.
int GaveUp(pid_t program) {
  for (int waited = 0; waited < kGiveUpMs; waited += 10) {
    int status = 0;
    const pid_t ended = waitpid(program, &status, WNOHANG);
    if (ended == program) {
      return WIFEXITED(status) && WEXITSTATUS(status) == 0 ? 0 : ECHILD;
    }
    if (ended < 0 && errno != EINTR) return 0;
    usleep(10 * 1000);
  }
  return 0;
}

// Started from a grandchild that the init process adopts, so that nobody has to wait for it
// long; a pipe carries the exec's failure, or the program's giving up at once, back.
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
    } else if (const int failure = GaveUp(grandchild); failure != 0) {
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

namespace {

bool StartFirstThatRuns(const std::vector<Command>& commands) {
  for (const Command& command : commands) {
    if (StartDetached(command)) return true;
  }
  return false;
}

}  // namespace

bool SystemLauncher::BrowseFolder(std::string_view folder) {
  return StartFirstThatRuns(BrowseFolderCommands(folder));
}

bool SystemLauncher::EditTextFile(std::string_view file) {
  return StartFirstThatRuns(EditTextFileCommands(file));
}

}  // namespace platform
