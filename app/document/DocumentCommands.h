// The undoable edits of a project document. Each command changes the model in redo,
// restores it exactly in undo (list positions, reference counts, numbers) and tells the
// document's observers what changed. Objects a command has taken out of the model are
// owned by the command; the references they held are released while they are out.
#pragma once

#include <QList>
#include <QString>
#include <QUndoCommand>
#include <array>
#include <functional>
#include <memory>
#include <vector>

#include "ProjectDocument.h"

namespace vemto {

/// Base of the document's commands.
class DocumentCommand : public QUndoCommand {
 public:
  DocumentCommand(ProjectDocument& document, const QString& text);

 protected:
  ProjectDocument& doc_;
};

/// Appends a node at (x, y) (m). Its Number becomes the new node count.
class CreateNodeCommand : public DocumentCommand {
 public:
  CreateNodeCommand(ProjectDocument& document, double x, double y);
  ~CreateNodeCommand() override;
  /// The node (in the model after redo, held by the command after undo).
  TNode* Node() const { return node_; }
  void redo() override;
  void undo() override;

 private:
  TNode* node_;
  std::unique_ptr<TNode> held_;
};

/// Appends an edge built by the caller. The edge's constructor has counted its node
/// references; undo releases them and redo counts them again.
class CreateEdgeCommand : public DocumentCommand {
 public:
  CreateEdgeCommand(ProjectDocument& document, std::unique_ptr<TEdge> edge);
  ~CreateEdgeCommand() override;
  TEdge* Edge() const { return edge_; }
  void redo() override;
  void undo() override;

 private:
  TEdge* edge_;
  std::unique_ptr<TEdge> held_;
};

/// Appends a surface built by the caller (its constructor has counted its edges) and,
/// when `columns` or `rows` is at least 1, sets the division count of edges 0 and 2 to
/// `columns` and of edges 1 and 3 to `rows` (the edges' own counts, shared with
/// neighbouring surfaces). Undo restores the previous counts.
class CreateSurfaceCommand : public DocumentCommand {
 public:
  CreateSurfaceCommand(ProjectDocument& document, std::unique_ptr<TVemtoSurface> surface,
                       int columns = 0, int rows = 0);
  ~CreateSurfaceCommand() override;
  TVemtoSurface* Surface() const { return surface_; }
  void redo() override;
  void undo() override;

 private:
  void SetDivisions(const std::array<std::int32_t, 4>& counts, bool backwards);
  TVemtoSurface* surface_;
  std::unique_ptr<TVemtoSurface> held_;
  std::array<std::int32_t, 4> before_{};
  std::array<std::int32_t, 4> after_{};
};

/// Moves a node to (x, y) (m). Consecutive moves of the same node with the same
/// non-zero `dragId` merge into one command (one drag is one undo step).
class MoveNodeCommand : public DocumentCommand {
 public:
  MoveNodeCommand(ProjectDocument& document, TNode* node, double x, double y, int dragId = 0);
  int id() const override { return dragId_ != 0 ? kId : -1; }
  bool mergeWith(const QUndoCommand* other) override;
  void redo() override;
  void undo() override;

  static constexpr int kId = 1001;

 private:
  void MoveTo(double x, double y);
  TNode* node_;
  double fromX_, fromY_, toX_, toY_;
  int dragId_;
};

/// Deletes, of the given objects, those that nothing uses (`RefCount` 0: nodes without
/// edges, edges without surfaces or positions, surfaces without positions); duplicates
/// are ignored. Every check is made before anything is deleted, so a node whose only
/// edge is deleted with it stays. Afterwards the nodes are renumbered 1..n in list
/// order; undo puts every object back at its list position, counts its references
/// again and restores the previous node numbers.
class DeleteObjectsCommand : public DocumentCommand {
 public:
  DeleteObjectsCommand(ProjectDocument& document, const QList<TNode*>& nodes,
                       const QList<TEdge*>& edges, const QList<TVemtoSurface*>& surfaces);
  ~DeleteObjectsCommand() override;
  /// True when some of the given objects were in use and are not deleted.
  bool Refused() const { return refused_; }
  /// True when nothing is deleted (the command need not be pushed).
  bool Empty() const { return nodes_.empty() && edges_.empty() && surfaces_.empty(); }
  void redo() override;
  void undo() override;

 private:
  template <class T>
  struct Removed {
    T* object;
    std::size_t index = 0;
    std::unique_ptr<T> held;
  };
  std::vector<Removed<TNode>> nodes_;
  std::vector<Removed<TEdge>> edges_;
  std::vector<Removed<TVemtoSurface>> surfaces_;
  std::vector<std::int32_t> numbersBefore_;
  bool refused_ = false;
};

/// Sets one value field of a model object (`field` must live as long as the object).
/// `object` (of type `kind`) is reported as changed; it may be null for Settings.
template <class T>
class SetValueCommand : public DocumentCommand {
 public:
  SetValueCommand(ProjectDocument& document, T& field, T value, ObjectKind kind, void* object,
                  const QString& text)
      : DocumentCommand(document, text),
        field_(field),
        before_(field),
        after_(std::move(value)),
        kind_(kind),
        object_(object) {}
  void redo() override { Apply(after_); }
  void undo() override { Apply(before_); }

 private:
  void Apply(const T& value) {
    field_ = value;
    doc_.NotifyChanged(kind_, object_ != nullptr ? ObjectList{object_} : ObjectList{});
  }
  T& field_;
  T before_, after_;
  ObjectKind kind_;
  void* object_;
};

/// A general edit given as two functions: `apply` makes the change, `revert` undoes it
/// exactly. Afterwards `objects` of `kind` are reported as changed. For dialogs that
/// edit copies and write them back on OK.
class EditCommand : public DocumentCommand {
 public:
  EditCommand(ProjectDocument& document, const QString& text, std::function<void()> apply,
              std::function<void()> revert, ObjectKind kind, ObjectList objects = {});
  void redo() override;
  void undo() override;

 private:
  std::function<void()> apply_, revert_;
  ObjectKind kind_;
  ObjectList objects_;
};

}  // namespace vemto
