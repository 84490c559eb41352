// Runs every case in cases/ through the update as the import window runs it, then compares the
// main tables, the log and the boxes shown with the case's expectations, and checks that every
// file the import wrote is consistent.
#include "scenario.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>

#include "app/program_values.h"
#include "import/update_run.h"
#include "jet/consistency_check.h"
#include "jet/database.h"
#include "platform/files.h"
#include "platform/test_doubles.h"
#include "support/fixtures.h"
#include "support/task_test_ui.h"

namespace import_test {
namespace {

std::string PromptText(const platform::Message& m) {
  const char* buttons = m.buttons == platform::Buttons::kYesNo ? "yesno" : "ok";
  const char* icon = m.icon == platform::Icon::kNone          ? "none"
                     : m.icon == platform::Icon::kInformation ? "info"
                     : m.icon == platform::Icon::kExclamation ? "excl"
                                                              : "other";
  std::string text;
  for (char c : m.text) text += c == '\r' ? std::string("\\r") : std::string(1, c);
  std::string head = std::string(buttons) + " " + icon;
  if (!m.title.empty()) head += " " + m.title;
  // Case files hold trimmed lines.
  while (!text.empty() && text.back() == ' ') text.pop_back();
  return head + " | " + text;
}

std::string Problems(const std::string& path) {
  auto database = jet::Database::Open(path);
  std::string out;
  for (const std::string& line : jet::CheckDatabase(*database)) out += line + "\n";
  return out;
}

class ScenarioTest : public ::testing::TestWithParam<std::string> {};

TEST_P(ScenarioTest, MergesAsExpected) {
  const ScenarioCase c = ReadCase(CasePath(GetParam()));
  const std::string folder = testing_support::TempDir();
  const std::string main_path = folder + "/Quorbase.mdb";
  const std::string onsite_path = folder + "/onsite.mdb";
  MakeDatabase(main_path, c.main);
  MakeDatabase(onsite_path, c.onsite);
  const std::string previous_folder = platform::CurrentFolder();
  ASSERT_TRUE(platform::SetCurrentFolder(folder));

  app::ProgramValues values;
  values.results_folder = folder;
  // Joined as the laboratory joins it; the file layer resolves the backslash.
  values.main_database_path = folder + app::kMainDatabaseName;
  platform::testing::FakePrompter prompter;
  std::istringstream answers(c.settings.contains("answers") ? c.settings.at("answers") : "");
  for (std::string a; answers >> a;) {
    prompter.answers.push_back(a == "yes" ? platform::Answer::kYes : platform::Answer::kNo);
  }
  // Answers are for the Yes/No boxes only: the OK boxes take none.
  struct YesNoOnly : platform::Prompter {
    platform::testing::FakePrompter& inner;
    explicit YesNoOnly(platform::testing::FakePrompter& p) : inner(p) {}
    platform::Answer Show(const platform::Message& m) override {
      if (m.buttons == platform::Buttons::kYesNo) return inner.Show(m);
      inner.messages.push_back(m);
      return platform::Answer::kOk;
    }
    std::string InputBox(std::string_view a, std::string_view b, std::string_view d) override {
      return inner.InputBox(a, b, d);
    }
    std::optional<std::string> OpenFile(const platform::FileOpenRequest& r) override {
      return inner.OpenFile(r);
    }
  } boxes(prompter);
  platform::testing::FakeLauncher launcher;
  tasks::testing::RecordingProgress progress;
  tasks::testing::RecordingWindow window;
  import_task::UpdateSurroundings surroundings{boxes, launcher, progress, window};

  std::string path = onsite_path;
  if (c.settings.contains("onsite")) {
    path = c.settings.at("onsite") == "empty-path" ? "" : folder + "/" + c.settings.at("onsite");
  }
  const int runs = c.settings.contains("runs") ? std::stoi(c.settings.at("runs")) : 1;
  import_task::UpdateResult result;
  for (int run = 0; run < runs; ++run) {
    import_task::ImportLog log([] { return "01/02/2024 10:00:00"; });
    result = import_task::RunUpdate({values.main_database_path, path}, surroundings, log);
  }
  ASSERT_TRUE(platform::SetCurrentFolder(previous_folder));

  const std::string outcome =
      c.settings.contains("outcome") ? c.settings.at("outcome") : "completed";
  const std::map<std::string, import_task::UpdateEnd> ends = {
      {"completed", import_task::UpdateEnd::kCompleted},
      {"stopped", import_task::UpdateEnd::kStopped},
      {"refused", import_task::UpdateEnd::kRefused}};
  EXPECT_EQ(result.end, ends.at(outcome));
  // Whatever the outcome, the window is never left busy nor the progress window shown.
  EXPECT_FALSE(window.busy());
  EXPECT_FALSE(progress.shown);

  for (const TableText& table : c.expected_main) {
    EXPECT_EQ(TableLines(main_path, table.name, table.columns), ExpectedLines(table))
        << "table " << table.name;
  }
  const std::string log_path = folder + "/ImportLog.txt";
  if (c.settings.contains("log") && c.settings.at("log") == "none") {
    EXPECT_FALSE(std::filesystem::exists(log_path));
  }
  if (c.check_log) {
    std::vector<std::string> entries = LogEntries(log_path);
    ASSERT_GE(entries.size(), 2u);
    EXPECT_EQ(entries[0], "01/02/2024 10:00:00");
    EXPECT_EQ(entries[1], "Quorvel on-site database import log");
    entries.erase(entries.begin(), entries.begin() + 2);
    EXPECT_EQ(entries, c.expected_log);
  }
  if (c.check_prompts) {
    std::vector<std::string> shown;
    for (const auto& m : prompter.messages) shown.push_back(PromptText(m));
    EXPECT_EQ(shown, c.expected_prompts);
  }
  const bool editor = c.settings.contains("editor") && c.settings.at("editor") == "opened";
  if (editor) {
    ASSERT_EQ(launcher.started.size(), 1u);
    EXPECT_EQ(launcher.started[0], platform::EditTextFileCommand("ImportLog.txt"));
  } else {
    EXPECT_TRUE(launcher.started.empty());
  }
  EXPECT_EQ(Problems(main_path), "");
  EXPECT_EQ(Problems(onsite_path), "");
}

INSTANTIATE_TEST_SUITE_P(Cases, ScenarioTest, ::testing::ValuesIn(CaseNames()),
                         [](const auto& info) { return info.param; });

}  // namespace
}  // namespace import_test
