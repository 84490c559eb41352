// Index reader: walks and searches of multi-level trees with tails and prefix compression
// (built here, since the Access-made files hold only single-leaf indexes), refusal of corrupt
// pages, and lookups on the Access-made files agreeing with table scans.
#include "jet/index_reader.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <map>
#include <random>

#include "jet/create.h"
#include "jet/database.h"
#include "jet/error.h"
#include "jet/index_key.h"
#include "jet/page_file.h"
#include "jet/table.h"
#include "jet/table_writer.h"
#include "support/fixtures.h"

namespace jet {
namespace {

struct Entry {
  Bytes key;
  RowLocator row;
  friend bool operator<(const Entry& a, const Entry& b) {
    const int c = CompareKeys(a.key, b.key);
    return c != 0 ? c < 0 : a.row < b.row;
  }
};

// A file of index pages, laid out the way Jet lays them out.
class IndexFile {
 public:
  explicit IndexFile(size_t pages) : bytes_(pages * kPageSize) {}

  uint8_t* page(uint32_t n) { return bytes_.data() + n * kPageSize; }

  // Writes an index page. Entries are whole (key, row pointer, child); with `compress` the
  // common prefix of all entries is stored once, in the first entry.
  void WritePage(uint32_t n, bool leaf, const std::vector<Bytes>& entries, uint32_t tail = 0,
                 bool compress = true) {
    uint8_t* p = page(n);
    std::fill(p, p + kPageSize, 0);
    p[0] = leaf ? kIndexLeafPage : kIndexNodePage;
    p[1] = 0x01;
    PutU32(p + 20, tail);
    size_t prefix = 0;
    if (compress && entries.size() > 1) {
      prefix = entries[0].size();
      for (const Bytes& e : entries) {
        size_t i = 0;
        while (i < prefix && i < e.size() && e[i] == entries[0][i]) ++i;
        prefix = i;
      }
    }
    PutU16(p + 24, static_cast<uint16_t>(prefix));
    size_t pos = 0;
    for (size_t i = 0; i < entries.size(); ++i) {
      const size_t skip = i == 0 ? 0 : prefix;
      std::copy(entries[i].begin() + skip, entries[i].end(), p + 480 + pos);
      pos += entries[i].size() - skip;
      p[27 + pos / 8] |= static_cast<uint8_t>(1u << (pos % 8));
    }
    PutU16(p + 2, static_cast<uint16_t>(kPageSize - 480 - pos));
  }

  std::string Save() {
    const std::string path = testing_support::TempDir() + "/index.mdb";
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes_.data()), static_cast<long>(bytes_.size()));
    return path;
  }

 private:
  Bytes bytes_;
};

Bytes EntryBytes(const Bytes& key, RowLocator row, uint32_t child = 0) {
  Bytes out = key;
  out.push_back(static_cast<uint8_t>(row.page >> 16));
  out.push_back(static_cast<uint8_t>(row.page >> 8));
  out.push_back(static_cast<uint8_t>(row.page));
  out.push_back(row.row);
  if (child != 0) {
    for (int s = 24; s >= 0; s -= 8) out.push_back(static_cast<uint8_t>(child >> s));
  }
  return out;
}

