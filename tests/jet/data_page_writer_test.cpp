// Rows on data pages stay packed downward in slot order with exact free space, keep their slot
// numbers through replacements and deletions, and read back through the reader's ReadSlot.
#include "jet/data_page_writer.h"

#include <gtest/gtest.h>

#include <array>
#include <fstream>
#include <iterator>
#include <stdexcept>

#include "jet/data_page.h"
#include "jet/database.h"
#include "jet/page_file.h"
#include "support/fixtures.h"

namespace jet {
namespace {

Bytes RowOf(size_t size, uint8_t fill) { return Bytes(size, fill); }

// The layout invariants Access keeps on every data page.
void ExpectPacked(const uint8_t* page) {
  const unsigned count = RowCount(page);
  size_t previous = kPageSize;
  for (unsigned s = 0; s < count; ++s) {
    const size_t start = U16(page + kDataOffRowTable + 2 * s) & kRowOffsetMask;
    EXPECT_LE(start, previous) << "slot " << s << " starts above the slot before it";
    previous = start;
  }
  EXPECT_EQ(DataPageFree(page), previous - (kDataOffRowTable + 2 * count));
}

Bytes SlotBytes(const uint8_t* page, unsigned slot) {
  const RowSlot s = ReadSlot(page, 99, slot);
  return Bytes(s.bytes.begin(), s.bytes.end());
}

TEST(DataPageWriterTest, AddReplaceAndDeleteKeepThePagePackedAndSlotsStable) {
  std::array<uint8_t, kPageSize> page{};
  InitDataPage(page.data(), 0x1234);
  EXPECT_EQ(page[0], kPageData);
  EXPECT_EQ(page[1], 0x01);
  EXPECT_EQ(DataPageFree(page.data()), 4082);
  EXPECT_EQ(U32(page.data() + kDataOffOwner), 0x1234u);
  EXPECT_EQ(RowCount(page.data()), 0);

  std::vector<Bytes> rows = {RowOf(100, 1), RowOf(7, 2), RowOf(300, 3), RowOf(1, 4)};
  for (size_t i = 0; i < rows.size(); ++i) EXPECT_EQ(AddRow(page.data(), rows[i]), i);
  ExpectPacked(page.data());
  EXPECT_EQ(DataPageFree(page.data()), 4082 - 408 - 8);

  // Grow a middle row, then shrink the first: the others keep bytes and numbers.
  rows[1] = RowOf(250, 9);
  ReplaceRow(page.data(), 1, rows[1], 0);
  ExpectPacked(page.data());
  rows[0] = RowOf(3, 8);
  ReplaceRow(page.data(), 0, rows[0], 0);
  ExpectPacked(page.data());
  for (size_t i = 0; i < rows.size(); ++i) EXPECT_EQ(SlotBytes(page.data(), i), rows[i]);
  EXPECT_EQ(DataPageFree(page.data()), 4082 - (3 + 250 + 300 + 1) - 8);

  // Access's delete: 0xC000 and zero length, the page compacted.
  const uint16_t free_before = DataPageFree(page.data());
  DeleteRow(page.data(), 2);
  ExpectPacked(page.data());
  EXPECT_EQ(DataPageFree(page.data()), free_before + 300);
  const RowSlot deleted = ReadSlot(page.data(), 99, 2);
  EXPECT_EQ(deleted.flags, kRowDeleted | kRowOverflow);
  EXPECT_TRUE(deleted.bytes.empty());
  EXPECT_EQ(SlotBytes(page.data(), 3), rows[3]);
  EXPECT_FALSE(AllRowsDeleted(page.data()));
  for (unsigned s : {0u, 1u, 3u}) DeleteRow(page.data(), s);
  EXPECT_TRUE(AllRowsDeleted(page.data()));
  EXPECT_EQ(DataPageFree(page.data()), 4082 - 8);
  // A deleted slot is never reused: the next row gets a new number.
  EXPECT_EQ(AddRow(page.data(), RowOf(10, 5)), 4u);
  ExpectPacked(page.data());

  // The relocation flags are kept as given.
  ReplaceRow(page.data(), 4, RowOf(4, 6), kRowOverflow);
  EXPECT_EQ(ReadSlot(page.data(), 99, 4).flags, kRowOverflow);
}

TEST(DataPageWriterTest, RoomIsExactAndThePageHoldsAtMost255Rows) {
  std::array<uint8_t, kPageSize> page{};
  InitDataPage(page.data(), 7);
  EXPECT_TRUE(HasRoomFor(page.data(), 4080));
  EXPECT_FALSE(HasRoomFor(page.data(), 4081));
  AddRow(page.data(), RowOf(4000, 1));
  EXPECT_EQ(DataPageFree(page.data()), 80);
  EXPECT_TRUE(HasRoomFor(page.data(), 78));
  EXPECT_FALSE(HasRoomFor(page.data(), 79));
  EXPECT_THROW(AddRow(page.data(), RowOf(79, 1)), std::logic_error);
  EXPECT_EQ(RoomForReplace(page.data(), 0), 4080u);
  EXPECT_THROW(ReplaceRow(page.data(), 0, RowOf(4081, 1), 0), std::logic_error);
  ReplaceRow(page.data(), 0, RowOf(4080, 2), 0);
  EXPECT_EQ(DataPageFree(page.data()), 0);
  ExpectPacked(page.data());

  InitDataPage(page.data(), 7);
  for (unsigned i = 0; i < kMaxRowsPerPage; ++i) AddRow(page.data(), RowOf(2, 1));
  EXPECT_GT(DataPageFree(page.data()), 100);
  EXPECT_FALSE(HasRoomFor(page.data(), 1)) << "a 256th row could not be pointed at";
}

// On Access's own pages: replacing a row with its own bytes changes nothing, and deleting it
// keeps every other row where the reader finds it.
TEST(DataPageWriterTest, AccessPagesStayReadableThroughEdits) {
  REQUIRE_ACCESS_MADE_FIXTURES();
  std::ifstream in(testing_support::AccessMadeFile("testV2000.mdb"), std::ios::binary);
  Bytes image((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  auto db = Database::Open(std::make_unique<PageFile>("copy.mdb", image));
  int pages_seen = 0;
  for (const auto& name : db->TableNames()) {
    for (uint32_t p : db->OpenTable(name).DataPages()) {
      std::array<uint8_t, kPageSize> page;
      std::copy_n(db->file().Page(p), kPageSize, page.begin());
      const auto original = page;
      const unsigned count = RowCount(page.data());
      if (count < 2) continue;
      ++pages_seen;
      for (unsigned s = 0; s < count; ++s) {
        const RowSlot slot = ReadSlot(page.data(), p, s);
        const Bytes same(slot.bytes.begin(), slot.bytes.end());
        ReplaceRow(page.data(), s, same, slot.flags);
      }
      EXPECT_EQ(page, original) << "page " << p;
      std::vector<Bytes> rows;
      for (unsigned s = 0; s < count; ++s) rows.push_back(SlotBytes(page.data(), s));
      DeleteRow(page.data(), 0);
      ExpectPacked(page.data());
      for (unsigned s = 1; s < count; ++s) EXPECT_EQ(SlotBytes(page.data(), s), rows[s]);
    }
  }
  EXPECT_GT(pages_seen, 0);
}

}  // namespace
}  // namespace jet
