// Writing an index B-tree (docs/format.md, index pages: leaf 0x04 and node 0x03): inserting and
// removing entries while keeping the tree exactly as Jet keeps it.
//
// The shape we keep:
//  - entries ordered by key bytes, then row locator; a node entry repeats the last entry of its
//    child's subtree, and a node with two or more children keeps its last child as the tail
//    (offset 20, no entry), so that appends at the end of the index touch no node entry; a node
//    with a single child holds it as an ordinary entry;
//  - every page of a level linked to its neighbours (prev/next), leaves and nodes alike;
//  - the root page never moves: when it overflows its entries move into two new children and it
//    becomes a node; when it is left with a single child, that child is pulled back into it;
//  - every page as our encoder writes it, its shared prefix the common prefix of all its
//    entries: rewritten whole, or, for an entry added to or removed from a leaf whose prefix
//    stays, spliced into the stored bytes with the same result (index_leaf.h);
//  - a full page splits by moving its left part into a new page placed before it. Where the
//    split falls depends on where the page grew: at its end (ascending appends, the bulk-copy
//    pattern) the left page keeps all it can hold; at its start (descending appends) the old
//    page keeps all it can hold; elsewhere the two halves get equal bytes. So sorted loads fill
//    pages nearly full, as Access does, and random inserts keep pages at least half full;
//  - empty pages other than the root are freed and taken out of the index's usage map; new pages
//    are put into it.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <unordered_map>
#include <vector>

#include "jet/bytes.h"
#include "jet/index_leaf.h"
#include "jet/index_reader.h"
#include "jet/table_def.h"

namespace jet {

class PageAllocator;
class PageFile;

// The bytes of entry `i` as stored before prefix compression: key, 3-byte big-endian data page,
// row byte and, on node pages, the 4-byte big-endian child page.
Bytes IndexEntryBytes(const IndexPage& page, size_t i);
// Entry data the page needs once its shared prefix is taken out.
size_t IndexPageDataSize(const IndexPage& page);
// Writes `page` onto a 4096-byte page image, the exact inverse of DecodeIndexPage: header
// fields, shared prefix, entry mask and entries; the rest of the entry area is zeroed. Bytes
// 8..11 and 26, whose meaning is unknown, are left as they are. Throws std::length_error when
// the entries do not fit.
void EncodeIndexPage(const IndexPage& page, uint8_t* out);

class IndexWriter {
 public:
  // Writes go through `file` inside the caller's operation.
  IndexWriter(PageFile& file, PageAllocator& allocator, const TableDef& def,
              const RealIndexDef& index);
  IndexWriter(const IndexWriter&) = delete;
  IndexWriter& operator=(const IndexWriter&) = delete;

  // True when an entry with exactly this key exists.
  bool ContainsKey(ByteSpan key);
  // Adds the entry, in (key, row) order, and tells whether the index held an entry with the
  // same key before (what ContainsKey would have said). Throws corrupt when the index already
  // holds the entry itself.
  bool Insert(ByteSpan key, RowLocator row);
  // Removes the entry. Throws corrupt when it is absent.
  void Remove(ByteSpan key, RowLocator row);

 private:
  struct Last {
    Bytes key;
    RowLocator row;
  };

