// Index writer: the page encoder against Access's own index pages, and trees grown and shrunk by
// many inserts and removes on copies of Access's files, checked page by page against the
// format's invariants (mask, free space, prefix, links, owner, node entries, tails, usage map)
// and against a model of the entries.
#include "jet/index_writer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <random>
#include <set>

#include "jet/consistency_check.h"
#include "jet/database.h"
#include "jet/error.h"
#include "jet/page_allocator.h"
#include "jet/page_file.h"
#include "jet/usage_map.h"
#include "support/fixtures.h"

namespace jet {
namespace {

std::unique_ptr<Database> OpenCopy(const std::string& fixture) {
  return Database::Open(std::make_unique<PageFile>(
      fixture, testing_support::ReadFileBytes(testing_support::AccessMadeFile(fixture)),
      OpenMode::kReadWrite));
}

std::string Joined(const std::vector<std::string>& lines) {
  std::string out;
  for (const auto& l : lines) out += l + "\n";
  return out;
}

struct Entry {
  Bytes key;
  RowLocator row;
  friend bool operator<(const Entry& a, const Entry& b) {
    const int c = CompareKeys(a.key, b.key);
    return c != 0 ? c < 0 : a.row < b.row;
  }
  friend bool operator==(const Entry& a, const Entry& b) = default;
};

std::vector<Entry> ToEntries(const std::vector<IndexEntry>& found) {
  std::vector<Entry> out;
  for (const auto& e : found) out.push_back({e.key, e.row});
  return out;
}

// What a walk of a tree found, for the tests' own expectations.
struct TreeShape {
  std::vector<Entry> entries;
  size_t depth = 0;                           // levels, 1 for a lone root leaf
  std::vector<std::vector<uint32_t>> levels;  // pages of each level in key order
  std::vector<size_t> leaf_data;              // entry bytes on each leaf, in key order
};

// Walks a tree from the root and reports every broken rule as a test failure. Reads the raw
// pages itself for the encoding rules, so that the encoder is not checked against itself.
class TreeWalker {
 public:
  TreeWalker(PageFile& file, const TableDef& def, const RealIndexDef& index)
      : file_(file), def_(def), index_(index) {}

  TreeShape Walk() {
    shape_ = {};
    Visit(index_.root_page, 0);
    for (const auto& level : shape_.levels) CheckLinks(level);
    std::set<uint32_t> tree_pages;
    for (const auto& level : shape_.levels) tree_pages.insert(level.begin(), level.end());
    const std::vector<uint32_t> mapped = UsageMap::Read(file_, index_.usage_map).SetPages();
    EXPECT_EQ(std::set<uint32_t>(mapped.begin(), mapped.end()), tree_pages)
        << "the usage map must list exactly the tree's pages";
    for (size_t i = 1; i < shape_.entries.size(); ++i) {
      EXPECT_TRUE(shape_.entries[i - 1] < shape_.entries[i]) << "entries out of order at " << i;
    }
    return std::move(shape_);
  }

