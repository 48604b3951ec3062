#include "HistoryCommands.h"

#include "ByteStream.h"

namespace vemto {

namespace {

std::vector<std::uint8_t> Record(const TVemtoCondition& condition) {
  TStream stream;
  condition.SaveToStream(stream);
  return stream.Bytes();
}

}  // namespace

ConditionEditCommand::ConditionEditCommand(ProjectDocument& document, TVemtoCondition* condition,
                                           const QString& text,
                                           const std::function<void(TVemtoCondition&)>& edit)
    : DocumentCommand(document, text), condition_(condition), before_(Record(*condition)) {
  edit(*condition);
  after_ = Record(*condition);
  Load(before_);  // the edit takes effect in redo
}

void ConditionEditCommand::Load(const std::vector<std::uint8_t>& record) {
  TStream stream(record);
  condition_->LoadFromStream(stream);
}

void ConditionEditCommand::redo() {
  Load(after_);
  doc_.NotifyChanged(ObjectKind::Condition, {condition_});
}

void ConditionEditCommand::undo() {
  Load(before_);
  doc_.NotifyChanged(ObjectKind::Condition, {condition_});
}

ConditionEditCommand* MakeSetHistoryCommand(ProjectDocument& document, TVemtoCondition* condition,
                                            std::vector<TVemtoEventPos> history,
                                            const QString& text) {
  return new ConditionEditCommand(document, condition, text, [&history](TVemtoCondition& c) {
    c.History = std::move(history);
  });
}

}  // namespace vemto
