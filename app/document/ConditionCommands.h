// The undoable edits of conditions, cooling pipes and positions. Each keeps the
// reference counts in step: a position counts its condition (a pipe point its pipe) and
// its edge or surface; a pipe counts its pipe condition. Objects taken out of the model
// are owned by the command while it is undone or done.
#pragma once

#include <memory>
#include <string>
#include <tuple>
#include <vector>

#include "DocumentCommands.h"

namespace vemto {

/// The pipe points (TVemtoPipePos) of `pipe`, in Positions order.
std::vector<TVemtoPipePos*> PipePoints(const TVemtoFile& model, const TVemtoPipe* pipe);

/// Numbers the points of `pipe`: each point's PipeAux2 becomes its count 0, 1, 2, ... in
/// Positions order, and a point whose PipeOrder is negative takes that count as PipeOrder.
void NumberPipePoints(const TVemtoFile& model, const TVemtoPipe* pipe);

/// The points of `pipe` in the order along the pipe: ascending PipeOrder, points with
/// equal PipeOrder in Positions order. Every point appears once, so duplicate or missing
/// PipeOrder values (left by deleting and placing points) lose no point.
std::vector<TVemtoPipePos*> PipePointsInOrder(const TVemtoFile& model, const TVemtoPipe* pipe);

/// Appends a condition built by the caller (name already unique) to Conditions.
class AddConditionCommand : public DocumentCommand {
 public:
  AddConditionCommand(ProjectDocument& document, std::unique_ptr<TVemtoCondition> condition);
  ~AddConditionCommand() override;
  TVemtoCondition* Condition() const { return condition_; }
  void redo() override;
  void undo() override;

 private:
  TVemtoCondition* condition_;
  std::unique_ptr<TVemtoCondition> held_;
};

/// Removes a condition that nothing uses (`RefCount` 0, checked by the caller); undo
/// puts it back at its place in Conditions.
class RemoveConditionCommand : public DocumentCommand {
 public:
  RemoveConditionCommand(ProjectDocument& document, TVemtoCondition* condition);
  ~RemoveConditionCommand() override;
  void redo() override;
  void undo() override;

 private:
  TVemtoCondition* condition_;
  std::size_t index_;
  std::unique_ptr<TVemtoCondition> held_;
};

/// Gives a condition (`kind` Condition) or a pipe (`kind` Pipe) a new name: the item is
/// taken out of its list, named `name` made unique against the rest ("%s%d"), and
/// appended at the end. Undo restores name and place.
template <class T, class List>
class RenameItemCommand : public DocumentCommand {
 public:
  RenameItemCommand(ProjectDocument& document, List& list, T* item, const std::string& name,
                    ObjectKind kind)
      : DocumentCommand(document, QStringLiteral("Rename")),
        list_(list),
        item_(item),
        index_(static_cast<std::size_t>(list.IndexOf(item))),
        before_(item->Name),
        kind_(kind) {
    std::unique_ptr<T> out = list_.Extract(item_);
    after_ = list_.MakeUniqueName(name);
    list_.Insert(index_, std::move(out));
  }
  /// The name the item gets.
  const std::string& NewName() const { return after_; }
  void redo() override { Move(after_, list_.Count()); }
  void undo() override { Move(before_, index_); }

 private:
  void Move(const std::string& name, std::size_t to) {
    std::unique_ptr<T> out = list_.Extract(item_);
    out->Name = name;
    list_.Insert(to, std::move(out));
    doc_.NotifyChanged(kind_, {item_});
  }
  List& list_;
  T* item_;
  std::size_t index_;
  std::string before_, after_;
  ObjectKind kind_;
};

/// Appends a pipe built by the caller (name unique, Condition set); the pipe condition
/// counts it.
class AddPipeCommand : public DocumentCommand {
 public:
  AddPipeCommand(ProjectDocument& document, std::unique_ptr<TVemtoPipe> pipe);
  ~AddPipeCommand() override;
  TVemtoPipe* Pipe() const { return pipe_; }
  void redo() override;
  void undo() override;

 private:
  TVemtoPipe* pipe_;
  std::unique_ptr<TVemtoPipe> held_;
};

/// Removes a pipe that no point uses (`RefCount` 0, checked by the caller) and releases
/// its condition; undo puts it back at its place.
class RemovePipeCommand : public DocumentCommand {
 public:
  RemovePipeCommand(ProjectDocument& document, TVemtoPipe* pipe);
  ~RemovePipeCommand() override;
  void redo() override;
  void undo() override;

 private:
  TVemtoPipe* pipe_;
  std::size_t index_;
  std::unique_ptr<TVemtoPipe> held_;
};

/// The numbers of a pipe's points, kept for undo.
class PipeNumbering {
 public:
  /// Remembers PipeOrder and PipeAux2 of every point of `pipe` (none: nothing).
  void Remember(const TVemtoFile& model, const TVemtoPipe* pipe);
  /// Puts the remembered numbers back.
  void Restore() const;

 private:
  std::vector<std::tuple<TVemtoPipePos*, std::int32_t, std::int32_t>> numbers_;
};

/// Places a position built by the caller (condition, edge, surface or pipe set): it
/// counts its references and is appended to Positions; the points of its pipe are
/// numbered (NumberPipePoints).
class PlacePositionCommand : public DocumentCommand {
 public:
  PlacePositionCommand(ProjectDocument& document, std::unique_ptr<TVemtoPosition> position);
  ~PlacePositionCommand() override;
  TVemtoPosition* Position() const { return position_; }
  void redo() override;
  void undo() override;

 private:
  TVemtoPosition* position_;
  std::unique_ptr<TVemtoPosition> held_;
  PipeNumbering numbers_;
};

/// Deletes positions (each once, duplicates ignored), releasing their references; the
/// points of the pipes concerned are numbered again. Undo puts every position back at
/// its place and counts its references again.
class DeletePositionsCommand : public DocumentCommand {
 public:
  DeletePositionsCommand(ProjectDocument& document, const QList<TVemtoPosition*>& positions);
  ~DeletePositionsCommand() override;
  void redo() override;
  void undo() override;

 private:
  struct Removed {
    TVemtoPosition* position;
    std::size_t index = 0;
    std::unique_ptr<TVemtoPosition> held;
  };
  std::vector<Removed> removed_;  // in ascending list position
  std::vector<const TVemtoPipe*> pipes_;
  std::vector<PipeNumbering> numbers_;
};

/// Moves nodal positions (pipe points included) to new points (m).
class MovePositionsCommand : public DocumentCommand {
 public:
  struct Move {
    TVemtoNodalPos* position;
    double x, y;  ///< m
  };
  MovePositionsCommand(ProjectDocument& document, std::vector<Move> moves);
  void redo() override;
  void undo() override;

 private:
  void Apply(bool forward);
  std::vector<Move> to_, from_;
};

/// Sets the order of a pipe's points (each point takes its place in `order` as
/// PipeOrder) and the pipe's PartLength (m).
class SetPipeOrderCommand : public DocumentCommand {
 public:
  SetPipeOrderCommand(ProjectDocument& document, TVemtoPipe* pipe,
                      const std::vector<TVemtoPipePos*>& order, double partLength);
  void redo() override;
  void undo() override;

 private:
  TVemtoPipe* pipe_;
  std::vector<std::pair<TVemtoPipePos*, std::int32_t>> before_, after_;
  double lengthBefore_, lengthAfter_;
};

}  // namespace vemto
