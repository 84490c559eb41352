#include "support/fixtures.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>

namespace fs = std::filesystem;

namespace testing_support {

std::string AccessMadeDir() {
  const fs::path dir = fs::path(QB_SHARED_DIR) / "fixtures" / "access-made";
  return fs::is_directory(dir) ? dir.string() : std::string();
}

std::string AccessMadeFile(const std::string& name) {
  return (fs::path(AccessMadeDir()) / name).string();
}

std::vector<std::string> ReadableAccessMadeFiles() {
  std::vector<std::string> out;
  const std::string dir = AccessMadeDir();
  if (dir.empty()) return out;
  for (const auto& entry : fs::directory_iterator(dir)) {
    const std::string name = entry.path().filename().string();
    if (entry.path().extension() == ".mdb" && name.find("password") == std::string::npos) {
      out.push_back(entry.path().string());
    }
  }
  std::sort(out.begin(), out.end());
  return out;
}

std::vector<std::string> AccessMadeFileParams() {
  std::vector<std::string> files = ReadableAccessMadeFiles();
  if (files.empty()) files.push_back("");
  return files;
}

std::string AccessMadeTestName(const ::testing::TestParamInfo<std::string>& info) {
  std::string name = fs::path(info.param).stem().string();
  for (char& c : name) {
    if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
  }
  return name.empty() ? "NoFixtures" : name;
}

namespace {
fs::path& TempRoot() {
  static fs::path root;
  return root;
}
void RemoveTempRoot() {
  std::error_code ec;
  fs::remove_all(TempRoot(), ec);
}
}  // namespace

std::string TempDir() {
  if (TempRoot().empty()) {
    std::random_device rd;
    TempRoot() = fs::temp_directory_path() / ("qbtest-" + std::to_string(rd()));
    fs::create_directories(TempRoot());
    std::atexit(RemoveTempRoot);
  }
  static int counter = 0;
  fs::path dir = TempRoot() / std::to_string(counter++);
  fs::create_directories(dir);
  return dir.string();
}

std::vector<uint8_t> ReadFileBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

}  // namespace testing_support
