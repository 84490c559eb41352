// Text must render as letters, not as the empty boxes drawn when no font is installed. The
// detector is first shown a row of boxes, then the windows themselves.
#include <gtest/gtest.h>

#include <QApplication>
#include <QLabel>
#include <QPainter>
#include <QPushButton>

#include "app/form_intro.h"
#include "app/form_progress.h"
#include "app/passform.h"
#include "glyphs.h"

namespace app {
namespace {

using testing::InspectInk;
using testing::LooksLikeText;
using testing::Render;

class NoActions : public MenuActions {
 public:
  void OpenExport() override {}
  void OpenImport() override {}
  void OpenRebuild() override {}
  void ShowAbout() override {}
  void ExitProgram() override {}
};

QImage Shown(QWidget& window) {
  window.show();
  QApplication::processEvents();
  return Render(window);
}

TEST(GlyphDetectorTest, RowOfMissingGlyphBoxesIsNotText) {
  QImage image(200, 30, QImage::Format_RGB32);
  image.fill(Qt::white);
  QPainter painter(&image);
  painter.setPen(Qt::black);
  for (int i = 0; i < 12; ++i) painter.drawRect(4 + i * 14, 8, 9, 13);
  painter.end();
  const auto report = InspectInk(image, image.rect());
  EXPECT_EQ(report.boxes, 12);
  EXPECT_FALSE(LooksLikeText(report));

  QImage blank(200, 30, QImage::Format_RGB32);
  blank.fill(Qt::white);
  EXPECT_FALSE(LooksLikeText(InspectInk(blank, blank.rect())));
}

TEST(ScreenshotTest, MenuLabelsAndPanelRenderAsLetters) {
  ProgramValues values;
  values.program_name = "Fendra";
  values.main_database_path = "D:\\Data\\Quorbase.mdb";
  NoActions actions;
  Form_Intro menu(values, actions);
  const QImage image = Shown(menu);
  for (QWidget* label : {static_cast<QWidget*>(menu.Label2), static_cast<QWidget*>(menu.Label3),
                         static_cast<QWidget*>(menu.InfoPanel)}) {
    const auto report = InspectInk(image, label->geometry());
    EXPECT_TRUE(LooksLikeText(report))
        << label->objectName().toStdString() << ": " << report.dark_pixels << " dark pixels, "
        << report.shapes << " shapes, " << report.boxes << " boxes";
  }
}

TEST(ScreenshotTest, TitleAndProgressTextsRenderAsLetters) {
  ProgramValues values;
  values.program_name = "Kestrine";
  values.version_text = kVersionText;
  PASSFORM title(values);
  const QImage title_image = Shown(title);
  for (QLabel* label : {title.TitleLab[0], title.TitleLab[1], title.VerLab}) {
    EXPECT_TRUE(LooksLikeText(InspectInk(title_image, label->geometry())))
        << label->objectName().toStdString();
  }

  Form_Progress progress;
  const QImage progress_image = Shown(progress);
  EXPECT_TRUE(LooksLikeText(InspectInk(progress_image, progress.Label_Task->geometry())));
}

}  // namespace
}  // namespace app
