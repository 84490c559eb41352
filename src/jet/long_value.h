// Long values (MEMO and OLE): a 12-byte definition in the row, with the data inline, on one
// other page, or in a chain of rows on long-value pages.
//
// Format: docs/format.md, long values.
#pragma once

#include <vector>

#include "jet/bytes.h"
#include "jet/value.h"

namespace jet {

class PageFile;

constexpr uint32_t kLongValueInline = 0x80000000;
constexpr uint32_t kLongValueSinglePage = 0x40000000;
constexpr uint32_t kLongValueLengthMask = 0x3FFFFFFF;
constexpr size_t kLongValueDefinitionSize = 12;

// The bytes of the long value whose definition (and inline data) is `stored`, found in a row
// on page `row_page`. Throws corrupt naming the page for a broken definition or chain.
// When `rows` is given, the long-value rows the data came from are appended to it.
Bytes ReadLongValue(PageFile& file, ByteSpan stored, uint32_t row_page,
                    std::vector<RowPointer>* rows = nullptr);

}  // namespace jet
