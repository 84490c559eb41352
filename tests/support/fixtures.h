// Access to the Access-made reference files in the shared folder beside the checkout.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

namespace testing_support {

// Folder of the Access-made fixtures, or "" when the shared folder is absent.
std::string AccessMadeDir();
// Full path of one fixture file.
std::string AccessMadeFile(const std::string& name);
// Every Jet 4 .mdb fixture that opens without a password, sorted by name.
std::vector<std::string> ReadableAccessMadeFiles();
// The parameters of a suite run once per Access-made file: ReadableAccessMadeFiles(), or one
// placeholder when the shared folder is absent, so that the suite shows as skipped rather than
// vanishing.
std::vector<std::string> AccessMadeFileParams();
// The test name for one of them: the file's stem with every other character than a letter or
// digit as '_'; "NoFixtures" for the placeholder.
std::string AccessMadeTestName(const ::testing::TestParamInfo<std::string>& info);
// A fresh empty folder for a test's own files, removed at process exit.
std::string TempDir();
// The whole contents of a file (empty when it cannot be read).
std::vector<uint8_t> ReadFileBytes(const std::string& path);

}  // namespace testing_support

// Skips the test, visibly, when the shared fixtures are not there.
#define REQUIRE_ACCESS_MADE_FIXTURES()                                            \
  do {                                                                            \
    if (testing_support::AccessMadeDir().empty())                                 \
      GTEST_SKIP() << "shared/fixtures/access-made is absent: Access-made files " \
                      "not available, test skipped";                              \
  } while (0)
