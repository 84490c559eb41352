// Rows and values encode to exactly what the reader decodes, and to the bytes Access stored.
#include "jet/row_encoder.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>

#include "jet/data_page.h"
#include "jet/database.h"
#include "jet/error.h"
#include "jet/page_file.h"
#include "jet/row_codec.h"
#include "jet/text.h"
#include "support/fixtures.h"

namespace jet {
namespace {

ColumnDef Column(std::string name, ColumnType type, uint16_t number, uint16_t length, bool fixed,
                 uint16_t slot, uint8_t ext_flags = 0) {
  ColumnDef c;
  c.name = std::move(name);
  c.type = type;
  c.number = number;
  c.length = length;
  c.flags = static_cast<uint8_t>((fixed ? kColumnFixed : 0) | 0x02);
  c.ext_flags = ext_flags;
  if (fixed) {
    c.fixed_offset = slot;
  } else {
    c.var_index = slot;
  }
  return c;
}

// Every scalar type, fixed and variable, with a gap in the column numbers and var indexes
// where a column was deleted (number 3, var index 1).
TableDef AllTypes() {
  TableDef def;
  def.page = 42;
  def.columns = {
      Column("Flag", ColumnType::kBoolean, 0, 1, true, 0),
      Column("Byte", ColumnType::kByte, 1, 1, true, 0),
      Column("Int", ColumnType::kInt, 2, 2, true, 1),
      Column("Long", ColumnType::kLong, 4, 4, true, 3),
      Column("Money", ColumnType::kMoney, 5, 8, true, 7),
      Column("Single", ColumnType::kFloat, 6, 4, true, 15),
      Column("Double", ColumnType::kDouble, 7, 8, true, 19),
      Column("When", ColumnType::kDateTime, 8, 8, true, 27),
      Column("Guid", ColumnType::kGuid, 9, 16, true, 35),
      Column("Dec", ColumnType::kNumeric, 10, 17, true, 51),
      Column("Code", ColumnType::kText, 11, 6, true, 68),
      Column("Name", ColumnType::kText, 12, 100, false, 0, kColumnCompressedUnicode),
      Column("Plain", ColumnType::kText, 13, 100, false, 2),
      Column("Blob", ColumnType::kBinary, 14, 20, false, 3),
  };
  def.columns[9].scale = 2;
  def.columns[9].precision = 18;
  def.max_cols = 15;
  def.col_count = 14;
  def.var_col_count = 4;
  return def;
}

std::vector<Value> SampleValues() {
  Guid g;
  for (int i = 0; i < 16; ++i) g.bytes[i] = static_cast<uint8_t>(i * 7);
  Decimal d;
  d.negative = true;
  d.scale = 2;
  d.low = 123456;
  return {true,
          uint8_t{200},
          int16_t{-1234},
          int32_t{-70000},
          Currency{-12345678},
          1.5f,
          -2.25,
          DateTime{-1.25},
          g,
          d,
          "ab ",
          std::string("caf\xC3\xA9 au lait"),
          "x",
          Bytes{1, 2, 3}};
}

// The test image only supplies a PageFile for DecodeRow; these rows hold no long values.
PageFile& AnyFile() {
  static Bytes image = [] {
    std::ifstream in(testing_support::AccessMadeFile("empty.mdb"), std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  }();
  static PageFile file("empty.mdb", image);
  return file;
}

Bytes Encode(const TableDef& def, const std::vector<Value>& values) {
  std::vector<Bytes> storage(values.size());
  std::vector<StoredField> fields(values.size());
  for (size_t k = 0; k < values.size(); ++k) {
    const ColumnDef& c = def.columns[k];
    if (c.type == ColumnType::kBoolean) {
      fields[k].present = values[k].Is<bool>() && values[k].As<bool>();
      continue;
    }
    if (values[k].IsNull()) continue;
    storage[k] = EncodeScalar(c, values[k]);
    fields[k] = {true, storage[k]};
  }
  return EncodeRow(def, fields);
}

int ErrorNumber(const std::function<void()>& f) {
  try {
    f();
  } catch (const Error& e) {
    return e.number();
  }
  return 0;
}

TEST(RowEncoderTest, DecodingAnEncodedRowGivesBackEveryValue) {
  REQUIRE_ACCESS_MADE_FIXTURES();
  const TableDef def = AllTypes();
  const std::vector<Value> values = SampleValues();
  const Bytes row = Encode(def, values);
  EXPECT_EQ(DecodeRow(AnyFile(), def, row, 1), values);

  // Layout: 15 columns, the whole fixed area, 4 var entries (deleted index 1 empty), 2 mask
  // bytes.
  EXPECT_EQ(U16(row.data()), 15);
  const size_t mask = row.size() - 2;
  EXPECT_EQ(U16(row.data() + mask - 2), 4) << "var count";
  EXPECT_EQ(U16(row.data() + mask - 4), 2 + 74) << "var index 0 starts after the fixed area";
  EXPECT_EQ(U16(row.data() + mask - 6), U16(row.data() + mask - 8)) << "deleted var index 1";

  // All Null (and No): fixed slots still allocated, every var entry empty.
  std::vector<Value> nulls(values.size());
  nulls[0] = false;
  const Bytes empty = Encode(def, nulls);
  EXPECT_EQ(empty.size(), 2 + 74 + 2 + 2 * 4 + 2 + 2);
  EXPECT_EQ(DecodeRow(AnyFile(), def, empty, 1), nulls);
}

TEST(RowEncoderTest, ValuesOfOtherTypesAreConvertedOrRefusedNamingTheField) {
  const TableDef def = AllTypes();
  const ColumnDef& byte = def.columns[1];
  const ColumnDef& money = def.columns[4];
  const ColumnDef& dec = def.columns[9];
  EXPECT_EQ(EncodeScalar(byte, int32_t{7}), Bytes{7});
  EXPECT_EQ(EncodeScalar(def.columns[3], 12.0), (Bytes{12, 0, 0, 0}));
  EXPECT_EQ(EncodeScalar(money, int16_t{2}), EncodeScalar(money, Currency{20000}));
  EXPECT_EQ(EncodeScalar(dec, int32_t{-5}), EncodeScalar(dec, Decimal{true, 18, 0, 0, 5}));
  EXPECT_EQ(EncodeScalar(dec, Decimal{false, 18, 3, 0, 1235})[1 + 12], 124) << "rounded";

  EXPECT_EQ(ErrorNumber([&] { EncodeScalar(byte, int32_t{256}); }), kErrConversion);
  EXPECT_EQ(ErrorNumber([&] { EncodeScalar(byte, 1.5); }), kErrConversion);
  EXPECT_EQ(ErrorNumber([&] { EncodeScalar(def.columns[3], std::string("x")); }), kErrConversion);
  EXPECT_EQ(ErrorNumber([&] { EncodeScalar(def.columns[11], int32_t{1}); }), kErrConversion);
  try {
    EncodeScalar(def.columns[11], std::string(51, 'x'));
    ADD_FAILURE() << "51 characters in a 50-character field";
  } catch (const Error& e) {
    EXPECT_EQ(e.number(), kErrFieldTooSmall);
    EXPECT_NE(e.description().find("'Name'"), std::string::npos) << e.description();
  }
  EXPECT_NO_THROW(EncodeScalar(def.columns[11], std::string(50, 'x')));
  EXPECT_EQ(ErrorNumber([&] { EncodeScalar(def.columns[13], Bytes(21)); }), kErrFieldTooSmall);
  EXPECT_EQ(ErrorNumber([&] { EncodeScalar(def.columns[10], std::string("abcd")); }),
            kErrFieldTooSmall);

  // A row past 4060 bytes.
  TableDef wide = AllTypes();
  for (auto& c : wide.columns) {
    if (c.type == ColumnType::kText && !c.is_fixed()) c.length = 4000;
  }
  std::vector<Value> values = SampleValues();
  // 76 fixed + 1002 compressed + 2n plain + 3 binary + 12 var table + 2 mask bytes.
  values[11] = std::string(1000, 'y');
  values[12] = std::string(1483, 'z');
  EXPECT_EQ(ErrorNumber([&] { Encode(wide, values); }), kErrRecordTooLarge);
  values[12] = std::string(1482, 'z');
  EXPECT_EQ(Encode(wide, values).size(), 4059u);
}

TEST(RowEncoderTest, TextIsCompressedExactlyWhereAccessCompressesIt) {
  const TableDef def = AllTypes();
  const ColumnDef& compressible = def.columns[11];
  const ColumnDef& plain = def.columns[12];
  EXPECT_EQ(EncodeScalar(compressible, std::string("abc")), (Bytes{0xFF, 0xFE, 'a', 'b', 'c'}));
  EXPECT_EQ(EncodeScalar(compressible, std::string("ab")), (Bytes{'a', 0, 'b', 0}));
  EXPECT_EQ(EncodeScalar(plain, std::string("abc")), (Bytes{'a', 0, 'b', 0, 'c', 0}));
  EXPECT_EQ(EncodeScalar(compressible, std::string("\xC3\xBF\xC3\xBF\xC3\xBF")),
            (Bytes{0xFF, 0xFE, 0xFF, 0xFF, 0xFF}))
      << "U+00FF is still one byte";
  EXPECT_EQ(EncodeScalar(compressible, std::string("ab\xC4\x80")).size(), 6u) << "U+0100";
  EXPECT_EQ(EncodeJetText(compressible, std::u16string(1024, u'm')).size(), 1026u);
  EXPECT_EQ(EncodeJetText(compressible, std::u16string(1025, u'm')).size(), 2050u);
  // Fixed-length text fills its field with spaces, never compressed.
  const ColumnDef& code = def.columns[10];
  EXPECT_EQ(EncodeScalar(code, std::string("a")), (Bytes{'a', 0, ' ', 0, ' ', 0}));
}

// Plain ASCII text is stored without converting it to UTF-16 first: the bytes must be those of
// the converted text, on both sides of the compression limits, with NUL characters (never
// compressed) and other characters inside and after the 8-byte steps of the ASCII check, and
// with text one byte too long for its field.
TEST(RowEncoderTest, AsciiTextIsStoredAsItsUtf16Would) {
  TableDef def = AllTypes();
  ColumnDef wide_compressible = def.columns[11], wide_plain = def.columns[12];
  wide_compressible.length = wide_plain.length = 4000;
  for (const ColumnDef* column :
       {&def.columns[11], &def.columns[12], &wide_compressible, &wide_plain}) {
    for (const std::string& text :
         {std::string(), std::string("ab"), std::string("abc"), std::string("a\0b\0c", 5),
          std::string("\x7F\x01\x7F"), std::string("\x01\x7F\x01\x7F\x01\x7F\x01\x7F\x01"),
          std::string("abcdefg\0hijklmnop", 17),
          std::string("abc\xC3\xA9"
                      "defghijkl"),
          std::string(1024, 'm'), std::string(1025, 'm'), std::string(column->length / 2, 'w')}) {
      if (2 * text.size() > column->length) continue;
      EXPECT_EQ(EncodeScalar(*column, text), EncodeJetText(*column, Utf8ToUtf16(text)))
          << column->name << " \"" << text.substr(0, 8) << "\" " << text.size();
    }
    EXPECT_EQ(ErrorNumber([&] { EncodeScalar(*column, std::string(column->length / 2 + 1, 'w')); }),
              kErrFieldTooSmall);
  }
}

// What Access leaves in a row that no decoder reads, and so no encoder can reproduce: the old
// bytes in the fixed slots of Null and deleted columns (Access updates rows in place and does
// not clear them), and padding between the variable data and its offset table (an in-place
// update of a row that shrank keeps the old length). Cleared and removed here.
Bytes WithoutLeftovers(const TableDef& def, ByteSpan stored,
                       const std::vector<StoredField>& fields) {
  Bytes row(stored.begin(), stored.end());
  std::vector<bool> live(row.size(), false);
  for (size_t k = 0; k < fields.size(); ++k) {
    if (!fields[k].present || !def.columns[k].is_fixed()) continue;
    const size_t at = static_cast<size_t>(fields[k].bytes.data() - stored.data());
    for (size_t i = 0; i < fields[k].bytes.size(); ++i) live[at + i] = true;
  }
  for (size_t i = 2; i < 2 + def.FixedAreaSize() && i < row.size(); ++i) {
    if (!live[i]) row[i] = 0;
  }
  if (def.var_col_count > 0) {
    const size_t mask_bytes = (U16(row.data()) + 7u) / 8u;
    const size_t count_at = row.size() - mask_bytes - 2;
    const size_t eod_at = count_at - 2 * U16(row.data() + count_at) - 2;
    const size_t eod = U16(row.data() + eod_at);
    row.erase(row.begin() + static_cast<ptrdiff_t>(eod),
              row.begin() + static_cast<ptrdiff_t>(eod_at));
  }
  return row;
}

// Re-encoding Access's own rows from their decoded values gives Access's bytes.
TEST(RowEncoderTest, AccessRowsReEncodeToTheBytesAccessStored) {
  REQUIRE_ACCESS_MADE_FIXTURES();
  int rows_checked = 0;
  int rows_with_leftovers = 0;
  std::vector<std::string> differences;
  for (const auto& path : testing_support::ReadableAccessMadeFiles()) {
    auto db = Database::Open(path);
    for (const CatalogEntry& entry : db->catalog()) {
      if (entry.type != kObjectTypeTable) continue;
      Table table = db->OpenTable(entry.name);
      const TableDef& def = table.def();
      for (auto cursor = table.Scan(); cursor.Next();) {
        const ByteSpan stored = cursor.stored();
        const std::vector<StoredField> original = SplitRow(def, stored, cursor.stored_page());
        std::vector<StoredField> fields = original;
        std::vector<Bytes> storage(fields.size());
        std::string field_diffs;
        for (size_t k = 0; k < fields.size(); ++k) {
          const ColumnDef& c = def.columns[k];
          if (!fields[k].present || c.type == ColumnType::kBoolean || c.is_long_value()) continue;
          storage[k] = EncodeScalar(c, DecodeScalar(c, fields[k].bytes, cursor.stored_page()));
          if (storage[k] != Bytes(fields[k].bytes.begin(), fields[k].bytes.end())) {
            field_diffs += " " + c.name;
          }
          fields[k].bytes = storage[k];
        }
        const Bytes row = EncodeRow(def, fields);
        ++rows_checked;
        if (row == Bytes(stored.begin(), stored.end()) && field_diffs.empty()) continue;
        ++rows_with_leftovers;
        if (row != WithoutLeftovers(def, stored, original) || !field_diffs.empty()) {
          differences.push_back(path.substr(path.rfind('/') + 1) + " " + entry.name + " row " +
                                std::to_string(cursor.locator().row) + " of page " +
                                std::to_string(cursor.locator().page) + " fields:" + field_diffs);
        }
      }
    }
  }
  EXPECT_GT(rows_checked, 1000);
  EXPECT_LT(rows_with_leftovers, rows_checked / 50) << "leftovers are the exception";
  std::string all;
  for (const auto& d : differences) all += d + "\n";
  EXPECT_EQ(all, "");
}

}  // namespace
}  // namespace jet
