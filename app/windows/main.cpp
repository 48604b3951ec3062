// The desktop program: one optional project file, optionally followed by "/x" for an
// unattended calculation that ends the program.
#include <QApplication>
#include "NumberLocale.h"
#include "TfrmMain.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  // QApplication takes the process locale from the environment; numbers in files and
  // on screen always use ".".
  vemto::UseDotDecimalSeparator();
  QApplication::setApplicationName(QStringLiteral("Vemto 3"));
  QApplication::setOrganizationName(QStringLiteral("Orvanda"));

  vemto::TMainOptions options;
  options.Arguments = QApplication::arguments().mid(1);
  const bool batch = options.Arguments.size() == 2 && options.Arguments[1] == QStringLiteral("/x");
  options.ShowSplash = !batch;
  vemto::TfrmMain frmMain(std::move(options));
  frmMain.showMaximized();
  const int status = app.exec();
  return status != 0 ? status : frmMain.ExitCode();
}
