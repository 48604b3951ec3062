// `vemto-cli tempmat MODEL.v3 OTHER.out`: meshes MODEL and writes its temperature-and-
// maturity file (<base>.dtm) from the results of another model, for a later run of
// MODEL with simulation type 2 (or 12).
#include <exception>
#include <iostream>
#include <memory>
#include <string>

#include "CalculationRun.h"
#include "Commands.h"
#include "ComputationLibrary.h"
#include "TempMatInput.h"
#include "VemtoFile.h"

namespace vemto::cli {
namespace {

int TempMat(const std::string& project, const std::string& other) {
  TVemtoFile document;
  document.SetFileName(project);
  try {
    document.Load();
  } catch (const std::exception& e) {
    std::cerr << "vemto-cli: " << e.what() << "\n";
    return 1;
  }
  TRunObserver observer;
  const TTempMatResult result =
      ExtractTemperatureMaturity(document, other, ProgramFolder(), observer);
  if (!result.Succeeded) {
    std::cerr << result.Error << "\n";
    return 1;
  }
  std::cerr << "Wrote " << result.TempMatFile << "\n";
  return 0;
}

}  // namespace

void AddTempMatCommand(CLI::App& app, CommandStatus& status) {
  auto* cmd = app.add_subcommand(
      "tempmat", "Write MODEL's temperature-and-maturity file (<base>.dtm) from OTHER.out");
  auto project = std::make_shared<std::string>();
  auto other = std::make_shared<std::string>();
  cmd->add_option("MODEL", *project, "Project file (.v3)")->required();
  cmd->add_option("OTHER", *other, "Result database of the other model (.out)")->required();
  cmd->callback([&status, project, other]() { status.code = TempMat(*project, *other); });
}

}  // namespace vemto::cli
