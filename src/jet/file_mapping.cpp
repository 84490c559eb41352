#include "jet/file_mapping.h"

#include <atomic>
#include <cstring>

#if defined(__linux__) && UINTPTR_MAX > 0xFFFFFFFFu
#define JET_FILE_MAPPING 1
#include <fcntl.h>
#include <setjmp.h>
#include <signal.h>
#include <sys/mman.h>
#include <sys/vfs.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <mutex>
#include <optional>
#endif

namespace jet {

#ifdef JET_FILE_MAPPING
namespace {

// Address space is reserved ahead of the file in steps of this size, so that a growing file
// is remapped rarely.
constexpr uint64_t kReserveStep = uint64_t{64} << 20;

// File systems whose shared mappings share the page cache with pwrite and pread and take
// SIGBUS only for the failures described in the header: ext2/3/4, XFS, Btrfs, F2FS, ZFS, tmpfs
// and overlayfs (containers).
bool MappableFileSystem(int fd) {
  struct statfs info {};
  if (fstatfs(fd, &info) != 0) return false;
  switch (static_cast<uint64_t>(info.f_type)) {
    case 0xEF53:      // ext2, ext3, ext4
    case 0x58465342:  // XFS
    case 0x9123683E:  // Btrfs
    case 0xF2F52010:  // F2FS
    case 0x2FC12FC1:  // ZFS
    case 0x01021994:  // tmpfs
    case 0x794C7630:  // overlayfs
      return true;
    default:
      return false;
  }
}

uint64_t ReserveFor(uint64_t size) {
  const uint64_t wanted = size < kReserveStep / 2 ? kReserveStep : size * 2;
  return (wanted + kReserveStep - 1) / kReserveStep * kReserveStep;
}

// The largest block of the page cache one fault maps: a page table's span (2 MB of 4 KB pages),
// the largest folio the page cache holds.
uint64_t LargestMappedBlock(size_t page_size) { return uint64_t{page_size} * (page_size / 8); }

// /proc/self/statm, kept open: reading it again costs one system call. Per thread, so that no
// lock is needed, and per process: /proc/self is resolved when it is opened, so a child made
// by fork would read its parent's through an inherited descriptor, and opens its own.
class StatmFile {
 public:
  ~StatmFile() {
    if (fd_ >= 0) close(fd_);
  }
  int fd() {
    const pid_t self = getpid();
    if (owner_ != self) {
      if (fd_ >= 0) close(fd_);
      fd_ = open("/proc/self/statm", O_RDONLY | O_CLOEXEC);
      owner_ = self;
    }
    return fd_;
  }

