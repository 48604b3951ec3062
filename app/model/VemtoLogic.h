// The model check run before a calculation: warnings and errors in the engineer's terms.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace vemto {

class TEdge;
class TVemtoFile;

/// Faces of a surface that a removal lays open without a temperature condition.
struct TExposedFaces {
  std::size_t Surface = 0;    ///< zero-based index of the surface that stays
  std::size_t Removed = 0;    ///< zero-based index of the surface removed
  double Time = 0.0;          ///< removal time, h
  std::vector<TEdge*> Edges;  ///< the shared edges without a temperature condition then
};

/// Every surface that stays longer than a removed neighbour and whose shared edges meet
/// no temperature condition acting from the removal on, in surface order (removed
/// surface first, then the one that stays). The model check warns about each.
std::vector<TExposedFaces> FindExposedFaces(const TVemtoFile& document);

/// The model check's warning about `faces`.
std::string ExposedFacesWarning(const TExposedFaces& faces);

/// Checks a model before meshing and simulation. Surfaces, intervals and positions are
/// named by their 1-based place in their lists.
class TVemtoLogic {
 public:
  /// Clears both lists, then fills them with what is wrong with `document`.
  void CheckModel(const TVemtoFile& document);

  std::vector<std::string> Warnings;  ///< the calculation can run but may not be meant so
  std::vector<std::string> Errors;    ///< the calculation would fail or give wrong results
};

/// Work-array words (8 bytes each) a run of a model needs.
struct MemoryNeed {
  std::int64_t Mesher = 0;  ///< at the least: node coordinates and element records
  std::int64_t Engine = 0;  ///< exactly what the engine defines on its default solution path
};

/// The words the mesher and the engine need for `document` as it would be meshed: the
/// engine's share comes from the engine's own list of work-array matrices, filled with
/// the counts of nodes, elements, positions and conditions the mesher would write.
MemoryNeed ModelMemoryNeed(const TVemtoFile& document);

}  // namespace vemto
