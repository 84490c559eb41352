// Long values written onto a table's own long-value pages read back exactly through the reader,
// in each of the three forms, and freeing them leaves the file as Access would.
#include "jet/long_value_writer.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>

#include "jet/consistency_check.h"
#include "jet/data_page.h"
#include "jet/data_page_writer.h"
#include "jet/database.h"
#include "jet/long_value.h"
#include "jet/page_allocator.h"
#include "jet/page_file.h"
#include "jet/row_codec.h"
#include "jet/row_encoder.h"
#include "jet/usage_map.h"
#include "support/fixtures.h"

namespace jet {
namespace {

std::string Joined(const std::vector<std::string>& problems) {
  std::string out;
  for (const auto& p : problems) out += p + "\n";
  return out;
}

Bytes Pattern(size_t size) {
  Bytes b(size);
  for (size_t i = 0; i < size; ++i) b[i] = static_cast<uint8_t>((i * 31 + i / 251) & 0xFF);
  return b;
}

class LongValueWriterTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (testing_support::AccessMadeDir().empty()) GTEST_SKIP() << "shared fixtures absent";
    std::ifstream in(testing_support::AccessMadeFile("test2V2000.mdb"), std::ios::binary);
    Bytes image((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    db_ = Database::Open(
        std::make_unique<PageFile>("copy.mdb", std::move(image), OpenMode::kReadWrite));
    def_ = &db_->OpenTable(kTable).def();
    for (size_t k = 0; k < def_->columns.size(); ++k) {
      if (def_->columns[k].type == ColumnType::kOle && ole_ < 0) ole_ = static_cast<int>(k);
      if (def_->columns[k].type == ColumnType::kMemo && memo_ < 0) memo_ = static_cast<int>(k);
    }
    ASSERT_GE(ole_, 0);
    ASSERT_GE(memo_, 0);
    auto cursor = db_->OpenTable(kTable).Scan();
    ASSERT_TRUE(cursor.Next());
    row_ = cursor.locator();
    ASSERT_EQ(cursor.stored_page(), row_.page) << "the first row is not relocated";
  }

  // Stores `body` in column k of the table's first row, freeing what was there, and returns
  // the column's stored bytes.
  Bytes SetLongValue(size_t k, ByteSpan body) {
    PageFile& file = db_->file();
    PageFile::Operation op(file);
    PageAllocator allocator(file);
    const RowSlot slot = ReadSlot(file.Page(row_.page), row_.page, row_.row);
    const Bytes old_row(slot.bytes.begin(), slot.bytes.end());
    std::vector<StoredField> fields = SplitRow(*def_, old_row, row_.page);
    const ColumnDef& column = def_->columns[k];
    if (fields[k].present) FreeLongValue(file, allocator, *def_, column, fields[k].bytes);
    const size_t room = kMaxRowSize - (old_row.size() - fields[k].bytes.size());
    const Bytes stored = WriteLongValue(file, allocator, *def_, column, body, room);
    fields[k] = {true, stored};
    ReplaceRow(file.MutablePage(row_.page), row_.row, EncodeRow(*def_, fields), slot.flags);
    op.Commit();
    return stored;
  }

  Value ReadBack(size_t k) { return db_->OpenTable(kTable).ReadRow(row_)[k]; }

  static constexpr const char* kTable = "MSP_PROJECTS";
  std::unique_ptr<Database> db_;
  const TableDef* def_ = nullptr;
  int ole_ = -1;
  int memo_ = -1;
  RowLocator row_;
};

TEST_F(LongValueWriterTest, EachSizeTakesItsFormAndReadsBackExactly) {
  struct Case {
    size_t size;
    uint32_t kind;
    size_t rows;
  };
  const Case cases[] = {{0, kLongValueInline, 0},
                        {64, kLongValueInline, 0},
                        {65, kLongValueSinglePage, 1},
                        {4076, kLongValueSinglePage, 1},
                        {4077, 0, 2},
                        {100000, 0, 25}};
  PageFile& file = db_->file();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.size);
    const Bytes body = Pattern(c.size);
    const Bytes stored = SetLongValue(ole_, body);
    EXPECT_EQ(U32(stored.data()) & ~kLongValueLengthMask, c.kind);
    EXPECT_EQ(U32(stored.data()) & kLongValueLengthMask, c.size);
    EXPECT_EQ(stored.size(), kLongValueDefinitionSize + (c.kind == kLongValueInline ? c.size : 0));
    EXPECT_EQ(ReadBack(ole_), Value(body));

