// File I/O beneath the page layer: positioned reads and writes, truncation, flushing to the
// disk, and removing a file. Every change the engine makes to a database or its rollback
// journal goes through this interface, so that tests can put a faulty one in its place (a
// failed or short write, a full disk, a process that stops in the middle of a commit).
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <system_error>

namespace jet {

// `size` bytes at `data`, to be written at `offset`.
struct WritePiece {
  uint64_t offset;
  const uint8_t* data;
  size_t size;
};

// One open file. Errors come back as codes, never as exceptions: the page layer decides what a
// failure means (put the file back, or leave the journal for the next opener).
class FileIo {
 public:
  virtual ~FileIo() = default;

  // Reads up to `size` bytes at `offset`; `read` is short only at the end of the file.
  virtual std::error_code ReadAt(uint64_t offset, uint8_t* data, size_t size, size_t& read) = 0;
  // Writes all `size` bytes at `offset`, or returns an error. After an error any part of the
  // range may have reached the file (a short write).
  virtual std::error_code WriteAt(uint64_t offset, const uint8_t* data, size_t size) = 0;
  // Writes the pieces in order, as WriteAt one by one (which is what this does unless a file
  // does it at once: a mapped file copies a commit's pieces under one guard), and stops at the
  // first that fails.
  virtual std::error_code WriteAll(std::span<const WritePiece> pieces) {
    for (const WritePiece& piece : pieces) {
      if (auto error = WriteAt(piece.offset, piece.data, piece.size)) return error;
    }
    return {};
  }
  virtual std::error_code Truncate(uint64_t size) = 0;
  // Forces what was written to the disk (fsync), for the durability level that asks for it.
  virtual std::error_code Sync() = 0;
  virtual std::error_code Size(uint64_t& size) = 0;
  // True when writes to the file's existing bytes are memory copies (a shared mapping): a
  // caller then writes the changed pieces one by one rather than gathering them into fewer,
  // larger writes to save system calls.
  virtual bool Mapped() { return false; }
  // A hint that [offset, offset + size) is about to be written: a mapped file starts loading
  // those bytes into the processor's caches, so the write later does not wait for them.
  virtual void WillWrite(uint64_t offset, size_t size) {
    (void)offset;
    (void)size;
  }
};

enum class FileAccess {
  kRead,             // an existing file, read only
  kReadWrite,        // an existing file
  kCreateReadWrite,  // created when absent, never truncated
};

// Opens and removes files. An absent file is reported as std::errc::no_such_file_or_directory;
// a file another program holds with a sharing mode that excludes us (Windows) as
// std::errc::device_or_resource_busy.
class FileSystem {
 public:
  virtual ~FileSystem() = default;
  virtual std::unique_ptr<FileIo> Open(const std::string& path, FileAccess access,
                                       std::error_code& error) = 0;
  virtual std::error_code Remove(const std::string& path) = 0;
  // Makes a newly created file's name durable (POSIX: fsync of its folder), for the
  // durability level that survives a power cut. Nothing to do where the file system journals
  // names itself.
  virtual std::error_code SyncFolderOf(const std::string& path) {
    (void)path;
    return {};
  }
};

// The operating system's files.
std::shared_ptr<FileSystem> OsFileSystem();

}  // namespace jet
