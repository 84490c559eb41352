// Paths at the file-system boundary. The laboratory's paths are written the Windows way
// (folder + "\Quorbase.mdb"); a backslash is a path separator on every system we run on, so
// elsewhere it becomes the native one before the path reaches the file system.
//
// Paths are UTF-8 in the program. Windows takes them as UTF-16 ("wide") strings: a narrow
// string would be read in the ANSI code page, which turns "Jörg" into something else and
// cannot hold a Greek letter at all. So every path goes to the system through U8Path or FsPath
// (built from char8_t, never from a narrow string) or WidePath.
#pragma once

#include <cstdio>
#include <filesystem>
#include <string>
#include <string_view>

namespace jet {

inline std::string NativePath(std::string_view path) {
  std::string out(path);
#ifndef _WIN32
  for (char& c : out) {
    if (c == '\\') c = '/';
  }
#endif
  return out;
}

// The UTF-8 path as the standard library's path, as it stands.
inline std::filesystem::path U8Path(std::string_view path) {
  return std::filesystem::path(std::u8string(path.begin(), path.end()));
}

// The UTF-8 path as the standard library's path, in the native form.
inline std::filesystem::path FsPath(std::string_view path) { return U8Path(NativePath(path)); }

// A path from the standard library, back in the program's UTF-8.
inline std::string Utf8Path(const std::filesystem::path& path) {
  const std::u8string text = path.u8string();
  return std::string(text.begin(), text.end());
}

#ifdef _WIN32
// The UTF-8 text as Windows' wide string, for the system's ...W calls.
inline std::wstring WidePath(std::string_view path) { return U8Path(path).wstring(); }
#endif

// std::fopen for a UTF-8 path. An "x" in the mode (create, never replace) holds on every
// system, also where the C runtime ignores it (Windows' older runtime, which MinGW links):
// fails with errno EEXIST when the file exists.
std::FILE* OpenCFile(std::string_view path, const char* mode);

}  // namespace jet
