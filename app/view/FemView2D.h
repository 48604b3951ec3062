// The workspace view: the two-dimensional canvas on which the model section is drawn,
// picked and edited. It draws the geometry of a project document, keeps a cached picture
// of it and paints rubber bands and drag outlines over that picture. Interaction is done
// by one tool object per edit mode (ViewTools.h). The view never changes the model: it
// reports creations and moves to its host through the On... callbacks, and the host
// pushes commands on the document; the view repaints when the document reports changes.
#pragma once

#include <QColor>
#include <QElapsedTimer>
#include <QFont>
#include <QImage>
#include <QList>
#include <QPoint>
#include <QPointF>
#include <QPolygon>
#include <QRect>
#include <QTimer>
#include <QWidget>
#include <functional>
#include <memory>
#include <vector>

#include "ProjectDocument.h"

class QPainter;
class QPaintDevice;

namespace vemto {

class TViewTool;
struct TPointer;

/// Interaction modes (values as stored by the windows).
enum TEditMode {
  emSelect,
  emSelectArea,
  emPan,
  emSmoothPan,
  emCreateNode,
  emCreateLineElement,
  emCreateTriangle,
  emCreateQuadlateral,
  emCreateBC,
  emCreateExtraDof,
  emCreateNodeLoad,
  emCreateLineElementLoad,
  emCreateLineDrag,
  emCreateLine,
  emCreateCurve,
  emCreateSurface,
  emZoomWindow
};

/// What the view is used for: geometry editing or as a background for other windows.
enum TViewMode { vmGeometry, vmSelect, vmLoading, vmBoundaryConds };

/// Grid drawn as dots (gmStandard) or lines (gmLines).
enum TGridMode { gmStandard, gmLines };

/// Drawing settings. Sizes in pixels; colours RGB.
struct TViewOptions {
  bool DrawAxis = true;           ///< the x = 0 and y = 0 axes
  bool DrawGrid = true;           ///< the grid
  bool DrawNodeText = true;       ///< node numbers
  bool DrawElements = true;       ///< element division lines inside surfaces
  bool DrawElementText = true;    ///< surface and edge numbers
  bool DrawElementArrows = true;  ///< held for the owning window
  bool DrawBC = true;             ///< held for the owning window
  bool DrawDivision = true;       ///< division marks on edges
  bool DrawOrientation = true;    ///< local-axes mark of each surface
  bool EraseBackground = true;    ///< fill with Color before drawing
  bool SnapToGrid = true;         ///< round pointer positions to the grid
  bool AllowEdit = true;          ///< moving nodes by dragging
  int SnapDistance = 10;          ///< pick tolerance for nodes
  int SnapEdgeDist = 10;          ///< pick tolerance for edges
  int DragTime = 200;             ///< ms a press must last to count as a drag (> 20)
  int NodeSize = 3;               ///< node marker radius (> 0)
  int LineWidth = 1;              ///< pen width of geometry lines (> 0)
  int TextOffset = 10;            ///< distance of an edge number from its edge
  int ArrowSize = 5;              ///< held for the owning window
  int NodeLoadSize = 20;          ///< held for the owning window
  int NodeLoadWidth = 2;          ///< held for the owning window
  TGridMode GridMode = gmStandard;
  int GridMark = 5;  ///< every GridMark-th grid line is a mark line
  TViewMode ViewMode = vmGeometry;
  QColor Color{255, 255, 255};
  QColor GridMarkColor{128, 128, 128};
  QColor GridColor{192, 192, 192};
  QColor LineColor{0, 0, 0};
  QColor NodeColor{255, 0, 0};
  QColor AxisColor{192, 192, 192};
  QColor SelectColor{0, 0, 0};
  QColor ElementColor{0, 0, 0};
  QColor TextColor{0, 0, 0};
  QColor LoadColor{255, 0, 0};
  QColor LoadModeColor{192, 192, 192};
  QColor EdgeColor{255, 0, 0};
  QColor SurfaceColor{192, 192, 192};
  QColor DivisionColor{128, 0, 0};
};

/// The workspace view control.
class TFemView2D : public QWidget {
  Q_OBJECT
 public:
  explicit TFemView2D(QWidget* parent = nullptr);
  ~TFemView2D() override;

