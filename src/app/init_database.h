// The one value the program reads from the initialisation database.
#pragma once

#include <string>

#include "jet/value.h"

namespace app {

// RESULTS_PATH of the first record of table INITIALIZE in the database at `path` (a program
// path, backslashes allowed), opened with the engine's default options. The engine's errors
// pass through unchanged: a missing file, a file that is not a database, a missing table or
// field, a table without records.
jet::Value ReadResultsPath(const std::string& path);

}  // namespace app
