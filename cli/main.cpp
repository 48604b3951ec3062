// vemto-cli: headless runs, meshing, simulation and result export.
//
// Exit status of every subcommand: 0 success, 1 the work failed (a file that cannot be
// read or written, a mesher or engine error, a cancelled run), 2 wrong usage.
#include <clocale>
#include <exception>
#include <iostream>
#include <string>

#include <fmt/format.h>

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
  vemto::cli::AddStudyCommand(app, status);
  // A word where the subcommand belongs is named (the parser would only say that an
  // argument was not expected).
  if (argc > 1 && argv[1][0] != '-') {
    std::string names;
    bool known = false;
    for (const CLI::App* sub : app.get_subcommands([](CLI::App*) { return true; })) {
      known = known || sub->check_name(argv[1]);
      names += (names.empty() ? "" : ", ") + sub->get_name();
    }
    if (!known) {
      std::cerr << fmt::format("vemto-cli: unknown subcommand \"{}\"; the subcommands are {}\n",
                               argv[1], names);
      return vemto::cli::kExitUsage;
    }
  }
  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& e) {
    // --help and --version end with 0; every other parse error is wrong usage.
    return app.exit(e) == 0 ? vemto::cli::kExitSuccess : vemto::cli::kExitUsage;
  } catch (const std::exception& e) {
    std::cerr << "vemto-cli: " << e.what() << "\n";
    return vemto::cli::kExitFailed;
  }
  return status.code;
}
