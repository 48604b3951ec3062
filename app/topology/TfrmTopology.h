// The table windows "Nodes", "Curves" and "Surfaces" of the geometry's Topology menu.
#pragma once

#include <QWidget>

#include "TopologyModels.h"

class QPushButton;
class QTableView;

namespace vemto {

class TUserDialogs;

/// A tool window with one topology table over the document and the buttons Add,
/// Remove, Paste (not for surfaces) and Close. Edits take effect at once, each one
/// undoable (Ctrl+Z / Ctrl+Shift+Z here as in the main window). Selected rows are the
/// document's selection of their kind, and the rows follow the selection other windows
/// make. The window closes itself when the document goes.
class TfrmTopology : public QWidget {
  Q_OBJECT
 public:
  TfrmTopology(ProjectDocument& document, TopologyTable table, TUserDialogs& dialogs,
               QWidget* parent = nullptr);

  /// Shows the window of `table` for `document` among the children of `parent`,
  /// creating it when there is none, and raises it.
  static TfrmTopology* Open(ProjectDocument& document, TopologyTable table, TUserDialogs& dialogs,
                            QWidget* parent);

  TopologyTable Table() const { return table_; }
  TTopologyModel& Model() const { return *model_; }
  QTableView* View() const { return grid_; }

  /// Add, Remove (the current row) and Paste (the clipboard's text).
  void AddClick();
  void RemoveClick();
  void PasteClick();

 private:
  void SelectionToDocument();
  void SelectionFromDocument(ObjectKind kind, QObject* source);

  TopologyTable table_;
  TUserDialogs& dialogs_;
  TTopologyModel* model_;
  QTableView* grid_;
  bool following_ = false;  // rows are being selected from the document's selection
};

}  // namespace vemto
