// The copy of the main database an update makes before it writes, and the fingerprint of the
// main file it leaves behind, so that one update can be taken back (undo_import.h).
//
// The update writes row by row without a transaction, so the only way back from a wrong
// on-site file or a "No" half-way is the file as it was. The copy lies beside the main
// database, "Quorbase backup yyyy-mm-dd hh-mm-ss.mdb" (a second update in the same second adds
// " (2)", " (3)"...), and is verified byte for byte before the update starts. When the update
// ends, "<backup>.fingerprint" records the main file's size, modification time and hash, so that
// an undo can tell that nobody changed the main database since.
//
// Only the newest kBackupsKept copies are kept: each is a whole copy of the main database
// (hundreds of megabytes after some years), an undo only ever needs the newest, and five cover
// a day of site visits imported one after another, in which a wrong file is noticed at the
// latest when the next one is imported; the laboratory's own backups go further back.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "tasks/date_text.h"

namespace import_task {

inline constexpr int kBackupsKept = 5;

// What identifies the contents of a file without keeping them.
struct FileFingerprint {
  uint64_t size = 0;
  int64_t modified = 0;  // the file system's modification time, in its own ticks
  uint64_t hash = 0;     // over every byte

  bool operator==(const FileFingerprint&) const = default;
};

// The fingerprint of the file at `path` (operating system form); empty when it cannot be read.
std::optional<FileFingerprint> FingerprintOf(const std::string& path);

struct BackupMade {
  std::string path;   // the copy, in the operating system's form; empty when none was made
  std::string error;  // why not
};

// Copies the main database (operating system form) into `folder` under a name with `when`,
// verifies the copy byte for byte, and deletes the oldest copies beyond kBackupsKept. A copy
// that cannot be made or does not verify is removed again and reported in `error`.
BackupMade BackupMainDatabase(const std::string& main_path, const std::string& folder,
                              const tasks::LocalTime& when);

// The backups of `main_path` in `folder`, oldest first.
std::vector<std::string> BackupsOf(const std::string& main_path, const std::string& folder);

std::string FingerprintPathOf(const std::string& backup_path);
// Where a backup's fingerprint goes once it has been undone: it is not undone twice.
std::string UndonePathOf(const std::string& backup_path);

// The fingerprint file: "size N", "modified N" and "hash H" lines (H in hex).
bool WriteFingerprint(const std::string& path, const FileFingerprint& fingerprint);
std::optional<FileFingerprint> ReadFingerprint(const std::string& path);

// True when the two files hold the same bytes.
bool SameBytes(const std::string& a, const std::string& b);

}  // namespace import_task
