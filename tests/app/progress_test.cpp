// The progress window as the long commands drive it.
#include <gtest/gtest.h>

#include <QApplication>
#include <QGuiApplication>
#include <QImage>
#include <QLabel>
#include <QPixmap>
#include <QProgressBar>
#include <QScreen>

#include "app/progress_window.h"

namespace app {
namespace {

TEST(ProgressWindowTest, FirstWriteLoadsItCentredWithItsDesignTexts) {
  ProgressWindow progress;
  EXPECT_EQ(progress.form(), nullptr);
  progress.SetCaption("Export Progress");
  ASSERT_NE(progress.form(), nullptr);
  Form_Progress& form = *progress.form();
  EXPECT_FALSE(form.isVisible());  // loaded, not shown
  EXPECT_EQ(form.Label_Task->text(), "Exporting Database");
  EXPECT_EQ(form.Label_Status->text(), "---");
  EXPECT_EQ(form.ProgressBar1->value(), 0);
  EXPECT_EQ(form.ProgressBar1->minimum(), 0);
  EXPECT_EQ(form.ProgressBar1->maximum(), 100);
  const QRect screen = QGuiApplication::primaryScreen()->geometry();
  EXPECT_EQ(form.x(), (screen.width() - form.width()) / 2);
  EXPECT_EQ(form.y(), (screen.height() - form.height()) / 2);
}

TEST(ProgressWindowTest, AnImportRunFollowsTheProtocol) {
  ProgressWindow progress;
  progress.SetCaption("Import Progress");
  progress.SetTask("Importing Instruments");
  progress.Show();
  Form_Progress* form = progress.form();
  EXPECT_TRUE(form->isVisible());
  EXPECT_EQ(form->windowTitle(), "Import Progress");
  progress.SetTask("Importing Calibrations");
  for (int row = 1; row <= 4; ++row) {
    progress.SetStatus("Importing calibration C-" + std::to_string(row));
    progress.SetBar(row * 24.9);
    progress.LetEventsRun();
  }
  EXPECT_EQ(form->Label_Task->text(), "Importing Calibrations");
  EXPECT_EQ(form->Label_Status->text(), "Importing calibration C-4");
  EXPECT_EQ(form->ProgressBar1->value(), 99);
  progress.SetBar(250);  // a position past the end cannot break the bar
  EXPECT_EQ(form->ProgressBar1->value(), 100);
  progress.Unload();
  EXPECT_EQ(progress.form(), nullptr);
}

// What the screen shows of the label now, as the window system holds it.
QImage OnScreen(QWidget& window, const QWidget& label) {
  return QGuiApplication::primaryScreen()
      ->grabWindow(window.winId(), label.x(), label.y(), label.width(), label.height())
      .toImage();
}

TEST(ProgressWindowTest, APhaseShowsOnTheScreenBeforeTheWorkLetsEventsRun) {
  ProgressWindow progress;
  progress.SetCaption("Import Progress");
  progress.SetTask("Importing Instruments");
  progress.Show();
  Form_Progress& form = *progress.form();
  // Nothing lets events run from here on but the checks' own settling below, as in a merge
  // that yields nowhere.
  const QImage first = OnScreen(form, *form.Label_Task);
  progress.SetTask("Importing Calibrations");
  const QImage second = OnScreen(form, *form.Label_Task);
  ASSERT_FALSE(first.isNull());
  EXPECT_NE(first, second) << "the new phase is on the screen";

  // Settled: the window drawn with every event let through shows the same.
  QApplication::processEvents();
  form.repaint();
  EXPECT_EQ(second, OnScreen(form, *form.Label_Task));
  progress.SetTask("Importing Instruments");
  EXPECT_EQ(first, OnScreen(form, *form.Label_Task));
}

TEST(ProgressWindowTest, EachCommandStartsFromAFreshWindow) {
  ProgressWindow progress;
  progress.SetCaption("Import Progress");
  progress.SetStatus("Importing calibration 17");
  progress.SetBar(80);
  progress.Show();
  progress.Unload();

  progress.SetCaption("Export Progress");
  Form_Progress* form = progress.form();
  EXPECT_EQ(form->Label_Status->text(), "---");
  EXPECT_EQ(form->ProgressBar1->value(), 0);
  EXPECT_EQ(form->Label_Task->text(), "Exporting Database");
  EXPECT_FALSE(form->isVisible());
}

}  // namespace
}  // namespace app
