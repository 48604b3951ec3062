// Edits of the section's topology that keep it meshable: division counts that stay equal
// on the opposite edges of every surface, and the surface-properties edit.
#pragma once

#include <array>
#include <map>
#include <optional>
#include <utility>
#include <vector>

#include "DocumentCommands.h"

namespace vemto {

/// New division counts by edge.
using TDivisionPlan = std::map<TEdge*, std::int32_t>;
/// Division counts wanted for edges (an edge may be named more than once).
using TDivisionRequests = std::vector<std::pair<TEdge*, std::int32_t>>;

/// The division counts needed so that `requests` hold and every surface keeps equal
/// counts on its opposite edges (0 and 2, 1 and 3; the mesher takes edges 0 and 1 for
/// the whole surface): each request spreads across the surfaces from an edge to the
/// opposite one, and on from there. The surfaces are those of `model` except `skip`,
/// plus one with the edges `extra` when given (a surface being made or changed).
/// Nothing when some edge would need two different counts.
std::optional<TDivisionPlan> PlanDivisions(const TVemtoFile& model,
                                           const TDivisionRequests& requests,
                                           const std::array<TEdge*, 4>* extra = nullptr,
                                           const TVemtoSurface* skip = nullptr);

/// The requests of a surface with edges `edges`: `columns` on edges 0 and 2, `rows` on
/// edges 1 and 3.
TDivisionRequests SurfaceDivisions(const std::array<TEdge*, 4>& edges, int columns, int rows);

/// Sets the division counts of a plan (edges changed are reported); undo restores them.
class SetDivisionsCommand : public DocumentCommand {
 public:
  SetDivisionsCommand(ProjectDocument& document, const TDivisionPlan& plan);
  void redo() override;
  void undo() override;

 private:
  void Apply(bool after);
  std::map<TEdge*, std::pair<std::int32_t, std::int32_t>> counts_;  // before, after
};

/// What the surface-properties window applies to one surface.
struct TSurfaceEdit {
  std::array<TEdge*, 4> Edges{};  ///< the edges 0..3 (references moved from the old ones)
  TDivisionPlan Divisions;        ///< new counts, usually from PlanDivisions
  std::uint8_t ElementType = 0;   ///< 0 eight-node, 1 five-node, 2 three-node infinite
  double Thickness = -1.0;        ///< m; -1.0 = the model's thickness
};

/// Applies a TSurfaceEdit: the surface releases its edges and references the new ones,
/// the edges take their counts, the kind (and with it the owner-drawn flag: set for the
/// infinite kinds) and the thickness are stored. Undo restores all of it.
class SurfacePropertiesCommand : public DocumentCommand {
 public:
  SurfacePropertiesCommand(ProjectDocument& document, TVemtoSurface* surface,
                           const TSurfaceEdit& edit);
  void redo() override;
  void undo() override;

 private:
  void Apply(const TSurfaceEdit& state, const TSurfaceEdit& leaving);
  TVemtoSurface* surface_;
  TSurfaceEdit before_, after_;
};

/// A surface thickness as stored: any value <= 0 (or not finite) means "the model's
/// thickness" and is stored as -1.0.
double StoredThickness(double thickness);

}  // namespace vemto
