// A time interval of the calculation.
#pragma once

#include "VemtoObject.h"

namespace vemto {

/// Interval of the calculation; it starts where the previous one ends (the first at the
/// general InitialTime). Record: EndTime, TimeStep, StoreStep (3 x real64).
class TVemtoInterval : public TVemtoObject {
 public:
  TVemtoInterval() = default;
  TVemtoInterval(double endTime, double timeStep, double storeStep)
      : EndTime(endTime), TimeStep(timeStep), StoreStep(storeStep) {}

  const char* ClassName() const override { return "TVemtoInterval"; }
  void SaveToStream(TStream& stream) const override;
  /// Reads the record; the interval changes only when the whole record was read.
  void LoadFromStream(TStream& stream) override;

  double EndTime = 0.0;    ///< end of the interval, h
  double TimeStep = 0.0;   ///< time step within the interval, h
  double StoreStep = 0.0;  ///< time increment for storing results, h
};

}  // namespace vemto
