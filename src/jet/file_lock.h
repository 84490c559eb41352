// Who else has a database open: our own writers exclude each other with an operating-system
// lock on the database file, and a file that Access/Jet has open is recognised by the ".ldb"
// lock file Jet keeps beside it and by byte-range locks on the database itself.
//
// Format: docs/format.md, locks, the lock file and our journal.
#pragma once

#include <memory>
#include <string>

namespace jet {

// An advisory lock on a whole file, held until destroyed. POSIX: flock() on a descriptor of its
// own (per open file, so two PageFiles in one process exclude each other too, and a killed
// process loses it). Windows: LockFileEx on one byte far beyond any database's end, so the
// mandatory Windows lock never covers a byte that Jet or a reader uses.
class FileLock {
 public:
  enum class Mode { kShared, kExclusive };
  enum class Result {
    kAcquired,
    kHeldElsewhere,  // another process (or another PageFile of ours) holds a conflicting lock
    kUnsupported,    // the file system has no locks (or the file cannot be opened for one)
  };

  // Tries once, never waits. `lock` is set only when the result is kAcquired.
  static Result TryAcquire(const std::string& path, Mode mode, std::unique_ptr<FileLock>& lock);

  ~FileLock();
  FileLock(const FileLock&) = delete;
  FileLock& operator=(const FileLock&) = delete;

 private:
  FileLock() = default;
#ifdef _WIN32
  void* handle_ = nullptr;
#else
  int fd_ = -1;
#endif
};

// The lock file Jet keeps beside `database_path`: the same name with the extension ".ldb".
std::string JetLockFilePath(const std::string& database_path);

// Why another program counts as having `database_path` open for writing, or "" when nothing
// says so. In use: a ".ldb" beside it that is locked or held open (Windows: cannot be opened
// exclusively; POSIX: carries byte-range or flock locks) or that exists but cannot be opened,
// and (POSIX) byte-range locks on the database itself. A stale, unlocked ".ldb" left behind by a
// crash does not count. Our own FileLock is never reported.
std::string ForeignUseOf(const std::string& database_path);

}  // namespace jet
