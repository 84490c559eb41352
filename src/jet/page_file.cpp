#include "jet/page_file.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <system_error>
#include <utility>

#include "jet/error.h"

namespace jet {
namespace {

// Files reach 2 GB, past what a long can address on every platform.
int SeekTo(std::FILE* file, uint64_t offset) {
#ifdef _WIN32
  return _fseeki64(file, static_cast<__int64>(offset), SEEK_SET);
#else
  return fseeko(file, static_cast<off_t>(offset), SEEK_SET);
#endif
}

constexpr uint32_t kMaxPages = 0x00FFFFFF;  // page numbers are 3 bytes in row pointers

std::unique_ptr<uint8_t[]> CopyOf(const uint8_t* page) {
  auto copy = std::make_unique<uint8_t[]>(kPageSize);
  std::memcpy(copy.get(), page, kPageSize);
  return copy;
}

}  // namespace

PageFile::PageFile(const std::string& path, OpenMode mode) : path_(path), mode_(mode) {
  std::error_code ec;
  const auto status = std::filesystem::status(path, ec);
  if (ec || !std::filesystem::exists(status)) {
    throw Error(kErrFileNotFound, "Could not find file '" + path + "'.");
  }
  if (std::filesystem::is_directory(status)) {
    throw Error(kErrCannotOpenFile, "Cannot open '" + path + "': it is a folder, not a file.");
  }
  file_ = std::fopen(path.c_str(), mode == OpenMode::kReadWrite ? "r+b" : "rb");
  if (file_ == nullptr) {
    throw Error(kErrCannotOpenFile, "Cannot open '" + path + "'" +
                                        (mode == OpenMode::kReadWrite ? " for writing" : "") +
                                        ": " + std::strerror(errno) + ".");
  }
  const auto size = std::filesystem::file_size(path, ec);
  if (ec) {
    std::fclose(file_);
    throw Error(kErrCannotOpenFile, "Cannot read the size of '" + path + "'.");
  }
  if (size / kPageSize > kMaxPages) {
    std::fclose(file_);
    throw Error(kErrUnrecognizedFormat,
                "Unrecognized database format '" + path + "': the file is too large.");
  }
  page_count_ = static_cast<uint32_t>(size / kPageSize);
  cache_.resize(page_count_);
  versions_.resize(page_count_);
}

PageFile::PageFile(std::string name, Bytes image, OpenMode mode)
    : path_(std::move(name)), mode_(mode), image_(std::move(image)) {
  if (image_.size() / kPageSize > kMaxPages) {
    throw Error(kErrUnrecognizedFormat,
                "Unrecognized database format '" + path_ + "': the file is too large.");
  }
  page_count_ = static_cast<uint32_t>(image_.size() / kPageSize);
  cache_.resize(page_count_);
  versions_.resize(page_count_);
}

PageFile::~PageFile() {
  if (depth_ > 0) DiscardOperation();
  if (file_ != nullptr) std::fclose(file_);
}

uint8_t* PageFile::Load(uint32_t number) {
  if (number >= page_count_) {
    ThrowCorrupt(number, "reference to a page beyond the end of the file (" +
                             std::to_string(page_count_) + " pages)");
  }
  auto& slot = cache_[number];
  if (!slot) {
    // Each page in a buffer of its own, also for an image in memory, so that a read past a
    // page's end is caught by the sanitizers instead of landing in the next page.
    auto buffer = std::make_unique<uint8_t[]>(kPageSize);
    if (file_ == nullptr) {
      std::memcpy(buffer.get(), image_.data() + static_cast<size_t>(number) * kPageSize, kPageSize);
    } else if (SeekTo(file_, static_cast<uint64_t>(number) * kPageSize) != 0 ||
               std::fread(buffer.get(), 1, kPageSize, file_) != kPageSize) {
      throw Error(kErrIo, "Disk or network error reading page " + std::to_string(number) + " of '" +
                              path_ + "'.");
    }
    slot = std::move(buffer);
  }
  return slot.get();
}

const uint8_t* PageFile::Page(uint32_t number) { return Load(number); }

void PageFile::BeginOperation() {
  if (!writable()) {
    throw Error(kErrReadOnly, "Cannot update '" + path_ + "': the database was opened read-only.");
  }
  if (depth_++ == 0) op_start_pages_ = page_count_;
}

uint8_t* PageFile::MutablePage(uint32_t number) {
  if (depth_ == 0) throw std::logic_error("PageFile::MutablePage outside an operation");
  if (number == 0) throw std::logic_error("the database header page is never written");
  uint8_t* page = Load(number);
  if (number < op_start_pages_ && !originals_.count(number)) {
    originals_.emplace(number, CopyOf(page));
    dirty_.push_back(number);
  }
  ++versions_[number];
  return page;
}

uint32_t PageFile::AppendPage() {
  if (depth_ == 0) throw std::logic_error("PageFile::AppendPage outside an operation");
  if (page_count_ >= kMaxPages) {
    throw Error(kErrDatabaseFull, "The database '" + path_ + "' has reached its maximum size.");
  }
  auto page = std::make_unique<uint8_t[]>(kPageSize);
  std::memset(page.get(), 0, kPageSize);
  cache_.push_back(std::move(page));
  versions_.push_back(0);
  return page_count_++;
}

void PageFile::CommitOperation() {
  if (depth_ == 0) throw std::logic_error("PageFile::CommitOperation outside an operation");
  if (--depth_ > 0) return;
  // New pages first: if the disk is full, nothing that existed has been touched yet.
  std::vector<uint32_t> pages;
  for (uint32_t p = op_start_pages_; p < page_count_; ++p) pages.push_back(p);
  std::sort(dirty_.begin(), dirty_.end());
  pages.insert(pages.end(), dirty_.begin(), dirty_.end());
  try {
    WritePages(pages);
  } catch (...) {
    ++depth_;
    RollbackOperation();
    throw;
  }
  originals_.clear();
  dirty_.clear();
}

void PageFile::WritePages(const std::vector<uint32_t>& pages) {
  if (file_ == nullptr) {
    image_.resize(static_cast<size_t>(page_count_) * kPageSize);
    for (uint32_t p : pages) {
      std::memcpy(image_.data() + static_cast<size_t>(p) * kPageSize, cache_[p].get(), kPageSize);
    }
    return;
  }
  for (size_t i = 0; i < pages.size(); ++i) {
    const uint32_t p = pages[i];
    if (SeekTo(file_, static_cast<uint64_t>(p) * kPageSize) != 0 ||
        std::fwrite(cache_[p].get(), 1, kPageSize, file_) != kPageSize || std::fflush(file_) != 0) {
      const std::string reason = std::strerror(errno);
      RestoreAfterFailedWrite(i, pages);
      throw Error(kErrIo, "Disk or network error writing page " + std::to_string(p) + " of '" +
                              path_ + "' (" + reason + "); the change was not made.");
    }
  }
}

void PageFile::RestoreAfterFailedWrite(size_t written, const std::vector<uint32_t>& pages) {
  // Put back what was overwritten, then cut off what was appended.
  std::clearerr(file_);
  for (size_t i = 0; i <= written && i < pages.size(); ++i) {
    const auto original = originals_.find(pages[i]);
    if (original == originals_.end()) continue;
    if (SeekTo(file_, static_cast<uint64_t>(pages[i]) * kPageSize) == 0) {
      std::fwrite(original->second.get(), 1, kPageSize, file_);
    }
  }
  std::fflush(file_);
  std::error_code ec;
  std::filesystem::resize_file(path_, static_cast<uint64_t>(op_start_pages_) * kPageSize, ec);
}

void PageFile::RollbackOperation() {
  if (depth_ == 0) throw std::logic_error("PageFile::RollbackOperation outside an operation");
  if (--depth_ > 0) return;
  DiscardOperation();
}

void PageFile::DiscardOperation() {
  depth_ = 0;
  for (auto& [number, original] : originals_) {
    cache_[number] = std::move(original);
    ++versions_[number];
  }
  originals_.clear();
  dirty_.clear();
  cache_.resize(op_start_pages_);
  versions_.resize(op_start_pages_);
  page_count_ = op_start_pages_;
}

}  // namespace jet
