// Four-sided surfaces of the geometry and their Coons-patch interpolation.
#pragma once

#include <array>
#include <span>
#include <string>

#include "Edge.h"

namespace vemto {

/// Abstract four-sided surface. Owned by the project document's surface list; the
/// positions that use it are counted in `RefCount`.
class TSurface : public TFemObject, public TRefCounted {
 public:
  /// 1-based display number.
  std::int32_t Number = 0;
  /// Free value stored with the surface; no geometry operation reads it.
  std::int32_t SurfaceAux = 0;
  /// 1 for surfaces of infinite elements (set by the project file reader); the view
  /// draws them differently. Not stored.
  std::uint8_t InfiniteFlag = 0;

  const char* ClassName() const override { return "TSurface"; }

  /// Edge i (0..3), or null.
  virtual TEdge* GetEdge(int i) const {
    (void)i;
    return nullptr;
  }
  /// Replaces edge i without reference counting; the base does nothing.
  virtual void SetEdge(int i, TEdge* edge) {
    (void)i;
    (void)edge;
  }
  /// Stored edge index i (zero-based edge-list position), -1 in the base.
  virtual std::int32_t GetEdgeIndex(int i) const {
    (void)i;
    return -1;
  }
  virtual void SetEdgeIndex(int i, std::int32_t n) {
    (void)i;
    (void)n;
  }
  /// Cached number of corner node i (P0..P3) from the last evaluation; -1 in the base.
  virtual std::int32_t CornerNumber(int i) const {
    (void)i;
    return -1;
  }
  /// Cached number of the middle node of edge i (-1 for a straight edge); -1 in base.
  virtual std::int32_t MidNumber(int i) const {
    (void)i;
    return -1;
  }
  /// Divisions along edge 1 (the t direction); -1 in the base.
  virtual std::int32_t DivisionsV() const { return -1; }
  /// Divisions along edge 0 (the s direction); -1 in the base.
  virtual std::int32_t DivisionsU() const { return -1; }
  /// Writes the point at (s, t) in [0, 1]^2 into point.X, point.Y (m); s runs along
  /// edge 0 from P0 to P1, t along edge 1 from P1 to P2. The base does nothing.
  virtual void PointAt(TVector& point, double s, double t) {
    (void)point;
    (void)s;
    (void)t;
  }
  /// The point at s = i / DivisionsU(), t = j / DivisionsV(); the base does nothing.
  virtual void PointAtDivision(int i, int j, TVector& point) {
    (void)i;
    (void)j;
    (void)point;
  }

  /// Record: RefCount (int32). Loading rejects a negative count.
  void SaveToStream(TStream& stream) const override;
  void LoadFromStream(TStream& stream) override;

 protected:
  TSurface() = default;
  explicit TSurface(TLoading) {}
};

/// Surface bounded by four edges forming a closed chain (edge i shares an end node
/// with edge i+1, edge 3 with edge 0), interpolated as a bilinearly blended Coons
/// patch.
class TCoonSurface : public TSurface {
 public:
  /// The loader's construction: all zero, no counting.
  explicit TCoonSurface(TLoading) : TSurface(ForLoading), EdgeIndex{} {}
  /// Stores the four edges in this order and adds a reference to each present edge.
  TCoonSurface(TEdge* e0, TEdge* e1, TEdge* e2, TEdge* e3);
  /// Releases the four edges.
  ~TCoonSurface() override;

  /// The bounding edges, not owned.
  std::array<TEdge*, 4> Edges{};
  /// Zero-based edge-list positions of Edges[0..3], -1 when not set.
  std::array<std::int32_t, 4> EdgeIndex{-1, -1, -1, -1};
  /// Numbers of the corner nodes P0..P3, refreshed by every evaluation.
  std::array<std::int32_t, 4> CornerNumbers{};
  /// Number of the middle node of each curved edge, -1 for straight edges; refreshed
  /// by every evaluation.
  std::array<std::int32_t, 4> MidNumbers{};

