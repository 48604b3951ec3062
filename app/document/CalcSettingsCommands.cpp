#include "CalcSettingsCommands.h"

#include <utility>

namespace vemto {

namespace {

ObjectList Objects(const std::vector<std::unique_ptr<TVemtoInterval>>& intervals) {
  ObjectList list;
  for (const auto& interval : intervals) list.push_back(interval.get());
  return list;
}

}  // namespace

SetCalcSettingsCommand::SetCalcSettingsCommand(ProjectDocument& document,
                                               const TCalcSettings& settings)
    : DocumentCommand(document, QStringLiteral("Calculation settings")), other_(settings) {
  for (const TVemtoInterval& interval : settings.Intervals)
    otherIntervals_.push_back(std::make_unique<TVemtoInterval>(interval));
  other_.Intervals.clear();
}

void SetCalcSettingsCommand::Swap() {
  TVemtoFile& m = doc_.Model();
  std::swap(m.GeneralInfo, other_.General);
  std::swap(m.MeshMemory, other_.MeshMemory);
  std::swap(m.EngineMemory, other_.EngineMemory);
  std::swap(m.PostMemory, other_.PostMemory);
  std::swap(m.Intervals, otherIntervals_);
  doc_.NotifyRemoved(ObjectKind::Interval, Objects(otherIntervals_));
  doc_.NotifyAdded(ObjectKind::Interval, Objects(m.Intervals));
  doc_.NotifyChanged(ObjectKind::Settings, {});
}

void SetCalcSettingsCommand::redo() {
  Swap();
}

void SetCalcSettingsCommand::undo() {
  Swap();
}

SetProjectInfoCommand::SetProjectInfoCommand(ProjectDocument& document,
                                             const TVemtoProjectInfo& info)
    : SetValueCommand<TVemtoProjectInfo>(document, document.Model().ProjectInfo, info,
                                         ObjectKind::Settings, nullptr,
                                         QStringLiteral("Project information")) {}

}  // namespace vemto
