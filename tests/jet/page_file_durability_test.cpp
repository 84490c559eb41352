// Commits are all-or-nothing on disk: a failed, short or disk-full write at any point of a
// commit leaves the file byte-identical to before it, and a process that stops at any point
// (simulated, and a real child process killed) leaves the file as before or as after the
// commit once it is reopened.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>
#include <set>
#include <thread>

#include "jet/error.h"
#include "jet/file_io.h"
#include "jet/page_file.h"
#include "jet/rollback_journal.h"
#include "support/fixtures.h"

#ifndef _WIN32
#include <signal.h>
#include <sys/mman.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

namespace jet {
namespace {

namespace fs = std::filesystem;

void WriteFile(const std::string& path, const Bytes& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()),
            static_cast<std::streamsize>(bytes.size()));
}

Bytes Pages(int count) {
  Bytes image(static_cast<size_t>(count) * kPageSize);
  for (size_t i = 0; i < image.size(); ++i) image[i] = static_cast<uint8_t>(i * 7 + i / kPageSize);
  return image;
}

// What a reader of `file` sees, page by page.
Bytes View(PageFile& file) {
  Bytes view;
  for (uint32_t p = 0; p < file.page_count(); ++p) {
    view.insert(view.end(), file.Page(p), file.Page(p) + kPageSize);
  }
  return view;
}

// Replaces the operating system's files and misbehaves on the chosen write. Writes are counted
// across the database and its journal, in the order the engine issues them.
class FaultyFiles : public FileSystem {
 public:
  enum class Fault {
    kNone,
    kFailWrite,   // write number `at` fails, nothing written
    kShortWrite,  // write number `at` writes half its bytes, then fails
    kDiskFull,    // from write `at` on, no byte past a file's end can be written (ENOSPC)
    kFailSync,    // sync number `at` fails
    kCrash,       // writes after number `at` never happen: every further change fails
    kTornCrash,   // as kCrash, and write number `at + 1` reaches the file half written
  };

  // Files that say their writes are memory copies get the commits a mapped file gets (a marked
  // journal record: one more write, after the database's).
  explicit FaultyFiles(bool mapped = false) : mapped_(mapped) {}

  void Arm(Fault fault, int at) {
    fault_ = fault;
    at_ = at;
    writes_ = 0;
    syncs_ = 0;
    crashed_ = false;
  }
  int writes() const { return writes_; }

  std::unique_ptr<FileIo> Open(const std::string& path, FileAccess access,
                               std::error_code& error) override {
    if (crashed_ && access == FileAccess::kCreateReadWrite) {
      error = std::make_error_code(std::errc::io_error);
      return nullptr;
    }
    auto inner = OsFileSystem()->Open(path, access, error);
    if (inner == nullptr) return nullptr;
    return std::make_unique<File>(*this, std::move(inner));
  }

  std::error_code Remove(const std::string& path) override {
    if (crashed_) return std::make_error_code(std::errc::io_error);
    return OsFileSystem()->Remove(path);
  }

 private:
  class File : public FileIo {
   public:
    File(FaultyFiles& owner, std::unique_ptr<FileIo> inner)
        : owner_(owner), inner_(std::move(inner)) {}

