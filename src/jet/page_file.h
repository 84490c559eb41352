// Page I/O: the database file as an array of 4096-byte pages, read on demand and cached, and
// written in all-or-nothing operations.
//
// The cache is bounded (cache_capacity() pages, 64 MB unless set), so memory stays the same
// however large the file: past the bound, the least recently used pages that the current
// operation has not changed are dropped (their bytes are in the file) and read again when next
// asked for. Pages the current operation changed or appended always stay.
//
// A commit survives our process dying at any point: it first writes the original bytes it is
// about to overwrite to a rollback journal beside the database (rollback_journal.h), then the
// pages; whoever opens the file next puts an unfinished commit back. On Linux both are written
// by copying into shared mappings of the files (file_mapping.h), so a commit makes no system
// call unless it grows the file, and (Durability::kNormal) hashes no more than its journal
// record: a mark after the record says the commit is finished. Writers that declare the parts
// of pages they change (MutablePart) spare it comparing whole pages. A database open for writing is
// locked against our other writers, and a file that Access/Jet has open is refused for writing
// (file_lock.h).
//
// Format: docs/format.md, pages and the header; locks, the lock file and our journal; the 2 GB
// limit.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "jet/bytes.h"
#include "jet/file_io.h"
#include "jet/rollback_journal.h"

namespace jet {

class FileLock;

constexpr uint32_t kPageSize = 4096;
// The most a Jet 4 database file may hold, 2 GB: Access refuses to open a larger one.
constexpr uint64_t kMaxDatabaseBytes = uint64_t{1} << 31;

enum class OpenMode { kReadOnly, kReadWrite };

// Asks the processor to load a page's bytes into its caches ahead of their use (a hint: no
// effect where the compiler offers none).
inline void PrefetchPage(const uint8_t* page) {
#if defined(__GNUC__) || defined(__clang__)
  for (uint32_t at = 0; at < kPageSize; at += 64) __builtin_prefetch(page + at);
#else
  (void)page;
#endif
}

enum class Durability {
  // A commit is handed to the operating system before it returns: it survives our process
  // being killed, not a power cut. No fsync, so single-row operations stay cheap.
  kNormal,
  // Also forced to the disk (the journal before the database is touched, the database before
  // the commit returns): survives a power cut, at the price of two fsyncs per commit.
  kSync,
};

struct PageFileOptions {
  Durability durability = Durability::kNormal;
  // Where the database and its journal are read and written; null for the operating system's
  // files. Tests put a faulty one here.
  std::shared_ptr<FileSystem> files;
};

class PageFile {
 public:
  // Opens an existing file. Throws Error for a missing file (3024), a directory or an
  // unreadable (or, for writing, unwritable) file (3051), and a file too large (3343).
  // For writing it also throws 3045 ("file already in use") when another of our writers has
  // the file open, or Access/Jet has it open (its .ldb lock file is held); reading such a file
  // stays possible. Access/Jet is looked for when the file is opened, not before every commit.
  // A writer first rolls back a commit a crash left unfinished. A reader sees the file as it
  // was before that commit (the journal's originals laid over the pages) and writes nothing:
  // refusing instead would lock a crash's leftover out of every read-only use (the checker, an
  // export, a copy on a read-only medium) until someone opened it for writing. A reader that
  // opens while a writer of ours is live leaves that writer's journal alone, as it reads its
  // commits without a journal: readers beside a writer see each page as of their first read.
  explicit PageFile(const std::string& path, OpenMode mode = OpenMode::kReadOnly);
  PageFile(const std::string& path, OpenMode mode, const PageFileOptions& options);
  // A database image already in memory (tests, fuzzing): the same checks without a file.
  // `name` stands for the path in messages. Writes stay in memory (see image()).
  PageFile(std::string name, Bytes image, OpenMode mode = OpenMode::kReadOnly);
  ~PageFile();
  PageFile(const PageFile&) = delete;
  PageFile& operator=(const PageFile&) = delete;

