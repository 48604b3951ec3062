// The stress step of the time loop (incremental stress analysis of one step).
#pragma once

#include "BandSolver.h"
#include "ProgressChannel.h"
#include "RunData.h"

namespace vemto::engine {

/// Advances displacements, stresses and material states to time t (end of the
/// step, s) with step dt (s). Runs after the temperature step (simulation type 0)
/// or after the temperature-and-maturity data have been advanced (type 2), only
/// when stresses are computed. Errors are reported through `channel` (SendError);
/// the time loop checks channel.ErrorReported() afterwards. `working` is the
/// solver's per-row callback.
void RunStressStep(RunData& d, double t, double dt, numlib::ProgressChannel& channel,
                   WorkingCallback working);

}  // namespace vemto::engine
