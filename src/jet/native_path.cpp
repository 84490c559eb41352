#include "jet/native_path.h"

#include <cerrno>
#include <cstring>

#ifdef _WIN32
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <fcntl.h>
#include <io.h>
#include <windows.h>
#endif

namespace jet {

std::FILE* OpenCFile(std::string_view path, const char* mode) {
#ifdef _WIN32
  const std::wstring wide = WidePath(path);
  std::wstring wide_mode;
  for (const char* c = mode; *c != '\0'; ++c) {
    if (*c != 'x') wide_mode += static_cast<wchar_t>(*c);
  }
  if (std::strchr(mode, 'x') == nullptr) return _wfopen(wide.c_str(), wide_mode.c_str());
  // CREATE_NEW: the system refuses an existing file, even one that appears in the meantime.
  HANDLE handle = CreateFileW(wide.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                              CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (handle == INVALID_HANDLE_VALUE) {
    const DWORD code = GetLastError();
    errno = code == ERROR_FILE_EXISTS || code == ERROR_ALREADY_EXISTS ? EEXIST
            : code == ERROR_ACCESS_DENIED                             ? EACCES
                                                                      : ENOENT;
    return nullptr;
  }
  const int fd = _open_osfhandle(reinterpret_cast<intptr_t>(handle),
                                 std::strchr(mode, 'b') != nullptr ? _O_BINARY : _O_TEXT);
  if (fd < 0) {
    CloseHandle(handle);
    return nullptr;
  }
  std::FILE* file = _wfdopen(fd, wide_mode.c_str());
  if (file == nullptr) _close(fd);
  return file;
#else
  return std::fopen(NativePath(path).c_str(), mode);
#endif
}

}  // namespace jet
