// Start-up through the real windows and the real clock: the title window is on screen, with
// the path, for more than two seconds before the menu replaces it; a stop leaves no menu.
#include <gtest/gtest.h>

#include <QApplication>
#include <QLabel>

#include "app/reconciler.h"
#include "app/shell.h"
#include "init_files.h"
#include "platform/files.h"
#include "platform/test_doubles.h"

namespace app {
namespace {

// Watches the shell's windows as start-up drives them.
class WatchedShell : public StartUpScreens {
 public:
  explicit WatchedShell(Shell& shell) : shell_(shell) {}
  void ShowTitle() override { shell_.ShowTitle(); }
  void SetTitleInfo(const std::string& text) override {
    shell_.SetTitleInfo(text);
    title_visible_with_path =
        shell_.title()->isVisible() && shell_.title()->InfoLab->text().endsWith("Quorbase.mdb");
    shown_at = clock_.Now();
  }
  void UnloadTitle() override {
    unloaded_at = clock_.Now();
    title_visible_at_unload = shell_.title() != nullptr && shell_.title()->isVisible();
    shell_.UnloadTitle();
  }
  void ShowMenu() override { shell_.ShowMenu(); }
  void ShowStop(const std::string& message) override {
    title_visible_at_stop = shell_.title() != nullptr && shell_.title()->isVisible();
    shell_.ShowStop(message);
  }

  bool title_visible_with_path = false;
  bool title_visible_at_unload = false;
  bool title_visible_at_stop = false;
  double shown_at = 0;
  double unloaded_at = 0;

 private:
  Shell& shell_;
  platform::SystemClock clock_;
};

TEST(StartUpWindowTest, TitleStaysUpWithThePathForTwoSecondsThenTheMenuOpens) {
  testing::CurrentFolderGuard guard;
  const std::string lab = testing::NewFolder("lab");
  testing::MakeInitDatabase(lab, {"  D:\\Data "});
  platform::SetCurrentFolder(lab);

  platform::SystemClock clock;
  platform::testing::FakePrompter prompter;
  Reconciler reconciler("Fendra", clock, testing::NewFolder("programs"));
  Shell shell(reconciler.values(), prompter);
  WatchedShell watched(shell);
  ASSERT_TRUE(reconciler.StartUp(watched));

  EXPECT_TRUE(watched.title_visible_with_path);
  EXPECT_TRUE(watched.title_visible_at_unload);
  EXPECT_GT(watched.unloaded_at - watched.shown_at, 2.0);
  EXPECT_EQ(shell.title(), nullptr);
  ASSERT_NE(shell.menu(), nullptr);
  EXPECT_TRUE(shell.menu()->isVisible());
  EXPECT_EQ(shell.menu()->windowTitle(), "Quorvel On-Site Database Manager");
  EXPECT_EQ(shell.menu()->InfoPanel->text(), "Source Database = D:\\Data\\Quorbase.mdb");
  EXPECT_TRUE(prompter.messages.empty());
}

TEST(StartUpWindowTest, StopShowsTheEnginesMessageOverTheTitleAndNoMenu) {
  testing::CurrentFolderGuard guard;
  const std::string lab = testing::NewFolder("lab");
  testing::MakeInitDatabase(lab, {});
  platform::SetCurrentFolder(lab);

  platform::testing::FakeClock clock;
  platform::testing::FakePrompter prompter;
  Reconciler reconciler("Kestrine", clock, testing::NewFolder("programs"));
  Shell shell(reconciler.values(), prompter);
  WatchedShell watched(shell);
  EXPECT_FALSE(reconciler.StartUp(watched));

  EXPECT_TRUE(watched.title_visible_at_stop);
  EXPECT_EQ(shell.menu(), nullptr);
  ASSERT_EQ(prompter.messages.size(), 1u);
  EXPECT_EQ(prompter.messages[0].text, "No current record.");
  EXPECT_EQ(prompter.messages[0].buttons, platform::Buttons::kOk);
}

}  // namespace
}  // namespace app
