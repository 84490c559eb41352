// The checker must pass Access's own files and catch each kind of damage we seed into copies.
#include "jet/consistency_check.h"

#include <gtest/gtest.h>

#include "jet/data_page.h"
#include "jet/database.h"
#include "jet/index_reader.h"
#include "support/fixtures.h"

namespace jet {
namespace {

using testing_support::AccessMadeFile;

std::vector<std::string> Check(Bytes image) {
  auto db = Database::Open(std::make_unique<PageFile>("damaged.mdb", std::move(image)));
  return CheckDatabase(*db);
}

CheckReport Report(Bytes image) {
  auto db = Database::Open(std::make_unique<PageFile>("damaged.mdb", std::move(image)));
  return CheckDatabaseReport(*db);
}

bool Mentions(const std::vector<std::string>& problems, const std::string& text) {
  for (const auto& p : problems) {
    if (p.find(text) != std::string::npos) return true;
  }
  return false;
}

std::string Joined(const std::vector<std::string>& problems) {
  std::string out;
  for (const auto& p : problems) out += p + "\n";
  return out;
}

// Byte offsets of the entries on an index page, from its entry mask (27) and data start (480).
std::vector<size_t> EntryEnds(const uint8_t* page) {
  std::vector<size_t> ends;
  for (size_t bit = 0; bit < 453 * 8; ++bit) {
    if ((page[27 + bit / 8] >> (bit % 8)) & 1) ends.push_back(480 + bit);
  }
  return ends;
}

class ConsistencyCheckTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (testing_support::AccessMadeDir().empty()) GTEST_SKIP() << "shared fixtures absent";
    image_ = testing_support::ReadFileBytes(AccessMadeFile("indexTestV2000.mdb"));
    auto db = Database::Open(std::make_unique<PageFile>("copy.mdb", image_));
    Table table = db->OpenTable("Table1");
    def_ = table.def();
    data_pages_ = table.DataPages();
    // The first index whose root is a leaf with several entries.
    for (const auto& index : def_.real_indexes) {
      const uint8_t* root = db->file().Page(index.root_page);
      if (root[0] == kIndexLeafPage && EntryEnds(root).size() >= 3) {
        leaf_ = index.root_page;
        break;
      }
    }
    ASSERT_NE(leaf_, 0u);
  }

  uint8_t* Page(uint32_t n) { return image_.data() + static_cast<size_t>(n) * kPageSize; }

  Bytes image_;
  TableDef def_;
  std::vector<uint32_t> data_pages_;
  uint32_t leaf_ = 0;
};

TEST_F(ConsistencyCheckTest, AccessMadeFilesAreClean) {
  for (const auto& path : testing_support::ReadableAccessMadeFiles()) {
    auto db = Database::Open(path);
    EXPECT_EQ(Joined(CheckDatabase(*db)), "") << path;
  }
}

// Access leaves stale counts (3 counted, 2 held) and works on: a note, not a problem.
TEST_F(ConsistencyCheckTest, ReportsAStaleRowCountAsANote) {
  PutU32(Page(def_.page) + 16, def_.row_count + 1);
  EXPECT_EQ(Joined(Check(image_)), "");
  const CheckReport report = Report(image_);
  EXPECT_TRUE(Mentions(report.notes, "counts " + std::to_string(def_.row_count + 1) +
                                         " rows, the table holds " +
                                         std::to_string(def_.row_count)))
      << Joined(report.notes);
}

