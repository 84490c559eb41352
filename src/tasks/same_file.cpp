#include "tasks/same_file.h"

#include <filesystem>
#include <string>
#include <system_error>

#include "platform/files.h"

namespace tasks {
namespace {

namespace fs = std::filesystem;

fs::path ToFsPath(std::string_view path) {
  const std::string native = platform::NativePath(path);
  return fs::path(std::u8string(native.begin(), native.end()));
}

// The absolute form with links and dot segments resolved as far as the path exists;
// empty when the file system rejects the path.
std::u8string Resolved(const fs::path& path) {
  std::error_code error;
  const fs::path absolute = fs::absolute(path, error);
  if (error) return {};
  const fs::path resolved = fs::weakly_canonical(absolute, error);
  if (error) return {};
  return resolved.lexically_normal().u8string();
}

bool EqualIgnoringAsciiCase(std::u8string_view a, std::u8string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    char8_t x = a[i];
    char8_t y = b[i];
    if (x >= u8'A' && x <= u8'Z') x = static_cast<char8_t>(x - u8'A' + u8'a');
    if (y >= u8'A' && y <= u8'Z') y = static_cast<char8_t>(y - u8'A' + u8'a');
    if (x != y) return false;
  }
  return true;
}

}  // namespace

bool NamesSameFile(std::string_view target, std::string_view main_database) {
  if (target == main_database) return true;
  if (target.empty() || main_database.empty()) return false;
  const fs::path a = ToFsPath(target);
  const fs::path b = ToFsPath(main_database);
  std::error_code error;
  if (fs::exists(a, error) && fs::exists(b, error) && fs::equivalent(a, b, error) && !error) {
    return true;
  }
  const std::u8string resolved_a = Resolved(a);
  const std::u8string resolved_b = Resolved(b);
  return !resolved_a.empty() && EqualIgnoringAsciiCase(resolved_a, resolved_b);
}

}  // namespace tasks
