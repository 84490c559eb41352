// Shared by the data-access tests: copies of the Access-made files in a fresh folder, opened
// read-write as the tools open theirs, and error numbers caught from an action.
#pragma once

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "db/dao.h"
#include "jet/consistency_check.h"
#include "jet/database.h"
#include "jet/error.h"
#include "support/fixtures.h"

namespace db::testing {

// A copy of an Access-made fixture, in its own temporary folder.
inline std::string CopyOf(const std::string& fixture) {
  const std::string path = testing_support::TempDir() + "/" + fixture;
  std::filesystem::copy_file(testing_support::AccessMadeFile(fixture), path);
  return path;
}

inline int ErrorOf(const std::function<void()>& action) {
  try {
    action();
  } catch (const jet::Error& e) {
    return e.number();
  }
  return 0;
}

// The consistency checker's findings on a file, read afresh ("" when consistent).
inline std::string Problems(const std::string& path) {
  auto database = jet::Database::Open(path);
  std::string out;
  for (const std::string& line : jet::CheckDatabase(*database)) out += line + "\n";
  return out;
}

// One field of every row, walking the recordset from where it stands to its end.
inline std::vector<jet::Value> Column(Recordset& rs, std::string_view field) {
  std::vector<jet::Value> out;
  for (; !rs.Eof(); rs.MoveNext()) out.push_back(rs.Fields(field).Value());
  return out;
}

}  // namespace db::testing
