#include "TfrmGeometry.h"

#include <QKeyEvent>
#include <QLocale>
#include <QVBoxLayout>
#include <cstring>

#include "DocumentCommands.h"
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

}  // namespace

bool EdgesFormClosedChain(const QList<TEdge*>& edges) {
  if (edges.size() != 4) return false;
  for (int i = 0; i < 4; ++i)
    if (!ShareEndNode(edges[i], edges[(i + 1) % 4])) return false;
  return true;
}

TfrmGeometry::TfrmGeometry(ProjectDocument& document, TUserDialogs& dialogs, QWidget* parent)
    : TfrmDocument(document, parent), dialogs_(dialogs), fmvWorkSpace_(new TFemView2D(this)) {
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
  connect(fmvWorkSpace_, &TFemView2D::coordinate, this, &TfrmGeometry::coordinate);
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
  auto surface = std::make_unique<TVemtoSurface>(edges[0], edges[1], edges[2], edges[3]);
  surface->Thickness = -1.0;
  surface->ElementType = static_cast<std::uint8_t>(choice.ElementType);
  surface->InfiniteFlag = choice.ElementType != 0 ? 1 : 0;
  Document().Push(
      new CreateSurfaceCommand(Document(), std::move(surface), choice.Columns, choice.Rows));
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
  QString text = QLocale::c().toString(fmvWorkSpace_->GridSize(), 'g', 15);
  if (!dialogs_.AskText(this, QStringLiteral("Set grid size"), QStringLiteral("Grid spacing (m):"),
                        text))
    return;
  bool ok = false;
  const double size = QLocale::c().toDouble(text.trimmed(), &ok);
  if (ok) fmvWorkSpace_->SetGridSize(size);
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
