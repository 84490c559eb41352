#include "jet/row_encoder.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <optional>
#include <span>
#include <stdexcept>
#include <string>
#include <string_view>

#include "jet/data_page_writer.h"
#include "jet/error.h"
#include "jet/text.h"
#include "jet/value_convert.h"

namespace jet {
namespace {

constexpr size_t kNumericSize = 17;
// Longer text is stored plain: readers of MEMO values expect no compression beyond this.
constexpr size_t kMaxCompressedChars = 1024;

[[noreturn]] void ThrowConversion(const ColumnDef& column, const Value& value) {
  throw Error(kErrConversion, "Data type conversion error: " + DebugString(value) +
                                  " cannot be stored in " + ColumnTypeName(column.type) +
                                  " field '" + column.name + "'.");
}

[[noreturn]] void ThrowTooLong(const ColumnDef& column) {
  throw Error(kErrFieldTooSmall, "The field '" + column.name +
                                     "' is too small to accept the amount of data you "
                                     "attempted to add.");
}

int64_t IntegerIn(const ColumnDef& column, const Value& value, int64_t lo, int64_t hi) {
  const auto i = AsInteger(value);
  if (!i || *i < lo || *i > hi) ThrowConversion(column, value);
  return *i;
}

template <typename T>
void Raw(T v, Bytes& out) {
  out.resize(sizeof v);
  std::memcpy(out.data(), &v, sizeof v);
}

void Little(uint64_t v, size_t size, Bytes& out) {
  out.resize(size);
  for (size_t i = 0; i < size; ++i) out[i] = static_cast<uint8_t>(v >> (8 * i));
}

// NUMERIC: the magnitude at the column's scale (extra digits rounded half away from zero, as
// Jet rounds what it stores); sign byte, then the four words most significant first, each LE.
void EncodeNumeric(const ColumnDef& column, const Value& value, Bytes& out) {
  const auto d = DecimalAtScale(value, column.scale);
  if (!d) ThrowConversion(column, value);
  out.assign(kNumericSize, 0);
  out[0] = d->negative ? 0x80 : 0x00;
  for (int i = 0; i < 4; ++i) PutU32(out.data() + 1 + 4 * i, d->words[i]);
}

// Text whose bytes are all in 0x01..0x7F is its own UTF-16, a character a byte: stored the
// way EncodeJetText stores those characters, without converting it first. False for other
// text, and for fixed-length columns, which go the general way.
bool EncodeAsciiText(const ColumnDef& column, std::string_view text, Bytes& out) {
  if (column.is_fixed()) return false;
  // Eight bytes at a time: none has its top bit set, and none is zero.
  constexpr uint64_t kLow = 0x0101010101010101, kHigh = 0x8080808080808080;
  size_t i = 0;
  for (; i + 8 <= text.size(); i += 8) {
    uint64_t w;
    std::memcpy(&w, text.data() + i, sizeof w);
    if ((w & kHigh) != 0 || ((w - kLow) & ~w & kHigh) != 0) return false;
  }
  for (; i < text.size(); ++i) {
    const char ch = text[i];
    if (ch <= 0 || static_cast<unsigned char>(ch) >= 0x80) return false;
  }
  if (2 * text.size() > column.length) ThrowTooLong(column);
  if (column.is_compressed_unicode() && text.size() > 2 && text.size() <= kMaxCompressedChars) {
    out.resize(2 + text.size());
    out[0] = 0xFF;
    out[1] = 0xFE;
    std::memcpy(out.data() + 2, text.data(), text.size());
    return true;
  }
  out.resize(2 * text.size());
  uint8_t* p = out.data();
  for (const char ch : text) {
    *p++ = static_cast<uint8_t>(ch);
    *p++ = 0;
  }
  return true;
}

void EncodeText(const ColumnDef& column, const Value& value, Bytes& out) {
  if (!value.Is<std::string>()) ThrowConversion(column, value);
  if (EncodeAsciiText(column, value.As<std::string>(), out)) return;
  std::u16string text = Utf8ToUtf16(value.As<std::string>());
  if (2 * text.size() > column.length) ThrowTooLong(column);
  if (!column.is_fixed()) {
    out = EncodeJetText(column, text);
    return;
  }
  // Fixed-length text fills its field: padded with spaces and never compressed.
  text.resize(column.length / 2, u' ');
  out.assign(column.length, 0);
  for (size_t i = 0; i < text.size(); ++i) PutU16(out.data() + 2 * i, text[i]);
}

void EncodeBinary(const ColumnDef& column, const Value& value, Bytes& out) {
  if (!value.Is<Bytes>()) ThrowConversion(column, value);
  const Bytes& b = value.As<Bytes>();
  if (b.size() > column.length) ThrowTooLong(column);
  out.assign(b.begin(), b.end());
  if (column.is_fixed()) out.resize(column.length, 0);
}

}  // namespace

Bytes EncodeJetText(const ColumnDef& column, std::u16string_view text) {
  bool compress =
      column.is_compressed_unicode() && text.size() > 2 && text.size() <= kMaxCompressedChars;
  for (size_t i = 0; compress && i < text.size(); ++i) {
    compress = text[i] >= 0x01 && text[i] <= 0xFF;
  }
  Bytes out;
  if (compress) {
    out.reserve(2 + text.size());
    out.push_back(0xFF);
    out.push_back(0xFE);
    for (char16_t ch : text) out.push_back(static_cast<uint8_t>(ch));
    return out;
  }
  out.resize(2 * text.size());
  for (size_t i = 0; i < text.size(); ++i) PutU16(out.data() + 2 * i, text[i]);
  return out;
}

Bytes EncodeScalar(const ColumnDef& column, const Value& value) {
  Bytes out;
  EncodeScalarTo(column, value, out);
  return out;
}

void EncodeScalarTo(const ColumnDef& column, const Value& value, Bytes& out) {
  if (value.IsNull()) throw std::logic_error("EncodeScalar: Null is stored in the null mask");
  switch (column.type) {
    case ColumnType::kByte:
      return Little(static_cast<uint64_t>(IntegerIn(column, value, 0, 255)), 1, out);
    case ColumnType::kInt:
      return Little(
          static_cast<uint64_t>(IntegerIn(column, value, std::numeric_limits<int16_t>::min(),
                                          std::numeric_limits<int16_t>::max())),
          2, out);
    case ColumnType::kLong:
      return Little(
          static_cast<uint64_t>(IntegerIn(column, value, std::numeric_limits<int32_t>::min(),
                                          std::numeric_limits<int32_t>::max())),
          4, out);
    case ColumnType::kMoney: {
      int64_t scaled = 0;
      if (value.Is<Currency>()) {
        scaled = value.As<Currency>().scaled;
      } else if (auto i = AsInteger(value); i && std::llabs(*i) < 922337203685477LL) {
        scaled = *i * 10000;
      } else if (auto d = AsDouble(value); d && !value.Is<DateTime>() && std::fabs(*d) < 9.2e14) {
        scaled = std::llround(*d * 10000.0);
      } else {
        ThrowConversion(column, value);
      }
      return Little(static_cast<uint64_t>(scaled), 8, out);
    }
    case ColumnType::kFloat: {
      if (value.Is<float>()) return Raw(value.As<float>(), out);
      const auto d = AsDouble(value);
      if (!d || value.Is<DateTime>()) ThrowConversion(column, value);
      return Raw(static_cast<float>(*d), out);
    }
    case ColumnType::kDouble:
    case ColumnType::kDateTime: {
      const auto d = AsDouble(value);
      if (!d) ThrowConversion(column, value);
      return Raw(*d, out);
    }
    case ColumnType::kGuid: {
      if (!value.Is<Guid>()) ThrowConversion(column, value);
      const auto& g = value.As<Guid>().bytes;
      out.assign(g.begin(), g.end());
      return;
    }
    case ColumnType::kNumeric:
      return EncodeNumeric(column, value, out);
    case ColumnType::kText:
      return EncodeText(column, value, out);
    case ColumnType::kBinary:
    case ColumnType::kUnknown0D:
      return EncodeBinary(column, value, out);
    case ColumnType::kBoolean:
      throw std::logic_error("EncodeScalar: a Yes/No value is stored in the null mask");
    case ColumnType::kMemo:
    case ColumnType::kOle:
      throw std::logic_error("EncodeScalar: long values go through EncodeLongValueBody");
  }
  // Type codes Access 2000 does not write are kept as the bytes the reader handed out.
  if (!value.Is<Bytes>()) ThrowConversion(column, value);
  out = value.As<Bytes>();
}

Bytes EncodeLongValueBody(const ColumnDef& column, const Value& value) {
  if (column.type == ColumnType::kMemo) {
    if (!value.Is<std::string>()) ThrowConversion(column, value);
    return EncodeJetText(column, Utf8ToUtf16(value.As<std::string>()));
  }
  if (column.type == ColumnType::kOle) {
    if (!value.Is<Bytes>()) ThrowConversion(column, value);
    return value.As<Bytes>();
  }
  throw std::logic_error("EncodeLongValueBody: column '" + column.name + "' is no long value");
}

Bytes EncodeRow(const TableDef& def, const std::vector<StoredField>& fields) {
  Bytes row;
  EncodeRowTo(def, fields, row);
  return row;
}

void EncodeRowTo(const TableDef& def, const std::vector<StoredField>& fields, Bytes& row) {
  if (fields.size() != def.columns.size()) {
    throw std::logic_error("EncodeRow: one stored field per live column is needed");
  }
  const uint16_t column_count = def.max_cols;
  const size_t mask_bytes = (column_count + 7u) / 8u;
  row.assign(2 + def.FixedAreaSize(), 0);
  PutU16(row.data(), column_count);

  // Fixed columns at their offsets; the slot stays allocated (zeros) when the value is Null.
  int highest_var = -1;
  for (size_t k = 0; k < fields.size(); ++k) {
    const ColumnDef& c = def.columns[k];
    if (c.number >= column_count) {
      throw std::logic_error("EncodeRow: column '" + c.name + "' lies beyond the column count");
    }
    if (c.type == ColumnType::kBoolean) continue;
    if (!c.is_fixed()) {
      highest_var = std::max<int>(highest_var, c.var_index);
      continue;
    }
    if (!fields[k].present) continue;
    if (2 + static_cast<size_t>(c.fixed_offset) + fields[k].bytes.size() > row.size()) {
      throw std::logic_error("EncodeRow: the value of '" + c.name + "' overruns its fixed slot");
    }
    std::memcpy(row.data() + 2 + c.fixed_offset, fields[k].bytes.data(), fields[k].bytes.size());
  }

  // Variable data in var-index order; every var index up to the highest live one gets an
  // offset entry, Null and deleted columns an empty one.
  if (def.var_col_count > 0) {
    const size_t var_count = static_cast<size_t>(highest_var + 1);
    // The field of each var index; on the stack for all but the widest tables, as rows are
    // encoded once per insert.
    constexpr size_t kStackVars = 64;
    std::array<const StoredField*, kStackVars> stack_slots;
    std::vector<const StoredField*> heap_slots;
    std::span<const StoredField*> slots(stack_slots.data(), std::min(var_count, kStackVars));
    if (var_count > kStackVars) {
      heap_slots.resize(var_count);
      slots = heap_slots;
    }
    std::fill(slots.begin(), slots.end(), nullptr);
    for (size_t k = 0; k < fields.size(); ++k) {
      const ColumnDef& c = def.columns[k];
      if (c.is_fixed() || c.type == ColumnType::kBoolean || !fields[k].present) continue;
      slots[c.var_index] = &fields[k];
    }
    for (const StoredField* field : slots) {
      if (field != nullptr) row.insert(row.end(), field->bytes.begin(), field->bytes.end());
    }
    const size_t eod = row.size();
    // EOD, then the offsets last column first, then the count: read from the row's end.
    const size_t tail = 2 + 2 * var_count + 2;
    if (eod + tail + mask_bytes > kMaxRowSize) {
      throw Error(kErrRecordTooLarge, "Record is too large.");
    }
    row.resize(eod + tail);
    uint8_t* p = row.data() + eod;
    PutU16(p, static_cast<uint16_t>(eod));
    p += 2;
    // Each var column starts where the next one's data begins less its own size.
    size_t offset = eod;
    for (size_t i = var_count; i-- > 0;) {
      if (slots[i] != nullptr) offset -= slots[i]->bytes.size();
      PutU16(p, static_cast<uint16_t>(offset));  // rows are < 4 KB
      p += 2;
    }
    PutU16(p, static_cast<uint16_t>(var_count));
  }
  // The null mask, last: a bit per present column (a BOOLEAN's value).
  const size_t mask_start = row.size();
  row.resize(mask_start + mask_bytes, 0);
  for (size_t k = 0; k < fields.size(); ++k) {
    const uint16_t number = def.columns[k].number;
    if (fields[k].present) row[mask_start + number / 8] |= static_cast<uint8_t>(1u << (number % 8));
  }
  if (row.size() > kMaxRowSize) throw Error(kErrRecordTooLarge, "Record is too large.");
}

}  // namespace jet
