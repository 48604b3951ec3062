// The steps of a calculation run that the main window drives and observes: the model
// check, the mesher run and the engine library. The program uses the computation
// drivers; tests put stand-ins in their place.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "ComputationLibrary.h"
#include "RunFileNames.h"

namespace vemto {

class TVemtoFile;

/// Outcome of the model check.
struct TModelCheck {
  std::vector<std::string> Warnings;  ///< the run may go on
  std::vector<std::string> Errors;    ///< the run will most likely fail
};

/// What a mesher run reports; every callback runs on the main thread, inside the run.
struct TMeshProgress {
  std::function<void(const std::string& text)> OnInfo;     ///< a phase starts
  std::function<void(const std::string& text)> OnDone;     ///< the mesher has finished
  std::function<void(const std::string& text)> OnMessage;  ///< a conversion problem
};

/// Outcome of a mesher run.
struct TMeshOutcome {
  bool Failed = false;           ///< the analysis data file was not written
  std::int32_t ErrorNumber = 0;  ///< mesher error code; 2001 for a too long history
  std::string ErrorText;         ///< the mesher's error line, trimmed
};

/// The steps of a run. Everything here runs on the main thread.
class TCalculationSteps {
 public:
  virtual ~TCalculationSteps() = default;
  /// The model check: warnings and errors for the "Messages" dialog.
  virtual TModelCheck CheckModel(const TVemtoFile& model) = 0;
  /// Converts `model` and runs the mesher synchronously, writing files.DataFile and
  /// files.ListFile.
  virtual TMeshOutcome Mesh(TVemtoFile& model, const TRunFileNames& files,
                            const TMeshProgress& progress) = 0;
  /// Requests cancellation of the mesher run in progress (from a progress callback).
  virtual void CancelMesh() = 0;
  /// The engine library, loaded on first use. Throws TDriverError.
  virtual std::shared_ptr<TComputationLibrary> EngineLibrary() = 0;
};

/// The steps through the computation drivers and the libraries in `programFolder`.
std::unique_ptr<TCalculationSteps> MakeDriverCalculationSteps(
    const std::filesystem::path& programFolder);

}  // namespace vemto
