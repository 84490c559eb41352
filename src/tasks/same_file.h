// Whether a target path the user typed names the main database file.
//
// The laboratory types paths by hand, so one file has many spellings: other letter case, a
// relative form, "..", doubled backslashes, a link or a second hard link, a short name. A
// command that would delete and overwrite its target must refuse all of them, not only the
// text that equals the main database path.
#pragma once

#include <string_view>

namespace tasks {

// True when `target` names the file at `main_database`: the texts are equal; or both files
// exist and are one file (links, hard links, short names, case-insensitive file systems); or
// their absolute forms, with "." and ".." and links resolved, differ only in letter case, as
// the laboratory's Windows file system would treat them.
bool NamesSameFile(std::string_view target, std::string_view main_database);

}  // namespace tasks
