// The rules the scenario cases cannot reach cheaply: the status weights and the scoring's
// edges, counters far past 32,767, and the log file's form.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <limits>

#include "db/dao.h"
#include "import/import_log.h"
#include "import/results_merge.h"
#include "import/scoring.h"
#include "jet/error.h"
#include "platform/files.h"
#include "scenario.h"
#include "support/fixtures.h"
#include "tasks/failure_rule.h"

namespace import_test {
namespace {

using import_task::ScoreVersions;
using import_task::StatusWeight;
using import_task::Version;

TEST(StatusWeightTest, UpperCasesThenTakesTheFirstMatchingRow) {
  const std::vector<std::pair<jet::Value, int>> cases = {
      {std::string("A"), 0},  {std::string("c"), 0}, {std::string("AB"), 0}, {std::string("O"), 0},
      {std::string("p"), 0},  {std::string("D"), 1}, {std::string("h"), 1},  {std::string("DX"), 1},
      {std::string("HA"), 0}, {std::string("I"), 2}, {std::string("j"), 2},  {std::string("k"), 3},
      {std::string("L"), 3},  {std::string("T"), 3}, {std::string("n"), 5},  {std::string("M"), 5},
      {std::string("Z"), 0},  {std::string(""), 0},  {jet::Null{}, 0},
  };
  for (const auto& [status, weight] : cases) {
    EXPECT_EQ(StatusWeight(status), weight) << jet::DebugString(status);
  }
}

Version Of(jet::Value date, jet::Value time, jet::Value cert, jet::Value status) {
  return {date, time, cert, jet::Value(std::string("I1")), status};
}

jet::Value Day(double days) { return jet::DateTime{days}; }
jet::Value Text(const char* text) { return std::string(text); }

TEST(ScoreVersionsTest, WorkedExampleAndClash) {
  tasks::FailureRule rule(tasks::OnFailure::kPassUp);
  int clashes = 0;
  const auto count = [&] { ++clashes; };
  // One day later, same time and certificate, both "D": 4 against 2.
  auto s = ScoreVersions(Of(Day(101), Day(100.5), Text("C1"), Text("D")),
                         Of(Day(100), Day(100.5), Text("C1"), Text("D")), rule, count);
  EXPECT_EQ(s.mobile, 4);
  EXPECT_EQ(s.home, 2);
  EXPECT_TRUE(rule.active()) << "the skip rule holds from the first scored pair on";
  // The best on-site version cannot beat a clashing main version: 9 against 11.
  s = ScoreVersions(Of(Day(101), Day(101), Text("C2"), Text("N")),
                    Of(Day(100), Day(100), Text("c1"), Text("A")), rule, count);
  EXPECT_EQ(s.mobile, 9);
  EXPECT_EQ(s.home, 10 + 1);
  EXPECT_TRUE(s.clash);
  EXPECT_EQ(clashes, 1);
}

TEST(ScoreVersionsTest, UnreadableDateEndsOnlyTheDateSteps) {
  tasks::FailureRule rule(tasks::OnFailure::kPassUp);
  // The on-site Cal_Date is no date: the time steps, which would give the on-site version +1,
  // are not reached.
  const auto s = ScoreVersions(Of(Text("31/02/2024"), Day(5), Text("C1"), Text("D")),
                               Of(Text("2024-01-01"), Day(4), Text("C1"), Text("D")), rule, [] {});
  EXPECT_EQ(s.mobile, 1 + 1);
  EXPECT_EQ(s.home, 1 + 1);
  // A field the main row lacks costs only the steps that read it.
  Version home = Of(Day(1), Day(1), Text("C1"), Text("D"));
  home.cert_no.reset();
  const auto t = ScoreVersions(Of(Day(1), Day(1), Text("C1"), Text("D")), home, rule, [] {});
  EXPECT_EQ(t.mobile, 2);
  EXPECT_EQ(t.home, 1);
}

// A new calibration's three result lines counted onto a count already at `start`.
class ResultCountTest : public ::testing::Test {
 protected:
  void SetUp() override {
    folder_ = testing_support::TempDir();
    MakeDatabase(folder_ + "/main.mdb", {});
    MakeDatabase(folder_ + "/onsite.mdb", Tables(R"(
[Results]
Cert_No | Test_No | Measured
C-1     | 1       | 1
C-1     | 2       | 2
C-1     | 3       | 3
)"));
  }
  int32_t Run(int32_t start, int* error) {
    db::Database main = db::DBEngine().OpenDatabase(folder_ + "/main.mdb");
    db::Database onsite = db::DBEngine().OpenDatabase(folder_ + "/onsite.mdb");
    import_task::ImportState state;
    state.NewResultCount = start;
    try {
      import_task::FindResults(onsite, main, Text("C-1"), true, state);
    } catch (const jet::Error& e) {
      *error = e.number();
    }
    main.Close();
    onsite.Close();
    return state.NewResultCount;
  }
  std::string folder_;
};

TEST_F(ResultCountTest, CountsPast32767) {
  int error = 0;
  EXPECT_EQ(Run(32766, &error), 32769);
  EXPECT_EQ(error, 0);
  EXPECT_EQ(TableLines(folder_ + "/main.mdb", "Results", {"Test_No"}).size(), 3u);
}

TEST_F(ResultCountTest, OverflowsOnlyAtTheLargestCount) {
  int error = 0;
  const int32_t max = std::numeric_limits<int32_t>::max();
  EXPECT_EQ(Run(max - 1, &error), max);
  EXPECT_EQ(error, 6);
  // The line counted before the overflow stays; the one that overflowed is not written.
  EXPECT_EQ(TableLines(folder_ + "/main.mdb", "Results", {"Test_No"}),
            std::vector<std::string>{"1"});
}

std::string FileBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string((std::istreambuf_iterator<char>(in)), {});
}

TEST(ImportLogTest, WritesEntriesInTheLaboratoryCodePageAndIgnoresFailures) {
  const std::string folder = testing_support::TempDir();
  const std::string previous = platform::CurrentFolder();
  ASSERT_TRUE(platform::SetCurrentFolder(folder));
  import_task::ImportLog log([] { return "05/06/2024 07:08:09"; });
  log.LogMessage("before StartLog: nowhere");
  log.StartLog();
  log.LogMessage("Caf\xC3\xA9 \xE2\x82\xAC a\rb");
  EXPECT_EQ(log.LogFilePath(), "ImportLog.txt");
  EXPECT_EQ(FileBytes("ImportLog.txt"),
            "05/06/2024 07:08:09\r\nQuorvel on-site database import log\r\n"
            "Caf\xE9 \x80 a\rb\r\n");
  // A second update starts the file afresh.
  log.StartLog();
  EXPECT_EQ(FileBytes("ImportLog.txt"),
            "05/06/2024 07:08:09\r\nQuorvel on-site database import log\r\n");
  // A log that cannot be written loses its lines without a failure.
  std::filesystem::remove("ImportLog.txt");
  std::filesystem::create_directory("ImportLog.txt");
  EXPECT_NO_THROW(log.StartLog());
  EXPECT_NO_THROW(log.LogMessage("lost"));
  ASSERT_TRUE(platform::SetCurrentFolder(previous));
}

}  // namespace
}  // namespace import_test
