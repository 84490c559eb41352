// One database file as this process holds it open: the engine's database, the query state
// kept between statements, and one row writer per table written.
//
// Every Database object opened on a file shares one OpenFile: the engine admits one writer
// per file, and the tools open the main database twice at once (the customer list's data
// control holds it while an export opens it again), as the DAO engine allows.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>

#include "db/query_cache.h"
#include "jet/database.h"
#include "jet/table_writer.h"

namespace db {

class OpenFile {
 public:
  // Opens the file shared, read-write unless asked otherwise; the engine's errors pass through
  // (3024 missing, 3343 not a database, 3045 held by another writer, ...).
  explicit OpenFile(const std::string& path, jet::OpenMode mode = jet::OpenMode::kReadWrite);
  bool writable() const { return database_->file().writable(); }

  jet::Database& database() { return *database_; }
  QueryCache& cache() { return cache_; }
  const std::string& path() const { return path_; }

  // The writer of `table`, made on first use and kept: it caches the table's index pages.
  jet::TableWriter& Writer(const jet::Table& table);

  // Called after every row this layer writes: the query state of the table is stale, and so
  // is any row a recordset read before (it compares generation()).
  void Written(uint32_t tdef_page);
  uint64_t generation() const { return generation_; }

 private:
  std::string path_;
  std::unique_ptr<jet::Database> database_;
  QueryCache cache_;
  std::map<uint32_t, std::unique_ptr<jet::TableWriter>> writers_;  // by tdef page
  uint64_t generation_ = 0;
};

}  // namespace db
