// Opening files: what we read, and every kind of file we must refuse with a clear error.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#ifndef _WIN32
#include <unistd.h>
#endif

#include "jet/database.h"
#include "jet/error.h"
#include "jet/header.h"
#include "support/fixtures.h"

namespace jet {
namespace {

using testing_support::AccessMadeFile;
using testing_support::TempDir;

std::vector<char> ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::string WriteFile(const std::string& name, const std::vector<char>& bytes) {
  const std::string path = TempDir() + "/" + name;
  std::ofstream(path, std::ios::binary)
      .write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  return path;
}

// Runs Open and returns the error it throws (number 0 when it opens).
Error OpenError(const std::string& path) {
  try {
    Database::Open(path);
  } catch (const Error& e) {
    return e;
  }
  return Error(0, "opened");
}

// A copy of empty.mdb with one byte of the unmasked header changed (re-masked as stored).
std::string PatchedHeader(size_t offset, uint8_t value) {
  std::vector<char> bytes = ReadAll(AccessMadeFile("empty.mdb"));
  uint8_t stored = value;
  if (offset >= kHeaderMaskOffset && offset < kHeaderMaskOffset + kHeaderMaskLength) {
    stored ^= HeaderMask()[offset - kHeaderMaskOffset];
  }
  bytes[offset] = static_cast<char>(stored);
  return WriteFile("patched.mdb", bytes);
}

TEST(DatabaseOpenTest, ReadsTheHeaderOfAccessMadeFiles) {
  REQUIRE_ACCESS_MADE_FIXTURES();
  for (const auto& path : testing_support::ReadableAccessMadeFiles()) {
    SCOPED_TRACE(path);
    auto db = Database::Open(path);
    EXPECT_EQ(db->header().version, 1u);
    EXPECT_EQ(db->header().code_page, 1252);
    EXPECT_TRUE(db->header().UsesGeneralSortOrder());
    EXPECT_TRUE(db->header().password.empty());
  }
}

TEST(DatabaseOpenTest, RefusesFilesThatAreNotReadableDatabases) {
  REQUIRE_ACCESS_MADE_FIXTURES();
  const std::string dir = TempDir();
  EXPECT_EQ(OpenError(dir + "/missing.mdb").number(), kErrFileNotFound);
  EXPECT_EQ(OpenError(dir).number(), kErrCannotOpenFile);
  EXPECT_EQ(OpenError(WriteFile("empty-file.mdb", {})).number(), kErrUnrecognizedFormat);
  EXPECT_EQ(OpenError(WriteFile("text.mdb", std::vector<char>(3 * 4096, 'x'))).number(),
            kErrUnrecognizedFormat);

  const Error jet3 = OpenError(PatchedHeader(20, 0));
  EXPECT_EQ(jet3.number(), kErrUnrecognizedFormat);
  EXPECT_NE(jet3.description().find("Access 97"), std::string::npos) << jet3.description();

  const Error ace = OpenError(PatchedHeader(20, 2));
  EXPECT_EQ(ace.number(), kErrUnrecognizedFormat);
  EXPECT_NE(ace.description().find("2007"), std::string::npos) << ace.description();

  // Any non-zero encoding key means every page is RC4-encoded.
  EXPECT_EQ(OpenError(PatchedHeader(62, 0x5A)).number(), kErrUnsupported);

  const Error password = OpenError(AccessMadeFile("V2000_with-password.mdb"));
  EXPECT_EQ(password.number(), kErrNotValidPassword);

#ifndef _WIN32
  if (::getuid() != 0) {  // root reads anything, so the permission case only holds for others
    const std::string locked = WriteFile("locked.mdb", ReadAll(AccessMadeFile("empty.mdb")));
    std::filesystem::permissions(locked, std::filesystem::perms::none);
    EXPECT_EQ(OpenError(locked).number(), kErrCannotOpenFile);
  }
#endif
}

TEST(DatabaseOpenTest, ATruncatedFileIsReportedAsCorrupt) {
  REQUIRE_ACCESS_MADE_FIXTURES();
  std::vector<char> bytes = ReadAll(AccessMadeFile("testV2000.mdb"));
  bytes.resize(3 * 4096 + 100);  // the catalog definition survives, its rows do not
  const std::string path = WriteFile("truncated.mdb", bytes);
  try {
    auto db = Database::Open(path);
    for (const auto& name : db->TableNames()) {
      auto table = db->OpenTable(name);
      for (auto cursor = table.Scan(); cursor.Next();) {
      }
    }
    FAIL() << "rows past the cut were read without an error";
  } catch (const Error& e) {
    EXPECT_EQ(e.number(), kErrCorrupt);
    EXPECT_NE(e.description().find("(page "), std::string::npos) << e.description();
  }
}

}  // namespace
}  // namespace jet
