// The window tests need a QApplication before any widget exists. CTest runs
// them on the offscreen platform; it is also the default here so that
// listing the tests at build time needs no display.
#include <cstdlib>

#include <gtest/gtest.h>
#include <QApplication>

int main(int argc, char** argv) {
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  QApplication application(argc, argv);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
