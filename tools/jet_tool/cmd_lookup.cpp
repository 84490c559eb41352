// jet-tool lookup FILE TABLE INDEX VALUE...: the rows an index finds for the given values, as
// CSV lines in index order. Fewer values than index columns match on the leading columns.
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <iostream>

#include "jet/database.h"
#include "jet/error.h"
#include "jet/index_key.h"
#include "jet/index_reader.h"
#include "jet/text.h"
#include "jet_tool/command.h"
#include "jet_tool/csv.h"

namespace jet_tool {
namespace {

std::string Lower(std::string s) {
  for (char& c : s) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return s;
}

[[noreturn]] void BadValue(const jet::ColumnDef& column, const std::string& text,
                           const std::string& expected) {
  throw UsageError{"'" + text + "' is not a valid value for " + jet::ColumnTypeName(column.type) +
                   " column '" + column.name + "' (expected " + expected + ")"};
}

bool ParseInt(std::string_view text, int64_t& out) {
  if (!text.empty() && text[0] == '+') text.remove_prefix(1);
  const auto res = std::from_chars(text.data(), text.data() + text.size(), out);
  return res.ec == std::errc() && res.ptr == text.data() + text.size();
}

bool ParseDouble(const std::string& text, double& out) {
  if (text.empty()) return false;
  char* end = nullptr;
  out = std::strtod(text.c_str(), &end);
  return end == text.c_str() + text.size();
}

// "[-]digits[.digits]" into sign, digit string and count of fraction digits.
bool ParseDecimalText(std::string_view text, bool& negative, std::string& digits, int& scale) {
  negative = false;
  if (!text.empty() && (text[0] == '-' || text[0] == '+')) {
    negative = text[0] == '-';
    text.remove_prefix(1);
  }
  digits.clear();
  scale = -1;
  for (char c : text) {
    if (c == '.' && scale < 0) {
      scale = 0;
    } else if (c >= '0' && c <= '9') {
      digits += c;
      if (scale >= 0) ++scale;
    } else {
      return false;
    }
  }
  if (scale < 0) scale = 0;
  return !digits.empty();
}

int64_t DaysFromCivil(int64_t y, unsigned m, unsigned d) {
  y -= m <= 2;
  const int64_t era = (y >= 0 ? y : y - 399) / 400;
  const unsigned yoe = static_cast<unsigned>(y - era * 400);
  const unsigned doy = (153 * (m > 2 ? m - 3 : m + 9) + 2) / 5 + d - 1;
  const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + static_cast<int64_t>(doe) - 719468;
}

// "YYYY-MM-DD[ HH:MM:SS]" as Access stores it: days since 1899-12-30, the time of day as a
// positive fraction also before that day.
bool ParseDate(const std::string& text, jet::DateTime& out) {
  int y = 0, mo = 0, d = 0, h = 0, mi = 0, s = 0;
  char tail = 0;
  const int n = std::sscanf(text.c_str(), "%d-%d-%d %d:%d:%d%c", &y, &mo, &d, &h, &mi, &s, &tail);
  if (!(n == 3 || n == 6) || mo < 1 || mo > 12 || d < 1 || d > 31 || h < 0 || h > 23 || mi < 0 ||
      mi > 59 || s < 0 || s > 59) {
    return false;
  }
  if (n == 3 && text.find(' ') != std::string::npos) return false;
  const int64_t day = DaysFromCivil(y, static_cast<unsigned>(mo), static_cast<unsigned>(d)) -
                      DaysFromCivil(1899, 12, 30);
  const double fraction = (h * 3600 + mi * 60 + s) / 86400.0;
  out.days = day >= 0 ? static_cast<double>(day) + fraction : static_cast<double>(day) - fraction;
  return true;
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

bool ParseHex(std::string_view text, jet::Bytes& out) {
  if (text.size() % 2 != 0) return false;
  out.clear();
  for (size_t i = 0; i < text.size(); i += 2) {
    const int hi = HexDigit(text[i]), lo = HexDigit(text[i + 1]);
    if (hi < 0 || lo < 0) return false;
    out.push_back(static_cast<uint8_t>(hi * 16 + lo));
  }
  return true;
}

// "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}" (braces optional) into the file's byte order.
bool ParseGuid(std::string_view text, jet::Guid& out) {
  if (text.size() == 38 && text.front() == '{' && text.back() == '}') {
    text = text.substr(1, 36);
  }
  if (text.size() != 36 || text[8] != '-' || text[13] != '-' || text[18] != '-' ||
      text[23] != '-') {
    return false;
  }
  std::string hex;
  for (char c : text) {
    if (c != '-') hex += c;
  }
  jet::Bytes b;
  if (!ParseHex(hex, b)) return false;
  // The first three fields are stored little-endian.
  const int order[16] = {3, 2, 1, 0, 5, 4, 7, 6, 8, 9, 10, 11, 12, 13, 14, 15};
  for (int i = 0; i < 16; ++i) out.bytes[i] = b[order[i]];
  return true;
}

jet::Value ParseValue(const jet::ColumnDef& column, const std::string& text) {
  using jet::ColumnType;
  if (Lower(text) == "null") return jet::Null{};
  int64_t i = 0;
  double d = 0;
  switch (column.type) {
    case ColumnType::kText:
    case ColumnType::kMemo:
      return text;
    case ColumnType::kBoolean: {
      const std::string t = Lower(text);
      if (t == "1" || t == "true" || t == "yes" || t == "-1") return true;
      if (t == "0" || t == "false" || t == "no") return false;
      BadValue(column, text, "1, 0, true or false");
    }
    case ColumnType::kByte:
      if (!ParseInt(text, i) || i < 0 || i > 255) BadValue(column, text, "0 to 255");
      return static_cast<uint8_t>(i);
    case ColumnType::kInt:
      if (!ParseInt(text, i) || i < -32768 || i > 32767) BadValue(column, text, "an Integer");
      return static_cast<int16_t>(i);
    case ColumnType::kLong:
      if (!ParseInt(text, i) || i < INT32_MIN || i > INT32_MAX) BadValue(column, text, "a Long");
      return static_cast<int32_t>(i);
    case ColumnType::kFloat:
      if (!ParseDouble(text, d)) BadValue(column, text, "a number");
      return static_cast<float>(d);
    case ColumnType::kDouble:
      if (!ParseDouble(text, d)) BadValue(column, text, "a number");
      return d;
    case ColumnType::kMoney:
    case ColumnType::kNumeric: {
      bool negative = false;
      std::string digits;
      int scale = 0;
      if (!ParseDecimalText(text, negative, digits, scale)) BadValue(column, text, "a number");
      jet::Decimal dec;
      dec.negative = negative;
      dec.scale = static_cast<uint8_t>(std::min(scale, 255));
      for (char c : digits) {
        // 128-bit magnitude times ten plus the digit; refuse what does not fit.
        const uint64_t lo_hi = (dec.low >> 32) * 10;
        const uint64_t lo_lo = (dec.low & 0xFFFFFFFFu) * 10 + static_cast<uint64_t>(c - '0');
        const uint64_t mid = lo_hi + (lo_lo >> 32);
        if (dec.high > (UINT64_MAX - (mid >> 32)) / 10) BadValue(column, text, "a smaller number");
        dec.high = dec.high * 10 + (mid >> 32);
        dec.low = (mid << 32) | (lo_lo & 0xFFFFFFFFu);
      }
      if (column.type == ColumnType::kNumeric) return dec;
      if (dec.high != 0 || scale > 4) BadValue(column, text, "a Currency amount");
      uint64_t scaled = dec.low;
      for (int s = scale; s < 4; ++s) {
        if (scaled > UINT64_MAX / 10) BadValue(column, text, "a Currency amount");
        scaled *= 10;
      }
      if (scaled > static_cast<uint64_t>(INT64_MAX)) BadValue(column, text, "a Currency amount");
      const int64_t v = static_cast<int64_t>(scaled);
      return jet::Currency{negative ? -v : v};
    }
    case ColumnType::kDateTime: {
      jet::DateTime dt;
      if (!ParseDate(text, dt)) BadValue(column, text, "YYYY-MM-DD or YYYY-MM-DD HH:MM:SS");
      return dt;
    }
    case ColumnType::kGuid: {
      jet::Guid g;
      if (!ParseGuid(text, g)) BadValue(column, text, "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}");
      return g;
    }
    case ColumnType::kBinary: {
      jet::Bytes b;
      if (!ParseHex(text, b)) BadValue(column, text, "hexadecimal bytes");
      return b;
    }
    default:
      BadValue(column, text, "a column type that can be indexed");
  }
}

int RunLookup(const std::vector<std::string>& args) {
  if (args.size() < 4) {
    throw UsageError{"expected a database file, a table, an index name and at least one value"};
  }
  const auto db = jet::Database::Open(args[0]);
  const jet::Table table = db->OpenTable(args[1]);
  const jet::TableDef& def = table.def();

  const jet::LogicalIndexDef* logical = nullptr;
  for (const auto& index : def.indexes) {
    if (jet::NamesEqual(index.name, args[2])) logical = &index;
  }
  if (logical == nullptr) {
    throw UsageError{"table '" + table.name() + "' has no index named '" + args[2] + "'"};
  }
  if (logical->real_index >= def.real_indexes.size()) {
    jet::ThrowCorrupt(def.page, "index '" + logical->name + "' refers to a missing real index");
  }
  const jet::RealIndexDef& real = def.real_indexes[logical->real_index];
  const size_t value_count = args.size() - 3;
  if (value_count > real.columns.size()) {
    throw UsageError{"index '" + logical->name + "' has " + std::to_string(real.columns.size()) +
                     " column(s), but " + std::to_string(value_count) + " values were given"};
  }

  std::vector<jet::Value> values;
  for (size_t i = 0; i < value_count; ++i) {
    const jet::ColumnDef* column = def.ColumnByNumber(real.columns[i].column_number);
    if (column == nullptr) {
      jet::ThrowCorrupt(def.page, "index '" + logical->name + "' refers to a missing column");
    }
    values.push_back(ParseValue(*column, args[3 + i]));
  }

  const jet::Bytes key = jet::EncodeLookupKey(real, def, values);
  jet::IndexReader reader(db->file(), real);
  // With every column given the whole key must match; with fewer, the leading columns.
  const std::vector<jet::RowLocator> rows =
      value_count == real.columns.size() ? reader.FindEqual(key) : reader.FindPrefix(key);

  std::vector<std::string> fields;
  for (const jet::RowLocator& where : rows) {
    fields.clear();
    for (const jet::Value& value : table.ReadRow(where)) fields.push_back(CsvField(value));
    std::cout << CsvRecord(fields);
  }
  std::cout.flush();
  return std::cout ? 0 : 1;
}

const RegisterCommand kRegisterLookup{
    {"lookup", "FILE TABLE INDEX VALUE...",
     "prints, as CSV lines, the rows whose index key matches the values (NULL for Null; dates "
     "YYYY-MM-DD[ HH:MM:SS]; fewer values than index columns match the leading columns)",
     RunLookup}};

}  // namespace
}  // namespace jet_tool
