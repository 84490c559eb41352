#include "jet/file_io.h"

#include <algorithm>
#include <filesystem>

#include "jet/native_path.h"

#ifdef _WIN32
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#else
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "jet/file_mapping.h"
#endif

namespace jet {
namespace {

#ifdef _WIN32

std::error_code LastError() {
  const DWORD code = GetLastError();
  switch (code) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
      return std::make_error_code(std::errc::no_such_file_or_directory);
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
      return std::make_error_code(std::errc::device_or_resource_busy);
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL:
      return std::make_error_code(std::errc::no_space_on_device);
    case ERROR_ACCESS_DENIED:
      return std::make_error_code(std::errc::permission_denied);
    default:
      return std::error_code(static_cast<int>(code), std::system_category());
  }
}

OVERLAPPED At(uint64_t offset) {
  OVERLAPPED at{};
  at.Offset = static_cast<DWORD>(offset);
  at.OffsetHigh = static_cast<DWORD>(offset >> 32);
  return at;
}

class OsFile : public FileIo {
 public:
  explicit OsFile(HANDLE handle) : handle_(handle) {}
  ~OsFile() override { CloseHandle(handle_); }

  std::error_code ReadAt(uint64_t offset, uint8_t* data, size_t size, size_t& read) override {
    read = 0;
    while (read < size) {
      OVERLAPPED at = At(offset + read);
      DWORD got = 0;
      const DWORD want = static_cast<DWORD>(std::min<size_t>(size - read, 1u << 30));
      if (!ReadFile(handle_, data + read, want, &got, &at)) {
        if (GetLastError() == ERROR_HANDLE_EOF) return {};
        return LastError();
      }
      if (got == 0) return {};
      read += got;
    }
    return {};
  }

  std::error_code WriteAt(uint64_t offset, const uint8_t* data, size_t size) override {
    size_t done = 0;
    while (done < size) {
      OVERLAPPED at = At(offset + done);
      DWORD put = 0;
      const DWORD want = static_cast<DWORD>(std::min<size_t>(size - done, 1u << 30));
      if (!WriteFile(handle_, data + done, want, &put, &at)) return LastError();
      if (put == 0) return std::make_error_code(std::errc::io_error);
      done += put;
    }
    return {};
  }

  std::error_code Truncate(uint64_t size) override {
    FILE_END_OF_FILE_INFO end{};
    end.EndOfFile.QuadPart = static_cast<LONGLONG>(size);
    if (!SetFileInformationByHandle(handle_, FileEndOfFileInfo, &end, sizeof end)) {
      return LastError();
    }
    return {};
  }

  std::error_code Sync() override {
    if (!FlushFileBuffers(handle_)) return LastError();
    return {};
  }

  std::error_code Size(uint64_t& size) override {
    LARGE_INTEGER value{};
    if (!GetFileSizeEx(handle_, &value)) return LastError();
    size = static_cast<uint64_t>(value.QuadPart);
    return {};
  }

 private:
  HANDLE handle_;
};

class OsFiles : public FileSystem {
 public:
  std::unique_ptr<FileIo> Open(const std::string& path, FileAccess access,
                               std::error_code& error) override {
    const std::wstring wide = WidePath(path);
    const DWORD rights =
        access == FileAccess::kRead ? GENERIC_READ : (GENERIC_READ | GENERIC_WRITE);
    // Other programs (Access among them) keep sharing the database for reading and writing, but
    // nobody may delete or replace a file while we have it open: without FILE_SHARE_DELETE the
    // system refuses that. A journal a reader is looking at in the moment its writer closes
    // stays behind then; the next opener finds its commit finished and leaves the file alone.
    const DWORD share = FILE_SHARE_READ | FILE_SHARE_WRITE;
    const DWORD disposition = access == FileAccess::kCreateReadWrite ? OPEN_ALWAYS : OPEN_EXISTING;
    HANDLE handle = CreateFileW(wide.c_str(), rights, share, nullptr, disposition,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
      error = LastError();
      return nullptr;
    }
    error.clear();
    return std::make_unique<OsFile>(handle);
  }

  std::error_code Remove(const std::string& path) override {
    const std::wstring wide = WidePath(path);
    if (!DeleteFileW(wide.c_str())) return LastError();
    return {};
  }
};

#else  // POSIX

std::error_code LastError() { return std::error_code(errno, std::generic_category()); }

class OsFile : public FileIo {
 public:
  OsFile(int fd, bool writable) : fd_(fd), writable_(writable) {}
  ~OsFile() override {
    mapping_.reset();
    close(fd_);
  }

