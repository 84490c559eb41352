#include "jet/file_lock.h"

#include <filesystem>
#include <vector>

#include "jet/native_path.h"

#ifdef _WIN32
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#else
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#endif

namespace jet {
namespace {

std::vector<std::string> LockFileCandidates(const std::string& database_path) {
  std::vector<std::string> names{JetLockFilePath(database_path)};
#ifndef _WIN32
  // Jet runs where names ignore case; a share seen from here may keep its upper-case spelling.
  std::filesystem::path upper = U8Path(database_path);
  upper.replace_extension(".LDB");
  names.push_back(Utf8Path(upper));
#endif
  return names;
}

}  // namespace

std::string JetLockFilePath(const std::string& database_path) {
  std::filesystem::path path = U8Path(database_path);
  path.replace_extension(".ldb");
  return Utf8Path(path);
}

#ifdef _WIN32

namespace {
// The locked byte: past the 2 GB a Jet 4 file can reach and past every range Jet locks.
constexpr DWORD kLockOffsetHigh = 0x40000000;  // offset 2^62

HANDLE OpenShared(const std::string& path) {
  const std::wstring wide = WidePath(path);
  return CreateFileW(wide.c_str(), GENERIC_READ,
                     FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                     FILE_ATTRIBUTE_NORMAL, nullptr);
}
}  // namespace

FileLock::Result FileLock::TryAcquire(const std::string& path, Mode mode,
                                      std::unique_ptr<FileLock>& lock) {
  HANDLE handle = OpenShared(path);
  if (handle == INVALID_HANDLE_VALUE) return Result::kUnsupported;
  OVERLAPPED at{};
  at.Offset = 0;
  at.OffsetHigh = kLockOffsetHigh;
  DWORD flags = LOCKFILE_FAIL_IMMEDIATELY;
  if (mode == Mode::kExclusive) flags |= LOCKFILE_EXCLUSIVE_LOCK;
  if (!LockFileEx(handle, flags, 0, 1, 0, &at)) {
    const DWORD code = GetLastError();
    CloseHandle(handle);
    return code == ERROR_LOCK_VIOLATION || code == ERROR_IO_PENDING ? Result::kHeldElsewhere
                                                                    : Result::kUnsupported;
  }
  lock.reset(new FileLock());
  lock->handle_ = handle;
  return Result::kAcquired;
}

FileLock::~FileLock() {
  if (handle_ == nullptr) return;
  OVERLAPPED at{};
  at.OffsetHigh = kLockOffsetHigh;
  UnlockFileEx(static_cast<HANDLE>(handle_), 0, 1, 0, &at);
  CloseHandle(static_cast<HANDLE>(handle_));
}

std::string ForeignUseOf(const std::string& database_path) {
  // Jet holds its .ldb open as long as it has the database open; an exclusive open fails
  // then, and succeeds on a stale file nobody holds.
  for (const std::string& name : LockFileCandidates(database_path)) {
    const std::wstring wide = WidePath(name);
    HANDLE handle = CreateFileW(wide.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle != INVALID_HANDLE_VALUE) {
      CloseHandle(handle);
      continue;
    }
    const DWORD code = GetLastError();
    if (code == ERROR_FILE_NOT_FOUND || code == ERROR_PATH_NOT_FOUND) continue;
    if (code == ERROR_SHARING_VIOLATION || code == ERROR_LOCK_VIOLATION) {
      return "its lock file '" + name + "' is held open by another program";
    }
    return "its lock file '" + name + "' exists and cannot be opened (error " +
           std::to_string(code) + ")";
  }
  return "";
}

#else  // POSIX

FileLock::Result FileLock::TryAcquire(const std::string& path, Mode mode,
                                      std::unique_ptr<FileLock>& lock) {
  int fd;
  do {
    fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
  } while (fd < 0 && errno == EINTR);
  if (fd < 0) return Result::kUnsupported;
  int status;
  do {
    status = flock(fd, (mode == Mode::kExclusive ? LOCK_EX : LOCK_SH) | LOCK_NB);
  } while (status != 0 && errno == EINTR);
  if (status != 0) {
    const int code = errno;
    close(fd);
    return code == EWOULDBLOCK ? Result::kHeldElsewhere : Result::kUnsupported;
  }
  lock.reset(new FileLock());
  lock->fd_ = fd;
  return Result::kAcquired;
}

FileLock::~FileLock() {
  if (fd_ >= 0) close(fd_);  // closing the descriptor releases the flock
}

namespace {

// A byte-range (fcntl) lock held by another process anywhere in the file. Jet on a share
// served from here (and programs run under a Windows layer) take such locks; our own locks
// are flock locks, which F_GETLK does not see.
bool HasRangeLocks(int fd) {
  struct flock probe {};
  probe.l_type = F_WRLCK;
  probe.l_whence = SEEK_SET;
  probe.l_start = 0;
  probe.l_len = 0;  // to the end of every possible offset
  if (fcntl(fd, F_GETLK, &probe) != 0) return false;
  return probe.l_type != F_UNLCK;
}

bool HasFlock(int fd) {
  if (flock(fd, LOCK_EX | LOCK_NB) == 0) {
    flock(fd, LOCK_UN);
    return false;
  }
  return errno == EWOULDBLOCK;
}

}  // namespace

std::string ForeignUseOf(const std::string& database_path) {
  for (const std::string& name : LockFileCandidates(database_path)) {
    const int fd = open(name.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
      if (errno == ENOENT || errno == ENOTDIR) continue;
      return "its lock file '" + name + "' exists and cannot be opened (" + std::strerror(errno) +
             ")";
    }
    const bool locked = HasRangeLocks(fd) || HasFlock(fd);
    close(fd);
    if (locked) return "its lock file '" + name + "' is locked by another program";
  }
  const int fd = open(database_path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd >= 0) {
    const bool locked = HasRangeLocks(fd);
    close(fd);
    if (locked) return "another program holds byte-range locks on it";
  }
  return "";
}

#endif

}  // namespace jet