  // Decoded pages and leaf layouts, kept while the page's version says its bytes are the ones
  // they were read from.
  struct CachedPage {
    uint32_t version = 0;
    bool valid = false;  // false once Load has handed the page out
    // The page's bytes are EncodeIndexPage's for `page` (it was written by TryWrite, not
    // decoded from what another writer left), so that it can be changed in place.
    bool encoded = false;
    IndexPage page;
  };
  struct CachedLayout {
    uint32_t version = 0;
    bool usable = false;  // the leaf can be searched and grown in place
    LeafLayout layout;
  };
  const IndexPage& Cached(uint32_t page);
  // The cache's entry for the page, made when missing; its contents may be stale.
  CachedPage& Slot(uint32_t page);
  // The decoded page for the caller to change and write: moved out of the cache rather than
  // copied, as the cached copy would be stale once the page is written.
  IndexPage Load(uint32_t page);
  // The layout of a leaf (`raw` its bytes), or null when the leaf must go through decoding.
  CachedLayout* Layout(uint32_t page, const uint8_t* raw);
  // Keeps the caches within their bounds; called where no cached page is referenced.
  void TrimCaches();
  // Writes the page, owned by this index's table; false when its entries overflow it.
  bool TryWrite(IndexPage& page);
  void Write(IndexPage& page);
  // Descends from the root to the leaf where (key, row) belongs, recording the way; returns
  // the leaf's page number.
  uint32_t Descend(ByteSpan key, RowLocator row);
  // Inserts into the leaf in place when that gives the bytes re-encoding it would; false when
  // the leaf must be decoded, changed and re-encoded instead.
  // `known_position`, when given, is where the entry goes in the leaf.
  bool TryInsertInPlace(uint32_t leaf, ByteSpan key, RowLocator row,
                        std::optional<size_t> known_position);
  // Removes the entry from the leaf in place when that gives the bytes re-encoding it would;
  // false when the leaf must be decoded, changed and re-encoded instead (or lacks the entry,
  // which that path reports).
  bool TryRemoveInPlace(uint32_t leaf, ByteSpan key, RowLocator row);
  // An entry that goes first on a leaf with a leaf before it lies between the two leaves and
  // may go on either. It goes last on the one before when that page holds it without a split:
  // a run of ascending inserts at the boundary then fills the page before, instead of each
  // split leaving the new entry alone on a page and the next insert going after it. Moves the
  // recorded way to that leaf and returns it, or 0 when the entry stays where it is.
  uint32_t LeafBeforeTakingEntry(uint32_t leaf, ByteSpan key, RowLocator row,
                                 std::optional<size_t> known_position);
  // Whether an entry with `key` lies next to where (key, row) goes in the leaf Descend found:
  // the answer to ContainsKey without a search of its own, or nullopt when a neighbour lies on
  // another leaf. Sets `position` to the leaf position when the leaf is searched in place.
  std::optional<bool> KeyBesidePosition(uint32_t leaf, ByteSpan key, RowLocator row,
                                        std::optional<size_t>& position);
  // True when the way Descend recorded runs along the first (`last` false) or last child of
  // every node: the leaf is the first or last of the index.
  bool OnEdgeOfTree(bool last);
  // The last ContainsKey that found its key absent: the way it took (path_pages_ and
  // path_positions_ as Descend records them) and the leaf position, reused by an Insert of the
  // same key while no page on the way has changed.
  void RememberProbe(ByteSpan key, size_t position);
  bool ProbeHolds(ByteSpan key) const;
  // Stores the page found at `level` of the recorded way, splitting it when it overflows, and
  // carries a change of its subtree's last entry (`last`, when set) up to the parents.
  // `changed` is the entry position where the page grew, which steers the split.
  void Store(size_t level, IndexPage& page, const Last* last, size_t changed);
  void LastChanged(size_t level, const Last& last);
  // Gives entry `pos` of node `number` the key and row of `last` where the node lies, when that
  // gives the bytes re-encoding it would: the node as our encoder wrote it, its shared prefix
  // unchanged and the entries still fitting. False, and nothing changed, otherwise.
  bool ReplaceNodeEntryInPlace(uint32_t number, size_t pos, const Last& last);
  // True when an entry on the recorded way stands for the page at `level`, so that a change of
  // its last entry reaches a parent: false when it is the root or reached through tails only.
  bool EntryAbove(size_t level);
  void Split(size_t level, IndexPage& page, const Last* last, size_t changed);
  void SplitRoot(IndexPage& root, size_t changed);
  // The page at `level` has no children or entries left: frees it and drops it from its parent.
  void RemovePage(size_t level);
  // Pulls a root's only child into the root, as often as that applies.
  void CollapseRoot();
  // Single-child nodes hold their child as an entry; nodes with more keep the last as the tail.
  void NormalizeNode(IndexPage& node);
  Last SubtreeLast(uint32_t page);
  uint32_t NewPage();
  void FreePage(uint32_t page);
  void SetPrev(uint32_t page, uint32_t prev);
  void SetNext(uint32_t page, uint32_t next);

  PageFile& file_;
  PageAllocator& allocator_;
  uint32_t tdef_page_;
  RowPointer usage_map_;
  uint32_t root_;
  // The way down from the root: the pages, and the child taken on each node (entries.size()
  // stands for the tail).
  std::vector<uint32_t> path_pages_;
  std::vector<size_t> path_positions_;
  // Per level of the tree, the node Descend last searched, its version then and the lower
  // bound found in it.
  struct DescentStep {
    uint32_t page = 0;
    uint32_t version = 0;
    size_t lower_bound = 0;
  };
  std::vector<DescentStep> descent_memo_;
  std::unordered_map<uint32_t, std::unique_ptr<CachedPage>> cache_;
  std::unordered_map<uint32_t, CachedLayout> layouts_;
  // The pages an insert asks for several times over (the nodes on its way, its leaf), found
  // without a hash lookup: direct-mapped by page number to the caches' entries, whose addresses
  // stay put until TrimCaches clears the caches (and these with them).
  static constexpr size_t kMemoSize = 16;
  struct PageMemo {
    uint32_t number = 0;
    CachedPage* slot = nullptr;
  };
  struct LayoutMemo {
    uint32_t number = 0;
    CachedLayout* slot = nullptr;
  };
  std::array<PageMemo, kMemoSize> page_memo_{};
  std::array<LayoutMemo, kMemoSize> layout_memo_{};
  struct Probe {
    bool valid = false;
    Bytes key;
    size_t position = 0;
    std::vector<uint32_t> versions;  // of path_pages_ when it was made
  } probe_;
};

}  // namespace jet
