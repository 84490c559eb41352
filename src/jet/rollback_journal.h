// The rollback journal: our own file beside a database we write, "<database path>.qbj"
// (e.g. "Results.mdb.qbj"). Jet has no journal of its own; this one makes a commit
// all-or-nothing even when our process dies between two page writes.
//
// Before a commit touches the database it writes one record to the journal, at offset 0, in one
// write: the page count before and after the commit, and for every page it overwrites the one
// byte range that changes, with the original bytes and a hash of the new ones (a hash of the
// appended pages too). Pages appended by the commit need no originals: rolling back cuts them
// off. The record carries a checksum, so a record torn by a crash while it was being written is
// recognised and ignored (the database was not touched yet).
//
// The record is not erased after the commit (that would cost a write per commit); instead the
// record describes a finished commit exactly when every range holds its new bytes and the
// appended pages are all there. On opening, a record that is not finished is rolled back. The
// writer removes the journal when it closes the database, so the file is only found after a
// crash (or while a writer has the database open).
//
// A marked record says instead when it is finished: the 8 bytes after it, zero when it is
// written, receive its mark once every page of the commit is written. That costs one more write,
// so it is used where writes are memory copies (both files mapped) and only our process dying is
// guarded against (Durability::kNormal): its stores reach the page cache in the order they were
// made, so a mark there means the pages are too, and the commit hashes nothing but the record.
// Under a power cut any subset of the writes may survive, which only the hashes can tell apart:
// Durability::kSync keeps them.
//
// Layout (little-endian):
//   header, 48 bytes:
//     0  8  magic "QBJOURN2"
//     8  4  page size (4096)
//    12  4  page count before the commit
//    16  4  page count after the commit
//    20  4  number of ranges
//    24  8  hash of the appended pages, in page order
//    32  4  length of the body (the bytes after the header, the mark not counted)
//    36  4  flags: 1 = marked (the hashes of new bytes and appended pages are then 0)
//    40  8  checksum: hash of bytes 0..39 seeded with the hash of the body
//   body, for each range:
//     0  4  page number (never 0: the header page is never written)
//     4  2  offset in the page
//     6  2  length (1..4096)
//     8  8  hash of the new bytes
//    16  n  the original bytes
//   marked records: 8 bytes, the mark (the checksum's complement) or 0 while unfinished
//
// Format: docs/format.md, locks, the lock file and our journal.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <system_error>
#include <vector>

#include "jet/bytes.h"

namespace jet {

class FileIo;

std::string RollbackJournalPath(const std::string& database_path);

// The hash behind the journal's checksums: 64 bits, fast, not meant against an adversary.
uint64_t JournalHash(const uint8_t* data, size_t size, uint64_t seed = 0);

// Builds one commit's record in a buffer kept between commits.
class JournalRecordBuilder {
 public:
  // A marked record (see above) hashes no new bytes: AddRange then ignores `current`.
  void Reset(uint32_t original_pages, uint32_t new_pages, bool marked = false);
  bool marked() const { return marked_; }
  // `original` and `current` are the whole range's bytes before and after the commit.
  void AddRange(uint32_t page, uint32_t offset, uint32_t length, const uint8_t* original,
                const uint8_t* current);
  void SetAppendedHash(uint64_t hash);
  // The finished record (checksum filled in, a marked one followed by its unset mark), to be
  // written at offset 0.
  const Bytes& Finish();
  // A marked record's mark, to be written at mark_offset() once the commit is in the database.
  uint64_t mark() const { return mark_; }
  uint64_t mark_offset() const { return bytes_.size() - sizeof mark_; }

 private:
  Bytes bytes_;
  uint32_t ranges_ = 0;
  bool marked_ = false;
  uint64_t mark_ = 0;
};

struct JournalRange {
  uint32_t page = 0;
  uint32_t offset = 0;
  uint32_t length = 0;
  uint64_t new_hash = 0;
  size_t original_at = 0;  // where the original bytes sit in JournalRecord::bytes
};

struct JournalRecord {
  uint32_t original_pages = 0;
  uint32_t new_pages = 0;
  uint64_t appended_hash = 0;
  bool marked = false;  // finished exactly when `mark_set`; the hashes are not kept
  bool mark_set = false;
  std::vector<JournalRange> ranges;
  Bytes bytes;  // the record as read

  const uint8_t* Original(const JournalRange& range) const {
    return bytes.data() + range.original_at;
  }
};

// The record in a journal file, or nothing when the file holds no complete record (empty, torn
// by a crash, or not a journal). Throws Error (corrupt) for a record whose checksum holds but
// whose contents cannot be ours, and (disk error) when the journal cannot be read.
std::optional<JournalRecord> ReadJournal(FileIo& journal, const std::string& journal_path);

enum class JournalState {
  kFinished,  // the commit reached the file: nothing to do
  kRollBack,  // the commit stopped part way (or before it began): put the originals back
  kStale,     // the database's size fits neither side: the record is not about this file's
              // present state (changed by someone else since), so it must not be applied
};

// Compares a record with the database as it is now.
JournalState ExamineJournal(const JournalRecord& record, FileIo& database, std::error_code& error);

// Writes the original bytes back and cuts the appended pages off.
std::error_code RollBackJournal(const JournalRecord& record, FileIo& database);

}  // namespace jet
