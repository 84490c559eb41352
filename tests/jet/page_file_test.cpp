// Write operations on pages: all or nothing, in memory and on disk.
#include "jet/page_file.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>

#include "jet/error.h"
#include "support/fixtures.h"

namespace jet {
namespace {

Bytes Pages(int count) {
  Bytes image(static_cast<size_t>(count) * kPageSize);
  for (size_t i = 0; i < image.size(); ++i) image[i] = static_cast<uint8_t>(i / kPageSize + 1);
  return image;
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
  const Bytes on_disk = testing_support::ReadFileBytes(path);
  ASSERT_EQ(on_disk.size(), 3 * kPageSize);
  EXPECT_EQ(on_disk[kPageSize], 0x55);
  EXPECT_EQ(on_disk[2 * kPageSize + 1], 0x66);
}

// Writers that declare the parts of a page they change: the declared bytes are committed and
// rolled back like any other, whatever mix of parts and whole pages an operation declares, and
// a change outside every declared part is caught (the tests check every commit for it).
TEST(PageFileTest, DeclaredPartsCommitAndRollBackAndNothingOutsideThemSlipsThrough) {
  const std::string path = testing_support::TempDir() + "/parts.mdb";
  {
    std::ofstream out(path, std::ios::binary);
    const Bytes image = Pages(3);
    out.write(reinterpret_cast<const char*>(image.data()),
              static_cast<std::streamsize>(image.size()));
  }
  PageFile file(path, OpenMode::kReadWrite);
  {
    PageFile::Operation op(file);
    file.MutablePart(1, 100, 110)[105] = 0x51;
    file.MutablePart(1, 4000, 4096)[4095] = 0x52;  // the page's last line
    file.MutablePart(2, 0, 1)[0] = 0x53;
    op.Commit();
  }
  Bytes expected = Pages(3);
  expected[kPageSize + 105] = 0x51;
  expected[kPageSize + 4095] = 0x52;
  expected[2 * kPageSize] = 0x53;
  EXPECT_EQ(testing_support::ReadFileBytes(path), expected);

  {
    PageFile::Operation op(file);
    file.MutablePart(1, 130, 131)[130] = 0x61;
    file.MutablePart(1, 2000, 2100)[2050] = 0x62;
    file.MutablePage(1)[3000] = 0x63;  // then the whole page, after parts of it changed
    file.MutablePart(1, 130, 131)[130] = 0x64;
    file.MutablePart(2, 64, 65)[64] = 0x65;
  }  // rolled back
  for (uint32_t page = 1; page <= 2; ++page) {
    EXPECT_EQ(0, std::memcmp(file.Page(page), expected.data() + page * kPageSize, kPageSize))
        << "page " << page;
  }
  EXPECT_EQ(testing_support::ReadFileBytes(path), expected);

  PageFile::Operation op(file);
  file.MutablePart(1, 100, 110)[200] = 0x71;  // another line than the one declared
  EXPECT_THROW(op.Commit(), std::logic_error);
  EXPECT_EQ(testing_support::ReadFileBytes(path), expected);
}

}  // namespace
}  // namespace jet