    std::error_code ReadAt(uint64_t offset, uint8_t* data, size_t size, size_t& read) override {
      return inner_->ReadAt(offset, data, size, read);
    }
    std::error_code WriteAt(uint64_t offset, const uint8_t* data, size_t size) override {
      FaultyFiles& o = owner_;
      if (o.crashed_) return std::make_error_code(std::errc::io_error);
      const int number = ++o.writes_;
      switch (o.fault_) {
        case Fault::kFailWrite:
          if (number == o.at_) return std::make_error_code(std::errc::io_error);
          break;
        case Fault::kShortWrite:
          if (number == o.at_) {
            inner_->WriteAt(offset, data, size / 2);
            return std::make_error_code(std::errc::io_error);
          }
          break;
        case Fault::kDiskFull:
          if (number >= o.at_) {
            uint64_t end = 0;
            inner_->Size(end);
            if (offset + size > end) {
              if (offset < end) inner_->WriteAt(offset, data, static_cast<size_t>(end - offset));
              return std::make_error_code(std::errc::no_space_on_device);
            }
          }
          break;
        case Fault::kCrash:
        case Fault::kTornCrash:
          if (number > o.at_) {
            o.crashed_ = true;
            if (o.fault_ == Fault::kTornCrash) inner_->WriteAt(offset, data, size / 2);
            return std::make_error_code(std::errc::io_error);
          }
          break;
        default:
          break;
      }
      return inner_->WriteAt(offset, data, size);
    }
    std::error_code Truncate(uint64_t size) override {
      if (owner_.crashed_) return std::make_error_code(std::errc::io_error);
      return inner_->Truncate(size);
    }
    std::error_code Sync() override {
      if (owner_.crashed_) return std::make_error_code(std::errc::io_error);
      if (owner_.fault_ == Fault::kFailSync && ++owner_.syncs_ == owner_.at_) {
        return std::make_error_code(std::errc::io_error);
      }
      return inner_->Sync();
    }
    std::error_code Size(uint64_t& size) override { return inner_->Size(size); }
    bool Mapped() override { return owner_.mapped_; }

   private:
    FaultyFiles& owner_;
    std::unique_ptr<FileIo> inner_;
  };

  bool mapped_;
  Fault fault_ = Fault::kNone;
  int at_ = 0;
  int writes_ = 0;
  int syncs_ = 0;
  bool crashed_ = false;
};

// The commit before the one under test: it leaves a finished record in the journal, which
// must not be mistaken for the next commit's.
void FirstCommit(PageFile& file) {
  PageFile::Operation op(file);
  file.MutablePage(4)[100] ^= 0xFF;
  op.Commit();
}

// Small changes on three pages, a whole page rewritten, and two pages appended: the shape of
// an insert that splits an index page.
void MultiPageCommit(PageFile& file) {
  PageFile::Operation op(file);
  file.MutablePage(1)[17] = 0xA1;
  file.MutablePage(3)[4000] = 0xA3;
  file.MutablePage(3)[40] = 0xA4;
  std::memset(file.MutablePage(2), 0x5C, kPageSize);
  file.MutablePage(5)[kPageSize - 1] = 0xA5;
  file.MutablePage(5)[0] = 0xA6;
  for (int i = 0; i < 2; ++i) {
    const uint32_t added = file.AppendPage();
    std::memset(file.MutablePage(added), 0x30 + i, kPageSize);
  }
  file.MutablePage(1)[18] = 0xA7;
  op.Commit();
}

struct Scenario {
  bool mapped = false;
  std::string path;
  Bytes before;  // after the first commit
  Bytes after;   // after the multi-page commit
  int writes = 0;
};

Scenario Prepare(bool mapped) {
  Scenario s;
  s.mapped = mapped;
  s.path = testing_support::TempDir() + "/faults.mdb";
  WriteFile(s.path, Pages(6));
  auto counting = std::make_shared<FaultyFiles>(mapped);
  {
    PageFile file(s.path, OpenMode::kReadWrite, {Durability::kNormal, counting});
    FirstCommit(file);
    s.before = testing_support::ReadFileBytes(s.path);
    counting->Arm(FaultyFiles::Fault::kNone, 0);
    MultiPageCommit(file);
    s.writes = counting->writes();
    s.after = testing_support::ReadFileBytes(s.path);
  }
  EXPECT_EQ(s.after.size(), 8 * kPageSize);
  // The journal, the two appended pages in one write, then one range on each of four pages; a
  // mapped file writes each changed part instead (two on pages 3 and 5) and the journal's mark.
  EXPECT_EQ(s.writes, mapped ? 9 : 6);
  return s;
}

