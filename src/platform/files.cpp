#include "platform/files.h"

#include <filesystem>
#include <system_error>

#include "jet/native_path.h"

#ifdef _WIN32
#ifndef NOMINMAX
#define NOMINMAX
#endif
#define WIN32_LEAN_AND_MEAN
#include <windows.h>
#endif

namespace platform {
namespace {

std::filesystem::path ToFsPath(std::string_view path) { return jet::FsPath(path); }

std::string FromFsPath(const std::filesystem::path& path) { return jet::Utf8Path(path); }

}  // namespace

std::string NativePath(std::string_view path) { return jet::NativePath(path); }

bool FileExists(std::string_view path) {
  if (path.empty()) return false;
#ifdef _WIN32
  const std::wstring wide = jet::WidePath(NativePath(path));
  const DWORD attributes = GetFileAttributesW(wide.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) return false;
  return (attributes &
          (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM)) == 0;
#else
  const std::filesystem::path fs_path = ToFsPath(path);
  std::error_code error;
  if (!std::filesystem::is_regular_file(fs_path, error)) return false;
  const std::string name = FromFsPath(fs_path.filename());
  return name.empty() || name[0] != '.';
#endif
}

std::string RemoveFile(std::string_view path) {
  std::error_code error;
  if (!std::filesystem::remove(ToFsPath(path), error)) {
    return error ? error.message() : "File not found";
  }
  return "";
}

std::string CopyFileOver(std::string_view from, std::string_view to) {
  std::error_code error;
  std::filesystem::copy_file(ToFsPath(from), ToFsPath(to),
                             std::filesystem::copy_options::overwrite_existing, error);
  return error ? error.message() : "";
}

std::string CurrentFolder() {
  std::error_code error;
  const std::filesystem::path folder = std::filesystem::current_path(error);
  return error ? "" : FromFsPath(folder);
}

bool SetCurrentFolder(std::string_view folder) {
  if (folder.empty()) return false;
  std::error_code error;
  std::filesystem::current_path(ToFsPath(folder), error);
  return !error;
}

std::string DefaultProgramFolder() {
#ifdef _WIN32
  return "c:\\quorvel\\programs";
#else
  return "/opt/quorvel/programs";
#endif
}

}  // namespace platform
