// Index leaf pages searched, grown and shrunk in place (docs/format.md, index pages: layout, entry
// mask, prefix compression).
#include "jet/index_leaf.h"

#include <algorithm>
#include <bit>
#include <cstring>

#include "jet/index_reader.h"
#include "jet/page_file.h"

namespace jet {
namespace {

using namespace index_page;  // NOLINT: the layout constants read best unqualified here

// An entry as stored before prefix compression, in two pieces: the page's shared prefix (the
// first entry's leading bytes) and the entry's own stored bytes.
struct EntryBytes {
  const uint8_t* head = nullptr;
  size_t head_size = 0;
  const uint8_t* tail = nullptr;
  size_t tail_size = 0;

  size_t size() const { return head_size + tail_size; }
  size_t key_size() const { return size() - kRowPointerSize; }
  uint8_t operator[](size_t j) const { return j < head_size ? head[j] : tail[j - head_size]; }
  RowLocator row() const {
    // The row pointer ends the entry: within its stored part unless the shared prefix reaches
    // into it.
    if (tail_size >= kRowPointerSize || tail_size == 0) {
      const uint8_t* p =
          tail_size == 0 ? head + head_size - kRowPointerSize : tail + tail_size - kRowPointerSize;
      return {U24BE(p), p[3]};
    }
    const size_t k = key_size();
    return {(static_cast<uint32_t>((*this)[k]) << 16) |
                (static_cast<uint32_t>((*this)[k + 1]) << 8) | (*this)[k + 2],
            (*this)[k + 3]};
  }
};

EntryBytes EntryAt(const uint8_t* page, const LeafLayout& layout, size_t i) {
  const uint8_t* data = page + kOffEntries;
  EntryBytes e;
  e.head = data;
  if (i == 0) {
    e.head_size = layout.ends[0];
  } else {
    e.head_size = layout.prefix;
    e.tail = data + layout.ends[i - 1];
    e.tail_size = layout.ends[i] - layout.ends[i - 1];
  }
  return e;
}

// CompareKeys of the entry's key against `key`.
int CompareEntryKey(const EntryBytes& e, ByteSpan key) {
  const size_t k = e.key_size();
  const size_t h = std::min(e.head_size, k);
  if (const int c = CompareKeyBytes(e.head, key.data(), std::min(h, key.size()))) return c;
  if (key.size() < h) return 1;  // `key` is a proper prefix of the entry's key
  const size_t n = std::min(k - h, key.size() - h);
  if (const int c = CompareKeyBytes(e.tail, key.data() + h, n)) return c;
  if (k == key.size()) return 0;
  return k < key.size() ? -1 : 1;
}

void RowBytes(RowLocator row, uint8_t out[kRowPointerSize]) {
  out[0] = static_cast<uint8_t>(row.page >> 16);
  out[1] = static_cast<uint8_t>(row.page >> 8);
  out[2] = static_cast<uint8_t>(row.page);
  out[3] = row.row;
}

// Byte j of the entry (key, row) as stored before prefix compression.
uint8_t NewEntryByte(ByteSpan key, const uint8_t row[kRowPointerSize], size_t j) {
  return j < key.size() ? key[j] : row[j - key.size()];
}

uint64_t LoadLE64(const uint8_t* p) {
  uint64_t v = 0;
  if constexpr (std::endian::native == std::endian::little) {
    std::memcpy(&v, p, sizeof v);
  } else {
    for (int i = 7; i >= 0; --i) v = (v << 8) | p[i];
  }
  return v;
}
void StoreLE64(uint8_t* p, uint64_t v) {
  if constexpr (std::endian::native == std::endian::little) {
    std::memcpy(p, &v, sizeof v);
  } else {
    for (int i = 0; i < 8; ++i) p[i] = static_cast<uint8_t>(v >> (8 * i));
  }
}

// Adds `delta` to each of `count` entry ends, four at a time: the ends stay below 4096, so
// no sum carries into the next 16-bit lane of a 64-bit word, whatever the byte order.
void AddToEnds(uint16_t* ends, size_t count, uint16_t delta) {
  const uint64_t deltas = delta * uint64_t{0x0001000100010001};
  size_t i = 0;
  for (; i + 4 <= count; i += 4) {
    uint64_t four;
    std::memcpy(&four, ends + i, sizeof four);
    four += deltas;
    std::memcpy(ends + i, &four, sizeof four);
  }
  for (; i < count; ++i) ends[i] = static_cast<uint16_t>(ends[i] + delta);
}

// Splicing `shift` bytes in after data byte `at` moves every entry end in (at, old_end] up by
// that much, and the new entry ends at `at + shift`. The mask is shifted in place, eight bytes
// at a time from the top down (each word read before the bytes below it are written), where
// moving entry by entry would cost a read and write of the mask for each entry after it.
void ShiftMaskAbove(uint8_t* mask, size_t at, size_t old_end, size_t shift) {
  const size_t q = shift / 8, r = shift % 8;
  // Mask byte j moved up by `shift` bits: bits of bytes j - q and j - q - 1.
  const auto shifted = [&](size_t j) -> uint8_t {
    const unsigned high = j >= q ? mask[j - q] : 0;
    const unsigned low = j >= q + 1 ? mask[j - q - 1] : 0;
    return static_cast<uint8_t>((high << r) | (low >> (8 - r)));
  };
  const size_t new_end = at + shift;
  const size_t top = (old_end + shift) / 8;  // the highest byte with a bit once shifted
  // Bytes above the new entry's end hold nothing but moved bits.
  size_t j = top + 1;
  const size_t moved_only = new_end / 8 + 1;
  for (; j >= moved_only + 8; j -= 8) {
    const size_t b = j - 8;
    const uint64_t low = r == 0 ? 0 : mask[b - q - 1] >> (8 - r);
    StoreLE64(mask + b, (LoadLE64(mask + b - q) << r) | low);
  }
  for (; j > moved_only; --j) mask[j - 1] = shifted(j - 1);
  // Below: bits up to `at` stay, those in (at, at + shift) are cleared, and the new end is set.
  for (size_t k = std::min(j, new_end / 8 + 1); k-- > (at + 1) / 8;) {
    uint8_t v = shifted(k);
    for (int bit = 0; bit < 8; ++bit) {
      const size_t p = 8 * k + static_cast<size_t>(bit);
      const uint8_t m = static_cast<uint8_t>(1u << bit);
      if (p <= at) {
        v = static_cast<uint8_t>((v & ~m) | (mask[k] & m));
      } else if (p <= new_end) {
        v = static_cast<uint8_t>(p == new_end ? v | m : v & ~m);
      }
    }
    mask[k] = v;
  }
}

// Taking `shift` data bytes out after data byte `at`: every mask bit above `at` takes the bit
// `shift` places above it (bits past the mask are zero), a byte at a time from the bottom up,
// so each byte read lies at or above the one written. The removed entry's own end bit must be
// cleared first.
void ShiftMaskDownAbove(uint8_t* mask, size_t at, size_t old_end, size_t shift) {
  const size_t q = shift / 8, r = shift % 8;
  const auto byte = [&](size_t j) -> unsigned { return j < kMaskSize ? mask[j] : 0; };
  for (size_t k = at / 8; k <= old_end / 8; ++k) {
    const unsigned low = byte(k + q) >> r;
    const unsigned high = r == 0 ? 0 : byte(k + q + 1) << (8 - r);
    uint8_t v = static_cast<uint8_t>(low | high);
    if (k == at / 8) {
      // Bits up to `at` stay as they are.
      const uint8_t keep = static_cast<uint8_t>((2u << (at % 8)) - 1);
      v = static_cast<uint8_t>((v & ~keep) | (mask[k] & keep));
    }
    mask[k] = v;
  }
}

// Where taking out entry `pos` cuts the data: `shift` bytes after data byte `at`. Past the
// first entry that is its stored part; the first entry goes by keeping its shared prefix, which
// with the second entry's stored part after it makes the second entry whole.
struct RemovedBytes {
  size_t at;
  size_t shift;
};
RemovedBytes RemovedPart(const LeafLayout& layout, size_t pos) {
  if (pos == 0) return {layout.prefix, layout.ends[0] - size_t{layout.prefix}};
  return {layout.ends[pos - 1], size_t{layout.ends[pos]} - layout.ends[pos - 1]};
}

}  // namespace

namespace {

// The entry ends from the mask; false for a page that is not a leaf, or a prefix or an entry
// end outside the entry area.
bool ReadLeafEnds(const uint8_t* page, LeafLayout& layout) {
  layout.ends.clear();
  if (page[kOffType] != kIndexLeafPage) return false;
  layout.prefix = U16(page + kOffPrefix);
  if (layout.prefix > kEntryArea) return false;
  const uint8_t* mask = page + kOffMask;
  for (size_t byte = 0; byte < kMaskSize; byte += 8) {
    uint64_t word = 0;
    const size_t width = std::min<size_t>(8, kMaskSize - byte);
    for (size_t b = 0; b < width; ++b) word |= static_cast<uint64_t>(mask[byte + b]) << (8 * b);
    while (word != 0) {
      const size_t end = byte * 8 + static_cast<size_t>(__builtin_ctzll(word));
      if (end == 0 || end > kEntryArea) return false;
      layout.ends.push_back(static_cast<uint16_t>(end));
      word &= word - 1;
    }
  }
  return true;
}

// Every entry holds the shared prefix (the first) or its row pointer once the prefix is put
// back (the others).
bool EntriesHoldRowPointers(const LeafLayout& layout) {
  const size_t n = layout.size();
  if (n == 0) return true;
  if (layout.ends[0] < std::max<size_t>(layout.prefix, kRowPointerSize)) return false;
  for (size_t i = 1; i < n; ++i) {
    if (size_t{layout.prefix} + layout.ends[i] - layout.ends[i - 1] < kRowPointerSize) return false;
  }
  return true;
}

bool KeysInOrder(const uint8_t* page, const LeafLayout& layout) {
  const size_t n = layout.size();
  for (size_t i = 1; i < n; ++i) {
    const EntryBytes previous = EntryAt(page, layout, i - 1);
    const EntryBytes current = EntryAt(page, layout, i);
    const size_t prefix = layout.prefix;
    if (i >= 2 && previous.key_size() >= prefix && current.key_size() >= prefix) {
      // Both keys start with the whole shared prefix: their stored parts decide.
      const size_t kp = previous.key_size() - prefix, kc = current.key_size() - prefix;
      const int c = CompareKeyBytes(current.tail, previous.tail, std::min(kp, kc));
      if (c < 0 || (c == 0 && kc < kp)) return false;
      continue;
    }
    uint8_t scratch[kEntryArea];
    const size_t k = previous.key_size();
    for (size_t j = 0; j < k; ++j) scratch[j] = previous[j];
    if (CompareEntryKey(current, ByteSpan(scratch, k)) < 0) return false;
  }
  return true;
}

}  // namespace

bool ReadLeafLayout(const uint8_t* page, LeafLayout& layout) {
  if (!ReadLeafEnds(page, layout)) return false;
  const size_t n = layout.ends.size();
  const uint8_t* const unused = page + kOffEntries + layout.data_size();
  layout.zero_after_entries =
      std::all_of(unused, page + kPageSize, [](uint8_t b) { return b == 0; });
  if (n == 0) return layout.prefix == 0;
  if (!EntriesHoldRowPointers(layout)) return false;
  // Our encoder's prefix is everything the entries share (none on a page of one); a page
  // compressed less is not spliced, or the splice would differ from re-encoding it.
  if (n == 1) return layout.prefix == 0;
  const uint8_t* data = page + kOffEntries;
  bool prefix_is_shared_part = layout.ends[0] == layout.prefix;
  for (size_t i = 1; i < n && !prefix_is_shared_part; ++i) {
    if (data[layout.ends[i - 1]] != data[layout.prefix]) prefix_is_shared_part = true;
  }
  if (!prefix_is_shared_part) return false;
  return KeysInOrder(page, layout);
}

bool ReadLeafLayoutForSearch(const uint8_t* page, LeafLayout& layout) {
  layout.zero_after_entries = false;  // not looked at
  return ReadLeafEnds(page, layout) && EntriesHoldRowPointers(layout) && KeysInOrder(page, layout);
}

RowLocator LeafRow(const uint8_t* page, const LeafLayout& layout, size_t i) {
  return EntryAt(page, layout, i).row();
}

bool LeafKeyStartsWith(const uint8_t* page, const LeafLayout& layout, size_t i, ByteSpan prefix) {
  const EntryBytes e = EntryAt(page, layout, i);
  if (e.key_size() < prefix.size()) return false;
  // The key holds at least prefix.size() bytes, so these are all key bytes.
  const size_t h = std::min(e.head_size, prefix.size());
  return CompareKeyBytes(e.head, prefix.data(), h) == 0 &&
         CompareKeyBytes(e.tail, prefix.data() + h, prefix.size() - h) == 0;
}

int LeafCompareKey(const uint8_t* page, const LeafLayout& layout, size_t i, ByteSpan key) {
  return CompareEntryKey(EntryAt(page, layout, i), key);
}

int LeafCompare(const uint8_t* page, const LeafLayout& layout, size_t i, ByteSpan key,
                RowLocator row) {
  const EntryBytes e = EntryAt(page, layout, i);
  if (const int c = CompareEntryKey(e, key)) return c;
  const RowLocator r = e.row();
  return r == row ? 0 : (r < row ? -1 : 1);
}

namespace {

// A binary search's comparisons against one key. Every entry after the first starts with the
// page's shared prefix; where the prefix lies within the entry's key, its part of the
// comparison is the same for all of them, so it is made once.
class LeafSearch {
 public:
  LeafSearch(const uint8_t* page, const LeafLayout& layout, ByteSpan key)
      : page_(page), layout_(layout), key_(key) {
    const size_t n = std::min<size_t>(layout.prefix, key.size());
    head_ = CompareKeyBytes(page + kOffEntries, key.data(), n);
  }

