// vemto-cli: headless runs, meshing, simulation and result export.
#include <clocale>
#include <exception>
#include <iostream>

#include "Commands.h"

int main(int argc, char** argv) {
  std::setlocale(LC_ALL, "C");
  CLI::App app{"Vemto 3 command line: mesh, simulate and export results without a display"};
  app.require_subcommand(1);
  vemto::cli::CommandStatus status;
  vemto::cli::AddMaterialsCommand(app, status);
  vemto::cli::AddMeshCommand(app, status);
  vemto::cli::AddRunCommand(app, status);
  vemto::cli::AddCheckCommand(app, status);
  vemto::cli::AddTempMatCommand(app, status);
  vemto::cli::AddSimulateCommand(app, status);
  vemto::cli::AddResultsCommand(app, status);
  vemto::cli::AddHeatFitCommand(app, status);
  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& e) {
    return app.exit(e);
  } catch (const std::exception& e) {
    std::cerr << "vemto-cli: " << e.what() << "\n";
    return 1;
  }
  return status.code;
}
