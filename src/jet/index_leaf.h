// Index leaf pages worked on as stored (docs/format.md, index pages: layout, entry mask,
// prefix compression): searched without decoding the page, and grown by one entry in place.
//
// Re-encoding a whole page for every entry added costs far more than the entry; most inserts
// (every append of a sorted load, and most inserts anywhere) leave the page's shared prefix as it
// is, so the new entry can be spliced into the stored bytes. The splice is only made when its
// result is byte for byte what EncodeIndexPage would write for the grown page; anything else
// (a prefix that shrinks, a new first entry, a page that overflows, a page not in the form our
// encoder gives, such as Access's own) is left to the writer's decode, change and re-encode path.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "jet/bytes.h"
#include "jet/table_def.h"

namespace jet {

using RowLocator = RowPointer;

// Where a leaf's entries lie: the shared prefix, and for each entry the data offset just past
// it (the entry mask's bits).
struct LeafLayout {
  uint16_t prefix = 0;
  std::vector<uint16_t> ends;
  bool zero_after_entries = false;  // every byte after the last entry is zero

  size_t size() const { return ends.size(); }
  size_t data_size() const { return ends.empty() ? 0 : ends.back(); }
};

// Reads a leaf's layout. False when the page is not a leaf to work on in place: not a leaf, a
// mask or prefix outside the page, an entry too short for its row pointer, keys out of order,
// or a shared prefix other than the one our encoder would choose. The decoding path reports
// (or rewrites) those pages.
bool ReadLeafLayout(const uint8_t* page, LeafLayout& layout);
// Reads a leaf's layout for searching only: as ReadLeafLayout, but any shared prefix will do
// (Access's pages too), and zero_after_entries is not worked out.
bool ReadLeafLayoutForSearch(const uint8_t* page, LeafLayout& layout);

// The first entry not below (key, row), in the index's (key, row) order.
size_t LeafLowerBound(const uint8_t* page, const LeafLayout& layout, ByteSpan key, RowLocator row);
// The first entry whose key is not below `key`.
size_t LeafLowerBoundKey(const uint8_t* page, const LeafLayout& layout, ByteSpan key);
// Entry `i` against (key, row) / against `key` alone: <0, 0, >0.
int LeafCompare(const uint8_t* page, const LeafLayout& layout, size_t i, ByteSpan key,
                RowLocator row);
int LeafCompareKey(const uint8_t* page, const LeafLayout& layout, size_t i, ByteSpan key);
// Entry `i`'s row locator; whether its key starts with `prefix`.
RowLocator LeafRow(const uint8_t* page, const LeafLayout& layout, size_t i);
bool LeafKeyStartsWith(const uint8_t* page, const LeafLayout& layout, size_t i, ByteSpan prefix);

// True when (key, row) can go in at `pos` in place: not the first entry, the shared prefix
// unchanged, and room on the page.
bool CanInsertInLeaf(const uint8_t* page, const LeafLayout& layout, size_t pos, ByteSpan key,
                     RowLocator row);
// Inserts (key, row) at `pos` (CanInsertInLeaf must hold) and updates `layout`. The header is
// written as the encoder writes it, owner `tdef_page` included.
void InsertInLeaf(uint8_t* page, LeafLayout& layout, size_t pos, ByteSpan key, RowLocator row,
                  uint32_t tdef_page);

// The bytes of the page InsertInLeaf(page, layout, pos, key, ...) changes, as [begin, end)
// ranges: the header, the part of the entry mask from the new entry on, the entry data from the
// new entry on (`rewritten`: moved up, so it differs nearly everywhere), and the bytes after the
// entries that it clears (possibly none).
struct LeafChange {
  uint32_t begin;
  uint32_t end;
  bool rewritten = false;
};
std::array<LeafChange, 4> LeafInsertChanges(const LeafLayout& layout, size_t pos, ByteSpan key);

// Entry `i`'s key.
Bytes LeafKey(const uint8_t* page, const LeafLayout& layout, size_t i);

// True when entry `pos` can be taken out in place: an entry stays, and the entries that stay
// share the page's prefix and no more (or, one alone, keep no prefix). Taking out the first
// entry is fine: the second, stored whole, is the shared prefix followed by its stored part.
bool CanRemoveFromLeaf(const uint8_t* page, const LeafLayout& layout, size_t pos);
// Takes entry `pos` out (CanRemoveFromLeaf must hold) and updates `layout`. The header is
// written as the encoder writes it, owner `tdef_page` included.
void RemoveFromLeaf(uint8_t* page, LeafLayout& layout, size_t pos, uint32_t tdef_page);
// The bytes of the page RemoveFromLeaf(page, layout, pos, ...) changes: the header with the
// prefix, the part of the entry mask from the removed entry on, the entry data from there on
// (`rewritten`: moved down), and the bytes after the entries that it clears.
std::array<LeafChange, 4> LeafRemoveChanges(const LeafLayout& layout, size_t pos);

}  // namespace jet
