#include "scenario.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

#include "db/dao.h"
#include "demo/demo_schema.h"
#include "jet/create.h"
#include "jet/database.h"
#include "jet/table_writer.h"

namespace import_test {
namespace {

std::string Trim(std::string_view text) {
  const size_t begin = text.find_first_not_of(" \t");
  if (begin == std::string_view::npos) return "";
  const size_t end = text.find_last_not_of(" \t\r");
  return std::string(text.substr(begin, end - begin + 1));
}

std::vector<std::string> Split(const std::string& line, char separator) {
  std::vector<std::string> out;
  std::stringstream in(line);
  std::string part;
  while (std::getline(in, part, separator)) out.push_back(Trim(part));
  return out;
}

// Tables of one "== main"-style section.
std::vector<TableText> ParseTables(const std::vector<std::string>& lines) {
  std::vector<TableText> tables;
  for (const std::string& raw : lines) {
    const std::string line = Trim(raw);
    if (line.empty() || line[0] == '#') continue;
    if (line.front() == '[' && line.back() == ']') {
      std::vector<std::string> parts = Split(line.substr(1, line.size() - 2), ';');
      TableText table;
      table.name = parts.at(0);
      table.modifiers.assign(parts.begin() + 1, parts.end());
      tables.push_back(std::move(table));
      continue;
    }
    if (tables.empty()) throw std::runtime_error("row before any table: " + line);
    TableText& table = tables.back();
    if (table.columns.empty()) {
      table.columns = Split(line, '|');
    } else {
      table.rows.push_back(Split(line, '|'));
      if (table.rows.back().size() != table.columns.size()) {
        throw std::runtime_error("row with the wrong number of cells: " + line);
      }
    }
  }
  return tables;
}

jet::ColumnDesign ColumnOfType(const std::string& name, const std::string& type) {
  jet::ColumnDesign column{.name = name};
  if (type.starts_with("text(")) {
    column.type = jet::ColumnType::kText;
    column.size = static_cast<uint16_t>(std::stoi(type.substr(5)));
  } else if (type == "long") {
    column.type = jet::ColumnType::kLong;
  } else if (type == "double") {
    column.type = jet::ColumnType::kDouble;
  } else if (type == "date") {
    column.type = jet::ColumnType::kDateTime;
  } else if (type == "memo") {
    column.type = jet::ColumnType::kMemo;
  } else {
    throw std::runtime_error("unknown column type " + type);
  }
  return column;
}

jet::TableDesign DesignOf(const TableText& table) {
  jet::TableDesign layout;
  for (const jet::TableDesign& s : demo::ResultsTableDesigns()) {
    if (s.name == table.name) layout = s;
  }
  if (layout.name.empty()) layout.name = table.name;
  for (const std::string& modifier : table.modifiers) {
    if (modifier == "noindex") {
      layout.indexes.clear();
    } else if (modifier.starts_with("drop ")) {
      const std::string name = modifier.substr(5);
      std::erase_if(layout.columns, [&](const auto& c) { return c.name == name; });
      std::erase_if(layout.indexes, [&](const jet::IndexDesign& index) {
        return std::any_of(index.columns.begin(), index.columns.end(),
                           [&](const auto& c) { return c.column == name; });
      });
    } else if (const size_t eq = modifier.find('='); eq != std::string::npos) {
      const jet::ColumnDesign column =
          ColumnOfType(Trim(modifier.substr(0, eq)), Trim(modifier.substr(eq + 1)));
      auto it = std::find_if(layout.columns.begin(), layout.columns.end(),
                             [&](const auto& c) { return c.name == column.name; });
      if (it == layout.columns.end()) {
        layout.columns.push_back(column);
      } else {
        *it = column;
      }
    } else if (modifier != "absent") {
      throw std::runtime_error("unknown table modifier " + modifier);
    }
  }
  return layout;
}

double DateOf(const std::string& text) {
  int y = 0, mo = 0, d = 0, h = 0, mi = 0, s = 0;
  if (std::sscanf(text.c_str(), "%d-%d-%d %d:%d:%d", &y, &mo, &d, &h, &mi, &s) < 3) {
    throw std::runtime_error("bad date " + text);
  }
  // Days from civil (proleptic Gregorian), shifted to Access's epoch 1899-12-30.
  const int yy = y - (mo <= 2);
  const int era = (yy >= 0 ? yy : yy - 399) / 400;
  const int yoe = yy - era * 400;
  const int doy = (153 * ((mo + 9) % 12) + 2) / 5 + d - 1;
  const int doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  const long days = static_cast<long>(era) * 146097 + doe - 719468 + 25569;
  return static_cast<double>(days) + (h * 3600 + mi * 60 + s) / 86400.0;
}

jet::Value CellValue(const std::string& cell, jet::ColumnType type) {
  if (cell == "<null>") return jet::Null{};
  if (cell == "\"\"") return std::string();
  switch (type) {
    case jet::ColumnType::kText:
    case jet::ColumnType::kMemo:
      return cell;
    case jet::ColumnType::kLong:
      return static_cast<int32_t>(std::stol(cell));
    case jet::ColumnType::kInt:
      return static_cast<int16_t>(std::stoi(cell));
    case jet::ColumnType::kDouble:
      return std::stod(cell);
    case jet::ColumnType::kDateTime:
      return jet::DateTime{DateOf(cell)};
    case jet::ColumnType::kBoolean:
      return cell == "true";
    default:
      throw std::runtime_error("no cell form for this column type");
  }
}

}  // namespace

std::vector<TableText> Tables(const std::string& text) {
  std::vector<std::string> lines;
  std::stringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return ParseTables(lines);
}

ScenarioCase ReadCase(const std::string& path) {
  std::ifstream in(path);
  if (!in) throw std::runtime_error("cannot read " + path);
  ScenarioCase c;
  c.name = std::filesystem::path(path).stem().string();
  std::map<std::string, std::vector<std::string>> sections;
  std::string section;
  std::string line;
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.starts_with("== ")) {
      section = Trim(line.substr(3));
      sections[section];
      continue;
    }
    if (!section.empty()) sections[section].push_back(line);
  }
  for (const std::string& l : sections["settings"]) {
    const std::string t = Trim(l);
    if (t.empty() || t[0] == '#') continue;
    const size_t colon = t.find(':');
    c.settings[Trim(t.substr(0, colon))] = Trim(t.substr(colon + 1));
  }
  c.main = ParseTables(sections["main"]);
  c.onsite = ParseTables(sections["onsite"]);
  c.expected_main = ParseTables(sections["expected main"]);
  const auto lines_of = [&](const std::string& name, std::vector<std::string>& out) {
    if (!sections.contains(name)) return false;
    for (const std::string& l : sections[name]) {
      const std::string t = Trim(l);
      if (!t.empty() && t[0] != '#') out.push_back(t);
    }
    return true;
  };
  c.check_log = lines_of("expected log", c.expected_log);
  c.check_prompts = lines_of("expected prompts", c.expected_prompts);
  c.check_report = lines_of("expected report", c.expected_report);
  return c;
}

