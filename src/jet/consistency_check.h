// The consistency checker: proves that a file's rows, indexes, usage maps and counters agree,
// the way Jet expects them to. Used by `jet-tool check` and by every test that writes a file.
#pragma once

#include <string>
#include <vector>

namespace jet {

class Database;

// Checks the whole database and returns one line a problem (empty when the file is sound):
//  - every row of every table decodes, long values included, and its long-value rows lie on
//    pages of the column's usage map, used by no other value;
//  - each real index holds exactly one entry per row (none for all-Null keys when the index
//    ignores Nulls) with the key the row encodes to, entries in key order, no duplicate keys
//    in a unique index, and its pages listed in its usage map;
//  - a table's owned-pages map lists exactly the pages holding its rows, its free-space map
//    only pages it owns, and its definition's row count equals the rows found (user tables:
//    Access lets the system tables' counts go stale);
//  - no page is claimed by two structures, and no page in use is marked free in the global map.
std::vector<std::string> CheckDatabase(Database& db);

}  // namespace jet
