// Test main of the tests that need a Qt event loop but no windows: a
// QCoreApplication on the test thread. Added to a test's sources instead of
// gtest_main; not part of the support library.
#include <gtest/gtest.h>

#include <QCoreApplication>

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  QCoreApplication app(argc, argv);
  return RUN_ALL_TESTS();
}
