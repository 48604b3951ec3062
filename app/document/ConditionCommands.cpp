#include "ConditionCommands.h"

#include <algorithm>
#include <cassert>

namespace vemto {

namespace {

std::size_t PositionIndex(const TVemtoFile& model, const TVemtoPosition* position) {
  const auto& list = model.Positions;
  const auto it = std::find_if(list.begin(), list.end(),
                               [position](const auto& p) { return p.get() == position; });
  assert(it != list.end() && "position is not in the model");
  return static_cast<std::size_t>(it - list.begin());
}

const TVemtoPipe* PipeOf(const TVemtoPosition* position) {
  const auto* point = dynamic_cast<const TVemtoPipePos*>(position);
  return point != nullptr ? point->Pipe : nullptr;
}

}  // namespace

std::vector<TVemtoPipePos*> PipePoints(const TVemtoFile& model, const TVemtoPipe* pipe) {
  std::vector<TVemtoPipePos*> points;
  if (pipe == nullptr) return points;
  for (const auto& p : model.Positions)
    if (auto* point = dynamic_cast<TVemtoPipePos*>(p.get()); point && point->Pipe == pipe)
      points.push_back(point);
  return points;
}

void NumberPipePoints(const TVemtoFile& model, const TVemtoPipe* pipe) {
  std::int32_t count = 0;
  for (TVemtoPipePos* point : PipePoints(model, pipe)) {
    point->PipeAux2 = count;
    if (point->PipeOrder < 0) point->PipeOrder = count;
    ++count;
  }
}

std::vector<TVemtoPipePos*> PipePointsInOrder(const TVemtoFile& model, const TVemtoPipe* pipe) {
  std::vector<TVemtoPipePos*> points = PipePoints(model, pipe);
  std::stable_sort(
      points.begin(), points.end(),
      [](const TVemtoPipePos* a, const TVemtoPipePos* b) { return a->PipeOrder < b->PipeOrder; });
  return points;
}

// --- conditions -------------------------------------------------------------------------

AddConditionCommand::AddConditionCommand(ProjectDocument& document,
                                         std::unique_ptr<TVemtoCondition> condition)
    : DocumentCommand(document, QStringLiteral("Add condition")),
      condition_(condition.get()),
      held_(std::move(condition)) {
  assert(condition_ != nullptr);
}

AddConditionCommand::~AddConditionCommand() = default;

void AddConditionCommand::redo() {
  doc_.Model().Conditions.Add(std::move(held_));
  doc_.NotifyAdded(ObjectKind::Condition, {condition_});
}

void AddConditionCommand::undo() {
  held_ = doc_.Model().Conditions.Extract(condition_);
  doc_.NotifyRemoved(ObjectKind::Condition, {condition_});
}

RemoveConditionCommand::RemoveConditionCommand(ProjectDocument& document,
                                               TVemtoCondition* condition)
    : DocumentCommand(document, QStringLiteral("Delete condition")),
      condition_(condition),
      index_(static_cast<std::size_t>(document.Model().Conditions.IndexOf(condition))) {
  assert(condition->RefCount == 0 && "a condition in use is not removed");
}

RemoveConditionCommand::~RemoveConditionCommand() = default;

void RemoveConditionCommand::redo() {
  held_ = doc_.Model().Conditions.Extract(condition_);
  doc_.NotifyRemoved(ObjectKind::Condition, {condition_});
}

void RemoveConditionCommand::undo() {
  doc_.Model().Conditions.Insert(index_, std::move(held_));
  doc_.NotifyAdded(ObjectKind::Condition, {condition_});
}

// --- pipes ------------------------------------------------------------------------------

AddPipeCommand::AddPipeCommand(ProjectDocument& document, std::unique_ptr<TVemtoPipe> pipe)
    : DocumentCommand(document, QStringLiteral("Add pipe")),
      pipe_(pipe.get()),
      held_(std::move(pipe)) {
  assert(pipe_ != nullptr && pipe_->Condition != nullptr);
}

AddPipeCommand::~AddPipeCommand() = default;

void AddPipeCommand::redo() {
  static_cast<TVemtoCondition*>(pipe_->Condition)->AddRef();
  doc_.Model().Pipes.Add(std::move(held_));
  doc_.NotifyAdded(ObjectKind::Pipe, {pipe_});
  doc_.NotifyChanged(ObjectKind::Condition, {static_cast<TVemtoCondition*>(pipe_->Condition)});
}

void AddPipeCommand::undo() {
  held_ = doc_.Model().Pipes.Extract(pipe_);
  static_cast<TVemtoCondition*>(pipe_->Condition)->Release();
  doc_.NotifyRemoved(ObjectKind::Pipe, {pipe_});
  doc_.NotifyChanged(ObjectKind::Condition, {static_cast<TVemtoCondition*>(pipe_->Condition)});
}

RemovePipeCommand::RemovePipeCommand(ProjectDocument& document, TVemtoPipe* pipe)
    : DocumentCommand(document, QStringLiteral("Delete pipe")),
      pipe_(pipe),
      index_(static_cast<std::size_t>(document.Model().Pipes.IndexOf(pipe))) {
  assert(pipe->RefCount == 0 && "a pipe in use is not removed");
}

RemovePipeCommand::~RemovePipeCommand() = default;

void RemovePipeCommand::redo() {
  held_ = doc_.Model().Pipes.Extract(pipe_);
  if (pipe_->Condition != nullptr) static_cast<TVemtoCondition*>(pipe_->Condition)->Release();
  doc_.NotifyRemoved(ObjectKind::Pipe, {pipe_});
}

void RemovePipeCommand::undo() {
  if (pipe_->Condition != nullptr) static_cast<TVemtoCondition*>(pipe_->Condition)->AddRef();
  doc_.Model().Pipes.Insert(index_, std::move(held_));
  doc_.NotifyAdded(ObjectKind::Pipe, {pipe_});
}

// --- positions --------------------------------------------------------------------------

void PipeNumbering::Remember(const TVemtoFile& model, const TVemtoPipe* pipe) {
  numbers_.clear();
  for (TVemtoPipePos* point : PipePoints(model, pipe))
    numbers_.emplace_back(point, point->PipeOrder, point->PipeAux2);
}

void PipeNumbering::Restore() const {
  for (const auto& [point, order, count] : numbers_) {
    point->PipeOrder = order;
    point->PipeAux2 = count;
  }
}

PlacePositionCommand::PlacePositionCommand(ProjectDocument& document,
                                           std::unique_ptr<TVemtoPosition> position)
    : DocumentCommand(document, QStringLiteral("Place position")),
      position_(position.get()),
      held_(std::move(position)) {
  assert(position_ != nullptr);
}

PlacePositionCommand::~PlacePositionCommand() = default;

void PlacePositionCommand::redo() {
  TVemtoFile& model = doc_.Model();
  position_->AddReferences();
  model.Positions.push_back(std::move(held_));
  const TVemtoPipe* pipe = PipeOf(position_);
  numbers_.Remember(model, pipe);
  NumberPipePoints(model, pipe);
  doc_.NotifyAdded(ObjectKind::Position, {position_});
}

void PlacePositionCommand::undo() {
  TVemtoFile& model = doc_.Model();
  numbers_.Restore();
  const std::size_t index = PositionIndex(model, position_);
  held_ = std::move(model.Positions[index]);
  model.Positions.erase(model.Positions.begin() + static_cast<std::ptrdiff_t>(index));
  position_->ReleaseReferences();
  doc_.NotifyRemoved(ObjectKind::Position, {position_});
}

DeletePositionsCommand::DeletePositionsCommand(ProjectDocument& document,
                                               const QList<TVemtoPosition*>& positions)
    : DocumentCommand(document, QStringLiteral("Delete positions")) {
  const TVemtoFile& model = document.Model();
  for (TVemtoPosition* p : positions) {
    if (std::any_of(removed_.begin(), removed_.end(),
                    [p](const Removed& r) { return r.position == p; }))
      continue;
    removed_.push_back({p, PositionIndex(model, p), nullptr});
    if (const TVemtoPipe* pipe = PipeOf(p);
        pipe != nullptr && std::find(pipes_.begin(), pipes_.end(), pipe) == pipes_.end())
      pipes_.push_back(pipe);
  }
  std::sort(removed_.begin(), removed_.end(),
            [](const Removed& a, const Removed& b) { return a.index < b.index; });
  numbers_.resize(pipes_.size());
}

DeletePositionsCommand::~DeletePositionsCommand() = default;

void DeletePositionsCommand::redo() {
  TVemtoFile& model = doc_.Model();
  for (std::size_t k = 0; k < pipes_.size(); ++k) numbers_[k].Remember(model, pipes_[k]);
  ObjectList gone;
  // From the back, so that the remembered places stay valid.
  for (auto it = removed_.rbegin(); it != removed_.rend(); ++it) {
    it->held = std::move(model.Positions[it->index]);
    model.Positions.erase(model.Positions.begin() + static_cast<std::ptrdiff_t>(it->index));
    it->position->ReleaseReferences();
    gone.push_front(it->position);
  }
  for (const TVemtoPipe* pipe : pipes_) NumberPipePoints(model, pipe);
  doc_.NotifyRemoved(ObjectKind::Position, gone);
}

void DeletePositionsCommand::undo() {
  TVemtoFile& model = doc_.Model();
  ObjectList back;
  for (Removed& r : removed_) {
    r.position->AddReferences();
    model.Positions.insert(model.Positions.begin() + static_cast<std::ptrdiff_t>(r.index),
                           std::move(r.held));
    back.push_back(r.position);
  }
  for (const PipeNumbering& n : numbers_) n.Restore();
  doc_.NotifyAdded(ObjectKind::Position, back);
}

MovePositionsCommand::MovePositionsCommand(ProjectDocument& document, std::vector<Move> moves)
    : DocumentCommand(document, QStringLiteral("Snap positions")), to_(std::move(moves)) {
  for (const Move& m : to_) from_.push_back({m.position, m.position->X, m.position->Y});
}

void MovePositionsCommand::Apply(bool forward) {
  ObjectList changed;
  for (const Move& m : forward ? to_ : from_) {
    m.position->X = m.x;
    m.position->Y = m.y;
    changed.push_back(static_cast<TVemtoPosition*>(m.position));
  }
  doc_.NotifyChanged(ObjectKind::Position, changed);
}

void MovePositionsCommand::redo() {
  Apply(true);
}

void MovePositionsCommand::undo() {
  Apply(false);
}

SetPipeOrderCommand::SetPipeOrderCommand(ProjectDocument& document, TVemtoPipe* pipe,
                                         const std::vector<TVemtoPipePos*>& order,
                                         double partLength)
    : DocumentCommand(document, QStringLiteral("Pipe properties")),
      pipe_(pipe),
      lengthBefore_(pipe->PartLength),
      lengthAfter_(partLength) {
  std::int32_t k = 0;
  for (TVemtoPipePos* point : order) {
    before_.emplace_back(point, point->PipeOrder);
    after_.emplace_back(point, k++);
  }
}

void SetPipeOrderCommand::redo() {
  for (const auto& [point, order] : after_) point->PipeOrder = order;
  pipe_->PartLength = lengthAfter_;
  doc_.NotifyChanged(ObjectKind::Pipe, {pipe_});
}

void SetPipeOrderCommand::undo() {
  for (const auto& [point, order] : before_) point->PipeOrder = order;
  pipe_->PartLength = lengthBefore_;
  doc_.NotifyChanged(ObjectKind::Pipe, {pipe_});
}

}  // namespace vemto
