// The geometry window: the document window in which the section is drawn. It hosts the
// workspace view and turns the view's creation requests into commands on the document.
#pragma once

#include <array>

#include "FemView2D.h"
#include "TfrmDocument.h"

namespace vemto {

class TUserDialogs;

/// Size of a saved view state: grid size, origin x and y, scale (doubles), then one
/// byte each for snap, grid, element numbers and node numbers.
inline constexpr std::size_t kGeometryViewStateSize = 36;
using TGeometryViewState = std::array<char, kGeometryViewStateSize>;

/// "Geometry": the workspace view bound to the document's nodes, edges and surfaces.
class TfrmGeometry : public TfrmDocument {
  Q_OBJECT
 public:
  TfrmGeometry(ProjectDocument& document, TUserDialogs& dialogs, QWidget* parent = nullptr);

  TDocumentWindow Kind() const override { return TDocumentWindow::Geometry; }
  bool CanCopy() const override { return true; }
  /// The geometry as SVG and bitmap on the clipboard.
  void Copy() override;
  bool CanDelete() const override { return true; }
  /// Deletes the selected objects nothing uses (one command); names those kept.
  void DeleteSelection() override;
  TFemView2D* View() const override { return fmvWorkSpace_; }

  /// The edit mode chosen from the toolbars; applied to the view.
  TEditMode EditMode() const { return editMode_; }
  void SetEditMode(TEditMode mode);
  /// The "Set grid size" dialog.
  void ShowGridProperties();

  /// The view's grid, origin, scale and switches as the 36 bytes of a saved state.
  TGeometryViewState SaveViewState() const;
  void RestoreViewState(const TGeometryViewState& state);

 signals:
  /// The pointer is at (x, y) m.
  void coordinate(double x, double y);

 protected:
  void keyPressEvent(QKeyEvent* event) override;

 private:
  bool CreateNode(double x, double y);
  bool CreateEdge(const QList<TNode*>& nodes);
  bool CreateSurface(const QList<TEdge*>& edges);
  void MoveNode(TNode* node, double x, double y);

  TUserDialogs& dialogs_;
  TFemView2D* fmvWorkSpace_;
  TEditMode editMode_ = emSelect;
  int dragCount_ = 0;
};

/// True when the four edges form a closed chain in this order: each shares an end node
/// with the next, and the last with the first.
bool EdgesFormClosedChain(const QList<TEdge*>& edges);

}  // namespace vemto
