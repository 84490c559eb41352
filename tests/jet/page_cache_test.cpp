// The page cache stays within its bound however much of the file is read, never drops what the
// current operation changed, and never shows a page other than as the file (or the operation)
// has it.
#include <gtest/gtest.h>

#include <climits>
#include <filesystem>
#include <fstream>
#include <random>

#include "jet/error.h"
#include "jet/page_file.h"
#include "support/fixtures.h"

namespace jet {
namespace {

constexpr size_t kCapacity = 16;
constexpr uint32_t kFilePages = 200;

// Page p holds p's low byte everywhere but byte 100, which holds p / 256.
Bytes Pages(uint32_t count) {
  Bytes image(static_cast<size_t>(count) * kPageSize);
  for (uint32_t p = 0; p < count; ++p) {
    std::fill_n(image.begin() + static_cast<ptrdiff_t>(p) * kPageSize, kPageSize,
                static_cast<uint8_t>(p));
    image[static_cast<size_t>(p) * kPageSize + 100] = static_cast<uint8_t>(p / 256);
  }
  return image;
}

bool HoldsPage(const uint8_t* page, uint32_t p) {
  return page[0] == static_cast<uint8_t>(p) && page[4095] == static_cast<uint8_t>(p) &&
         page[100] == static_cast<uint8_t>(p / 256);
}

std::string WriteTemp(const std::string& name, const Bytes& image) {
  const std::string path = testing_support::TempDir() + "/" + name;
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(image.data()),
            static_cast<std::streamsize>(image.size()));
  return path;
}

// The operating system's files, except that every write from number `fail_from` on fails.
class BreakingFiles : public FileSystem {
 public:
  void FailFrom(int write) {
    fail_from_ = write;
    writes_ = 0;
  }

  std::unique_ptr<FileIo> Open(const std::string& path, FileAccess access,
                               std::error_code& error) override {
    auto inner = OsFileSystem()->Open(path, access, error);
    if (inner == nullptr) return nullptr;
    return std::make_unique<File>(*this, std::move(inner));
  }
  std::error_code Remove(const std::string& path) override { return OsFileSystem()->Remove(path); }

 private:
  class File : public FileIo {
   public:
    File(BreakingFiles& owner, std::unique_ptr<FileIo> inner)
        : owner_(owner), inner_(std::move(inner)) {}
    std::error_code ReadAt(uint64_t offset, uint8_t* data, size_t size, size_t& read) override {
      return inner_->ReadAt(offset, data, size, read);
    }
    std::error_code WriteAt(uint64_t offset, const uint8_t* data, size_t size) override {
      if (++owner_.writes_ >= owner_.fail_from_) return std::make_error_code(std::errc::io_error);
      return inner_->WriteAt(offset, data, size);
    }
    std::error_code Truncate(uint64_t size) override {
      if (owner_.writes_ + 1 >= owner_.fail_from_) return std::make_error_code(std::errc::io_error);
      return inner_->Truncate(size);
    }
    std::error_code Sync() override { return inner_->Sync(); }
    std::error_code Size(uint64_t& size) override { return inner_->Size(size); }

   private:
    BreakingFiles& owner_;
    std::unique_ptr<FileIo> inner_;
  };

