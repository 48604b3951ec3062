// The undoable changes of the calculation settings and project information dialogs:
// everything one OK changes is one command.
#pragma once

#include <memory>
#include <vector>

#include "CalcSettings.h"
#include "DocumentCommands.h"

namespace vemto {

/// Writes general settings, memory sizes and intervals of `settings` into the model.
/// The model's interval objects are replaced by new ones; undo puts the previous ones
/// back (the same objects), redo the new ones. Reports the removed and added intervals
/// and a change of the settings.
class SetCalcSettingsCommand : public DocumentCommand {
 public:
  SetCalcSettingsCommand(ProjectDocument& document, const TCalcSettings& settings);
  void redo() override;
  void undo() override;

 private:
  void Swap();
  TCalcSettings other_;  // general settings and memory not in the model (no intervals)
  std::vector<std::unique_ptr<TVemtoInterval>> otherIntervals_;
};

/// Writes the six project texts as one change.
class SetProjectInfoCommand : public SetValueCommand<TVemtoProjectInfo> {
 public:
  SetProjectInfoCommand(ProjectDocument& document, const TVemtoProjectInfo& info);
};

}  // namespace vemto
