#include "jet/page_file.h"

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

}  // namespace

PageFile::PageFile(const std::string& path) : path_(path) {
  std::error_code ec;
  const auto status = std::filesystem::status(path, ec);
  if (ec || !std::filesystem::exists(status)) {
    throw Error(kErrFileNotFound, "Could not find file '" + path + "'.");
  }
  if (std::filesystem::is_directory(status)) {
    throw Error(kErrCannotOpenFile, "Cannot open '" + path + "': it is a folder, not a file.");
  }
  file_ = std::fopen(path.c_str(), "rb");
  if (file_ == nullptr) {
    throw Error(kErrCannotOpenFile, "Cannot open '" + path + "': " + std::strerror(errno) + ".");
  }
  const auto size = std::filesystem::file_size(path, ec);
  if (ec) {
    std::fclose(file_);
    throw Error(kErrCannotOpenFile, "Cannot read the size of '" + path + "'.");
  }
  if (size / kPageSize > 0x00FFFFFF) {
    std::fclose(file_);
    throw Error(kErrUnrecognizedFormat,
                "Unrecognized database format '" + path + "': the file is too large.");
  }
  page_count_ = static_cast<uint32_t>(size / kPageSize);
  cache_.resize(page_count_);
}

PageFile::PageFile(std::string name, Bytes image)
    : path_(std::move(name)), image_(std::move(image)) {
  if (image_.size() / kPageSize > 0x00FFFFFF) {
    throw Error(kErrUnrecognizedFormat,
                "Unrecognized database format '" + path_ + "': the file is too large.");
  }
  page_count_ = static_cast<uint32_t>(image_.size() / kPageSize);
  cache_.resize(page_count_);
}

PageFile::~PageFile() {
  if (file_ != nullptr) std::fclose(file_);
}

const uint8_t* PageFile::Page(uint32_t number) {
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

}  // namespace jet
