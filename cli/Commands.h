// Subcommands of vemto-cli. Each Add…Command registers one subcommand with its
// options and callback; the callback sets the process exit status through `status`.
#pragma once

#include <CLI/CLI.hpp>

namespace vemto::cli {

/// Exit statuses, the same for every subcommand.
inline constexpr int kExitSuccess = 0;  ///< the work is done
inline constexpr int kExitFailed = 1;   ///< the work failed (file, mesher, engine, cancelled)
inline constexpr int kExitUsage = 2;    ///< wrong usage: options, arguments, subcommand

/// Exit status of the command that ran (kExitSuccess, kExitFailed or kExitUsage).
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
void AddStudyCommand(CLI::App& app, CommandStatus& status);

}  // namespace vemto::cli