  /// Draws the geometry of `document` (null: nothing) and repaints whenever it reports a
  /// change. Clears selection and picks.
  void SetDocument(ProjectDocument* document);
  ProjectDocument* Document() const { return doc_; }

  // --- transform (model units are metres) ---
  double OrigoX() const { return origoX_; }  ///< model x at the left edge
  double OrigoY() const { return origoY_; }  ///< model y at the bottom edge
  double Scale() const { return scale_; }    ///< pixels per metre
  double GridSize() const { return gridSize_; }
  /// Sets the model point shown at the bottom-left corner; repaints.
  void SetOrigo(double x, double y);
  /// Pixels per metre; 0 stores 100. Repaints.
  void SetScale(double scale);
  /// Grid step in metres; a value <= 0 stores 1. Repaints.
  void SetGridSize(double size);
  /// Pixel of a model point (rounded, ties to even), for the current size.
  QPoint WorldToScreen(double x, double y) const;
  /// Model point of a pixel (not rounded).
  QPointF ScreenToWorld(double px, double py) const;
  /// Both coordinates rounded to the nearest multiple of GridSize.
  QPointF SnapToGridPoint(QPointF p) const;
  /// SnapToGridPoint when SnapToGrid is on, else `p`.
  QPointF SnapIfEnabled(QPointF p) const;

  // --- settings ---
  const TViewOptions& Options() const { return options_; }
  /// Applies `options`; sizes that are not positive and a DragTime <= 20 keep their old
  /// values. Repaints.
  void SetOptions(const TViewOptions& options);
  TEditMode EditMode() const { return editMode_; }
  /// Ends any construction in progress and hands the pointer to the tool of `mode`.
  void SetEditMode(TEditMode mode);

  // --- zoom ---
  void ZoomIn();
  void ZoomOut();
  /// Fits the nodes (at least two) with a 5 % border, then zooms out twice.
  void ZoomExtents();
  /// Shows the rectangle x1 <= x2, y1 <= y2 (m) with its lower-left corner at the
  /// control's lower-left corner; a point rectangle does nothing.
  void ZoomWindow(double x1, double y1, double x2, double y2);

  // --- picking and selection ---
  struct NodeHit {
    TNode* node = nullptr;
    int distance = -1;  ///< rounded pixel distance, -1 without nodes
  };
  NodeHit NearestNode(double x, double y) const;
  TEdge* EdgeAt(double x, double y) const;
  TVemtoSurface* SurfaceAt(double x, double y) const;
  /// Selected objects in order of selection; an object may appear more than once.
  const QList<TNode*>& SelectedNodes() const { return selNodes_; }
  const QList<TEdge*>& SelectedEdges() const { return selEdges_; }
  const QList<TVemtoSurface*>& SelectedSurfaces() const { return selSurfaces_; }
  const QList<TNode*>& PickedNodes() const { return pickedNodes_; }
  const QList<TEdge*>& PickedEdges() const { return pickedEdges_; }
  /// Empties the selection lists (no event; selectionEdited follows).
  void ClearSelection();
  /// Replaces the selection lists (for a selection made elsewhere); repaints, emits
  /// nothing.
  void SetSelectedObjects(const QList<TNode*>& nodes, const QList<TEdge*>& edges,
                          const QList<TVemtoSurface*>& surfaces);
  /// Selection as after a click at model point (x, y) in select mode.
  void SelectAt(double x, double y);
  /// Appends the objects inside the model rectangle to the selection.
  void SelectInRect(double x1, double y1, double x2, double y2);

  // --- pictures ---
  /// The model picture as painted (background, grid, axes, geometry, selection).
  QImage Picture();
  /// The geometry alone as an SVG document of the control's size.
  QByteArray GeometrySvg();
  /// Puts the geometry on the clipboard as SVG and as a bitmap.
  void CopyToClipboard();
  /// Milliseconds of the last full rebuild of the cached picture.
  double LastRenderMs() const { return lastRenderMs_; }

