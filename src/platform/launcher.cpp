#include "platform/launcher.h"

#include <QProcess>
#include <QStringList>

#include "platform/files.h"

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

bool StartDetached(const Command& command) {
  QStringList arguments;
  for (const std::string& argument : command.arguments) {
    arguments << QString::fromStdString(argument);
  }
  return QProcess::startDetached(QString::fromStdString(command.program), arguments);
}

}  // namespace

bool SystemLauncher::BrowseFolder(std::string_view folder) {
  return StartDetached(BrowseFolderCommand(folder));
}

bool SystemLauncher::EditTextFile(std::string_view file) {
  return StartDetached(EditTextFileCommand(file));
}

}  // namespace platform
