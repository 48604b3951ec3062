// Result export of `vemto-cli results`: ParaView files, time histories and a summary.
#pragma once

#include <memory>
#include <string>

#include <CLI/CLI.hpp>

namespace vemto::cli {

/// The export options of the results command.
struct ExportOptions {
  std::string vtuFolder;  ///< --vtu DIR: one .vtu per stored time and a .pvd collection
  std::string history;    ///< --history FIELD: time history as CSV
  std::string point;      ///< --point X,Y (m): where the history is taken
  bool nearest = false;   ///< --nearest: a point outside the section takes the nearest point
  bool summary = false;   ///< --summary: peak temperature, largest ratio, last time
  /// Whether any export was asked for.
  bool Requested() const { return !vtuFolder.empty() || !history.empty() || summary; }
};

/// Adds --vtu, --history, --point and --summary to the results command.
std::shared_ptr<ExportOptions> AddExportOptions(CLI::App& results);

/// Runs the requested exports of result database `out`; returns the exit status
/// (0 success, 1 unreadable or unsuitable file, 2 bad options). Messages on stderr.
int RunExport(const std::string& out, const ExportOptions& options);

}  // namespace vemto::cli
