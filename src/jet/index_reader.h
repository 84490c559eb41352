// Reading an index B-tree (docs/format.md, index pages: leaf 0x04 and node 0x03): walking it in
// key order, finding the first entry at or after a key, prefix and range scans.
//
// Entries are ordered by unsigned comparison of their key bytes, then by row locator. A node
// entry repeats the last entry of its child's subtree; the node's tail child (offset 20) has
// no entry and holds everything after the last entry. We walk the tree through these child
// links rather than the leaves' sibling links, so a walk needs nothing but the tree itself.
//
// Every page is decoded once into an IndexPage and kept by the reader, so repeated lookups
// cost a binary search per level. Pages are read as they are needed; a page that changed since
// it was decoded (PageFile::PageVersion) is decoded again, so a reader sees the index's writes.
// A cursor is not kept valid across writes to the pages it walks.
#pragma once

#include <algorithm>
#include <bit>
#include <cstdint>
#include <cstring>
#include <memory>
#include <unordered_map>
#include <vector>

#include "jet/bytes.h"
#include "jet/index_leaf.h"
#include "jet/index_page_format.h"
#include "jet/table_def.h"
#include "jet/value.h"

namespace jet {

class PageFile;
using RowLocator = RowPointer;

// One index page, decoded: prefix compression undone, keys split from their row locators.
struct IndexPage {
  struct Entry {
    uint32_t key_offset = 0;  // into IndexPage::keys
    uint32_t key_size = 0;
    RowLocator row;
    uint32_t child = 0;  // node pages: the child page this entry stands for
  };

  uint32_t number = 0;
  bool leaf = true;
  uint32_t prev = 0;  // previous page at this level (0 = none)
  uint32_t next = 0;  // next page at this level (0 = none)
  uint32_t tail = 0;  // node pages: the last child, which has no entry (0 = none)
  uint32_t tdef_page = 0;
  uint16_t prefix_size = 0;
  Bytes keys;  // every entry's key, back to back
  std::vector<Entry> entries;

  ByteSpan Key(size_t i) const {
    return {keys.data() + entries[i].key_offset, entries[i].key_size};
  }
};

// The position of the page's first entry whose key is not below `key` (its entry count when
// there is none). On a node page it leads to the subtree holding the first such key: node
// entries hold their subtree's last key.
size_t FirstEntryNotBelow(const IndexPage& page, ByteSpan key);

// Decodes one index page. Throws corrupt, naming the page, for a page that is not an index
// page, an entry mask or prefix that runs outside the page, an entry too short to hold its
// row locator, a child page outside the file (`page_count` pages), or keys out of order.
IndexPage DecodeIndexPage(uint32_t number, const uint8_t* page, uint32_t page_count);

// How many of the first n bytes of a and b agree. Index keys are mostly a few bytes to a few
// dozen, where a call to memcmp costs more than the comparison; words are compared whole, and
// only where they differ is the first differing byte looked up.
inline size_t CommonPrefixBytes(const uint8_t* a, const uint8_t* b, size_t n) {
  const auto first_difference = [](auto x, auto y) {  // the byte index of a word's difference
    if constexpr (std::endian::native == std::endian::little) {
      return static_cast<size_t>(std::countr_zero(x ^ y) / 8);
    } else {
      return static_cast<size_t>(std::countl_zero(x ^ y) / 8);
    }
  };
  size_t i = 0;
  for (; i + 8 <= n; i += 8) {
    uint64_t x, y;
    std::memcpy(&x, a + i, sizeof x);
    std::memcpy(&y, b + i, sizeof y);
    if (x != y) return i + first_difference(x, y);
  }
  if (i + 4 <= n) {
    uint32_t x, y;
    std::memcpy(&x, a + i, sizeof x);
    std::memcpy(&y, b + i, sizeof y);
    if (x != y) return i + first_difference(x, y);
    i += 4;
  }
  while (i < n && a[i] == b[i]) ++i;
  return i;
}

// Unsigned byte-wise comparison of n bytes: <0, 0, >0.
inline int CompareKeyBytes(const uint8_t* a, const uint8_t* b, size_t n) {
  const size_t d = CommonPrefixBytes(a, b, n);
  if (d == n) return 0;
  return a[d] < b[d] ? -1 : 1;
}

// Unsigned byte-wise comparison, shorter first on a common prefix: the order of index keys.
inline int CompareKeys(ByteSpan a, ByteSpan b) {
  if (const int c = CompareKeyBytes(a.data(), b.data(), std::min(a.size(), b.size()))) return c;
  if (a.size() == b.size()) return 0;
  return a.size() < b.size() ? -1 : 1;
}
inline bool StartsWith(ByteSpan key, ByteSpan prefix) {
  return key.size() >= prefix.size() && CompareKeys(key.first(prefix.size()), prefix) == 0;
}

struct IndexEntry {
  Bytes key;
  RowLocator row;
  friend bool operator==(const IndexEntry&, const IndexEntry&) = default;
};

class IndexReader {
 public:
  IndexReader(PageFile& file, uint32_t root_page);
  IndexReader(PageFile& file, const RealIndexDef& index) : IndexReader(file, index.root_page) {}
  IndexReader(const IndexReader&) = delete;
  IndexReader& operator=(const IndexReader&) = delete;

