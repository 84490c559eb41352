// Who else has a database open: our own writers exclude each other with an operating-system
// lock on the database file, and a file that Access/Jet has open is recognised by the ".ldb"
// lock file Jet keeps beside it and by byte-range locks on the database itself.
//
// Format: docs/format.md, locks, the lock file and our journal.
#pragma once

#include <memory>
#include <string>
#include <vector>

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
// The phrase names the computers and users the lock file lists, where it lists any.
std::string ForeignUseOf(const std::string& database_path);

// One entry of a Jet lock file: Jet gives each user of the database a 64-byte entry, the
// computer's name in its first 32 bytes and the user's security name ("Admin" unless the
// database is secured) in the other 32, each padded with NULs. Entries of users who have closed
// the database may stay until the last user closes it, so the list names who holds the file or
// held it lately.
struct JetLockEntry {
  std::string computer;
  std::string user;
};
// The entries of the lock file at `lock_file_path`; none when it cannot be read.
std::vector<JetLockEntry> ReadJetLockEntries(const std::string& lock_file_path);

// For a command about to delete or replace the file at `path`: POSIX lets a file be deleted
// (and copied over in place) while another program writes it, so the command asks first. Throws
// Error 3045 naming the file and who has it open for writing (another of our writers, or
// Access/Jet by its lock file, with the computers and users it lists); otherwise returns our
// writers' lock on the file, which keeps our other writers out until it is destroyed (null
// where the file system has no locks or there is no file). On Windows the lock's handle shares
// deletion, so the file can be deleted while it is held; the name goes when the lock does.
std::unique_ptr<FileLock> LockForReplacing(const std::string& path);

}  // namespace jet