TEST(PageFileDurabilityTest, EveryFailedWriteOfACommitLeavesTheFileAsItWas) {
  for (bool mapped : {false, true}) {
    SCOPED_TRACE(mapped ? "mapped" : "written");
    const Scenario s = Prepare(mapped);
    using Fault = FaultyFiles::Fault;
    for (Fault fault : {Fault::kFailWrite, Fault::kShortWrite, Fault::kDiskFull}) {
      int failures = 0;
      for (int n = 1; n <= s.writes + 1; ++n) {
        SCOPED_TRACE("fault " + std::to_string(static_cast<int>(fault)) + " at write " +
                     std::to_string(n));
        WriteFile(s.path, Pages(6));
        auto files = std::make_shared<FaultyFiles>(mapped);
        PageFile file(s.path, OpenMode::kReadWrite, {Durability::kNormal, files});
        FirstCommit(file);
        files->Arm(fault, n);
        bool failed = false;
        try {
          MultiPageCommit(file);
        } catch (const Error& e) {
          failed = true;
          EXPECT_EQ(e.number(), kErrIo);
        }
        failures += failed;
        if (fault != Fault::kDiskFull) {
          EXPECT_EQ(failed, n <= s.writes);
        }
        EXPECT_EQ(testing_support::ReadFileBytes(s.path), failed ? s.before : s.after);
        EXPECT_EQ(View(file), failed ? s.before : s.after) << "the cache must match the file";
        // The file stays usable: the same commit goes through once the disk behaves.
        files->Arm(Fault::kNone, 0);
        if (failed) MultiPageCommit(file);
        EXPECT_EQ(testing_support::ReadFileBytes(s.path), s.after);
      }
      // A full disk refuses the journal (it grows) and the appended pages, nothing after them.
      EXPECT_EQ(failures, fault == Fault::kDiskFull ? 2 : s.writes);
      EXPECT_FALSE(fs::exists(RollbackJournalPath(s.path))) << "removed on close";
    }
  }
}

TEST(PageFileDurabilityTest, SyncLevelFlushesJournalAndFileAndAFailedFlushUndoesTheCommit) {
  const Scenario s = Prepare(false);
  for (int n = 1; n <= 2; ++n) {  // the journal's sync, then the database's
    WriteFile(s.path, Pages(6));
    auto files = std::make_shared<FaultyFiles>();
    PageFile file(s.path, OpenMode::kReadWrite, {Durability::kSync, files});
    FirstCommit(file);
    files->Arm(FaultyFiles::Fault::kFailSync, n);
    EXPECT_THROW(MultiPageCommit(file), Error);
    EXPECT_EQ(testing_support::ReadFileBytes(s.path), s.before);
    MultiPageCommit(file);
    EXPECT_EQ(testing_support::ReadFileBytes(s.path), s.after);
  }
}

