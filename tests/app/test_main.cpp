// GoogleTest over a QApplication: the window tests need one, and it must exist before the
// first widget. The offscreen platform keeps the tests headless wherever they are started
// (CTest sets it too; listing the tests for CTest happens without that setting).
#include <gtest/gtest.h>

#include <QApplication>

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication application(argc, argv);
  return RUN_ALL_TESTS();
}
