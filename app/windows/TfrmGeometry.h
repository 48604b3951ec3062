// The geometry window: the document window in which the section is drawn. It hosts the
// workspace view and turns the view's creation requests into commands on the document.
#pragma once

#include <QPointF>
#include <array>

#include "FemView2D.h"
#include "TfrmDocument.h"

namespace vemto {

class TUserDialogs;
class TfrmSurfProp;

/// Refusal of divisions that shared curves cannot take (a curve would need two counts).
inline const QString kDivisionConflictMessage =
    QStringLiteral("The curves shared with other surfaces cannot take these divisions.");

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
  bool CanPrint() const override { return true; }
  bool CanDelete() const override { return true; }
  /// Deletes the selected objects nothing uses (one command); names those kept.
  void DeleteSelection() override;
  TFemView2D* View() const override { return fmvWorkSpace_; }

  /// The edit mode chosen from the toolbars; applied to the view.
  TEditMode EditMode() const { return editMode_; }
  void SetEditMode(TEditMode mode);
  /// The "Set grid size" dialog.
  void ShowGridProperties();
  /// Shows the "Surface properties" window for the first selected surface.
  void ShowSurfaceProperties();
  /// Shows or hides it.
  void ToggleSurfaceProperties();
  /// The "Surface properties" window (hidden until shown; closes with this window).
  TfrmSurfProp* SurfaceProperties() const { return frmSurfProp_; }
  /// Zooms to the extents now and again whenever the view is resized, until the view
  /// is changed otherwise (the window's size settles after it has been opened).
  void ZoomExtentsOnOpen();

  /// The view's grid, origin, scale and switches as the 36 bytes of a saved state.
  TGeometryViewState SaveViewState() const;
  void RestoreViewState(const TGeometryViewState& state);

 signals:
  /// The pointer is at (x, y) m.
  void coordinate(double x, double y);

 protected:
  void keyPressEvent(QKeyEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void ViewSelectionEdited();
  void DocumentSelectionChanged(ObjectKind kind, QObject* source);
  bool CreateNode(double x, double y);
  bool CreateEdge(const QList<TNode*>& nodes);
  bool CreateSurface(const QList<TEdge*>& edges);
  void MoveNode(TNode* node, double x, double y);

  TUserDialogs& dialogs_;
  TFemView2D* fmvWorkSpace_;
  TfrmSurfProp* frmSurfProp_;
  TEditMode editMode_ = emSelect;
  int dragCount_ = 0;
  bool followingDocument_ = false;  // the view takes the document's selection
  bool autoFit_ = false;            // zoomed to the extents by ZoomExtentsOnOpen
  double fitX_ = 0, fitY_ = 0, fitScale_ = 0;
};

/// Draws an infinite-element surface as a silver band 5 pixels wide inside its finite
/// sides: along edges 3 and 0, around the finite corner, for the three-node kind (2);
/// along edges 3, 0 and 1 for the five-node kind (1). `corners` are the pixels of the surface
/// points (0,0), (1,0), (1,1), (0,1).
void DrawInfiniteSurfaceBand(QPainter& painter, const std::array<QPointF, 4>& corners,
                             int elementType);

/// True when the four edges form a closed chain in this order: each shares an end node
/// with the next, and the last with the first, through four distinct corners.
bool EdgesFormClosedChain(const QList<TEdge*>& edges);

}  // namespace vemto
