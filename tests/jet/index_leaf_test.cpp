// Leaf pages searched, grown and shrunk in place: every splice must give exactly the bytes that
// decoding, inserting (or removing) and re-encoding the page gives, every search the position
// the decoded page gives, and a splice may only be refused when re-encoding would change more
// than the entry.
#include "jet/index_leaf.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <iterator>
#include <random>
#include <stdexcept>

#include "jet/index_reader.h"
#include "jet/index_writer.h"
#include "jet/page_file.h"
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
  friend bool operator==(const Entry& a, const Entry& b) = default;
};

IndexPage LeafOf(const std::vector<Entry>& entries) {
  IndexPage page;
  page.number = 9;
  page.leaf = true;
  page.prev = 4;
  page.next = 11;
  page.tdef_page = 3;
  for (const Entry& e : entries) {
    IndexPage::Entry pe;
    pe.key_offset = static_cast<uint32_t>(page.keys.size());
    pe.key_size = static_cast<uint32_t>(e.key.size());
    pe.row = e.row;
    page.keys.insert(page.keys.end(), e.key.begin(), e.key.end());
    page.entries.push_back(pe);
  }
  return page;
}

// The page re-encoded whole over `base` (bytes of unknown meaning kept), or empty on overflow.
Bytes Reencoded(const Bytes& base, const std::vector<Entry>& entries) {
  Bytes out = base;
  try {
    EncodeIndexPage(LeafOf(entries), out.data());
  } catch (const std::length_error&) {
    return {};
  }
  return out;
}

// Keys as the writer builds them: a flag byte and text-like bytes from a small alphabet, so
// that pages share prefixes of every length, and keys that are prefixes of others.
Entry RandomEntry(std::mt19937& random, const Bytes& stem) {
  Entry e;
  e.key.push_back(0x7F);
  // Byte by byte: a range insert here draws GCC 12's false array-bounds warning in the
  // optimised Windows build.
  for (size_t n = random() % 4, i = 0; i < n && i < stem.size(); ++i) e.key.push_back(stem[i]);
  for (size_t n = random() % 6; n > 0; --n)
    e.key.push_back(static_cast<uint8_t>(0x60 + random() % 3));
  e.row = {static_cast<uint32_t>(0x10000 + random() % 3), static_cast<uint8_t>(random() % 4)};
  return e;
}

TEST(IndexLeafTest, SplicesGiveTheBytesOfReencodingAndSearchesTheDecodedPositions) {
  std::mt19937 random(11);
  size_t spliced = 0, refused = 0;
  for (int round = 0; round < 60; ++round) {
    const Bytes stem = {0x61, static_cast<uint8_t>(0x61 + round % 3), 0x62};
    std::vector<Entry> entries;
    Bytes page(kPageSize, 0);
    page[8] = 0x5A;  // bytes of unknown meaning survive both ways
    page[26] = 0x3C;
    page = Reencoded(page, entries);
    for (int step = 0; step < 400; ++step) {
      LeafLayout layout;
      ASSERT_TRUE(ReadLeafLayout(page.data(), layout)) << "our own page, round " << round;
      ASSERT_EQ(layout.size(), entries.size());
      const Entry e = RandomEntry(random, stem);
      const size_t expected_pos = static_cast<size_t>(
          std::lower_bound(entries.begin(), entries.end(), e) - entries.begin());
      ASSERT_EQ(LeafLowerBound(page.data(), layout, e.key, e.row), expected_pos);
      const auto by_key = std::partition_point(entries.begin(), entries.end(), [&](const Entry& x) {
        return CompareKeys(x.key, e.key) < 0;
      });
      ASSERT_EQ(LeafLowerBoundKey(page.data(), layout, e.key),
                static_cast<size_t>(by_key - entries.begin()));
      if (expected_pos < entries.size() && entries[expected_pos] == e) continue;

      std::vector<Entry> grown = entries;
      grown.insert(grown.begin() + static_cast<ptrdiff_t>(expected_pos), e);
      const Bytes reference = Reencoded(page, grown);
      if (CanInsertInLeaf(page.data(), layout, expected_pos, e.key, e.row)) {
        ASSERT_FALSE(reference.empty()) << "a splice must not overflow the page";
        InsertInLeaf(page.data(), layout, expected_pos, e.key, e.row, 3);
        ASSERT_EQ(page, reference) << "round " << round << " step " << step;
        LeafLayout reread;
        ASSERT_TRUE(ReadLeafLayout(page.data(), reread));
        ASSERT_EQ(reread.ends, layout.ends);
        ++spliced;
      } else {
        // Refused only when re-encoding changes more than the new entry: a new first entry, a
        // shared prefix that changes, or no room.
        const bool overflow = reference.empty();
        const bool new_prefix = !overflow && U16(reference.data() + 24) != layout.prefix;
        ASSERT_TRUE(expected_pos == 0 || overflow || new_prefix)
            << "round " << round << " step " << step;
        if (overflow) break;
        page = reference;
        ++refused;
      }
      entries = std::move(grown);
    }
  }
  EXPECT_GT(spliced, 5000u);
  EXPECT_GT(refused, 100u);
}

