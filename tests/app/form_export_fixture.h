// A results folder and an export or rebuild window loaded on it, for the window tests: the
// main database holds customers of every kind the lists must handle (repeated, blank, Null,
// with an apostrophe, non-Latin letters, two sharing a prefix).
#pragma once

#include <gtest/gtest.h>

#include <QListWidget>
#include <memory>
#include <string>
#include <vector>

#include "app/form_export_window.h"
#include "platform/test_doubles.h"
#include "support/lab_files.h"
#include "support/task_test_ui.h"

namespace app::testing {

// The lines a list shows, top to bottom.
inline std::vector<std::string> Lines(const QListWidget& list) {
  std::vector<std::string> lines;
  for (int i = 0; i < list.count(); ++i) lines.push_back(list.item(i)->text().toStdString());
  return lines;
}

// Selects the line showing `text` (the first, when several do).
inline void Select(QListWidget& list, const std::string& text) {
  for (int i = 0; i < list.count(); ++i) {
    if (list.item(i)->text().toStdString() == text) {
      list.setCurrentRow(i);
      return;
    }
  }
  ADD_FAILURE() << "no line " << text;
}

// 2 June 2009, the day the default target path is named after in these tests.
inline tasks::LocalTime TestDay() { return {.year = 2009, .month = 6, .day = 2}; }

class ExportWindowTest : public ::testing::Test {
 protected:
  // A folder per test, with the customers below.
  void MakeFolder(const std::string& name) {
    lab_ = tasks::testing::MakeLab(name);
    tasks::testing::LabWriter(lab_.main_path)
        .Instrument("I-1", std::string("Velmo Instruments"))
        .Instrument("I-2", std::string("Velmo Marine"))
        .Instrument("I-3", std::string("Velmo Instruments"))
        .Instrument("I-4", std::string("O'Brien & Sons"))
        .Instrument("I-5", std::string(" "))
        .Instrument("I-6", jet::Value())
        .Instrument("I-7", std::string("Zürich Kalibrier"))
        .Instrument("I-8", std::string("Acme Test"));
    values_.program_name = "Fendra";
    values_.results_folder = lab_.folder;
    values_.main_database_path = lab_.main_path;
  }

  ExportWindowServices Services() {
    return {.values = values_,
            .prompter = prompter_,
            .launcher = launcher_,
            .progress = progress_,
            .return_to_menu = [this](QWidget* window) { returned_to_.push_back(window); },
            .today = TestDay};
  }

  // The window of `design`, loaded, with `create` behind its create button.
  ExportWindow& Open(const ExportWindowDesign& design, CreateAction create = {}) {
    window_ = std::make_unique<ExportWindow>(design, Services(), std::move(create));
    window_->Load();
    return *window_;
  }

  tasks::testing::Lab lab_;
  ProgramValues values_;
  platform::testing::FakePrompter prompter_;
  platform::testing::FakeLauncher launcher_;
  tasks::testing::RecordingProgress progress_;
  std::vector<QWidget*> returned_to_;
  std::unique_ptr<ExportWindow> window_;
};

// The customers of MakeFolder as the all-customers statement returns them: sorted as the
// collation orders them, Null (shown empty) first, each name once.
inline const std::vector<std::string>& AllCustomerLines() {
  static const std::vector<std::string> lines{"",
                                              " ",
                                              "Acme Test",
                                              "O'Brien & Sons",
                                              "Velmo Instruments",
                                              "Velmo Marine",
                                              "Zürich Kalibrier"};
  return lines;
}

}  // namespace app::testing
