// Draws the shell's windows on Qt's offscreen platform and writes them as PNG files, for the
// README. Usage: app-screenshots FOLDER. Refuses to write a picture whose labels show no
// readable text (a machine without fonts draws empty boxes).
#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <cstdio>
#include <string>

#include "app/form_export.h"
#include "app/form_import.h"
#include "app/form_intro.h"
#include "app/form_progress.h"
#include "app/passform.h"
#include "app/progress_window.h"
#include "app/reconciler.h"
#include "glyphs.h"
#include "platform/display_text.h"
#include "platform/launcher.h"
#include "platform/qt_prompter.h"

namespace {

class NoActions : public app::MenuActions {
 public:
  void OpenExport() override {}
  void OpenImport() override {}
  void OpenRebuild() override {}
  void ShowAbout() override {}
  void ExitProgram() override {}
};

bool Save(QWidget& window, QLabel* label, const std::string& folder, const char* name) {
  window.show();
  QApplication::processEvents();
  const QImage image = app::testing::Render(window);
  if (!app::testing::LooksLikeText(app::testing::InspectInk(image, label->geometry()))) {
    std::fprintf(stderr, "app-screenshots: %s shows no readable text (fonts missing?)\n", name);
    return false;
  }
  const std::string path = folder + "/" + name + ".png";
  if (!image.save(QString::fromStdString(path))) {
    std::fprintf(stderr, "app-screenshots: cannot write %s\n", path.c_str());
    return false;
  }
  std::printf("%s\n", path.c_str());
  return true;
}

// The export and rebuild windows as a laboratory sees them on 2 June 2009. The pictures need no
// database: the customer lists are filled by hand.
bool SaveTaskWindows(const std::string& folder) {
  app::ProgramValues values;
  values.program_name = "Fendra";
  values.results_folder = "D:\\Calibration\\Results";
  values.main_database_path = values.results_folder + app::kMainDatabaseName;
  platform::QtPrompter prompter("Fendra");
  platform::SystemLauncher launcher;
  app::ProgressWindow progress;
  const app::ExportWindowServices services{
      .values = values,
      .prompter = prompter,
      .launcher = launcher,
      .progress = progress,
      .return_to_menu = {},
      .today = [] { return tasks::LocalTime{.year = 2009, .month = 6, .day = 2}; }};
  bool ok = true;

  app::ExportWindow on_site(app::ExportDesign(), services, {});
  on_site.Load();
  for (const char* name :
       {"Brannock Hydraulics", "Halden Water Board", "Kovač Precision", "Lindqvist Marine",
        "Northfield Dairy", "Velmo Instruments", "Velmo Marine"}) {
    on_site.DBList_Customer->addItem(name);
  }
  on_site.DBList_Customer->setCurrentRow(3);
  on_site.List_SelectedCust->addItems({"Halden Water Board", "Velmo Instruments"});
  ok &= Save(on_site, on_site.Label_Step2, folder, "export");

  app::ExportWindow rebuild(app::ExportAllDesign(), services, {});
  rebuild.Load();
  ok &= Save(rebuild, rebuild.Label_Step3, folder, "export-all");
  return ok;
}

// The import window with an on-site file chosen, before its update.
bool SaveImportWindow(const std::string& folder) {
  app::ProgramValues values;
  values.program_name = "Fendra";
  values.results_folder = "D:\\Calibration\\Results";
  values.main_database_path = values.results_folder + app::kMainDatabaseName;
  platform::QtPrompter prompter("Fendra");
  platform::SystemLauncher launcher;
  app::ProgressWindow progress;
  app::Form_Import window({.values = values,
                           .prompter = prompter,
                           .launcher = launcher,
                           .progress = progress,
                           .return_to_menu = {}});
  window.SetPathText(values.results_folder + "\\Quorbase On-Site Export 02-06-2009.mdb");
  return Save(window, window.Label_Step1, folder, "import");
}

}  // namespace

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication application(argc, argv);
  if (argc != 2) {
    std::fprintf(stderr, "usage: app-screenshots FOLDER\n");
    return 2;
  }
  const std::string folder = argv[1];
  NoActions actions;
  bool ok = true;
  for (const char* name : {"Kestrine", "Fendra"}) {
    app::ProgramValues values;
    values.program_name = name;
    values.version_text = app::kVersionText;
    values.results_folder = "D:\\Calibration\\Results";
    values.main_database_path = values.results_folder + app::kMainDatabaseName;
    const std::string lower = QString(name).toLower().toStdString();

    app::Form_Intro menu(values, actions);
    ok &= Save(menu, menu.Label2, folder, ("menu-" + lower).c_str());

    app::PASSFORM title(values);
    title.InfoLab->setText(platform::DisplayText(app::TitleInfoText(values.main_database_path)));
    ok &= Save(title, title.TitleLab[1], folder, ("title-" + lower).c_str());
  }
  ok &= SaveTaskWindows(folder);
  ok &= SaveImportWindow(folder);

  app::Form_Progress progress;
  progress.setWindowTitle("Import Progress");
  progress.Label_Task->setText("Importing Calibrations");
  progress.Label_Status->setText("Importing calibration C-2291/04");
  progress.ProgressBar1->setValue(42);
  ok &= Save(progress, progress.Label_Task, folder, "progress");
  return ok ? 0 : 1;
}
