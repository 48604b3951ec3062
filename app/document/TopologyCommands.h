// Undoable edits of the geometry's connectivity: the nodes of an edge, the kind of an
// edge, and a surface's edges, element kind and division counts.
#pragma once

#include <QString>
#include <array>
#include <memory>
#include <utility>
#include <vector>

#include "DocumentCommands.h"

namespace vemto {

/// Gives `edge` the node references `nodes` (start, [middle,] end; as many as the edge
/// has). Counts change only for slots whose node changes. Reports the edge and the
/// surfaces that use it as changed.
class SetEdgeNodesCommand : public DocumentCommand {
 public:
  SetEdgeNodesCommand(ProjectDocument& document, TEdge* edge, std::vector<TNode*> nodes);
  void redo() override { Apply(after_); }
  void undo() override { Apply(before_); }

 private:
  void Apply(const std::vector<TNode*>& nodes);
  TEdge* edge_;
  std::vector<TNode*> before_, after_;
};

/// What a surface is made of: its four edges, element kind and division counts.
struct SurfaceTopology {
  std::array<TEdge*, 4> Edges{};
  ElementKind Kind = ElementKind::EightNode;
  std::int32_t Columns = 1;  ///< divisions of edges 0 and 2 (forced to 1 for three-node)
  std::int32_t Rows = 1;     ///< divisions of edges 1 and 3 (forced to 1 for infinite kinds)
};

/// The division counts that give `surface` the counts of `wanted` while every surface
/// keeps equal counts on opposite edges: the counts spread from edge to opposite edge
/// through all surfaces that share them. `Problem` is empty when that is possible;
/// otherwise it says why not and `Surface` is the 0-based position of the surface that
/// cannot take the counts. `surface` may be null for a surface not yet in the model.
struct DivisionPlan {
  std::vector<std::pair<TEdge*, std::int32_t>> Counts;  ///< every edge whose count is set
  QString Problem;
  int Surface = -1;
};
DivisionPlan PlanDivisions(const TVemtoFile& model, const TVemtoSurface* surface,
                           const SurfaceTopology& wanted);

/// Gives `surface` the edges (counted), element kind (with the infinite flag) and the
/// division counts of a plan made by PlanDivisions for the same change.
class SetSurfaceTopologyCommand : public DocumentCommand {
 public:
  SetSurfaceTopologyCommand(ProjectDocument& document, TVemtoSurface* surface,
                            const SurfaceTopology& topology, const DivisionPlan& plan);
  void redo() override;
  void undo() override;

 private:
  struct State {
    std::array<TEdge*, 4> Edges{};
    std::uint8_t ElementType = 0;
    std::uint8_t InfiniteFlag = 0;
  };
  void Apply(const State& state, bool backwards);
  TVemtoSurface* surface_;
  State before_, after_;
  std::vector<std::pair<TEdge*, std::int32_t>> countsBefore_, countsAfter_;
};

/// Puts `replacement` (made by the caller, counting its nodes) at the end of the edge list
/// in place of `edge`, which nothing may use, as one undo step.
void PushReplaceEdge(ProjectDocument& document, TEdge* edge, std::unique_ptr<TEdge> replacement);

}  // namespace vemto
