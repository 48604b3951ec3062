// The editable project document: one model (or the material library) with its undo
// stack, its modified state and the signals windows observe.
#pragma once

#include <QHash>
#include <QList>
#include <QObject>
#include <QString>
#include <QUndoStack>
#include <memory>

#include "VemtoFile.h"

class QUndoCommand;

namespace vemto {

/// The kinds of model objects a change can concern. The pointers in the change signals
/// are of the type named here.
enum class ObjectKind {
  Node,       ///< TNode*
  Edge,       ///< TEdge* (TEdgeLine or TEdgeCurve)
  Surface,    ///< TVemtoSurface*
  Material,   ///< TVemtoMaterial*
  Condition,  ///< TVemtoCondition*
  Position,   ///< TVemtoPosition*
  Pipe,       ///< TVemtoPipe*
  Interval,   ///< TVemtoInterval*
  Settings    ///< GeneralInfo, ProjectInfo or the memory sizes; the list is empty
};

/// The objects of one change, all of the kind given with the signal.
using ObjectList = QList<void*>;

/// The objects of `list` as pointers of type T (the type the kind names).
template <class T>
QList<T*> ObjectsAs(const ObjectList& list) {
  QList<T*> out;
  out.reserve(list.size());
  for (void* p : list) out.push_back(static_cast<T*>(p));
  return out;
}

/// One open model, or the material library, as the windows see it.
///
/// - Owns the `TVemtoFile` and a `QUndoStack`. Every edit a window makes is a
///   `QUndoCommand` pushed with `Push` (see DocumentCommands.h); modal dialogs edit
///   copies and push one command on OK. Windows never change the model directly.
/// - Modified means "the undo stack is not at its clean index"; `Save` and `SaveAs`
///   set the clean index. A new or just loaded document is not modified.
/// - Windows observe the signals below and never keep copies of the model's lists.
///   The signals are emitted by the commands after the model has changed (on do, undo
///   and redo alike). Removed objects stay alive, owned by their command, while the
///   command is on the stack, so their pointers remain valid identities.
/// - Everything runs on the thread that owns the document (the user-interface thread).
class ProjectDocument : public QObject {
  Q_OBJECT
 public:
  /// A document over `model` (a new empty model when null).
  explicit ProjectDocument(std::unique_ptr<TVemtoFile> model = nullptr, QObject* parent = nullptr);
  ~ProjectDocument() override;

  /// Reads the project file `fileName` into a new document. Throws FileError naming
  /// the file and the problem.
  static std::unique_ptr<ProjectDocument> Open(const QString& fileName);

  /// The model. Read it freely; change it only through commands.
  TVemtoFile& Model() { return *model_; }
  const TVemtoFile& Model() const { return *model_; }
  /// The undo stack (for Undo/Redo actions and their texts).
  QUndoStack& UndoStack() { return undo_; }

  /// The model's file name ("New model" for a model never saved).
  QString FileName() const;
  /// True when the model has edits that are not saved.
  bool IsModified() const { return !undo_.isClean(); }

  /// Writes the model under its file name and marks it unmodified. Throws FileError;
  /// the document then stays modified.
  void Save();
  /// Writes the model under `fileName`, which becomes its name, and marks it
  /// unmodified. Throws FileError; name and modified state then stay as they were.
  void SaveAs(const QString& fileName);

  /// Runs `command` (its redo) and puts it on the undo stack, which owns it.
  void Push(QUndoCommand* command);

  // Notifications, for command classes: each emits the signal of the same name.
  void NotifyAdded(ObjectKind kind, const ObjectList& objects);
  void NotifyRemoved(ObjectKind kind, const ObjectList& objects);
  void NotifyChanged(ObjectKind kind, const ObjectList& objects);

  // --- the one selection of this document, shared by its windows ---
  // Selection is view state, not model state: it is not undoable and does not mark
  // the document modified. Objects removed from the model leave the selection.

  /// The selected objects of `kind` in order of selection.
  ObjectList Selection(ObjectKind kind) const;
  /// Replaces the selection of `kind` by `objects`; emits selectionChanged when it
  /// differs. `source` is the window that made the change (windows ignore their own).
  void SetSelection(ObjectKind kind, const ObjectList& objects, QObject* source = nullptr);
  /// Empties the selection of every kind; emits selectionChanged for each kind that was
  /// not empty.
  void ClearSelection(QObject* source = nullptr);

 signals:
  /// `objects` were inserted into the list of `kind`.
  void objectsAdded(vemto::ObjectKind kind, const vemto::ObjectList& objects);
  /// `objects` were taken out of the list of `kind` (they are still alive).
  void objectsRemoved(vemto::ObjectKind kind, const vemto::ObjectList& objects);
  /// Values of `objects` changed (coordinates, divisions, properties, ...).
  void objectsChanged(vemto::ObjectKind kind, const vemto::ObjectList& objects);
  /// The modified state changed.
  void modifiedChanged(bool modified);
  /// The file name changed (after SaveAs).
  void fileNameChanged(const QString& fileName);
  /// The selection of `kind` changed; `source` is the window that changed it (or null).
  void selectionChanged(vemto::ObjectKind kind, QObject* source);

 private:
  std::unique_ptr<TVemtoFile> model_;  // declared before the stack: commands go first
  QUndoStack undo_;
  QHash<int, ObjectList> selection_;  // by ObjectKind
};

}  // namespace vemto

Q_DECLARE_METATYPE(vemto::ObjectKind)
