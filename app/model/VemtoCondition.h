// Conditions with time histories: air temperature, heat flow, cooling pipe, displacement,
// load and spring. Positions (VemtoPosition.h) attach them to the geometry.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "VemtoObject.h"

namespace vemto {

/// Most points of one condition history the mesher has room for.
inline constexpr std::size_t kMaxHistoryPoints = 1000;

/// One point of a time history. Record: Value1, Value2, Time (3 x real64).
struct TVemtoEventPos {
  double Value0 = 0.0;  ///< present for completeness; neither used nor stored
  double Value1 = 0.0;  ///< first value; meaning per condition kind
  double Value2 = 0.0;  ///< second value; 0 where the kind has one value
  double Time = 0.0;    ///< time, h

  void SaveToStream(TStream& stream) const;
  void LoadFromStream(TStream& stream);
};

/// Base of all conditions. Record: Name, RefCount (int32), number of history points
/// (int32), each point's record, then the kind's own fields.
class TVemtoCondition : public TVemtoCountedObject {
 public:
  TVemtoCondition() = default;
  explicit TVemtoCondition(std::string name) : Name(std::move(name)) {}

  void SaveToStream(TStream& stream) const final;
  /// Reads the record into a fresh history. The condition changes only when the whole
  /// record was read; a point count that is negative or larger than the stream can hold
  /// throws StreamError.
  void LoadFromStream(TStream& stream) final;

  std::string Name;                     ///< unique within the condition list
  std::vector<TVemtoEventPos> History;  ///< time history, in the order edited

 protected:
  /// Appends the kind's own fields.
  virtual void SaveFields(TStream& stream) const = 0;
  /// Reads the kind's own fields; applies them only when all were read and valid.
  virtual void LoadFields(TStream& stream) = 0;
};

/// Insulation kinds of a temperature condition.
enum class InsulationKind : std::uint8_t {
  None = 0,
  Steel = 1,
  Wood = 2,
  MineralWool = 3,
  CellularPlastic = 4,
  Other = 5,
  SpecifiedTransferCoefficient = 6,
  Plastic = 7,
};

/// Surrounding temperature (Value1, °C) with a heat-transfer coefficient.
/// Fields: InsulationType (1 byte, 0..7), ThermalConductivity, InsulationThickness,
/// WindVelocity, TransferCoefficient (real64 each).
class TVemtoTempCondition : public TVemtoCondition {
 public:
  using TVemtoCondition::TVemtoCondition;
  const char* ClassName() const override { return "TVemtoTempCondition"; }

  std::uint8_t InsulationType = 0;   ///< an InsulationKind value, 0..7
  double ThermalConductivity = 0.0;  ///< of the insulation, W/mK (editor default 45.0)
  double InsulationThickness = 0.0;  ///< m (editor default 0.005)
  double WindVelocity = 0.0;         ///< m/s (editor default 5.0)
  double TransferCoefficient = 0.0;  ///< W/m2K; W/mK for nodal positions (editor default 10.0)

  /// The defaults a condition gets when the editor creates it.
  void SetEditorDefaults();

 protected:
  void SaveFields(TStream& stream) const override;
  void LoadFields(TStream& stream) override;
};

/// Heat flow (Value1: W/m2 on edges and surfaces, W/m at nodes; positive into the body).
class TVemtoFlowCondition : public TVemtoCondition {
 public:
  using TVemtoCondition::TVemtoCondition;
  const char* ClassName() const override { return "TVemtoFlowCondition"; }

 protected:
  void SaveFields(TStream&) const override {}
  void LoadFields(TStream&) override {}
};

/// Cooling pipe: Value1 inlet temperature °C; Value2 flow kg/s (type 0) or outlet
/// temperature °C (type 1). Fields: TransferCoefficient, PipeDiameter, PipeAux,
/// SpecificHeat (real64 each), PipeConditionType (int32, 0 or 1).
class TVemtoPipeCondition : public TVemtoCondition {
 public:
  using TVemtoCondition::TVemtoCondition;
  const char* ClassName() const override { return "TVemtoPipeCondition"; }

  double TransferCoefficient = 0.0;    ///< liquid to pipe wall, W/m2K (editor default 978.0)
  double PipeDiameter = 0.0;           ///< m (editor default 0.025)
  double PipeAux = 0.0;                ///< stored only
  double SpecificHeat = 0.0;           ///< of the cooling liquid, J/kgK (editor default 4200.0)
  std::int32_t PipeConditionType = 0;  ///< 0 specified flow, 1 specified outlet temperature

  /// The defaults a condition gets when the editor creates it.
  void SetEditorDefaults();

 protected:
  void SaveFields(TStream& stream) const override;
  void LoadFields(TStream& stream) override;
};

/// Prescribed displacement: Value1 X, Value2 Y displacement (m). Field: Direction (int32:
/// 1 X, 2 Y, 3 X and Y).
class TVemtoDisplCondition : public TVemtoCondition {
 public:
  using TVemtoCondition::TVemtoCondition;
  const char* ClassName() const override { return "TVemtoDisplCondition"; }

  std::int32_t Direction = 0;  ///< 1 X, 2 Y, 3 X and Y (editor default 3)

  /// True when the X (Y) displacement is prescribed.
  bool PrescribesX() const { return Direction == 1 || Direction == 3; }
  bool PrescribesY() const { return Direction == 2 || Direction == 3; }
  /// The defaults a condition gets when the editor creates it.
  void SetEditorDefaults() { Direction = 3; }

 protected:
  void SaveFields(TStream& stream) const override;
  void LoadFields(TStream& stream) override;
};

/// Load: Value1 X, Value2 Y load (Pa on edges, N/m at nodes).
class TVemtoLoadCondition : public TVemtoCondition {
 public:
  using TVemtoCondition::TVemtoCondition;
  const char* ClassName() const override { return "TVemtoLoadCondition"; }

 protected:
  void SaveFields(TStream&) const override {}
  void LoadFields(TStream&) override {}
};

/// Spring support: Value1, Value2 the X and Y displacement of the support (m).
/// Fields: StiffnessX, StiffnessY (real64; N/m3 on edges, N/m2 at nodes).
class TVemtoSpringCondition : public TVemtoCondition {
 public:
  using TVemtoCondition::TVemtoCondition;
  const char* ClassName() const override { return "TVemtoSpringCondition"; }

  double StiffnessX = 0.0;  ///< N/m3 on edges, N/m2 at nodes
  double StiffnessY = 0.0;  ///< N/m3 on edges, N/m2 at nodes

 protected:
  void SaveFields(TStream& stream) const override;
  void LoadFields(TStream& stream) override;
};

/// A condition of the kind named by its class name, in the loading state (empty name and
/// history, fields 0); nullptr for a name that is not a condition class.
std::unique_ptr<TVemtoCondition> MakeCondition(std::string_view className);

}  // namespace vemto
