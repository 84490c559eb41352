// Text collation of the "General" (legacy) sort order (docs/format.md, text keys; the
// database header's sort order 1033, version 0). Index entries of TEXT and MEMO columns hold a sort
// key built from per-character codes; the engine compares text by the same key so that lookups,
// unique checks and ordering agree with the indexes Access builds.
#pragma once

#include <cstdint>
#include <string_view>

#include "jet/value.h"

namespace jet {

// Index keys cover at most this many UTF-16 code units of a text; the rest is ignored.
constexpr size_t kMaxTextKeyChars = 255;

// True for the sort order whose keys this file builds: LCID 1033 (or 0, "neutral") with
// version 0. Indexes of text columns under any other sort order cannot be written.
bool IsGeneralSortOrder(uint16_t lcid, uint8_t version);

// Appends one non-null text column's part of an index key: the flag byte (0x7F ascending,
// 0x80 descending), then the encoded text. Null values are the key encoder's business (a
// single 0x00 / 0xFF flag byte); this writes only non-null text.
void AppendGeneralTextKey(std::u16string_view text, bool ascending, Bytes& out);
// The same for UTF-8 text, as values hold it.
void AppendGeneralTextKey(std::string_view utf8, bool ascending, Bytes& out);

// The ascending key of a text without the flag byte: what CompareText orders by.
Bytes GeneralSortKey(std::string_view utf8);

// Text comparison as the index sees it: <0, 0 or >0 as the General sort keys of `a` and `b`
// compare. Case-insensitive, trailing spaces ignored, only the first 255 characters count.
int CompareText(std::string_view a, std::string_view b);
bool TextEquals(std::string_view a, std::string_view b);

}  // namespace jet
