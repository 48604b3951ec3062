// Which solution path the equation solver of a run takes.
#pragma once

namespace vemto::engine {

/// The band solver for every step, or the sparse direct path (default).
enum class SolverKind { kBand, kSparse };

/// The path chosen by the environment: VEMTO_SOLVER=band selects the band solver,
/// anything else (or no variable) the sparse path.
SolverKind SolverKindFromEnvironment();

}  // namespace vemto::engine
