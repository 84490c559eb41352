// Whether another program has the main database open, asked before the file is replaced or an
// update is previewed. One function, so that a finer test of who holds the file can take its
// place without the callers changing.
#pragma once

#include <string>

namespace import_task {

// Why the file at `path` (operating-system form) counts as in use, or "" when nothing says so:
// Access/Jet's lock file held beside it, byte-range locks on it, one of our own writers holding
// it, or a rollback journal of ours beside it (a writer has it open, or a crash left a commit
// that the next writer must put back first).
std::string WhyInUse(const std::string& path);

}  // namespace import_task
