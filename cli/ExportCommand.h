// Result export of `vemto-cli results`: ParaView files, time histories and a summary.
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>

#include <CLI/CLI.hpp>

namespace vemto::post {
struct Surface;
}

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

/// Reads "A,B" (C locale, finite numbers) into a and b; false when it is not that.
bool ParseNumberPair(const std::string& text, double& a, double& b);

/// The picture options of the results command.
struct PngOptions {
  std::string field;       ///< --png FIELD: T M A S1 R FT FC U
  std::string output;      ///< --output FILE.png
  std::string size;        ///< --size W,H (pixels)
  std::string range;       ///< --range LO,HI (units shown)
  bool peak = false;       ///< --max: crack-risk view (with R)
  double threshold = 0.7;  ///< --threshold: second ratio line of the crack-risk view
  bool Requested() const { return !field.empty(); }
};

/// Adds --png, --output, --size, --range, --max and --threshold to the results command.
void AddPngOptions(CLI::App& results, PngOptions& options);

/// Draws the requested picture of result database `out` at `hours`; returns the exit
/// status (0 success, 1 unreadable file or no such time, 2 bad options).
int RenderPng(const std::string& out, const PngOptions& options, std::optional<double> hours);

/// Draws with `draw` into a picture of width × height pixels and writes it as PNG to
/// `output`; false with a message on stderr when it cannot (or the build has no pictures).
bool WritePicture(const std::string& output, int width, int height,
                  const std::function<void(const post::Surface&)>& draw);

/// Adds --vtu, --history, --point and --summary to the results command.
std::shared_ptr<ExportOptions> AddExportOptions(CLI::App& results);

/// Runs the requested exports of result database `out`; returns the exit status
/// (0 success, 1 unreadable or unsuitable file, 2 bad options). Messages on stderr.
int RunExport(const std::string& out, const ExportOptions& options);

}  // namespace vemto::cli
