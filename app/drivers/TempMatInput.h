// Temperature and maturity input from another model: meshes this model and lets the
// tmfetch library write this model's temperature-and-maturity file (".dtm") from the
// other model's result database.
#pragma once

#include <filesystem>
#include <functional>
#include <string>

#include "CalculationRun.h"

namespace vemto {

class TVemtoFile;

/// Outcome of the temperature and maturity input.
struct TTempMatResult {
  bool Succeeded = false;   ///< the ".dtm" file was written completely
  std::string Error;        ///< the text for the user when it failed
  std::string TempMatFile;  ///< the file written (base + ".dtm")
};

/// Claims the run's files as a run does (TRunLock: refused while a run of the same
/// project holds them), meshes `document` (as the execute command does, but stopping when
/// the conversion fails), then calls tmfetch's `readmean` with `otherResultFile`, base + ".dat" and
/// base + ".dtm". `programFolder` holds "libmeshgen.so" and "libtmfetch.so". Observer
/// callbacks: OnMeshInfo, OnMeshDone and, with "Extracting to <name>.dtm", OnMeshInfo.
TTempMatResult ExtractTemperatureMaturity(TVemtoFile& document, const std::string& otherResultFile,
                                          const std::filesystem::path& programFolder,
                                          const TRunObserver& observer);

}  // namespace vemto
