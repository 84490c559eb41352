// Draws the shell's windows on Qt's offscreen platform and writes them as PNG files, for the
// README. Usage: app-screenshots FOLDER. Refuses to write a picture whose labels show no
// readable text (a machine without fonts draws empty boxes).
#include <QApplication>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <cstdio>
#include <string>

#include "app/form_intro.h"
#include "app/form_progress.h"
#include "app/passform.h"
#include "app/reconciler.h"
#include "glyphs.h"
#include "platform/display_text.h"

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
  app::Form_Progress progress;
  progress.setWindowTitle("Import Progress");
  progress.Label_Task->setText("Importing Calibrations");
  progress.Label_Status->setText("Importing calibration C-2291/04");
  progress.ProgressBar1->setValue(42);
  ok &= Save(progress, progress.Label_Task, folder, "progress");
  return ok ? 0 : 1;
}