// Entries of every length up to a few hundred bytes move the entry mask by as many bits, in
// whole words and in parts of one, over pages with and without bytes left after their
// entries: every splice still gives the bytes of re-encoding.
TEST(IndexLeafTest, SplicesOfLongEntriesMoveTheMaskAsReencodingWould) {
  std::mt19937 random(23);
  size_t spliced = 0;
  for (int round = 0; round < 40; ++round) {
    std::vector<Entry> entries;
    Bytes page = Reencoded(Bytes(kPageSize, 0), entries);
    for (int step = 0; step < 200; ++step) {
      Entry e;
      e.key.assign(1 + random() % (round % 2 == 0 ? 40 : 300), 0x7F);
      for (size_t j = 1; j < e.key.size(); ++j) e.key[j] = static_cast<uint8_t>(random() % 4);
      e.row = {static_cast<uint32_t>(random() % 0x1000000), static_cast<uint8_t>(random())};
      const size_t pos = static_cast<size_t>(std::lower_bound(entries.begin(), entries.end(), e) -
                                             entries.begin());
      if (pos < entries.size() && entries[pos] == e) continue;
      std::vector<Entry> grown = entries;
      grown.insert(grown.begin() + static_cast<ptrdiff_t>(pos), e);
      const Bytes reference = Reencoded(page, grown);
      if (reference.empty()) break;
      LeafLayout layout;
      ASSERT_TRUE(ReadLeafLayout(page.data(), layout));
      if (step % 4 == 0) {
        // Bytes left after the entries (pages other writers made) are cleared by a splice.
        std::fill(page.begin() + 480 + layout.data_size(), page.end(), 0xEE);
        ASSERT_TRUE(ReadLeafLayout(page.data(), layout));
      }
      if (CanInsertInLeaf(page.data(), layout, pos, e.key, e.row)) {
        InsertInLeaf(page.data(), layout, pos, e.key, e.row, 3);  // LeafOf's owner
        ASSERT_EQ(page, reference) << "round " << round << " step " << step;
        ++spliced;
      } else {
        page = reference;
      }
      entries = std::move(grown);
    }
  }
  EXPECT_GT(spliced, 1000u);
}

// Entries taken out first, last, in the middle, at random and in runs, down to none, from pages
// of short entries sharing prefixes of every length and of long entries (masks moved by many
// bits), with and without bytes left after the entries: every removal in place gives the bytes
// of re-encoding, and one is only refused when re-encoding changes more than the entry.
TEST(IndexLeafTest, RemovalsInPlaceGiveTheBytesOfReencodingInEveryOrder) {
  std::mt19937 random(37);
  size_t removed = 0, refused = 0;
  for (int round = 0; round < 100; ++round) {
    const Bytes stem = {0x61, static_cast<uint8_t>(0x61 + round % 3), 0x62};
    std::vector<Entry> entries;
    const bool long_entries = round % 10 >= 7;
    for (int step = 0; step < 300; ++step) {
      Entry e = RandomEntry(random, stem);
      if (long_entries) {
        e.key.resize(1 + random() % 200, 0x7F);
        for (size_t j = 3; j < e.key.size(); ++j) e.key[j] = static_cast<uint8_t>(random() % 3);
      }
      const auto at = std::lower_bound(entries.begin(), entries.end(), e);
      if (at != entries.end() && *at == e) continue;
      std::vector<Entry> grown = entries;
      grown.insert(grown.begin() + (at - entries.begin()), e);
      if (Reencoded(Bytes(kPageSize, 0), grown).empty()) break;
      entries = std::move(grown);
    }
    Bytes page(kPageSize, 0);
    page[8] = 0x5A;  // bytes of unknown meaning survive both ways
    page[26] = 0x3C;
    page = Reencoded(page, entries);
    size_t run = 0, run_at = 0;
    for (int step = 0; !entries.empty(); ++step) {
      LeafLayout layout;
      ASSERT_TRUE(ReadLeafLayout(page.data(), layout)) << "round " << round << " step " << step;
      if (step % 5 == 0) {
        // Bytes left after the entries (pages other writers made) are cleared by a removal.
        std::fill(page.begin() + 480 + layout.data_size(), page.end(), 0xEE);
        ASSERT_TRUE(ReadLeafLayout(page.data(), layout));
      }
      const size_t n = entries.size();
      // First, last, middle, anywhere, or runs of neighbours.
      const int order = round % 5;
      size_t pos = 0;
      if (order == 1) {
        pos = n - 1;
      } else if (order == 2) {
        pos = n / 2;
      } else if (order == 3) {
        pos = random() % n;
      } else if (order == 4) {
        if (run == 0) {
          run = 1 + random() % 8;
          run_at = random() % n;
        }
        --run;
        pos = std::min(run_at, n - 1);
      }
      ASSERT_EQ(LeafLowerBound(page.data(), layout, entries[pos].key, entries[pos].row), pos);
      std::vector<Entry> shrunk = entries;
      shrunk.erase(shrunk.begin() + static_cast<ptrdiff_t>(pos));
      const Bytes reference = Reencoded(page, shrunk);
      if (CanRemoveFromLeaf(page.data(), layout, pos)) {
        if (pos + 1 == n) {
          EXPECT_EQ(LeafKey(page.data(), layout, pos - 1), entries[pos - 1].key);
          EXPECT_EQ(LeafRow(page.data(), layout, pos - 1), entries[pos - 1].row);
        }
        RemoveFromLeaf(page.data(), layout, pos, 3);  // LeafOf's owner
        ASSERT_EQ(page, reference) << "round " << round << " step " << step << " pos " << pos;
        LeafLayout reread;
        ASSERT_TRUE(ReadLeafLayout(page.data(), reread));
        ASSERT_EQ(reread.ends, layout.ends);
        ASSERT_EQ(reread.prefix, layout.prefix);
        ++removed;
      } else {
        // Refused only when re-encoding changes more than the entry: a page left empty or a
        // shared prefix that grows (one entry left alone loses its prefix in place).
        ASSERT_TRUE(n == 1 || (n > 2 && U16(reference.data() + 24) > layout.prefix))
            << "round " << round << " step " << step << " pos " << pos;
        page = reference;
        ++refused;
      }
      entries = std::move(shrunk);
    }
  }
  EXPECT_GT(removed, 10000u);
  EXPECT_GT(refused, 200u);
}

