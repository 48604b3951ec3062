// The run sequence of one engine call: reading, matrix layout, time loop with its
// messages and cancellation checks, result database.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "ModuleState.h"
#include "RunData.h"
#include "VemtoListener.h"

namespace vemto::engine {

/// The arguments of one run (times in s).
struct RunArguments {
  std::vector<TimeInterval> intervals;  ///< end (absolute), step, storage increment
  std::int32_t words = 0;               ///< work-array size in 8-byte words
  std::string dataFile;                 ///< analysis data file
  std::string resultFile;               ///< result database
  std::string tmFile;                   ///< temperature-and-maturity file
};

/// Runs one simulation on the module state `m` (channel already registered).
/// Errors of the input end the run by throwing numlib::FatalStop with their code;
/// element errors, cancellation and the normal end are handled inside.
void RunEngine(numlib::ModuleState& m, const RunArguments& a);

/// The whole engine call behind the exported `execute`: registers `window`,
/// converts the arguments (null pointers count as empty) and runs RunEngine with
/// every exception turned into an error message; the work array is released and
/// every file closed on every exit path.
void Execute(VemtoWindowHandle window, const std::int32_t* nInt, const double* intervals,
             const std::int32_t* words, const char* dataFile, const char* resultFile,
             const char* tmFile);

}  // namespace vemto::engine
