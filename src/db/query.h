// Running a parsed SELECT on a database: choosing how to find the rows, finding them, and
// handing back their locators in the order Jet returns them.
//
// Plans, in order of preference:
//  - kIndex: equalities (AND-ed into the condition) on the leading columns of one of the
//    table's indexes are looked up in its B-tree; the rest of the condition is tested on each
//    row found.
//  - kHash: an equality on a column without an index is looked up in a hash index over that
//    column, built by one scan on first use and kept in the caller's QueryCache.
//  - kScan: every row is read and tested.
// Whatever the plan, the rows come back in physical order, as a scan finds them; SELECT
// DISTINCT returns one row for each distinct combination of the selected values, sorted by
// them as the collation orders them (Null first), as Jet sorts to remove duplicates.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "db/query_cache.h"
#include "db/sql_parser.h"
#include "jet/database.h"

namespace db {

enum class Plan { kScan, kIndex, kHash };
const char* PlanName(Plan plan);

// Switches for tests and benchmarks that compare plans with a plain scan.
struct QueryOptions {
  bool use_indexes = true;
  bool use_hash = true;
  // QueryResult::columns is filled only when asked for: a recordset needs the positions alone.
  bool column_names = true;
};

struct QueryResult {
  Plan plan = Plan::kScan;
  std::string plan_detail;               // the index's name, or the hashed column's name
  std::vector<std::string> columns;      // selected columns, spelled as the table spells them
  std::vector<size_t> column_positions;  // their positions in a row's values
  std::vector<jet::RowLocator> rows;     // the matching rows, in Jet's order
  // The rows' values as the condition was tested on them, one per row, when there were at most
  // kKeptRowValues rows (empty otherwise): a recordset over a small result need not read and
  // decode each row a second time, while a large one keeps only its locators.
  std::vector<std::vector<jet::Value>> values;
  static constexpr size_t kKeptRowValues = 1024;
};

class Query {
 public:
  // Parses `sql`; throws the parser's errors.
  explicit Query(std::string_view sql);
  explicit Query(SelectStatement statement) : statement_(std::move(statement)) {}

  const SelectStatement& statement() const { return statement_; }

  // Runs the query. Throws 3078 for an unknown table, 3061 naming unknown columns, 3464 for a
  // constant the compared column cannot hold, and the engine's errors.
  QueryResult Run(jet::Database& db, QueryCache& cache, const QueryOptions& options = {});
  // The same on `table`, the statement's table as the caller already opened it.
  QueryResult Run(jet::Database& db, const jet::Table& table, QueryCache& cache,
                  const QueryOptions& options = {});

 private:
  SelectStatement statement_;
};

}  // namespace db
