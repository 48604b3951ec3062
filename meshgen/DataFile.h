// The analysis data file: the generated mesh, the materials and every boundary
// condition with its time history, in fixed-width text fields that the engine
// reads free-format.
#pragma once

#include <span>
#include <stdexcept>
#include <string>

#include "FatalStop.h"
#include "MeshgenArgs.h"

namespace meshgen {

/// A failure while writing the analysis data file; what() is the mesher's
/// error text (leading blank included).
class DataFileError : public numlib::FatalStop {
 public:
  explicit DataFileError(const std::string& text) : numlib::FatalStop(text) {}
};

/// A mapped condition list (MPET, MPSH, MPAT, MPAH, MSDS, MSES, MSFS): `count`
/// records of fixed length one after the other.
struct MappedList {
  std::span<const int> records;
  int count = 0;
};

/// The mesh and the mapped conditions as left by meshing and mapping. Node
/// numbers everywhere are creation numbers; elements are in creation order.
struct AnalysisMesh {
  int nodeCount = 0;            ///< nodes 1 … nodeCount
  std::span<const double> x;    ///< XNOD, m
  std::span<const double> y;    ///< YNOD, m
  int elementCount = 0;         ///< elements 1 … elementCount
  std::span<const int> ncon;    ///< NCON, 8 node numbers per element
  std::span<const int> ncn;     ///< NCN, nodes used per element
  std::span<const int> mat;     ///< MAT, material per element (1-based)
  std::span<const int> region;  ///< REGION, super element per element (rearranged order)
  std::span<const int> type;    ///< ITY: 5 eight-node, 2 infinite strip, other infinite corner
  std::span<const int> mwt;     ///< MWT, 3 per element (corner position, pipe condition, part);
                                ///< may be empty: no pipes
  std::span<const int> icross;  ///< ICROSS: input number of the super element at each position
  bool renumbered = false;      ///< the bandwidth reduction improved the bandwidth
  std::span<const int> jnt;     ///< JNT, new number of each creation number (when renumbered)

  MappedList edgeTemp;               ///< MPET: a, mid, b, condition
  MappedList edgeFlow;               ///< MPSH: a, mid, b, condition
  MappedList areaTemp;               ///< MPAT: 8 element nodes, condition
  MappedList areaFlow;               ///< MPAH: 8 element nodes, condition
  MappedList edgeDisp;               ///< MSDS: node, condition
  MappedList edgeSpring;             ///< MSES: a, mid, b, condition
  MappedList edgeLoad;               ///< MSFS: a, mid, b, condition
  std::span<const int> nodalTemp;    ///< MPV: node, condition per nodal temperature position
  std::span<const int> nodalFlow;    ///< MNL
  std::span<const int> nodalDisp;    ///< MPVS
  std::span<const int> nodalSpring;  ///< MNES
  std::span<const int> nodalLoad;    ///< MNLS
};

/// The complete text of the analysis data file. Node numbers are the new ones
/// when `mesh.renumbered`. The thickness section follows the element order of
/// the element sections (eight-node elements first). Throws DataFileError for
/// an infinite strip that does not border a finite region, a history whose
/// point count is outside 0 … 1000, a non-finite value, or inconsistent tables.
std::string FormatAnalysisData(const MeshgenArgs& args, const AnalysisMesh& mesh);

/// Formats the file and writes it to `fileName` (created or replaced). Nothing
/// is written when formatting fails. Throws DataFileError with
/// " OUTPUT FILE NOT AVAILABLE!" when the file cannot be opened and
/// " ERROR WRITING OUTPUT FILE" when writing fails.
void WriteAnalysisData(const std::string& fileName, const MeshgenArgs& args,
                       const AnalysisMesh& mesh);

}  // namespace meshgen
