#include "jet/page_file.h"

#include <algorithm>
#include <bit>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <system_error>
#include <thread>
#include <utility>

#include "jet/error.h"
#include "jet/file_lock.h"
#include "jet/native_path.h"

namespace jet {
namespace {

constexpr uint32_t kMaxPages = 0x00FFFFFF;  // page numbers are 3 bytes in row pointers

// A reader holds the writer lock for the moment it takes to look at a journal; a writer opening
// just then waits that moment out instead of calling the file in use.
constexpr int kLockAttempts = 25;
constexpr auto kLockRetryDelay = std::chrono::milliseconds(2);

// Page copies kept for the originals of the next operations: a single-row operation touches a
// handful of pages, and a bulk one should not pin its thousands of copies afterwards.
constexpr size_t kMaxSpareBuffers = 64;

// Unchanged bytes between two changes of a page from which on they are journaled as two parts
// (a part costs 16 bytes of header and a hash).
constexpr uint32_t kJournalGap = 32;
constexpr uint32_t kStep = 4 * 64;  // bytes passed over at once where nothing changed

uint64_t Load64(const uint8_t* p) {
  uint64_t value;
  std::memcpy(&value, p, sizeof value);
  return value;
}

// One bit per 8-byte word of a 64-byte block, set where `a` and `b` differ; 0 for an equal
// block, found with one test (a row's slot and its bytes lie in a few blocks of a page).
uint32_t DifferingWords(const uint8_t* a, const uint8_t* b) {
  const auto differs = [&](uint32_t word) -> uint32_t {
    return (Load64(a + 8 * word) != Load64(b + 8 * word)) << word;
  };
  // Written out: compilers leave the loop in place, at several times the cost.
  return differs(0) | differs(1) | differs(2) | differs(3) | differs(4) | differs(5) | differs(6) |
         differs(7);
}

// The blocks [first, last) outside of which `a` and `b` agree; false when they are equal. The
// ends of a page usually are (only the header and a few slots change at its top), and memcmp
// passes over them fastest.
bool ChangedBlocks(const uint8_t* a, const uint8_t* b, uint32_t& first, uint32_t& last) {
  uint32_t i = 0;
  while (i < kPageSize && std::memcmp(a + i, b + i, kStep) == 0) i += kStep;
  if (i == kPageSize) return false;
  uint32_t j = kPageSize;  // the step holding i differs, so this loop stops above it
  while (std::memcmp(a + j - kStep, b + j - kStep, kStep) == 0) j -= kStep;
  first = i;
  last = j;
  return true;
}

}  // namespace

void PageFile::FindChangedParts(uint32_t page, const uint8_t* original, const uint8_t* current,
                                uint64_t lines) {
  // An insert changes a slot near the top of a page and a row far below it, an index insert
  // everything from the new entry on: the parts that differ (in whole words) are journaled,
  // apart where at least kJournalGap bytes between them did not change. Only the kept lines
  // can differ.
  bool open = false;
  uint32_t begin = 0, end = 0;
  const auto changed = [&](uint32_t first, uint32_t last) {
    if (open && first - end < kJournalGap) {
      end = last;
      return;
    }
    if (open) parts_.push_back({page, begin, end});
    open = true;
    begin = first;
    end = last;
  };
  const auto visit = [&](uint32_t block) {
    uint32_t mask = DifferingWords(original + block, current + block);
    if (mask == (1u << (kLine / 8)) - 1) {
      changed(block, block + kLine);
      return;
    }
    for (; mask != 0; mask &= mask - 1) {
      const uint32_t at = block + 8 * static_cast<uint32_t>(std::countr_zero(mask));
      changed(at, at + 8);
    }
  };
  if (lines != ~uint64_t{0}) {
    for (; lines != 0; lines &= lines - 1)
      visit(kLine * static_cast<uint32_t>(std::countr_zero(lines)));
  } else {
    uint32_t first = 0, last = 0;
    if (!ChangedBlocks(original, current, first, last)) return;
    for (uint32_t block = first; block < last; block += kLine) {
      // Equal stretches (a data page's free space between its slots and its rows) go by in
      // larger steps.
      while (block % kStep == 0 && last - block >= kStep &&
             std::memcmp(original + block, current + block, kStep) == 0) {
        block += kStep;
      }
      if (block < last) visit(block);
    }
  }
  if (open) parts_.push_back({page, begin, end});
}

PageFile::PageFile(const std::string& path, OpenMode mode) : PageFile(path, mode, {}) {}

PageFile::PageFile(const std::string& path, OpenMode mode, const PageFileOptions& options)
    : path_(path), mode_(mode), durability_(options.durability) {
  std::error_code ec;
  const auto status = std::filesystem::status(U8Path(path), ec);
  if (ec || !std::filesystem::exists(status)) {
    throw Error(kErrFileNotFound, "Could not find file '" + path + "'.");
  }
  if (std::filesystem::is_directory(status)) {
    throw Error(kErrCannotOpenFile, "Cannot open '" + path + "': it is a folder, not a file.");
  }
  OpenFile(path, options);
}

void PageFile::OpenFile(const std::string& path, const PageFileOptions& options) {
  files_ = options.files ? options.files : OsFileSystem();
  journal_path_ = RollbackJournalPath(path);
  std::error_code error;
  io_ = files_->Open(path, writable() ? FileAccess::kReadWrite : FileAccess::kRead, error);
  if (io_ == nullptr) {
    if (error == std::errc::device_or_resource_busy) {
      throw Error(kErrFileInUse, "Could not use '" + path +
                                     "'; file already in use: another program has it open "
                                     "exclusively.");
    }
    throw Error(kErrCannotOpenFile, "Cannot open '" + path + "'" +
                                        (writable() ? " for writing" : "") + ": " +
                                        error.message() + ".");
  }
  if (writable()) {
    AcquireWriterLock();
    const std::string foreign = ForeignUseOf(path);
    if (!foreign.empty()) {
      throw Error(kErrFileInUse, "Could not use '" + path + "'; file already in use: " + foreign +
                                     ". It can still be opened read-only.");
    }
    RecoverForWriting();
  } else {
    LoadReaderOverlay();
  }
  uint64_t size = 0;
  if (io_->Size(size)) throw Error(kErrCannotOpenFile, "Cannot read the size of '" + path + "'.");
  if (size / kPageSize > kMaxPages) {
    throw Error(kErrUnrecognizedFormat,
                "Unrecognized database format '" + path + "': the file is too large.");
  }
  page_count_ = static_cast<uint32_t>(size / kPageSize);
  if (overlay_) page_count_ = std::min(page_count_, overlay_->original_pages);
  cache_.resize(page_count_);
  last_use_.resize(page_count_);
  versions_.resize(page_count_);
}

void PageFile::AcquireWriterLock() {
  for (int attempt = 0;; ++attempt) {
    switch (FileLock::TryAcquire(path_, FileLock::Mode::kExclusive, lock_)) {
      case FileLock::Result::kAcquired:
        return;
      case FileLock::Result::kUnsupported:
        // A file system without locks (some network mounts): writing stays possible, as it is
        // for Jet on such shares, without the protection.
        return;
      case FileLock::Result::kHeldElsewhere:
        break;
    }
    if (attempt + 1 == kLockAttempts) {
      throw Error(kErrFileInUse, "Could not use '" + path_ +
                                     "'; file already in use: another of our programs has it "
                                     "open for writing. It can still be opened read-only.");
    }
    std::this_thread::sleep_for(kLockRetryDelay);
  }
}

void PageFile::RecoverForWriting() {
  std::error_code error;
  auto journal = files_->Open(journal_path_, FileAccess::kReadWrite, error);
  if (journal == nullptr) {
    if (error == std::errc::no_such_file_or_directory) return;
    throw Error(kErrCannotOpenFile, "Cannot open the rollback journal '" + journal_path_ +
                                        "' of '" + path_ + "': " + error.message() + ".");
  }
  if (const auto record = ReadJournal(*journal, journal_path_)) {
    const JournalState state = ExamineJournal(*record, *io_, error);
    if (!error && state == JournalState::kRollBack) {
      error = RollBackJournal(*record, *io_);
      // Once the next commit overwrites the journal, the rolled-back bytes are the only copy.
      if (!error) error = io_->Sync();
    }
    if (error) {
      throw Error(kErrIo, "Disk or network error putting back the unfinished change recorded in '" +
                              journal_path_ + "' (" + error.message() + ").");
    }
  }
  journal_ = std::move(journal);
}

void PageFile::LoadReaderOverlay() {
  std::error_code error;
  auto journal = files_->Open(journal_path_, FileAccess::kRead, error);
  if (journal == nullptr) {
    if (error == std::errc::no_such_file_or_directory) return;
    throw Error(kErrCannotOpenFile, "Cannot read the rollback journal '" + journal_path_ +
                                        "' of '" + path_ + "': " + error.message() + ".");
  }
  // A journal beside a file that a writer of ours has open is that writer's business: its
  // commits go on while we read, as they would without a journal. Only a journal nobody holds
  // is a crash's leftover.
  std::unique_ptr<FileLock> probe;
  if (FileLock::TryAcquire(path_, FileLock::Mode::kShared, probe) ==
      FileLock::Result::kHeldElsewhere) {
    return;
  }
  auto record = ReadJournal(*journal, journal_path_);
  if (!record) return;
  const JournalState state = ExamineJournal(*record, *io_, error);
  if (error) {
    throw Error(kErrIo, "Disk or network error reading '" + path_ + "' (" + error.message() + ").");
  }
  // Readers never write: the unfinished commit stays in the file for the next writer to put
  // back, and we read around it.
  if (state == JournalState::kRollBack) overlay_ = std::move(record);
}

PageFile::PageFile(std::string name, Bytes image, OpenMode mode)
    : path_(std::move(name)), mode_(mode), image_(std::move(image)) {
  if (image_.size() / kPageSize > kMaxPages) {
    throw Error(kErrUnrecognizedFormat,
                "Unrecognized database format '" + path_ + "': the file is too large.");
  }
  page_count_ = static_cast<uint32_t>(image_.size() / kPageSize);
  cache_.resize(page_count_);
  last_use_.resize(page_count_);
  versions_.resize(page_count_);
}

PageFile::~PageFile() {
  if (depth_ > 0) DiscardOperation();
  if (needs_recovery_) RecoverAfterFailedCommit();
  if (journal_ != nullptr) {
    journal_.reset();
    // Left in place when the file could not be put back: the next opener needs it.
    if (!needs_recovery_) files_->Remove(journal_path_);
  }
  io_.reset();
  lock_.reset();  // last: nobody may start writing before the journal is gone
}

std::unique_ptr<uint8_t[]> PageFile::NewPageBuffer() {
  // Not zeroed: every user fills the bytes it reads (a spare holds another page's anyway).
  if (spare_.empty()) return std::make_unique_for_overwrite<uint8_t[]>(kPageSize);
  auto buffer = std::move(spare_.back());
  spare_.pop_back();
  return buffer;
}

uint8_t* PageFile::Load(uint32_t number) {
  if (number >= page_count_) {
    ThrowCorrupt(number, "reference to a page beyond the end of the file (" +
                             std::to_string(page_count_) + " pages)");
  }
  last_use_[number] = ++use_clock_;
  auto& slot = cache_[number];
  if (!slot) {
    // Each page in a buffer of its own, also for an image in memory, so that a read past a
    // page's end is caught by the sanitizers instead of landing in the next page.
    auto buffer = NewPageBuffer();
    if (io_ == nullptr) {
      std::memcpy(buffer.get(), image_.data() + static_cast<size_t>(number) * kPageSize, kPageSize);
    } else {
      size_t read = 0;
      const std::error_code error =
          io_->ReadAt(static_cast<uint64_t>(number) * kPageSize, buffer.get(), kPageSize, read);
      if (error || read != kPageSize) {
        throw Error(kErrIo, "Disk or network error reading page " + std::to_string(number) +
                                " of '" + path_ + "'" +
                                (error ? " (" + error.message() + ")" : std::string()) + ".");
      }
      if (overlay_) {
        for (const JournalRange& range : overlay_->ranges) {
          if (range.page != number) continue;
          std::memcpy(buffer.get() + range.offset, overlay_->Original(range), range.length);
        }
      }
    }
    slot = std::move(buffer);
    // Never drops this page: it is the most recently used.
    if (++cached_ > trim_at_) TrimCache();
  }
  return slot.get();
}

void PageFile::set_cache_capacity(size_t pages) {
  cache_capacity_ = std::max<size_t>(pages, 2);
  trim_at_ = cache_capacity_;
  if (cached_ > trim_at_) TrimCache();
}

bool PageFile::Pinned(uint32_t number) const {
  // An operation's changed and appended pages exist nowhere else until it commits.
  return depth_ > 0 && (number >= op_start_pages_ || originals_[number] != nullptr);
}

void PageFile::TrimCache() {
  // After a commit that could not be put back, the file holds bytes the cache does not: the
  // cache is the truth until the journal has put the file right.
  if (needs_recovery_) return;
  const size_t keep = cache_capacity_ / 2;
  trim_scratch_.clear();
  for (uint32_t p = 0; p < cache_.size(); ++p) {
    if (cache_[p] && !Pinned(p)) trim_scratch_.emplace_back(last_use_[p], p);
  }
  if (trim_scratch_.size() > keep) {
    const auto drop = trim_scratch_.begin() + static_cast<ptrdiff_t>(trim_scratch_.size() - keep);
    std::nth_element(trim_scratch_.begin(), drop, trim_scratch_.end());
    for (auto it = trim_scratch_.begin(); it != drop; ++it) {
      auto& slot = cache_[it->second];
      if (spare_.size() < kMaxSpareBuffers) spare_.push_back(std::move(slot));
      slot.reset();
      --cached_;
    }
  }
  // An operation holding more pages than the bound grows the cache instead of trimming it at
  // every read.
  trim_at_ = std::max(cache_capacity_, cached_ + keep);
}

const uint8_t* PageFile::Page(uint32_t number) { return Load(number); }

void PageFile::BeginOperation() {
  if (!writable()) {
    throw Error(kErrReadOnly, "Cannot update '" + path_ + "': the database was opened read-only.");
  }
  if (depth_ == 0 && needs_recovery_ && !RecoverAfterFailedCommit()) {
    throw Error(kErrIo, "Disk or network error: '" + path_ +
                            "' still holds part of a change that failed; it is put back from '" +
                            journal_path_ + "' when the file can be written again.");
  }
  if (depth_++ == 0) {
    op_start_pages_ = page_count_;
    if (originals_.size() < op_start_pages_) {
      originals_.resize(op_start_pages_);
      kept_lines_.resize(op_start_pages_);
    }
  }
}

uint8_t* PageFile::MutablePage(uint32_t number) { return MutablePart(number, 0, kPageSize); }

uint8_t* PageFile::RewrittenPart(uint32_t number, uint32_t begin, uint32_t end) {
  uint8_t* page = MutablePart(number, begin, end);
  if (number < op_start_pages_) rewritten_.push_back({number, begin, end});
  return page;
}

uint8_t* PageFile::MutablePart(uint32_t number, uint32_t begin, uint32_t end) {
  if (depth_ == 0) throw std::logic_error("PageFile::MutablePage outside an operation");
  if (number == 0) throw std::logic_error("the database header page is never written");
  if (begin >= end || end > kPageSize) throw std::logic_error("PageFile::MutablePart: bad range");
  uint8_t* page = Load(number);
  if (number < op_start_pages_) {
    KeepOriginal(number, page, LinesOf(begin, end));
    if (io_ != nullptr && end - begin < kPageSize) {
      io_->WillWrite(static_cast<uint64_t>(number) * kPageSize + begin, end - begin);
    }
  }
  versions_[number] = ++version_clock_;
  return page;
}

uint64_t PageFile::LinesOf(uint32_t begin, uint32_t end) {
  const uint32_t first = begin / kLine, last = (end - 1) / kLine;
  const uint64_t up_to_last = last == 63 ? ~uint64_t{0} : (uint64_t{1} << (last + 1)) - 1;
  return up_to_last & ~((uint64_t{1} << first) - 1);
}

void PageFile::KeepOriginal(uint32_t number, const uint8_t* page, uint64_t lines) {
  auto& original = originals_[number];
  if (original == nullptr) {
    original = NewPageBuffer();
    kept_lines_[number] = 0;
    dirty_.push_back(number);
    if (check_declared_parts_) {
      auto& whole = whole_originals_[number];
      whole = std::make_unique<uint8_t[]>(kPageSize);
      std::memcpy(whole.get(), page, kPageSize);
    }
  }
  // Lines already kept hold the bytes from before the operation; the others are copied now,
  // before the caller changes them.
  uint64_t wanted = lines & ~kept_lines_[number];
  kept_lines_[number] |= wanted;
  if (wanted == ~uint64_t{0}) {
    std::memcpy(original.get(), page, kPageSize);
    return;
  }
  // A line at a time, in a copy of fixed size the compiler lays out as a few vector moves: most
  // calls keep one to a few lines, for which a copy of variable length (rep movs) costs several
  // times as much.
  for (; wanted != 0; wanted &= wanted - 1) {
    const uint32_t at = kLine * static_cast<uint32_t>(std::countr_zero(wanted));
    std::memcpy(original.get() + at, page + at, kLine);
  }
}

void PageFile::CheckDeclaredParts() const {
  for (uint32_t number : dirty_) {
    const uint8_t* whole = whole_originals_.at(number).get();
    const uint8_t* current = cache_[number].get();
    for (uint32_t line = 0; line < kPageSize / kLine; ++line) {
      if ((kept_lines_[number] >> line) & 1) continue;
      for (uint32_t i = line * kLine; i < (line + 1) * kLine; ++i) {
        if (whole[i] != current[i]) {
          throw std::logic_error("page " + std::to_string(number) + " changed at byte " +
                                 std::to_string(i) + ", outside the parts declared for changing");
        }
      }
    }
  }
}

uint32_t PageFile::AppendPage() {
  if (depth_ == 0) throw std::logic_error("PageFile::AppendPage outside an operation");
  if (page_count_ >= page_limit_) {
    throw Error(kErrDatabaseFull,
                "Database has reached maximum size: '" + path_ + "' would grow past " +
                    std::to_string(static_cast<uint64_t>(page_limit_) * kPageSize) +
                    " bytes, and a Jet 4 database file may hold at most 2 GB (" +
                    std::to_string(kMaxDatabaseBytes) + " bytes). The change was not made.");
  }
  auto page = NewPageBuffer();
  std::memset(page.get(), 0, kPageSize);
  cache_.push_back(std::move(page));
  last_use_.push_back(++use_clock_);
  ++cached_;
  versions_.push_back(++version_clock_);
  return page_count_++;
}

void PageFile::CommitOperation() {
  if (depth_ == 0) throw std::logic_error("PageFile::CommitOperation outside an operation");
  if (--depth_ > 0) return;
  try {
    WriteCommit();
  } catch (...) {
    ++depth_;
    RollbackOperation();
    throw;
  }
  EndOperation();
}

void PageFile::WriteCommit() {
  if (check_declared_parts_) CheckDeclaredParts();
  if (io_ == nullptr) {
    image_.resize(static_cast<size_t>(page_count_) * kPageSize);
    const auto put = [&](uint32_t p) {
      std::memcpy(image_.data() + static_cast<size_t>(p) * kPageSize, cache_[p].get(), kPageSize);
    };
    for (uint32_t p : dirty_) put(p);
    for (uint32_t p = op_start_pages_; p < page_count_; ++p) put(p);
    return;
  }
  changes_.clear();
  parts_.clear();
  std::sort(dirty_.begin(), dirty_.end());
  std::sort(rewritten_.begin(), rewritten_.end(),
            [](const Change& a, const Change& b) { return a.page < b.page; });
  size_t next_rewritten = 0;
  for (uint32_t page : dirty_) {
    const size_t first = parts_.size();
    // Rewritten parts go to the journal as they are; only the other kept lines are compared.
    uint64_t compare = kept_lines_[page];
    for (; next_rewritten < rewritten_.size() && rewritten_[next_rewritten].page == page;
         ++next_rewritten) {
      const Change& part = rewritten_[next_rewritten];
      parts_.push_back(part);
      const uint32_t inner_begin = (part.begin + kLine - 1) / kLine * kLine;
      const uint32_t inner_end = part.end / kLine * kLine;
      if (inner_begin < inner_end) compare &= ~LinesOf(inner_begin, inner_end);
    }
    FindChangedParts(page, originals_[page].get(), cache_[page].get(), compare);
    if (parts_.size() > first) {
      Change span{page, kPageSize, 0};
      for (size_t i = first; i < parts_.size(); ++i) {
        span.begin = std::min(span.begin, parts_[i].begin);
        span.end = std::max(span.end, parts_[i].end);
      }
      changes_.push_back(span);
    }
  }
  if (changes_.empty() && page_count_ == op_start_pages_) return;  // nothing to write
  WriteJournal();
  WriteDatabase();
}

void PageFile::WriteJournal() {
  // The database is not touched until the journal is written: a failure here changes nothing.
  std::error_code error;
  if (journal_ == nullptr) {
    journal_ = files_->Open(journal_path_, FileAccess::kCreateReadWrite, error);
  }
  if (!error) {
    // Marked where the mark is one more memory copy and only our process dying is guarded
    // against (rollback_journal.h): the commit then hashes none of its bytes.
    const bool marked = durability_ == Durability::kNormal && io_->Mapped() && journal_->Mapped();
    record_.Reset(op_start_pages_, page_count_, marked);
    for (const Change& part : parts_) {
      record_.AddRange(part.page, part.begin, part.end - part.begin,
                       originals_[part.page].get() + part.begin,
                       cache_[part.page].get() + part.begin);
    }
    if (page_count_ > op_start_pages_ && !marked) {
      uint64_t hash = 0;
      for (uint32_t p = op_start_pages_; p < page_count_; ++p) {
        hash = JournalHash(cache_[p].get(), kPageSize, hash);
      }
      record_.SetAppendedHash(hash);
    }
    const Bytes& record = record_.Finish();
    error = journal_->WriteAt(0, record.data(), record.size());
  }
  if (!error && durability_ == Durability::kSync) {
    error = journal_->Sync();
    // A journal whose name is lost in a power cut protects nothing.
    if (!error && !journal_name_synced_) error = files_->SyncFolderOf(journal_path_);
    journal_name_synced_ = !error;
  }
  if (error) {
    throw Error(kErrIo, "Disk or network error writing the rollback journal '" + journal_path_ +
                            "' (" + error.message() + "); the change was not made.");
  }
}

void PageFile::WriteDatabase() {
  std::error_code error;
  // New pages first, in one write: a full disk then fails before an existing byte changed.
  const uint32_t appended = page_count_ - op_start_pages_;
  if (appended > 0) {
    const uint8_t* data = cache_[op_start_pages_].get();
    if (appended > 1) {
      scratch_.resize(static_cast<size_t>(appended) * kPageSize);
      for (uint32_t i = 0; i < appended; ++i) {
        std::memcpy(scratch_.data() + static_cast<size_t>(i) * kPageSize,
                    cache_[op_start_pages_ + i].get(), kPageSize);
      }
      data = scratch_.data();
    }
    error = io_->WriteAt(static_cast<uint64_t>(op_start_pages_) * kPageSize, data,
                         static_cast<size_t>(appended) * kPageSize);
  }
  // Into a mapped file the parts that changed; otherwise one write a page, across the unchanged
  // bytes between its parts (copying them costs less than a system call).
  if (!error) {
    const std::vector<Change>& changes = io_->Mapped() ? parts_ : changes_;
    pieces_.clear();
    for (const Change& change : changes) {
      pieces_.push_back({static_cast<uint64_t>(change.page) * kPageSize + change.begin,
                         cache_[change.page].get() + change.begin, change.end - change.begin});
    }
    error = io_->WriteAll(pieces_);
  }
  if (!error && durability_ == Durability::kSync) error = io_->Sync();
  if (!error && record_.marked()) {
    // Last: from here on the commit is finished for whoever opens the file next.
    uint8_t mark[8];
    PutU64(mark, record_.mark());
    error = journal_->WriteAt(record_.mark_offset(), mark, sizeof mark);
  }
  if (!error) return;

  std::string outcome = "the change was not made";
  if (PutBack()) {
    needs_recovery_ = true;
    outcome = "part of the change is still in the file and is put back from '" + journal_path_ +
              "' before the next change or when the file is next opened";
  }
  throw Error(kErrIo, "Disk or network error writing '" + path_ + "' (" + error.message() + "); " +
                          outcome + ".");
}

std::error_code PageFile::PutBack() {
  // The parts, not the pages' whole spans: only the parts' lines were kept.
  for (const Change& part : parts_) {
    if (auto error =
            io_->WriteAt(static_cast<uint64_t>(part.page) * kPageSize + part.begin,
                         originals_[part.page].get() + part.begin, part.end - part.begin)) {
      return error;
    }
  }
  if (page_count_ > op_start_pages_) {
    if (auto error = io_->Truncate(static_cast<uint64_t>(op_start_pages_) * kPageSize)) {
      return error;
    }
  }
  return durability_ == Durability::kSync ? io_->Sync() : std::error_code();
}

bool PageFile::RecoverAfterFailedCommit() {
  // The journal holds the failed commit (it was written before the database was touched), so
  // its originals go back whatever the database shows now.
  try {
    const auto record = ReadJournal(*journal_, journal_path_);
    if (!record || RollBackJournal(*record, *io_) || io_->Sync()) return false;
  } catch (const Error&) {
    return false;
  }
  needs_recovery_ = false;
  return true;
}

void PageFile::RollbackOperation() {
  if (depth_ == 0) throw std::logic_error("PageFile::RollbackOperation outside an operation");
  if (--depth_ > 0) return;
  DiscardOperation();
}

void PageFile::DiscardOperation() {
  depth_ = 0;
  for (uint32_t number : dirty_) {
    uint64_t lines = kept_lines_[number];
    if (lines == ~uint64_t{0}) {
      std::swap(cache_[number], originals_[number]);
    } else {
      for (; lines != 0; lines &= lines - 1) {
        const uint32_t at = kLine * static_cast<uint32_t>(std::countr_zero(lines));
        std::memcpy(cache_[number].get() + at, originals_[number].get() + at, kLine);
      }
    }
    versions_[number] = ++version_clock_;
  }
  cached_ -= page_count_ - op_start_pages_;  // appended pages stay cached until here
  cache_.resize(op_start_pages_);
  last_use_.resize(op_start_pages_);
  versions_.resize(op_start_pages_);
  page_count_ = op_start_pages_;
  EndOperation();
}

void PageFile::EndOperation() {
  for (uint32_t number : dirty_) {
    if (spare_.size() < kMaxSpareBuffers) spare_.push_back(std::move(originals_[number]));
    originals_[number].reset();
  }
  if (!whole_originals_.empty()) whole_originals_.clear();  // clearing an empty map still costs
  dirty_.clear();
  changes_.clear();
  parts_.clear();
  rewritten_.clear();
  // Pages appended by operations enter the cache without being read: a file that only grows
  // is trimmed here.
  if (cached_ > trim_at_) TrimCache();
}

}  // namespace jet
