// Test entry: one QApplication for the process, settings kept in a scratch folder.
#include <QApplication>
#include <QTemporaryDir>
#include <cstdlib>

#include <gtest/gtest.h>

#include "NumberLocale.h"

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM",
          qgetenv("QT_QPA_PLATFORM").isEmpty() ? "offscreen" : qgetenv("QT_QPA_PLATFORM"));
  QTemporaryDir settings;  // toolbar layouts of the tests never reach the user's settings
  qputenv("XDG_CONFIG_HOME", settings.path().toLocal8Bit());
  qputenv("XDG_DATA_HOME", settings.path().toLocal8Bit());
  qputenv("QT_LOGGING_RULES", "qt.qpa.*=false");  // the offscreen platform's notes
  QApplication app(argc, argv);
  vemto::UseDotDecimalSeparator();  // as the program's main does
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