 private:
  // Returns the last entry of the subtree.
  Entry Visit(uint32_t number, size_t depth) {
    const uint8_t* p = file_.Page(number);
    const bool root = number == index_.root_page;
    if (shape_.levels.size() <= depth) shape_.levels.resize(depth + 1);
    shape_.levels[depth].push_back(number);
    EXPECT_TRUE(p[0] == kIndexLeafPage || p[0] == kIndexNodePage) << "page " << number;
    EXPECT_EQ(p[1], 0x01) << "page " << number;
    EXPECT_EQ(U32(p + 4), def_.page) << "owner of page " << number;

    // Raw entries from the mask, prefix compression undone by hand.
    std::vector<size_t> ends;
    for (size_t bit = 0; bit < 453 * 8; ++bit) {
      if ((p[27 + bit / 8] >> (bit % 8)) & 1) ends.push_back(bit);
    }
    const size_t used = ends.empty() ? 0 : ends.back();
    EXPECT_LE(used, 3616u) << "page " << number;
    EXPECT_EQ(U16(p + 2), 4096 - 480 - used) << "free space of page " << number;
    for (size_t i = 480 + used; i < 4096; ++i) {
      if (p[i] != 0) {
        ADD_FAILURE() << "page " << number << " has stray bytes after its last entry";
        break;
      }
    }
    const size_t prefix = U16(p + 24);
    std::vector<Bytes> whole;
    size_t start = 0;
    for (size_t end : ends) {
      Bytes e;
      if (!whole.empty()) e.assign(p + 480, p + 480 + prefix);
      e.insert(e.end(), p + 480 + start, p + 480 + end);
      whole.push_back(std::move(e));
      start = end;
    }
    size_t expected_prefix = 0;
    if (whole.size() >= 2) {
      expected_prefix = whole[0].size();
      for (const Bytes& e : whole) {
        size_t i = 0;
        while (i < expected_prefix && i < e.size() && e[i] == whole[0][i]) ++i;
        expected_prefix = i;
      }
    }
    EXPECT_EQ(prefix, expected_prefix) << "shared prefix of page " << number;

    const IndexPage page = DecodeIndexPage(number, p, file_.page_count());
    if (!root) {
      EXPECT_FALSE(page.entries.empty() && page.tail == 0) << "empty page " << number;
    }
    if (page.leaf) {
      EXPECT_EQ(U32(p + 20), 0u) << "leaf " << number << " with a tail";
      if (shape_.depth == 0) shape_.depth = depth + 1;
      EXPECT_EQ(shape_.depth, depth + 1) << "leaf " << number << " on another level";
      shape_.leaf_data.push_back(used);
      for (size_t i = 0; i < page.entries.size(); ++i) {
        const ByteSpan k = page.Key(i);
        shape_.entries.push_back({Bytes(k.begin(), k.end()), page.entries[i].row});
      }
      if (page.entries.empty()) return {};
      const ByteSpan k = page.Key(page.entries.size() - 1);
      return {Bytes(k.begin(), k.end()), page.entries.back().row};
    }
    const size_t children = page.entries.size() + (page.tail != 0 ? 1 : 0);
    EXPECT_GE(children, root ? 2u : 1u) << "node " << number;
    // Our shape: a node with two or more children keeps the last one as its tail.
    if (children >= 2) {
      EXPECT_NE(page.tail, 0u) << "node " << number << " without a tail";
    }
    Entry last;
    for (size_t i = 0; i < page.entries.size(); ++i) {
      last = Visit(page.entries[i].child, depth + 1);
      const ByteSpan k = page.Key(i);
      EXPECT_TRUE(last == (Entry{Bytes(k.begin(), k.end()), page.entries[i].row}))
          << "entry " << i << " of node " << number << " is not its child's last entry";
    }
    if (page.tail != 0) last = Visit(page.tail, depth + 1);
    return last;
  }

  void CheckLinks(const std::vector<uint32_t>& level) {
    for (size_t i = 0; i < level.size(); ++i) {
      const uint8_t* p = file_.Page(level[i]);
      EXPECT_EQ(U32(p + 12), i == 0 ? 0 : level[i - 1]) << "prev of page " << level[i];
      EXPECT_EQ(U32(p + 16), i + 1 == level.size() ? 0 : level[i + 1])
          << "next of page " << level[i];
    }
  }

