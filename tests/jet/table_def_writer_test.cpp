// Serializing table definitions must give back, byte for byte, every definition Access wrote,
// and lay long definitions over page chains as Access does.
#include "jet/table_def_writer.h"

#include <gtest/gtest.h>

#include "jet/data_page.h"
#include "jet/database.h"
#include "jet/page_allocator.h"
#include "support/fixtures.h"

namespace jet {
namespace {

// The stored definition: page 1 whole, then bytes 8.. of each continuation, to its length.
Bytes Stored(const TableDef& def) {
  return Bytes(def.raw.begin(), def.raw.begin() + U32(def.raw.data() + 8));
}

TEST(TableDefWriterTest, EveryAccessMadeDefinitionSerializesToItsStoredBytes) {
  REQUIRE_ACCESS_MADE_FIXTURES();
  size_t checked = 0, multi_page = 0;
  for (const std::string& path : testing_support::ReadableAccessMadeFiles()) {
    SCOPED_TRACE(path);
    auto db = Database::Open(path);
    for (const CatalogEntry& e : db->catalog()) {
      if (e.type != kObjectTypeTable) continue;
      SCOPED_TRACE(e.name);
      const TableDef& def = db->TableDefAt(e.tdef_page());
      EXPECT_EQ(SerializeTableDef(def), Stored(def));
      ++checked;
      multi_page += def.pages.size() > 1;
    }
  }
  EXPECT_GT(checked, 50u);
  EXPECT_GE(multi_page, 2u);
}

TEST(TableDefWriterTest, NewDefinitionReadsBackAndZeroesUnknownBytes) {
  TableDef def;
  def.page = 7;
  def.table_type = 0x4E;
  def.max_cols = def.col_count = 3;
  def.var_col_count = 2;
  def.owned_map = {9, 0};
  def.free_space_map = {9, 1};
  def.columns = {
      {"Id", ColumnType::kLong, 0, 0, 0, 4, 0x07, 0, 1033, 0, 0, 0, 0},
      {"Name", ColumnType::kText, 1, 0, 0, 100, 0x02, 0x01, 1033, 0, 0, 0, 1},
      {"Notes", ColumnType::kMemo, 2, 1, 0, 0, 0x02, 0x01, 1033, 0, 0, 0, 2},
  };
  RealIndexDef pk;
  pk.columns = {{0, true}};
  pk.usage_map = {9, 2};
  pk.root_page = 10;
  pk.flags = 0x89;
  def.real_indexes = {pk};
  LogicalIndexDef logical;
  logical.name = "PrimaryKey";
  logical.type = LogicalIndexType::kPrimaryKey;
  def.indexes = {logical};
  def.long_value_maps = {{2, {9, 3}, {9, 4}}};

  Bytes image(8 * kPageSize, 0);
  PageFile file("new.mdb", image, OpenMode::kReadWrite);
  PageAllocator allocator(file);
  PageFile::Operation op(file);
  WriteTableDef(file, allocator, def);
  const TableDef back = ReadTableDef(file, 7);
  op.Commit();

  ASSERT_EQ(back.columns.size(), 3u);
  EXPECT_EQ(back.columns[1].name, "Name");
  EXPECT_TRUE(back.columns[1].is_compressed_unicode());
  EXPECT_EQ(back.real_indexes[0].flags, 0x89);
  EXPECT_EQ(back.real_indexes[0].root_page, 10u);
  EXPECT_EQ(back.indexes[0].name, "PrimaryKey");
  ASSERT_EQ(back.long_value_maps.size(), 1u);
  EXPECT_EQ(back.long_value_maps[0].free_space, (RowPointer{9, 4}));
  const uint8_t* page = file.Page(7);
  const uint32_t length = U32(page + 8);
  EXPECT_EQ(U16(page + 2), kPageSize - length - 8);
  EXPECT_EQ(page[24], 0x01);  // autonumbering enabled, as Access expects
  for (size_t i = 25; i < 40; ++i) EXPECT_EQ(page[i], 0) << i;
  // The descriptor repeats the column number at offset 9; unused index slots are FFFF 00.
  EXPECT_EQ(U16(page + 63 + 12 + 25 + 9), 1);
  const size_t real = length - 2 - 10 - (2 + 20) - 28 - 52;
  EXPECT_EQ(U16(page + real + 4 + 3), 0xFFFF);
  EXPECT_EQ(page[real + 4 + 5], 0);
}

TEST(TableDefWriterTest, LongDefinitionsChainPagesAndShrinkBack) {
  TableDef def;
  def.page = 3;
  def.table_type = 0x4E;
  for (uint16_t i = 0; i < 200; ++i) {
    ColumnDef c;
    c.name = "a fairly long column name number " + std::to_string(i);
    c.type = ColumnType::kLong;
    c.number = i;
    c.fixed_offset = static_cast<uint16_t>(4 * i);
    c.length = 4;
    c.flags = 0x03;
    c.descriptor_index = i;
    def.columns.push_back(c);
  }
  def.max_cols = def.col_count = 200;

  PageFile file("chain.mdb", Bytes(4 * kPageSize, 0), OpenMode::kReadWrite);
  PageAllocator allocator(file);
  PageFile::Operation op(file);
  // Page 1 holds the global map the allocator extends.
  uint8_t* map_page = file.MutablePage(1);
  map_page[0] = kPageData;
  map_page[1] = 0x01;
  PutU16(map_page + 2, 4096 - 14 - 2 - 69);
  PutU16(map_page + 12, 1);
  PutU16(map_page + 14, 4096 - 69);
  std::fill(map_page + 4096 - 64, map_page + 4096, 0xFF);
  map_page[4096 - 64] = 0xF0;

  WriteTableDef(file, allocator, def);
  ASSERT_GE(def.pages.size(), 3u);
  const TableDef back = ReadTableDef(file, 3);
  EXPECT_EQ(back.pages, def.pages);
  EXPECT_EQ(back.columns.back().name, def.columns.back().name);
  const size_t length = U32(file.Page(3) + 8);
  EXPECT_EQ(U16(file.Page(3) + 2), 0);  // a full first page
  const size_t last_used = 8 + (length - 4096) % 4088;
  EXPECT_EQ(U16(file.Page(def.pages.back()) + 2), 4096 - last_used - 8);

  // Fewer columns: the chain shrinks and the spare pages are freed.
  const uint32_t spare = def.pages.back();
  def.columns.resize(10);
  def.max_cols = def.col_count = 10;
  def.raw.clear();
  WriteTableDef(file, allocator, def);
  EXPECT_EQ(def.pages, std::vector<uint32_t>{3});
  EXPECT_EQ(U32(file.Page(3) + 4), 0u);
  EXPECT_EQ(file.Page(spare)[0], 0);
  op.Commit();
}

}  // namespace
}  // namespace jet
