// Index leaves stay full whatever order rows arrive in: a run of inserts in key order (up or
// down, at the end of the index or into its middle) fills each leaf before it starts the
// next, as Access fills them, and no order leaves leaves half empty on average.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <random>

#include "jet/create.h"
#include "jet/database.h"
#include "jet/index_page_format.h"
#include "jet/index_reader.h"
#include "jet/index_writer.h"
#include "jet/table_writer.h"
#include "jet/usage_map.h"
#include "support/fixtures.h"

namespace jet {
namespace {

using index_page::kEntryCapacity;

std::string Name(const char* prefix, int i) {
  char text[64];
  std::snprintf(text, sizeof text, "%s customer %05d", prefix, i);
  return text;
}

struct Fill {
  size_t entries = 0;
  size_t leaves = 0;
  size_t pages = 0;    // the index's pages, nodes included
  size_t data = 0;     // bytes of entry data on the leaves
  double least = 1.0;  // the emptiest leaf's fill, the first and last left out
};

// Inserts `names` in the given order into a fresh table's text index and measures its leaves.
Fill InsertInOrder(const std::vector<std::string>& names) {
  const std::string path = testing_support::TempDir() + "/fill.mdb";
  CreateDatabase(path);
  auto db = Database::Open(path, OpenMode::kReadWrite);
  TableDesign t{"T", {{"Name", ColumnType::kText, 100}}, {{"ByName", {{"Name"}}}}};
  CreateTable(*db, t);
  {
    TableWriter w(*db, "T");
    for (const std::string& name : names) w.Insert({name});
  }
  const TableDef& def = db->TableDefAt(db->FindTable("T")->tdef_page());
  const RealIndexDef& index = def.real_indexes.at(0);
  IndexReader reader(db->file(), index);
  Fill fill;
  const std::vector<uint32_t> leaves = reader.LeafChain();
  fill.leaves = leaves.size();
  fill.pages = UsageMap::Read(db->file(), index.usage_map).SetPages().size();
  for (size_t i = 0; i < leaves.size(); ++i) {
    const IndexPage& page = reader.Page(leaves[i]);
    fill.entries += page.entries.size();
    const size_t size = IndexPageDataSize(page);
    fill.data += size;
    if (i > 0 && i + 1 < leaves.size()) {
      fill.least = std::min(fill.least, static_cast<double>(size) / kEntryCapacity);
    }
  }
  return fill;
}

// Leaves a run of inserts in key order leaves: all but the ends, where the run began and
// where it stopped, nearly full.
void ExpectFull(const Fill& fill, size_t entries) {
  EXPECT_EQ(fill.entries, entries);
  EXPECT_GE(fill.least, 0.9) << fill.leaves << " leaves";
  EXPECT_LE(fill.leaves, fill.data / kEntryCapacity + 2);
}

constexpr int kRows = 3000;

TEST(IndexFillTest, RunsInKeyOrderFillEveryLeaf) {
  std::vector<std::string> ascending;
  for (int i = 0; i < kRows; ++i) ascending.push_back(Name("K", i));
  std::vector<std::string> descending(ascending.rbegin(), ascending.rend());
  {
    SCOPED_TRACE("ascending");
    ExpectFull(InsertInOrder(ascending), kRows);
  }
  {
    SCOPED_TRACE("descending");
    ExpectFull(InsertInOrder(descending), kRows);
  }
  // Into the middle: the index holds keys before and after the run.
  for (bool up : {true, false}) {
    SCOPED_TRACE(up ? "ascending into the middle" : "descending into the middle");
    std::vector<std::string> names;
    for (int i = 0; i < kRows / 3; ++i) names.push_back(Name("A", i));
    for (int i = 0; i < kRows / 3; ++i) names.push_back(Name("Z", i));
    for (int i = 0; i < kRows / 3; ++i) names.push_back(Name("M", up ? i : kRows / 3 - 1 - i));
    const Fill fill = InsertInOrder(names);
    EXPECT_EQ(fill.entries, names.size());
    // The run's own leaves are full; where it meets the others, two leaves may be part full.
    EXPECT_LE(fill.leaves, fill.data / kEntryCapacity + 3);
  }
}

TEST(IndexFillTest, EqualKeysBeforeLongerKeysAndRandomOrderKeepLeavesFull) {
  {
    // The order of an on-site export: a run of one name, then a run of a longer one that
    // sorts before it.
    SCOPED_TRACE("equal keys before longer keys");
    std::vector<std::string> names(138, "M\xC3\xBCller & S\xC3\xB6hne GmbH");
    names.insert(names.end(), 229, "Acme Process Controls Ltd");
    ExpectFull(InsertInOrder(names), names.size());
  }
  {
    SCOPED_TRACE("random");
    std::vector<std::string> names;
    for (int i = 0; i < kRows; ++i) names.push_back(Name("K", i));
    std::shuffle(names.begin(), names.end(), std::mt19937(7));
    const Fill fill = InsertInOrder(names);
    EXPECT_EQ(fill.entries, names.size());
    // Splits in the middle leave leaves half full at worst, about two thirds on average.
    EXPECT_GE(fill.least, 0.45);
    EXPECT_LE(fill.leaves * kEntryCapacity, fill.data * 2);
  }
}

}  // namespace
}  // namespace jet
