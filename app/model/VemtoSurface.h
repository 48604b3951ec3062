// The application surface: a Coons surface that carries material, element type and
// thickness of one super-element.
#pragma once

#include <cstdint>
#include <span>

#include "Surface.h"

namespace vemto {

class TVemtoMaterial;

/// Element types of a super-element.
enum class ElementKind : std::uint8_t {
  EightNode = 0,         ///< 8-node quadrilaterals
  FiveNodeInfinite = 1,  ///< one row of 5-node infinite elements
  ThreeNodeInfinite = 2  ///< one 3-node infinite element
};

/// Super-element of the model. Record: the TCoonSurface record (28 bytes), MaterialIndex
/// (int32), ElementType (1 byte), and Thickness (real64) only for the version pair (3, 1).
class TVemtoSurface : public TCoonSurface {
 public:
  /// The loader's construction: all zero, no counting, no material (MaterialIndex -1),
  /// version (3, 1), Thickness -1.0.
  explicit TVemtoSurface(TLoading);
  /// A new surface over four edges (each gets a reference); no material, eight-node
  /// elements, Thickness 1.0, version (3, 1).
  TVemtoSurface(TEdge* e0, TEdge* e1, TEdge* e2, TEdge* e3);
  /// Releases the material (and, through the base, the four edges).
  ~TVemtoSurface() override;

  const char* ClassName() const override { return "TVemtoSurface"; }

  /// Replaces the material, releasing the old one and adding a reference to the new one
  /// (either may be null).
  void SetMaterial(TVemtoMaterial* material);

  /// Sets Material from MaterialIndex into `materials` without reference counting (the
  /// stored counts are restored instead): -1 gives no material; any other index outside
  /// `materials` throws StreamError and leaves Material unchanged.
  void ResolveMaterialIndex(std::span<TVemtoMaterial* const> materials);

  void SaveToStream(TStream& stream) const override;
  /// Reads the record of the version pair; for (3, 0) Thickness becomes -1.0. Rejects an
  /// element type outside 0..2 and a material index below -1; the surface and the stream
  /// position are then unchanged.
  void LoadFromStream(TStream& stream) override;

  /// Record length in bytes for the version pair.
  static std::size_t RecordSize(std::int32_t major, std::int32_t minor);

  TVemtoMaterial* Material = nullptr;  ///< material of the super-element, not owned
  std::int32_t MaterialIndex = -1;     ///< zero-based list position of Material; -1 none
  std::uint8_t ElementType = 0;        ///< an ElementKind value, 0..2
  /// Thickness of this super-element, m; -1.0 = the general thickness applies.
  double Thickness = 1.0;
  std::int32_t VersionMajor = 3;  ///< record layout version, major part
  std::int32_t VersionMinor = 1;  ///< record layout version, minor part
};

}  // namespace vemto
