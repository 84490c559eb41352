// The consistency checker: proves that a file's rows, indexes, usage maps and counters agree,
// the way Jet expects them to. Used by `jet-tool check` and by every test that writes a file.
//
// What it proves is the format as docs/format.md states it.
#pragma once

#include <string>
#include <vector>

namespace jet {

class Database;

// What a check found: problems are faults that would make Access or this engine's writer
// misbehave; notes are deviations that Access itself leaves in its files and works with.
struct CheckReport {
  std::vector<std::string> problems;
  std::vector<std::string> notes;
};

// Checks the whole database (see CheckDatabase for what is proved).
CheckReport CheckDatabaseReport(Database& db);

// Checks the whole database and returns one line a problem (empty when the file is sound):
//  - every row of every table decodes, long values included, and its long-value rows lie on
//    pages of the column's usage map, used by no other value;
//  - each real index holds exactly one entry per row (none for all-Null keys when the index
//    ignores Nulls) with the key the row encodes to, entries in key order, no duplicate keys
//    in a unique index, and its pages listed in its usage map;
//  - a table's owned-pages map lists exactly the pages holding its rows (a system table's
//    page missing from its map is a note: Access leaves them), its free-space map only pages
//    it owns; a definition's row count that differs from the rows found is a note (Access
//    lets counts go stale);
//  - no page is claimed by two structures, and no page in use is marked free in the global map;
//  - the file is no larger than the 2 GB a Jet 4 database may hold.
// Notes are left out: a sound file may carry them.
std::vector<std::string> CheckDatabase(Database& db);

}  // namespace jet