  int CompareKey(size_t i) const { return CompareKey(i, EntryAt(page_, layout_, i)); }

  int Compare(size_t i, RowLocator row) const {
    const EntryBytes e = EntryAt(page_, layout_, i);
    if (const int c = CompareKey(i, e)) return c;
    const RowLocator r = e.row();
    return r == row ? 0 : (r < row ? -1 : 1);
  }

 private:
  int CompareKey(size_t i, const EntryBytes& e) const {
    if (i == 0 || e.key_size() < e.head_size) return CompareEntryKey(e, key_);
    if (head_ != 0) return head_;
    const size_t prefix = e.head_size;
    if (key_.size() < prefix) return 1;  // `key` is a proper prefix of the entry's key
    const size_t k = e.key_size() - prefix;
    const size_t rest = key_.size() - prefix;
    const size_t n = std::min(k, rest);
    if (const int c = CompareKeyBytes(e.tail, key_.data() + prefix, n)) return c;
    if (k == rest) return 0;
    return k < rest ? -1 : 1;
  }

  const uint8_t* page_;
  const LeafLayout& layout_;
  ByteSpan key_;
  int head_ = 0;
};

}  // namespace

size_t LeafLowerBound(const uint8_t* page, const LeafLayout& layout, ByteSpan key, RowLocator row) {
  const LeafSearch search(page, layout, key);
  size_t lo = 0, hi = layout.size();
  while (lo < hi) {
    const size_t mid = lo + (hi - lo) / 2;
    if (search.Compare(mid, row) < 0) {
      lo = mid + 1;
    } else {
      hi = mid;
    }
  }
  return lo;
}

size_t LeafLowerBoundKey(const uint8_t* page, const LeafLayout& layout, ByteSpan key) {
  const LeafSearch search(page, layout, key);
  size_t lo = 0, hi = layout.size();
  while (lo < hi) {
    const size_t mid = lo + (hi - lo) / 2;
    if (search.CompareKey(mid) < 0) {
      lo = mid + 1;
    } else {
      hi = mid;
    }
  }
  return lo;
}

bool CanInsertInLeaf(const uint8_t* page, const LeafLayout& layout, size_t pos, ByteSpan key,
                     RowLocator row) {
  const size_t n = layout.size();
  if (pos == 0 || pos > n) return false;  // a new first entry is stored whole: re-encode
  const size_t size = key.size() + kRowPointerSize;
  const size_t prefix = layout.prefix;
  if (size <= prefix || layout.data_size() + (size - prefix) > kEntryArea) return false;
  uint8_t row_bytes[kRowPointerSize];
  RowBytes(row, row_bytes);
  const uint8_t* first = page + kOffEntries;
  if (n == 1) return NewEntryByte(key, row_bytes, 0) != first[0];  // the prefix stays none
  // The shared prefix stays exactly when the new entry starts with it.
  for (size_t j = 0; j < prefix; ++j) {
    if (NewEntryByte(key, row_bytes, j) != first[j]) return false;
  }
  return true;
}

void InsertInLeaf(uint8_t* page, LeafLayout& layout, size_t pos, ByteSpan key, RowLocator row,
                  uint32_t tdef_page) {
  uint8_t row_bytes[kRowPointerSize];
  RowBytes(row, row_bytes);
  const size_t n = layout.size();
  const size_t prefix = layout.prefix;
  const size_t size = key.size() + kRowPointerSize;
  const size_t stored = size - prefix;
  const size_t old_end = layout.data_size();
  const size_t at = layout.ends[pos - 1];
  uint8_t* data = page + kOffEntries;
  std::memmove(data + at + stored, data + at, old_end - at);
  for (size_t j = prefix; j < size; ++j) data[at + j - prefix] = NewEntryByte(key, row_bytes, j);
  // The encoder leaves nothing after the last entry; a page that already has nothing there
  // keeps it so, as the entries only moved into bytes that were zero.
  if (!layout.zero_after_entries) {
    std::memset(data + old_end + stored, 0, kEntryArea - old_end - stored);
    layout.zero_after_entries = true;
  }

  ShiftMaskAbove(page + kOffMask, at, old_end, stored);
  AddToEnds(layout.ends.data() + pos, n - pos, static_cast<uint16_t>(stored));
  layout.ends.insert(layout.ends.begin() + static_cast<ptrdiff_t>(pos),
                     static_cast<uint16_t>(at + stored));

  page[kOffMarker] = kMarker;
  PutU16(page + kOffFreeSpace, static_cast<uint16_t>(kEntryArea - old_end - stored));
  PutU32(page + kOffTdefPage, tdef_page);
  PutU32(page + kOffTail, 0);
}

std::array<LeafChange, 4> LeafInsertChanges(const LeafLayout& layout, size_t pos, ByteSpan key) {
  const size_t stored = key.size() + kRowPointerSize - layout.prefix;
  const size_t at = layout.ends[pos - 1];
  const size_t new_end = layout.data_size() + stored;
  const size_t cleared_end = layout.zero_after_entries ? new_end : kEntryArea;
  const auto range = [](size_t begin, size_t end, bool rewritten = false) {
    return LeafChange{static_cast<uint32_t>(begin), static_cast<uint32_t>(end), rewritten};
  };
  return {range(0, kHeaderFieldsEnd),
          range(kOffMask + at / 8, std::min(kOffMask + new_end / 8 + 1, kOffEntries)),
          range(kOffEntries + at, kOffEntries + new_end, true),
          range(kOffEntries + new_end, kOffEntries + std::max(cleared_end, new_end))};
}

Bytes LeafKey(const uint8_t* page, const LeafLayout& layout, size_t i) {
  const EntryBytes e = EntryAt(page, layout, i);
  Bytes key(e.key_size());
  for (size_t j = 0; j < key.size(); ++j) key[j] = e[j];
  return key;
}

bool CanRemoveFromLeaf(const uint8_t* page, const LeafLayout& layout, size_t pos) {
  const size_t n = layout.size();
  if (pos >= n || n < 2) return false;  // a page left empty goes, or changes its shape
  if (n == 2) return true;              // the one left is stored whole, without a prefix
  // The entries that stay share the prefix; they share more exactly when every one of them
  // has a byte after it, the same byte.
  const uint8_t* data = page + kOffEntries;
  const size_t prefix = layout.prefix;
  // The byte after the prefix in entry i, or -1 when the entry ends there.
  const auto after_prefix = [&](size_t i) -> int {
    if (i == 0) return layout.ends[0] > prefix ? data[prefix] : -1;
    return data[layout.ends[i - 1]];  // an entry past the first stores at least a byte
  };
  const size_t first = pos == 0 ? 1 : 0;
  const int b = after_prefix(first);
  if (b < 0) return true;
  for (size_t i = first + 1; i < n; ++i) {
    if (i != pos && after_prefix(i) != b) return true;
  }
  return false;
}

void RemoveFromLeaf(uint8_t* page, LeafLayout& layout, size_t pos, uint32_t tdef_page) {
  const RemovedBytes cut = RemovedPart(layout, pos);
  const size_t n = layout.size();
  const size_t old_end = layout.data_size();
  const size_t new_end = old_end - cut.shift;
  uint8_t* data = page + kOffEntries;
  std::memmove(data + cut.at, data + cut.at + cut.shift, old_end - cut.at - cut.shift);
  // The encoder leaves nothing after the last entry.
  std::memset(data + new_end, 0, (layout.zero_after_entries ? old_end : kEntryArea) - new_end);

  uint8_t* mask = page + kOffMask;
  const size_t removed_end = layout.ends[pos];
  mask[removed_end / 8] = static_cast<uint8_t>(mask[removed_end / 8] & ~(1u << (removed_end % 8)));
  ShiftMaskDownAbove(mask, cut.at, old_end, cut.shift);
  layout.ends.erase(layout.ends.begin() + static_cast<ptrdiff_t>(pos));
  for (size_t i = pos; i + 1 < n; ++i) {
    layout.ends[i] = static_cast<uint16_t>(layout.ends[i] - cut.shift);
  }
  if (layout.size() < 2) layout.prefix = 0;
  layout.zero_after_entries = true;

  page[kOffMarker] = kMarker;
  PutU16(page + kOffFreeSpace, static_cast<uint16_t>(kEntryArea - new_end));
  PutU32(page + kOffTdefPage, tdef_page);
  PutU32(page + kOffTail, 0);
  PutU16(page + kOffPrefix, layout.prefix);
}

std::array<LeafChange, 4> LeafRemoveChanges(const LeafLayout& layout, size_t pos) {
  const RemovedBytes cut = RemovedPart(layout, pos);
  const size_t old_end = layout.data_size();
  const size_t new_end = old_end - cut.shift;
  const size_t cleared_end = layout.zero_after_entries ? old_end : kEntryArea;
  const auto range = [](size_t begin, size_t end, bool rewritten = false) {
    return LeafChange{static_cast<uint32_t>(begin), static_cast<uint32_t>(end), rewritten};
  };
  return {range(0, kOffPrefix + 2),
          range(kOffMask + cut.at / 8, std::min(kOffMask + old_end / 8 + 1, kOffEntries)),
          range(kOffEntries + cut.at, kOffEntries + new_end, true),
          range(kOffEntries + new_end, kOffEntries + cleared_end)};
}

}  // namespace jet