  // --- what the host provides (each optional) ---
  /// Create a node at (x, y); true when the host created it.
  std::function<bool(double x, double y)> OnCreateNode;
  /// Create a line from the two nodes; true when created.
  std::function<bool(const QList<TNode*>& nodes)> OnCreateLine;
  /// Create a curve from start, middle and end node; true when created.
  std::function<bool(const QList<TNode*>& nodes)> OnCreateCurve;
  /// Create a surface from four edges in picking order; true when created.
  std::function<bool(const QList<TEdge*>& edges)> OnCreateSurface;
  /// Move `node` to (x, y) (the end of a drag).
  std::function<void(TNode* node, double x, double y)> OnMoveNode;
  /// Draws an owner-drawn (infinite-element) surface instead of filling its outline.
  std::function<void(QPainter& painter, const QPolygon& outline, TVemtoSurface* surface)>
      OnDrawSurface;
  /// The fill of a surface (default: SurfaceColor).
  std::function<QColor(const TVemtoSurface& surface)> SurfaceColorOf;
  /// Drawn after the background, and after everything else.
  std::function<void(QPainter&painter, const QRect&rect)> OnDrawBefore, OnDrawAfter;
  /// A message for the user ("Nodes not within snap distance!").
  std::function<void(const QString& text)> OnMessage;

  // --- for the tools ---
  /// Pixel of the pointer after grid rounding.
  QPoint SnappedPixel(QPoint pixel) const;
  /// Picks `node` for a line or curve (null: restart the construction).
  void PickNode(TNode* node);
  void PickEdge(TEdge* edge);
  void ClearPicks();
  /// Moves the origin during a pan without redrawing the model: the cached picture is
  /// shown shifted until EndPan.
  void PanTo(double origoX, double origoY);
  /// Ends a pan: the next paint draws the model at the new origin.
  void EndPan();
  /// Origin at the last press.
  QPointF OrigoAtPress() const { return origoAtPress_; }
  /// Drops the cached picture; the next paint rebuilds it.
  void Invalidate();
  /// The drag timer: true once the button has been held for DragTime ms.
  bool LongPress() const { return longPress_; }

 signals:
  /// Pointer position in model coordinates (grid-rounded when snapping).
  void coordinate(double x, double y);
  /// After a selection click: the click point and the selection lists.
  void selected(double x, double y);
  /// The selection was emptied by a click on empty space.
  void deselected();
  /// The selection lists changed through the view (click, rectangle, drag, pan, clear).
  void selectionEdited();

 protected:
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;

 private:
  void DocumentChanged(ObjectKind kind, const ObjectList& objects, bool removed);
  void RenderPicture(QPainter& painter, bool withBackground, bool withSelection);
  void DrawGrid(QPainter& painter);
  void DrawGeometry(QPainter& painter);
  void DrawSelection(QPainter& painter);
  void DrawEdgeShape(QPainter& painter, TEdge& edge);
  QPolygon SurfaceOutline(TVemtoSurface& surface) const;
  void DrawNumberCircle(QPainter& painter, QPoint centre, const QString& text, QColor color);
  bool InGeometryMode() const { return options_.ViewMode == vmGeometry; }

  ProjectDocument* doc_ = nullptr;
  double origoX_ = -1.0, origoY_ = -1.0, scale_ = 50.0, gridSize_ = 1.0;
  TViewOptions options_;
  TEditMode editMode_ = emSelect;
  std::vector<std::unique_ptr<TViewTool>> tools_;  // by edit mode, null where none
  TViewTool* tool_ = nullptr;

  QList<TNode*> selNodes_, pickedNodes_;
  QList<TEdge*> selEdges_, pickedEdges_;
  QList<TVemtoSurface*> selSurfaces_;
  std::vector<QPolygon> regions_;  // one per surface, pixel outline of the last paint

  void EnsureRegions();
  TPointer Pointer(QPoint pixel) const;

  QImage cache_;
  bool cacheValid_ = false;
  bool regionsValid_ = false;
  double cacheOrigoX_ = 0.0, cacheOrigoY_ = 0.0;
  QPoint panOffset_;
  double lastRenderMs_ = 0.0;

  QTimer dragTimer_;
  bool buttonDown_ = false, longPress_ = false;
  QPoint pressPixel_, currentPixel_;
  QPointF origoAtPress_;
};

}  // namespace vemto