// A data page of the table's that its map does not list, appended as a copy of one it has:
// Access leaves such pages in its system tables (and reads past them), while in a user table
// they are rows Access cannot see.
TEST_F(ConsistencyCheckTest, AnUnmappedPageIsANoteInASystemTableAndAProblemInAUserTable) {
  auto db = Database::Open(std::make_unique<PageFile>("copy.mdb", image_));
  const std::vector<uint32_t> aces_pages = db->OpenTable("MSysACEs").DataPages();
  ASSERT_FALSE(aces_pages.empty());
  for (const uint32_t page : {aces_pages[0], data_pages_[0]}) {
    Bytes image = image_;
    image.insert(image.end(), Page(page), Page(page) + kPageSize);
    // In use in the global map (which marks the pages past the end of the file free).
    const uint32_t added = static_cast<uint32_t>(image_.size() / kPageSize);
    uint8_t* global = image.data() + kPageSize;
    const RowSlot slot = ReadSlot(global, 1, 0);
    ASSERT_EQ(slot.bytes[0], 0) << "expected an inline global map";
    const size_t bit = added - U32(slot.bytes.data() + 1);
    ASSERT_LT(bit / 8, slot.bytes.size() - 5);
    global[static_cast<size_t>(slot.bytes.data() - global) + 5 + bit / 8] &=
        static_cast<uint8_t>(~(1u << (bit % 8)));
    const CheckReport report = Report(image);
    const std::string unmapped = "page " + std::to_string(added) + " holds its rows but is missing";
    if (page == aces_pages[0]) {
      EXPECT_EQ(Joined(report.problems), "");
      EXPECT_TRUE(Mentions(report.notes, "'MSysACEs': " + unmapped)) << Joined(report.notes);
    } else {
      EXPECT_TRUE(Mentions(report.problems, "'Table1': " + unmapped)) << Joined(report.problems);
    }
  }
}

TEST_F(ConsistencyCheckTest, FindsAPageMissingFromTheUsageMap) {
  ASSERT_FALSE(data_pages_.empty());
  uint8_t* map_page = Page(def_.owned_map.page);
  const RowSlot slot = ReadSlot(map_page, def_.owned_map.page, def_.owned_map.row);
  ASSERT_EQ(slot.bytes[0], 0) << "expected an inline map";
  const size_t row_offset = static_cast<size_t>(slot.bytes.data() - map_page);
  const uint32_t start = U32(slot.bytes.data() + 1);
  const uint32_t bit = data_pages_[0] - start;
  map_page[row_offset + 5 + bit / 8] &= static_cast<uint8_t>(~(1u << (bit % 8)));
  EXPECT_TRUE(Mentions(Check(image_), "missing from its usage map")) << Joined(Check(image_));
}

TEST_F(ConsistencyCheckTest, FindsADeletedIndexEntry) {
  uint8_t* leaf = Page(leaf_);
  const size_t last = EntryEnds(leaf).back() - 480;
  leaf[27 + last / 8] &= static_cast<uint8_t>(~(1u << (last % 8)));
  EXPECT_TRUE(Mentions(Check(image_), "no entry for row")) << Joined(Check(image_));
}

TEST_F(ConsistencyCheckTest, FindsASwappedPairOfEntries) {
  uint8_t* leaf = Page(leaf_);
  const std::vector<size_t> ends = EntryEnds(leaf);
  // Swap two neighbours of equal stored length after the first (which holds the prefix).
  for (size_t i = 1; i + 1 < ends.size(); ++i) {
    const size_t a = ends[i - 1], b = ends[i], c = ends[i + 1];
    if (b - a != c - b || std::equal(leaf + a, leaf + b, leaf + b)) continue;
    std::swap_ranges(leaf + a, leaf + b, leaf + b);
    EXPECT_TRUE(Mentions(Check(image_), "out of key order")) << Joined(Check(image_));
    return;
  }
  GTEST_SKIP() << "no pair of equal-length entries on the leaf";
}

TEST_F(ConsistencyCheckTest, FindsAnIndexKeyThatDoesNotMatchItsRow) {
  uint8_t* leaf = Page(leaf_);
  const size_t first_end = EntryEnds(leaf).front();
  // The byte before the row locator of the first entry is part of its key.
  leaf[first_end - 5] ^= 0x01;
  const auto problems = Check(image_);
  EXPECT_TRUE(Mentions(problems, "matches no row")) << Joined(problems);
}

TEST_F(ConsistencyCheckTest, FindsAUsedPageMarkedFree) {
  uint8_t* global = Page(1);
  const RowSlot slot = ReadSlot(global, 1, 0);
  const size_t row_offset = static_cast<size_t>(slot.bytes.data() - global);
  const uint32_t start = U32(slot.bytes.data() + 1);
  const uint32_t bit = data_pages_[0] - start;
  global[row_offset + 5 + bit / 8] |= static_cast<uint8_t>(1u << (bit % 8));
  EXPECT_TRUE(Mentions(Check(image_), "marked free in the global map"));
}

}  // namespace
}  // namespace jet
