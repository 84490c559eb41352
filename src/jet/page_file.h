// Page I/O: the database file as an array of 4096-byte pages, read on demand and cached.
#pragma once

#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "jet/bytes.h"

namespace jet {

constexpr uint32_t kPageSize = 4096;

class PageFile {
 public:
  // Opens an existing file for reading. Throws Error for a missing file (3024), a directory or
  // an unreadable file (3051), and a file too short to hold a header (3343).
  explicit PageFile(const std::string& path);
  // A database image already in memory (damaged-file tests, fuzzing): the same checks without
  // a file. `name` stands for the path in messages.
  PageFile(std::string name, Bytes image);
  ~PageFile();
  PageFile(const PageFile&) = delete;
  PageFile& operator=(const PageFile&) = delete;

  const std::string& path() const { return path_; }
  // Whole pages in the file; a trailing partial page (a truncated copy) is not counted.
  uint32_t page_count() const { return page_count_; }

  // The page's 4096 bytes, valid while this PageFile lives. A page number beyond the end of
  // the file is a corrupt reference and throws naming the page.
  const uint8_t* Page(uint32_t number);

 private:
  std::string path_;
  std::FILE* file_ = nullptr;
  Bytes image_;  // the whole file when there is no file_
  uint32_t page_count_ = 0;
  std::vector<std::unique_ptr<uint8_t[]>> cache_;
};

}  // namespace jet
