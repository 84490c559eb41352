// Index keys: byte layouts Access writes, the order they give, and agreement with every key in
// every index of the Access-made files.
#include "jet/index_key.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <sstream>

#include "jet/database.h"
#include "jet/error.h"
#include "jet/index_reader.h"
#include "support/fixtures.h"

namespace jet {
namespace {

ColumnDef Column(ColumnType type, uint16_t number = 0) {
  ColumnDef c;
  c.name = "c" + std::to_string(number);
  c.type = type;
  c.number = number;
  c.sort_lcid = 1033;
  return c;
}

Bytes Key(ColumnType type, const Value& v, bool ascending = true) {
  Bytes out;
  AppendColumnKey(Column(type), v, ascending, out);
  return out;
}

std::string Hex(ByteSpan b) {
  std::ostringstream s;
  for (size_t i = 0; i < b.size(); ++i) {
    static const char* d = "0123456789ABCDEF";
    if (i) s << ' ';
    s << d[b[i] >> 4] << d[b[i] & 15];
  }
  return s.str();
}

TEST(IndexKeyTest, FixedLayoutsAsAccessWritesThem) {
  EXPECT_EQ(Hex(Key(ColumnType::kLong, int32_t{1})), "7F 80 00 00 01");
  EXPECT_EQ(Hex(Key(ColumnType::kLong, int32_t{-1})), "7F 7F FF FF FF");
  EXPECT_EQ(Hex(Key(ColumnType::kLong, int32_t{1}, false)), "80 7F FF FF FE");
  EXPECT_EQ(Hex(Key(ColumnType::kInt, int16_t{0x102})), "7F 81 02");
  EXPECT_EQ(Hex(Key(ColumnType::kByte, uint8_t{5})), "7F 05");
  EXPECT_EQ(Hex(Key(ColumnType::kByte, uint8_t{5}, false)), "80 FA");
  EXPECT_EQ(Hex(Key(ColumnType::kMoney, Currency{10000})), "7F 80 00 00 00 00 00 27 10");
  EXPECT_EQ(Hex(Key(ColumnType::kDouble, 1.0)), "7F BF F0 00 00 00 00 00 00");
  EXPECT_EQ(Hex(Key(ColumnType::kDouble, -1.0)), "7F 40 0F FF FF FF FF FF FF");
  EXPECT_EQ(Hex(Key(ColumnType::kFloat, 1.0f)), "7F BF 80 00 00");
  EXPECT_EQ(Hex(Key(ColumnType::kDateTime, DateTime{40108.0})).substr(0, 11), "7F C0 E3 95");
  // Null: one flag byte, first ascending and last descending.
  EXPECT_EQ(Hex(Key(ColumnType::kLong, Null{})), "00");
  EXPECT_EQ(Hex(Key(ColumnType::kText, Null{}, false)), "FF");
  // Yes/No is never Null; true sorts first ascending.
  EXPECT_EQ(Hex(Key(ColumnType::kBoolean, true)), "7F 00");
  EXPECT_EQ(Hex(Key(ColumnType::kBoolean, false)), "7F FF");
  EXPECT_EQ(Hex(Key(ColumnType::kBoolean, true, false)), "80 FF");
  EXPECT_EQ(Hex(Key(ColumnType::kBoolean, Null{})), "7F FF");
}

TEST(IndexKeyTest, BinaryAndGuidSegments) {
  const Bytes ten = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10};
  EXPECT_EQ(Hex(Key(ColumnType::kBinary, ten)),
            "7F 01 02 03 04 05 06 07 08 09 09 0A 00 00 00 00 00 00 02");
  // Descending flips the data and the final length, but not the 9 between segments.
  EXPECT_EQ(Hex(Key(ColumnType::kBinary, ten, false)),
            "80 FE FD FC FB FA F9 F8 F7 09 F6 F5 FF FF FF FF FF FF FD");
  EXPECT_EQ(Hex(Key(ColumnType::kBinary, Bytes{1, 2, 3, 4, 5, 6, 7, 8})),
            "7F 01 02 03 04 05 06 07 08 08");
  EXPECT_EQ(Hex(Key(ColumnType::kBinary, Bytes{})), "7F");
  // A GUID's key holds it in text order; the file holds the first three fields little-endian.
  Guid g;
  for (int i = 0; i < 16; ++i) g.bytes[i] = static_cast<uint8_t>(i);
  EXPECT_EQ(Hex(Key(ColumnType::kGuid, g)),
            "7F 03 02 01 00 05 04 07 06 09 08 09 0A 0B 0C 0D 0E 0F 08");
}

int Sign(int c) { return (c > 0) - (c < 0); }

// Unsigned comparison of keys must order values as Jet does, both directions.
template <typename T, typename Make>
void ExpectOrdered(ColumnType type, const std::vector<T>& values, Make make) {
  for (bool ascending : {true, false}) {
    for (size_t i = 0; i < values.size(); ++i) {
      for (size_t j = 0; j < values.size(); ++j) {
        const int want = (values[i] > values[j]) - (values[i] < values[j]);
        const int got = Sign(CompareKeys(Key(type, make(values[i]), ascending),
                                         Key(type, make(values[j]), ascending)));
        ASSERT_EQ(got, ascending ? want : -want)
            << ColumnTypeName(type) << " " << values[i] << " vs " << values[j]
            << (ascending ? " asc" : " desc");
      }
    }
  }
}

TEST(IndexKeyTest, KeyOrderFollowsValueOrder) {
  std::mt19937_64 rng(7);
  std::vector<int64_t> ints = {0, 1, -1, 32767, -32768, 255, 256, -256};
  for (int i = 0; i < 20; ++i) ints.push_back(static_cast<int16_t>(rng()));
  ExpectOrdered(ColumnType::kInt, ints, [](int64_t v) { return static_cast<int16_t>(v); });
  std::vector<int64_t> longs = {0, 1, -1, INT32_MAX, INT32_MIN};
  for (int i = 0; i < 20; ++i) longs.push_back(static_cast<int32_t>(rng()));
  ExpectOrdered(ColumnType::kLong, longs, [](int64_t v) { return static_cast<int32_t>(v); });
  std::vector<int64_t> money = {0, 1, -1, INT64_MAX, INT64_MIN};
  for (int i = 0; i < 20; ++i) money.push_back(static_cast<int64_t>(rng()));
  ExpectOrdered(ColumnType::kMoney, money, [](int64_t v) { return Currency{v}; });
  std::vector<double> doubles = {0.0, 1.0, -1.0, 1e-300, -1e-300, 1e300, -1e300, 0.5, -0.5};
  std::uniform_real_distribution<double> dist(-1e6, 1e6);
  for (int i = 0; i < 20; ++i) doubles.push_back(dist(rng));
  ExpectOrdered(ColumnType::kDouble, doubles, [](double v) { return v; });
  ExpectOrdered(ColumnType::kDateTime, doubles, [](double v) { return DateTime{v}; });
  std::vector<float> floats;
  // Tiny doubles round to a float zero, some to -0, whose key (by its bits) sits just below 0.
  for (double d : doubles) {
    if (static_cast<float>(d) != 0.0f || d == 0.0) floats.push_back(static_cast<float>(d));
  }
  ExpectOrdered(ColumnType::kFloat, floats, [](float v) { return v; });
  std::vector<int> bytes = {0, 1, 127, 128, 254, 255};
  ExpectOrdered(ColumnType::kByte, bytes, [](int v) { return static_cast<uint8_t>(v); });
}

Decimal Dec(int64_t v, uint8_t scale = 0) {
  Decimal d;
  d.negative = v < 0;
  d.low = static_cast<uint64_t>(v < 0 ? -v : v);
  d.scale = scale;
  return d;
}

TEST(IndexKeyTest, NumericFollowsJet4LegacyOrder) {
  ColumnDef col = Column(ColumnType::kNumeric);
  col.scale = 2;
  auto key = [&](const Value& v, bool asc) {
    Bytes out;
    AppendColumnKey(col, v, asc, out);
    return out;
  };
  // 1.00 at scale 2: magnitude 100, big-endian, sign byte replaced by FF.
  EXPECT_EQ(Hex(key(Dec(1), true)), "7F FF 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 64");
  // A value at another scale is brought to the column's scale first; 1.005 rounds to 1.01.
  EXPECT_EQ(key(Dec(100, 2), true), key(Dec(1), true));
  EXPECT_EQ(key(Dec(1005, 3), true), key(Dec(101, 2), true));
  EXPECT_EQ(key(int32_t{1}, true), key(Dec(1), true));
  // Ascending keys follow numeric order.
  const std::vector<int64_t> values = {-300, -2, -1, 0, 1, 2, 300};
  for (size_t i = 1; i < values.size(); ++i) {
    EXPECT_LT(CompareKeys(key(Dec(values[i - 1]), true), key(Dec(values[i]), true)), 0)
        << values[i];
  }
  // Descending keeps Jet 4's quirk: negatives still sort before positives, each sign group
  // in descending order.
  EXPECT_LT(CompareKeys(key(Dec(-1), false), key(Dec(-2), false)), 0);
  EXPECT_LT(CompareKeys(key(Dec(-1), false), key(Dec(1), false)), 0);
  EXPECT_LT(CompareKeys(key(Dec(2), false), key(Dec(1), false)), 0);
}

TEST(IndexKeyTest, WholeKeysFollowIndexColumnsAndRowPositions) {
  TableDef def;
  // Column 1 was deleted: row values follow the live columns in number order.
  def.columns = {Column(ColumnType::kLong, 0), Column(ColumnType::kInt, 2),
                 Column(ColumnType::kByte, 3)};
  RealIndexDef index;
  index.columns = {{3, true}, {0, false}};
  const std::vector<Value> row = {int32_t{1}, int16_t{2}, uint8_t{3}};
  EXPECT_EQ(Hex(EncodeIndexKey(index, def, row)), "7F 03 80 7F FF FF FE");
  // Lookup keys: the same bytes, or the leading part for fewer values; other integer types
  // are accepted where they fit.
  EXPECT_EQ(EncodeLookupKey(index, def, {uint8_t{3}, int32_t{1}}), EncodeIndexKey(index, def, row));
  EXPECT_EQ(Hex(EncodeLookupKey(index, def, {int32_t{3}})), "7F 03");
  try {
    EncodeLookupKey(index, def, {int32_t{300}});
    FAIL() << "300 does not fit a BYTE column";
  } catch (const Error& e) {
    EXPECT_EQ(e.number(), 3464);
  }
  EXPECT_THROW(EncodeLookupKey(index, def, {std::string("x")}), Error);
  EXPECT_THROW(EncodeLookupKey(index, def, {uint8_t{1}, int32_t{1}, int32_t{1}}), Error);
  // An index over a column the table does not have is a corrupt definition.
  index.columns = {{1, true}};
  try {
    EncodeIndexKey(index, def, row);
    FAIL() << "column 1 does not exist";
  } catch (const Error& e) {
    EXPECT_EQ(e.number(), kErrCorrupt);
  }
}

// The keys we build for each row equal, byte for byte, the keys Access stored for it, in
// every index of every Access-made file; and each live row has exactly one entry in each index
// (Access files here have no ignore-nulls index that skips rows).
TEST(IndexKeyTest, MatchesEveryKeyAccessWrote) {
  REQUIRE_ACCESS_MADE_FIXTURES();
  size_t indexes_checked = 0, entries_checked = 0;
  for (const std::string& path : testing_support::ReadableAccessMadeFiles()) {
    SCOPED_TRACE(path);
    auto db = Database::Open(path);
    std::vector<std::string> tables;
    for (const CatalogEntry& e : db->catalog()) {
      if (e.type == kObjectTypeTable) tables.push_back(e.name);
    }
    for (const std::string& name : tables) {
      SCOPED_TRACE(name);
      const Table table = db->OpenTable(name);
      std::vector<std::pair<RowLocator, std::vector<Value>>> live;
      for (Table::Cursor c = table.Scan(); c.Next();) live.push_back({c.locator(), c.values()});
      for (const RealIndexDef& index : table.def().real_indexes) {
        SCOPED_TRACE("real index " + std::to_string(index.number));
        IndexReader reader(db->file(), index);
        EXPECT_FALSE(reader.LeafChain().empty());
        std::vector<RowLocator> seen;
        for (IndexReader::Cursor c = reader.Begin(); !c.AtEnd(); c.Next()) {
          const std::vector<Value> row = table.ReadRow(c.locator());
          const Bytes ours = EncodeIndexKey(index, table.def(), row);
          EXPECT_EQ(Hex(ours), Hex(c.key()))
              << "row at page " << c.locator().page << " slot " << int(c.locator().row);
          seen.push_back(c.locator());
          ++entries_checked;
        }
        // An ignore-nulls index leaves out the rows whose key is Null in every column.
        std::vector<Value> nulls(index.columns.size(), Null{});
        const Bytes all_null = EncodeLookupKey(index, table.def(), nulls);
        std::vector<RowLocator> want;
        for (const auto& [where, values] : live) {
          if (!index.ignores_nulls() || EncodeIndexKey(index, table.def(), values) != all_null) {
            want.push_back(where);
          }
        }
        std::sort(seen.begin(), seen.end());
        std::sort(want.begin(), want.end());
        EXPECT_EQ(seen, want);
        ++indexes_checked;
      }
    }
  }
  EXPECT_GT(indexes_checked, 50u);
  EXPECT_GT(entries_checked, 500u);
}

}  // namespace
}  // namespace jet
