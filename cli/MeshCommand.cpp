// `vemto-cli mesh MODEL.v3`: meshes a project through the same step as a run, writing
// the run's analysis data file and input listing (<base>.dat, <base>.lst) beside it.
#include <exception>
#include <iostream>
#include <memory>
#include <string>

#include <fmt/format.h>

#include "CalculationRun.h"
#include "Commands.h"
#include "ComputationLibrary.h"
#include "RunFileNames.h"
#include "VemtoFile.h"

namespace vemto::cli {
namespace {

int RunMesh(const std::string& project) {
  TVemtoFile document;
  document.SetFileName(project);
  try {
    document.Load();
  } catch (const std::exception& e) {
    std::cerr << "vemto-cli: " << e.what() << "\n";
    return 1;
  }
  TCalculationRun run(ProgramFolder());
  std::string lastPhase;
  run.Observer.OnMeshInfo = [&lastPhase](const std::string& text) {
    if (text == lastPhase) return;  // phases repeat their text per item
    lastPhase = text;
    std::cout << text << "\n";
  };
  run.Observer.OnMeshDone = [](const std::string& text) { std::cout << text << "\n"; };
  run.Observer.OnError = [](const std::string& text) { std::cerr << text << "\n"; };
  const TRunResult result = run.Mesh(document);
  if (!result.Succeeded) return 1;
  const TRunFileNames files = DeriveRunFileNames(document.FileName);
  std::cout << fmt::format("Wrote {} and {}\n", files.DataFile, files.ListFile);
  return 0;
}

}  // namespace

void AddMeshCommand(CLI::App& app, CommandStatus& status) {
  auto* cmd = app.add_subcommand(
      "mesh", "Mesh a project as a run does: write <base>.dat and <base>.lst beside MODEL.v3");
  auto project = std::make_shared<std::string>();
  cmd->add_option("MODEL", *project, "Project file (.v3)")->required();
  cmd->callback([&status, project]() { status.code = RunMesh(*project); });
}

}  // namespace vemto::cli
