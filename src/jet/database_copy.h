// Copying a database's user tables into a new database: each table's columns, indexes, rows
// and autonumber counter, rewritten by our own writer. A compact of the data that needs no
// Access: the copy's pages are packed afresh, deleted rows and stale counters left behind.
//
// What a table definition holds that the writer cannot give a new table is refused before
// anything is written, naming the table and what it is. Relationships are not copied (the
// engine keeps none): a foreign-key index whose keys are another index's (the referenced
// side's, which shares the primary key's B-tree) is left out, and one with its own keys (the
// referencing side's) becomes a plain index of the same name and columns, so lookups keep it.
// Field properties Access keeps outside the table definition (Required, AllowZeroLength,
// defaults, descriptions, formats) are not carried; text takes the new database's General
// sort order.
//
// Format: docs/format.md, creating databases and tables.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "jet/create.h"
#include "jet/table_def.h"

namespace jet {

class Database;

// How one table is recreated: its design, and what of the source it copies differently or
// leaves out (one line each, naming the table, for the user).
struct TableCopyPlan {
  TableDesign design;
  std::vector<std::string> notes;
};

// The plan for the table `name` defined by `def`. Throws 3251 naming the table and the field
// or index the writer cannot reproduce (a type Access 2000 does not write, a flag we do not
// know), and CreateTable's own errors for a design it refuses, prefixed with the table.
TableCopyPlan PlanTableCopy(const std::string& name, const TableDef& def);

// Creates the planned table in `target` (open for writing) and copies every row of the
// source table into it in scan order, values unchanged (autonumbers and replication IDs
// included); then the counter of a LONG autonumber continues where the source's stood.
// Returns the rows copied.
uint64_t CopyTable(Database& source, const std::string& name, const TableCopyPlan& plan,
                   Database& target);

struct CopiedTable {
  std::string name;
  uint64_t rows = 0;
  size_t number = 0;  // 1-based, in the source's catalog order
  size_t count = 0;   // tables being copied
};

struct CopySummary {
  size_t tables = 0;
  uint64_t rows = 0;
  // Every plan's notes, and the copy's change of sort order if there is one.
  std::vector<std::string> notes;
};

// Writes a new database at `target_path` holding every user table of the database at
// `source_path`. Every table is planned before the new file is made, so a refusal writes
// nothing; 3204 when `target_path` exists (a file is never replaced); the source's own
// opening errors (3024, 3031 for a password, ...). A copy that fails part-way removes the
// file it made. `progress` hears of each table once it is copied.
CopySummary CopyDatabase(const std::string& source_path, const std::string& target_path,
                         const std::function<void(const CopiedTable&)>& progress = nullptr);

}  // namespace jet
