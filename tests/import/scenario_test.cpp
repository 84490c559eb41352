// Runs every case in cases/ through the update as the import window runs it, then compares the
// main tables, the log, the boxes shown and the report with the case's expectations, and checks
// that every file the import wrote is consistent. Before every run the preview runs on the same
// files with the same answers: it must leave the main file as it was and predict the run.
#include "scenario.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "app/program_values.h"
#include "import/import_preview.h"
#include "import/main_backup.h"
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

std::vector<platform::Answer> Answers(const ScenarioCase& c) {
  std::vector<platform::Answer> answers;
  std::istringstream in(c.settings.contains("answers") ? c.settings.at("answers") : "");
  for (std::string a; in >> a;) {
    answers.push_back(a == "yes" ? platform::Answer::kYes : platform::Answer::kNo);
  }
  return answers;
}

std::string Bytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string((std::istreambuf_iterator<char>(in)), {});
}

// Everything the report says, with the update's end taken as completed: what the preview must
// predict.
std::string ReportOf(const import_task::UpdateResult& result) {
  return import_task::ReportCsv(
      result.state.report, {"", result.state.NewInstrumentCount, result.state.NewCalibrationCount,
                            result.state.NewResultCount, ""});
}

// The report file's lines after the header, the backup's path as <backup>.
std::vector<std::string> ReportLines(const std::string& path, const std::string& backup) {
  std::vector<std::string> lines;
  std::istringstream in(Bytes(path));
  for (std::string line; std::getline(in, line);) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (!backup.empty()) {
      if (const size_t at = line.find(backup); at != std::string::npos) {
        line.replace(at, backup.size(), "<backup>");
      }
    }
    lines.push_back(line);
  }
  if (!lines.empty()) lines.erase(lines.begin());
  return lines;
}

// The preview of one run, made just before it: the main file stays as it was, byte for byte
// and in its modification time, and nothing appears in the current folder.
import_task::PreviewResult Preview(const ScenarioCase& c, const import_task::ImportRequest& request,
                                   const std::string& main_path, const std::string& folder) {
  platform::testing::FakePrompter errors;
  for (platform::Answer a : Answers(c)) errors.answers.push_back(a);
  const bool main_exists = std::filesystem::exists(main_path);
  const std::string bytes = main_exists ? Bytes(main_path) : "";
  const auto time =
      main_exists ? std::filesystem::last_write_time(main_path) : std::filesystem::file_time_type();
  std::vector<std::string> files_before;
  for (const auto& entry : std::filesystem::directory_iterator(folder)) {
    files_before.push_back(entry.path().filename().string());
  }
  import_task::PreviewResult preview = import_task::PreviewUpdate(request, errors);
  EXPECT_EQ(preview.error, "");
  EXPECT_TRUE(preview.main_unchanged);
  if (main_exists) {
    EXPECT_TRUE(Bytes(main_path) == bytes) << "the preview changed the main database";
    EXPECT_EQ(std::filesystem::last_write_time(main_path), time);
  }
  std::vector<std::string> files_after;
  for (const auto& entry : std::filesystem::directory_iterator(folder)) {
    files_after.push_back(entry.path().filename().string());
  }
  std::sort(files_before.begin(), files_before.end());
  std::sort(files_after.begin(), files_after.end());
  EXPECT_EQ(files_after, files_before) << "the preview wrote beside the databases";
  return preview;
}

// The boxes other than the error prompt, which the preview puts to its own prompter.
std::vector<std::string> Boxes(const std::vector<platform::Message>& messages) {
  std::vector<std::string> texts;
  for (const auto& m : messages) {
    if (m.buttons == platform::Buttons::kYesNo && m.icon == platform::Icon::kNone) continue;
    texts.push_back(m.text);
  }
  return texts;
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
  for (platform::Answer a : Answers(c)) prompter.answers.push_back(a);
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
    const import_task::ImportRequest request{values.main_database_path, path};
    const import_task::PreviewResult preview = Preview(c, request, main_path, folder);
    const size_t boxes_before = prompter.messages.size();
    import_task::ImportLog log([] { return "01/02/2024 10:00:00"; });
    result = import_task::RunUpdate(request, surroundings, log);

    // The preview said what the run did: its end, its counts, every calibration's outcome
    // and points, every row written, its log lines and its boxes.
    EXPECT_EQ(preview.update.end, result.end);
    EXPECT_EQ(preview.update.summary, result.summary);
    EXPECT_EQ(ReportOf(preview.update), ReportOf(result));
    const std::vector<platform::Message> run_boxes(prompter.messages.begin() + boxes_before,
                                                   prompter.messages.end());
    EXPECT_EQ(Boxes(preview.messages), Boxes(run_boxes));
    if (result.end != import_task::UpdateEnd::kRefused) {
      std::vector<std::string> logged = LogEntries(folder + "/ImportLog.txt");
      logged.erase(logged.begin(), logged.begin() + std::min<size_t>(2, logged.size()));
      std::vector<std::string> predicted;
      for (std::string entry : preview.log_entries) {
        std::string shown;
        for (char ch : entry) shown += ch == '\r' ? std::string("\\r") : std::string(1, ch);
        predicted.push_back(shown);
      }
      EXPECT_EQ(predicted, logged);
    }
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
  if (c.check_report) {
    EXPECT_EQ(ReportLines(folder + "/ImportReport.csv", result.backup_path), c.expected_report);
  }
  // A run that wrote has its backup, verified, and the fingerprint of the file it left.
  if (result.end != import_task::UpdateEnd::kRefused) {
    ASSERT_FALSE(result.backup_path.empty());
    EXPECT_EQ(import_task::ReadFingerprint(import_task::FingerprintPathOf(result.backup_path)),
              import_task::FingerprintOf(main_path));
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
