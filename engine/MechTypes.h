// Small value types of the mechanical model: four-component stress and strain
// vectors and 4 x 4 matrices, with the analysis types.
#pragma once

#include <array>
#include <stdexcept>
#include <string>

namespace vemto::engine::mech {

// Two-dimensional analysis of the section; the codes are those of the data file.
enum class AnalysisType : int { PlaneStress = 1, PlaneStrain = 2, Axisymmetric = 3 };

// Analysis type from its data-file code (1, 2 or 3); throws std::invalid_argument otherwise.
inline AnalysisType analysisTypeFromCode(int code) {
  if (code == 1) return AnalysisType::PlaneStress;
  if (code == 2) return AnalysisType::PlaneStrain;
  if (code == 3) return AnalysisType::Axisymmetric;
  throw std::invalid_argument("invalid analysis type " + std::to_string(code) +
                              " (1 plane stress, 2 plane strain, 3 axisymmetric)");
}

// Number of strain components the elements carry: 3 (x, y, xy) in plane analyses,
// 4 (x, y, xy, z = hoop) in axisymmetric analysis.
constexpr int componentCount(AnalysisType a) {
  return a == AnalysisType::Axisymmetric ? 4 : 3;
}

// Stress (Pa) or strain vector in the order (x, y, xy, z); strains carry the engineering
// shear gamma_xy; z is the out-of-plane (hoop in axisymmetric analysis) component.
using Vector4 = std::array<double, 4>;

// Dense 4 x 4 matrix, row-major; plane material matrices use the leading 3 x 3 block.
struct Matrix4 {
  std::array<double, 16> a{};  // entries, row r column c at 4r + c
  double& operator()(int r, int c) { return a[static_cast<std::size_t>(4 * r + c)]; }
  double operator()(int r, int c) const { return a[static_cast<std::size_t>(4 * r + c)]; }
};

// y = M x over the leading n x n block (n = 3 or 4); entries of y beyond n are 0.
inline Vector4 multiply(const Matrix4& m, const Vector4& x, int n = 4) {
  Vector4 y{};
  for (int r = 0; r < n; ++r) {
    double s = 0.0;
    for (int c = 0; c < n; ++c) s += m(r, c) * x[static_cast<std::size_t>(c)];
    y[static_cast<std::size_t>(r)] = s;
  }
  return y;
}

}  // namespace vemto::engine::mech
