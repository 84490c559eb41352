#include "import/import_preview.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <random>

#include "import/file_in_use.h"
#include "import/main_backup.h"
#include "platform/files.h"
#include "tasks/task_ui.h"

namespace import_task {
namespace {

namespace fs = std::filesystem;

constexpr char kCr = '\r';

class NoLauncher : public platform::Launcher {
 public:
  bool BrowseFolder(std::string_view) override { return true; }
  bool EditTextFile(std::string_view) override { return true; }
};

// The error prompt goes to the caller; every other box is kept for the preview's report.
class PreviewPrompter : public platform::Prompter {
 public:
  PreviewPrompter(platform::Prompter& errors, std::vector<platform::Message>& messages)
      : errors_(errors), messages_(messages) {}

  platform::Answer Show(const platform::Message& message) override {
    if (message.buttons == platform::Buttons::kYesNo && message.icon == platform::Icon::kNone) {
      return errors_.Show(message);
    }
    messages_.push_back(message);
    return message.buttons == platform::Buttons::kOk ? platform::Answer::kOk
                                                     : platform::Answer::kNo;
  }
  std::string InputBox(std::string_view, std::string_view, std::string_view) override { return ""; }
  std::optional<std::string> OpenFile(const platform::FileOpenRequest&) override {
    return std::nullopt;
  }

 private:
  platform::Prompter& errors_;
  std::vector<platform::Message>& messages_;
};

fs::path ScratchFolder() {
  std::random_device random;
  const fs::path base = fs::temp_directory_path();
  for (;;) {
    const fs::path folder = base / ("quorbase-preview-" + std::to_string(random()));
    if (fs::create_directory(folder)) return folder;
  }
}

std::vector<std::string> LogEntries(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  const std::string content((std::istreambuf_iterator<char>(in)), {});
  std::vector<std::string> entries;
  size_t start = 0;
  for (size_t end; (end = content.find("\r\n", start)) != std::string::npos; start = end + 2) {
    entries.push_back(content.substr(start, end - start));
  }
  // The date-time line and the header line are the preview's own.
  entries.erase(entries.begin(), entries.begin() + std::min<size_t>(2, entries.size()));
  return entries;
}

std::string Lines(std::string text) {
  for (char& c : text) {
    if (c == kCr) c = '\n';
  }
  return text;
}

std::string Cert(const std::string& cert_no) {
  return cert_no.empty() ? "no certificate" : "certificate " + cert_no;
}

std::string Points(const SideScore& side) {
  return std::to_string(side.points) + " (" + PartsText(side) + ")";
}

}  // namespace

PreviewResult PreviewUpdate(const ImportRequest& request, platform::Prompter& error_prompter) {
  PreviewResult preview;
  const std::string main = platform::NativePath(request.main_database_path);
  const auto before = FingerprintOf(main);
  preview.main_in_use = WhyInUse(main);

  fs::path scratch;
  try {
    scratch = ScratchFolder();
    // A missing main database is not copied: the update on the copy is then refused just as
    // the real one would be.
    if (fs::exists(main)) fs::copy_file(main, scratch / fs::path(main).filename());
  } catch (const fs::filesystem_error& e) {
    preview.error = "no scratch copy of the main database could be made: " + e.code().message();
    std::error_code ignored;
    if (!scratch.empty()) fs::remove_all(scratch, ignored);
    return preview;
  }

  ImportRequest on_copy = request;
  on_copy.main_database_path = (scratch / fs::path(main).filename()).string();
  PreviewPrompter prompter(error_prompter, preview.messages);
  NoLauncher launcher;
  tasks::SilentProgress progress;
  tasks::NoWindow window;
  UpdateSurroundings surroundings{prompter, launcher, progress, window};
  const fs::path log_path = scratch / "ImportLog.txt";
  ImportLog log([] { return std::string(); }, log_path.string());
  UpdateSafeguards none;
  none.backup = false;
  none.report = false;
  preview.update = RunUpdate(on_copy, surroundings, log, none);
  preview.log_entries = LogEntries(log_path);

  std::error_code ignored;
  fs::remove_all(scratch, ignored);
  preview.main_unchanged = FingerprintOf(main) == before;
  return preview;
}

std::string PreviewText(const PreviewResult& preview) {
  if (!preview.error.empty()) return "Preview not possible: " + preview.error + "\n";
  std::string text;
  if (!preview.main_in_use.empty()) {
    text +=
        "The main database is in use (" + preview.main_in_use + "): the update would be refused.\n";
  }
  const ImportReport& report = preview.update.state.report;
  std::string instruments, rows;
  for (const WrittenRow& row : report.rows) {
    switch (row.kind) {
      case RowKind::kInstrument:
        instruments += "  " + row.inst_id + "\n";
        break;
      case RowKind::kAdditionalData:
        rows +=
            "  additional data " + row.inst_id + " ref " + row.cal_ref + ": " + row.action + "\n";
        break;
      case RowKind::kResult:
        rows += "  result line " + row.cert_no + " test " + row.test_no + ": " + row.action + "\n";
        break;
    }
  }
  text += "Instruments it would add:\n" + (instruments.empty() ? "  none\n" : instruments);
  text += "Calibrations:\n";
  if (report.calibrations.empty()) text += "  none\n";
  for (const CalibrationLine& c : report.calibrations) {
    text += "  " + c.inst_id + " ref " + c.cal_ref + ": " + OutcomeText(c.outcome);
    if (c.scored) {
      text += "\n    main " + Cert(c.main_cert_no) + ": " + Points(c.main) + "\n    on-site " +
              Cert(c.onsite_cert_no) + ": " + Points(c.onsite);
    }
    if (!c.note.empty()) text += "\n    note: " + c.note;
    text += "\n";
  }
  text += "Result lines and additional data it would write:\n" + (rows.empty() ? "  none\n" : rows);
  for (const std::string& entry : preview.log_entries) {
    // The summary is logged as it is shown: once is enough.
    const bool shown = std::any_of(preview.messages.begin(), preview.messages.end(),
                                   [&](const platform::Message& m) { return m.text == entry; });
    if (!shown) text += "Log: " + Lines(entry) + "\n";
  }
  for (const platform::Message& message : preview.messages) {
    text += "Would show: " + Lines(message.text) + "\n";
  }
  if (preview.update.end == UpdateEnd::kStopped) {
    const ImportState& s = preview.update.state;
    text += "The update would stop after writing " + std::to_string(s.NewInstrumentCount) +
            " instruments, " + std::to_string(s.NewCalibrationCount) + " calibrations and " +
            std::to_string(s.NewResultCount) + " result lines.\n";
  }
  text += preview.main_unchanged ? "The main database was not changed (size, time and hash).\n"
                                 : "WARNING: the main database changed during the preview.\n";
  return text;
}

}  // namespace import_task