  PageFile& file_;
  const TableDef& def_;
  const RealIndexDef& index_;
  TreeShape shape_;
};

// --- The encoder ---

bool SamePage(const IndexPage& a, const IndexPage& b) {
  if (a.leaf != b.leaf || a.prev != b.prev || a.next != b.next || a.tail != b.tail ||
      a.tdef_page != b.tdef_page || a.keys != b.keys || a.entries.size() != b.entries.size()) {
    return false;
  }
  for (size_t i = 0; i < a.entries.size(); ++i) {
    if (a.entries[i].row != b.entries[i].row || a.entries[i].child != b.entries[i].child) {
      return false;
    }
  }
  return true;
}

// Every index page Access wrote survives encoding: the same header, entries and keys come back,
// bytes of unknown meaning are kept, and pages of one entry or none come out byte for byte.
// (Access leaves the shared prefix at 0 on these small pages; we always compress, which Jet
// reads alike, so larger pages differ in their prefix, mask and free space only.)
TEST(IndexPageEncoderTest, KeepsAccessPages) {
  REQUIRE_ACCESS_MADE_FIXTURES();
  size_t pages = 0, identical = 0;
  for (const std::string& path : testing_support::ReadableAccessMadeFiles()) {
    const Bytes image = testing_support::ReadFileBytes(path);
    const uint32_t count = static_cast<uint32_t>(image.size() / kPageSize);
    for (uint32_t n = 1; n < count; ++n) {
      const uint8_t* original = image.data() + static_cast<size_t>(n) * kPageSize;
      if ((original[0] != kIndexLeafPage && original[0] != kIndexNodePage) || original[1] != 1) {
        continue;
      }
      const IndexPage decoded = DecodeIndexPage(n, original, count);
      Bytes encoded(original, original + kPageSize);
      EncodeIndexPage(decoded, encoded.data());
      EXPECT_TRUE(SamePage(DecodeIndexPage(n, encoded.data(), count), decoded))
          << path << " page " << n;
      EXPECT_TRUE(std::equal(original + 8, original + 12, encoded.data() + 8));
      EXPECT_EQ(original[26], encoded[26]);
      EXPECT_LE(U16(original + 2), U16(encoded.data() + 2)) << path << " page " << n;
      if (decoded.entries.size() <= 1) {
        EXPECT_TRUE(std::equal(encoded.begin(), encoded.end(), original)) << path << " page " << n;
        ++identical;
      }
      ++pages;
    }
  }
  EXPECT_GT(pages, 100u);
  EXPECT_GT(identical, 50u);
}

// Pages of our own making decode to what was encoded, prefix-sharing and node entries included,
// and a page one byte too full is refused.
TEST(IndexPageEncoderTest, RoundTripsLeavesAndNodes) {
  std::mt19937 rng(7);
  for (int round = 0; round < 200; ++round) {
    IndexPage page;
    page.number = 5;
    page.leaf = round % 2 == 0;
    page.prev = rng() % 1000;
    page.next = rng() % 1000;
    page.tail = page.leaf ? 0 : 1 + rng() % 999;
    page.tdef_page = 3;
    std::set<Entry> entries;
    const size_t count = rng() % 60;
    const Bytes stem = {0x7F, 0x41, 0x42, 0x43};
    while (entries.size() < count) {
      Bytes key(stem.begin(), stem.begin() + 1 + rng() % 4);
      for (size_t i = rng() % 8; i > 0; --i) key.push_back(static_cast<uint8_t>(0x41 + rng() % 3));
      entries.insert(
          {key, {static_cast<uint32_t>(0x010200 + rng() % 4), static_cast<uint8_t>(rng() % 3)}});
    }
    uint32_t child = 10;
    for (const Entry& e : entries) {
      IndexPage::Entry pe;
      pe.key_offset = static_cast<uint32_t>(page.keys.size());
      pe.key_size = static_cast<uint32_t>(e.key.size());
      pe.row = e.row;
      pe.child = page.leaf ? 0 : child++;
      page.keys.insert(page.keys.end(), e.key.begin(), e.key.end());
      page.entries.push_back(pe);
    }
    Bytes raw(kPageSize, 0);
    EncodeIndexPage(page, raw.data());
    const IndexPage back = DecodeIndexPage(5, raw.data(), 2000);
    EXPECT_EQ(back.leaf, page.leaf);
    EXPECT_EQ(back.prev, page.prev);
    EXPECT_EQ(back.next, page.next);
    EXPECT_EQ(back.tail, page.tail);
    EXPECT_EQ(back.tdef_page, page.tdef_page);
    EXPECT_EQ(back.keys, page.keys);
    ASSERT_EQ(back.entries.size(), page.entries.size());
    for (size_t i = 0; i < page.entries.size(); ++i) {
      EXPECT_EQ(back.entries[i].row, page.entries[i].row);
      EXPECT_EQ(back.entries[i].child, page.entries[i].child);
    }
    if (page.entries.size() >= 2) {
      EXPECT_GT(back.prefix_size, 0u);
    }
    EXPECT_EQ(U16(raw.data() + 2), kPageSize - 480 - IndexPageDataSize(page));
  }

  IndexPage full;
  full.leaf = true;
  // 3616 bytes of entries that share nothing: 452 entries of a 4-byte key and row pointer.
  for (uint32_t i = 0; i < 452; ++i) {
    const Bytes key = {static_cast<uint8_t>(i >> 8), static_cast<uint8_t>(i), 0, 0};
    full.entries.push_back({static_cast<uint32_t>(full.keys.size()), 4, {0xFFFFFF, 0xFF}, 0});
    full.keys.insert(full.keys.end(), key.begin(), key.end());
  }
  Bytes raw(kPageSize, 0);
  EXPECT_EQ(IndexPageDataSize(full), 3616u);
  EncodeIndexPage(full, raw.data());
  EXPECT_EQ(U16(raw.data() + 2), 0u);
  EXPECT_EQ(DecodeIndexPage(1, raw.data(), 2).entries.size(), 452u);
  full.keys.push_back(0);
  full.entries.push_back({static_cast<uint32_t>(full.keys.size() - 1), 1, {1, 1}, 0});
  EXPECT_THROW(EncodeIndexPage(full, raw.data()), std::length_error);
}

// --- Trees on copies of Access's files ---

class IndexWriterTest : public ::testing::Test {
 protected:
  void Open(const std::string& fixture, const std::string& table, size_t index_number) {
    db_ = OpenCopy(fixture);
    def_ = &db_->OpenTable(table).def();
    ASSERT_LT(index_number, def_->real_indexes.size());
    index_ = &def_->real_indexes[index_number];
    allocator_ = std::make_unique<PageAllocator>(db_->file());
    writer_ = std::make_unique<IndexWriter>(db_->file(), *allocator_, *def_, *index_);
    reader_ = std::make_unique<IndexReader>(db_->file(), *index_);
  }

