// Files and folders as the tasks use them.
//
// The program builds its paths as the laboratory writes them on Windows: a folder, then a
// backslash, then a name ("D:\Data" + "\Quorbase.mdb"). Those texts are kept as they are in
// the program (they are shown to the user and compared), and turned into the operating
// system's form only here, at the file-system boundary. On Windows they pass unchanged; on
// other systems every backslash becomes a slash, so "/srv/lab" + "\Quorbase.mdb" names
// /srv/lab/Quorbase.mdb and a doubled separator ("D:\Data\\Quorbase.mdb") still resolves.
#pragma once

#include <string>
#include <string_view>

namespace platform {

// The path in the operating system's form (see above).
std::string NativePath(std::string_view path);

// True when an ordinary file exists at `path`: not a folder, and not a hidden or system file
// (on Windows the hidden and system attributes; elsewhere a name starting with a dot), as the
// laboratory's tools have always tested for files.
bool FileExists(std::string_view path);

// Deletes a file. Returns "" on success, else the system's description of the failure.
std::string RemoveFile(std::string_view path);

// Copies `from` to `to`, replacing `to`. Returns "" on success, else the failure's description.
std::string CopyFileOver(std::string_view from, std::string_view to);

// The process's current folder, in the operating system's form, without a trailing separator
// (except for a root such as "/" or "C:\").
std::string CurrentFolder();

// Changes the current folder; false when the folder does not exist or cannot be entered.
bool SetCurrentFolder(std::string_view folder);

// The folder where the laboratory's programs and their initialisation database are installed:
// "c:\quorvel\programs" on Windows, "/opt/quorvel/programs" elsewhere (the customary place for
// software installed outside the system's package manager).
std::string DefaultProgramFolder();

}  // namespace platform
