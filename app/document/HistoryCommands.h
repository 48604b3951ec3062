// Undoable edits of one condition's history and constants.
#pragma once

#include <QString>
#include <cstdint>
#include <functional>
#include <vector>

#include "DocumentCommands.h"

namespace vemto {

/// Any change of one condition (history, constants or both) made by `edit`. The command
/// keeps the condition's whole record before and after the edit, so undo and redo
/// restore it exactly; the condition is reported as changed. The model is unchanged
/// until the command is pushed.
class ConditionEditCommand : public DocumentCommand {
 public:
  ConditionEditCommand(ProjectDocument& document, TVemtoCondition* condition, const QString& text,
                       const std::function<void(TVemtoCondition&)>& edit);
  TVemtoCondition* Condition() const { return condition_; }
  /// True when the edit changed nothing (the command need not be pushed).
  bool Empty() const { return before_ == after_; }
  void redo() override;
  void undo() override;

 private:
  void Load(const std::vector<std::uint8_t>& record);
  TVemtoCondition* condition_;
  std::vector<std::uint8_t> before_, after_;
};

/// Replaces the history of `condition` by `history` (checked by the caller).
ConditionEditCommand* MakeSetHistoryCommand(ProjectDocument& document, TVemtoCondition* condition,
                                            std::vector<TVemtoEventPos> history,
                                            const QString& text);

}  // namespace vemto
