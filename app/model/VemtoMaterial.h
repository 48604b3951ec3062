// A material of the model: 68 properties, 7 options, and the cement and concrete tables
// from which a new material gets its defaults.
#pragma once

#include <array>
#include <cassert>
#include <cstdint>
#include <filesystem>
#include <string>

#include "PropertyFiles.h"
#include "VemtoObject.h"

namespace vemto {

inline constexpr int kMaterialProperties = 68;  ///< length of the property vector
inline constexpr int kMaterialOptions = 7;      ///< length of the option vector
/// Properties stored by the older (3, 0) record layout.
inline constexpr int kMaterialPropertiesV30 = 63;

/// Material of the model. Property k (1..68) is `Properties[k - 1]`, reached with P(k);
/// time-valued properties are in seconds, all others in SI units (W/mK, kg/m3, J/kgK, Pa,
/// N/m). Options (1 = on, 0 = off): 1 heat development, 2 property development,
/// 3 fracture, 4 creep, 5 stress induced thermal strain, 6 autogeneous shrinkage,
/// 7 not edited.
///
/// Record: Name; RefCount (int32); Properties[1..63] for version (3, 0) or [1..68] for
/// (3, 1) (real64 each), none for any other version; Options[1..7] (int32 each).
class TVemtoMaterial : public TVemtoCountedObject {
 public:
  /// The state in which the project file reader creates a material before loading it: no
  /// name, all properties and options 0, empty tables.
  TVemtoMaterial() = default;

  /// A new material with defaults derived from "cempropt" and "conpropt" in
  /// `propertyDirectory` (the program's folder when empty). `kind` is 1 when heat
  /// development is modelled, else 0; `cementType` is 1-based; `cementContent` in kg/m3;
  /// `waterCementRatio` > 0. Sets version (3, 1).
  /// Refused with PropertyFileError when "conpropt" is missing (the defaults would divide
  /// 0 by 0), when kind is 1 and "cempropt" is missing or empty, or when a file is
  /// malformed; refused with std::invalid_argument for a name longer than 255 characters,
  /// a kind other than 0 or 1, a cement type that does not exist, a ratio that is not
  /// positive, a negative cement content, or constants that give a non-finite property.
  TVemtoMaterial(std::string name, int kind, int cementType, double cementContent,
                 double waterCementRatio, std::filesystem::path propertyDirectory = {});

  const char* ClassName() const override { return "TVemtoMaterial"; }
  void SaveToStream(TStream& stream) const override;
  /// Reads the property tables first (see ReadPropertyTables), then the record in the
  /// layout of the version pair; for (3, 0) P64 := P22 afterwards. The material changes
  /// only when the whole record was read.
  void LoadFromStream(TStream& stream) override;

  /// Property k, k = 1..68.
  double& P(int k) {
    assert(k >= 1 && k <= kMaterialProperties);
    return Properties[static_cast<std::size_t>(k - 1)];
  }
  double P(int k) const {
    assert(k >= 1 && k <= kMaterialProperties);
    return Properties[static_cast<std::size_t>(k - 1)];
  }
  /// Option k, k = 1..7.
  std::int32_t& Option(int k) {
    assert(k >= 1 && k <= kMaterialOptions);
    return Options[static_cast<std::size_t>(k - 1)];
  }
  std::int32_t Option(int k) const {
    assert(k >= 1 && k <= kMaterialOptions);
    return Options[static_cast<std::size_t>(k - 1)];
  }

  /// Water-cement ratio derived from the compressive strength: c7 / (P64 - c6). Not
  /// stored. NaN when P64 equals c6 (for example with an empty concrete table and P64 0).
  double WaterCementRatio() const;

  /// Copies Name, the properties and the options (not RefCount, tables or version).
  void CopyFromMaterial(const TVemtoMaterial& other);

  /// Reads both tables from the property directory. A missing file leaves its table zero
  /// and is no error; a malformed file also leaves its table zero, and its message is kept
  /// in PropertyFileWarning, so that a model still loads.
  void ReadPropertyTables();

  /// The folder holding "cempropt" and "conpropt"; empty = the program's folder.
  std::filesystem::path PropertyDirectory() const;

  std::string Name;                                      ///< unique in its list
  TVemtoCement Cement;                                   ///< cement types
  TVemtoConcrete Concrete;                               ///< concrete constants
  std::array<double, kMaterialProperties> Properties{};  ///< P1..P68
  std::array<std::int32_t, kMaterialOptions> Options{};  ///< options 1..7
  std::filesystem::path PropertyFolder;  ///< where the tables are read; empty = program folder
  std::string PropertyFileWarning;       ///< why a table stayed zero at loading; empty if none
};

/// Development factor of stiffness and strength, 1 / (1/(a1 x^b1) + 1/(a2 x^b2)), at the
/// relative maturity x > 0 (maturity / reference maturity). Extended precision.
double DevelopmentFactor(double a1, double b1, double a2, double b2, double x);

/// Degree of hydration exp(-lambda1 (ln(1 + te/t1))^(-kappa1)) at the maturity te (s),
/// with t1 in s; 0 for te <= 0.
double DegreeOfHydration(double lambda1, double t1, double kappa1, double te);

}  // namespace vemto
