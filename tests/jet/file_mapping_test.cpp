// Writes through the shared mapping of an open file: they are seen by every other reader of
// the file at once, a file that grows or shrinks under them is followed, and a store the file
// system cannot keep (the file cut short behind our back) comes back as an error instead of
// ending the process.
#include "jet/file_mapping.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>

#include "jet/create.h"
#include "jet/error.h"
#include "jet/file_io.h"
#include "jet/page_file.h"
#include "support/fixtures.h"

#ifdef __linux__
#include <fcntl.h>
#include <sys/mman.h>
#include <unistd.h>
#endif

namespace jet {
namespace {

namespace fs = std::filesystem;

std::unique_ptr<FileIo> OpenForWriting(const std::string& path) {
  std::error_code error;
  auto file = OsFileSystem()->Open(path, FileAccess::kCreateReadWrite, error);
  EXPECT_FALSE(error) << error.message();
  return file;
}

TEST(FileMappingTest, WritesReachOtherReadersAndFollowTheFilesLength) {
  const std::string path = testing_support::TempDir() + "/mapped.bin";
  fs::remove(path);
  auto file = OpenForWriting(path);
  const Bytes first(3 * kPageSize, 0x11);
  ASSERT_FALSE(file->WriteAt(0, first.data(), first.size()));  // grows the file
  // Within the file now: on Linux these are copies into the mapping.
  const uint8_t patch[5] = {1, 2, 3, 4, 5};
  ASSERT_FALSE(file->WriteAt(kPageSize + 100, patch, sizeof patch));
  const Bytes grown(2 * kPageSize, 0x22);
  ASSERT_FALSE(file->WriteAt(3 * kPageSize, grown.data(), grown.size()));
  ASSERT_FALSE(file->WriteAt(4 * kPageSize + 7, patch, sizeof patch));  // in the grown part

  // Filled in place: GCC 12 at -O3 misreads appending `grown` to a copy of `first` as out of
  // bounds (-Warray-bounds), which breaks the optimised Windows build.
  Bytes expected(first.size() + grown.size(), 0x22);
  std::fill(expected.begin(), expected.begin() + static_cast<ptrdiff_t>(first.size()), 0x11);
  std::memcpy(expected.data() + kPageSize + 100, patch, sizeof patch);
  std::memcpy(expected.data() + 4 * kPageSize + 7, patch, sizeof patch);
  EXPECT_EQ(testing_support::ReadFileBytes(path), expected);  // another reader, before any flush

  // Cut short, then written past the old end again: nothing stale is copied.
  ASSERT_FALSE(file->Truncate(kPageSize));
  ASSERT_FALSE(file->WriteAt(kPageSize, patch, sizeof patch));
  Bytes read(kPageSize + sizeof patch);
  size_t got = 0;
  ASSERT_FALSE(file->ReadAt(0, read.data(), read.size(), got));
  ASSERT_EQ(got, read.size());
  EXPECT_EQ(0, std::memcmp(read.data() + kPageSize, patch, sizeof patch));
  EXPECT_EQ(testing_support::ReadFileBytes(path).size(), kPageSize + sizeof patch);
  EXPECT_FALSE(file->Sync());
  file.reset();
  fs::remove(path);
}

#ifdef __linux__
TEST(FileMappingTest, AStoreBeyondTheEndOfAShrunkFileIsAnErrorEveryTime) {
  const std::string path = testing_support::TempDir() + "/shrunk.bin";
  fs::remove(path);
  auto file = OpenForWriting(path);
  const Bytes pages(4 * kPageSize, 0x33);
  ASSERT_FALSE(file->WriteAt(0, pages.data(), pages.size()));
  const uint8_t patch[3] = {7, 8, 9};
  ASSERT_FALSE(file->WriteAt(2 * kPageSize, patch, sizeof patch));
  if (!file->Mapped()) GTEST_SKIP() << "the temporary folder's file system is not mapped";

  // Another program cuts the file short: our mapping still covers the lost pages.
  const int other = open(path.c_str(), O_RDWR);
  ASSERT_GE(other, 0);
  ASSERT_EQ(0, ftruncate(other, kPageSize));
  close(other);
  // Twice: the first failure must not leave SIGBUS blocked, or the second would end the test.
  for (int attempt = 0; attempt < 2; ++attempt) {
    EXPECT_TRUE(file->WriteAt(3 * kPageSize, patch, sizeof patch)) << "attempt " << attempt;
  }
  // Several pieces under one guard: the lost page fails them, and the guard is left for the
  // next copy.
  const WritePiece pieces[2] = {{20, patch, sizeof patch}, {3 * kPageSize, patch, sizeof patch}};
  EXPECT_TRUE(file->WriteAll(pieces));
  // The first page is still there and still written through.
  ASSERT_FALSE(file->WriteAll(std::span(pieces, 1)));
  ASSERT_FALSE(file->WriteAt(10, patch, sizeof patch));
  EXPECT_EQ(0, std::memcmp(testing_support::ReadFileBytes(path).data() + 10, patch, sizeof patch));
  EXPECT_EQ(0, std::memcmp(testing_support::ReadFileBytes(path).data() + 20, patch, sizeof patch));
  file.reset();
  fs::remove(path);
}

// Pages written through the mapping are released from the process past a budget: its memory
// stays bounded, and every byte written before a release is still in the file.
TEST(FileMappingTest, ReleasingWrittenPagesKeepsTheirBytes) {
  const std::string path = testing_support::TempDir() + "/released.bin";
  fs::remove(path);
  const int fd = open(path.c_str(), O_RDWR | O_CREAT, 0644);
  ASSERT_GE(fd, 0);
  constexpr size_t kPages = 40;
  ASSERT_EQ(0, ftruncate(fd, kPages * kPageSize));
  auto mapping = FileMapping::Create(fd, kPages * kPageSize);
  if (mapping == nullptr) {
    close(fd);
    GTEST_SKIP() << "the temporary folder's file system is not mapped";
  }
  mapping->set_resident_page_budget(8);
  Bytes expected(kPages * kPageSize, 0);
  for (size_t round = 0; round < 3; ++round) {
    for (size_t page = 0; page < kPages; ++page) {
      const uint64_t at = page * kPageSize + (round * 997 + page * 31) % (kPageSize - 8);
      const uint8_t bytes[8] = {uint8_t(page), uint8_t(round), 1, 2, 3, 4, 5, uint8_t(~page)};
      std::error_code error;
      ASSERT_TRUE(mapping->Write(at, bytes, sizeof bytes, error));
      ASSERT_FALSE(error);
      std::memcpy(expected.data() + at, bytes, sizeof bytes);
      EXPECT_LE(mapping->resident_pages(), 8u);
    }
  }
  EXPECT_EQ(testing_support::ReadFileBytes(path), expected);
  mapping.reset();
  close(fd);
  EXPECT_EQ(testing_support::ReadFileBytes(path), expected);
  fs::remove(path);
}

// The process's resident file pages, in KB.
long ResidentFileKb() {
  std::FILE* status = std::fopen("/proc/self/status", "r");
  if (status == nullptr) return -1;
  char line[256];
  long kb = -1;
  while (std::fgets(line, sizeof line, status) != nullptr) {
    if (std::sscanf(line, "RssFile: %ld", &kb) == 1) break;
  }
  std::fclose(status);
  return kb;
}

constexpr size_t kBlocksBytes = size_t{48} << 20;
constexpr size_t kBlocksBudgetPages = 1024;  // 4 MB of 4 KB pages

// Writes `byte` once every 64 KB of the file `fd` through a mapping with a small budget; the
// most its resident file pages grew meanwhile, in KB (-1 without a mapping or a count).
long GrowthWritingEveryBlock(int fd, uint8_t byte) {
  auto mapping = FileMapping::Create(fd, kBlocksBytes);
  if (mapping == nullptr || ResidentFileKb() < 0) return -1;
  mapping->set_resident_page_budget(kBlocksBudgetPages);
  const long before = ResidentFileKb();
  long most = before;
  for (uint64_t at = 0; at < kBlocksBytes; at += 64 * 1024) {
    std::error_code error;
    if (!mapping->Write(at, &byte, 1, error) || error) return -1;
    most = std::max(most, ResidentFileKb());
  }
  return most - before;
}

// The budget and one block (2 MB of 4 KB pages), the most one write can bring in.
long MostGrowthKb() {
  const long page_kb = sysconf(_SC_PAGESIZE) / 1024;
  return long{kBlocksBudgetPages} * page_kb + page_kb * page_kb * 1024 / 8;
}

// A file written in one go (as a copy is) sits in the page cache in large blocks, and the
// system maps a whole block at the first write into any page of it: one page written per
// block must not take the mapping past its budget. Also in a child made by fork, which must
// count its own pages, not its parent's.
TEST(FileMappingTest, TheBudgetHoldsWhenEachWriteBringsInALargeBlock) {
  const std::string path = testing_support::TempDir() + "/blocks.bin";
  fs::remove(path);
  const int fd = open(path.c_str(), O_RDWR | O_CREAT | O_TRUNC, 0644);
  ASSERT_GE(fd, 0);
  const Bytes content(kBlocksBytes, 0x5A);
  ASSERT_EQ(pwrite(fd, content.data(), content.size(), 0), static_cast<ssize_t>(kBlocksBytes));
  const long growth = GrowthWritingEveryBlock(fd, 0xA5);
  if (growth < 0) {
    close(fd);
    GTEST_SKIP() << "no mapping, or no count of resident pages, here";
  }
  EXPECT_LE(growth, MostGrowthKb());
  EXPECT_EXIT(std::_Exit(GrowthWritingEveryBlock(fd, 0xA6) <= MostGrowthKb() ? 0 : 1),
              testing::ExitedWithCode(0), "");
  close(fd);
  const Bytes written = testing_support::ReadFileBytes(path);
  ASSERT_EQ(written.size(), kBlocksBytes);
  for (uint64_t at = 0; at < kBlocksBytes; at += 64 * 1024) ASSERT_EQ(written[at], 0xA6) << at;
  EXPECT_EQ(written[1], 0x5A);
  fs::remove(path);
}

TEST(FileMappingTest, GuardedCopyReportsAFaultAndLeavesOtherSignalsAlone) {
  const std::string path = testing_support::TempDir() + "/guarded.bin";
  fs::remove(path);
  const int fd = open(path.c_str(), O_RDWR | O_CREAT, 0644);
  ASSERT_GE(fd, 0);
  ASSERT_EQ(0, ftruncate(fd, kPageSize));
  auto* mapped = static_cast<uint8_t*>(
      mmap(nullptr, 2 * kPageSize, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0));
  ASSERT_NE(mapped, MAP_FAILED);
  uint8_t buffer[16] = {1};
  EXPECT_TRUE(GuardedCopy(mapped, buffer, sizeof buffer));
  EXPECT_FALSE(GuardedCopy(mapped + kPageSize, buffer, sizeof buffer));  // past the end
  EXPECT_FALSE(GuardedCopy(buffer, mapped + kPageSize, sizeof buffer));
  EXPECT_TRUE(GuardedCopy(buffer, mapped, sizeof buffer));
  // Outside a guarded copy SIGBUS keeps its default action: the process ends.
  EXPECT_EXIT(
      {
        volatile uint8_t* beyond = mapped + kPageSize;
        *beyond = 1;
      },
      testing::KilledBySignal(SIGBUS), "");
  munmap(mapped, 2 * kPageSize);
  close(fd);
  fs::remove(path);
}

TEST(FileMappingTest, ADatabaseCutShortUnderAWriterFailsTheCommitInsteadOfCrashing) {
  const std::string path = testing_support::TempDir() + "/cut.mdb";
  fs::remove(path);
  CreateDatabase(path);
  if (!OpenForWriting(path)->Mapped()) {
    GTEST_SKIP() << "the temporary folder's file system is not mapped";  // then pwrite grows it
  }
  const uint64_t size = fs::file_size(path);
  {
    PageFile file(path, OpenMode::kReadWrite);
    const uint32_t last = file.page_count() - 1;
    {
      PageFile::Operation op(file);
      file.MutablePage(last)[100] ^= 0xFF;
      op.Commit();
    }
    const int other = open(path.c_str(), O_RDWR);
    ASSERT_GE(other, 0);
    ASSERT_EQ(0, ftruncate(other, static_cast<off_t>(kPageSize)));
    close(other);
    PageFile::Operation op(file);
    file.MutablePage(last)[100] ^= 0xFF;
    try {
      op.Commit();
      ADD_FAILURE() << "the commit into the lost page succeeded";
    } catch (const Error& error) {
      EXPECT_EQ(error.number(), kErrIo) << error.what();
    }
  }
  EXPECT_LE(fs::file_size(path), size);
  fs::remove(path);
  fs::remove(RollbackJournalPath(path));
}
#endif

}  // namespace
}  // namespace jet
