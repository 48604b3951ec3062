// Reading of the analysis data file into the run's matrices, with every value that
// addresses something (node, material, condition and pipe numbers, history lengths,
// pipe passes) checked against its count while it is read.
#pragma once

#include "FreeFormatReader.h"
#include "RunData.h"

namespace vemto::engine {

/// Reads the title line and the header lines; checks the counts (≥ 0, at least one
/// node, 8-node element and material, known analysis type and temperature mode).
/// The title goes to `title80` (80 characters).
void ReadAnalysisHeader(FreeFormatReader& in, AnalysisHeader& h, std::string& title80);

/// Defines `TEXT`, `GII` and `GIR`; false when one does not fit.
bool DefineHeaderMatrices(numlib::WorkStorage& w, RunMatrices& m);
/// Fills `TEXT`, `GII` and `GIR` from the header.
void FillHeaderMatrices(const AnalysisHeader& h, const std::string& title80, RunMatrices& m);

/// Defines the matrices from `COOR` to `TIME` in their fixed order; false when one
/// does not fit (the ones defined so far stay).
bool DefineRunMatrices(numlib::WorkStorage& w, RunData& d);
/// Defines `RK`, `RU` and `RR`; false when one does not fit.
bool DefineSolverMatrices(numlib::WorkStorage& w, RunData& d);

/// Reads the body of the analysis data file and computes the half band width.
void ReadAnalysisBody(FreeFormatReader& in, RunData& d);

/// Half band width in nodes: the largest (highest − lowest node number + 1) over
/// the node lists of the elements, the edge and spring edges and the surface items.
int HalfBandWidth(const RunData& d);

}  // namespace vemto::engine