TEST(IndexLeafTest, PagesNotInOurEncodersFormGoThroughDecoding) {
  // An ascending run whose entries all share "\x7F" "ab": our encoder compresses it.
  std::vector<Entry> entries;
  for (uint8_t c = 0x61; c < 0x71; ++c) entries.push_back({{0x7F, 0x61, 0x62, c}, {0x10000, 1}});
  const Bytes ours = Reencoded(Bytes(kPageSize, 0), entries);
  LeafLayout layout;
  ASSERT_TRUE(ReadLeafLayout(ours.data(), layout));
  EXPECT_EQ(layout.prefix, 3);

  // The same entries stored with less prefix than they share (as Access stores small pages).
  Bytes less = ours;
  {
    std::vector<uint8_t> data;
    std::fill(less.begin() + 27, less.end(), 0);
    for (const Entry& e : entries) {
      data.insert(data.end(), e.key.begin(), e.key.end());
      data.insert(data.end(), {0x01, 0x00, 0x00, 0x01});
      less[27 + data.size() / 8] |= static_cast<uint8_t>(1u << (data.size() % 8));
    }
    std::copy(data.begin(), data.end(), less.begin() + 480);
    PutU16(less.data() + 24, 0);
    PutU16(less.data() + 2, static_cast<uint16_t>(3616 - data.size()));
  }
  EXPECT_EQ(DecodeIndexPage(9, less.data(), 100).entries.size(), entries.size());
  EXPECT_FALSE(ReadLeafLayout(less.data(), layout));

  Bytes node = ours;
  node[0] = kIndexNodePage;
  EXPECT_FALSE(ReadLeafLayout(node.data(), layout));
  Bytes past_end = ours;
  past_end[27 + 452] |= 0x80;  // an entry ending at byte 3623
  EXPECT_FALSE(ReadLeafLayout(past_end.data(), layout));
  Bytes unordered = ours;
  std::swap(unordered[480 + 3], unordered[480 + 4 + 4]);  // first two keys' last bytes swapped
  EXPECT_FALSE(ReadLeafLayout(unordered.data(), layout));
  unordered = ours;
  std::swap(unordered[480 + 8], unordered[480 + 13]);  // second and third keys swapped
  EXPECT_FALSE(ReadLeafLayout(unordered.data(), layout));
}

TEST(IndexLeafTest, AccessMadeLeavesAreSearchedAsDecodedOrLeftToDecoding) {
  REQUIRE_ACCESS_MADE_FIXTURES();
  size_t read_in_place = 0;
  for (const std::string& path : testing_support::ReadableAccessMadeFiles()) {
    std::ifstream in(path, std::ios::binary);
    const Bytes image((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    const auto count = static_cast<uint32_t>(image.size() / kPageSize);
    for (uint32_t n = 1; n < count; ++n) {
      const uint8_t* page = image.data() + static_cast<size_t>(n) * kPageSize;
      LeafLayout layout;
      if (page[0] != kIndexLeafPage || !ReadLeafLayout(page, layout)) continue;
      const IndexPage decoded = DecodeIndexPage(n, page, count);
      ASSERT_EQ(layout.size(), decoded.entries.size()) << path << " page " << n;
      for (size_t i = 0; i < decoded.entries.size(); ++i) {
        EXPECT_EQ(LeafCompare(page, layout, i, decoded.Key(i), decoded.entries[i].row), 0);
        EXPECT_EQ(LeafLowerBound(page, layout, decoded.Key(i), decoded.entries[i].row), i);
      }
      ++read_in_place;
    }
  }
  EXPECT_GT(read_in_place, 10u);
}

}  // namespace
}  // namespace jet
