// What queries keep between runs on one database: index readers (their decoded pages) and
// transient hash indexes over columns that have no index of their own, so that the statements
// a task repeats once per instrument or certificate do not scan the table each time.
//
// The hash indexes reflect the file as it was when they were built: whoever writes a table must
// call Invalidate for it before the next query. The index readers follow the file themselves
// (each decoded page is checked against its version), so they outlive writes: a task that
// looks rows up in a table it writes to keeps the index's decoded nodes.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

#include "jet/index_reader.h"
#include "jet/table.h"

namespace db {

class QueryCache {
 public:
  // Locators, in physical order, of the rows whose column at `position` (in the table's
  // column order) equals `key`, a non-null value of the column's own type (see
  // ExactColumnValue). Builds the column's hash index by one scan on first use.
  const std::vector<jet::RowLocator>& HashLookup(const jet::Table& table, size_t position,
                                                 const jet::Value& key);

  // The reader of the index rooted at `root_page` of `table`, kept across queries.
  jet::IndexReader& Index(jet::PageFile& file, const jet::Table& table, uint32_t root_page);

  // Forgets the hash indexes built for one table (after any row of it was added, changed or
  // deleted).
  void Invalidate(const jet::Table& table) { Invalidate(table.def().page); }
  void Invalidate(uint32_t tdef_page);
  // Forgets everything.
  void Clear();

  // Hash indexes built since the cache was made: lets tests see that one was reused.
  size_t hash_builds() const { return hash_builds_; }

  // The hash key of a non-null value of a column's type: the collation's sort key for text,
  // a canonical text of the number otherwise.
  static std::string HashKey(const jet::Value& v);

 private:
  using HashIndex = std::unordered_map<std::string, std::vector<jet::RowLocator>>;
  struct Reader {
    uint32_t tdef_page;
    std::unique_ptr<jet::IndexReader> reader;
  };

  std::map<std::pair<uint32_t, size_t>, HashIndex> hashes_;  // by (tdef page, position)
  std::map<uint32_t, Reader> readers_;                       // by root page
  size_t hash_builds_ = 0;
};

}  // namespace db