// Builds a tree over sorted entries: leaves of random fill, then node levels whose last child
// is, at random, a tail (no entry) or an ordinary entry. Returns the root page. Leaves are
// stored without prefix compression unless `compress_leaves`, as Access may store them.
uint32_t BuildTree(IndexFile& file, const std::vector<Entry>& sorted, std::mt19937& rng,
                   uint32_t& next_page, bool compress_leaves = true) {
  struct Child {
    uint32_t page;
    Entry last;
  };
  std::vector<Child> level;
  for (size_t i = 0; i < sorted.size();) {
    const size_t n = std::min<size_t>(sorted.size() - i, 1 + rng() % 12);
    std::vector<Bytes> entries;
    for (size_t j = i; j < i + n; ++j) entries.push_back(EntryBytes(sorted[j].key, sorted[j].row));
    const uint32_t page = next_page++;
    file.WritePage(page, true, entries, 0, compress_leaves);
    level.push_back({page, sorted[i + n - 1]});
    i += n;
  }
  // Leaves link to their neighbours across the whole level.
  for (size_t i = 0; i < level.size(); ++i) {
    PutU32(file.page(level[i].page) + 12, i == 0 ? 0 : level[i - 1].page);
    PutU32(file.page(level[i].page) + 16, i + 1 == level.size() ? 0 : level[i + 1].page);
  }
  while (level.size() > 1) {
    std::vector<Child> parents;
    for (size_t i = 0; i < level.size();) {
      const size_t n = std::min<size_t>(level.size() - i, 2 + rng() % 4);
      const bool tail = rng() % 2 == 0;
      std::vector<Bytes> entries;
      for (size_t j = i; j < i + n - (tail ? 1 : 0); ++j) {
        entries.push_back(EntryBytes(level[j].last.key, level[j].last.row, level[j].page));
      }
      const uint32_t page = next_page++;
      file.WritePage(page, false, entries, tail ? level[i + n - 1].page : 0);
      parents.push_back({page, level[i + n - 1].last});
      i += n;
    }
    level = std::move(parents);
  }
  return level.front().page;
}

std::vector<RowLocator> Rows(const std::vector<Entry>& entries) {
  std::vector<RowLocator> out;
  for (const Entry& e : entries) out.push_back(e.row);
  return out;
}

TEST(IndexReaderTest, WalksAndSearchesMultiLevelTrees) {
  std::mt19937 rng(11);
  for (int round = 0; round < 6; ++round) {
    SCOPED_TRACE("round " + std::to_string(round));
    const bool compress_leaves = round % 3 != 2;
    // Keys of 1..4 bytes over a small alphabet: many duplicates, keys that are prefixes of
    // others, and long shared prefixes for the page compression.
    std::vector<Entry> entries;
    const size_t count = 50 + rng() % 400;
    for (size_t i = 0; i < count; ++i) {
      Bytes key = {0x7F};
      const size_t size = 1 + rng() % 4;
      for (size_t j = 0; j < size; ++j) key.push_back(static_cast<uint8_t>(0x41 + rng() % 3));
      entries.push_back(
          {key, {static_cast<uint32_t>(0x10000 + i / 7), static_cast<uint8_t>(i % 7)}});
    }
    std::sort(entries.begin(), entries.end());
    IndexFile file(count + 8);
    uint32_t next_page = 1;
    const uint32_t root = BuildTree(file, entries, rng, next_page, compress_leaves);
    PageFile pages(file.Save());
    IndexReader reader(pages, root);

    // The leaves' sibling links chain them in the tree's order.
    std::vector<uint32_t> leaves;
    for (IndexReader::Cursor c = reader.Begin(); !c.AtEnd(); c.Next()) {
      if (leaves.empty() || leaves.back() != c.page()) leaves.push_back(c.page());
    }
    EXPECT_EQ(reader.LeafChain(), leaves);

    std::vector<IndexEntry> all = reader.All();
    ASSERT_EQ(all.size(), entries.size());
    for (size_t i = 0; i < all.size(); ++i) {
      ASSERT_EQ(all[i].key, entries[i].key) << i;
      ASSERT_EQ(all[i].row, entries[i].row) << i;
    }

    for (int probe = 0; probe < 200; ++probe) {
      Bytes key = {0x7F};
      const size_t size = rng() % 5;
      for (size_t j = 0; j < size; ++j) key.push_back(static_cast<uint8_t>(0x40 + rng() % 5));
      std::vector<Entry> equal, prefixed;
      for (const Entry& e : entries) {
        if (e.key == key) equal.push_back(e);
        if (StartsWith(e.key, key)) prefixed.push_back(e);
      }
      EXPECT_EQ(reader.FindEqual(key), Rows(equal));
      EXPECT_EQ(reader.FindPrefix(key), Rows(prefixed));
      const auto first = std::find_if(entries.begin(), entries.end(),
                                      [&](const Entry& e) { return CompareKeys(e.key, key) >= 0; });
      IndexReader::Cursor c = reader.FindFirst(key);
      if (first == entries.end()) {
        EXPECT_TRUE(c.AtEnd());
      } else {
        ASSERT_FALSE(c.AtEnd());
        EXPECT_EQ(c.locator(), first->row);
      }
      // [key, key + 0x42): a range whose end falls inside runs of equal prefixes.
      Bytes to = key;
      to.push_back(0x42);
      std::vector<Entry> ranged;
      for (const Entry& e : entries) {
        if (CompareKeys(e.key, key) >= 0 && CompareKeys(e.key, to) < 0) ranged.push_back(e);
      }
      std::vector<RowLocator> got;
      for (const IndexEntry& e : reader.Range(key, to)) got.push_back(e.row);
      EXPECT_EQ(got, Rows(ranged));
    }
  }
}

