// Thousands of randomly damaged copies of the Access-made files, each opened and read in
// full. Every case must either read or fail with a jet::Error (corrupt errors naming a page);
// any other exception, a crash, a sanitizer report or a hang fails the run. Each case has a
// fixed seed: QB_ROBUSTNESS_SEED=<seed> runs only that case. The seed holds the kind of damage,
// the fixture's place in the sorted list and the case number, so it names the same case in
// every build.
#include <gtest/gtest.h>

#include <cctype>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <memory>
#include <random>
#include <string>
#include <typeinfo>
#include <vector>

#include "jet/database.h"
#include "jet/error.h"
#include "jet/page_file.h"
#include "robustness/case_guard.h"
#include "robustness/damage.h"
#include "robustness/full_scan.h"
#include "support/fixtures.h"

namespace robustness {
namespace {

// Cases per fixture and kind of damage; QB_ROBUSTNESS_CASES overrides it for a longer soak.
constexpr uint64_t kCasesPerFixture = 240;

uint64_t CasesPerFixture() {
  const char* cases = std::getenv("QB_ROBUSTNESS_CASES");
  return cases != nullptr && *cases != '\0' ? std::strtoull(cases, nullptr, 10) : kCasesPerFixture;
}

struct Fixture {
  std::string name;
  jet::Bytes image;
  ImageLayout layout;
};

jet::Bytes ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

const std::vector<Fixture>& Fixtures() {
  static const std::vector<Fixture> fixtures = [] {
    std::vector<Fixture> out;
    for (const auto& path : testing_support::ReadableAccessMadeFiles()) {
      Fixture f;
      f.name = std::filesystem::path(path).filename().string();
      f.image = ReadAll(path);
      f.layout = Survey(f.image);
      out.push_back(std::move(f));
    }
    return out;
  }();
  return fixtures;
}

// QB_ROBUSTNESS_SEED, when set, picks a single case to run again.
bool Selected(uint64_t seed) {
  const char* only = std::getenv("QB_ROBUSTNESS_SEED");
  return only == nullptr || *only == '\0' || std::strtoull(only, nullptr, 10) == seed;
}

struct Tally {
  size_t cases = 0;
  size_t refused = 0;      // Open threw
  size_t partly_read = 0;  // opened, some table failed
  size_t fully_read = 0;   // opened and read without an error
};

// A jet::Error is the expected outcome of damage; a corrupt one must say where.
void CheckError(const jet::Error& e, const std::string& which) {
  EXPECT_NE(e.number(), 0) << which;
  if (e.number() == jet::kErrCorrupt) {
    EXPECT_NE(e.description().find("(page "), std::string::npos)
        << which << ": corrupt error names no page: " << e.description();
  }
}

void RunCase(const Fixture& fixture, Damage damage, uint64_t seed, Tally& tally) {
  std::mt19937_64 rng(seed);
  jet::Bytes image = fixture.image;
  Apply(damage, fixture.layout, rng, image);
  const std::string which = std::string(DamageName(damage)) + " of " + fixture.name + ", seed " +
                            std::to_string(seed) +
                            " (rerun with QB_ROBUSTNESS_SEED=" + std::to_string(seed) + ")";
  CaseGuard guard(which);
  ++tally.cases;
  try {
    auto db = jet::Database::Open(std::make_unique<jet::PageFile>(fixture.name, std::move(image)));
    const ScanCounts counts =
        ScanEverything(*db, [&](const jet::Error& e) { CheckError(e, which); });
    ++(counts.errors == 0 ? tally.fully_read : tally.partly_read);
  } catch (const jet::Error& e) {
    ++tally.refused;
    CheckError(e, which);
  } catch (const std::exception& e) {
    ADD_FAILURE() << which << ": threw " << typeid(e).name()
                  << " instead of jet::Error: " << e.what();
  } catch (...) {
    ADD_FAILURE() << which << ": threw something that is not a jet::Error";
  }
}

// The baseline: intact files read in full, so every error in the damaged runs is the damage's.
TEST(DamagedFileTest, IntactFixturesReadWithoutErrors) {
  REQUIRE_ACCESS_MADE_FIXTURES();
  for (const auto& fixture : Fixtures()) {
    auto db = jet::Database::Open(std::make_unique<jet::PageFile>(fixture.name, fixture.image));
    const ScanCounts counts = ScanEverything(*db, [&](const jet::Error& e) {
      ADD_FAILURE() << fixture.name << ": " << e.description();
    });
    EXPECT_GT(counts.tables, 0u) << fixture.name;
  }
}

class DamagedFileTest : public testing::TestWithParam<Damage> {};

TEST_P(DamagedFileTest, ReadsOrFailsWithAJetError) {
  REQUIRE_ACCESS_MADE_FIXTURES();
  const auto& fixtures = Fixtures();
  ASSERT_FALSE(fixtures.empty());
  const uint64_t cases = CasesPerFixture();
  Tally tally;
  for (uint64_t f = 0; f < fixtures.size(); ++f) {
    for (uint64_t i = 0; i < cases; ++i) {
      const uint64_t seed = (static_cast<uint64_t>(GetParam()) << 40) | (f << 24) | i;
      if (Selected(seed)) RunCase(fixtures[f], GetParam(), seed, tally);
    }
  }
  std::cout << "[ damage   ] " << DamageName(GetParam()) << ": " << tally.cases << " cases, "
            << tally.refused << " refused at open, " << tally.partly_read << " partly read, "
            << tally.fully_read << " read in full\n";
}

INSTANTIATE_TEST_SUITE_P(AllKinds, DamagedFileTest,
                         testing::Values(Damage::kBitFlips, Damage::kGarbageRun,
                                         Damage::kTruncation, Damage::kZeroedPages,
                                         Damage::kPageCopy, Damage::kTdefChainLoop,
                                         Damage::kLongValueLoop, Damage::kRowOffsetOut,
                                         Damage::kUsageMapPointer),
                         [](const testing::TestParamInfo<Damage>& info) {
                           std::string name;
                           for (char c : std::string(DamageName(info.param))) {
                             if (std::isalnum(static_cast<unsigned char>(c))) name += c;
                           }
                           return name;
                         });

// Truncated copies on disk, where the partial last page comes from the file system.
TEST(DamagedFileOnDiskTest, TruncatedCopiesReadOrFailWithAJetError) {
  REQUIRE_ACCESS_MADE_FIXTURES();
  const std::string dir = testing_support::TempDir();
  for (const auto& fixture : Fixtures()) {
    for (uint64_t seed = 1; seed <= 5; ++seed) {
      std::mt19937_64 rng(seed);
      jet::Bytes image = fixture.image;
      Apply(Damage::kTruncation, fixture.layout, rng, image);
      const std::string path = dir + "/" + fixture.name;
      std::ofstream(path, std::ios::binary)
          .write(reinterpret_cast<const char*>(image.data()),
                 static_cast<std::streamsize>(image.size()));
      const std::string which = "truncated " + fixture.name + " on disk, seed " +
                                std::to_string(seed) + ", " + std::to_string(image.size()) +
                                " bytes";
      CaseGuard guard(which);
      try {
        auto db = jet::Database::Open(path);
        ScanEverything(*db, [&](const jet::Error& e) { CheckError(e, which); });
      } catch (const jet::Error& e) {
        CheckError(e, which);
      } catch (...) {
        ADD_FAILURE() << which << ": threw something that is not a jet::Error";
      }
    }
  }
}

}  // namespace
}  // namespace robustness
