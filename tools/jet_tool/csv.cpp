#include "jet_tool/csv.h"

#include <variant>

namespace jet_tool {

std::string CsvQuote(std::string_view text) {
  std::string out;
  out.reserve(text.size() + 2);
  out += '"';
  for (char c : text) {
    if (c == '"') out += '"';
    out += c;
  }
  out += '"';
  return out;
}

std::string CsvName(std::string_view name) {
  if (name.find_first_of(",\"\r\n") == std::string_view::npos) return std::string(name);
  return CsvQuote(name);
}

std::string CsvField(const jet::Value& value) {
  struct Visitor {
    std::string operator()(jet::Null) const { return {}; }
    std::string operator()(bool b) const { return b ? "1" : "0"; }
    std::string operator()(uint8_t x) const { return std::to_string(x); }
    std::string operator()(int16_t x) const { return std::to_string(x); }
    std::string operator()(int32_t x) const { return std::to_string(x); }
    std::string operator()(jet::Currency c) const { return jet::CurrencyToString(c); }
    std::string operator()(float f) const { return jet::ShortestDecimal(f); }
    std::string operator()(double d) const { return jet::ShortestDecimal(d); }
    std::string operator()(jet::DateTime d) const { return jet::DateTimeToString(d); }
    std::string operator()(const std::string& s) const { return CsvQuote(s); }
    std::string operator()(const jet::Bytes& bytes) const {
      // Zero bytes are a value, not Null: an empty quoted field keeps them apart.
      if (bytes.empty()) return "\"\"";
      static constexpr char kHex[] = "0123456789ABCDEF";
      std::string out;
      out.reserve(bytes.size() * 2);
      for (uint8_t b : bytes) {
        out += kHex[b >> 4];
        out += kHex[b & 15];
      }
      return out;
    }
    std::string operator()(const jet::Guid& g) const { return jet::GuidToString(g); }
    std::string operator()(const jet::Decimal& d) const { return jet::DecimalToString(d); }
  };
  return std::visit(Visitor{}, value.storage());
}

std::string CsvRecord(const std::vector<std::string>& fields) {
  std::string out;
  for (size_t i = 0; i < fields.size(); ++i) {
    if (i != 0) out += ',';
    out += fields[i];
  }
  out += kCsvLineEnd;
  return out;
}

}  // namespace jet_tool