TEST(PageFileDurabilityTest, AProcessStoppedAtAnyWriteLeavesTheFileBeforeOrAfterTheCommit) {
  for (bool mapped : {false, true}) {
    SCOPED_TRACE(mapped ? "mapped" : "written");
    const Scenario s = Prepare(mapped);
    using Fault = FaultyFiles::Fault;
    for (Fault fault : {Fault::kCrash, Fault::kTornCrash}) {
      for (int n = 0; n <= s.writes; ++n) {
        SCOPED_TRACE((fault == Fault::kCrash ? "crash after write " : "torn crash after write ") +
                     std::to_string(n));
        WriteFile(s.path, Pages(6));
        auto files = std::make_shared<FaultyFiles>(mapped);
        {
          PageFile file(s.path, OpenMode::kReadWrite, {Durability::kNormal, files});
          FirstCommit(file);
          files->Arm(fault, n);
          bool failed = false;
          try {
            MultiPageCommit(file);
          } catch (const Error&) {
            failed = true;
          }
          EXPECT_EQ(failed, n < s.writes);
        }  // the "dead" process cannot even remove its journal
        const Bytes crashed = testing_support::ReadFileBytes(s.path);
        const Bytes& expected = n < s.writes ? s.before : s.after;

        // A reader changes nothing and sees the file as it will be put back.
        {
          PageFile reader(s.path);
          EXPECT_EQ(View(reader), expected);
        }
        EXPECT_EQ(testing_support::ReadFileBytes(s.path), crashed);

        // A writer puts it back, then works as usual.
        {
          PageFile writer(s.path, OpenMode::kReadWrite);
          EXPECT_EQ(testing_support::ReadFileBytes(s.path), expected);
          EXPECT_EQ(View(writer), expected);
          PageFile::Operation op(writer);
          writer.MutablePage(1)[0] = 0xEE;
          op.Commit();
        }
        Bytes edited = expected;
        edited[kPageSize] = 0xEE;
        EXPECT_EQ(testing_support::ReadFileBytes(s.path), edited);
        EXPECT_FALSE(fs::exists(RollbackJournalPath(s.path)));
      }
    }
  }
}

TEST(PageFileDurabilityTest, WhenEvenThePutBackFailsTheJournalRepairsTheFileLater) {
  for (bool mapped : {false, true}) {
    SCOPED_TRACE(mapped ? "mapped" : "written");
    const Scenario s = Prepare(mapped);
    WriteFile(s.path, Pages(6));
    auto files = std::make_shared<FaultyFiles>(mapped);
    PageFile file(s.path, OpenMode::kReadWrite, {Durability::kNormal, files});
    FirstCommit(file);
    // Every write after the fourth fails, the put-back's too; then the disk comes back.
    files->Arm(FaultyFiles::Fault::kCrash, 4);
    EXPECT_THROW(MultiPageCommit(file), Error);
    EXPECT_NE(testing_support::ReadFileBytes(s.path), s.before) << "the put-back could not run";
    files->Arm(FaultyFiles::Fault::kNone, 0);
    {
      PageFile::Operation op(file);  // the next operation first repairs the file
      EXPECT_EQ(testing_support::ReadFileBytes(s.path), s.before);
      file.MutablePage(1)[1] = 0x11;
      op.Commit();
    }
    Bytes expected = s.before;
    expected[kPageSize + 1] = 0x11;
    EXPECT_EQ(testing_support::ReadFileBytes(s.path), expected);
  }
}

TEST(PageFileDurabilityTest, JournalIsWrittenOnlyByWritersThatChangeSomething) {
  const std::string path = testing_support::TempDir() + "/journal.mdb";
  const std::string journal = RollbackJournalPath(path);
  EXPECT_EQ(journal, path + ".qbj");
  WriteFile(path, Pages(3));
  {
    PageFile writer(path, OpenMode::kReadWrite);
    PageFile::Operation op(writer);
    writer.MutablePage(1)[5] = writer.Page(1)[5];  // touched, unchanged: nothing to write
    op.Commit();
    EXPECT_FALSE(fs::exists(journal));
  }
  {
    PageFile writer(path, OpenMode::kReadWrite);
    PageFile::Operation op(writer);
    writer.MutablePage(1)[5] ^= 1;  // a slot near the top of a page, a row far below it
    writer.MutablePage(1)[4000] ^= 1;
    op.Commit();
    EXPECT_TRUE(fs::exists(journal));
    // Only the changed bytes are journaled, not the page nor the stretch between them.
    EXPECT_LT(fs::file_size(journal), 120u);
    PageFile reader(path);  // a live writer's journal is not a crash's leftover
    EXPECT_EQ(reader.Page(1)[5], writer.Page(1)[5]);
  }
  EXPECT_FALSE(fs::exists(journal));
}

