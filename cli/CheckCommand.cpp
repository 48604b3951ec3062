// `vemto-cli check MODEL.v3`: prints the model check's warnings and errors. Exit
// status 0 when the check found no error, 1 otherwise (also when the file cannot be
// read).
#include <exception>
#include <iostream>
#include <memory>
#include <string>

#include "CalculationRun.h"
#include "Commands.h"
#include "VemtoFile.h"

namespace vemto::cli {
namespace {

int Check(const std::string& project) {
  TVemtoFile document;
  document.SetFileName(project);
  try {
    document.Load();
  } catch (const std::exception& e) {
    std::cerr << "vemto-cli: " << e.what() << "\n";
    return 1;
  }
  const TRunCheck check = CheckModelStep(document);
  for (const std::string& warning : check.Warnings) std::cout << "warning: " << warning << "\n";
  for (const std::string& error : check.Errors) std::cout << "error: " << error << "\n";
  if (check.Warnings.empty() && check.Errors.empty()) std::cout << "No warnings or errors.\n";
  return check.Errors.empty() ? 0 : 1;
}

}  // namespace

void AddCheckCommand(CLI::App& app, CommandStatus& status) {
  auto* cmd = app.add_subcommand("check", "Print the model check's warnings and errors");
  auto project = std::make_shared<std::string>();
  cmd->add_option("MODEL", *project, "Project file (.v3)")->required();
  cmd->callback([&status, project]() { status.code = Check(*project); });
}

}  // namespace vemto::cli
