// Paths at the file-system boundary. The laboratory's paths are written the Windows way
// (folder + "\Quorbase.mdb"); a backslash is a path separator on every system we run on, so
// elsewhere it becomes the native one before the path reaches the file system.
#pragma once

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

}  // namespace jet
