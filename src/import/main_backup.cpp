#include "import/main_backup.h"

#include <algorithm>
#include <cinttypes>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <utility>

#include "jet/rollback_journal.h"

namespace import_task {
namespace {

namespace fs = std::filesystem;

constexpr size_t kChunk = size_t{1} << 20;
constexpr size_t kStampLength = 19;  // "yyyy-mm-dd hh-mm-ss"

std::string Prefix(const std::string& main_path) {
  return fs::path(main_path).stem().string() + " backup ";
}

std::string Stamp(const tasks::LocalTime& t) {
  char text[32];
  std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d-%02d-%02d", t.year, t.month, t.day, t.hour,
                t.minute, t.second);
  return text;
}

// The order of a backup's name: its time, then its number within that second (0 for none).
// Empty when the name is not one of the backups'.
std::optional<std::pair<std::string, int>> OrderOf(const std::string& name,
                                                   const std::string& prefix,
                                                   const std::string& extension) {
  if (!name.starts_with(prefix) || !name.ends_with(extension)) return std::nullopt;
  const std::string rest =
      name.substr(prefix.size(), name.size() - prefix.size() - extension.size());
  if (rest.size() < kStampLength) return std::nullopt;
  const std::string stamp = rest.substr(0, kStampLength);
  const std::string tail = rest.substr(kStampLength);
  if (tail.empty()) return std::pair{stamp, 0};
  int number = 0;
  char close = 0;
  if (std::sscanf(tail.c_str(), " (%d%c", &number, &close) != 2 || close != ')') {
    return std::nullopt;
  }
  return std::pair{stamp, number};
}

// A name for a backup made at `when` that sorts after every backup in `folder`: within one
// second the next number after the highest there, since pruning frees the low ones.
std::string FreeName(const std::string& main_path, const std::string& folder,
                     const tasks::LocalTime& when) {
  const std::string prefix = Prefix(main_path);
  const std::string stamp = Stamp(when);
  const std::string extension = fs::path(main_path).extension().string();
  int highest = 0;
  for (const fs::directory_entry& entry : fs::directory_iterator(folder)) {
    const auto order = OrderOf(entry.path().filename().string(), prefix, extension);
    if (order && order->first == stamp) highest = std::max(highest, std::max(order->second, 1));
  }
  const std::string name =
      prefix + stamp + (highest == 0 ? "" : " (" + std::to_string(highest + 1) + ")") + extension;
  return (fs::path(folder) / name).string();
}

void RemoveQuietly(const std::string& path) {
  std::error_code ignored;
  fs::remove(path, ignored);
}

}  // namespace

std::optional<FileFingerprint> FingerprintOf(const std::string& path) {
  std::error_code error;
  const auto size = fs::file_size(path, error);
  if (error) return std::nullopt;
  const auto modified = fs::last_write_time(path, error);
  if (error) return std::nullopt;
  std::ifstream in(path, std::ios::binary);
  if (!in) return std::nullopt;
  FileFingerprint fingerprint;
  fingerprint.size = size;
  fingerprint.modified = static_cast<int64_t>(modified.time_since_epoch().count());
  std::vector<char> chunk(kChunk);
  while (in) {
    in.read(chunk.data(), static_cast<std::streamsize>(chunk.size()));
    const auto got = static_cast<size_t>(in.gcount());
    if (got == 0) break;
    fingerprint.hash =
        jet::JournalHash(reinterpret_cast<const uint8_t*>(chunk.data()), got, fingerprint.hash);
  }
  if (in.bad()) return std::nullopt;
  return fingerprint;
}

