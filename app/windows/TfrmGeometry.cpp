#include "TfrmGeometry.h"

#include <QKeyEvent>
#include <QMainWindow>
#include <QPainter>
#include <QVBoxLayout>
#include <cmath>
#include <cstring>
#include <numbers>

#include "DocumentCommands.h"
#include "GeometryCommands.h"
#include "NumberText.h"
#include "TfrmSurfProp.h"
#include "UserDialogs.h"

namespace vemto {

namespace {

constexpr int kNewEdgeDivisions = 7;

bool ShareEndNode(const TEdge* a, const TEdge* b) {
  if (a == nullptr || b == nullptr) return false;
  for (TNode* p : {a->FirstNode(), a->LastNode()})
    for (TNode* q : {b->FirstNode(), b->LastNode()})
      if (p != nullptr && p == q) return true;
  return false;
}

// Direction of (dx, dy) in [0, 2pi) in pixel coordinates.
double PixelAngle(QPointF d) {
  const double a = std::atan2(d.y(), d.x());
  return a < 0.0 ? a + 2 * std::numbers::pi : a;
}

QPointF Unit(QPointF from, QPointF to) {
  const QPointF d = to - from;
  const double length = std::hypot(d.x(), d.y());
  return length > 0.0 ? d / length : QPointF();
}

// The unit vector from P to Q turned by +90 degrees in pixel coordinates.
QPointF Normal(QPointF p, QPointF q) {
  const QPointF u = Unit(p, q);
  return {-u.y(), u.x()};
}

// 5 / tan(beta / 2) for the corner angle beta at `corner` between the two directions.
double CornerOffset(QPointF corner, QPointF first, QPointF second) {
  const double beta = PixelAngle(first - corner) - PixelAngle(second - corner);
  const double t = std::tan(beta / 2);
  return std::abs(t) > 1e-9 ? 5.0 / t : 0.0;
}

}  // namespace

void DrawInfiniteSurfaceBand(QPainter& painter, const std::array<QPointF, 4>& corners,
                             int elementType) {
  const auto [a, b, c, d] = corners;
  QPolygonF band;
  if (elementType == 2) {  // three-node kind: along edges 3 and 0, around the finite corner A
    band << b << a << d << d + 5 * Normal(a, d)
         << a + CornerOffset(a, b, d) * Unit(a, d) + 5 * Normal(a, d) << b + 5 * Normal(b, a) << b;
  } else {  // five-node kind: along edges 3, 0 and 1, open across edge 2
    band << a << b << c << d << c + 5 * Normal(c, b)
         << b + CornerOffset(b, c, a) * Unit(b, a) + 5 * Normal(b, a)
         << a + CornerOffset(a, b, d) * Unit(a, d) + 5 * Normal(a, d) << d - 5 * Normal(d, a) << d;
  }
  for (QPointF& p : band) p = QPointF(std::nearbyint(p.x()), std::nearbyint(p.y()));
  painter.setPen(Qt::NoPen);
  painter.setBrush(QColor(192, 192, 192));
  painter.drawPolygon(band, Qt::OddEvenFill);
}

bool EdgesFormClosedChain(const QList<TEdge*>& edges) {
  if (edges.size() != 4) return false;
  for (int i = 0; i < 4; ++i)
    if (!ShareEndNode(edges[i], edges[(i + 1) % 4])) return false;
  // Sharing nodes is not enough: four edges from one node, or two edges picked twice,
  // share them too but bound no quadrilateral the mesher could fill.
  return EdgeChainProblem({edges[0], edges[1], edges[2], edges[3]}).empty();
}

TfrmGeometry::TfrmGeometry(ProjectDocument& document, TUserDialogs& dialogs, QWidget* parent)
    : TfrmDocument(document, parent),
      dialogs_(dialogs),
      fmvWorkSpace_(new TFemView2D(this)),
      frmSurfProp_(new TfrmSurfProp(document, dialogs, this)) {
  setObjectName(QStringLiteral("frmGeometry"));
  setWindowTitle(QStringLiteral("Geometry"));
  fmvWorkSpace_->setObjectName(QStringLiteral("fmvWorkSpace"));
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(fmvWorkSpace_);

  TViewOptions o = fmvWorkSpace_->Options();
  o.DrawElementArrows = false;
  o.DrawDivision = false;
  o.DrawOrientation = false;
  o.GridMode = gmLines;
  o.LineColor = QColor(255, 0, 0);
  o.AxisColor = QColor(255, 0, 0);
  o.SelectColor = QColor(0, 0, 255);
  o.ElementColor = QColor(128, 128, 128);
  o.SnapToGrid = o.DrawGrid = o.DrawElementText = o.DrawNodeText = true;
  o.Color = Qt::white;
  fmvWorkSpace_->SetOptions(o);
  QFont font(QStringLiteral("Tahoma"));
  font.setPixelSize(9);
  fmvWorkSpace_->setFont(font);
  fmvWorkSpace_->SetOrigo(-1.0, -1.0);
  fmvWorkSpace_->SetScale(50.0);
  fmvWorkSpace_->SetGridSize(0.2);
  fmvWorkSpace_->SetDocument(&document);

  fmvWorkSpace_->OnCreateNode = [this](double x, double y) { return CreateNode(x, y); };
  fmvWorkSpace_->OnCreateLine = [this](const QList<TNode*>& n) { return CreateEdge(n); };
  fmvWorkSpace_->OnCreateCurve = [this](const QList<TNode*>& n) { return CreateEdge(n); };
  fmvWorkSpace_->OnCreateSurface = [this](const QList<TEdge*>& e) { return CreateSurface(e); };
  fmvWorkSpace_->OnMoveNode = [this](TNode* n, double x, double y) { MoveNode(n, x, y); };
  fmvWorkSpace_->OnMessage = [this](const QString& text) { dialogs_.ShowMessage(this, text); };
  fmvWorkSpace_->OnDrawSurface = [this](QPainter& painter, const QPolygon&, TVemtoSurface* s) {
    std::array<QPointF, 4> corners;
    const double uv[4][2] = {{0, 0}, {1, 0}, {1, 1}, {0, 1}};
    TVector p;
    for (int k = 0; k < 4; ++k) {
      s->PointAt(p, uv[k][0], uv[k][1]);
      corners[k] = fmvWorkSpace_->WorldToScreen(p.X, p.Y);
    }
    DrawInfiniteSurfaceBand(painter, corners, s->ElementType);
  };
  connect(fmvWorkSpace_, &TFemView2D::coordinate, this, &TfrmGeometry::coordinate);

  // One selection per document: the view's clicks set it, other windows' choices show.
  connect(fmvWorkSpace_, &TFemView2D::selectionEdited, this, &TfrmGeometry::ViewSelectionEdited);
  connect(&document, &ProjectDocument::selectionChanged, this,
          &TfrmGeometry::DocumentSelectionChanged);
  DocumentSelectionChanged(ObjectKind::Surface, nullptr);
  fmvWorkSpace_->installEventFilter(this);
}

void TfrmGeometry::ViewSelectionEdited() {
  if (followingDocument_) return;
  const TFemView2D& v = *fmvWorkSpace_;
  auto list = [](const auto& objects) {
    ObjectList out;
    for (auto* p : objects) out.push_back(p);
    return out;
  };
  ProjectDocument& doc = Document();
  doc.SetSelection(ObjectKind::Node, list(v.SelectedNodes()), this);
  doc.SetSelection(ObjectKind::Edge, list(v.SelectedEdges()), this);
  doc.SetSelection(ObjectKind::Surface, list(v.SelectedSurfaces()), this);
  const auto& surfaces = v.SelectedSurfaces();
  frmSurfProp_->SetSurface(surfaces.isEmpty() ? nullptr : surfaces.front());
}

void TfrmGeometry::DocumentSelectionChanged(ObjectKind kind, QObject* source) {
  if (kind == ObjectKind::Surface) {
    const ObjectList surfaces = Document().Selection(ObjectKind::Surface);
    frmSurfProp_->SetSurface(surfaces.isEmpty() ? nullptr
                                                : static_cast<TVemtoSurface*>(surfaces.front()));
  }
  if (source == this) return;
  if (kind != ObjectKind::Node && kind != ObjectKind::Edge && kind != ObjectKind::Surface) return;
  const ProjectDocument& doc = Document();
  followingDocument_ = true;
  fmvWorkSpace_->SetSelectedObjects(ObjectsAs<TNode>(doc.Selection(ObjectKind::Node)),
                                    ObjectsAs<TEdge>(doc.Selection(ObjectKind::Edge)),
                                    ObjectsAs<TVemtoSurface>(doc.Selection(ObjectKind::Surface)));
  followingDocument_ = false;
}

void TfrmGeometry::ShowSurfaceProperties() {
  const ObjectList surfaces = Document().Selection(ObjectKind::Surface);
  frmSurfProp_->SetSurface(surfaces.isEmpty() ? nullptr
                                              : static_cast<TVemtoSurface*>(surfaces.front()));
  if (!frmSurfProp_->isVisible()) {
    frmSurfProp_->adjustSize();
    // At the top right of the main window's working area.
    QWidget* top = window();
    QWidget* area = top;
    if (auto* main = qobject_cast<QMainWindow*>(top); main != nullptr && main->centralWidget())
      area = main->centralWidget();
    const QPoint corner = area->mapToGlobal(QPoint(area->width(), 0));
    frmSurfProp_->move(corner.x() - frmSurfProp_->frameGeometry().width(), corner.y());
  }
  frmSurfProp_->show();
  frmSurfProp_->raise();
}

void TfrmGeometry::ToggleSurfaceProperties() {
  if (frmSurfProp_->isVisible())
    frmSurfProp_->hide();
  else
    ShowSurfaceProperties();
}

void TfrmGeometry::ZoomExtentsOnOpen() {
  fmvWorkSpace_->ZoomExtents();
  autoFit_ = true;
  fitX_ = fmvWorkSpace_->OrigoX();
  fitY_ = fmvWorkSpace_->OrigoY();
  fitScale_ = fmvWorkSpace_->Scale();
}

bool TfrmGeometry::eventFilter(QObject* watched, QEvent* event) {
  if (watched == fmvWorkSpace_ && autoFit_) {
    const TFemView2D& v = *fmvWorkSpace_;
    // Exact comparisons: the values are the ones stored by the last fit.
    const bool untouched = v.OrigoX() == fitX_ && v.OrigoY() == fitY_ && v.Scale() == fitScale_;
    if (!untouched || event->type() == QEvent::MouseButtonPress || event->type() == QEvent::Wheel)
      autoFit_ = false;
    else if (event->type() == QEvent::Resize)
      ZoomExtentsOnOpen();
  }
  return TfrmDocument::eventFilter(watched, event);
}

void TfrmGeometry::SetEditMode(TEditMode mode) {
  editMode_ = mode;
  fmvWorkSpace_->SetEditMode(mode);
}

bool TfrmGeometry::CreateNode(double x, double y) {
  Document().Push(new CreateNodeCommand(Document(), x, y));
  return true;
}

bool TfrmGeometry::CreateEdge(const QList<TNode*>& nodes) {
  std::unique_ptr<TEdge> edge;
  if (nodes.size() == 2)
    edge = std::make_unique<TEdgeLine>(nodes[0], nodes[1]);
  else if (nodes.size() == 3)
    edge = std::make_unique<TEdgeCurve>(nodes[0], nodes[1], nodes[2]);
  else
    return false;
  edge->Divisions = kNewEdgeDivisions;
  Document().Push(new CreateEdgeCommand(Document(), std::move(edge)));
  return true;
}

bool TfrmGeometry::CreateSurface(const QList<TEdge*>& edges) {
  if (!EdgesFormClosedChain(edges)) {
    dialogs_.ShowMessage(this, QStringLiteral("Curves must be entered in order."));
    return false;
  }
  TNewSurfaceChoice choice;
  if (!dialogs_.AskNewSurface(this, choice)) return false;
  // The new counts reach every surface that shares an edge with this one, and on
  // through their opposite edges, so no surface is left with unequal opposite edges.
  const std::array<TEdge*, 4> taken{edges[0], edges[1], edges[2], edges[3]};
  const auto plan = PlanDivisions(Document().Model(),
                                  SurfaceDivisions(taken, choice.Columns, choice.Rows), &taken);
  if (!plan) {
    dialogs_.ShowMessage(this, kDivisionConflictMessage);
    return false;
  }
  auto surface = std::make_unique<TVemtoSurface>(edges[0], edges[1], edges[2], edges[3]);
  surface->Thickness = -1.0;
  surface->ElementType = static_cast<std::uint8_t>(choice.ElementType);
  surface->InfiniteFlag = choice.ElementType != 0 ? 1 : 0;
  QUndoStack& stack = Document().UndoStack();
  stack.beginMacro(QStringLiteral("Create surface"));
  Document().Push(new SetDivisionsCommand(Document(), *plan));
  Document().Push(new CreateSurfaceCommand(Document(), std::move(surface)));
  stack.endMacro();
  return true;
}

void TfrmGeometry::MoveNode(TNode* node, double x, double y) {
  Document().Push(new MoveNodeCommand(Document(), node, x, y, ++dragCount_));
}

void TfrmGeometry::DeleteSelection() {
  TFemView2D& view = *fmvWorkSpace_;
  emit view.deselected();
  auto* command = new DeleteObjectsCommand(Document(), view.SelectedNodes(), view.SelectedEdges(),
                                           view.SelectedSurfaces());
  const bool refused = command->Refused();
  view.ClearSelection();
  if (command->Empty())
    delete command;
  else
    Document().Push(command);
  if (refused)
    dialogs_.ShowMessage(
        this, QStringLiteral("Some of the entities where connected and was not deleted!"));
  view.update();
}

void TfrmGeometry::Copy() {
  fmvWorkSpace_->CopyToClipboard();
}

void TfrmGeometry::ShowGridProperties() {
  QString text = QString::fromStdString(FormatG(fmvWorkSpace_->GridSize()));
  if (!dialogs_.AskGridSize(this, text)) return;
  // Text that is not a number leaves the grid as it is; <= 0 becomes 1 m.
  if (const auto size = ParseReal(text.toStdString())) fmvWorkSpace_->SetGridSize(*size);
}

TGeometryViewState TfrmGeometry::SaveViewState() const {
  TGeometryViewState state{};
  const TFemView2D& v = *fmvWorkSpace_;
  const double values[4] = {v.GridSize(), v.OrigoX(), v.OrigoY(), v.Scale()};
  std::memcpy(state.data(), values, sizeof values);
  const TViewOptions& o = v.Options();
  state[32] = o.SnapToGrid ? 1 : 0;
  state[33] = o.DrawGrid ? 1 : 0;
  state[34] = o.DrawElementText ? 1 : 0;
  state[35] = o.DrawNodeText ? 1 : 0;
  return state;
}

void TfrmGeometry::RestoreViewState(const TGeometryViewState& state) {
  double values[4];
  std::memcpy(values, state.data(), sizeof values);
  TFemView2D& v = *fmvWorkSpace_;
  v.SetGridSize(values[0]);
  v.SetOrigo(values[1], values[2]);
  v.SetScale(values[3]);
  TViewOptions o = v.Options();
  o.SnapToGrid = state[32] != 0;
  o.DrawGrid = state[33] != 0;
  o.DrawElementText = state[34] != 0;
  o.DrawNodeText = state[35] != 0;
  v.SetOptions(o);
}

void TfrmGeometry::keyPressEvent(QKeyEvent* event) {
  if (event->key() == Qt::Key_Delete) {
    DeleteSelection();
    return;
  }
  TfrmDocument::keyPressEvent(event);
}

}  // namespace vemto