// A reader that serves a long task (a query per row) must not keep every page it ever decoded:
// its cache starts again at the next search once full, and the answers stay the same.
TEST(IndexReaderTest, AReaderServingManySearchesKeepsItsCacheBounded) {
  auto db = Database::Open(
      std::make_unique<PageFile>("bounded.mdb", CreateDatabaseImage(), OpenMode::kReadWrite));
  TableDesign design;
  design.name = "Wide";
  design.columns = {{.name = "Id", .type = ColumnType::kLong},
                    {.name = "Name", .type = ColumnType::kText, .size = 200}};
  design.indexes = {{.name = "Name", .columns = {{"Name"}}}};
  CreateTable(*db, design);
  TableWriter writer(*db, "Wide");
  std::mt19937 random(3);
  constexpr int kRows = 30000;  // long random keys: some twenty a leaf, well over 512 leaves
  for (int i = 0; i < kRows; ++i) {
    std::string name(150, ' ');
    for (char& c : name) c = static_cast<char>('a' + random() % 26);
    writer.Insert({i, name});
  }
  const RealIndexDef& index = db->OpenTable("Wide").def().real_indexes.at(0);
  IndexReader reader(db->file(), index);
  const std::vector<IndexEntry> all = reader.All();
  ASSERT_EQ(all.size(), static_cast<size_t>(kRows));
  EXPECT_GT(reader.cached_pages(), IndexReader::kMaxCachedPages);
  const IndexEntry& middle = all[kRows / 2];
  EXPECT_EQ(reader.FindEqual(middle.key), std::vector<RowLocator>{middle.row});
  EXPECT_LT(reader.cached_pages(), 8u) << "the full cache was not started again";
  EXPECT_EQ(reader.All(), all);
}

TEST(IndexReaderTest, EmptyIndexAndTailOnlyNode) {
  IndexFile file(4);
  file.WritePage(1, true, {});
  // A node whose only child is its tail, as Access leaves it after appending.
  file.WritePage(2, false, {}, 3);
  file.WritePage(3, true, {EntryBytes({0x7F, 0x01}, {9, 1}), EntryBytes({0x7F, 0x02}, {9, 2})});
  PageFile pages(file.Save());
  IndexReader empty(pages, 1);
  EXPECT_TRUE(empty.Begin().AtEnd());
  EXPECT_TRUE(empty.FindFirst(Bytes{0x7F}).AtEnd());
  IndexReader tail(pages, 2);
  EXPECT_EQ(tail.All().size(), 2u);
  EXPECT_EQ(tail.FindEqual(Bytes{0x7F, 0x02}), (std::vector<RowLocator>{{9, 2}}));
  EXPECT_TRUE(tail.FindFirst(Bytes{0x7F, 0x03}).AtEnd());
}

// Runs a full walk and returns the corrupt-file error it raised.
Error WalkError(IndexFile& file, uint32_t root) {
  try {
    PageFile pages(file.Save());
    IndexReader reader(pages, root);
    reader.All();
    reader.FindFirst(Bytes{0x7F, 0x05});
  } catch (const Error& e) {
    return e;
  }
  return Error(0, "no error");
}

void ExpectCorruptAt(IndexFile& file, uint32_t root, uint32_t page, const std::string& what) {
  const Error e = WalkError(file, root);
  EXPECT_EQ(e.number(), kErrCorrupt) << what << ": " << e.description();
  EXPECT_NE(e.description().find("(page " + std::to_string(page) + ")"), std::string::npos)
      << what << ": " << e.description();
}

