// Reading a table's rows: a scan in physical order, and single rows by locator.
//
// Format: docs/format.md, data pages and rows.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "jet/bytes.h"
#include "jet/table_def.h"
#include "jet/value.h"

namespace jet {

class PageFile;

// Where a row lives: the page and slot of its first (header) slot. Stable for the row's life,
// so usable as a bookmark; relocated rows are followed from here.
using RowLocator = RowPointer;

// Where a row's bytes are: its header slot and, for a relocated row, the slot it moved to.
struct RowPlace {
  RowLocator header;
  RowPointer data;  // the header itself unless the row was relocated
  ByteSpan bytes;
  bool relocated() const { return !(data == header); }
};

// Follows relocations from the row's header slot; nullopt when the row is deleted. Throws
// corrupt for a pointer to a page the table does not own, or a chain of pointers.
std::optional<RowPlace> LocateRow(PageFile& file, const TableDef& def, RowLocator where);

class Table {
 public:
  Table(PageFile& file, const TableDef& def, std::string name)
      : file_(&file), def_(&def), name_(std::move(name)) {}

  const std::string& name() const { return name_; }
  const TableDef& def() const { return *def_; }
  // Live columns in column-number order; values of a row follow this order.
  const std::vector<ColumnDef>& columns() const { return def_->columns; }

  // The data pages of the table, ascending, from its owned-pages usage map.
  std::vector<uint32_t> DataPages() const;

  // Reads one row. Throws 3021-style errors for a deleted row and corrupt for a bad locator.
  std::vector<Value> ReadRow(RowLocator where) const;

  // A scan in the order Jet returns a table's rows: data pages ascending, slots in order,
  // deleted rows and relocation targets skipped, relocated rows read where they moved.
  class Cursor {
   public:
    explicit Cursor(const Table& table);
    // A scan that reads only the columns flagged in `wanted` (one flag per column); the others
    // read as Null.
    Cursor(const Table& table, std::vector<bool> wanted);
    // Decides from a row's stored bytes (and the page they are on) whether it is worth
    // decoding; the rows it refuses are passed over unread. For scans that want few rows.
    using RowFilter = std::function<bool(ByteSpan stored, uint32_t page)>;
    Cursor(const Table& table, std::vector<bool> wanted, RowFilter filter);
    // Advances to the next row; false at the end.
    bool Next();
    RowLocator locator() const { return locator_; }
    const std::vector<Value>& values() const { return values_; }
    // The row's stored bytes and the page they are on (where it moved, for relocated rows).
    // A copy, so that it stays valid while long values are read from other pages.
    ByteSpan stored() const { return stored_; }
    uint32_t stored_page() const { return stored_page_; }

   private:
    // The file and definition belong to the Database, so a cursor may outlive its Table.
    PageFile* file_;
    const TableDef* def_;
    std::vector<uint32_t> pages_;
    size_t page_index_ = 0;
    int slot_ = -1;
    RowLocator locator_;
    std::vector<bool> wanted_;  // empty: every column
    RowFilter filter_;          // empty: every row
    std::vector<Value> values_;
    Bytes stored_;
    uint32_t stored_page_ = 0;
  };
  Cursor Scan() const { return Cursor(*this); }

 private:
  PageFile* file_;
  const TableDef* def_;
  std::string name_;
};

}  // namespace jet
