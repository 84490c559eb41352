// One writer at a time: our own writers exclude each other (also across processes, and a
// killed writer leaves no lock behind), and a file Access/Jet has open (its .ldb held, or
// byte ranges of the database locked) is refused for writing with 3045 but stays readable.
#include "jet/file_lock.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>

#include "jet/error.h"
#include "jet/page_file.h"
#include "support/fixtures.h"

#ifndef _WIN32
#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

namespace jet {
namespace {

std::string NewDatabase(const std::string& name) {
  const std::string path = testing_support::TempDir() + "/" + name;
  std::ofstream out(path, std::ios::binary);
  const std::string pages(3 * kPageSize, '\x01');
  out.write(pages.data(), static_cast<std::streamsize>(pages.size()));
  return path;
}

// The error a writer gets, or 0 when it opens.
int WriterError(const std::string& path, std::string* description = nullptr) {
  try {
    PageFile file(path, OpenMode::kReadWrite);
    return 0;
  } catch (const Error& e) {
    if (description != nullptr) *description = e.description();
    return e.number();
  }
}

bool Readable(const std::string& path) {
  PageFile file(path);
  return file.page_count() == 3 && file.Page(2)[0] == 1;
}

TEST(FileLockTest, WritersInOneProcessExcludeEachOtherAndReadersStayWelcome) {
  const std::string path = NewDatabase("one.mdb");
  {
    PageFile writer(path, OpenMode::kReadWrite);
    std::string why;
    EXPECT_EQ(WriterError(path, &why), kErrFileInUse);
    EXPECT_NE(why.find("in use"), std::string::npos) << why;
    EXPECT_TRUE(Readable(path));
  }
  EXPECT_EQ(WriterError(path), 0) << "the lock goes with the writer";

  std::unique_ptr<FileLock> first, second;
  using Mode = FileLock::Mode;
  using Result = FileLock::Result;
  ASSERT_EQ(FileLock::TryAcquire(path, Mode::kShared, first), Result::kAcquired);
  EXPECT_EQ(FileLock::TryAcquire(path, Mode::kShared, second), Result::kAcquired);
  second.reset();
  EXPECT_EQ(FileLock::TryAcquire(path, Mode::kExclusive, second), Result::kHeldElsewhere);
  EXPECT_EQ(second, nullptr);
  first.reset();
  EXPECT_EQ(FileLock::TryAcquire(path, Mode::kExclusive, second), Result::kAcquired);
}

TEST(FileLockTest, JetLockFileEntriesGiveComputerAndUserNames) {
  const std::string ldb = testing_support::TempDir() + "/names.ldb";
  auto entry = [](std::string computer, std::string user) {
    computer.resize(32, '\0');
    user.resize(32, '\0');
    return computer + user;
  };
  std::string bytes = entry("LAB-PC7", "Admin") + entry("", "") +
                      entry("OFFICE  ", std::string("J\x9Arg", 4)) + std::string(40, 'Z');
  std::ofstream(ldb, std::ios::binary) << bytes;
  const std::vector<JetLockEntry> entries = ReadJetLockEntries(ldb);
  ASSERT_EQ(entries.size(), 2u) << "empty entries and a trailing partial one are no users";
  EXPECT_EQ(entries[0].computer, "LAB-PC7");
  EXPECT_EQ(entries[0].user, "Admin");
  EXPECT_EQ(entries[1].computer, "OFFICE");
  EXPECT_EQ(entries[1].user, "J?rg");
  EXPECT_TRUE(ReadJetLockEntries(ldb + ".missing").empty());
}

TEST(FileLockTest, LockForReplacingRefusesAHeldFileAndKeepsWritersOutWhileHeld) {
  const std::string path = NewDatabase("replace.mdb");
  {
    PageFile writer(path, OpenMode::kReadWrite);
    try {
      LockForReplacing(path);
      FAIL() << "a file another writer holds must not be replaced";
    } catch (const Error& error) {
      EXPECT_EQ(error.number(), kErrFileInUse);
      EXPECT_EQ(error.description(), "Could not use '" + path +
                                         "'; file already in use: another of our programs has it "
                                         "open for writing. Nothing was changed.");
    }
  }
  {
    const std::unique_ptr<FileLock> lock = LockForReplacing(path);
    EXPECT_NE(lock, nullptr);
    EXPECT_EQ(WriterError(path), kErrFileInUse) << "no writer starts while the file is replaced";
  }
  EXPECT_EQ(WriterError(path), 0);
  EXPECT_EQ(LockForReplacing(path + ".missing"), nullptr);
}

#ifndef _WIN32

// Another process that takes some lock, reports it, and keeps it until told to go (or killed).
class LockingChild {
 public:
  explicit LockingChild(const std::function<bool()>& take) {
    int ready[2], go[2];
    if (pipe(ready) != 0 || pipe(go) != 0) return;
    pid_ = fork();
    if (pid_ == 0) {
      close(ready[0]);
      close(go[1]);
      const char ok = take() ? 'y' : 'n';
      if (write(ready[1], &ok, 1) != 1) _exit(3);
      char byte;
      while (read(go[0], &byte, 1) > 0) {
      }
      _exit(0);
    }
    close(ready[1]);
    close(go[0]);
    go_ = go[1];
    char ok = 'n';
    locked_ = read(ready[0], &ok, 1) == 1 && ok == 'y';
    close(ready[0]);
  }
  ~LockingChild() { Stop(); }

