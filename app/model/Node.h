// Points of the geometry.
#pragma once

#include <memory>

#include "Vector.h"

namespace vemto {

/// A point of the section. Owned by the project document's node list; edges refer to
/// it and are counted in `RefCount`.
class TNode : public TFemObject, public TRefCounted {
 public:
  /// A node at (0, 0, 0) with number 0; also the loader's construction.
  TNode() : Coord(std::make_unique<TCoord>()) {}
  explicit TNode(TLoading) : TNode() {}
  /// Takes ownership of `coord`; a null coord is replaced by (0, 0, 0).
  explicit TNode(std::unique_ptr<TCoord> coord);
  /// Convenience: a node at (x, y, 0).
  TNode(double x, double y) : Coord(std::make_unique<TCoord>(x, y, 0.0)) {}

  /// 1-based display number; the view renumbers 1..n in list order; interactive
  /// creation gives -1.
  std::int32_t Number = 0;
  /// The coordinate, owned; never null.
  std::unique_ptr<TCoord> Coord;

  const char* ClassName() const override { return "TNode"; }
  /// Copies the coordinate's components (not the pointer), `RefCount` and
  /// `Number` from another node; throws std::invalid_argument for a non-node.
  void Assign(const TFemObject& source) override;
  /// Record: Number (int32), X, Y, Z (real64), RefCount (int32) — 32 bytes. Loading
  /// reads into the existing coordinate and rejects a negative RefCount.
  void SaveToFile(std::FILE* file) const override;
  void LoadFromFile(std::FILE* file) override;
  void SaveToStream(TStream& stream) const override;
  void LoadFromStream(TStream& stream) override;

  static constexpr std::size_t kRecordSize = 32;
};

}  // namespace vemto