  PageFile& file() { return db_->file(); }
  TreeShape Walk() { return TreeWalker(file(), *def_, *index_).Walk(); }

  // Problems the checker finds, other than synthetic entries that belong to no row and rows
  // whose entries the test took out.
  std::vector<std::string> ProblemsBesidesSyntheticEntries() {
    std::vector<std::string> out;
    for (const std::string& line : CheckDatabase(*db_)) {
      if (line.find("matches no row") == std::string::npos &&
          line.find(": no entry for row") == std::string::npos) {
        out.push_back(line);
      }
    }
    return out;
  }

  std::unique_ptr<Database> db_;
  const TableDef* def_ = nullptr;
  const RealIndexDef* index_ = nullptr;
  std::unique_ptr<PageAllocator> allocator_;
  std::unique_ptr<IndexWriter> writer_;
  std::unique_ptr<IndexReader> reader_;
};

// Every entry of every index of Access's tables removed, then put back in another order: the
// file passes the checker, and each root leaf comes back byte for byte as Access wrote it.
TEST_F(IndexWriterTest, RemovesAndReinsertsEveryEntryOfRealIndexes) {
  REQUIRE_ACCESS_MADE_FIXTURES();
  std::mt19937 rng(11);
  size_t indexes = 0, entries_moved = 0;
  for (const std::string fixture : {"indexTestV2000.mdb", "testIndexPropertiesV2000.mdb"}) {
    auto names = OpenCopy(fixture)->TableNames();
    for (const std::string& table : names) {
      const size_t count = OpenCopy(fixture)->OpenTable(table).def().real_indexes.size();
      for (size_t i = 0; i < count; ++i) {
        Open(fixture, table, i);
        const Bytes root_before(file().Page(index_->root_page),
                                file().Page(index_->root_page) + kPageSize);
        std::vector<Entry> entries = ToEntries(reader_->All());
        std::vector<Entry> order = entries;
        std::shuffle(order.begin(), order.end(), rng);
        {
          PageFile::Operation op(file());
          for (const Entry& e : order) writer_->Remove(e.key, e.row);
          op.Commit();
        }
        EXPECT_TRUE(reader_->All().empty());
        const uint8_t* root = file().Page(index_->root_page);
        EXPECT_EQ(root[0], kIndexLeafPage);
        EXPECT_EQ(U16(root + 2), 3616);
        Walk();

        std::shuffle(order.begin(), order.end(), rng);
        {
          PageFile::Operation op(file());
          for (const Entry& e : order) writer_->Insert(e.key, e.row);
          op.Commit();
        }
        EXPECT_EQ(ToEntries(reader_->All()), entries) << fixture << " " << table << " " << i;
        EXPECT_EQ(Joined(CheckDatabase(*db_)), "") << fixture << " " << table;
        // The root holds what Access's root held, in the same header.
        EXPECT_TRUE(
            SamePage(DecodeIndexPage(0, root_before.data(), file().page_count()),
                     DecodeIndexPage(0, file().Page(index_->root_page), file().page_count())))
            << fixture << " " << table << " index " << i;
        ++indexes;
        entries_moved += entries.size();
      }
    }
  }
  EXPECT_GT(indexes, 5u);
  EXPECT_GT(entries_moved, 50u);
}

// Synthetic keys: random lengths 1..255 over a few byte values, so that many keys are prefixes
// of others and many repeat with other rows.
Bytes RandomKey(std::mt19937& rng) {
  static const uint8_t kAlphabet[] = {0x00, 0x01, 0x41, 0x42, 0x7F, 0x80, 0xFF};
  const size_t size = rng() % 4 == 0 ? 1 + rng() % 255 : 1 + rng() % 6;
  Bytes key(size);
  for (auto& b : key) b = kAlphabet[rng() % (rng() % 3 == 0 ? 7 : 2)];
  return key;
}

RowLocator RandomRow(std::mt19937& rng) {
  return {static_cast<uint32_t>(rng() % 0x1000000), static_cast<uint8_t>(rng() % 256)};
}

// Tens of thousands of random inserts and removes, checked after every batch: the walk's
// entries, the reader's walk, key lookups and leaf chain all agree with the model.
TEST_F(IndexWriterTest, RandomInsertsAndRemovesMatchAModel) {
  REQUIRE_ACCESS_MADE_FIXTURES();
  Open("indexTestV2000.mdb", "Table1", 0);
  std::multiset<Entry> model;
  for (const Entry& e : ToEntries(reader_->All())) model.insert(e);
  ASSERT_FALSE(model.empty());
  std::mt19937 rng(2024);
  std::vector<Bytes> used_keys;
  size_t max_depth = 0;
  for (int batch = 0; batch < 40; ++batch) {
    PageFile::Operation op(file());
    // Grow for the first half, shrink in the second, to the empty index at the end.
    const bool growing = batch < 20;
    const int ops = growing ? 1000 : 1000 + static_cast<int>(model.size() / (40 - batch));
    for (int i = 0; i < ops && !(batch >= 20 && model.empty()); ++i) {
      const bool insert = model.empty() || (growing ? rng() % 3 != 0 : rng() % 4 == 0);
      if (insert && (batch < 39)) {
        Entry e{used_keys.empty() || rng() % 3 != 0 ? RandomKey(rng)
                                                    : used_keys[rng() % used_keys.size()],
                RandomRow(rng)};
        if (model.count(e)) continue;
        const auto same_key = model.lower_bound({e.key, {}});
        const bool had_key = same_key != model.end() && same_key->key == e.key;
        ASSERT_EQ(writer_->Insert(e.key, e.row), had_key) << "batch " << batch;
        model.insert(e);
        used_keys.push_back(e.key);
      } else {
        auto it = model.begin();
        std::advance(it, rng() % model.size());
        writer_->Remove(it->key, it->row);
        model.erase(it);
      }
    }
    if (batch == 39) {
      while (!model.empty()) {
        writer_->Remove(model.begin()->key, model.begin()->row);
        model.erase(model.begin());
      }
    }
    op.Commit();

    const TreeShape shape = Walk();
    const std::vector<Entry> expected(model.begin(), model.end());
    ASSERT_EQ(shape.entries, expected) << "batch " << batch;
    ASSERT_EQ(ToEntries(reader_->All()), expected) << "batch " << batch;
    ASSERT_EQ(reader_->LeafChain(), shape.levels.back()) << "batch " << batch;
    max_depth = std::max(max_depth, shape.depth);
    for (int probe = 0; probe < 20 && !used_keys.empty(); ++probe) {
      const Bytes& key = used_keys[rng() % used_keys.size()];
      std::vector<RowLocator> rows;
      for (auto it = model.lower_bound({key, {}}); it != model.end() && it->key == key; ++it) {
        rows.push_back(it->row);
      }
      ASSERT_EQ(reader_->FindEqual(key), rows);
      ASSERT_EQ(writer_->ContainsKey(key), !rows.empty());
    }
    ASSERT_EQ(Joined(ProblemsBesidesSyntheticEntries()), "") << "batch " << batch;
  }
  EXPECT_GE(max_depth, 3u);
  // Emptied: back to a lone root leaf, every other page freed and out of the usage map.
  const TreeShape shape = Walk();
  EXPECT_EQ(shape.depth, 1u);
  EXPECT_TRUE(shape.entries.empty());
}

// Bulk-copy patterns: keys arriving in ascending or descending order fill pages nearly full
// (the page that takes the next key splits so the other stays full), through several levels.
TEST_F(IndexWriterTest, SortedAppendsFillPagesAndBuildDeepTrees) {
  REQUIRE_ACCESS_MADE_FIXTURES();
  for (const bool ascending : {true, false}) {
    Open("indexTestV2000.mdb", "Table1", 0);
    std::vector<Entry> original = ToEntries(reader_->All());
    {
      PageFile::Operation op(file());
      for (const Entry& e : original) writer_->Remove(e.key, e.row);
      op.Commit();
    }
    // 250-byte keys that differ early, so prefixes stay short: 14 to a page, so 6000 keys
    // need four levels.
    constexpr uint32_t kCount = 6000;
    std::vector<Entry> entries;
    for (uint32_t i = 0; i < kCount; ++i) {
      Bytes key(250, 0x41);
      key[0] = 0x7F;
      key[1] = static_cast<uint8_t>(i >> 8);
      key[2] = static_cast<uint8_t>(i);
      entries.push_back({key, {1000 + i / 100, static_cast<uint8_t>(i % 100)}});
    }
    {
      PageFile::Operation op(file());
      if (ascending) {
        for (const Entry& e : entries) writer_->Insert(e.key, e.row);
      } else {
        for (auto it = entries.rbegin(); it != entries.rend(); ++it)
          writer_->Insert(it->key, it->row);
      }
      op.Commit();
    }
    const TreeShape shape = Walk();
    EXPECT_EQ(shape.entries, entries);
    EXPECT_GE(shape.depth, 4u);
    // Every leaf but the one the next key would go to has no room for another entry.
    const size_t open_leaf = ascending ? shape.leaf_data.size() - 1 : 0;
    for (size_t i = 0; i < shape.leaf_data.size(); ++i) {
      if (i != open_leaf) {
        EXPECT_GT(shape.leaf_data[i] + 254, 3616u) << "leaf " << i;
      }
    }
    EXPECT_LE(shape.leaf_data.size(), kCount / 14 + 2);
    EXPECT_EQ(Joined(ProblemsBesidesSyntheticEntries()), "");

    // Taken apart again in key order, the tree sound at every step and growing shallower (the
    // root takes over an only child); at the end every page but the root is freed.
    {
      PageFile::Operation op(file());
      size_t depth = shape.depth;
      for (size_t i = 0; i < entries.size(); ++i) {
        writer_->Remove(entries[i].key, entries[i].row);
        if (i % 500 == 499) {
          const size_t now = Walk().depth;
          EXPECT_LE(now, depth);
          depth = now;
        }
      }
      for (const Entry& e : original) writer_->Insert(e.key, e.row);
      op.Commit();
    }
    EXPECT_EQ(Walk().depth, 1u);
    EXPECT_EQ(Joined(CheckDatabase(*db_)), "");
  }
}

// A rolled-back operation leaves the index as it was: a reader that decoded pages before sees
// the old pages again, and the writer carries on from them.
TEST_F(IndexWriterTest, RollbackRestoresTheTreeForReaders) {
  REQUIRE_ACCESS_MADE_FIXTURES();
  Open("indexTestV2000.mdb", "Table1", 0);
  const std::vector<Entry> before = ToEntries(reader_->All());
  const Bytes image_before = file().image();
  {
    PageFile::Operation op(file());
    for (uint32_t i = 0; i < 3000; ++i) {
      writer_->Insert(Bytes(60, static_cast<uint8_t>(i % 200)), {5000 + i, 1});
    }
    EXPECT_EQ(reader_->All().size(), before.size() + 3000);
  }  // not committed
  EXPECT_EQ(ToEntries(reader_->All()), before);
  EXPECT_EQ(file().image(), image_before);

  // The same writer carries on from the restored pages, not from what it wrote before.
  std::multiset<Entry> model(before.begin(), before.end());
  {
    PageFile::Operation op(file());
    for (uint32_t i = 0; i < 3000; ++i) {
      const Entry e{Bytes(40, static_cast<uint8_t>(i % 150)), {7000 + i, 2}};
      writer_->Insert(e.key, e.row);
      model.insert(e);
    }
    op.Commit();
  }
  EXPECT_EQ(Walk().entries, std::vector<Entry>(model.begin(), model.end()));
}

// Insert tells whether its key was there before from the entries beside its place; runs of
// one key spanning many leaves put those neighbours on other leaves (the first or last entry
// of a leaf), at the ends of the index too, where it must look further.
TEST_F(IndexWriterTest, InsertTellsWhetherItsKeyWasThereAcrossLeaves) {
  REQUIRE_ACCESS_MADE_FIXTURES();
  Open("indexTestV2000.mdb", "Table1", 0);
  std::multiset<Entry> model;
  for (const Entry& e : ToEntries(reader_->All())) model.insert(e);
  std::mt19937 rng(7);
  // Few keys, long enough that a run of one fills several leaves; rows in random order, so
  // that entries land at the start, the middle and the end of runs and leaves.
  std::vector<Bytes> keys;
  for (uint8_t k : {0x00, 0x41, 0x42, 0xFF}) keys.push_back(Bytes(60, k));
  size_t new_keys = 0, leaves = 0;
  for (int batch = 0; batch < 10; ++batch) {
    PageFile::Operation op(file());
    for (int i = 0; i < 600; ++i) {
      const Entry e{keys[rng() % keys.size()], RandomRow(rng)};
      if (model.count(e)) continue;
      const auto same_key = model.lower_bound({e.key, {}});
      const bool had_key = same_key != model.end() && same_key->key == e.key;
      new_keys += had_key ? 0 : 1;
      ASSERT_EQ(writer_->Insert(e.key, e.row), had_key) << "batch " << batch << " insert " << i;
      model.insert(e);
    }
    op.Commit();
    const TreeShape shape = Walk();
    ASSERT_EQ(shape.entries, std::vector<Entry>(model.begin(), model.end()));
    leaves = shape.levels.back().size();
  }
  EXPECT_EQ(new_keys, keys.size());
  EXPECT_GT(leaves, 8u) << "runs of one key must span several leaves";
}

TEST_F(IndexWriterTest, LooksUpKeysAndRefusesMissingOrRepeatedEntries) {
  REQUIRE_ACCESS_MADE_FIXTURES();
  Open("indexTestV2000.mdb", "Table1", 0);
  const std::vector<Entry> entries = ToEntries(reader_->All());
  ASSERT_FALSE(entries.empty());
  const Entry& first = entries.front();
  EXPECT_TRUE(writer_->ContainsKey(first.key));
  Bytes longer = first.key;
  longer.push_back(0);
  EXPECT_FALSE(writer_->ContainsKey(longer));
  EXPECT_FALSE(writer_->ContainsKey(ByteSpan(first.key).first(first.key.size() - 1)));

  PageFile::Operation op(file());
  try {
    writer_->Remove(first.key, {first.row.page, static_cast<uint8_t>(first.row.row + 1)});
    ADD_FAILURE() << "removing an absent entry must throw";
  } catch (const Error& e) {
    EXPECT_EQ(e.number(), kErrCorrupt);
  }
  try {
    writer_->Insert(first.key, first.row);
    ADD_FAILURE() << "inserting an entry twice must throw";
  } catch (const Error& e) {
    EXPECT_EQ(e.number(), kErrCorrupt);
  }
  writer_->Insert(longer, first.row);  // same row, another key: a different entry
  EXPECT_TRUE(writer_->ContainsKey(longer));
}

// An insert right after ContainsKey found its key absent reuses that search's way down; the
// tree must come out exactly as when the insert searches for itself.
TEST_F(IndexWriterTest, InsertsAfterALookupWriteWhatPlainInsertsWrite) {
  REQUIRE_ACCESS_MADE_FIXTURES();
  Open("indexTestV2000.mdb", "Table1", 0);
  auto plain_db = OpenCopy("indexTestV2000.mdb");
  const TableDef& plain_def = plain_db->OpenTable("Table1").def();
  PageAllocator plain_allocator(plain_db->file());
  IndexWriter plain(plain_db->file(), plain_allocator, plain_def, plain_def.real_indexes[0]);
  IndexWriter other(file(), *allocator_, *def_, *index_);
  std::mt19937 rng(99);
  std::vector<Entry> added;
  size_t absent = 0;
  for (int batch = 0; batch < 20; ++batch) {
    PageFile::Operation op(file());
    PageFile::Operation plain_op(plain_db->file());
    for (int i = 0; i < 500; ++i) {
      if (!added.empty() && rng() % 5 == 0) {  // removes between, so ways change under probes
        const size_t k = rng() % added.size();
        EXPECT_FALSE(writer_->ContainsKey(Bytes{0x7E}));
        writer_->Remove(added[k].key, added[k].row);
        plain.Remove(added[k].key, added[k].row);
        added.erase(added.begin() + static_cast<ptrdiff_t>(k));
        continue;
      }
      const Entry e{RandomKey(rng), RandomRow(rng)};
      if (std::find(added.begin(), added.end(), e) != added.end()) continue;
      if (!writer_->ContainsKey(e.key)) ++absent;
      if (rng() % 7 == 0) writer_->ContainsKey(RandomKey(rng));  // another probe in between
      if (rng() % 7 == 0) {
        // Another writer of the same index changes the tree between the lookup and the insert.
        const Entry f{e.key, RandomRow(rng)};
        if (std::find(added.begin(), added.end(), f) == added.end() && !(f == e)) {
          other.Insert(f.key, f.row);
          plain.Insert(f.key, f.row);
          added.push_back(f);
        }
      }
      writer_->Insert(e.key, e.row);
      plain.Insert(e.key, e.row);
      added.push_back(e);
    }
    op.Commit();
    plain_op.Commit();
    ASSERT_EQ(file().image(), plain_db->file().image()) << "batch " << batch;
  }
  EXPECT_GT(absent, 1000u);
  EXPECT_EQ(Joined(ProblemsBesidesSyntheticEntries()), "");
}

}  // namespace
}  // namespace jet