TEST(IndexReaderTest, RefusesCorruptPagesNamingThem) {
  const Bytes ok_leaf = EntryBytes({0x7F, 0x01}, {9, 1});
  {
    IndexFile file(3);
    file.WritePage(1, true, {ok_leaf});
    file.page(1)[0] = 0x01;  // a data page where an index page belongs
    ExpectCorruptAt(file, 1, 1, "page type");
  }
  {
    IndexFile file(3);
    file.WritePage(1, true, {ok_leaf});
    file.page(1)[27 + 452] = 0x80;  // an entry ending past the page
    ExpectCorruptAt(file, 1, 1, "mask past the page");
  }
  {
    IndexFile file(3);
    file.WritePage(1, true, {{0x7F, 0x01, 0x02}});  // too short for its row pointer
    ExpectCorruptAt(file, 1, 1, "short entry");
  }
  {
    IndexFile file(3);
    file.WritePage(1, true, {ok_leaf, EntryBytes({0x7F, 0x00}, {9, 2})});
    ExpectCorruptAt(file, 1, 1, "keys out of order");
  }
  {
    IndexFile file(3);
    file.WritePage(1, true, {ok_leaf, EntryBytes({0x7F, 0x02}, {9, 2})});
    PutU16(file.page(1) + 24, 7);  // a shared prefix longer than the first entry
    ExpectCorruptAt(file, 1, 1, "prefix");
  }
  {
    IndexFile file(3);
    file.WritePage(1, false, {EntryBytes({0x7F, 0x01}, {9, 1}, 77)});  // child beyond the file
    ExpectCorruptAt(file, 1, 1, "child outside the file");
    file.WritePage(1, false, {}, 99);  // tail beyond the file
    ExpectCorruptAt(file, 1, 1, "tail outside the file");
  }
  {
    IndexFile file(4);
    // Page 2 lists page 1, its own parent, as its tail.
    file.WritePage(1, false, {EntryBytes({0x7F, 0x01}, {9, 1}, 2)});
    file.WritePage(2, false, {}, 1);
    ExpectCorruptAt(file, 1, 1, "loop");
  }
  {
    IndexFile file(3);
    file.WritePage(1, true, {ok_leaf});
    PutU32(file.page(1) + 16, 1);  // a leaf that names itself as the next leaf
    PageFile pages(file.Save());
    IndexReader reader(pages, 1);
    EXPECT_EQ(reader.All().size(), 1u);  // walks go by the tree, not the links
    try {
      reader.LeafChain();
      ADD_FAILURE() << "a leaf chain loop must be refused";
    } catch (const Error& e) {
      EXPECT_EQ(e.number(), kErrCorrupt);
    }
  }
  {
    // Each node lists the next one twice: a walk would double at every level. It must stop
    // once it has entered more pages than the file has.
    const uint32_t levels = 30;
    IndexFile file(levels + 2);
    for (uint32_t n = 1; n < levels; ++n) {
      file.WritePage(
          n, false,
          {EntryBytes({0x7F, 0x01}, {9, 1}, n + 1), EntryBytes({0x7F, 0x01}, {9, 1}, n + 1)}, 0,
          false);
    }
    file.WritePage(levels, true, {ok_leaf});
    const Error e = WalkError(file, 1);
    EXPECT_EQ(e.number(), kErrCorrupt) << e.description();
  }
}

