// Page allocation and usage maps on copies of Access's files: the global map keeps up with a
// growing file (grown in place, then promoted to bitmap pages), table maps shift their window
// and are promoted, and every image still passes the consistency checker.
#include "jet/usage_map_writer.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <set>

#include "jet/consistency_check.h"
#include "jet/data_page.h"
#include "jet/data_page_writer.h"
#include "jet/database.h"
#include "jet/page_allocator.h"
#include "jet/page_file.h"
#include "jet/usage_map.h"
#include "support/fixtures.h"

namespace jet {
namespace {

std::unique_ptr<Database> OpenCopy(const std::string& fixture) {
  std::ifstream in(testing_support::AccessMadeFile(fixture), std::ios::binary);
  Bytes image((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  return Database::Open(
      std::make_unique<PageFile>(fixture, std::move(image), OpenMode::kReadWrite));
}

std::string Joined(const std::vector<std::string>& problems) {
  std::string out;
  for (const auto& p : problems) out += p + "\n";
  return out;
}

std::set<uint32_t> FreePages(PageFile& file) {
  std::set<uint32_t> free;
  const UsageMap global = UsageMap::Read(file, kGlobalUsageMap);
  for (uint32_t p = 0; p < file.page_count(); ++p) {
    if (global.Test(p)) free.insert(p);
  }
  return free;
}

// Page 1 keeps Access's layout while its first row grows.
void ExpectPacked(const uint8_t* page) {
  size_t previous = kPageSize;
  for (unsigned s = 0; s < RowCount(page); ++s) {
    const size_t start = U16(page + kDataOffRowTable + 2 * s) & kRowOffsetMask;
    EXPECT_LE(start, previous);
    previous = start;
  }
  EXPECT_EQ(DataPageFree(page), previous - (kDataOffRowTable + 2 * RowCount(page)));
}

TEST(PageAllocatorTest, GlobalMapGrowsInPlaceThenPromotesAndKeepsEveryBit) {
  REQUIRE_ACCESS_MADE_FIXTURES();
  auto db = OpenCopy("empty.mdb");
  PageFile& file = db->file();
  const std::set<uint32_t> free_before = FreePages(file);
  const uint32_t pages_before = file.page_count();
  const RowSlot second_row = ReadSlot(file.Page(1), 1, 1);
  const Bytes second(second_row.bytes.begin(), second_row.bytes.end());

  PageFile::Operation op(file);
  PageAllocator allocator(file);
  std::set<uint32_t> allocated;
  bool saw_grown_inline = false;
  for (int i = 0; i < 40000; ++i) {
    const uint32_t p = allocator.Allocate();
    EXPECT_FALSE(allocated.count(p));
    if (i % 997 == 0) {
      EXPECT_FALSE(UsageMap::Read(file, kGlobalUsageMap).Test(p)) << p;
    }
    allocated.insert(p);
    if (i == 1000) {
      const UsageMap global = UsageMap::Read(file, kGlobalUsageMap);
      EXPECT_EQ(global.kind(), kUsageMapInline);
      EXPECT_GE(global.span(), file.page_count());
      saw_grown_inline = true;
      ExpectPacked(file.Page(1));
      const RowSlot row1 = ReadSlot(file.Page(1), 1, 1);
      EXPECT_EQ(Bytes(row1.bytes.begin(), row1.bytes.end()), second);
    }
  }
  op.Commit();
  EXPECT_TRUE(saw_grown_inline);
  const UsageMap global = UsageMap::Read(file, kGlobalUsageMap);
  EXPECT_EQ(global.kind(), kUsageMapReference);
  ExpectPacked(file.Page(1));

  // Free pages of the original file stay free; everything else in the file is in use, the
  // bitmap pages of the global map included; pages beyond the end read free.
  const std::set<uint32_t> free_after = FreePages(file);
  std::set<uint32_t> expected_free;
  for (uint32_t p : free_before) {
    if (p < pages_before) expected_free.insert(p);
  }
  EXPECT_EQ(free_after, expected_free);
  for (uint32_t map_page : global.map_pages()) {
    if (map_page == 0) continue;
    EXPECT_EQ(file.Page(map_page)[0], kPageUsageMap);
    EXPECT_FALSE(allocated.count(map_page)) << "a bitmap page was handed out as well";
  }
  EXPECT_TRUE(global.Test(file.page_count())) << "the page after the end reads free";
  EXPECT_EQ(Joined(CheckDatabase(*db)), "");

  // Freed pages are marked free again; the header is cleared so nothing mistakes them.
  PageFile::Operation free_op(file);
  const uint32_t victim = *allocated.rbegin() - 5;
  file.MutablePage(victim)[0] = kPageData;
  allocator.Free(victim);
  free_op.Commit();
  EXPECT_TRUE(UsageMap::Read(file, kGlobalUsageMap).Test(victim));
  EXPECT_EQ(file.Page(victim)[0], 0);
}

TEST(PageAllocatorTest, ARolledBackAllocationLeavesTheFileAsItWas) {
  REQUIRE_ACCESS_MADE_FIXTURES();
  auto db = OpenCopy("testV2000.mdb");
  PageFile& file = db->file();
  const Bytes before = file.image();
  {
    PageFile::Operation op(file);
    PageAllocator allocator(file);
    for (int i = 0; i < 3000; ++i) allocator.Allocate();
  }
  EXPECT_EQ(file.image(), before);
}

class TableMapTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (testing_support::AccessMadeDir().empty()) GTEST_SKIP() << "shared fixtures absent";
    db_ = OpenCopy("delTestV2000.mdb");
    def_ = &db_->TableDefAt(db_->FindTable(db_->TableNames().front())->tdef_page());
  }

  // A new empty data page of the table, listed in its owned map.
  uint32_t AddTablePage(PageAllocator& allocator) {
    const uint32_t p = allocator.Allocate();
    InitDataPage(db_->file().MutablePage(p), def_->page);
    UsageMapAdd(db_->file(), allocator, def_->owned_map, p);
    return p;
  }

  std::unique_ptr<Database> db_;
  const TableDef* def_ = nullptr;
};

TEST_F(TableMapTest, ThousandsOfPagesPromoteTheOwnedMapToBitmapPages) {
  PageFile& file = db_->file();
  ASSERT_EQ(UsageMap::Read(file, def_->owned_map).kind(), kUsageMapInline);
  std::vector<uint32_t> expected = UsageMap::Read(file, def_->owned_map).SetPages();
  PageFile::Operation op(file);
  PageAllocator allocator(file);
  for (int i = 0; i < 3000; ++i) expected.push_back(AddTablePage(allocator));
  op.Commit();

  const UsageMap owned = UsageMap::Read(file, def_->owned_map);
  EXPECT_EQ(owned.kind(), kUsageMapReference);
  EXPECT_EQ(owned.SetPages(), expected);
  // Read where the bits lie, the last page agrees with the map read whole.
  EXPECT_EQ(owned.LastSetPage(), expected.back());
  EXPECT_EQ(UsageMap::LastSetPage(file, def_->owned_map), expected.back());
  EXPECT_EQ(db_->OpenTable(db_->TableNames().front()).DataPages(), expected);
  EXPECT_EQ(Joined(CheckDatabase(*db_)), "");

  // Removing pages from a reference map, and freeing them.
  PageFile::Operation remove_op(file);
  for (size_t i = expected.size() - 100; i < expected.size(); ++i) {
    UsageMapRemove(file, def_->owned_map, expected[i]);
    allocator.Free(expected[i]);
  }
  remove_op.Commit();
  expected.resize(expected.size() - 100);
  EXPECT_EQ(UsageMap::Read(file, def_->owned_map).SetPages(), expected);
  EXPECT_EQ(UsageMap::LastSetPage(file, def_->owned_map), expected.back());
  EXPECT_EQ(Joined(CheckDatabase(*db_)), "");
}

TEST_F(TableMapTest, AnInlineMapShiftsItsWindowWhileTheListedPagesFit) {
  PageFile& file = db_->file();
  const UsageMap before = UsageMap::Read(file, def_->owned_map);
  ASSERT_EQ(before.kind(), kUsageMapInline);
  EXPECT_EQ(UsageMap::LastSetPage(file, def_->owned_map), before.LastSetPage());
  const uint32_t span = before.span();
  PageFile::Operation op(file);
  PageAllocator allocator(file);
  // Move the table's rows out of the way: its pages leave the map, so a far page fits after a
  // shift. (The pages keep their rows but are freed, so the checker ignores them.)
  for (uint32_t p : before.SetPages()) {
    UsageMapRemove(file, def_->owned_map, p);
    allocator.Free(p);
  }
  while (file.page_count() < before.start_page() + span + 20) allocator.Allocate();
  const uint32_t far = AddTablePage(allocator);
  const UsageMap shifted = UsageMap::Read(file, def_->owned_map);
  EXPECT_EQ(shifted.kind(), kUsageMapInline);
  EXPECT_EQ(shifted.start_page() % 8, 0u);
  EXPECT_EQ(shifted.start_page(), far & ~7u);
  EXPECT_EQ(shifted.SetPages(), std::vector<uint32_t>{far});
  EXPECT_EQ(UsageMap::LastSetPage(file, def_->owned_map), far);
  // A page just inside the shifted window keeps it inline; one beyond promotes.
  const uint32_t near = AddTablePage(allocator);
  EXPECT_EQ(UsageMap::Read(file, def_->owned_map).kind(), kUsageMapInline);
  while (file.page_count() < shifted.start_page() + span + 1) allocator.Allocate();
  const uint32_t beyond = AddTablePage(allocator);
  op.Commit();
  const UsageMap promoted = UsageMap::Read(file, def_->owned_map);
  EXPECT_EQ(promoted.kind(), kUsageMapReference);
  EXPECT_EQ(promoted.SetPages(), (std::vector<uint32_t>{far, near, beyond}));
  EXPECT_EQ(UsageMap::LastSetPage(file, def_->owned_map), beyond);
  EXPECT_TRUE(UsageMapContains(file, def_->owned_map, near));
  EXPECT_FALSE(UsageMapContains(file, def_->owned_map, near + 1));
}

}  // namespace
}  // namespace jet