  uint32_t root_page() const { return root_; }

  // A position in the index, moving forward in key order. The key it shows, and the cursor
  // itself, stay valid until the reader is cleared: by Clear(), or by a FindEqual, FindPrefix,
  // Range, All or LeafChain that finds its cache of decoded pages full.
  class Cursor {
   public:
    bool AtEnd() const { return path_.empty(); }
    ByteSpan key() const;
    RowLocator locator() const;
    // The leaf page holding the current entry.
    uint32_t page() const { return path_.back().page->number; }
    // Moves to the next entry; false when it runs off the end.
    bool Next();

   private:
    friend class IndexReader;
    struct Frame {
      const IndexPage* page;
      size_t pos;  // entry index; on nodes, entries.size() stands for the tail child
    };
    explicit Cursor(IndexReader& reader) : reader_(&reader) {}
    void Enter(uint32_t page);
    void Settle();

    IndexReader* reader_;
    std::vector<Frame> path_;
    uint32_t pages_entered_ = 0;
  };

  // The first entry of the index.
  Cursor Begin();
  // The first entry whose key is not less than `key`. With a leading part of a key (the
  // first columns of a multi-column index), the first entry that starts with it, if any.
  Cursor FindFirst(ByteSpan key);

  // Row locators of the entries whose key equals `key`, in index order.
  std::vector<RowLocator> FindEqual(ByteSpan key);
  // Row locators of the entries whose key starts with `prefix`, in index order.
  std::vector<RowLocator> FindPrefix(ByteSpan prefix);
  // Entries with from <= key < to, in index order. An empty `to` means to the end.
  std::vector<IndexEntry> Range(ByteSpan from, ByteSpan to);
  // Every entry, in index order.
  std::vector<IndexEntry> All();

  // The leaf pages in the order their next-page links chain them, from the first leaf of the
  // tree. Walks do not rely on these links; a consistency check compares them with the
  // tree's own order. Throws corrupt for a link to a non-leaf page or a loop.
  std::vector<uint32_t> LeafChain();

  // The decoded page, from the reader's cache.
  const IndexPage& Page(uint32_t number);
  // Forgets decoded pages.
  void Clear() {
    pages_.clear();
    leaves_.clear();
  }
  size_t cached_pages() const { return pages_.size(); }

  // Decoded pages kept before the cache starts again: a reader that serves a long task (a
  // query per row over a large index) keeps the same memory however many pages it visits.
  static constexpr size_t kMaxCachedPages = 512;

 private:
  // Leaf layouts kept for FindOnOneLeaf (a few hundred bytes each), within the same kind of
  // bound.
  static constexpr size_t kMaxCachedLayouts = 4096;

  // Called where no cursor of the caller's can be live: at the start of a whole search.
  void TrimCache() {
    if (pages_.size() > kMaxCachedPages) pages_.clear();
    if (leaves_.size() > kMaxCachedLayouts) leaves_.clear();
  }

  struct CachedPage {
    uint32_t version = 0;  // PageFile::PageVersion when decoded
    std::unique_ptr<IndexPage> page;
  };

  // FindEqual (`whole_key`) or FindPrefix where the entries found all lie on one leaf, as they
  // nearly always do: the nodes on the way come from the cache, the leaf is searched as stored
  // instead of decoded (a lookup per row would otherwise decode a leaf each time, as a large
  // index's leaves outnumber the cache). False, with `out` to be discarded, where the
  // lookup must take the cursor's walk: the entries may go on past the leaf, or a page is not
  // one to search as stored (the walk reports corrupt pages).
  bool FindOnOneLeaf(ByteSpan key, bool whole_key, std::vector<RowLocator>& out);

  PageFile* file_;
  uint32_t root_;
  std::unordered_map<uint32_t, CachedPage> pages_;
  // Leaves' layouts as FindOnOneLeaf read them (usable false: not to be searched as stored),
  // kept while the page's version is the one they were read at: checking a leaf's entries
  // costs more than the search, and lookups come back to the same leaves.
  struct CachedLayout {
    uint32_t version = 0;
    bool usable = false;
    LeafLayout layout;
  };
  std::unordered_map<uint32_t, CachedLayout> leaves_;
};

}  // namespace jet
