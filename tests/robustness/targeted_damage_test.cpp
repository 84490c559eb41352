// Damage aimed at one structure, with the exact error it must give: the corrupt error (3049)
// naming the page where the fault lies.
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>

#include "jet/data_page.h"
#include "jet/database.h"
#include "jet/error.h"
#include "jet/page_file.h"
#include "robustness/damage.h"
#include "robustness/full_scan.h"
#include "support/fixtures.h"

namespace robustness {
namespace {

using jet::kPageSize;

jet::Bytes Image(const std::string& name) {
  std::ifstream in(testing_support::AccessMadeFile(name), std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::unique_ptr<jet::Database> Open(jet::Bytes image) {
  return jet::Database::Open(std::make_unique<jet::PageFile>("damaged.mdb", std::move(image)));
}

uint8_t* PageAt(jet::Bytes& image, uint32_t page) {
  return image.data() + static_cast<size_t>(page) * kPageSize;
}

// The first error a full read of the image meets (number 0 when it reads cleanly).
jet::Error FirstError(jet::Bytes image) {
  try {
    auto db = Open(std::move(image));
    jet::Error first(0, "read in full");
    bool seen = false;
    ScanEverything(*db, [&](const jet::Error& e) {
      if (!seen) first = e;
      seen = true;
    });
    return first;
  } catch (const jet::Error& e) {
    return e;
  }
}

std::string PageTag(uint32_t page) { return "(page " + std::to_string(page) + ")"; }

#define EXPECT_CORRUPT_AT(error, page)                                                      \
  do {                                                                                      \
    const jet::Error& e_ = (error);                                                         \
    EXPECT_EQ(e_.number(), jet::kErrCorrupt) << e_.description();                           \
    EXPECT_NE(e_.description().find(PageTag(page)), std::string::npos) << e_.description(); \
  } while (0)

// The first page of a user table's definition, and the table's first data page.
struct UserTable {
  std::string name;
  uint32_t tdef_page = 0;
  uint32_t data_page = 0;
};

UserTable FirstUserTableWithRows(const jet::Bytes& image) {
  auto db = Open(image);
  for (const auto& name : db->TableNames()) {
    const jet::Table table = db->OpenTable(name);
    auto cursor = table.Scan();
    if (cursor.Next()) return {name, table.def().page, cursor.locator().page};
  }
  return {};
}

TEST(TargetedDamageTest, TableDefinitionChainPointingToItself) {
  REQUIRE_ACCESS_MADE_FIXTURES();
  jet::Bytes image = Image("test2V2000.mdb");
  const UserTable table = FirstUserTableWithRows(image);
  ASSERT_NE(table.tdef_page, 0u);
  jet::PutU32(PageAt(image, table.tdef_page) + 4, table.tdef_page);
  auto db = Open(std::move(image));
  try {
    db->OpenTable(table.name);
    FAIL() << "a looping table definition opened";
  } catch (const jet::Error& e) {
    EXPECT_CORRUPT_AT(e, table.tdef_page);
  }
}

TEST(TargetedDamageTest, LongValueChainPointingToItsOwnRow) {
  REQUIRE_ACCESS_MADE_FIXTURES();
  // test2V2000 holds a 22,970-byte OLE value in a chain of full 4,076-byte rows.
  jet::Bytes image = Image("test2V2000.mdb");
  const ImageLayout layout = Survey(image);
  jet::RowPointer chain_row;
  for (const auto& row : layout.long_value_rows) {
    const jet::RowSlot slot = jet::ReadSlot(PageAt(image, row.page), row.page, row.row);
    if (slot.bytes.size() == 4076 && jet::U32(slot.bytes.data()) != 0) {
      chain_row = row;
      break;
    }
  }
  ASSERT_NE(chain_row.page, 0u) << "no chained long value in the fixture";
  uint8_t* page = PageAt(image, chain_row.page);
  const uint16_t offset =
      jet::U16(page + jet::kDataOffRowTable + 2 * chain_row.row) & jet::kRowOffsetMask;
  jet::PutU32(page + offset, chain_row.ToU32());
  EXPECT_CORRUPT_AT(FirstError(std::move(image)), chain_row.page);
}

TEST(TargetedDamageTest, RowOffsetBeyondItsPage) {
  REQUIRE_ACCESS_MADE_FIXTURES();
  jet::Bytes image = Image("test2V2000.mdb");
  const UserTable table = FirstUserTableWithRows(image);
  ASSERT_NE(table.data_page, 0u);
  uint8_t* entry = PageAt(image, table.data_page) + jet::kDataOffRowTable;
  jet::PutU16(entry, static_cast<uint16_t>((jet::U16(entry) & 0xE000) | 0x1FFF));
  EXPECT_CORRUPT_AT(FirstError(image), table.data_page);
}

TEST(TargetedDamageTest, RowCountPastTheOffsetTable) {
  REQUIRE_ACCESS_MADE_FIXTURES();
  // 0xFFFF slots would put the offset table far beyond the page's 4096 bytes. With every
  // entry on the page marked deleted, a scan that trusted the count would skip along them
  // and on past the page's end.
  jet::Bytes image = Image("test2V2000.mdb");
  const UserTable table = FirstUserTableWithRows(image);
  ASSERT_NE(table.data_page, 0u);
  uint8_t* page = PageAt(image, table.data_page);
  jet::PutU16(page + jet::kDataOffRowCount, 0xFFFF);
  std::fill(page + jet::kDataOffRowTable, page + kPageSize, 0x80);
  EXPECT_CORRUPT_AT(FirstError(image), table.data_page);
}

TEST(TargetedDamageTest, UsageMapPointerGarbage) {
  REQUIRE_ACCESS_MADE_FIXTURES();
  const jet::Bytes intact = Image("test2V2000.mdb");
  const UserTable table = FirstUserTableWithRows(intact);
  ASSERT_NE(table.tdef_page, 0u);
  constexpr size_t kOwnedMapField = 55;

  // A page far beyond the end of the file.
  jet::Bytes beyond = intact;
  jet::PutU32(PageAt(beyond, table.tdef_page) + kOwnedMapField, (0xABCDEFu << 8) | 3);
  EXPECT_CORRUPT_AT(FirstError(beyond), 0xABCDEFu);

  // A page that is not a data page: the table definition itself.
  jet::Bytes not_data = intact;
  jet::PutU32(PageAt(not_data, table.tdef_page) + kOwnedMapField, table.tdef_page << 8);
  EXPECT_CORRUPT_AT(FirstError(not_data), table.tdef_page);
}

}  // namespace
}  // namespace robustness