  const std::string& path() const { return path_; }
  bool writable() const { return mode_ == OpenMode::kReadWrite; }
  // Whole pages in the file, pages appended by the current operation included; a trailing
  // partial page (a truncated copy) is not counted.
  uint32_t page_count() const { return page_count_; }

  // The page's 4096 bytes. A page number beyond the end of the file is a corrupt reference and
  // throws naming the page.
  // The pointer stays valid until the page changes or leaves the cache. The cache keeps every
  // page the current operation changed, and of the others at least the cache_capacity() / 2
  // most recently asked for: a caller may hold a pointer while it reads fewer other pages than
  // that (a row while its long values are read, a page while its neighbours are visited), and
  // copies the bytes it needs across more. (A reader beside a live writer may see a dropped
  // page as of a later commit when it reads it again.)
  const uint8_t* Page(uint32_t number);
  // Bumped whenever the page changes, also by a rollback: caches of decoded pages compare it.
  uint32_t PageVersion(uint32_t number) const {
    return number < versions_.size() ? versions_[number] : 0;
  }

  // Pages kept in memory beyond those the current operation changed (at least 2).
  static constexpr size_t kDefaultCachePages = 16384;
  size_t cache_capacity() const { return cache_capacity_; }
  void set_cache_capacity(size_t pages);
  size_t cached_pages() const { return cached_; }

  Durability durability() const { return durability_; }
  void set_durability(Durability durability) { durability_ = durability; }
  // The rollback journal of a file-backed database (written only while it is open for writing).
  const std::string& journal_path() const { return journal_path_; }

  // --- Writing: only inside an operation. ---
  // Operations nest; only the outermost commits or rolls back. Commit writes every changed
  // and appended page to the file before it returns; a commit that fails puts the file back
  // as it was and throws. If even that fails (the disk is gone), the journal still holds the
  // originals: the next operation, or the next opening of the file, puts them back first.
  void BeginOperation();
  void CommitOperation();
  void RollbackOperation();
  bool in_operation() const { return depth_ > 0; }

  // The page for changing. Page 0 (the header) is never written.
  uint8_t* MutablePage(uint32_t number);
  // The page for changing only its bytes [begin, end) (more parts by more calls; MutablePage
  // declares the whole page). The operation keeps and compares only the declared parts, which
  // spares a row insert copying and comparing whole pages for the few bytes it changes. A
  // change outside every declared part would be neither journaled nor written: callers declare
  // exactly what they change, and the tests check it (CheckDeclaredPartsForTesting).
  uint8_t* MutablePart(uint32_t number, uint32_t begin, uint32_t end);
  // As MutablePart, for bytes the caller rewrites nearly all of (an index leaf's entries moved
  // up by a new entry): the commit journals and writes the part as it is, without looking for
  // the bytes that stayed.
  uint8_t* RewrittenPart(uint32_t number, uint32_t begin, uint32_t end);
  // Makes every commit check that no page changed outside its declared parts (a logic_error
  // names the byte). Costs a copy of each changed page: for tests.
  static void CheckDeclaredPartsForTesting(bool on) { check_declared_parts_ = on; }
  // Appends a zero-filled page and returns its number. A page that would take the file past
  // kMaxDatabaseBytes is refused (3036); the operation then rolls back like any other failure.
  uint32_t AppendPage();
  // Lowers the most pages the file may grow to, so that tests meet the 2 GB limit without
  // writing 2 GB.
  void set_page_limit_for_testing(uint32_t pages) { page_limit_ = pages; }

  // In-memory files: the current bytes.
  const Bytes& image() const { return image_; }

  // Commits or rolls back on scope exit: `PageFile::Operation op(file); ...; op.Commit();`
  class Operation {
   public:
    explicit Operation(PageFile& file) : file_(file) { file_.BeginOperation(); }
    ~Operation() {
      if (!done_) file_.RollbackOperation();
    }
    Operation(const Operation&) = delete;
    Operation& operator=(const Operation&) = delete;
    void Commit() {
      done_ = true;
      file_.CommitOperation();
    }

