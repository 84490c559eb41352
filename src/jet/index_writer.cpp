// Index pages written (docs/format.md, index pages: layout, entry mask, prefix
// compression, tree shape, tail pages, sibling links).
#include "jet/index_writer.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <functional>
#include <optional>
#include <stdexcept>
#include <string>

#include "jet/error.h"
#include "jet/page_allocator.h"
#include "jet/page_file.h"
#include "jet/usage_map_writer.h"

namespace jet {
namespace {

using namespace index_page;  // NOLINT: the layout constants read best unqualified here

// Keys Jet builds stay far below this; the bound guarantees that any three entries fit a page,
// which every split relies on.
constexpr size_t kMaxKeySize = 1024;
// A deeper tree would need more entries than a file has room for: a loop.
constexpr size_t kMaxDepth = 32;

// Bounds of a writer's caches: decoded pages (mostly nodes, a few kilobytes each) and leaf
// layouts (a few hundred bytes each). Past them the cache starts again, so a writer's memory
// stays the same however large its index grows; a sorted load touches a handful of pages, a
// random one re-reads what it no longer holds.
constexpr size_t kMaxDecodedPages = 512;
constexpr size_t kMaxLayouts = 8192;

// The bytes of an entry as stored before prefix compression, beyond its key: the 3-byte
// big-endian data page, the row byte and, on node pages, the 4-byte big-endian child page.
size_t EntryPointerBytes(const IndexPage& page) { return page.leaf ? 4 : 8; }

// Writes entry `i` as stored before prefix compression (its key, then its pointers) at `out`,
// which has room for it; returns the byte after it.
uint8_t* PutEntryBytes(ByteSpan key, RowLocator row, bool leaf, uint32_t child, uint8_t* out) {
  if (!key.empty()) std::memcpy(out, key.data(), key.size());
  out += key.size();
  *out++ = static_cast<uint8_t>(row.page >> 16);
  *out++ = static_cast<uint8_t>(row.page >> 8);
  *out++ = static_cast<uint8_t>(row.page);
  *out++ = row.row;
  if (!leaf) {
    *out++ = static_cast<uint8_t>(child >> 24);
    *out++ = static_cast<uint8_t>(child >> 16);
    *out++ = static_cast<uint8_t>(child >> 8);
    *out++ = static_cast<uint8_t>(child);
  }
  return out;
}

uint8_t* PutEntryBytes(const IndexPage& page, size_t i, uint8_t* out) {
  const IndexPage::Entry& e = page.entries[i];
  return PutEntryBytes(page.Key(i), e.row, page.leaf, e.child, out);
}

// A page's entries as stored before prefix compression, back to back, with the common
// prefix of each entry and the one before it: all that encoding and splitting measure.
struct FlatEntries {
  Bytes bytes;
  std::vector<uint32_t> starts;  // entry i is bytes [starts[i], starts[i + 1])
  std::vector<uint32_t> shared;  // shared[i]: common prefix of entries i - 1 and i; shared[0] 0