  const char* ClassName() const override { return "TCoonSurface"; }
  /// Out-of-range i: GetEdge gives null, GetEdgeIndex/CornerNumber/MidNumber -1, the
  /// setters do nothing.
  TEdge* GetEdge(int i) const override;
  void SetEdge(int i, TEdge* edge) override;
  std::int32_t GetEdgeIndex(int i) const override;
  void SetEdgeIndex(int i, std::int32_t n) override;
  std::int32_t CornerNumber(int i) const override;
  std::int32_t MidNumber(int i) const override;
  /// Edges[1].Divisions, or -1 without edge 1.
  std::int32_t DivisionsV() const override;
  /// Edges[0].Divisions, or -1 without edge 0.
  std::int32_t DivisionsU() const override;
  /// Coons patch at (s, t), summed in extended precision. Refreshes CornerNumbers and
  /// MidNumbers. Leaves `point` unchanged when an edge or one of its nodes is missing.
  void PointAt(TVector& point, double s, double t) override;
  /// PointAt at s = i / DivisionsU(), t = j / DivisionsV() for i in 0..DivisionsU()
  /// and j in 0..DivisionsV(); other (i, j), or missing divisions, leave `point`
  /// unchanged.
  void PointAtDivision(int i, int j, TVector& point) override;

  /// Refreshes CornerNumbers and MidNumbers without evaluating a point (as before
  /// meshing). Returns false, leaving the caches unchanged, when an edge or one of its
  /// nodes is missing.
  bool RefreshNumbers();

  /// Sets Edges from EdgeIndex into `edges` (no reference counting). Index -1 gives
  /// no edge; any other index outside `edges` throws StreamError and leaves Edges
  /// unchanged.
  void ResolveEdgeIndices(std::span<TEdge* const> edges);

  /// Record: the TSurface part, Number, SurfaceAux, EdgeIndex[0..3] (int32 each).
  void SaveToStream(TStream& stream) const override;
  void LoadFromStream(TStream& stream) override;

  static constexpr std::size_t kRecordSize = 28;
};

/// What keeps the four edges of `surface` from bounding a quadrilateral, or an empty
/// text when they do: every edge present and used once, edge i sharing an end node with
/// edge i+1 (edge 3 with edge 0) so that the chain closes through four distinct corners,
/// and no edge starting and ending at the same node.
std::string SurfaceChainProblem(const TCoonSurface& surface);
/// The same for four edges in the order a surface would take them.
std::string EdgeChainProblem(const std::array<TEdge*, 4>& edges);

/// Of the division-grid points of `surface` (i outer, j inner), writes into (px, py)
/// the first one nearest to (x, y) (m). px and py keep their values when no grid
/// point lies closer than 1e300 (no divisions, missing edges).
void NearestDivisionPoint(TSurface& surface, double x, double y, double& px, double& py);

/// Recomputes the geometry's reference counts from the references themselves (e.g. to
/// repair counts read from a damaged file): every node counts the edges that use it,
/// every edge the surfaces that use it, every surface starts at 0. Counts held by
/// positions must be added afterwards. The ranges hold pointers or std::unique_ptr.
template <class NodeRange, class EdgeRange, class SurfaceRange>
void RecountGeometryReferences(NodeRange&& nodes, EdgeRange&& edges, SurfaceRange&& surfaces) {
  for (auto& node : nodes) node->RefCount = 0;
  for (auto& edge : edges) edge->RefCount = 0;
  for (auto& surface : surfaces) surface->RefCount = 0;
  for (auto& edge : edges)
    for (int k = 0; k < edge->NodeCount(); ++k)
      if (TNode* node = edge->GetNode(k)) node->AddRef();
  for (auto& surface : surfaces)
    for (int i = 0; i < 4; ++i)
      if (TEdge* edge = surface->GetEdge(i)) edge->AddRef();
}

}  // namespace vemto
