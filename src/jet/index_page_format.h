// The stored layout of index pages (leaf 0x04, node 0x03; docs/format.md, index pages): what
// the reader, the in-place leaf splicer and the writer agree on.
//
// A page is a 480-byte header holding the entry mask, then the entries back to back. Bit p of
// the mask (least significant bit first within each byte) set means an entry ends at data byte
// p, counted from kOffEntries; the first entry starts at 0. Entries after the first are stored
// without the page's shared prefix, which is the first entry's first prefix bytes.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>

#include "jet/page_file.h"

namespace jet {

// Page types (offset 0).
constexpr uint8_t kIndexNodePage = 0x03;
constexpr uint8_t kIndexLeafPage = 0x04;

namespace index_page {

// Header.
constexpr size_t kOffType = 0;       // kIndexNodePage or kIndexLeafPage
constexpr size_t kOffMarker = 1;     // kMarker
constexpr size_t kOffFreeSpace = 2;  // u16 entry area left: 3616 - end of the last entry
constexpr size_t kOffTdefPage = 4;   // u32 owning table's tdef page
constexpr uint8_t kMarker = 0x01;
// Bytes 8..11 and 26 have no known meaning; our encoder leaves them as they are.
constexpr size_t kOffPrev = 12;    // u32 previous page at this level, 0 = none
constexpr size_t kOffNext = 16;    // u32 next page at this level, 0 = none
constexpr size_t kOffTail = 20;    // u32 node pages: last child, which has no entry; 0 on leaves
constexpr size_t kOffPrefix = 24;  // u16 bytes every entry shares with the first entry
constexpr size_t kHeaderFieldsEnd = kOffTail + 4;  // the fields a leaf insert rewrites

// Entry mask and entries.
constexpr size_t kOffMask = 27;
constexpr size_t kMaskSize = 453;
constexpr size_t kOffEntries = 480;
constexpr size_t kEntryArea = kPageSize - kOffEntries;
// Entry data a page holds at most: the entry area, and no further than the mask can mark.
constexpr size_t kEntryCapacity = std::min(kEntryArea, kMaskSize * 8);
static_assert(kOffMask + kMaskSize == kOffEntries);
static_assert(kEntryCapacity == 3616);

// Every entry ends with its row's 3-byte big-endian data page and 1-byte row; node entries
// then add the 4-byte big-endian child page.
constexpr size_t kRowPointerSize = 4;
constexpr size_t kChildSize = 4;

}  // namespace index_page
}  // namespace jet
