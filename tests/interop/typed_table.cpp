#include "interop/typed_table.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <stdexcept>
#include <variant>

#include "interop/csv_reader.h"
#include "interop/json_lite.h"
#include "interop/run_program.h"

namespace interop {
namespace {

constexpr double kDaysFrom1899To1970 = 25569;
constexpr double kMsPerDay = 86400.0 * 1000.0;

// mdb-export prints FLOAT with about 6 and DOUBLE with about 15 significant digits, so its
// text is rounded: we accept what that rounding explains, a little more than half a unit in
// the last place it prints. mdb-reader hands over the IEEE value itself, compared exactly.
constexpr double kMdbExportFloatRelative = 1e-5;
constexpr double kMdbExportDoubleRelative = 1e-14;
// mdb-export prints dates to the second; our millisecond value must lie within a second.
constexpr double kMdbExportTimeMs = 1000;

std::string ToUpper(std::string s) {
  for (char& c : s) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return s;
}

// The 32 hex digits alone: the readers differ in braces, case and where the dashes go
// (mdb-export writes 8-4-4-16).
std::string GuidKey(std::string s) {
  s.erase(
      std::remove_if(s.begin(), s.end(), [](char c) { return c == '{' || c == '}' || c == '-'; }),
      s.end());
  return ToUpper(s);
}

std::string Hex(const jet::Bytes& bytes) {
  static constexpr char kDigits[] = "0123456789ABCDEF";
  std::string out;
  for (uint8_t b : bytes) {
    out += kDigits[b >> 4];
    out += kDigits[b & 15];
  }
  return out;
}

int64_t ParseInteger(const std::string& text) {
  int64_t v = 0;
  const auto res = std::from_chars(text.data(), text.data() + text.size(), v);
  if (res.ec != std::errc() || res.ptr != text.data() + text.size()) {
    throw std::runtime_error("not an integer: '" + text + "'");
  }
  return v;
}

double ParseReal(const std::string& text) {
  // strtod, not from_chars: it also reads "NaN" and "Infinity" as JavaScript prints them.
  char* end = nullptr;
  const double v = std::strtod(text.c_str(), &end);
  if (text.empty() || end != text.c_str() + text.size()) {
    throw std::runtime_error("not a number: '" + text + "'");
  }
  return v;
}

// Days since 1970-01-01 of a proleptic Gregorian date.
int64_t DaysFromCivil(int64_t y, unsigned m, unsigned d) {
  y -= m <= 2;
  const int64_t era = (y >= 0 ? y : y - 399) / 400;
  const unsigned yoe = static_cast<unsigned>(y - era * 400);
  const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + static_cast<int64_t>(doe) - 719468;
}

void CivilFromDays(int64_t z, int64_t& y, unsigned& m, unsigned& d) {
  z += 719468;
  const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const unsigned doe = static_cast<unsigned>(z - era * 146097);
  const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  y = static_cast<int64_t>(yoe) + era * 400;
  const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const unsigned mp = (5 * doy + 2) / 153;
  d = doy - (153 * mp + 2) / 5 + 1;
  m = mp < 10 ? mp + 3 : mp - 9;
  if (m <= 2) ++y;
}

double MsFromDateText(const std::string& text) {
  int y = 0, mo = 0, d = 0, h = 0, mi = 0, s = 0;
  char tail = 0;
  if (std::sscanf(text.c_str(), "%d-%d-%d %d:%d:%d%c", &y, &mo, &d, &h, &mi, &s, &tail) != 6) {
    throw std::runtime_error("not a date: '" + text + "'");
  }
  const int64_t days = DaysFromCivil(y, static_cast<unsigned>(mo), static_cast<unsigned>(d));
  return (static_cast<double>(days) * 86400.0 + h * 3600.0 + mi * 60.0 + s) * 1000.0;
}

std::string DescribeMs(double ms) {
  if (!std::isfinite(ms)) return "invalid";
  const double day = std::floor(ms / kMsPerDay);
  const double in_day = ms - day * kMsPerDay;
  int64_t y;
  unsigned m, d;
  CivilFromDays(static_cast<int64_t>(day), y, m, d);
  char buf[64];
  std::snprintf(buf, sizeof buf, "%04lld-%02u-%02u %02d:%02d:%06.3f", static_cast<long long>(y), m,
                d, static_cast<int>(in_day / 3600000), static_cast<int>(in_day / 60000) % 60,
                std::fmod(in_day, 60000) / 1000);
  return buf;
}

Cell Make(Cell::Kind kind, std::string text) {
  Cell c;
  c.kind = kind;
  c.text = std::move(text);
  return c;
}
Cell MakeInteger(Cell::Kind kind, int64_t v) {
  Cell c;
  c.kind = kind;
  c.integer = v;
  return c;
}
Cell MakeReal(Cell::Kind kind, double v, double tolerance) {
  Cell c;
  c.kind = kind;
  c.real = v;
  c.tolerance = tolerance;
  return c;
}

std::string InteropDir() { return QB_INTEROP_DIR; }

// With -b hex, mdb-export also hex-encodes the text it makes of a replication ID:
// "{8F09...FC}" arrives as "7B384630...437D". Both forms are taken.
std::string GuidFromMdbExport(const std::string& text) {
  if ((text.size() != 74 && text.size() != 76) || text.compare(0, 2, "7B") != 0) return text;
  std::string decoded;
  for (size_t i = 0; i < text.size(); i += 2) {
    decoded += static_cast<char>(std::stoi(text.substr(i, 2), nullptr, 16));
  }
  return decoded;
}

bool HexMatches(const Cell& a, const Cell& b) {
  if (!a.cut_at_zero_byte && !b.cut_at_zero_byte) return a.text == b.text;
  const Cell& cut = a.cut_at_zero_byte ? a : b;
  const Cell& whole = a.cut_at_zero_byte ? b : a;
  if (whole.text.compare(0, cut.text.size(), cut.text) != 0) return false;
  return whole.text.size() == cut.text.size() ||
         (cut.text.size() % 2 == 0 && whole.text.compare(cut.text.size(), 2, "00") == 0);
}

Cell MdbExportCell(const CsvCell& field, const jet::ColumnDef& column) {
  using jet::ColumnType;
  // An unquoted empty field is Null; empty text comes quoted.
  if (!field.quoted && field.text.empty()) return Cell();
  const std::string& t = field.text;
  switch (column.type) {
    case ColumnType::kBoolean:
      return MakeInteger(Cell::Kind::kBool, ParseInteger(t) != 0);
    case ColumnType::kByte:
    case ColumnType::kInt:
    case ColumnType::kLong:
      return MakeInteger(Cell::Kind::kInteger, ParseInteger(t));
    case ColumnType::kMoney:
    case ColumnType::kNumeric:
      return Make(Cell::Kind::kDecimal, NormaliseDecimal(t));
    case ColumnType::kFloat: {
      const double v = ParseReal(t);
      return MakeReal(Cell::Kind::kReal, v, std::fabs(v) * kMdbExportFloatRelative);
    }
    case ColumnType::kDouble: {
      const double v = ParseReal(t);
      return MakeReal(Cell::Kind::kReal, v, std::fabs(v) * kMdbExportDoubleRelative);
    }
    case ColumnType::kDateTime:
      return MakeReal(Cell::Kind::kTime, MsFromDateText(t), kMdbExportTimeMs);
    case ColumnType::kText:
    case ColumnType::kMemo:
      return Make(Cell::Kind::kText, t);
    case ColumnType::kBinary: {
      Cell cell = Make(Cell::Kind::kHex, ToUpper(t));
      cell.cut_at_zero_byte = true;
      return cell;
    }
    case ColumnType::kOle:
      return Make(Cell::Kind::kHex, ToUpper(t));
    case ColumnType::kGuid:
      return Make(Cell::Kind::kGuid, GuidKey(GuidFromMdbExport(t)));
    default:
      return Make(Cell::Kind::kUnsupported, t);
  }
}

Cell MdbReaderCell(const Json& cell) {
  const std::string& tag = cell.items.at(0).text;
  if (tag == "null") return Cell();
  const std::string& t = cell.items.at(1).text;
  if (tag == "boolean") return MakeInteger(Cell::Kind::kBool, t == "1");
  if (tag == "byte" || tag == "integer" || tag == "long") {
    return MakeInteger(Cell::Kind::kInteger, ParseInteger(t));
  }
  if (tag == "currency" || tag == "numeric") return Make(Cell::Kind::kDecimal, NormaliseDecimal(t));
  if (tag == "float" || tag == "double") return MakeReal(Cell::Kind::kReal, ParseReal(t), 0);
  if (tag == "datetime") return MakeReal(Cell::Kind::kTime, ParseReal(t), 0);
  if (tag == "text" || tag == "memo") return Make(Cell::Kind::kText, t);
  if (tag == "binary" || tag == "ole") return Make(Cell::Kind::kHex, t);
  if (tag == "repid") return Make(Cell::Kind::kGuid, GuidKey(t));
  return Make(Cell::Kind::kUnsupported, tag + ":" + t);
}

std::string Shorten(const std::string& s) {
  constexpr size_t kMax = 120;
  if (s.size() <= kMax) return s;
  return s.substr(0, kMax) + "...(" + std::to_string(s.size()) + " chars)";
}

std::string DescribeRow(const std::vector<Cell>& row, const std::vector<std::string>& names) {
  std::string out = "{";
  for (size_t i = 0; i < row.size() && i < 3; ++i) {
    if (i != 0) out += ", ";
    out += (i < names.size() ? names[i] : "?") + "=" + Describe(row[i]);
  }
  return out + (row.size() > 3 ? ", ...}" : "}");
}

// For long texts and blobs, where the two first differ says more than the values.
std::string DescribePair(const Cell& ours, const Cell& theirs) {
  std::string out = "ours " + Describe(ours) + ", theirs " + Describe(theirs);
  if (ours.kind == theirs.kind && !ours.text.empty() && !theirs.text.empty() &&
      (ours.text.size() > 60 || theirs.text.size() > 60)) {
    const auto mismatch =
        std::mismatch(ours.text.begin(), ours.text.end(), theirs.text.begin(), theirs.text.end());
    out += " (lengths " + std::to_string(ours.text.size()) + " and " +
           std::to_string(theirs.text.size()) + ", first difference at character " +
           std::to_string(mismatch.first - ours.text.begin()) + ")";
  }
  return out;
}

}  // namespace

bool operator==(const Cell& a, const Cell& b) {
  if (a.kind != b.kind) return false;
  switch (a.kind) {
    case Cell::Kind::kNull:
      return true;
    case Cell::Kind::kBool:
    case Cell::Kind::kInteger:
      return a.integer == b.integer;
    case Cell::Kind::kReal:
    case Cell::Kind::kTime:
      if (std::isnan(a.real) || std::isnan(b.real)) return std::isnan(a.real) && std::isnan(b.real);
      return a.real == b.real || std::fabs(a.real - b.real) <= std::max(a.tolerance, b.tolerance);
    case Cell::Kind::kHex:
      return HexMatches(a, b);
    default:
      return a.text == b.text;
  }
}

std::string Describe(const Cell& cell) {
  char buf[64];
  switch (cell.kind) {
    case Cell::Kind::kNull:
      return "Null";
    case Cell::Kind::kBool:
      return cell.integer ? "True" : "False";
    case Cell::Kind::kInteger:
      return std::to_string(cell.integer);
    case Cell::Kind::kReal:
      std::snprintf(buf, sizeof buf, "%.17g", cell.real);
      return buf;
    case Cell::Kind::kTime:
      return DescribeMs(cell.real);
    case Cell::Kind::kText:
      return "\"" + Shorten(cell.text) + "\"";
    case Cell::Kind::kHex:
      return "0x" + Shorten(cell.text);
    case Cell::Kind::kGuid:
      return "guid:" + cell.text;
    case Cell::Kind::kDecimal:
      return cell.text;
    case Cell::Kind::kUnsupported:
      return "unsupported(" + Shorten(cell.text) + ")";
  }
  return "?";
}

std::string NormaliseDecimal(std::string text) {
  bool negative = false;
  if (!text.empty() && (text[0] == '-' || text[0] == '+')) {
    negative = text[0] == '-';
    text.erase(0, 1);
  }
  const size_t point = text.find('.');
  if (point != std::string::npos) {
    while (text.size() > point + 1 && text.back() == '0') text.pop_back();
    if (text.back() == '.') text.pop_back();
  }
  size_t lead = 0;
  while (lead + 1 < text.size() && text[lead] == '0' && text[lead + 1] != '.') ++lead;
  text.erase(0, lead);
  if (text.empty() || text == "0") return "0";
  return negative ? "-" + text : text;
}

Cell OurCell(const jet::Value& value, Reader reader) {
  struct Visitor {
    Reader reader;
    Cell operator()(jet::Null) const { return Cell(); }
    Cell operator()(bool b) const { return MakeInteger(Cell::Kind::kBool, b); }
    Cell operator()(uint8_t x) const { return MakeInteger(Cell::Kind::kInteger, x); }
    Cell operator()(int16_t x) const { return MakeInteger(Cell::Kind::kInteger, x); }
    Cell operator()(int32_t x) const { return MakeInteger(Cell::Kind::kInteger, x); }
    Cell operator()(jet::Currency c) const {
      return Make(Cell::Kind::kDecimal, NormaliseDecimal(jet::CurrencyToString(c)));
    }
    Cell operator()(float f) const { return MakeReal(Cell::Kind::kReal, f, 0); }
    Cell operator()(double d) const { return MakeReal(Cell::Kind::kReal, d, 0); }
    Cell operator()(jet::DateTime dt) const {
      if (reader == Reader::kMdbReader) {
        // mdb-reader turns the stored double into JavaScript milliseconds with exactly these
        // operations (and JavaScript's round-half-up), without Access's rule that the time
        // fraction counts forward also before 1899-12-30. Doing the same here compares the
        // stored double itself, to the millisecond.
        const double ms = std::floor((dt.days - kDaysFrom1899To1970) * 86400 * 1000 + 0.5);
        return MakeReal(Cell::Kind::kTime, ms, 0);
      }
      // The date as Access shows it: whole days, then the fraction as a time of day forward
      // from midnight, whatever the sign of the day.
      const double whole = std::trunc(dt.days);
      const double ms =
          (whole - kDaysFrom1899To1970) * kMsPerDay + std::fabs(dt.days - whole) * kMsPerDay;
      return MakeReal(Cell::Kind::kTime, ms, 0);
    }
    Cell operator()(const std::string& s) const {
      // mdb-export passes text through C strings, so it ends at the first NUL character
      // (Access keeps one at the end of MSysNameMap names). mdb-reader still sees it whole.
      if (reader == Reader::kMdbExport) return Make(Cell::Kind::kText, s.substr(0, s.find('\0')));
      return Make(Cell::Kind::kText, s);
    }
    Cell operator()(const jet::Bytes& b) const { return Make(Cell::Kind::kHex, Hex(b)); }
    Cell operator()(const jet::Guid& g) const {
      return Make(Cell::Kind::kGuid, GuidKey(jet::GuidToString(g)));
    }
    Cell operator()(const jet::Decimal& d) const {
      return Make(Cell::Kind::kDecimal, NormaliseDecimal(jet::DecimalToString(d)));
    }
  };
  return std::visit(Visitor{reader}, value.storage());
}

TypedTable ReadWithOurEngine(jet::Database& db, const std::string& name, Reader reader) {
  const jet::Table table = db.OpenTable(name);
  TypedTable out;
  for (const jet::ColumnDef& c : table.columns()) {
    out.column_names.push_back(c.name);
    out.column_types.push_back(MdbReaderTypeName(c.type));
  }
  jet::Table::Cursor cursor = table.Scan();
  while (cursor.Next()) {
    std::vector<Cell> row;
    for (const jet::Value& v : cursor.values()) row.push_back(OurCell(v, reader));
    out.rows.push_back(std::move(row));
  }
  return out;
}

TypedTable ReadWithMdbExport(const std::string& file, const std::string& table,
                             const std::vector<jet::ColumnDef>& columns) {
  const ProgramResult run = RunProgram({"mdb-export", "-D", "%Y-%m-%d %H:%M:%S", "-T",
                                        "%Y-%m-%d %H:%M:%S", "-b", "hex", file, table});
  if (run.exit_code != 0) {
    throw std::runtime_error("mdb-export failed with exit code " + std::to_string(run.exit_code));
  }
  const CsvDocument doc = ParseCsv(run.output);
  if (doc.rows.empty()) throw std::runtime_error("mdb-export printed no header line");
  TypedTable out;
  for (const CsvCell& name : doc.rows[0]) out.column_names.push_back(name.text);
  for (size_t r = 1; r < doc.rows.size(); ++r) {
    const CsvRow& fields = doc.rows[r];
    if (fields.size() != columns.size()) {
      throw std::runtime_error("mdb-export line " + std::to_string(r) + " has " +
                               std::to_string(fields.size()) + " fields, expected " +
                               std::to_string(columns.size()));
    }
    std::vector<Cell> row;
    for (size_t i = 0; i < fields.size(); ++i) row.push_back(MdbExportCell(fields[i], columns[i]));
    out.rows.push_back(std::move(row));
  }
  return out;
}

TypedTable ReadWithMdbReader(const std::string& file, const std::string& table) {
  const ProgramResult run = RunProgram({"node", InteropDir() + "/dump_table.mjs", file, table});
  if (run.exit_code != 0) {
    throw std::runtime_error("mdb-reader script failed with exit code " +
                             std::to_string(run.exit_code));
  }
  const Json doc = ParseJson(run.output);
  TypedTable out;
  for (const Json& column : doc.at("columns").items) {
    out.column_names.push_back(column.at("name").text);
    out.column_types.push_back(column.at("type").text);
  }
  for (const Json& json_row : doc.at("rows").items) {
    std::vector<Cell> row;
    for (const Json& cell : json_row.items) row.push_back(MdbReaderCell(cell));
    out.rows.push_back(std::move(row));
  }
  return out;
}

std::vector<std::string> TableNamesFromMdbTools(const std::string& file) {
  const ProgramResult run = RunProgram({"mdb-tables", "-1", file});
  if (run.exit_code != 0) throw std::runtime_error("mdb-tables failed");
  std::vector<std::string> names;
  size_t start = 0;
  while (start < run.output.size()) {
    size_t end = run.output.find('\n', start);
    if (end == std::string::npos) end = run.output.size();
    if (end > start) names.push_back(run.output.substr(start, end - start));
    start = end + 1;
  }
  return names;
}

std::vector<std::string> TableNamesFromMdbReader(const std::string& file) {
  const ProgramResult run = RunProgram({"node", InteropDir() + "/dump_table.mjs", file});
  if (run.exit_code != 0) throw std::runtime_error("mdb-reader script failed");
  std::vector<std::string> names;
  const Json doc = ParseJson(run.output);
  for (const Json& name : doc.at("tables").items) names.push_back(name.text);
  return names;
}

std::string MdbReaderTypeName(jet::ColumnType type) {
  using jet::ColumnType;
  switch (type) {
    case ColumnType::kBoolean:
      return "boolean";
    case ColumnType::kByte:
      return "byte";
    case ColumnType::kInt:
      return "integer";
    case ColumnType::kLong:
      return "long";
    case ColumnType::kMoney:
      return "currency";
    case ColumnType::kFloat:
      return "float";
    case ColumnType::kDouble:
      return "double";
    case ColumnType::kDateTime:
      return "datetime";
    case ColumnType::kBinary:
      return "binary";
    case ColumnType::kText:
      return "text";
    case ColumnType::kOle:
      return "ole";
    case ColumnType::kMemo:
      return "memo";
    case ColumnType::kGuid:
      return "repid";
    case ColumnType::kNumeric:
      return "numeric";
    default:
      return jet::ColumnTypeName(type);
  }
}

bool ReadersDecodeType(jet::ColumnType type) {
  const std::string name = MdbReaderTypeName(type);
  return !name.empty() && std::islower(static_cast<unsigned char>(name[0]));
}

std::vector<std::string> CompareRows(const TypedTable& ours, const TypedTable& theirs) {
  std::vector<std::string> messages;
  if (ours.column_names != theirs.column_names) {
    messages.push_back("column names differ");
    return messages;
  }
  if (ours.rows.size() != theirs.rows.size()) {
    messages.push_back("row counts differ: ours " + std::to_string(ours.rows.size()) + ", theirs " +
                       std::to_string(theirs.rows.size()));
  }
  std::vector<bool> taken(theirs.rows.size(), false);
  std::vector<size_t> unmatched;
  for (size_t i = 0; i < ours.rows.size(); ++i) {
    bool found = false;
    for (size_t j = 0; j < theirs.rows.size() && !found; ++j) {
      if (!taken[j] && ours.rows[i] == theirs.rows[j]) taken[j] = found = true;
    }
    if (!found) unmatched.push_back(i);
  }
  // Pair each unmatched row of ours with the closest unmatched row of theirs, so the message
  // names the columns that differ rather than two whole rows.
  for (size_t i : unmatched) {
    const auto& row = ours.rows[i];
    size_t best = theirs.rows.size();
    size_t best_equal = 0;
    for (size_t j = 0; j < theirs.rows.size(); ++j) {
      if (taken[j]) continue;
      size_t equal = 0;
      for (size_t c = 0; c < row.size(); ++c) equal += row[c] == theirs.rows[j][c];
      if (best == theirs.rows.size() || equal > best_equal) {
        best = j;
        best_equal = equal;
      }
    }
    const std::string where =
        "row " + std::to_string(i) + " in our scan " + DescribeRow(row, ours.column_names);
    if (best == theirs.rows.size()) {
      messages.push_back(where + ": not in theirs");
      continue;
    }
    taken[best] = true;
    for (size_t c = 0; c < row.size(); ++c) {
      if (!(row[c] == theirs.rows[best][c])) {
        messages.push_back(where + ": column " + ours.column_names[c] + ": " +
                           DescribePair(row[c], theirs.rows[best][c]));
      }
    }
  }
  for (size_t j = 0; j < theirs.rows.size(); ++j) {
    if (!taken[j]) {
      messages.push_back("row only in theirs " + DescribeRow(theirs.rows[j], theirs.column_names));
    }
  }
  return messages;
}

std::string MissingReaders() {
  for (const char* program : {"mdb-export", "mdb-tables", "node"}) {
    if (std::string why = WhyNotRunnable(program); !why.empty()) return why;
  }
  if (!std::filesystem::is_directory(InteropDir() + "/node_modules/mdb-reader")) {
    return "node_modules/mdb-reader missing (run scripts/setup)";
  }
  return "";
}

}  // namespace interop
