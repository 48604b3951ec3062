// The desktop program: one optional project file, optionally followed by "/x" for an
// unattended calculation that ends the program.
#include <QApplication>
#include <cstdlib>
#include <cstring>

#include "NumberLocale.h"
#include "TfrmMain.h"
#include "VemtoIcons.h"

namespace {

bool Set(const char* variable) {
  const char* value = std::getenv(variable);
  return value != nullptr && *value != '\0';
}

}  // namespace

int main(int argc, char** argv) {
  // Known before any window exists: an unattended run never waits for a dialog.
  const bool batch = argc == 3 && std::strcmp(argv[2], "/x") == 0;
  // An unattended run needs no screen: without a display it runs on the offscreen
  // platform instead of aborting.
  if (batch && !Set("QT_QPA_PLATFORM") && !Set("DISPLAY") && !Set("WAYLAND_DISPLAY"))
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
  QApplication app(argc, argv);
  // QApplication takes the process locale from the environment; numbers in files and
  // on screen always use ".".
  vemto::UseDotDecimalSeparator();
  QApplication::setApplicationName(QStringLiteral("Vemto 3"));
  QApplication::setOrganizationName(QStringLiteral("Orvanda"));
  // The desktop entry "vemto.desktop" names the same icon for the window list.
  QApplication::setDesktopFileName(QStringLiteral("vemto"));
  QApplication::setWindowIcon(vemto::ApplicationIcon());

  vemto::TMainOptions options;
  options.Arguments = QApplication::arguments().mid(1);
  options.ShowSplash = !batch;
  options.BatchMode = batch;
  vemto::TfrmMain frmMain(std::move(options));
  frmMain.showMaximized();
  const int status = app.exec();
  return status != 0 ? status : frmMain.ExitCode();
}
