// Checks of the mesher's arguments.
//
// The arguments come from a project file that may be damaged or hand-edited, so every
// count, index and history length is checked before it is used to address an array.
// Each check throws numlib::FatalStop with an error line (leading blank) that the
// entry point reports with code 1000.
#pragma once

#include "MeshgenArgs.h"

namespace meshgen {

/// The three checks of the run, in order: general information, super nodes, super
/// elements (" GENERAL INFORMATION NOT DEFINED", " NO SUPER ELEMENT COORDINATES
/// DEFINED", " NO SUPER ELEMENTS DEFINED"; a negative count counts as none).
void CheckRequiredInput(const MeshgenArgs& args);

/// Everything the input listing reads: non-negative counts, a buffer for every
/// non-empty array, history point counts within 0 ... 1000 in every condition record.
void CheckArrayLayout(const MeshgenArgs& args);

/// Everything meshing relies on: super-node numbers within 1 ... nSuperNodes (the
/// mid-side ones only for eight super nodes), finite super-node coordinates, rows and
/// columns of at least 1, super-node code 1 or 2, element type 5, 2 or 1, one row and
/// one column for a three-node corner element, material numbers within 1 ... nMaterials.
void CheckSuperElements(const MeshgenArgs& args);

}  // namespace meshgen
