// Edges of the geometry: straight lines and quadratic curves between nodes.
#pragma once

#include <array>
#include <memory>
#include <span>
#include <string_view>

#include "Node.h"

namespace vemto {

/// Largest division count an edge record may carry; larger (or non-positive) counts in
/// a file are rejected as damaged.
inline constexpr std::int32_t kMaxEdgeDivisions = 10000;

/// Abstract edge. Owned by the project document's edge list; refers to its nodes
/// (counted in the nodes' `RefCount`, not owned). Surfaces and positions that use the
/// edge are counted in its own `RefCount`.
class TEdge : public TFemObject, public TRefCounted {
 public:
  /// Number of element divisions along the edge; 1 at construction (0 when loading).
  std::int32_t Divisions = 1;
  /// Free byte for the view and editors; copied and stored.
  std::uint8_t EdgeFlag = 0;
  /// Free value for the view and editors; copied by CopyFrom, not stored.
  std::int32_t EdgeExtra = 0;

  /// The creator's factory for the project file reader: a zero-filled "TEdgeLine" or
  /// "TEdgeCurve" (no reference counting), or null for any other class name.
  static std::unique_ptr<TEdge> CreateForLoading(std::string_view className);

  /// Start node of the edge, or null.
  virtual TNode* FirstNode() const { return nullptr; }
  /// End node of the edge, or null.
  virtual TNode* LastNode() const { return nullptr; }
  /// Copies Divisions, EdgeFlag, RefCount, EdgeExtra and then the node references of
  /// `source`. Node references that change are counted: the new nodes gain a
  /// reference and the replaced ones lose one, so counts stay balanced.
  virtual TEdge& CopyFrom(const TEdge& source);
  /// Writes the point at edge parameter t (0 = start, 1 = end) into point.X and
  /// point.Y (m); point.Z is untouched. Does nothing when a node is missing.
  virtual void PointAt(TVector& point, double t) const {
    (void)point;
    (void)t;
  }
  /// For 0 <= i <= Divisions: PointAt(point, i * (1 / Divisions)). Any other i, or an
  /// edge without divisions, leaves `point` unchanged.
  virtual void PointAtDivision(int i, TVector& point) const;
  /// Swaps the direction of the edge (start and end node).
  virtual void Reverse() {}

  /// Number of node references: 2 for a line, 3 for a curve, 0 for the base.
  virtual int NodeCount() const { return 0; }
  /// Node reference k in stored order (start, [middle,] end), or null if k is out of
  /// range or the reference is empty.
  virtual TNode* GetNode(int k) const {
    (void)k;
    return nullptr;
  }
  /// Replaces node reference k without any reference counting (the loader's link
  /// step); an out-of-range k is ignored.
  virtual void SetNode(int k, TNode* node) {
    (void)k;
    (void)node;
  }
  /// The stored node indices (zero-based positions in the node list, -1 = none), in
  /// the order of GetNode.
  virtual std::span<std::int32_t> NodeIndices() { return {}; }
  virtual std::span<const std::int32_t> NodeIndices() const { return {}; }

  /// Sets the node references from NodeIndices() into `nodes` (no reference counting).
  /// Index -1 gives no node. Throws StreamError for any other index outside `nodes`;
  /// the references are then left unchanged.
  void ResolveNodeIndices(std::span<TNode* const> nodes);

  /// Record: Divisions (int32), EdgeFlag (byte), RefCount (int32), then the node
  /// indices (int32 each). Loading rejects a division count outside
  /// 1..kMaxEdgeDivisions and a negative RefCount.
  void SaveToStream(TStream& stream) const override;
  void LoadFromStream(TStream& stream) override;
  /// Record size in bytes: 9 + 4 * NodeCount().
  std::size_t RecordSize() const { return 9 + 4 * static_cast<std::size_t>(NodeCount()); }

 protected:
  TEdge() = default;
  explicit TEdge(TLoading) : Divisions(0) {}
  /// Replaces a counted node reference: `node` gains a reference, `slot` loses one.
  static void Rebind(TNode*& slot, TNode* node);
};

/// Straight edge from StartNode to EndNode.
class TEdgeLine : public TEdge {
 public:
  /// The loader's construction: all zero, no counting.
  explicit TEdgeLine(TLoading) : TEdge(ForLoading), NodeIndex{} {}
  /// Stores the nodes and adds a reference to each present node.
  TEdgeLine(TNode* start, TNode* end);
  /// Releases both nodes.
  ~TEdgeLine() override;

  TNode* StartNode = nullptr;  ///< not owned
  TNode* EndNode = nullptr;    ///< not owned
  /// Zero-based node-list positions of start and end, -1 when not set.
  std::array<std::int32_t, 2> NodeIndex{-1, -1};

  const char* ClassName() const override { return "TEdgeLine"; }
  TNode* FirstNode() const override { return StartNode; }
  TNode* LastNode() const override { return EndNode; }
  TEdge& CopyFrom(const TEdge& source) override;
  /// Linear interpolation with the parameter clamped to [0, 1].
  void PointAt(TVector& point, double t) const override;
  void Reverse() override;

  int NodeCount() const override { return 2; }
  TNode* GetNode(int k) const override;
  void SetNode(int k, TNode* node) override;
  std::span<std::int32_t> NodeIndices() override { return NodeIndex; }
  std::span<const std::int32_t> NodeIndices() const override { return NodeIndex; }

  /// The straight-edge shape: a + (b - a) weighted by the parameter clamped to [0, 1],
  /// written into out.X, out.Y.
  static void Interpolate(const TVector& a, const TVector& b, double t, TVector& out);

  static constexpr std::size_t kRecordSize = 17;
};

/// Quadratic edge through StartNode (t = 0), MiddleNode (t = 1/2) and EndNode (t = 1).
class TEdgeCurve : public TEdge {
 public:
  /// The loader's construction: all zero, no counting.
  explicit TEdgeCurve(TLoading) : TEdge(ForLoading), NodeIndex{} {}
  /// Stores the nodes and adds a reference to each present node.
  TEdgeCurve(TNode* start, TNode* middle, TNode* end);
  /// Releases all three nodes.
  ~TEdgeCurve() override;

  TNode* StartNode = nullptr;   ///< not owned
  TNode* MiddleNode = nullptr;  ///< not owned
  TNode* EndNode = nullptr;     ///< not owned
  /// Zero-based node-list positions of start, middle and end, -1 when not set.
  std::array<std::int32_t, 3> NodeIndex{-1, -1, -1};

  const char* ClassName() const override { return "TEdgeCurve"; }
  TNode* FirstNode() const override { return StartNode; }
  TNode* LastNode() const override { return EndNode; }
  /// Also copies the middle node when `source` is a curve; from a straight edge only
  /// start and end are taken and the middle node stays.
  TEdge& CopyFrom(const TEdge& source) override;
  /// Quadratic Lagrange interpolation; outside [0, 1] the parabola is extrapolated.
  void PointAt(TVector& point, double t) const override;
  /// Swaps start and end; the middle node stays.
  void Reverse() override;

  int NodeCount() const override { return 3; }
  TNode* GetNode(int k) const override;
  void SetNode(int k, TNode* node) override;
  std::span<std::int32_t> NodeIndices() override { return NodeIndex; }
  std::span<const std::int32_t> NodeIndices() const override { return NodeIndex; }

  /// The quadratic shape through a (t = 0), m (t = 1/2), b (t = 1), written into
  /// out.X, out.Y.
  static void Interpolate(const TVector& a, const TVector& m, const TVector& b, double t,
                          TVector& out);

  static constexpr std::size_t kRecordSize = 21;
};

}  // namespace vemto
