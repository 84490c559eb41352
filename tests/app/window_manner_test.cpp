// How the windows behave towards the user beyond their texts: where they open, that the
// progress window stays, that long messages fit the screen with their whole title, and what
// the user is told when nothing can show the log or the folder.
#include <gtest/gtest.h>

#include <QApplication>
#include <QCloseEvent>
#include <QLabel>
#include <QMessageBox>
#include <QScreen>
#include <QScrollArea>

#include "app/form_progress.h"
#include "app/launcher_with_notice.h"
#include "app/placement.h"
#include "platform/display_text.h"
#include "platform/qt_prompter.h"
#include "platform/test_doubles.h"

namespace app {
namespace {

TEST(PlacementTest, CentresInTheAreaAndKeepsTheCornerOfALargerWindowInside) {
  EXPECT_EQ(CentredCorner({400, 300}, QRect(0, 0, 1200, 900)), QPoint(400, 300));
  // A desktop panel on the left and at the top moves the area, not the arithmetic.
  EXPECT_EQ(CentredCorner({400, 300}, QRect(100, 40, 1000, 800)), QPoint(400, 290));
  EXPECT_EQ(CentredCorner({1400, 1000}, QRect(0, 30, 1200, 900)), QPoint(0, 30));
}

TEST(ProgressWindowTest, RefusesToCloseAndStaysAboveItsTaskWindow) {
  QWidget task;
  task.show();
  Form_Progress progress(&task);
  progress.show();
  EXPECT_TRUE(progress.isWindow());
  EXPECT_EQ(progress.parentWidget(), &task);
  EXPECT_FALSE(progress.windowFlags() & Qt::WindowCloseButtonHint);
  EXPECT_FALSE(progress.close());
  EXPECT_TRUE(progress.isVisible());
}

TEST(MessageBoxTest, ALongSummaryScrollsWithinTheScreenAndTheTitleIsWhole) {
  std::string summary;
  for (int i = 1; i <= 80; ++i) {
    summary += "Customer " + std::to_string(i) + " : 12 instruments exported";
    summary += platform::kCr;
  }
  const QString title = "New database created";
  auto box = platform::NewMessageBox(
      {summary, platform::Buttons::kOk, platform::Icon::kInformation, title.toStdString()}, title,
      nullptr);
  box->show();
  QApplication::processEvents();
  const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
  EXPECT_LE(box->height(), screen.height());
  EXPECT_NE(box->findChild<QScrollArea*>("MessageTextArea"), nullptr);
  QFont caption = box->font();
  caption.setBold(true);
  EXPECT_GT(box->width(), QFontMetrics(caption).horizontalAdvance(title) + 100);

  // A short message keeps the standard box, but still with room for its one-word title.
  auto small = platform::NewMessageBox(
      {"Done.", platform::Buttons::kOk, platform::Icon::kInformation, "Fendra"}, "Fendra", nullptr);
  small->show();
  QApplication::processEvents();
  EXPECT_EQ(small->findChild<QScrollArea*>("MessageTextArea"), nullptr);
  EXPECT_GT(small->width(), QFontMetrics(caption).horizontalAdvance("Fendra") + 100);
  EXPECT_TRUE(platform::MessageTextScrolls(600, 1000));
  EXPECT_FALSE(platform::MessageTextScrolls(400, 1000));
}

TEST(LauncherWithNoticeTest, NamesTheLogOrFolderWhenNothingCanShowIt) {
  platform::testing::FakeLauncher system;
  platform::testing::FakePrompter prompter;
  LauncherWithNotice launcher(system, prompter);
  EXPECT_TRUE(launcher.EditTextFile("ImportLog.txt"));
  EXPECT_TRUE(prompter.messages.empty());

  system.succeed = false;
  EXPECT_TRUE(launcher.EditTextFile("/srv/lab/ImportLog.txt"));
  EXPECT_TRUE(launcher.BrowseFolder("/srv/lab/exports/"));
  ASSERT_EQ(prompter.messages.size(), 2u);
  EXPECT_EQ(prompter.messages[0].text, LogNotShownText("/srv/lab/ImportLog.txt"));
  EXPECT_EQ(prompter.messages[0].icon, platform::Icon::kInformation);
  EXPECT_NE(prompter.messages[0].text.find("/srv/lab/ImportLog.txt"), std::string::npos);
  EXPECT_EQ(prompter.messages[1].text, FolderNotShownText("/srv/lab/exports/"));
}

TEST(LauncherWithNoticeTest, ARelativeLogPathIsShownFromTheCurrentFolder) {
#ifdef _WIN32
  EXPECT_EQ(PathToShow("ImportLog.txt", "C:\\quorvel\\programs"),
            "C:\\quorvel\\programs/ImportLog.txt");
  EXPECT_EQ(PathToShow("D:/Lab/ImportLog.txt", "C:\\x"), "D:/Lab/ImportLog.txt");
#else
  EXPECT_EQ(PathToShow("ImportLog.txt", "/opt/quorvel/programs"),
            "/opt/quorvel/programs/ImportLog.txt");
  EXPECT_EQ(PathToShow("ImportLog.txt", "/"), "/ImportLog.txt");
  EXPECT_EQ(PathToShow("/srv/lab\\ImportLog.txt", "/opt"), "/srv/lab/ImportLog.txt");
  EXPECT_EQ(PathToShow("D:\\Lab\\ImportLog.txt", "/opt"), "D:/Lab/ImportLog.txt");
#endif
}

}  // namespace
}  // namespace app
