// main() of the window tests: one QApplication for the whole test program
// (the tests run on Qt's offscreen platform, set by the test registration).
#include <gtest/gtest.h>

#include <QApplication>

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("Morvak"));
  return RUN_ALL_TESTS();
}
