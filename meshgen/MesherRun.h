// The run sequence of the mesher's entry point.
//
//  1. allocate the work array (memoryWords words, print level 2);
//  2. check the input (general information, super nodes, super elements; then the
//     array layout);
//  3. "WRITING INPUT DATA TO FILE": the input listing;
//  4. "REARRANGING SUPER ELEMENTS": ICROSS, DUM1 ... DUM6, IUSED and the seven tied
//     position lists LPET, LPSH, LPAT, LPAH, LSDS, LSES, LSFS;
//  5. the sizing estimates;
//  6. the rearranging of the super elements;
//  7. the tying of the edge and area positions;
//  8. the mesh tables XC ... JTIK and the expanded condition lists MPET ... MSFS;
//  9. the mesh (with the condition expansion per super element);
// 10. MPV, MNL, MWT, MPVS, MNES, MNLS: nodal and pipe positions onto the mesh;
// 11. "WRITING OUTPUT DATA.": the analysis data file;
// 12. the mesh drawing, when switched on;
// 13. the matrices deleted in reverse order, the work array released,
//     "MESHING FINISHED.".
// A matrix that does not fit ends the run with " PROBLEM TOO LARGE."; every error is
// reported once through the progress channel with code 1000 and ends the run.
#pragma once

#include "MeshgenArgs.h"
#include "ModuleState.h"

namespace meshgen {

/// Progress texts of the run.
inline constexpr const char* kTextWritingInput = "WRITING INPUT DATA TO FILE";
inline constexpr const char* kTextWritingOutput = "WRITING OUTPUT DATA.";
inline constexpr const char* kTextFinished = "MESHING FINISHED.";

/// The whole run on this library's module state; throws numlib::FatalStop on failure
/// (the work array is released by the caller).
void RunMesher(const MeshgenArgs& args, numlib::ModuleState& module);

/// One call of the entry point: RunMesher guarded so that every failure becomes an
/// error message (2026, code 1000) and nothing escapes. Returns true on success.
bool ExecuteMesher(const MeshgenArgs* args);

}  // namespace meshgen
