// Scenario cases of the on-site import, one file each in cases/: the main and the on-site
// database as tables of rows, the answers to the prompts, and what must hold afterwards (the
// main tables, the log without its date line, the boxes shown).
//
//   == settings          key: value lines (answers, outcome, runs, onsite, editor, log)
//   == main              tables of the main database
//   == onsite            tables of the on-site database
//   == expected main     tables to compare after the import (named columns, rows in any order)
//   == expected log      the log's lines after the header; "\r" marks a carriage return
//   == expected prompts  every box shown: "buttons icon title | text"
//   == expected report   ImportReport.csv's lines after its header, the last run's; the backup's
//                        path in the last line written as <backup>
//
// A table is "[Name; modifiers]", a header line of column names separated by "|", then rows.
// Modifiers: "noindex" (no indexes), "absent" (no such table), "drop Col", "Col=type" (type
// text(N), long, double, date, memo; a new column or a changed one). Tables left out are made
// empty with the laboratory's columns. Cells: "<null>" is Null, "\"\"" the empty text, dates
// "yyyy-mm-dd[ hh:mm:ss]", booleans true/false.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "jet/value.h"

namespace import_test {

struct TableText {
  std::string name;
  std::vector<std::string> modifiers;
  std::vector<std::string> columns;
  std::vector<std::vector<std::string>> rows;
};

struct ScenarioCase {
  std::string name;
  std::map<std::string, std::string> settings;
  std::vector<TableText> main;
  std::vector<TableText> onsite;
  std::vector<TableText> expected_main;
  std::vector<std::string> expected_log;
  bool check_log = false;
  std::vector<std::string> expected_prompts;
  bool check_prompts = false;
  std::vector<std::string> expected_report;
  bool check_report = false;
};

ScenarioCase ReadCase(const std::string& path);
// Every cases/*.case file's name without its extension, sorted.
std::vector<std::string> CaseNames();
std::string CasePath(const std::string& name);

// Tables written as in a case file's sections.
std::vector<TableText> Tables(const std::string& text);

// Writes a results database at `path` holding `tables` (see above).
void MakeDatabase(const std::string& path, const std::vector<TableText>& tables);

// A value as the cases write it.
std::string CellText(const jet::Value& value);
// The table's rows as "a | b | c" lines over `columns`, sorted.
std::vector<std::string> TableLines(const std::string& path, const std::string& table,
                                    const std::vector<std::string>& columns);
// The expected rows in the same form.
std::vector<std::string> ExpectedLines(const TableText& table);

// The log file's entries; carriage returns inside an entry shown as "\r".
std::vector<std::string> LogEntries(const std::string& path);

}  // namespace import_test
