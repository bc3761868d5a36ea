// Runs the window tests on Qt's offscreen platform (no display needed). The programs they
// start keep their event cache in the build tree, not in the home folder.
#include <gtest/gtest.h>

#include <QApplication>

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  qputenv("XDG_CACHE_HOME", BARVIK_TEST_CACHE);
  QApplication app(argc, argv);
  QApplication::setStyle("Fusion");
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