   private:
    PageFile& file_;
    bool done_ = false;
  };

 private:
  // Bytes of one page a commit changes, [begin, end): a page's whole span of differences in
  // changes_, the parts of it that differ in parts_.
  struct Change {
    uint32_t page;
    uint32_t begin;
    uint32_t end;
  };

  void OpenFile(const std::string& path, const PageFileOptions& options);
  void AcquireWriterLock();
  void RecoverForWriting();
  void LoadReaderOverlay();
  uint8_t* Load(uint32_t number);
  bool Pinned(uint32_t number) const;
  void TrimCache();
  std::unique_ptr<uint8_t[]> NewPageBuffer();
  void WriteCommit();
  static constexpr uint32_t kLine = 64;  // originals are kept in lines of this many bytes
  static uint64_t LinesOf(uint32_t begin, uint32_t end);
  void KeepOriginal(uint32_t number, const uint8_t* page, uint64_t lines);
  void CheckDeclaredParts() const;
  void FindChangedParts(uint32_t page, const uint8_t* original, const uint8_t* current,
                        uint64_t lines);
  void WriteJournal();
  void WriteDatabase();
  std::error_code PutBack();
  bool RecoverAfterFailedCommit();
  void DiscardOperation();
  void EndOperation();

  std::string path_;
  OpenMode mode_ = OpenMode::kReadOnly;
  Durability durability_ = Durability::kNormal;
  Bytes image_;  // the whole file when there is no file (io_ is null)
  uint32_t page_count_ = 0;
  uint32_t page_limit_ = static_cast<uint32_t>(kMaxDatabaseBytes / kPageSize);
  std::vector<std::unique_ptr<uint8_t[]>> cache_;  // per page; null when not in memory
  std::vector<uint64_t> last_use_;                 // per page: use_clock_ when last asked for
  uint64_t use_clock_ = 0;
  size_t cached_ = 0;  // pages in cache_
  size_t cache_capacity_ = kDefaultCachePages;
  size_t trim_at_ = kDefaultCachePages;  // cached_ above which pages are dropped
  std::vector<std::pair<uint64_t, uint32_t>> trim_scratch_;
  std::vector<uint32_t> versions_;
  // One clock for the whole file: a page appended again after a rollback never repeats a
  // version an earlier incarnation had, so caches keyed on versions cannot mistake them.
  uint32_t version_clock_ = 0;

  // File-backed databases.
  std::shared_ptr<FileSystem> files_;
  std::unique_ptr<FileLock> lock_;  // writers: held while open
  std::unique_ptr<FileIo> io_;
  std::string journal_path_;
  std::unique_ptr<FileIo> journal_;   // writers: opened at the first commit, then reused
  bool journal_name_synced_ = false;  // its folder synced (Durability::kSync)
  JournalRecordBuilder record_;
  bool needs_recovery_ = false;           // a failed commit could not put the file back yet
  std::optional<JournalRecord> overlay_;  // readers: an unfinished commit's originals

  // The current operation.
  int depth_ = 0;
  uint32_t op_start_pages_ = 0;
  // Per page: its bytes before the operation, for the pages it changed (listed in dirty_), in
  // the lines that kept_lines_ marks.
  std::vector<std::unique_ptr<uint8_t[]>> originals_;
  std::vector<uint64_t> kept_lines_;  // per page: a bit per line of originals_ kept
  // Whole copies for CheckDeclaredParts.
  std::unordered_map<uint32_t, std::unique_ptr<uint8_t[]>> whole_originals_;
  static inline bool check_declared_parts_ = false;
  std::vector<uint32_t> dirty_;
  std::vector<Change> changes_;
  std::vector<Change> parts_;
  std::vector<Change> rewritten_;   // declared by RewrittenPart
  std::vector<WritePiece> pieces_;  // what WriteDatabase writes of them
  Bytes scratch_;
  std::vector<std::unique_ptr<uint8_t[]>> spare_;  // page buffers to reuse for originals
};

}  // namespace jet