// Random bytes in index pages: every walk ends, either with entries or with a corrupt-file
// error, never with a read outside a page (the sanitizer build checks that).
TEST(IndexReaderTest, SurvivesRandomPages) {
  std::mt19937 rng(3);
  for (int round = 0; round < 300; ++round) {
    IndexFile file(6);
    for (uint32_t n = 1; n < 6; ++n) {
      uint8_t* p = file.page(n);
      for (size_t i = 0; i < kPageSize; ++i) p[i] = static_cast<uint8_t>(rng());
      p[0] = rng() % 2 ? kIndexLeafPage : kIndexNodePage;
      // Sparse masks and small links and prefixes, so that some pages decode.
      for (size_t i = 27; i < 480; ++i) p[i] = rng() % 8 == 0 ? p[i] & 0x11 : 0;
      PutU32(p + 20, rng() % 8);
      PutU16(p + 24, static_cast<uint16_t>(rng() % 4));
      for (size_t i = 480; i + 8 <= kPageSize; i += 8)
        p[i + rng() % 8] = static_cast<uint8_t>(rng() % 6);
    }
    PageFile pages(file.Save());
    IndexReader reader(pages, 1);
    try {
      reader.All();
      reader.FindFirst(Bytes{0x7F, 0x01});
      reader.LeafChain();
    } catch (const Error& e) {
      ASSERT_EQ(e.number(), kErrCorrupt) << e.description();
    }
  }
}

// Lookups through every index of the Access-made files find the same rows as a scan that
// compares keys, for keys taken from the rows and for keys no row has.
TEST(IndexReaderTest, LookupsAgreeWithScansOnAccessFiles) {
  REQUIRE_ACCESS_MADE_FIXTURES();
  std::mt19937 rng(5);
  size_t lookups = 0;
  for (const std::string& path : testing_support::ReadableAccessMadeFiles()) {
    SCOPED_TRACE(path);
    auto db = Database::Open(path);
    for (const CatalogEntry& entry : db->catalog()) {
      if (entry.type != kObjectTypeTable) continue;
      SCOPED_TRACE(entry.name);
      const Table table = db->OpenTable(entry.name);
      std::vector<std::pair<RowLocator, std::vector<Value>>> rows;
      for (Table::Cursor c = table.Scan(); c.Next();) rows.push_back({c.locator(), c.values()});
      for (const RealIndexDef& index : table.def().real_indexes) {
        IndexReader reader(db->file(), index);
        // What a scan finds: each row with its key, less the rows an ignore-nulls index
        // leaves out.
        const Bytes all_null =
            EncodeLookupKey(index, table.def(), std::vector<Value>(index.columns.size(), Null{}));
        std::vector<std::pair<Bytes, RowLocator>> keyed;
        for (const auto& [where, values] : rows) {
          Bytes key = EncodeIndexKey(index, table.def(), values);
          if (index.ignores_nulls() && key == all_null) continue;
          keyed.push_back({std::move(key), where});
        }
        std::vector<Bytes> probes;
        for (int i = 0; i < 8 && !keyed.empty(); ++i) {
          probes.push_back(keyed[rng() % keyed.size()].first);
        }
        probes.push_back(Bytes{0x7F, 0xFF, 0xFF});  // past every key
        probes.push_back(Bytes{0x00, 0x00});        // before most keys
        for (const Bytes& key : probes) {
          std::vector<RowLocator> want;
          for (const auto& [k, where] : keyed) {
            if (k == key) want.push_back(where);
          }
          std::vector<RowLocator> got = reader.FindEqual(key);
          std::sort(want.begin(), want.end());
          std::sort(got.begin(), got.end());
          EXPECT_EQ(got, want);
          ++lookups;
        }
        // The first column alone: a prefix scan finds every row that shares it.
        if (index.columns.size() > 1 && !rows.empty()) {
          const auto& [where, values] = rows[rng() % rows.size()];
          const ColumnDef* column = table.def().ColumnByNumber(index.columns[0].column_number);
          ASSERT_NE(column, nullptr);
          const size_t pos = static_cast<size_t>(column - table.def().columns.data());
          const Bytes prefix = EncodeLookupKey(index, table.def(), {values[pos]});
          std::vector<RowLocator> want;
          for (const auto& [k, w] : keyed) {
            if (StartsWith(k, prefix)) want.push_back(w);
          }
          std::vector<RowLocator> got = reader.FindPrefix(prefix);
          std::sort(want.begin(), want.end());
          std::sort(got.begin(), got.end());
          EXPECT_EQ(got, want);
          EXPECT_NE(std::find(got.begin(), got.end(), where), got.end());
        }
      }
    }
  }
  EXPECT_GT(lookups, 100u);
}

}  // namespace
}  // namespace jet
