// Index key encoding per column type (docs/format.md, index keys). Each encoder produces bytes
// whose unsigned comparison orders the values the way Jet orders them; descending columns
// flip the bytes so that the same comparison runs backwards.
#include "jet/index_key.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <optional>
#include <string>
#include <string_view>

#include "jet/collation.h"
#include "jet/error.h"
#include "jet/value_convert.h"

namespace jet {
namespace {

// Jet's "data type mismatch in criteria expression".

[[noreturn]] void ThrowMismatch(const ColumnDef& column, const Value& value) {
  throw Error(kErrTypeMismatch, "Data type mismatch: value " + DebugString(value) +
                                    " cannot be used as a key of " + ColumnTypeName(column.type) +
                                    " column '" + column.name + "'.");
}

void FlipBytes(uint8_t* p, size_t n) {
  for (size_t i = 0; i < n; ++i) p[i] = static_cast<uint8_t>(~p[i]);
}

void PutBE(uint8_t* p, uint64_t v, size_t n) {
  for (size_t i = 0; i < n; ++i) p[i] = static_cast<uint8_t>(v >> (8 * (n - 1 - i)));
}

// Integers: big-endian two's complement with the sign bit inverted, so that negative numbers
// sort below positive ones.
void AppendInteger(int64_t v, size_t size, bool ascending, Bytes& out) {
  uint8_t b[8];
  PutBE(b, static_cast<uint64_t>(v), size);
  b[0] ^= 0x80;
  if (!ascending) FlipBytes(b, size);
  out.insert(out.end(), b, b + size);
}

// IEEE numbers: big-endian; non-negative numbers get the sign bit set, negative numbers are
// flipped whole so that larger magnitudes sort lower.
void AppendFloatBits(uint64_t bits, size_t size, bool ascending, Bytes& out) {
  uint8_t b[8];
  PutBE(b, bits, size);
  const bool negative = (b[0] & 0x80) != 0;
  if (!negative) b[0] ^= 0x80;
  if (negative == ascending) FlipBytes(b, size);
  out.insert(out.end(), b, b + size);
}

void AppendDouble(double d, bool ascending, Bytes& out) {
  uint64_t bits;
  std::memcpy(&bits, &d, sizeof bits);
  AppendFloatBits(bits, 8, ascending, out);
}

// Jet 4's ("legacy") decimal rule: sign byte and 16 magnitude bytes big-endian; flipped when
// the sign and the direction agree, then the sign byte replaced. This orders negative numbers
// by magnitude ascending (a known Jet 4 quirk that later versions corrected); the file's
// indexes follow it, so we do too.
void AppendNumeric(const ColumnDef& column, const Value& value, bool ascending, Bytes& out) {
  const auto d = DecimalAtScale(value, column.scale);
  if (!d) ThrowMismatch(column, value);
  uint8_t b[17];
  b[0] = d->negative ? 0x80 : 0x00;
  for (int i = 0; i < 4; ++i) PutBE(b + 1 + 4 * i, d->words[i], 4);
  if (d->negative == ascending) FlipBytes(b, sizeof b);
  b[0] = d->negative ? 0x00 : 0xFF;
  out.insert(out.end(), b, b + sizeof b);
}

// GUID and BINARY: 8-byte segments, each followed by 9 while more data follows; the last one
// zero-padded and followed by its real length. Descending flips the data and the final
// length, but not the 9s between segments.
void AppendSegmented(const uint8_t* data, size_t size, bool ascending, Bytes& out) {
  size_t pos = 0;
  while (size - pos > 8) {
    for (size_t i = 0; i < 8; ++i) {
      out.push_back(ascending ? data[pos + i] : static_cast<uint8_t>(~data[pos + i]));
    }
    out.push_back(0x09);
    pos += 8;
  }
  if (pos == size) return;  // an empty value has no segment at all
  uint8_t segment[9] = {};
  const size_t n = size - pos;
  std::memcpy(segment, data + pos, n);
  segment[8] = static_cast<uint8_t>(n);
  if (!ascending) FlipBytes(segment, sizeof segment);
  out.insert(out.end(), segment, segment + sizeof segment);
}

void AppendText(const ColumnDef& column, const Value& value, bool ascending, Bytes& out) {
  if (!value.Is<std::string>()) ThrowMismatch(column, value);
  if (!IsGeneralSortOrder(column.sort_lcid, column.sort_version)) {
    throw Error(kErrUnsupported, "Column '" + column.name + "' uses sort order " +
                                     std::to_string(column.sort_lcid) + "/" +
                                     std::to_string(column.sort_version) +
                                     ", whose index keys this engine cannot build.");
  }
  AppendGeneralTextKey(std::string_view(value.As<std::string>()), ascending, out);
}

const ColumnDef& IndexedColumn(const TableDef& def, uint16_t number) {
  const ColumnDef* column = def.ColumnByNumber(number);
  if (column == nullptr) {
    ThrowCorrupt(def.page, "index refers to column number " + std::to_string(number) +
                               ", which the table does not have");
  }
  return *column;
}

}  // namespace

void AppendColumnKey(const ColumnDef& column, const Value& value, bool ascending, Bytes& out) {
  // A Yes/No value is never Null in the file; a Null given for one means No.
  if (column.type == ColumnType::kBoolean) {
    bool b = false;
    if (value.Is<bool>()) {
      b = value.As<bool>();
    } else if (auto i = AsInteger(value)) {
      b = *i != 0;
    } else if (!value.IsNull()) {
      ThrowMismatch(column, value);
    }
    out.push_back(ascending ? kKeyAscendingValue : kKeyDescendingValue);
    out.push_back((b == ascending) ? 0x00 : 0xFF);
    return;
  }
  if (value.IsNull()) {
    out.push_back(ascending ? kKeyAscendingNull : kKeyDescendingNull);
    return;
  }
  if (column.type == ColumnType::kText || column.type == ColumnType::kMemo) {
    // The text encoder writes its own flag byte.
    AppendText(column, value, ascending, out);
    return;
  }
  out.push_back(ascending ? kKeyAscendingValue : kKeyDescendingValue);
  switch (column.type) {
    case ColumnType::kByte: {
      const auto i = AsInteger(value);
      if (!i || *i < 0 || *i > 255) ThrowMismatch(column, value);
      out.push_back(ascending ? static_cast<uint8_t>(*i) : static_cast<uint8_t>(~*i));
      return;
    }
    case ColumnType::kInt: {
      const auto i = AsInteger(value);
      if (!i || *i < std::numeric_limits<int16_t>::min() ||
          *i > std::numeric_limits<int16_t>::max()) {
        ThrowMismatch(column, value);
      }
      AppendInteger(*i, 2, ascending, out);
      return;
    }
    case ColumnType::kLong: {
      const auto i = AsInteger(value);
      if (!i || *i < std::numeric_limits<int32_t>::min() ||
          *i > std::numeric_limits<int32_t>::max()) {
        ThrowMismatch(column, value);
      }
      AppendInteger(*i, 4, ascending, out);
      return;
    }
    case ColumnType::kMoney: {
      int64_t scaled = 0;
      if (value.Is<Currency>()) {
        scaled = value.As<Currency>().scaled;
      } else if (auto i = AsInteger(value); i && std::llabs(*i) < 922337203685477LL) {
        scaled = *i * 10000;
      } else if (auto d = AsDouble(value); d && std::fabs(*d) < 9.2e14) {
        scaled = std::llround(*d * 10000.0);
      } else {
        ThrowMismatch(column, value);
      }
      AppendInteger(scaled, 8, ascending, out);
      return;
    }
    case ColumnType::kFloat: {
      float f = 0;
      if (value.Is<float>()) {
        f = value.As<float>();
      } else if (auto d = AsDouble(value); d && !value.Is<DateTime>()) {
        f = static_cast<float>(*d);
      } else {
        ThrowMismatch(column, value);
      }
      uint32_t bits;
      std::memcpy(&bits, &f, sizeof bits);
      AppendFloatBits(bits, 4, ascending, out);
      return;
    }
    case ColumnType::kDouble:
    case ColumnType::kDateTime: {
      const auto d = AsDouble(value);
      if (!d) ThrowMismatch(column, value);
      AppendDouble(*d, ascending, out);
      return;
    }
    case ColumnType::kNumeric:
      AppendNumeric(column, value, ascending, out);
      return;
    case ColumnType::kGuid: {
      if (!value.Is<Guid>()) ThrowMismatch(column, value);
      // Keys hold the GUID in its text order: the three leading fields big-endian, where the
      // file stores them little-endian.
      std::array<uint8_t, 16> b = value.As<Guid>().bytes;
      std::reverse(b.begin(), b.begin() + 4);
      std::reverse(b.begin() + 4, b.begin() + 6);
      std::reverse(b.begin() + 6, b.begin() + 8);
      AppendSegmented(b.data(), b.size(), ascending, out);
      return;
    }
    case ColumnType::kBinary: {
      if (!value.Is<Bytes>()) ThrowMismatch(column, value);
      const Bytes& b = value.As<Bytes>();
      AppendSegmented(b.data(), b.size(), ascending, out);
      return;
    }
    default:
      throw Error(kErrUnsupported, "Column '" + column.name + "' of type " +
                                       ColumnTypeName(column.type) + " cannot be indexed.");
  }
}

Bytes EncodeIndexKey(const RealIndexDef& index, const TableDef& def,
                     const std::vector<Value>& row_values) {
  Bytes key;
  EncodeIndexKeyTo(index, def, row_values, key);
  return key;
}

void EncodeIndexKeyTo(const RealIndexDef& index, const TableDef& def,
                      const std::vector<Value>& row_values, Bytes& key) {
  key.clear();
  for (const IndexColumn& ic : index.columns) {
    // TableDef::columns is sorted by column number, and row values follow that order.
    const auto it =
        std::lower_bound(def.columns.begin(), def.columns.end(), ic.column_number,
                         [](const ColumnDef& c, uint16_t number) { return c.number < number; });
    if (it == def.columns.end() || it->number != ic.column_number) {
      ThrowCorrupt(def.page, "index refers to column number " + std::to_string(ic.column_number) +
                                 ", which the table does not have");
    }
    const ColumnDef& column = *it;
    const size_t position = static_cast<size_t>(it - def.columns.begin());
    if (position >= row_values.size()) {
      throw Error(kErrItemNotFound,
                  "The row has no value for indexed column '" + column.name + "'.");
    }
    AppendColumnKey(column, row_values[position], ic.ascending, key);
  }
}

Bytes EncodeLookupKey(const RealIndexDef& index, const TableDef& def,
                      const std::vector<Value>& values) {
  if (values.size() > index.columns.size()) {
    throw Error(kErrTypeMismatch, "The index has " + std::to_string(index.columns.size()) +
                                      " columns but " + std::to_string(values.size()) +
                                      " values were given.");
  }
  Bytes key;
  for (size_t i = 0; i < values.size(); ++i) {
    const IndexColumn& ic = index.columns[i];
    AppendColumnKey(IndexedColumn(def, ic.column_number), values[i], ic.ascending, key);
  }
  return key;
}

bool IsAllNullKey(ByteSpan key, const RealIndexDef& index) {
  if (key.size() != index.columns.size()) return false;
  for (size_t i = 0; i < key.size(); ++i) {
    if (key[i] != (index.columns[i].ascending ? kKeyAscendingNull : kKeyDescendingNull)) {
      return false;
    }
  }
  return true;
}

}  // namespace jet
