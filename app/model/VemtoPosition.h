// Positions attach a condition to the geometry: at a point, along an edge, on a surface,
// or at a point of a cooling pipe.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string_view>

#include "VemtoObject.h"

namespace vemto {

class TEdge;
class TVemtoCondition;
class TVemtoPipe;
class TVemtoSurface;

/// The lists a position refers into, as zero-based sequences of pointers.
struct PositionTargets {
  std::span<TVemtoCondition* const> Conditions;
  std::span<TEdge* const> Edges;
  std::span<TVemtoSurface* const> Surfaces;
  std::span<TVemtoPipe* const> Pipes;
};

/// Base of the positions. Record: ConditionIndex (int32).
class TVemtoPosition : public TVemtoObject {
 public:
  void SaveToStream(TStream& stream) const override;
  void LoadFromStream(TStream& stream) override;

  /// Adds the references this position holds: its condition and, for an edge or surface
  /// position, its edge or surface; a pipe position only its pipe. Missing targets are
  /// skipped.
  virtual void AddReferences();
  /// Releases the same references (counts never go below 0).
  virtual void ReleaseReferences();
  /// Fills the stored index fields from the pointers (-1 for a target not in its list),
  /// as before saving. A pipe position refreshes only PipeIndex.
  virtual void RefreshIndices(const PositionTargets& targets);
  /// Sets the pointers from the stored indices, as after loading, without reference
  /// counting. -1 gives no target; any other index outside its list throws StreamError and
  /// leaves the position unchanged. A pipe position resolves only its pipe.
  virtual void ResolveIndices(const PositionTargets& targets);

  TVemtoCondition* Condition = nullptr;  ///< condition applied here, not owned
  std::int32_t ConditionIndex = -1;      ///< zero-based list position of Condition

 protected:
  TVemtoPosition() = default;
};

/// A point in the section (m). Record: ConditionIndex, X, Y (real64 each).
class TVemtoNodalPos : public TVemtoPosition {
 public:
  TVemtoNodalPos() = default;
  TVemtoNodalPos(double x, double y) : X(x), Y(y) {}
  const char* ClassName() const override { return "TVemtoNodalPos"; }
  void SaveToStream(TStream& stream) const override;
  void LoadFromStream(TStream& stream) override;

  double X = 0.0;  ///< m
  double Y = 0.0;  ///< m
};

/// Applies along one edge. Record: ConditionIndex, EdgeIndex (int32).
class TVemtoEdgePos : public TVemtoPosition {
 public:
  TVemtoEdgePos() = default;
  explicit TVemtoEdgePos(TEdge* edge) : Edge(edge) {}
  const char* ClassName() const override { return "TVemtoEdgePos"; }
  void SaveToStream(TStream& stream) const override;
  void LoadFromStream(TStream& stream) override;
  void AddReferences() override;
  void ReleaseReferences() override;
  void RefreshIndices(const PositionTargets& targets) override;
  void ResolveIndices(const PositionTargets& targets) override;

  TEdge* Edge = nullptr;        ///< not owned
  std::int32_t EdgeIndex = -1;  ///< zero-based edge-list position of Edge
};

/// Applies on one surface (both faces). Record: ConditionIndex, SurfaceIndex (int32).
class TVemtoSurfacePos : public TVemtoPosition {
 public:
  TVemtoSurfacePos() = default;
  explicit TVemtoSurfacePos(TVemtoSurface* surface) : Surface(surface) {}
  const char* ClassName() const override { return "TVemtoSurfacePos"; }
  void SaveToStream(TStream& stream) const override;
  void LoadFromStream(TStream& stream) override;
  void AddReferences() override;
  void ReleaseReferences() override;
  void RefreshIndices(const PositionTargets& targets) override;
  void ResolveIndices(const PositionTargets& targets) override;

  TVemtoSurface* Surface = nullptr;  ///< not owned
  std::int32_t SurfaceIndex = -1;    ///< zero-based surface-list position of Surface
};

/// One point of a cooling pipe. It has no condition of its own (its pipe refers to the
/// pipe condition); its ConditionIndex is stored but neither refreshed nor resolved.
/// Record: ConditionIndex, X, Y, PipeIndex, PipeOrder, PipeAux2 (int32 each).
class TVemtoPipePos : public TVemtoNodalPos {
 public:
  TVemtoPipePos() = default;
  TVemtoPipePos(double x, double y, TVemtoPipe* pipe) : TVemtoNodalPos(x, y), Pipe(pipe) {}
  const char* ClassName() const override { return "TVemtoPipePos"; }
  void SaveToStream(TStream& stream) const override;
  void LoadFromStream(TStream& stream) override;
  void AddReferences() override;
  void ReleaseReferences() override;
  void RefreshIndices(const PositionTargets& targets) override;
  void ResolveIndices(const PositionTargets& targets) override;

  TVemtoPipe* Pipe = nullptr;   ///< not owned
  std::int32_t PipeIndex = -1;  ///< zero-based pipe-list position of Pipe
  std::int32_t PipeOrder = -1;  ///< zero-based position of the point along its pipe
  std::int32_t PipeAux2 = -1;   ///< zero-based count among its pipe's points in list order
};

/// A position of the kind named by its class name, in the loading state; nullptr for a
/// name that is not a position class.
std::unique_ptr<TVemtoPosition> MakePosition(std::string_view className);

}  // namespace vemto