bool SameBytes(const std::string& a, const std::string& b) {
  std::error_code error_a, error_b;
  if (fs::file_size(a, error_a) != fs::file_size(b, error_b) || error_a || error_b) return false;
  std::ifstream in_a(a, std::ios::binary);
  std::ifstream in_b(b, std::ios::binary);
  if (!in_a || !in_b) return false;
  std::vector<char> chunk_a(kChunk), chunk_b(kChunk);
  for (;;) {
    in_a.read(chunk_a.data(), static_cast<std::streamsize>(kChunk));
    in_b.read(chunk_b.data(), static_cast<std::streamsize>(kChunk));
    if (in_a.gcount() != in_b.gcount() || in_a.bad() || in_b.bad()) return false;
    const auto got = static_cast<size_t>(in_a.gcount());
    if (got == 0) return true;
    if (!std::equal(chunk_a.begin(), chunk_a.begin() + static_cast<std::ptrdiff_t>(got),
                    chunk_b.begin())) {
      return false;
    }
  }
}

BackupMade BackupMainDatabase(const std::string& main_path, const std::string& folder,
                              const tasks::LocalTime& when) {
  BackupMade made;
  std::string path;
  try {
    path = FreeName(main_path, folder, when);
  } catch (const fs::filesystem_error& e) {
    made.error = e.code().message();
    return made;
  }
  std::error_code error;
  if (!fs::copy_file(main_path, path, fs::copy_options::none, error) || error) {
    RemoveQuietly(path);
    made.error = error ? error.message() : "the copy was not made";
    return made;
  }
  if (!SameBytes(main_path, path)) {
    RemoveQuietly(path);
    made.error = "the copy differs from the main database";
    return made;
  }
  made.path = path;
  const std::vector<std::string> backups = BackupsOf(main_path, folder);
  for (size_t i = 0; i + kBackupsKept < backups.size(); ++i) {
    RemoveQuietly(backups[i]);
    RemoveQuietly(FingerprintPathOf(backups[i]));
    RemoveQuietly(UndonePathOf(backups[i]));
  }
  return made;
}

std::vector<std::string> BackupsOf(const std::string& main_path, const std::string& folder) {
  const std::string prefix = Prefix(main_path);
  const std::string extension = fs::path(main_path).extension().string();
  std::vector<std::pair<std::pair<std::string, int>, std::string>> found;
  std::error_code error;
  for (fs::directory_iterator it(folder, error), end; !error && it != end; it.increment(error)) {
    if (!it->is_regular_file()) continue;
    const std::string name = it->path().filename().string();
    if (const auto order = OrderOf(name, prefix, extension)) {
      found.emplace_back(*order, it->path().string());
    }
  }
  std::sort(found.begin(), found.end());
  std::vector<std::string> paths;
  for (auto& [order, path] : found) paths.push_back(std::move(path));
  return paths;
}

std::string FingerprintPathOf(const std::string& backup_path) {
  return backup_path + ".fingerprint";
}

std::string UndonePathOf(const std::string& backup_path) { return backup_path + ".undone"; }

bool WriteFingerprint(const std::string& path, const FileFingerprint& fingerprint) {
  // Written whole under another name and renamed, so that an undo never reads half a record.
  const std::string partial = path + ".partial";
  {
    std::ofstream out(partial, std::ios::binary | std::ios::trunc);
    char hash[17];
    std::snprintf(hash, sizeof hash, "%016" PRIx64, fingerprint.hash);
    out << "size " << fingerprint.size << "\r\nmodified " << fingerprint.modified << "\r\nhash "
        << hash << "\r\n";
    if (!out.flush()) {
      RemoveQuietly(partial);
      return false;
    }
  }
  std::error_code error;
  fs::rename(partial, path, error);
  if (error) RemoveQuietly(partial);
  return !error;
}

std::optional<FileFingerprint> ReadFingerprint(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return std::nullopt;
  FileFingerprint fingerprint;
  int found = 0;
  for (std::string key, value; in >> key >> value;) {
    try {
      if (key == "size") fingerprint.size = std::stoull(value);
      if (key == "modified") fingerprint.modified = std::stoll(value);
      if (key == "hash") fingerprint.hash = std::stoull(value, nullptr, 16);
    } catch (const std::exception&) {
      return std::nullopt;
    }
    ++found;
  }
  if (found != 3) return std::nullopt;
  return fingerprint;
}

}  // namespace import_task
