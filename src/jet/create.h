// Creating databases and tables.
//
// A new database has the structure the Jet engine itself gives an empty database: the header
// (masked, version 1, code page 1252, no encoding, an empty password, General sort order,
// the creation date), the global usage map, the four system tables MSysObjects, MSysACEs,
// MSysQueries and MSysRelationships with their columns, indexes, usage maps and index roots,
// the catalog rows of the containers "Tables", "Databases" and "Relationships", of MSysDb and
// of the system tables, and their access-control entries.
//
// A new table gets what Access gives it: a tdef page, a usage-map page (owned pages, free-space
// pages, a pair per MEMO/OLE column, one per index with its root allocated as an empty leaf),
// its catalog row (through the catalog's own indexes) and its access-control entries.
//
// Format: docs/format.md, creating databases and tables.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "jet/bytes.h"
#include "jet/table_def.h"

namespace jet {

class Database;

struct ColumnDesign {
  std::string name;
  ColumnType type = ColumnType::kText;
  // TEXT: characters (1..255, 0 = 255); BINARY: bytes (1..510, 0 = 510). Other types: unused.
  uint16_t size = 0;
  uint8_t precision = 18;  // NUMERIC: 1..28
  uint8_t scale = 0;       // NUMERIC: 0..precision
  // LONG: numbered by the table (one per table); GUID: a new replication ID for each row.
  bool autonumber = false;
  // TEXT and MEMO: stored one byte a character where possible, Access's default.
  bool compressed_unicode = true;
  // TEXT and BINARY: kept in the row's fixed area at the field's full size (text padded with
  // spaces, never compressed), as Access keeps fixed-length fields; variable-length otherwise.
  bool fixed_length = false;
  // MEMO: holds a hyperlink (display text, address and sub-address separated by '#').
  bool hyperlink = false;
};

struct IndexColumnDesign {
  std::string column;
  bool ascending = true;
};

struct IndexDesign {
  std::string name;  // empty: "PrimaryKey" for a primary key, else the first column's name
  std::vector<IndexColumnDesign> columns;  // 1..10
  bool primary = false;                    // implies unique and required
  bool unique = false;
  bool ignore_nulls = false;
  bool required = false;
};

struct TableDesign {
  std::string name;
  std::vector<ColumnDesign> columns;
  std::vector<IndexDesign> indexes;
};

// A new empty database as bytes. `creation_date` (days since 1899-12-30, as Access stores
// dates) defaults to now.
Bytes CreateDatabaseImage(std::optional<double> creation_date = std::nullopt);

// Writes a new empty database at `path`. Refuses (3204) to replace an existing file.
void CreateDatabase(const std::string& path);

// Adds a table to a database opened for writing, all or nothing. Throws 3010 when a table of
// that name exists, 3125 for an invalid name, 3191 for a column named twice, 3259 / 3286 for a
// type or size Access does not allow, 3265 for an index naming a missing column, 3283 for a
// second primary key, 3284 for an index name used twice.
void CreateTable(Database& db, const TableDesign& layout);

// The definition CreateTable gives `layout` (pages and maps not yet assigned). Validates as
// CreateTable does, except for the table's existence.
TableDef BuildTableDef(const TableDesign& layout);

// Today's date and time as Access stores dates (days since 1899-12-30, local time).
double NowAsOleDate();

}  // namespace jet