    std::vector<RowPointer> rows;
    EXPECT_EQ(ReadLongValue(file, stored, row_.page, &rows), body);
    ASSERT_EQ(rows.size(), c.rows);
    for (size_t i = 0; i < rows.size(); ++i) {
      const uint8_t* page = file.Page(rows[i].page);
      EXPECT_EQ(U32(page + kDataOffOwner), kLongValuePageTag);
      // Chained rows carry 4072 bytes after the pointer; the last exactly the rest.
      const size_t length = ReadSlot(page, rows[i].page, rows[i].row).bytes.size();
      if (c.rows > 1) {
        EXPECT_EQ(length, 4 + (i + 1 < rows.size() ? 4072 : c.size - 4072 * (c.rows - 1)));
      }
    }
    EXPECT_EQ(Joined(CheckDatabase(*db_)), "");
  }
}

TEST_F(LongValueWriterTest, SmallValuesAreInlineOnlyWhenTheRowHasRoom) {
  PageFile& file = db_->file();
  PageFile::Operation op(file);
  PageAllocator allocator(file);
  const ColumnDef& column = def_->columns[ole_];
  const Bytes body = Pattern(40);
  EXPECT_EQ(WriteLongValue(file, allocator, *def_, column, body, 52).size(), 52u);
  const Bytes outside = WriteLongValue(file, allocator, *def_, column, body, 51);
  EXPECT_EQ(U32(outside.data()), kLongValueSinglePage | 40);
  // Several values share one long-value page.
  const Bytes next = WriteLongValue(file, allocator, *def_, column, body, 0);
  EXPECT_EQ(RowPointer::FromU32(U32(next.data() + 4)).page,
            RowPointer::FromU32(U32(outside.data() + 4)).page);
}

TEST_F(LongValueWriterTest, MemoTextIsCompressedUnderTheTextRule) {
  // This file's memo columns do not allow compression; the rule is the column's flag.
  EXPECT_EQ(EncodeLongValueBody(def_->columns[memo_], std::string("abc")).size(), 6u);
  ColumnDef column = def_->columns[memo_];
  column.ext_flags |= kColumnCompressedUnicode;
  const std::string shorter(1024, 'q');
  const Bytes compressed = EncodeLongValueBody(column, shorter);
  EXPECT_EQ(compressed.size(), 1026u);
  SetLongValue(memo_, compressed);
  EXPECT_EQ(ReadBack(memo_), Value(shorter));
  const std::string longer(1025, 'q');
  const Bytes plain = EncodeLongValueBody(column, longer);
  EXPECT_EQ(plain.size(), 2050u);
  SetLongValue(memo_, plain);
  EXPECT_EQ(ReadBack(memo_), Value(longer));
  EXPECT_EQ(Joined(CheckDatabase(*db_)), "");
}

TEST_F(LongValueWriterTest, FreedValuesEmptyTheirPagesAsAccessDoes) {
  PageFile& file = db_->file();
  const Bytes stored = SetLongValue(ole_, Pattern(30000));
  std::vector<RowPointer> rows;
  ReadLongValue(file, stored, row_.page, &rows);
  ASSERT_EQ(rows.size(), 8u);
  SetLongValue(ole_, Pattern(10));  // frees the chain
  const UsageMap global = UsageMap::Read(file, kGlobalUsageMap);
  for (const RowPointer& at : rows) {
    const uint8_t* page = file.Page(at.page);
    EXPECT_EQ(page[0], 0x09) << "page " << at.page;
    EXPECT_EQ(U32(page + kDataOffOwner), kLongValuePageTag);
    EXPECT_TRUE(global.Test(at.page)) << "page " << at.page << " is free again";
    for (const LongValueMaps& maps : def_->long_value_maps) {
      EXPECT_FALSE(UsageMap::Read(file, maps.owned).Test(at.page));
    }
  }
  EXPECT_EQ(ReadBack(ole_), Value(Pattern(10)));
  EXPECT_EQ(Joined(CheckDatabase(*db_)), "");
}

}  // namespace
}  // namespace jet