// A rewritten part is journaled whole, unchanged bytes included; a crash right after its commit
// must still find the commit finished, not roll it back.
TEST(PageFileDurabilityTest, ACommitWhoseRewrittenPartKeptItsBytesIsNotRolledBack) {
  const std::string path = testing_support::TempDir() + "/rewritten.mdb";
  const std::string copy = testing_support::TempDir() + "/rewritten-after-crash.mdb";
  WriteFile(path, Pages(3));
  Bytes committed;
  {
    PageFile writer(path, OpenMode::kReadWrite);
    PageFile::Operation op(writer);
    uint8_t* page = writer.RewrittenPart(1, 600, 700);  // rewritten with the very same bytes
    for (uint32_t i = 600; i < 700; ++i) page[i] = page[i];
    writer.RewrittenPart(2, 1000, 1100)[1050] ^= 0xFF;  // and a real change
    op.Commit();
    committed = testing_support::ReadFileBytes(path);
    // The process "dies" here: the journal of the last commit is left beside the file.
    WriteFile(copy, committed);
    WriteFile(RollbackJournalPath(copy), testing_support::ReadFileBytes(RollbackJournalPath(path)));
  }
  ASSERT_NE(committed, Pages(3));
  {
    PageFile reopened(copy, OpenMode::kReadWrite);
    EXPECT_EQ(View(reopened), committed);
  }
  EXPECT_EQ(testing_support::ReadFileBytes(copy), committed);
}

TEST(PageFileDurabilityTest, ATornOrForeignJournalIsIgnoredAndADamagedOneRefused) {
  const std::string path = testing_support::TempDir() + "/torn.mdb";
  const std::string journal = RollbackJournalPath(path);
  const Bytes image = Pages(3);
  WriteFile(path, image);
  // A record torn while it was written: its checksum fails, the database was not touched yet.
  JournalRecordBuilder builder;
  builder.Reset(3, 3);
  Bytes changed(8, 0xCC);
  builder.AddRange(2, 10, 8, image.data() + 2 * kPageSize + 10, changed.data());
  Bytes record = builder.Finish();
  WriteFile(journal, Bytes(record.begin(), record.end() - 3));
  { PageFile writer(path, OpenMode::kReadWrite); }
  EXPECT_EQ(testing_support::ReadFileBytes(path), image);

  // A record about a file of another size (the database was replaced since): not applied.
  builder.Reset(5, 6);
  builder.AddRange(2, 10, 8, changed.data(), image.data() + 2 * kPageSize + 10);
  WriteFile(journal, builder.Finish());
  { PageFile writer(path, OpenMode::kReadWrite); }
  EXPECT_EQ(testing_support::ReadFileBytes(path), image);

  // A whole record that cannot be ours: refused rather than guessed at.
  builder.Reset(3, 3);
  builder.AddRange(7, 10, 8, changed.data(), changed.data());
  WriteFile(journal, builder.Finish());
  try {
    PageFile writer(path, OpenMode::kReadWrite);
    ADD_FAILURE() << "opened";
  } catch (const Error& e) {
    EXPECT_EQ(e.number(), kErrCorrupt);
  }
  EXPECT_EQ(testing_support::ReadFileBytes(path), image);
}

// The journal's hash decides whether a commit reached the file and whether a record is whole:
// a change of any bit, of the length or of the seed must change it.
TEST(JournalHashTest, EveryBitTheLengthAndTheSeedCount) {
  std::mt19937 random(7);
  Bytes data(320);
  for (auto& byte : data) byte = static_cast<uint8_t>(random());
  for (size_t size : {1u, 3u, 4u, 7u, 8u, 15u, 16u, 17u, 31u, 48u, 49u, 100u, 320u}) {
    const uint64_t hash = JournalHash(data.data(), size);
    for (size_t bit = 0; bit < size * 8; ++bit) {
      data[bit / 8] ^= static_cast<uint8_t>(1u << (bit % 8));
      ASSERT_NE(JournalHash(data.data(), size), hash) << size << " bytes, bit " << bit;
      data[bit / 8] ^= static_cast<uint8_t>(1u << (bit % 8));
    }
    EXPECT_NE(JournalHash(data.data(), size, 1), hash) << size;
  }
  const Bytes zeros(300, 0);
  std::set<uint64_t> seen;
  for (size_t size = 0; size <= zeros.size(); ++size) seen.insert(JournalHash(zeros.data(), size));
  EXPECT_EQ(seen.size(), zeros.size() + 1);
}

