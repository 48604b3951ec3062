// Three-component real vectors: general vectors and node coordinates.
#pragma once

#include "FemObject.h"

namespace vemto {

/// Three reals. The model works in the X-Y plane of the section (metres); Z is carried
/// along and stored but every caller passes 0.
class TVector : public TFemObject {
 public:
  TVector() = default;
  TVector(double x, double y, double z) : X(x), Y(y), Z(z) {}

  double X = 0.0;  ///< m
  double Y = 0.0;  ///< m
  double Z = 0.0;  ///< m, always 0 in the model

  const char* ClassName() const override { return "TVector"; }
  /// Copies X, Y and Z from another TVector (or TCoord).
  void Assign(const TFemObject& source) override;
  /// Record: X, Y, Z as little-endian real64, 24 bytes.
  void SaveToFile(std::FILE* file) const override;
  void LoadFromFile(std::FILE* file) override;
  void SaveToStream(TStream& stream) const override;
  void LoadFromStream(TStream& stream) override;

  /// Size of the record in bytes.
  static constexpr std::size_t kRecordSize = 24;
};

/// A node's coordinate.
class TCoord : public TVector {
 public:
  using TVector::TVector;
  const char* ClassName() const override { return "TCoord"; }
};

}  // namespace vemto