  int fail_from_ = INT_MAX;
  int writes_ = 0;
};

TEST(PageCacheTest, ReadingTheWholeFileAgainAndAgainStaysWithinTheBound) {
  const std::string path = WriteTemp("cache-read.mdb", Pages(kFilePages));
  PageFile on_disk(path);
  PageFile in_memory("cache-read.mdb", Pages(kFilePages));
  for (PageFile* file : {&on_disk, &in_memory}) {
    file->set_cache_capacity(kCapacity);
    std::mt19937 random(3);
    for (int round = 0; round < 3; ++round) {
      for (uint32_t i = 0; i < kFilePages; ++i) {
        const uint32_t p = round == 1 ? static_cast<uint32_t>(random() % kFilePages) : i;
        ASSERT_TRUE(HoldsPage(file->Page(p), p)) << "page " << p << ", round " << round;
        ASSERT_LE(file->cached_pages(), kCapacity);
      }
    }
  }
}

TEST(PageCacheTest, AFileGrownPageByPageStaysWithinTheBound) {
  const std::string path = WriteTemp("cache-grow.mdb", Pages(2));
  PageFile on_disk(path, OpenMode::kReadWrite);
  PageFile in_memory("cache-grow.mdb", Pages(2), OpenMode::kReadWrite);
  for (PageFile* file : {&on_disk, &in_memory}) {
    file->set_cache_capacity(kCapacity);
    for (uint32_t n = 0; n < 100; ++n) {
      PageFile::Operation op(*file);
      const uint32_t added = file->AppendPage();
      file->MutablePage(added)[0] = static_cast<uint8_t>(added);
      file->MutablePage(1)[added] = 1;  // a page in steady use
      op.Commit();
      ASSERT_LE(file->cached_pages(), kCapacity);
    }
    for (uint32_t p = 2; p < file->page_count(); ++p) {
      ASSERT_EQ(file->Page(p)[0], static_cast<uint8_t>(p)) << "page " << p;
    }
    EXPECT_EQ(file->Page(1)[101], 1);
  }
}

TEST(PageCacheTest, APointerStaysValidWhileFewerThanHalfTheCacheIsReadAfterIt) {
  PageFile file("cache-pointer.mdb", Pages(kFilePages));
  file.set_cache_capacity(kCapacity);
  for (uint32_t p = 100; p < 150; ++p) file.Page(p);  // a full cache of other pages
  const uint8_t* held = file.Page(7);
  for (uint32_t p = 20; p < 20 + kCapacity / 2 - 1; ++p) file.Page(p);
  EXPECT_EQ(file.Page(7), held);
  EXPECT_TRUE(HoldsPage(held, 7));
  // Pages in steady use stay however many others pass through.
  for (uint32_t p = 30; p < 130; ++p) {
    file.Page(p);
    EXPECT_EQ(file.Page(7), held);
  }
}

TEST(PageCacheTest, AnOperationLargerThanTheCacheKeepsEveryChangeUntilItEnds) {
  const std::string path = WriteTemp("cache-op.mdb", Pages(kFilePages));
  PageFile on_disk(path, OpenMode::kReadWrite);
  PageFile in_memory("cache-op.mdb", Pages(kFilePages), OpenMode::kReadWrite);
  for (PageFile* file : {&on_disk, &in_memory}) {
    file->set_cache_capacity(kCapacity);
    const auto change_many = [&](uint8_t mark) {
      for (uint32_t p = 1; p <= 60; ++p) {
        file->MutablePage(p)[7] = mark;
        file->Page(100 + p);  // unchanged pages passing through meanwhile
      }
      for (int i = 0; i < 20; ++i) file->MutablePage(file->AppendPage())[0] = mark;
    };
    {
      PageFile::Operation op(*file);
      change_many(0xEE);
      for (uint32_t p = 1; p <= 60; ++p) ASSERT_EQ(file->Page(p)[7], 0xEE) << "page " << p;
      op.Commit();
    }
    {
      PageFile::Operation op(*file);
      change_many(0x11);  // rolled back
    }
    EXPECT_EQ(file->page_count(), kFilePages + 20);
    for (uint32_t p = 1; p <= 60; ++p) {
      EXPECT_EQ(file->Page(p)[7], 0xEE) << "page " << p;
      EXPECT_EQ(file->Page(p)[8], static_cast<uint8_t>(p));
    }
    for (uint32_t p = kFilePages; p < kFilePages + 20; ++p) EXPECT_EQ(file->Page(p)[0], 0xEE);
    for (uint32_t p = 61; p < kFilePages; ++p) ASSERT_TRUE(HoldsPage(file->Page(p), p));
    EXPECT_LE(file->cached_pages(), kCapacity) << "the bound applies again after the operation";
  }
  const Bytes written = testing_support::ReadFileBytes(path);
  ASSERT_EQ(written.size(), (kFilePages + 20) * kPageSize);
  EXPECT_EQ(written[5 * kPageSize + 7], 0xEE);
  EXPECT_EQ(written[(kFilePages + 3) * kPageSize], 0xEE);
}

TEST(PageCacheTest, AfterAChangeThatCouldNotBePutBackTheCacheIsNotReadFromTheFile) {
  const std::string path = WriteTemp("cache-broken.mdb", Pages(40));
  auto files = std::make_shared<BreakingFiles>();
  PageFile file(path, OpenMode::kReadWrite, {Durability::kNormal, files});
  file.set_cache_capacity(8);
  // The journal and page 1 reach the file; page 2 fails, and so does putting page 1 back.
  files->FailFrom(3);
  {
    PageFile::Operation op(file);
    file.MutablePage(1)[0] = 0xAB;
    file.MutablePage(2)[0] = 0xAB;
    EXPECT_THROW(op.Commit(), Error);
  }
  EXPECT_EQ(testing_support::ReadFileBytes(path)[kPageSize], 0xAB)
      << "the scenario needs the file left changed";
  for (uint32_t p = 3; p < 40; ++p) file.Page(p);
  EXPECT_EQ(file.Page(1)[0], 1) << "page 1 as the rolled-back operation left it, not the file";
  files->FailFrom(INT_MAX);
  {
    PageFile::Operation op(file);  // repairs the file from the journal first
    file.MutablePage(3)[0] = 0x33;
    op.Commit();
  }
  for (uint32_t p = 4; p < 40; ++p) file.Page(p);
  EXPECT_EQ(file.Page(1)[0], 1);
  EXPECT_EQ(testing_support::ReadFileBytes(path)[kPageSize], 1);
}

}  // namespace
}  // namespace jet
