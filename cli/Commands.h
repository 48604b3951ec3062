// Subcommands of vemto-cli. Each Add…Command registers one subcommand with its
// options and callback; the callback sets the process exit status through `status`.
#pragma once

#include <CLI/CLI.hpp>

namespace vemto::cli {

/// Exit status of the command that ran: 0 on success, non-zero on failure.
struct CommandStatus {
  int code = 0;
};

void AddMaterialsCommand(CLI::App& app, CommandStatus& status);
void AddMeshCommand(CLI::App& app, CommandStatus& status);
void AddRunCommand(CLI::App& app, CommandStatus& status);
void AddCheckCommand(CLI::App& app, CommandStatus& status);
void AddTempMatCommand(CLI::App& app, CommandStatus& status);
void AddSimulateCommand(CLI::App& app, CommandStatus& status);
void AddResultsCommand(CLI::App& app, CommandStatus& status);
void AddHeatFitCommand(CLI::App& app, CommandStatus& status);

}  // namespace vemto::cli