  size_t count() const { return shared.size(); }
  size_t size(size_t i) const { return starts[i + 1] - starts[i]; }
  const uint8_t* data(size_t i) const { return bytes.data() + starts[i]; }
};

// Fills `flat`, whose buffers may hold an earlier page's entries and are reused.
void FlattenInto(const IndexPage& page, FlatEntries& flat) {
  const size_t n = page.entries.size();
  // Sized once and written in place.
  size_t total = 0;
  for (const IndexPage::Entry& e : page.entries) total += e.key_size + EntryPointerBytes(page);
  flat.bytes.resize(total);
  flat.starts.resize(n + 1);
  uint8_t* const begin = flat.bytes.data();
  uint8_t* out = begin;
  for (size_t i = 0; i < n; ++i) {
    flat.starts[i] = static_cast<uint32_t>(out - begin);
    out = PutEntryBytes(page, i, out);
  }
  flat.starts[n] = static_cast<uint32_t>(out - begin);
  flat.shared.assign(n, 0);
  for (size_t i = 1; i < n; ++i) {
    const size_t common = std::min(flat.size(i - 1), flat.size(i));
    flat.shared[i] =
        static_cast<uint32_t>(CommonPrefixBytes(flat.data(i - 1), flat.data(i), common));
  }
}

FlatEntries Flatten(const IndexPage& page) {
  FlatEntries flat;
  FlattenInto(page, flat);
  return flat;
}

// The shared prefix of a page: the common prefix of all its entries, none on a page of one.
size_t SharedPrefix(const FlatEntries& flat) {
  if (flat.count() < 2) return 0;
  size_t prefix = flat.size(0);
  for (size_t i = 1; i < flat.count(); ++i) prefix = std::min<size_t>(prefix, flat.shared[i]);
  return prefix;
}

size_t DataSize(const FlatEntries& flat, size_t prefix) {
  return flat.count() == 0 ? 0 : flat.bytes.size() - (flat.count() - 1) * prefix;
}

// (key, row) order of an entry against a (key, row) pair.
int CompareEntry(const IndexPage& page, size_t i, ByteSpan key, RowLocator row) {
  const int c = CompareKeys(page.Key(i), key);
  if (c != 0) return c;
  const RowLocator r = page.entries[i].row;
  return r == row ? 0 : (r < row ? -1 : 1);
}

// The first entry not below (key, row).
size_t LowerBound(const IndexPage& page, ByteSpan key, RowLocator row) {
  size_t lo = 0, hi = page.entries.size();
  while (lo < hi) {
    const size_t mid = lo + (hi - lo) / 2;
    if (CompareEntry(page, mid, key, row) < 0) {
      lo = mid + 1;
    } else {
      hi = mid;
    }
  }
  return lo;
}

// Whether `pos` is where LowerBound would land: the entries are in order, so it is when the
// entry before lies below (key, row) and the entry at it does not.
bool IsLowerBound(const IndexPage& page, size_t pos, ByteSpan key, RowLocator row) {
  const size_t n = page.entries.size();
  if (pos > n) return false;
  if (pos > 0 && CompareEntry(page, pos - 1, key, row) >= 0) return false;
  return pos == n || CompareEntry(page, pos, key, row) >= 0;
}

void InsertEntry(IndexPage& page, size_t pos, ByteSpan key, RowLocator row, uint32_t child) {
  const uint32_t offset = pos < page.entries.size() ? page.entries[pos].key_offset
                                                    : static_cast<uint32_t>(page.keys.size());
  page.keys.insert(page.keys.begin() + offset, key.begin(), key.end());
  for (size_t i = pos; i < page.entries.size(); ++i) {
    page.entries[i].key_offset += static_cast<uint32_t>(key.size());
  }
  IndexPage::Entry e;
  e.key_offset = offset;
  e.key_size = static_cast<uint32_t>(key.size());
  e.row = row;
  e.child = child;
  page.entries.insert(page.entries.begin() + pos, e);
}

void EraseEntry(IndexPage& page, size_t pos) {
  const IndexPage::Entry e = page.entries[pos];
  page.keys.erase(page.keys.begin() + e.key_offset, page.keys.begin() + e.key_offset + e.key_size);
  page.entries.erase(page.entries.begin() + pos);
  for (size_t i = pos; i < page.entries.size(); ++i) page.entries[i].key_offset -= e.key_size;
}

void SetEntry(IndexPage& page, size_t pos, ByteSpan key, RowLocator row) {
  const Bytes copy(key.begin(), key.end());  // `key` may point into this page
  const uint32_t child = page.entries[pos].child;
  EraseEntry(page, pos);
  InsertEntry(page, pos, copy, row, child);
}

// The page's header with entries [from, to).
IndexPage Slice(const IndexPage& page, size_t from, size_t to) {
  IndexPage out;
  out.number = page.number;
  out.leaf = page.leaf;
  out.prev = page.prev;
  out.next = page.next;
  out.tail = page.tail;
  out.tdef_page = page.tdef_page;
  out.entries.reserve(to - from);
  out.keys.reserve(page.keys.size());
  for (size_t i = from; i < to; ++i) {
    InsertEntry(out, out.entries.size(), page.Key(i), page.entries[i].row, page.entries[i].child);
  }
  return out;
}

// Where an overfull page splits. A leaf keeps entries [0, left_end) on the left and
// [right_begin, n) on the right (right_begin == left_end); a node also sends entry left_end up
// to its parent, its child becoming the left node's tail (right_begin == left_end + 1).
struct SplitPoint {
  size_t left_end = 0;
  size_t right_begin = 0;
};

SplitPoint ChooseSplit(const IndexPage& page, size_t changed) {
  const FlatEntries v = Flatten(page);
  const size_t n = v.count();
  // left_size[b]: data size of entries [0, b); right_size[a]: of entries [a, n).
  std::vector<size_t> left_size(n + 1, 0), right_size(n + 1, 0);
  {
    size_t sum = 0, prefix = SIZE_MAX;
    for (size_t b = 1; b <= n; ++b) {
      sum += v.size(b - 1);
      if (b >= 2) prefix = std::min<size_t>(prefix, v.shared[b - 1]);
      left_size[b] = b == 1 ? sum : sum - (b - 1) * prefix;
    }
  }
  {
    size_t sum = 0, prefix = SIZE_MAX;
    for (size_t a = n; a-- > 0;) {
      sum += v.size(a);
      if (a + 1 < n) prefix = std::min<size_t>(prefix, v.shared[a + 1]);
      const size_t count = n - a;
      right_size[a] = count == 1 ? sum : sum - (count - 1) * prefix;
    }
  }
  // Leaves split at k in [1, n-1]; nodes send entry j in [1, n-2] up, so both halves keep an
  // entry of their own.
  const size_t gap = page.leaf ? 0 : 1;
  const size_t first = 1;
  const size_t last = n >= 2 + gap ? n - 1 - gap : 0;
  std::vector<SplitPoint> valid;
  valid.reserve(last + 1);
  for (size_t k = first; k <= last; ++k) {
    if (left_size[k] <= kEntryCapacity && right_size[k + gap] <= kEntryCapacity) {
      valid.push_back({k, k + gap});
    }
  }
  if (valid.empty()) throw std::logic_error("index page cannot be split");
  if (changed + 1 >= n) return valid.back();  // grew at its end: keep the left page full
  if (changed == 0) return valid.front();     // grew at its start: keep the right page full
  SplitPoint best = valid.front();
  size_t best_gap = SIZE_MAX;
  for (const SplitPoint& s : valid) {
    const size_t l = left_size[s.left_end], r = right_size[s.right_begin];
    const size_t d = l > r ? l - r : r - l;
    if (d < best_gap) {
      best_gap = d;
      best = s;
    }
  }
  return best;
}

}  // namespace

Bytes IndexEntryBytes(const IndexPage& page, size_t i) {
  Bytes out(page.entries[i].key_size + EntryPointerBytes(page));
  PutEntryBytes(page, i, out.data());
  return out;
}

size_t IndexPageDataSize(const IndexPage& page) {
  const FlatEntries flat = Flatten(page);
  return DataSize(flat, SharedPrefix(flat));
}

namespace {

// Encodes the page unless its entries overflow it; false then, and nothing written.
bool EncodeIfFits(const IndexPage& page, const std::function<uint8_t*()>& target) {
  // Every node an insert rewrites comes through here: its flattened entries reuse one set of
  // buffers instead of allocating three per page.
  thread_local FlatEntries flat;
  FlattenInto(page, flat);
  const size_t prefix = SharedPrefix(flat);
  const size_t size = DataSize(flat, prefix);
  if (size > kEntryCapacity) return false;
  uint8_t* out = target();
  out[kOffType] = page.leaf ? kIndexLeafPage : kIndexNodePage;
  out[kOffMarker] = kMarker;
  PutU16(out + kOffFreeSpace, static_cast<uint16_t>(kEntryArea - size));
  PutU32(out + kOffTdefPage, page.tdef_page);
  PutU32(out + kOffPrev, page.prev);
  PutU32(out + kOffNext, page.next);
  PutU32(out + kOffTail, page.leaf ? 0 : page.tail);
  PutU16(out + kOffPrefix, static_cast<uint16_t>(prefix));
  std::memset(out + kOffMask, 0, kPageSize - kOffMask);
  uint8_t* data = out + kOffEntries;
  size_t end = 0;
  for (size_t i = 0; i < flat.count(); ++i) {
    // Entries after the first leave out the prefix they share with it.
    const size_t skip = i == 0 ? 0 : prefix;
    std::memcpy(data + end, flat.data(i) + skip, flat.size(i) - skip);
    end += flat.size(i) - skip;
    out[kOffMask + end / 8] |= static_cast<uint8_t>(1u << (end % 8));
  }
  return true;
}

}  // namespace

void EncodeIndexPage(const IndexPage& page, uint8_t* out) {
  if (!EncodeIfFits(page, [out] { return out; })) {
    throw std::length_error("index entries of " + std::to_string(IndexPageDataSize(page)) +
                            " bytes do not fit page " + std::to_string(page.number));
  }
}

IndexWriter::IndexWriter(PageFile& file, PageAllocator& allocator, const TableDef& def,
                         const RealIndexDef& index)
    : file_(file),
      allocator_(allocator),
      tdef_page_(def.page),
      usage_map_(index.usage_map),
      root_(index.root_page) {}

const IndexPage& IndexWriter::Cached(uint32_t number) {
  // Page versions come from one clock that also ticks on rollbacks, so an equal version means
  // the very bytes the page was decoded from.
  const uint32_t version = file_.PageVersion(number);
  CachedPage* slot = &Slot(number);
  if (slot->valid && slot->version == version) return slot->page;
  slot->page = DecodeIndexPage(number, file_.Page(number), file_.page_count());
  slot->version = version;
  slot->valid = true;
  slot->encoded = false;
  return slot->page;
}

IndexWriter::CachedPage& IndexWriter::Slot(uint32_t number) {
  PageMemo& memo = page_memo_[number % kMemoSize];
  if (memo.slot != nullptr && memo.number == number) return *memo.slot;
  std::unique_ptr<CachedPage>& owned = cache_[number];
  if (!owned) owned = std::make_unique<CachedPage>();
  memo = {number, owned.get()};
  return *owned;
}

IndexWriter::CachedLayout* IndexWriter::Layout(uint32_t number, const uint8_t* raw) {
  const uint32_t version = file_.PageVersion(number);
  LayoutMemo& memo = layout_memo_[number % kMemoSize];
  bool added = false;
  if (memo.slot == nullptr || memo.number != number) {
    auto [it, inserted] = layouts_.try_emplace(number);
    added = inserted;
    memo = {number, &it->second};
  }
  CachedLayout& slot = *memo.slot;
  if (added || slot.version != version) {
    slot.usable = ReadLeafLayout(raw, slot.layout);
    slot.version = version;
  }
  return slot.usable ? &slot : nullptr;
}

void IndexWriter::TrimCaches() {
  if (cache_.size() > kMaxDecodedPages) {
    cache_.clear();
    page_memo_.fill({});
  }
  if (layouts_.size() > kMaxLayouts) {
    layouts_.clear();
    layout_memo_.fill({});
  }
}

IndexPage IndexWriter::Load(uint32_t number) {
  Cached(number);
  CachedPage& slot = Slot(number);
  slot.valid = false;
  return std::move(slot.page);
}

bool IndexWriter::TryWrite(IndexPage& page) {
  page.tdef_page = tdef_page_;
  uint8_t* written = nullptr;
  if (!EncodeIfFits(page, [&] { return written = file_.MutablePage(page.number); })) {
    return false;
  }
  // Leaves are searched and grown where they lie (Layout); only nodes are kept decoded.
  if (page.leaf) return true;
  CachedPage& slot = Slot(page.number);
  slot.version = file_.PageVersion(page.number);
  // Moved, not copied: callers read no more than the page's header fields once it is written.
  slot.page = std::move(page);
  slot.page.prefix_size = U16(written + kOffPrefix);
  slot.valid = true;
  slot.encoded = true;
  return true;
}

void IndexWriter::Write(IndexPage& page) {
  if (!TryWrite(page)) throw std::logic_error("index page overflows after a split");
}

bool IndexWriter::ContainsKey(ByteSpan key) {
  TrimCaches();
  probe_.valid = false;
  path_pages_.clear();
  path_positions_.clear();
  uint32_t number = root_;
  for (size_t depth = 0; depth < kMaxDepth; ++depth) {
    const uint8_t* raw = file_.Page(number);
    path_pages_.push_back(number);
    if (raw[kOffType] == kIndexLeafPage) {
      if (const CachedLayout* slot = Layout(number, raw)) {
        const LeafLayout* layout = &slot->layout;
        const size_t lo = LeafLowerBoundKey(raw, *layout, key);
        const bool found = lo < layout->size() && LeafCompareKey(raw, *layout, lo, key) == 0;
        if (!found) RememberProbe(key, lo);
        return found;
      }
    }
    const IndexPage& page = Cached(number);
    const size_t lo = FirstEntryNotBelow(page, key);
    if (page.leaf) return lo < page.entries.size() && CompareKeys(page.Key(lo), key) == 0;
    path_positions_.push_back(lo);
    if (lo < page.entries.size()) {
      number = page.entries[lo].child;
    } else if (page.tail != 0) {
      number = page.tail;
    } else {
      return false;
    }
  }
  ThrowCorrupt(root_, "index tree deeper than " + std::to_string(kMaxDepth) + " levels");
}

void IndexWriter::RememberProbe(ByteSpan key, size_t position) {
  probe_.key.assign(key.begin(), key.end());
  probe_.position = position;
  probe_.versions.clear();
  for (uint32_t page : path_pages_) probe_.versions.push_back(file_.PageVersion(page));
  probe_.valid = true;
}

bool IndexWriter::ProbeHolds(ByteSpan key) const {
  if (!probe_.valid || CompareKeys(probe_.key, key) != 0) return false;
  for (size_t i = 0; i < path_pages_.size(); ++i) {
    if (file_.PageVersion(path_pages_[i]) != probe_.versions[i]) return false;
  }
  return true;
}

uint32_t IndexWriter::Descend(ByteSpan key, RowLocator row) {
  path_pages_.clear();
  path_positions_.clear();
  uint32_t number = root_;
  for (size_t depth = 0; depth < kMaxDepth; ++depth) {
    path_pages_.push_back(number);
    // Leaves are searched where they lie, or decoded by the caller: never decoded here.
    const uint8_t* raw = file_.Page(number);
    if (raw[kOffType] == kIndexLeafPage) {
      // The leaf is searched, then spliced from the new entry on: asking for all its lines now
      // overlaps their loads instead of waiting for one after another.
      PrefetchPage(raw);
      return number;
    }
    const IndexPage& page = Cached(number);
    if (page.leaf) return number;
    // Rows come in runs that go down the same way: while a node is unchanged, the place found
    // in it last time is checked against its two neighbours instead of searched for again.
    const uint32_t version = file_.PageVersion(number);
    const size_t level = path_positions_.size();
    if (descent_memo_.size() <= level) descent_memo_.resize(level + 1);
    DescentStep& memo = descent_memo_[level];
    size_t pos = 0;
    if (memo.page == number && memo.version == version &&
        IsLowerBound(page, memo.lower_bound, key, row)) {
      pos = memo.lower_bound;
    } else {
      pos = LowerBound(page, key, row);
      memo = {number, version, pos};
    }
    uint32_t child = 0;
    if (pos < page.entries.size()) {
      child = page.entries[pos].child;
    } else if (page.tail != 0) {
      child = page.tail;
    } else if (!page.entries.empty()) {
      // No tail: the last child takes what lies beyond its entry, whose key then changes.
      pos = page.entries.size() - 1;
      child = page.entries[pos].child;
    } else {
      ThrowCorrupt(number, "index node page has no children");
    }
    path_positions_.push_back(pos);
    number = child;
  }
  ThrowCorrupt(root_, "index tree deeper than " + std::to_string(kMaxDepth) + " levels");
}

bool IndexWriter::Insert(ByteSpan key, RowLocator row) {
  if (key.size() > kMaxKeySize) {
    throw Error(kErrUnsupported,
                "An index key of " + std::to_string(key.size()) + " bytes is too long.");
  }
  TrimCaches();
  // A key that ContainsKey just found absent goes where that search ended, whatever its row:
  // no entry on the way down compares equal to it.
  std::optional<size_t> known_position;
  uint32_t leaf_number = 0;
  bool existed = false;
  if (ProbeHolds(key)) {
    leaf_number = path_pages_.back();
    known_position = probe_.position;
  } else {
    leaf_number = Descend(key, row);
    const std::optional<bool> beside = KeyBesidePosition(leaf_number, key, row, known_position);
    if (beside) {
      existed = *beside;
    } else {
      // The entries next to the position lie on other leaves: search for the key itself.
      existed = ContainsKey(key);
      leaf_number = Descend(key, row);
      known_position.reset();
    }
  }
  probe_.valid = false;
  if (const uint32_t before = LeafBeforeTakingEntry(leaf_number, key, row, known_position)) {
    leaf_number = before;
    known_position.reset();
  }
  if (TryInsertInPlace(leaf_number, key, row, known_position)) return existed;
  IndexPage leaf = Load(leaf_number);
  const size_t pos = LowerBound(leaf, key, row);
  if (pos < leaf.entries.size() && CompareEntry(leaf, pos, key, row) == 0) {
    ThrowCorrupt(leaf.number, "index already holds an entry for row " + std::to_string(row.page) +
                                  ":" + std::to_string(row.row));
  }
  InsertEntry(leaf, pos, key, row, 0);
  const Last last{Bytes(key.begin(), key.end()), row};
  const bool is_last = pos + 1 == leaf.entries.size();
  Store(path_pages_.size() - 1, leaf, is_last ? &last : nullptr, pos);
  return existed;
}

uint32_t IndexWriter::LeafBeforeTakingEntry(uint32_t leaf, ByteSpan key, RowLocator row,
                                            std::optional<size_t> known_position) {
  // The deepest node on the way where the way did not take the first child: the leaf before
  // lies under that node's previous child, along the last child of every node below.
  size_t level = path_positions_.size();
  while (level > 0 && path_positions_[level - 1] == 0) --level;
  if (level == 0) return 0;  // the first leaf of the index
  const uint8_t* raw = file_.Page(leaf);
  size_t position = 0;
  if (known_position) {
    position = *known_position;
  } else if (const CachedLayout* slot = Layout(leaf, raw)) {
    position = LeafLowerBound(raw, slot->layout, key, row);
  } else {
    position = LowerBound(Cached(leaf), key, row);
  }
  if (position != 0) return 0;

  std::vector<uint32_t> pages(path_pages_.begin(), path_pages_.begin() + level);
  std::vector<size_t> positions(path_positions_.begin(), path_positions_.begin() + level);
  positions.back() -= 1;
  uint32_t number = Cached(pages.back()).entries[positions.back()].child;
  for (size_t depth = pages.size(); depth < kMaxDepth; ++depth) {
    pages.push_back(number);
    const uint8_t* page_bytes = file_.Page(number);
    if (page_bytes[kOffType] == kIndexLeafPage) break;
    const IndexPage& node = Cached(number);
    if (node.tail != 0) {
      positions.push_back(node.entries.size());
      number = node.tail;
    } else if (!node.entries.empty()) {
      positions.push_back(node.entries.size() - 1);
      number = node.entries.back().child;
    } else {
      ThrowCorrupt(number, "index node page has no children");
    }
  }
  if (pages.size() != path_pages_.size()) return 0;  // not a sound tree: leave it to the way

  const uint32_t before = pages.back();
  const uint8_t* before_bytes = file_.Page(before);
  bool fits = false;
  if (const CachedLayout* slot = Layout(before, before_bytes)) {
    fits = CanInsertInLeaf(before_bytes, slot->layout, slot->layout.size(), key, row);
  }
  if (!fits) {
    // Its shared prefix shrinks (or it is not in our encoder's form): measure it re-encoded.
    IndexPage grown = Cached(before);
    InsertEntry(grown, grown.entries.size(), key, row, 0);
    fits = IndexPageDataSize(grown) <= kEntryCapacity;
  }
  if (!fits) return 0;
  path_pages_ = std::move(pages);
  path_positions_ = std::move(positions);
  return before;
}

std::optional<bool> IndexWriter::KeyBesidePosition(uint32_t leaf, ByteSpan key, RowLocator row,
                                                   std::optional<size_t>& position) {
  // Entries with equal keys sit together in (key, row) order, so an equal key, if any, is
  // right before or right at the place of (key, row).
  size_t pos = 0, n = 0;
  bool before = false, at = false;
  const uint8_t* raw = file_.Page(leaf);
  if (const CachedLayout* slot = Layout(leaf, raw)) {
    const LeafLayout* layout = &slot->layout;
    pos = LeafLowerBound(raw, *layout, key, row);
    position = pos;
    n = layout->size();
    before = pos > 0 && LeafCompareKey(raw, *layout, pos - 1, key) == 0;
    at = pos < n && LeafCompareKey(raw, *layout, pos, key) == 0;
  } else {
    const IndexPage& page = Cached(leaf);
    pos = LowerBound(page, key, row);
    n = page.entries.size();
    before = pos > 0 && CompareKeys(page.Key(pos - 1), key) == 0;
    at = pos < n && CompareKeys(page.Key(pos), key) == 0;
  }
  if (before || at) return true;
  const bool nothing_before = pos > 0 || OnEdgeOfTree(/*last=*/false);
  const bool nothing_after = pos < n || OnEdgeOfTree(/*last=*/true);
  if (nothing_before && nothing_after) return false;
  return std::nullopt;
}

bool IndexWriter::OnEdgeOfTree(bool last) {
  for (size_t level = 0; level < path_positions_.size(); ++level) {
    const IndexPage& node = Cached(path_pages_[level]);
    const size_t pos = path_positions_[level];
    if (!last && pos != 0) return false;
    // The last child is the tail, or without one the last entry's child.
    const size_t last_child = node.tail != 0 ? node.entries.size() : node.entries.size() - 1;
    if (last && pos != last_child) return false;
  }
  return true;
}

bool IndexWriter::TryInsertInPlace(uint32_t leaf, ByteSpan key, RowLocator row,
                                   std::optional<size_t> known_position) {
  const uint8_t* raw = file_.Page(leaf);
  CachedLayout* slot = Layout(leaf, raw);
  if (slot == nullptr) return false;
  LeafLayout* layout = &slot->layout;
  const size_t pos = known_position ? *known_position : LeafLowerBound(raw, *layout, key, row);
  if (pos < layout->size() && LeafCompare(raw, *layout, pos, key, row) == 0) {
    ThrowCorrupt(leaf, "index already holds an entry for row " + std::to_string(row.page) + ":" +
                           std::to_string(row.row));
  }
  if (!CanInsertInLeaf(raw, *layout, pos, key, row)) return false;
  const bool is_last = pos == layout->size();
  // A splice changes the page from the new entry on: only that is declared, so the commit
  // neither copies nor compares the entries before it.
  uint8_t* page = nullptr;
  for (const LeafChange& change : LeafInsertChanges(*layout, pos, key)) {
    if (change.begin == change.end) continue;
    page = change.rewritten ? file_.RewrittenPart(leaf, change.begin, change.end)
                            : file_.MutablePart(leaf, change.begin, change.end);
  }
  InsertInLeaf(page, *layout, pos, key, row, tdef_page_);
  slot->version = file_.PageVersion(leaf);
  const size_t level = path_pages_.size() - 1;
  if (is_last && EntryAbove(level)) LastChanged(level, Last{Bytes(key.begin(), key.end()), row});
  return true;
}

bool IndexWriter::TryRemoveInPlace(uint32_t leaf, ByteSpan key, RowLocator row) {
  const uint8_t* raw = file_.Page(leaf);
  CachedLayout* slot = Layout(leaf, raw);
  if (slot == nullptr) return false;
  LeafLayout* layout = &slot->layout;
  const size_t pos = LeafLowerBound(raw, *layout, key, row);
  if (pos >= layout->size() || LeafCompare(raw, *layout, pos, key, row) != 0) return false;
  if (!CanRemoveFromLeaf(raw, *layout, pos)) return false;
  // The entry before the last becomes the last: the parent's entry for the leaf follows it.
  const size_t level = path_pages_.size() - 1;
  std::optional<Last> last;
  if (pos + 1 == layout->size() && level > 0) {
    last = Last{LeafKey(raw, *layout, pos - 1), LeafRow(raw, *layout, pos - 1)};
  }
  // As for an insert, only the page from the removed entry on is declared.
  uint8_t* page = nullptr;
  for (const LeafChange& change : LeafRemoveChanges(*layout, pos)) {
    if (change.begin == change.end) continue;
    page = change.rewritten ? file_.RewrittenPart(leaf, change.begin, change.end)
                            : file_.MutablePart(leaf, change.begin, change.end);
  }
  RemoveFromLeaf(page, *layout, pos, tdef_page_);
  slot->version = file_.PageVersion(leaf);
  if (last) LastChanged(level, *last);
  return true;
}

void IndexWriter::Remove(ByteSpan key, RowLocator row) {
  TrimCaches();
  probe_.valid = false;
  const uint32_t leaf_number = Descend(key, row);
  const size_t level = path_pages_.size() - 1;
  if (!TryRemoveInPlace(leaf_number, key, row)) {
    IndexPage leaf = Load(leaf_number);
    const size_t pos = LowerBound(leaf, key, row);
    if (pos >= leaf.entries.size() || CompareEntry(leaf, pos, key, row) != 0) {
      ThrowCorrupt(leaf.number, "index has no entry for row " + std::to_string(row.page) + ":" +
                                    std::to_string(row.row) + " where its key belongs");
    }
    const bool was_last = pos + 1 == leaf.entries.size();
    EraseEntry(leaf, pos);
    if (leaf.entries.empty() && level > 0) {
      RemovePage(level);
    } else if (was_last && !leaf.entries.empty()) {
      const size_t n = leaf.entries.size() - 1;
      const Last last{Bytes(leaf.Key(n).begin(), leaf.Key(n).end()), leaf.entries[n].row};
      Store(level, leaf, &last, pos);
    } else {
      Store(level, leaf, nullptr, pos);
    }
  }
  if (level > 0) CollapseRoot();
}

void IndexWriter::Store(size_t level, IndexPage& page, const Last* last, size_t changed) {
  if (!page.leaf) NormalizeNode(page);
  if (TryWrite(page)) {
    if (last != nullptr && level > 0) LastChanged(level, *last);
  } else if (level == 0) {
    SplitRoot(page, changed);
  } else {
    Split(level, page, last, changed);
  }
}

bool IndexWriter::EntryAbove(size_t level) {
  for (; level > 0; --level) {
    if (path_positions_[level - 1] < Cached(path_pages_[level - 1]).entries.size()) return true;
  }
  return false;
}

void IndexWriter::LastChanged(size_t level, const Last& last) {
  const size_t pos = path_positions_[level - 1];
  if (pos >= Cached(path_pages_[level - 1]).entries.size()) {
    // The tail has no entry; the parent's own subtree ends where the tail's does. (Appends at
    // the end of an index come this way every time: the parent is not copied for them.)
    if (level - 1 > 0) LastChanged(level - 1, last);
    return;
  }
  if (ReplaceNodeEntryInPlace(path_pages_[level - 1], pos, last)) {
    // As Store carries it on after writing the parent.
    const IndexPage& parent = Cached(path_pages_[level - 1]);
    const bool parent_last = pos + 1 == parent.entries.size() && parent.tail == 0;
    if (parent_last && level - 1 > 0) LastChanged(level - 1, last);
    return;
  }
  IndexPage parent = Load(path_pages_[level - 1]);
  SetEntry(parent, pos, last.key, last.row);
  const bool parent_last = pos + 1 == parent.entries.size() && parent.tail == 0;
  Store(level - 1, parent, parent_last ? &last : nullptr, pos);
}

bool IndexWriter::ReplaceNodeEntryInPlace(uint32_t number, size_t pos, const Last& last) {
  // A leaf that gains a new last entry changes one entry of its parent: re-encoding the parent
  // would rewrite (and the commit compare) a whole page for it.
  CachedPage& slot = Slot(number);
  if (!slot.valid || !slot.encoded || slot.version != file_.PageVersion(number)) return false;
  IndexPage& node = slot.page;
  const size_t n = node.entries.size();
  // Store would first reshape a node with two or more entries and no tail.
  if (node.leaf || pos >= n || (node.tail == 0 && n >= 2)) return false;
  if (last.key.size() > kMaxKeySize) return false;

  // The new entry as stored before prefix compression.
  std::array<uint8_t, kMaxKeySize + kRowPointerSize + kChildSize> fresh;
  const size_t fresh_size = last.key.size() + kRowPointerSize + kChildSize;
  PutEntryBytes(last.key, last.row, /*leaf=*/false, node.entries[pos].child, fresh.data());
  // Byte j of entry i as stored before prefix compression (j below its size).
  const auto byte_of = [&](size_t i, size_t j) -> uint8_t {
    const IndexPage::Entry& e = node.entries[i];
    if (j < e.key_size) return node.keys[e.key_offset + j];
    j -= e.key_size;
    if (j < 3) return static_cast<uint8_t>(e.row.page >> (8 * (2 - j)));
    if (j == 3) return e.row.row;
    return static_cast<uint8_t>(e.child >> (8 * (7 - j)));
  };
  const auto size_of = [&](size_t i) {
    return node.entries[i].key_size + kRowPointerSize + kChildSize;
  };

  // The encoder's prefix is what all entries share (none on a page of one): it stays exactly
  // when the new entry starts with it and the entries do not all share a byte more.
  const size_t prefix = node.prefix_size;
  if (n >= 2) {
    const size_t other = pos == 0 ? 1 : 0;
    if (fresh_size < prefix) return false;
    for (size_t j = 0; j < prefix; ++j) {
      if (fresh[j] != byte_of(other, j)) return false;
    }
    bool stays = fresh_size == prefix;
    for (size_t i = 0; i < n && !stays; ++i) {
      if (i != pos) stays = size_of(i) == prefix || byte_of(i, prefix) != fresh[prefix];
    }
    if (!stays) return false;
  } else if (prefix != 0) {
    return false;
  }

  // Where the entries' stored bytes lie: entry i after the first leaves the prefix out.
  const auto stored_size = [&](size_t i) { return i == 0 ? size_of(i) : size_of(i) - prefix; };
  size_t start = 0;
  for (size_t i = 0; i < pos; ++i) start += stored_size(i);
  size_t old_end = start;
  for (size_t i = pos; i < n; ++i) old_end += stored_size(i);
  const size_t old_stored = stored_size(pos);
  const size_t skip = pos == 0 ? 0 : prefix;
  const size_t new_stored = fresh_size - skip;
  const size_t new_end = old_end - old_stored + new_stored;
  if (new_end > kEntryCapacity) return false;  // it splits: the decoding path does that

  uint8_t* page = nullptr;
  if (new_stored == old_stored) {
    page = file_.MutablePart(number, static_cast<uint32_t>(kOffEntries + start),
                             static_cast<uint32_t>(kOffEntries + start + new_stored));
    std::memcpy(page + kOffEntries + start, fresh.data() + skip, new_stored);
  } else {
    const size_t top = std::max(old_end, new_end);
    file_.MutablePart(number, static_cast<uint32_t>(kOffFreeSpace),
                      static_cast<uint32_t>(kOffFreeSpace + 2));
    file_.MutablePart(number, static_cast<uint32_t>(kOffMask + start / 8),
                      static_cast<uint32_t>(std::min(kOffMask + top / 8 + 1, kOffEntries)));
    page = file_.RewrittenPart(number, static_cast<uint32_t>(kOffEntries + start),
                               static_cast<uint32_t>(kOffEntries + top));
    uint8_t* data = page + kOffEntries;
    std::memmove(data + start + new_stored, data + start + old_stored,
                 old_end - start - old_stored);
    std::memcpy(data + start, fresh.data() + skip, new_stored);
    if (new_end < old_end) std::memset(data + new_end, 0, old_end - new_end);
    PutU16(page + kOffFreeSpace, static_cast<uint16_t>(kEntryArea - new_end));
    // The mask from the changed entry's start on: bits up to `start` mark the entries before.
    uint8_t* mask = page + kOffMask;
    const size_t first_byte = start / 8;
    mask[first_byte] = static_cast<uint8_t>(mask[first_byte] & ((2u << (start % 8)) - 1));
    std::memset(mask + first_byte + 1, 0, std::min(top / 8 + 1, kMaskSize) - first_byte - 1);
    size_t end = start;
    for (size_t i = pos; i < n; ++i) {
      end += i == pos ? new_stored : stored_size(i);
      mask[end / 8] = static_cast<uint8_t>(mask[end / 8] | (1u << (end % 8)));
    }
  }
  SetEntry(node, pos, last.key, last.row);
  slot.version = file_.PageVersion(number);
  return true;
}

void IndexWriter::Split(size_t level, IndexPage& page, const Last* last, size_t changed) {
  const SplitPoint at = ChooseSplit(page, changed);
  IndexPage left = Slice(page, 0, at.left_end);
  IndexPage right = Slice(page, at.right_begin, page.entries.size());
  // The left part's last entry stands for it in the parent.
  const size_t sep = page.leaf ? at.left_end - 1 : at.left_end;
  const Last separator{Bytes(page.Key(sep).begin(), page.Key(sep).end()), page.entries[sep].row};
  if (!page.leaf) left.tail = page.entries[sep].child;

  left.number = NewPage();
  left.next = page.number;
  right.prev = left.number;
  if (!left.leaf) NormalizeNode(left);
  if (!right.leaf) NormalizeNode(right);
  Write(left);
  Write(right);
  if (left.prev != 0) SetNext(left.prev, left.number);

  IndexPage parent = Load(path_pages_[level - 1]);
  const size_t pos = path_positions_[level - 1];
  const bool was_tail = pos >= parent.entries.size();
  if (!was_tail && last != nullptr) SetEntry(parent, pos, last->key, last->row);
  InsertEntry(parent, pos, separator.key, separator.row, left.number);
  const bool carries_last = was_tail || (pos + 2 == parent.entries.size() && parent.tail == 0);
  Store(level - 1, parent, carries_last ? last : nullptr, pos);
}

void IndexWriter::SplitRoot(IndexPage& root, size_t changed) {
  const SplitPoint at = ChooseSplit(root, changed);
  IndexPage left = Slice(root, 0, at.left_end);
  IndexPage right = Slice(root, at.right_begin, root.entries.size());
  const size_t sep = root.leaf ? at.left_end - 1 : at.left_end;
  if (!root.leaf) left.tail = root.entries[sep].child;
  left.number = NewPage();
  right.number = NewPage();
  left.prev = 0;
  left.next = right.number;
  right.prev = left.number;
  right.next = 0;
  if (!left.leaf) NormalizeNode(left);
  if (!right.leaf) NormalizeNode(right);
  Write(left);
  Write(right);

  IndexPage new_root;
  new_root.number = root_;
  new_root.leaf = false;
  new_root.tail = right.number;
  InsertEntry(new_root, 0, root.Key(sep), root.entries[sep].row, left.number);
  Write(new_root);
}

void IndexWriter::RemovePage(size_t level) {
  FreePage(path_pages_[level]);
  IndexPage parent = Load(path_pages_[level - 1]);
  const size_t pos = path_positions_[level - 1];
  Last last;
  bool last_changed = false;
  if (pos < parent.entries.size()) {
    const bool was_last = pos + 1 == parent.entries.size();
    EraseEntry(parent, pos);
    if (was_last && parent.tail == 0 && !parent.entries.empty()) {
      const size_t n = parent.entries.size() - 1;
      last = {Bytes(parent.Key(n).begin(), parent.Key(n).end()), parent.entries[n].row};
      last_changed = true;
    }
  } else if (!parent.entries.empty()) {
    // The tail went: the last entry's child takes its place.
    const size_t n = parent.entries.size() - 1;
    last = {Bytes(parent.Key(n).begin(), parent.Key(n).end()), parent.entries[n].row};
    last_changed = true;
    parent.tail = parent.entries[n].child;
    EraseEntry(parent, n);
  } else {
    parent.tail = 0;
  }
  if (parent.entries.empty() && parent.tail == 0) {
    if (level - 1 > 0) {
      RemovePage(level - 1);
    } else {
      // The root lost its last child: an empty index is an empty leaf.
      parent.leaf = true;
      Write(parent);
    }
    return;
  }
  Store(level - 1, parent, last_changed ? &last : nullptr, pos);
}

void IndexWriter::CollapseRoot() {
  for (size_t depth = 0; depth < kMaxDepth; ++depth) {
    const IndexPage& root = Cached(root_);
    if (root.leaf) return;
    uint32_t only_child = 0;
    if (root.entries.empty() && root.tail != 0) {
      only_child = root.tail;
    } else if (root.entries.size() == 1 && root.tail == 0) {
      only_child = root.entries[0].child;
    } else {
      return;
    }
    IndexPage child = Load(only_child);
    FreePage(only_child);
    child.number = root_;
    child.prev = 0;
    child.next = 0;
    Write(child);
  }
}

void IndexWriter::NormalizeNode(IndexPage& node) {
  if (node.tail == 0 && node.entries.size() >= 2) {
    const size_t n = node.entries.size() - 1;
    node.tail = node.entries[n].child;
    EraseEntry(node, n);
  } else if (node.tail != 0 && node.entries.empty()) {
    const Last last = SubtreeLast(node.tail);
    InsertEntry(node, 0, last.key, last.row, node.tail);
    node.tail = 0;
  }
}

IndexWriter::Last IndexWriter::SubtreeLast(uint32_t number) {
  for (size_t depth = 0; depth < kMaxDepth; ++depth) {
    const IndexPage& page = Cached(number);
    if (page.leaf) {
      if (page.entries.empty()) ThrowCorrupt(number, "empty index leaf below the root");
      const size_t n = page.entries.size() - 1;
      return {Bytes(page.Key(n).begin(), page.Key(n).end()), page.entries[n].row};
    }
    if (page.tail != 0) {
      number = page.tail;
    } else if (!page.entries.empty()) {
      number = page.entries.back().child;
    } else {
      ThrowCorrupt(number, "index node page has no children");
    }
  }
  ThrowCorrupt(number, "index tree deeper than " + std::to_string(kMaxDepth) + " levels");
}

uint32_t IndexWriter::NewPage() {
  const uint32_t page = allocator_.Allocate();
  UsageMapAdd(file_, allocator_, usage_map_, page);
  return page;
}

void IndexWriter::FreePage(uint32_t number) {
  // Close the gap in the level's chain first: freeing zeroes the header.
  const IndexPage& page = Cached(number);
  if (page.prev != 0) SetNext(page.prev, page.next);
  if (page.next != 0) SetPrev(page.next, page.prev);
  UsageMapRemove(file_, usage_map_, number);
  allocator_.Free(number);
}

// Only the link's four bytes are declared: a split relinks the page before it, which the
// commit would otherwise copy and compare whole.
void IndexWriter::SetPrev(uint32_t page, uint32_t prev) {
  PutU32(file_.MutablePart(page, kOffPrev, kOffPrev + 4) + kOffPrev, prev);
}

void IndexWriter::SetNext(uint32_t page, uint32_t next) {
  PutU32(file_.MutablePart(page, kOffNext, kOffNext + 4) + kOffNext, next);
}

}  // namespace jet
