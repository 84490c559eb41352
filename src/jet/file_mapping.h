// A shared memory mapping of an open file, through which writes to the file's existing bytes
// become plain memory copies instead of system calls. (Reads stay system calls: pages only read
// need not stay in the process's resident memory.)
//
// Why: a row insert changes a few bytes on about six pages (the journal, a data page, the table
// definition, the index leaves). Written with pwrite, each change costs a system call and most
// of the insert's time; copied into a shared mapping, the bytes are in the operating system's
// page cache as soon as the copy ends, exactly as after a pwrite: they survive our process
// being killed, and reach the disk with the kernel's writeback (or at fsync).
//
// The price of a mapping is that a failure to store a page (a full disk on a copy-on-write file
// system, a hole in a sparse file, an I/O error, the file cut short by another program) arrives
// as SIGBUS instead of an error code. Copies are therefore guarded: a SIGBUS inside a guarded
// copy ends that copy, which reports the failure as an error, and the caller handles it as it
// handles a failed pwrite. A SIGBUS anywhere else goes to whoever handled it before.
//
// Mappings are made only where they behave as described: Linux, 64-bit, on local file systems
// (network file systems keep their own caches and locks); elsewhere Create returns null and the
// file is read and written with system calls.
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <system_error>
#include <vector>

#include "jet/file_io.h"

namespace jet {

class FileMapping {
 public:
  // A mapping of `fd` (open for reading and writing, `size` bytes long now), or null where
  // mappings are not used (see above) or the system refuses one.
  static std::unique_ptr<FileMapping> Create(int fd, uint64_t size);
  ~FileMapping();
  FileMapping(const FileMapping&) = delete;
  FileMapping& operator=(const FileMapping&) = delete;

  // The file's length as far as the mapping knows it: the caller reports every change of it it
  // makes (appending writes, truncation). Only bytes below it are copied through the mapping.
  uint64_t size() const { return size_; }
  // Grows the mapping first when the file outgrows it; false when the system refuses, and then
  // the mapping is unusable (the caller drops it).
  bool SetSize(uint64_t size);

  // False (nothing done) when [offset, offset + size) is not below size(), so the caller uses a
  // system call instead; a guarded copy that fails sets `error`.
  bool Write(uint64_t offset, const uint8_t* data, size_t size, std::error_code& error);
  // Several pieces at once, under one guard: false (nothing done) unless every piece is below
  // size(). After an error any of them may have been copied in part.
  bool Write(std::span<const WritePiece> pieces, std::error_code& error);
  // Starts loading the lines of [offset, offset + size) for writing (a hint; nothing beyond
  // size()).
  void WillWrite(uint64_t offset, size_t size) const;

  // Hands every change made through the mapping to the disk (before the file's fsync).
  std::error_code Sync();

  // Pages written through the mapping stay in the process's resident memory until released:
  // once they may take more than this budget (32 MB), they are all released together, which
  // bounds the resident memory whatever the file's size. Their bytes stay in the page cache;
  // a page written again after a release costs one page fault, so a budget far below the
  // pages a workload keeps rewriting (a large index filled at random) turns its writes into
  // faults. (Rebuilding a 1.8 GB database, whose indexes are written all over, faults 1% more
  // with 32 MB than with 64 MB.)
  //
  // Counting the pages written is not enough: the system maps a whole block of the page cache
  // (a folio, up to 2 MB) at the first write into any page of it, and how large those blocks
  // are depends on how the file came into the cache (a file copied in one go is held in large
  // ones). So the budget is kept on what the system itself counts: the process's resident file
  // pages, read (cheaply) whenever the pages written since the last reading could, each with
  // a whole block, have taken the mapping past it. Where that count cannot be read, the pages
  // written are counted instead.
  static constexpr size_t kResidentPageBudget = 8192;
  void set_resident_page_budget(size_t pages) { resident_budget_ = pages; }
  // Pages written since the last release.
  size_t resident_pages() const { return resident_; }

 private:
  FileMapping(uint8_t* base, uint64_t length, uint64_t size, size_t page_size)
      : base_(base),
        length_(length),
        size_(size),
        page_size_(page_size),
        page_shift_(static_cast<unsigned>(std::countr_zero(page_size))) {}
  void CountResident(uint64_t offset, size_t size);
  bool OverBudget();
  void Release();

  uint8_t* base_;
  uint64_t length_;  // bytes mapped, at least size_: the file grows into it without a new mapping
  uint64_t size_;
  size_t page_size_;               // the system's (a power of two)
  unsigned page_shift_;            // its logarithm
  std::vector<uint64_t> written_;  // a bit per page written since the last release
  size_t resident_ = 0;            // bits set in written_
  size_t resident_budget_ = kResidentPageBudget;
  // The process's resident file bytes just after the last release (or the mapping's making),
  // the mapping's share of them at the last reading, and the pages first written since.
  uint64_t resident_base_ = 0;
  uint64_t measured_ = 0;
  size_t unmeasured_ = 0;
};

// Copies `size` bytes with SIGBUS guarded as described above: false when the copy was cut
// short by one. Exposed for the tests.
bool GuardedCopy(uint8_t* to, const uint8_t* from, size_t size);
// Copies each piece to `base` + its offset, all under one guard (one sigsetjmp, the guard's cost,
// for a whole commit): false when a SIGBUS cut the copies short.
bool GuardedCopies(uint8_t* base, std::span<const WritePiece> pieces);

}  // namespace jet
