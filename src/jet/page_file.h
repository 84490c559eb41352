// Page I/O: the database file as an array of 4096-byte pages, read on demand and cached, and
// written in all-or-nothing operations.
#pragma once

#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "jet/bytes.h"

namespace jet {

constexpr uint32_t kPageSize = 4096;

enum class OpenMode { kReadOnly, kReadWrite };

class PageFile {
 public:
  // Opens an existing file. Throws Error for a missing file (3024), a directory or an
  // unreadable (or, for writing, unwritable) file (3051), and a file too large (3343).
  explicit PageFile(const std::string& path, OpenMode mode = OpenMode::kReadOnly);
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

  // The page's 4096 bytes, valid while this PageFile lives and the page is not changed. A page
  // number beyond the end of the file is a corrupt reference and throws naming the page.
  const uint8_t* Page(uint32_t number);
  // Bumped whenever the page changes, also by a rollback: caches of decoded pages compare it.
  uint32_t PageVersion(uint32_t number) const {
    return number < versions_.size() ? versions_[number] : 0;
  }

  // --- Writing: only inside an operation. ---
  // Operations nest; only the outermost commits or rolls back. Commit writes every changed
  // and appended page to the file before it returns; a commit that fails puts the file back
  // as it was and throws.
  void BeginOperation();
  void CommitOperation();
  void RollbackOperation();
  bool in_operation() const { return depth_ > 0; }

  // The page for changing. Page 0 (the header) is never written.
  uint8_t* MutablePage(uint32_t number);
  // Appends a zero-filled page and returns its number.
  uint32_t AppendPage();

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
  uint8_t* Load(uint32_t number);
  void WritePages(const std::vector<uint32_t>& pages);
  void RestoreAfterFailedWrite(size_t written, const std::vector<uint32_t>& pages);
  void DiscardOperation();

  std::string path_;
  OpenMode mode_ = OpenMode::kReadOnly;
  std::FILE* file_ = nullptr;
  Bytes image_;  // the whole file when there is no file_
  uint32_t page_count_ = 0;
  std::vector<std::unique_ptr<uint8_t[]>> cache_;
  std::vector<uint32_t> versions_;

  // The current operation.
  int depth_ = 0;
  uint32_t op_start_pages_ = 0;
  std::unordered_map<uint32_t, std::unique_ptr<uint8_t[]>> originals_;
  std::vector<uint32_t> dirty_;  // changed pages that existed before the operation
};

}  // namespace jet
