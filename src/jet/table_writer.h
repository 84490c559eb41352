// Writing a table's rows: insert, update and delete, keeping the data pages, long values,
// usage maps, indexes and the table definition's counters in step, as Jet keeps them.
//
// Every operation checks all it can before it writes (types, lengths, unique and required
// keys, the row size), then writes inside one page operation: a failure part-way leaves the
// file as it was.
//
// Format: docs/format.md, what a write changes.
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "jet/table.h"
#include "jet/table_def.h"
#include "jet/value.h"

namespace jet {

class Database;
class IndexWriter;
class PageFile;

class TableWriter {
 public:
  // The table must exist (3078) in a database opened for writing (3027). A table whose text
  // indexes use a sort order other than the General one cannot be written (3251): we could
  // not build its keys as Jet does.
  TableWriter(Database& db, std::string_view table_name);
  // The table whose definition is on `tdef_page`, found without the catalog (for the
  // catalog's own rows while a new database is being made).
  TableWriter(Database& db, uint32_t tdef_page, std::string name);
  ~TableWriter();
  TableWriter(const TableWriter&) = delete;
  TableWriter& operator=(const TableWriter&) = delete;

  const TableDef& def() const { return *def_; }
  const std::string& name() const { return name_; }

  // Before a row first adds an entry to a text index of a file this engine did not make, the
  // index's stored keys are compared with ours (see key_verifier.h): where one differs, the
  // write is refused (3251) and the file is left as it was.
  //
  // Adds a row. `values` holds one value per live column in column-number order (the order
  // of def().columns); a Null autonumber gets the table's next number (or a new GUID), a
  // given one is kept and moves the counter past it. Returns where the row lives.
  RowLocator Insert(const std::vector<Value>& values);
  // Replaces the row's values. Autonumbers cannot change (3164).
  void Update(RowLocator where, std::vector<Value> values);
  // Deletes the row.
  void Delete(RowLocator where);

 private:
  struct Prepared;
  // Checks and encodes a row into `p`. The values are read where they are; a row that gets an
  // autonumber or GUID is completed in a copy of them.
  void Prepare(const std::vector<Value>& given, const std::vector<Value>* old_values, Prepared& p);
  IndexWriter& Index(size_t real_index);
  uint32_t PageWithRoom(size_t row_size, uint32_t avoid);
  // Throws, before anything is written, when the keys of real index `i` are not all ours.
  void RequireOurKeys(size_t i);
  void WriteCounters();
  void ReloadAfterFailure();

  Database& db_;
  PageFile& file_;
  TableDef* def_;
  std::string name_;
  std::vector<std::unique_ptr<IndexWriter>> indexes_;
  uint32_t insert_page_ = 0;         // the page the last insert used, 0 when unknown
  std::vector<bool> keys_verified_;  // per real index: its verdict was asked for and was good
  // Insert's prepared row, kept so that its buffers serve the next row without allocating.
  std::unique_ptr<Prepared> insert_scratch_;
  struct UpdateScratch;
  std::unique_ptr<UpdateScratch> update_scratch_;
};

}  // namespace jet