#ifndef _WIN32

// Commit k of the killed child's run, replayed in memory by the parent to know what the file
// may hold. Three small ranges, now and then a whole page, every 16th commit an appended page.
void ChildCommit(PageFile& file, uint32_t k) {
  PageFile::Operation op(file);
  const uint32_t pages = file.page_count();
  for (uint32_t i = 0; i < 3; ++i) {
    uint8_t* page = file.MutablePage(1 + (k * 7 + i * 13) % (pages - 1));
    const uint32_t at = (k * 131 + i * 977) % (kPageSize - 16);
    for (uint32_t j = 0; j < 16; ++j) page[at + j] = static_cast<uint8_t>(k + i + j);
  }
  if (k % 5 == 0)
    std::memset(file.MutablePage(1 + k % (pages - 1)), static_cast<int>(k), kPageSize);
  if (k % 16 == 0) {
    const uint32_t added = file.AppendPage();
    std::memset(file.MutablePage(added), static_cast<int>(k * 3), kPageSize);
  }
  op.Commit();
}

TEST(PageFileDurabilityTest, AChildKilledDuringCommitsLeavesACommittedState) {
  std::mt19937 random(20240611);
  auto* committed = static_cast<std::atomic<uint32_t>*>(mmap(nullptr, sizeof(std::atomic<uint32_t>),
                                                             PROT_READ | PROT_WRITE,
                                                             MAP_SHARED | MAP_ANONYMOUS, -1, 0));
  ASSERT_NE(committed, MAP_FAILED);
  const std::string path = testing_support::TempDir() + "/killed.mdb";
  const Bytes initial = Pages(12);
  for (int round = 0; round < 24; ++round) {
    const bool sync = round % 6 == 5;
    WriteFile(path, initial);
    committed->store(0);
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      try {
        PageFile file(path, OpenMode::kReadWrite,
                      {sync ? Durability::kSync : Durability::kNormal, nullptr});
        for (uint32_t k = 1; k < 1000000; ++k) {
          ChildCommit(file, k);
          committed->store(k);
        }
      } catch (...) {
        _exit(2);
      }
      _exit(0);
    }
    std::this_thread::sleep_for(std::chrono::microseconds(random() % 40000));
    kill(child, SIGKILL);
    int status = 0;
    waitpid(child, &status, 0);
    ASSERT_TRUE(WIFSIGNALED(status)) << "the child stopped by itself: " << status;
    const uint32_t done = committed->load();

    // The file must hold commit `done` or the one after it (in flight, or finished before the
    // child could say so).
    PageFile replay("replay", initial, OpenMode::kReadWrite);
    for (uint32_t k = 1; k <= done; ++k) ChildCommit(replay, k);
    const Bytes at_done = replay.image();
    ChildCommit(replay, done + 1);
    const Bytes& at_next = replay.image();

    Bytes seen;
    {
      PageFile reader(path);
      seen = View(reader);
    }
    { PageFile writer(path, OpenMode::kReadWrite); }
    const Bytes recovered = testing_support::ReadFileBytes(path);
    SCOPED_TRACE("round " + std::to_string(round) + ", " + std::to_string(done) + " commits");
    EXPECT_TRUE(recovered == at_done || recovered == at_next);
    EXPECT_EQ(seen, recovered) << "a reader sees what a writer puts back";
  }
  munmap(committed, sizeof(std::atomic<uint32_t>));
}

#endif

}  // namespace
}  // namespace jet
