#include "CalcSettings.h"

#include <memory>

#include "VemtoFile.h"

namespace vemto {

TCalcSettings TCalcSettings::Of(const TVemtoFile& document) {
  TCalcSettings s;
  s.General = document.GeneralInfo;
  for (const auto& interval : document.Intervals) s.Intervals.push_back(*interval);
  s.MeshMemory = document.MeshMemory;
  s.EngineMemory = document.EngineMemory;
  s.PostMemory = document.PostMemory;
  return s;
}

void TCalcSettings::WriteTo(TVemtoFile& document) const {
  std::vector<std::unique_ptr<TVemtoInterval>> intervals;
  intervals.reserve(Intervals.size());
  for (const TVemtoInterval& interval : Intervals)
    intervals.push_back(std::make_unique<TVemtoInterval>(interval));
  document.GeneralInfo = General;
  document.Intervals = std::move(intervals);
  document.MeshMemory = MeshMemory;
  document.EngineMemory = EngineMemory;
  document.PostMemory = PostMemory;
}

bool operator==(const TCalcSettings& a, const TCalcSettings& b) {
  const TVemtoGeneralInfo &g = a.General, &h = b.General;
  if (g.AnalysisType != h.AnalysisType || g.SimulationType != h.SimulationType ||
      g.LegacySteps != h.LegacySteps || g.LegacyStep != h.LegacyStep ||
      g.LegacyStore != h.LegacyStore || g.InitialTime != h.InitialTime ||
      g.Thickness != h.Thickness)
    return false;
  if (a.MeshMemory != b.MeshMemory || a.EngineMemory != b.EngineMemory ||
      a.PostMemory != b.PostMemory || a.Intervals.size() != b.Intervals.size())
    return false;
  for (std::size_t i = 0; i < a.Intervals.size(); ++i) {
    const TVemtoInterval &x = a.Intervals[i], &y = b.Intervals[i];
    if (x.EndTime != y.EndTime || x.TimeStep != y.TimeStep || x.StoreStep != y.StoreStep)
      return false;
  }
  return true;
}

bool operator==(const TVemtoProjectInfo& a, const TVemtoProjectInfo& b) {
  return a.Title == b.Title && a.Subject == b.Subject && a.Author == b.Author &&
         a.Manager == b.Manager && a.Company == b.Company && a.Description == b.Description;
}

}  // namespace vemto
