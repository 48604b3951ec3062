// General analysis settings and the project texts.
#pragma once

#include <cstdint>
#include <string>

#include "VemtoObject.h"

namespace vemto {

/// General settings of the analysis. Record: AnalysisType, SimulationType, LegacySteps,
/// LegacyStep (int32 each), LegacyStore, InitialTime, Thickness (real64 each).
class TVemtoGeneralInfo : public TVemtoObject {
 public:
  const char* ClassName() const override { return "TVemtoGeneralInfo"; }
  void SaveToStream(TStream& stream) const override;
  /// Reads the record; rejects an analysis type outside 1..3 and a simulation type other
  /// than 0, 1, 2, 10, 11, 12, leaving the settings and the stream position unchanged.
  void LoadFromStream(TStream& stream) override;

  /// True when displacements and stresses are calculated (SimulationType below 10).
  bool CalculatesStresses() const { return SimulationType < 10; }

  std::int32_t AnalysisType = 2;  ///< 1 plane stress, 2 plane strain, 3 axisymmetric
  /// 0 simulated temperature and maturity, 1 no variation of them, 2 input of them;
  /// plus 10 when displacements and stresses are not calculated.
  std::int32_t SimulationType = 0;
  std::int32_t LegacySteps = 160;  ///< time steps of the older single-interval settings
  std::int32_t LegacyStep = 2;     ///< time step of the older settings, h
  double LegacyStore = 24.0;       ///< storage increment of the older settings, h
  double InitialTime = 0.0;        ///< start of the first interval, h
  double Thickness = 1.0;          ///< thickness of the section, m
};

/// The project texts. Record: the six texts in field order, each in the text form
/// (int32 length + 1, the bytes, a zero byte).
class TVemtoProjectInfo : public TVemtoObject {
 public:
  const char* ClassName() const override { return "TVemtoProjectInfo"; }
  /// Throws StreamError, writing nothing, when a text is longer than 255 characters.
  void SaveToStream(TStream& stream) const override;
  /// Reads the six texts; the texts change only when all six were read.
  void LoadFromStream(TStream& stream) override;

  std::string Title;        ///< project title, at most 255 characters
  std::string Subject;      ///< subject, at most 255 characters
  std::string Author;       ///< author, at most 255 characters
  std::string Manager;      ///< manager, at most 255 characters
  std::string Company;      ///< company, at most 255 characters
  std::string Description;  ///< description, at most 255 characters
};

}  // namespace vemto