  bool locked() const { return locked_; }
  void Stop() {
    if (pid_ <= 0) return;
    close(go_);
    waitpid(pid_, nullptr, 0);
    pid_ = -1;
  }
  void Kill() {
    if (pid_ <= 0) return;
    kill(pid_, SIGKILL);
    Stop();
  }

 private:
  pid_t pid_ = -1;
  int go_ = -1;
  bool locked_ = false;
};

bool RangeLock(const std::string& path, off_t start, off_t length) {
  const int fd = open(path.c_str(), O_RDWR);
  struct flock range {};
  range.l_type = F_WRLCK;
  range.l_whence = SEEK_SET;
  range.l_start = start;
  range.l_len = length;
  return fd >= 0 && fcntl(fd, F_SETLK, &range) == 0;  // the descriptor stays open
}

TEST(FileLockTest, AWriterInAnotherProcessIsExcludedUntilItEndsOrDies) {
  const std::string path = NewDatabase("two.mdb");
  for (bool killed : {false, true}) {
    LockingChild child([&] {
      static std::unique_ptr<PageFile> writer;  // lives until the child exits
      writer = std::make_unique<PageFile>(path, OpenMode::kReadWrite);
      return true;
    });
    ASSERT_TRUE(child.locked());
    EXPECT_EQ(WriterError(path), kErrFileInUse);
    EXPECT_TRUE(Readable(path));
    killed ? child.Kill() : child.Stop();
    EXPECT_EQ(WriterError(path), 0);
  }
}

TEST(FileLockTest, AFileWithAHeldJetLockFileIsRefusedForWritingButReadable) {
  const std::string path = NewDatabase("lab.mdb");
  const std::string ldb = JetLockFilePath(path);
  EXPECT_EQ(ldb, path.substr(0, path.size() - 4) + ".ldb");
  std::ofstream(ldb) << std::string(64, 'x');

  EXPECT_EQ(WriterError(path), 0) << "a stale .ldb nobody holds does not block";

  const std::vector<std::pair<std::string, std::function<bool()>>> holders = {
      {"byte-range lock on the .ldb", [&] { return RangeLock(ldb, 0x10000000, 1); }},
      {"flock on the .ldb",
       [&] {
         const int fd = open(ldb.c_str(), O_RDONLY);
         return fd >= 0 && flock(fd, LOCK_SH) == 0;
       }},
      {"byte-range lock on the .mdb", [&] { return RangeLock(path, 0x7FFFFF00, 0x100); }},
  };
  for (const auto& [what, take] : holders) {
    SCOPED_TRACE(what);
    LockingChild child(take);
    ASSERT_TRUE(child.locked());
    const Bytes before = [&] {
      PageFile reader(path);
      return Bytes(reader.Page(1), reader.Page(1) + kPageSize);
    }();
    std::string why;
    EXPECT_EQ(WriterError(path, &why), kErrFileInUse);
    EXPECT_NE(why.find("in use"), std::string::npos) << why;
    EXPECT_NE(why.find(what.find(".ldb") != std::string::npos ? ".ldb" : "byte-range"),
              std::string::npos)
        << why;
    EXPECT_TRUE(Readable(path));
    child.Stop();
    EXPECT_EQ(WriterError(path), 0);
  }

  // Shares seen from here may keep the name upper case.
  std::filesystem::remove(ldb);
  const std::string upper = path.substr(0, path.size() - 4) + ".LDB";
  std::ofstream(upper) << "x";
  {
    LockingChild child([&] { return RangeLock(upper, 0, 1); });
    ASSERT_TRUE(child.locked());
    EXPECT_EQ(WriterError(path), kErrFileInUse);
  }
  std::filesystem::remove(upper);

  // An .ldb we may not even open counts as in use (root opens everything: nothing to test).
  if (geteuid() != 0) {
    std::ofstream(ldb) << "x";
    std::filesystem::permissions(ldb, std::filesystem::perms::none);
    EXPECT_EQ(WriterError(path), kErrFileInUse);
    EXPECT_TRUE(Readable(path));
    std::filesystem::permissions(ldb, std::filesystem::perms::owner_all);
  }
}

#endif

}  // namespace
}  // namespace jet