 private:
  int fd_ = -1;
  pid_t owner_ = 0;
};

// The process's resident pages of files, in bytes: the third field of /proc/self/statm. Empty
// where it cannot be read.
std::optional<uint64_t> ResidentFileBytes(size_t page_size) {
  thread_local StatmFile statm;
  const int fd = statm.fd();
  if (fd < 0) return std::nullopt;
  char text[160];
  const ssize_t got = pread(fd, text, sizeof text - 1, 0);
  if (got <= 0) return std::nullopt;
  text[got] = 0;
  char* at = text;
  unsigned long long field = 0;
  for (int i = 0; i < 3; ++i) {
    char* end = nullptr;
    field = std::strtoull(at, &end, 10);
    if (end == at) return std::nullopt;
    at = end;
  }
  return uint64_t{field} * page_size;
}

// The jump out of a guarded copy that took SIGBUS; null outside guarded copies.
thread_local sigjmp_buf* t_guard = nullptr;
struct sigaction g_previous_handler {};

void OnSigbus(int signal_number, siginfo_t* info, void* context) {
  if (t_guard != nullptr) siglongjmp(*t_guard, 1);
  // Not a copy of ours: behave as if we had never been installed.
  if (g_previous_handler.sa_flags & SA_SIGINFO) {
    if (g_previous_handler.sa_sigaction != nullptr) {
      g_previous_handler.sa_sigaction(signal_number, info, context);
      return;
    }
  } else if (g_previous_handler.sa_handler != SIG_DFL && g_previous_handler.sa_handler != SIG_IGN) {
    g_previous_handler.sa_handler(signal_number);
    return;
  }
  // Default action: end the process as SIGBUS would have (the signal is blocked while this
  // handler runs and is delivered when it returns; a fault would recur anyway).
  signal(SIGBUS, SIG_DFL);
  raise(SIGBUS);
}

void InstallSigbusHandler() {
  static std::once_flag once;
  std::call_once(once, [] {
    struct sigaction action {};
    action.sa_sigaction = OnSigbus;
    action.sa_flags = SA_SIGINFO;
    sigemptyset(&action.sa_mask);
    sigaction(SIGBUS, &action, &g_previous_handler);
  });
}

}  // namespace

bool GuardedCopies(uint8_t* base, std::span<const WritePiece> pieces) {
  InstallSigbusHandler();
  sigjmp_buf guard;
  // The signal mask is not saved (that would cost a system call per copy): the failure path
  // unblocks SIGBUS itself, which the kernel blocked while the handler ran.
  if (sigsetjmp(guard, 0) != 0) {
    t_guard = nullptr;
    sigset_t sigbus;
    sigemptyset(&sigbus);
    sigaddset(&sigbus, SIGBUS);
    pthread_sigmask(SIG_UNBLOCK, &sigbus, nullptr);
    return false;
  }
  // The fences keep the compiler from moving the copy out from between the two stores (or
  // dropping the first store as overwritten): the handler must see the guard set during it.
  t_guard = &guard;
  std::atomic_signal_fence(std::memory_order_seq_cst);
  for (const WritePiece& piece : pieces) std::memcpy(base + piece.offset, piece.data, piece.size);
  std::atomic_signal_fence(std::memory_order_seq_cst);
  t_guard = nullptr;
  return true;
}

std::unique_ptr<FileMapping> FileMapping::Create(int fd, uint64_t size) {
  if (!MappableFileSystem(fd)) return nullptr;
  const uint64_t length = ReserveFor(size);
  void* base = mmap(nullptr, length, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
  if (base == MAP_FAILED) return nullptr;
  InstallSigbusHandler();
  const long page_size = sysconf(_SC_PAGESIZE);
  std::unique_ptr<FileMapping> mapping(new FileMapping(static_cast<uint8_t*>(base), length, size,
                                                       page_size > 0 ? size_t(page_size) : 4096));
  mapping->resident_base_ = ResidentFileBytes(mapping->page_size_).value_or(0);
  return mapping;
}

FileMapping::~FileMapping() { munmap(base_, length_); }

bool FileMapping::SetSize(uint64_t size) {
  if (size > length_) {
    const uint64_t length = ReserveFor(size);
    void* base = mremap(base_, length_, length, MREMAP_MAYMOVE);
    if (base == MAP_FAILED) return false;
    base_ = static_cast<uint8_t*>(base);
    length_ = length;
  }
  size_ = size;
  return true;
}

bool FileMapping::Write(uint64_t offset, const uint8_t* data, size_t size, std::error_code& error) {
  const WritePiece piece{offset, data, size};
  return Write({&piece, 1}, error);
}

bool FileMapping::Write(std::span<const WritePiece> pieces, std::error_code& error) {
  for (const WritePiece& piece : pieces) {
    if (piece.offset > size_ || piece.size > size_ - piece.offset) return false;
  }
  // A store the file system cannot keep: most often no space left for it (copy-on-write file
  // systems, sparse files), which is also what pwrite would have said.
  if (!GuardedCopies(base_, pieces)) error = std::make_error_code(std::errc::no_space_on_device);
  for (const WritePiece& piece : pieces) {
    if (piece.size > 0) CountResident(piece.offset, piece.size);
  }
  return true;
}

void FileMapping::WillWrite(uint64_t offset, size_t size) const {
  if (offset > size_ || size > size_ - offset) return;
  const uint64_t end = offset + size;
  for (uint64_t at = offset & ~uint64_t{63}; at < end; at += 64) {
    __builtin_prefetch(base_ + at, 1);
  }
}

void FileMapping::CountResident(uint64_t offset, size_t size) {
  // Shifts, not divisions: this runs for every piece a commit writes.
  const uint64_t last = (offset + size - 1) >> page_shift_;
  if (written_.size() <= last / 64) written_.resize(last / 64 + 1);
  size_t fresh = 0;
  for (uint64_t page = offset >> page_shift_; page <= last; ++page) {
    uint64_t& word = written_[page / 64];
    const uint64_t bit = uint64_t{1} << (page % 64);
    if (word & bit) continue;
    word |= bit;
    ++fresh;
  }
  if (fresh == 0) return;
  resident_ += fresh;
  unmeasured_ += fresh;
  if (OverBudget()) Release();
}

bool FileMapping::OverBudget() {
  const uint64_t budget = uint64_t{resident_budget_} * page_size_;
  const uint64_t block = LargestMappedBlock(page_size_);
  // Each page first written since the last reading may have brought a whole block in.
  if (measured_ + uint64_t{unmeasured_} * block <= budget) return false;
  const std::optional<uint64_t> now = ResidentFileBytes(page_size_);
  if (!now) return resident_ > resident_budget_;
  // The count is the whole process's: other files' pages leaving it lower the base, so that
  // they do not hide this mapping's growth (pages they gain count as this mapping's, which
  // only releases it early).
  resident_base_ = std::min(resident_base_, *now);
  measured_ = *now - resident_base_;
  unmeasured_ = 0;
  // Released while the next page written, block and all, still fits.
  return measured_ + block > budget;
}

void FileMapping::Release() {
  // Shared file pages: released from this process only, their bytes (written back or still
  // dirty) stay with the file.
  madvise(base_, size_, MADV_DONTNEED);
  std::fill(written_.begin(), written_.end(), 0);
  resident_ = 0;
  unmeasured_ = 0;
  measured_ = 0;
  resident_base_ = ResidentFileBytes(page_size_).value_or(0);
}

std::error_code FileMapping::Sync() {
  if (size_ == 0) return {};
  if (msync(base_, size_, MS_SYNC) != 0) return std::error_code(errno, std::generic_category());
  return {};
}

#else  // no mappings: every read and write is a system call

std::unique_ptr<FileMapping> FileMapping::Create(int, uint64_t) { return nullptr; }
void FileMapping::CountResident(uint64_t, size_t) {}
bool FileMapping::OverBudget() { return false; }
void FileMapping::Release() {}
void FileMapping::WillWrite(uint64_t, size_t) const {}
FileMapping::~FileMapping() = default;
bool FileMapping::SetSize(uint64_t size) {
  size_ = size;
  return true;
}
bool FileMapping::Write(uint64_t, const uint8_t*, size_t, std::error_code&) { return false; }
bool FileMapping::Write(std::span<const WritePiece>, std::error_code&) { return false; }
bool GuardedCopies(uint8_t* base, std::span<const WritePiece> pieces) {
  for (const WritePiece& piece : pieces) std::memcpy(base + piece.offset, piece.data, piece.size);
  return true;
}
std::error_code FileMapping::Sync() { return {}; }

#endif

bool GuardedCopy(uint8_t* to, const uint8_t* from, size_t size) {
  const WritePiece piece{0, from, size};
  return GuardedCopies(to, {&piece, 1});
}

}  // namespace jet
