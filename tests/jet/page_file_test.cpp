// Write operations on pages: all or nothing, in memory and on disk.
#include "jet/page_file.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>

#include "jet/error.h"
#include "support/fixtures.h"

namespace jet {
namespace {

Bytes Pages(int count) {
  Bytes image(static_cast<size_t>(count) * kPageSize);
  for (size_t i = 0; i < image.size(); ++i) image[i] = static_cast<uint8_t>(i / kPageSize + 1);
  return image;
}

Bytes ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

TEST(PageFileTest, CommittedOperationsReachTheImageAndRollbacksLeaveNoTrace) {
  PageFile file("mem.mdb", Pages(3), OpenMode::kReadWrite);
  {
    PageFile::Operation op(file);
    file.MutablePage(1)[10] = 0xAA;
    const uint32_t added = file.AppendPage();
    EXPECT_EQ(added, 3u);
    file.MutablePage(added)[0] = 0x42;
    op.Commit();
  }
  EXPECT_EQ(file.image().size(), 4 * kPageSize);
  EXPECT_EQ(file.image()[kPageSize + 10], 0xAA);
  EXPECT_EQ(file.image()[3 * kPageSize], 0x42);

  const uint32_t version = file.PageVersion(2);
  try {
    PageFile::Operation op(file);
    file.MutablePage(2)[0] = 0x77;
    file.AppendPage();
    {
      PageFile::Operation inner(file);  // nested: commits nothing by itself
      file.MutablePage(1)[11] = 0xBB;
      inner.Commit();
    }
    throw Error(kErrDuplicateKey, "refused");
  } catch (const Error&) {
  }
  EXPECT_EQ(file.page_count(), 4u);
  EXPECT_EQ(file.Page(2)[0], 3);
  EXPECT_EQ(file.Page(1)[11], 2);
  EXPECT_NE(file.PageVersion(2), version) << "a rollback must invalidate decoded copies";
  EXPECT_EQ(file.image()[2 * kPageSize], 3);
}

TEST(PageFileTest, RefusesWritesOutsideOperationsAndOnReadOnlyFiles) {
  PageFile read_only("ro.mdb", Pages(2));
  EXPECT_THROW(read_only.BeginOperation(), Error);
  PageFile file("rw.mdb", Pages(2), OpenMode::kReadWrite);
  EXPECT_THROW(file.MutablePage(1), std::logic_error);
  PageFile::Operation op(file);
  EXPECT_THROW(file.MutablePage(0), std::logic_error);
}

TEST(PageFileTest, CommitsReachTheFileOnDisk) {
  const std::string path = testing_support::TempDir() + "/pages.mdb";
  {
    std::ofstream out(path, std::ios::binary);
    const Bytes image = Pages(2);
    out.write(reinterpret_cast<const char*>(image.data()),
              static_cast<std::streamsize>(image.size()));
  }
  PageFile file(path, OpenMode::kReadWrite);
  {
    PageFile::Operation op(file);
    file.MutablePage(1)[0] = 0x55;
    file.MutablePage(file.AppendPage())[1] = 0x66;
    op.Commit();
  }
  {
    PageFile::Operation op(file);
    file.MutablePage(1)[0] = 0x99;  // rolled back: never reaches the disk
  }
  const Bytes on_disk = ReadFile(path);
  ASSERT_EQ(on_disk.size(), 3 * kPageSize);
  EXPECT_EQ(on_disk[kPageSize], 0x55);
  EXPECT_EQ(on_disk[2 * kPageSize + 1], 0x66);
}

}  // namespace
}  // namespace jet
