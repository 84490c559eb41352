#include "jet/long_value.h"

#include <algorithm>
#include <set>

#include "jet/data_page.h"
#include "jet/error.h"
#include "jet/page_file.h"

namespace jet {
namespace {

ByteSpan LongValueRow(PageFile& file, RowPointer where) {
  const uint8_t* page = LoadDataPage(file, where.page);
  const RowSlot slot = ReadSlot(page, where.page, where.row);
  if (slot.deleted()) ThrowCorrupt(where.page, "a long value points at a deleted row");
  return slot.bytes;
}

}  // namespace

Bytes ReadLongValue(PageFile& file, ByteSpan stored, uint32_t row_page,
                    std::vector<RowPointer>* rows) {
  if (stored.size() < kLongValueDefinitionSize) {
    ThrowCorrupt(row_page, "a long-value definition is too short");
  }
  const uint32_t header = U32(stored.data());
  const size_t length = header & kLongValueLengthMask;
  const RowPointer first = RowPointer::FromU32(U32(stored.data() + 4));

  if (header & kLongValueInline) {
    if (length > stored.size() - kLongValueDefinitionSize) {
      ThrowCorrupt(row_page, "an inline long value is longer than its row");
    }
    return Bytes(stored.begin() + kLongValueDefinitionSize,
                 stored.begin() + kLongValueDefinitionSize + length);
  }
  // Nothing stored can be longer than the file that holds it.
  if (length > static_cast<uint64_t>(file.page_count()) * kPageSize) {
    ThrowCorrupt(row_page, "a long value claims more bytes than the file holds");
  }
  if (header & kLongValueSinglePage) {
    const ByteSpan row = LongValueRow(file, first);
    if (rows != nullptr) rows->push_back(first);
    if (row.size() < length) ThrowCorrupt(first.page, "a long value is shorter than its length");
    return Bytes(row.begin(), row.begin() + length);
  }

  // A chain: each row starts with the pointer to the next, then a chunk of data.
  Bytes out;
  out.reserve(length);
  RowPointer at = first;
  // A sound chain visits each row once; a row seen again means the chain loops (else a row
  // that points to itself would repeat its chunk until the length is reached).
  std::set<RowPointer> seen;
  while (out.size() < length) {
    if (at.page == 0) ThrowCorrupt(row_page, "a long-value chain ends early");
    if (!seen.insert(at).second) ThrowCorrupt(at.page, "a long-value chain loops");
    const ByteSpan row = LongValueRow(file, at);
    if (rows != nullptr) rows->push_back(at);
    if (row.size() <= 4) ThrowCorrupt(at.page, "a long-value chain row is empty");
    const size_t take = std::min(row.size() - 4, length - out.size());
    out.insert(out.end(), row.begin() + 4, row.begin() + 4 + take);
    at = RowPointer::FromU32(U32(row.data()));
  }
  return out;
}

}  // namespace jet