std::vector<std::string> CaseNames() {
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(QB_IMPORT_CASES_DIR)) {
    if (entry.path().extension() == ".case") names.push_back(entry.path().stem().string());
  }
  std::sort(names.begin(), names.end());
  return names;
}

std::string CasePath(const std::string& name) {
  return std::string(QB_IMPORT_CASES_DIR) + "/" + name + ".case";
}

void MakeDatabase(const std::string& path, const std::vector<TableText>& tables) {
  jet::CreateDatabase(path);
  auto database = jet::Database::Open(path, jet::OpenMode::kReadWrite);
  for (const jet::TableDesign& standard : demo::ResultsTableDesigns()) {
    const auto given = std::find_if(tables.begin(), tables.end(),
                                    [&](const TableText& t) { return t.name == standard.name; });
    if (given == tables.end()) {
      jet::CreateTable(*database, standard);
      continue;
    }
    if (std::count(given->modifiers.begin(), given->modifiers.end(), "absent") > 0) continue;
    const jet::TableDesign layout = DesignOf(*given);
    jet::CreateTable(*database, layout);
    jet::TableWriter writer(*database, layout.name);
    for (const auto& row : given->rows) {
      std::vector<jet::Value> values;
      for (const jet::ColumnDef& column : writer.def().columns) {
        jet::Value value;
        for (size_t i = 0; i < given->columns.size(); ++i) {
          if (given->columns[i] == column.name) value = CellValue(row[i], column.type);
        }
        values.push_back(std::move(value));
      }
      writer.Insert(std::move(values));
    }
  }
}

std::string CellText(const jet::Value& value) {
  if (value.IsNull()) return "<null>";
  if (value.Is<std::string>()) {
    return value.As<std::string>().empty() ? "\"\"" : value.As<std::string>();
  }
  if (value.Is<jet::DateTime>()) {
    std::string text = jet::DateTimeToString(value.As<jet::DateTime>());
    if (text.ends_with(" 00:00:00")) text.resize(text.size() - 9);
    return text;
  }
  if (value.Is<bool>()) return value.As<bool>() ? "true" : "false";
  if (value.Is<int32_t>()) return std::to_string(value.As<int32_t>());
  if (value.Is<int16_t>()) return std::to_string(value.As<int16_t>());
  if (value.Is<uint8_t>()) return std::to_string(value.As<uint8_t>());
  if (value.Is<double>()) return jet::ShortestDecimal(value.As<double>());
  return jet::DebugString(value);
}

static std::string JoinCells(const std::vector<std::string>& cells) {
  std::string line;
  for (size_t i = 0; i < cells.size(); ++i) line += (i ? " | " : "") + cells[i];
  return line;
}

std::vector<std::string> TableLines(const std::string& path, const std::string& table,
                                    const std::vector<std::string>& columns) {
  db::Database database = db::DBEngine().OpenDatabase(path);
  db::Recordset rs = database.OpenRecordset(table);
  std::vector<std::string> lines;
  for (; !rs.Eof(); rs.MoveNext()) {
    std::vector<std::string> cells;
    for (const std::string& column : columns) cells.push_back(CellText(rs.Fields(column).Value()));
    lines.push_back(JoinCells(cells));
  }
  rs.Close();
  database.Close();
  std::sort(lines.begin(), lines.end());
  return lines;
}

std::vector<std::string> ExpectedLines(const TableText& table) {
  std::vector<std::string> lines;
  for (const auto& row : table.rows) lines.push_back(JoinCells(row));
  std::sort(lines.begin(), lines.end());
  return lines;
}

std::vector<std::string> LogEntries(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  const std::string content((std::istreambuf_iterator<char>(in)), {});
  std::vector<std::string> entries;
  size_t start = 0;
  for (size_t end; (end = content.find("\r\n", start)) != std::string::npos; start = end + 2) {
    std::string entry = content.substr(start, end - start);
    std::string shown;
    for (char ch : entry) shown += ch == '\r' ? std::string("\\r") : std::string(1, ch);
    entries.push_back(shown);
  }
  if (start != content.size()) entries.push_back("<unterminated> " + content.substr(start));
  return entries;
}

}  // namespace import_test
