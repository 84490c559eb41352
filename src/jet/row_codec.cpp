#include "jet/row_codec.h"

#include <algorithm>
#include <cstring>
#include <exception>

#include "jet/error.h"
#include "jet/long_value.h"
#include "jet/page_file.h"
#include "jet/text.h"

namespace jet {
namespace {

constexpr size_t kNumericSize = 17;

template <typename T>
T Load(const uint8_t* p) {
  T v;
  std::memcpy(&v, p, sizeof v);
  return v;
}

// Stored size of a fixed column of a type with a natural size; 0 for the others.
size_t NaturalSize(ColumnType type) {
  switch (type) {
    case ColumnType::kByte:
      return 1;
    case ColumnType::kInt:
      return 2;
    case ColumnType::kLong:
    case ColumnType::kFloat:
      return 4;
    case ColumnType::kMoney:
    case ColumnType::kDouble:
    case ColumnType::kDateTime:
      return 8;
    case ColumnType::kGuid:
      return 16;
    case ColumnType::kNumeric:
      return kNumericSize;
    default:
      return 0;
  }
}

Value DecodeNumeric(const ColumnDef& column, const uint8_t* p) {
  // Sign byte, then the magnitude as four u32 words, most significant word first, each LE.
  Decimal d;
  d.negative = (p[0] & 0x80) != 0;
  d.precision = column.precision;
  d.scale = column.scale;
  d.high = (static_cast<uint64_t>(U32(p + 1)) << 32) | U32(p + 5);
  d.low = (static_cast<uint64_t>(U32(p + 9)) << 32) | U32(p + 13);
  return d;
}

// Whether a row of `row_columns` columns, stored when the table had that many, was written
// with a variable column: then it carries the variable-offset table. Columns numbered at or
// above a row's count were added after it and read as Null (a BOOLEAN as No).
bool HoldsVariableColumn(const TableDef& def, unsigned row_columns) {
  return std::any_of(def.columns.begin(), def.columns.end(), [&](const ColumnDef& c) {
    return c.number < row_columns && !c.is_fixed() && c.type != ColumnType::kBoolean;
  });
}

}  // namespace

Value DecodeScalar(const ColumnDef& column, ByteSpan bytes, uint32_t page) {
  const size_t natural = NaturalSize(column.type);
  if (natural != 0 && bytes.size() < natural) {
    ThrowCorrupt(page, "the value of column '" + column.name + "' is too short");
  }
  const uint8_t* p = bytes.data();
  switch (column.type) {
    case ColumnType::kByte:
      return p[0];
    case ColumnType::kInt:
      return static_cast<int16_t>(U16(p));
    case ColumnType::kLong:
      return static_cast<int32_t>(U32(p));
    case ColumnType::kMoney:
      return Currency{static_cast<int64_t>(U64(p))};
    case ColumnType::kFloat:
      return Load<float>(p);
    case ColumnType::kDouble:
      return Load<double>(p);
    case ColumnType::kDateTime:
      return DateTime{Load<double>(p)};
    case ColumnType::kGuid: {
      Guid g;
      std::memcpy(g.bytes.data(), p, 16);
      return g;
    }
    case ColumnType::kNumeric:
      return DecodeNumeric(column, p);
    case ColumnType::kText:
      return DecodeJetTextUtf8(bytes);
    default:
      return Bytes(bytes.begin(), bytes.end());
  }
}

std::vector<StoredField> SplitRow(const TableDef& def, ByteSpan row, uint32_t page) {
  std::vector<StoredField> fields;
  SplitRowInto(def, row, page, fields);
  return fields;
}

void SplitRowInto(const TableDef& def, ByteSpan row, uint32_t page,
                  std::vector<StoredField>& fields) {
  if (row.size() < 2) ThrowCorrupt(page, "a row is too short to hold its column count");
  const uint8_t* base = row.data();
  const size_t size = row.size();
  const unsigned row_columns = U16(base);
  const size_t mask_bytes = (row_columns + 7) / 8;
  if (2 + mask_bytes > size) ThrowCorrupt(page, "a row's null mask overruns the row");
  const uint8_t* mask = base + size - mask_bytes;

  // Variable-column bookkeeping sits just before the null mask, when the table had variable
  // columns as the row was written. A row stored before the table's first variable column
  // was added has none; its last fixed bytes read as offsets would misplace every column.
  size_t var_count = 0;
  size_t var_table_end = size - mask_bytes;  // one past the entry of var column 0
  size_t eod = var_table_end;
  if (def.var_col_count > 0 &&
      (row_columns >= def.max_cols || HoldsVariableColumn(def, row_columns))) {
    if (size - mask_bytes < 2 + 2) ThrowCorrupt(page, "a row is too short for its variable data");
    var_count = U16(base + size - mask_bytes - 2);
    var_table_end = size - mask_bytes - 2;
    if (2 * (var_count + 1) + 2 > var_table_end) {
      ThrowCorrupt(page, "a row's variable-offset table overruns the row");
    }
    eod = U16(base + var_table_end - 2 * (var_count + 1));
    if (eod > var_table_end - 2 * (var_count + 1)) {
      ThrowCorrupt(page, "a row's variable data overruns its offset table");
    }
  }
  auto var_offset = [&](size_t i) { return U16(base + var_table_end - 2 * (i + 1)); };

  fields.assign(def.columns.size(), StoredField{});
  for (size_t k = 0; k < def.columns.size(); ++k) {
    const ColumnDef& c = def.columns[k];
    StoredField& f = fields[k];
    f.present = c.number < row_columns && ((mask[c.number / 8] >> (c.number % 8)) & 1);
    if (!f.present || c.type == ColumnType::kBoolean) continue;
    if (c.is_fixed()) {
      const size_t start = 2 + static_cast<size_t>(c.fixed_offset);
      const size_t length = NaturalSize(c.type) != 0 ? NaturalSize(c.type) : c.length;
      if (!InBounds(start, length, eod)) {
        ThrowCorrupt(page, "column '" + c.name + "' lies outside its row");
      }
      f.bytes = row.subspan(start, length);
      continue;
    }
    if (c.var_index >= var_count) {
      // Written before this column existed: Null.
      f.present = false;
      continue;
    }
    const size_t start = var_offset(c.var_index);
    const size_t end = c.var_index + 1u < var_count ? var_offset(c.var_index + 1u) : eod;
    if (start > end || end > eod) {
      ThrowCorrupt(page, "column '" + c.name + "' lies outside its row");
    }
    f.bytes = row.subspan(start, end - start);
  }
}

std::vector<Value> DecodeRow(PageFile& file, const TableDef& def, ByteSpan row, uint32_t page,
                             const std::vector<bool>* wanted) {
  // Reading a long value from its own pages may make the page cache let go of the row's page,
  // so the row is decoded from its page first, in column order, and only then are the long
  // values stored elsewhere read, from copies of their definitions. The row itself is not
  // copied. A value that fails in the first pass is reported after the long values before
  // it are read, so the error is the one a decoding in column order meets first.
  // Split into memory kept for the next row: nothing below decodes another row meanwhile.
  thread_local std::vector<StoredField> split;
  SplitRowInto(def, row, page, split);
  const std::vector<StoredField>& fields = split;
  std::vector<Value> values;
  values.reserve(fields.size());
  struct Elsewhere {
    size_t column;
    Bytes definition;
  };
  std::vector<Elsewhere> elsewhere;
  auto long_value = [](const ColumnDef& c, Bytes data) {
    return c.type == ColumnType::kMemo ? Value(DecodeJetTextUtf8(data)) : Value(std::move(data));
  };
  std::exception_ptr failure;
  for (size_t k = 0; k < fields.size(); ++k) {
    const ColumnDef& c = def.columns[k];
    const StoredField& f = fields[k];
    try {
      if (wanted != nullptr && !(*wanted)[k]) {
        values.emplace_back();
      } else if (c.type == ColumnType::kBoolean) {
        values.emplace_back(f.present);
      } else if (!f.present) {
        values.emplace_back();
      } else if (c.is_long_value()) {
        // A present long value with no stored bytes is an empty one. One held in the row (or
        // a definition too short to read) reads no other page.
        if (f.bytes.empty()) {
          values.push_back(long_value(c, Bytes()));
        } else if (f.bytes.size() < kLongValueDefinitionSize ||
                   (U32(f.bytes.data()) & kLongValueInline) != 0) {
          values.push_back(long_value(c, ReadLongValue(file, f.bytes, page)));
        } else {
          elsewhere.push_back({k, Bytes(f.bytes.begin(), f.bytes.end())});
          values.emplace_back();
        }
      } else {
        values.push_back(DecodeScalar(c, f.bytes, page));
      }
    } catch (...) {
      failure = std::current_exception();
      break;
    }
  }
  for (const Elsewhere& e : elsewhere) {
    values[e.column] = long_value(def.columns[e.column], ReadLongValue(file, e.definition, page));
  }
  if (failure) std::rethrow_exception(failure);
  return values;
}

}  // namespace jet