  std::error_code ReadAt(uint64_t offset, uint8_t* data, size_t size, size_t& read) override {
    // Never through the mapping: pages only read stay out of our resident memory.
    read = 0;
    while (read < size) {
      const ssize_t got = pread(fd_, data + read, size - read, static_cast<off_t>(offset + read));
      if (got < 0) {
        if (errno == EINTR) continue;
        return LastError();
      }
      if (got == 0) return {};
      read += static_cast<size_t>(got);
    }
    return {};
  }

  std::error_code WriteAt(uint64_t offset, const uint8_t* data, size_t size) override {
    if (FileMapping* mapping = Mapping()) {
      std::error_code error;
      if (mapping->Write(offset, data, size, error)) return error;
    }
    // Beyond the end of the file (or without a mapping): the write itself grows the file.
    size_t done = 0;
    std::error_code error;
    while (done < size) {
      const ssize_t put = pwrite(fd_, data + done, size - done, static_cast<off_t>(offset + done));
      if (put < 0) {
        if (errno == EINTR) continue;
        error = LastError();
        break;
      }
      if (put == 0) {
        error = std::make_error_code(std::errc::io_error);
        break;
      }
      done += static_cast<size_t>(put);
    }
    if (mapping_ != nullptr && offset + done > mapping_->size()) Resized(offset + done);
    return error;
  }

  std::error_code WriteAll(std::span<const WritePiece> pieces) override {
    if (FileMapping* mapping = Mapping()) {
      std::error_code error;
      if (mapping->Write(pieces, error)) return error;
    }
    return FileIo::WriteAll(pieces);
  }

  std::error_code Truncate(uint64_t size) override {
    while (ftruncate(fd_, static_cast<off_t>(size)) != 0) {
      if (errno != EINTR) return LastError();
    }
    if (mapping_ != nullptr) Resized(size);
    return {};
  }

  std::error_code Sync() override {
    if (mapping_ != nullptr) {
      if (auto error = mapping_->Sync()) return error;
    }
#if defined(__APPLE__)
    // fsync alone leaves the data in the drive's cache on macOS.
    if (fcntl(fd_, F_FULLFSYNC) == 0) return {};
#endif
    while (fsync(fd_) != 0) {
      if (errno != EINTR) return LastError();
    }
    return {};
  }

  bool Mapped() override { return Mapping() != nullptr; }
  void WillWrite(uint64_t offset, size_t size) override {
    if (mapping_ != nullptr) mapping_->WillWrite(offset, size);
  }

  std::error_code Size(uint64_t& size) override {
    struct stat info {};
    if (fstat(fd_, &info) != 0) return LastError();
    size = static_cast<uint64_t>(info.st_size);
    return {};
  }

 private:
  // Files opened for writing are mapped at their first write (readers never pay for it).
  FileMapping* Mapping() {
    if (!writable_ || mapping_tried_) return mapping_.get();
    mapping_tried_ = true;
    uint64_t size = 0;
    if (!Size(size)) mapping_ = FileMapping::Create(fd_, size);
    return mapping_.get();
  }

  void Resized(uint64_t size) {
    if (!mapping_->SetSize(size)) mapping_.reset();  // system calls from here on
  }

  int fd_;
  bool writable_;
  bool mapping_tried_ = false;
  std::unique_ptr<FileMapping> mapping_;
};

class OsFiles : public FileSystem {
 public:
  std::unique_ptr<FileIo> Open(const std::string& path, FileAccess access,
                               std::error_code& error) override {
    int flags = O_CLOEXEC;
    switch (access) {
      case FileAccess::kRead:
        flags |= O_RDONLY;
        break;
      case FileAccess::kReadWrite:
        flags |= O_RDWR;
        break;
      case FileAccess::kCreateReadWrite:
        flags |= O_RDWR | O_CREAT;
        break;
    }
    int fd;
    do {
      fd = open(path.c_str(), flags, 0666);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0) {
      error = LastError();
      return nullptr;
    }
    error.clear();
    return std::make_unique<OsFile>(fd, access != FileAccess::kRead);
  }

  std::error_code Remove(const std::string& path) override {
    if (unlink(path.c_str()) != 0) return LastError();
    return {};
  }

  std::error_code SyncFolderOf(const std::string& path) override {
    const std::filesystem::path parent = std::filesystem::path(path).parent_path();
    const std::string folder = parent.empty() ? std::string(".") : parent.string();
    const int fd = open(folder.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return LastError();
    std::error_code error;
    if (fsync(fd) != 0 && errno != EINVAL) error = LastError();  // some file systems refuse
    close(fd);
    return error;
  }
};

#endif

}  // namespace

std::shared_ptr<FileSystem> OsFileSystem() {
  static const std::shared_ptr<FileSystem> files = std::make_shared<OsFiles>();
  return files;
}

}  // namespace jet
