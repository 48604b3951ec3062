#include "TfrmBoundaryConds.h"

#include <QAction>
#include <QKeyEvent>
#include <QLabel>
#include <QLocale>
#include <QPainter>
#include <QPainterPath>
#include <QPainterPathStroker>
#include <QToolBar>
#include <QToolButton>
#include <QToolTip>
#include <QVBoxLayout>
#include <cstring>

#include "ConditionCommands.h"
#include "TfrmConditions.h"
#include "TfrmGeometry.h"
#include "UserDialogs.h"
#include "VemtoLogic.h"

namespace vemto {

namespace {

constexpr int kEdgeLabelStep = 18;     // pixels between stacked edge labels
constexpr int kSurfaceLabelStep = 15;  // pixels between stacked surface labels
const QColor kMarkColor(255, 0, 0);
const QColor kOtherPipeColor(128, 128, 128);
const QColor kExposedColor(255, 140, 0, 160);
constexpr int kExposedWidth = 7;  // pixels, the band along exposed faces
const QString kExposedAdvice = QStringLiteral(
    "Marked in orange: give these edges a temperature condition that acts from the removal "
    "on, or they stay adiabatic.");

const char* const kTypeButtons[] = {"btnTemperature",  "btnHeatflow", "btnPipe",
                                    "btnDisplacement", "btnLoad",     "btnSpring"};
const char* const kKindButtons[] = {"btnNodal", "btnEdge", "btnSurface"};
const char* const kCaptions[] = {
    "Boundary conditions - Temperature", "Boundary conditions - Heatflow",
    "Boundary conditions - Pipeflow",    "Boundary conditions - Displacement",
    "Boundary conditions - Loading",     "Boundary conditions - Springs"};

// The outline of a surface through its four sides, ten points each.
QPolygon Outline(const TFemView2D& view, TVemtoSurface& surface) {
  QPolygon polygon;
  TVector p;
  const double uv[5][2] = {{0, 0}, {1, 0}, {1, 1}, {0, 1}, {0, 0}};
  for (int side = 0; side < 4; ++side)
    for (int k = 0; k < 10; ++k) {
      const double t = k / 10.0;
      surface.PointAt(p, uv[side][0] + t * (uv[side + 1][0] - uv[side][0]),
                      uv[side][1] + t * (uv[side + 1][1] - uv[side][1]));
      polygon << view.WorldToScreen(p.X, p.Y);
    }
  return polygon;
}

// The edge as a pixel path: a straight line, or a curve through eleven points.
QPainterPath EdgePath(const TFemView2D& view, TEdge& edge) {
  QPainterPath path;
  TNode* first = edge.FirstNode();
  TNode* last = edge.LastNode();
  if (first == nullptr || last == nullptr) return path;
  path.moveTo(view.WorldToScreen(first->Coord->X, first->Coord->Y));
  if (edge.NodeCount() == 2) {
    path.lineTo(view.WorldToScreen(last->Coord->X, last->Coord->Y));
    return path;
  }
  TVector p;
  for (int k = 1; k <= 10; ++k) {
    edge.PointAt(p, k * 0.1);
    path.lineTo(view.WorldToScreen(p.X, p.Y));
  }
  return path;
}

// Where the labels of an edge's positions start: the middle of a straight edge, the
// middle node of a curved one.
QPoint EdgeAnchor(const TFemView2D& view, TEdge& edge) {
  TNode* first = edge.FirstNode();
  TNode* last = edge.LastNode();
  if (edge.NodeCount() != 2)
    if (TNode* middle = edge.GetNode(1))
      return view.WorldToScreen(middle->Coord->X, middle->Coord->Y);
  if (first == nullptr || last == nullptr) return {};
  return view.WorldToScreen((first->Coord->X + last->Coord->X) / 2,
                            (first->Coord->Y + last->Coord->Y) / 2);
}

}  // namespace

int ConditionTypeOf(const TVemtoCondition* c) {
  if (dynamic_cast<const TVemtoTempCondition*>(c)) return ctTemperature;
  if (dynamic_cast<const TVemtoFlowCondition*>(c)) return ctHeatFlow;
  if (dynamic_cast<const TVemtoPipeCondition*>(c)) return ctPipe;
  if (dynamic_cast<const TVemtoDisplCondition*>(c)) return ctDisplacement;
  if (dynamic_cast<const TVemtoLoadCondition*>(c)) return ctLoad;
  if (dynamic_cast<const TVemtoSpringCondition*>(c)) return ctSpring;
  return 0;
}

bool TPosRegion::Contains(QPoint pixel) const {
  return Polygon.containsPoint(pixel, Qt::OddEvenFill);
}

TfrmBoundaryConds::TfrmBoundaryConds(ProjectDocument& document, TUserDialogs& dialogs,
                                     QWidget* parent)
    : TfrmDocument(document, parent),
      dialogs_(dialogs),
      fmvWorkSpace_(new TFemView2D(this)),
      btnConditions_(new QToolButton(fmvWorkSpace_)),
      lblExposed_(new QLabel(this)) {
  setObjectName(QStringLiteral("frmBoundaryConds"));
  setWindowTitle(QStringLiteral("Boundary condition - Temperature"));
  fmvWorkSpace_->setObjectName(QStringLiteral("fmvWorkSpace"));
  lblExposed_->setObjectName(QStringLiteral("lblExposed"));
  lblExposed_->setWordWrap(true);
  lblExposed_->setStyleSheet(
      QStringLiteral("QLabel { background: #fff0d8; color: #603000; padding: 3px; }"));
  lblExposed_->hide();
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);
  layout->addWidget(fmvWorkSpace_, 1);
  layout->addWidget(lblExposed_);

  TViewOptions o = fmvWorkSpace_->Options();
  o.DrawElementText = false;
  o.SnapToGrid = false;
  o.AllowEdit = false;
  o.ViewMode = vmSelect;
  o.DrawDivision = false;
  o.DrawOrientation = false;
  o.GridColor = QColor(128, 128, 128);
  o.SelectColor = QColor(0, 0, 255);
  o.ElementColor = QColor(0, 0, 0);
  o.LoadModeColor = QColor(0, 0, 0);
  o.Color = Qt::white;
  fmvWorkSpace_->SetOptions(o);
  fmvWorkSpace_->SetOrigo(-1.0, -1.0);
  fmvWorkSpace_->SetScale(80.0);
  fmvWorkSpace_->SetGridSize(0.2);
  fmvWorkSpace_->SetDocument(&document);
  fmvWorkSpace_->OnDrawAfter = [this](QPainter& painter, const QRect&) { DrawPositions(painter); };
  // Infinite elements as the geometry window draws them: a band along their finite sides.
  fmvWorkSpace_->OnDrawSurface = [this](QPainter& painter, const QPolygon&, TVemtoSurface* s) {
    std::array<QPointF, 4> corners;
    const double uv[4][2] = {{0, 0}, {1, 0}, {1, 1}, {0, 1}};
    TVector p;
    for (int k = 0; k < 4; ++k) {
      s->PointAt(p, uv[k][0], uv[k][1]);
      corners[std::size_t(k)] = fmvWorkSpace_->WorldToScreen(p.X, p.Y);
    }
    DrawInfiniteSurfaceBand(painter, corners, s->ElementType);
  };
  fmvWorkSpace_->OnMessage = [this](const QString& text) { dialogs_.ShowMessage(this, text); };
  connect(fmvWorkSpace_, &TFemView2D::selected, this, &TfrmBoundaryConds::Clicked);
  fmvWorkSpace_->installEventFilter(this);

  btnConditions_->setObjectName(QStringLiteral("btnConditions"));
  btnConditions_->setText(QStringLiteral("Conditions"));
  btnConditions_->setToolTip(QStringLiteral("Edit conditions"));
  btnConditions_->move(2, 2);
  connect(btnConditions_, &QToolButton::clicked, this, &TfrmBoundaryConds::ShowConditionList);

  frmConditions_ = new TfrmConditions(document, dialogs, *this);
  frmPipes_ = new TfrmPipes(document, dialogs, *this);

  connect(&document, &ProjectDocument::objectsRemoved, this, &TfrmBoundaryConds::DocumentRemoved);
  for (auto signal : {&ProjectDocument::objectsAdded, &ProjectDocument::objectsChanged})
    connect(&document, signal, this, [this](ObjectKind, const ObjectList&) {
      UpdateExposedHint();
      Repaint();
    });
  UpdateExposedHint();
}

TfrmBoundaryConds::~TfrmBoundaryConds() = default;

void TfrmBoundaryConds::BindToolbar(QToolBar* toolbar) {
  for (QAction* action : toolbar->actions())
    if (!action->objectName().isEmpty()) buttons_[action->objectName()] = action;
  for (int type = ctTemperature; type <= ctSpring; ++type)
    if (QAction* b = buttons_[QString::fromLatin1(kTypeButtons[type - 1])]) {
      connect(b, &QAction::triggered, this, [this, type] { SetConditionType(type); });
      if (b->isChecked()) type_ = type;
    }
  for (int kind = pkNodal; kind <= pkSurface; ++kind)
    if (QAction* b = buttons_[QString::fromLatin1(kKindButtons[kind])])
      connect(b, &QAction::triggered, this, [this, kind] { SetPositionKind(kind); });
  if (QAction* b = buttons_[QStringLiteral("btnBCSelect")])
    connect(b, &QAction::triggered, this, [this](bool down) {
      if (down) SelectLabels();
    });
  if (QAction* b = buttons_[QStringLiteral("btnSnapElementNode")])
    connect(b, &QAction::triggered, this, [this, b] {
      b->setChecked(false);  // a command, not a state
      SnapSelectedPositions();
    });
  SetConditionType(type_);
}

void TfrmBoundaryConds::UpdateToolbar() {
  auto button = [this](const char* name) -> QAction* {
    const auto it = buttons_.find(QString::fromLatin1(name));
    return it != buttons_.end() ? it->second.data() : nullptr;
  };
  if (QAction* b = button(kTypeButtons[type_ - 1])) b->setChecked(true);
  const bool mechanical = type_ >= ctDisplacement;
  const bool enabled[3] = {true, type_ != ctPipe, type_ != ctPipe && !mechanical};
  for (int kind = pkNodal; kind <= pkSurface; ++kind)
    if (QAction* b = button(kKindButtons[kind])) {
      b->setEnabled(enabled[kind]);
      if (kind == kind_) b->setChecked(true);
    }
  if (QAction* b = button("btnBCSelect")) b->setChecked(!placing_);
}

void TfrmBoundaryConds::SetConditionType(int type) {
  if (type < ctTemperature || type > ctSpring) return;
  type_ = type;
  kind_ = type == ctPipe ? pkNodal : pkEdge;
  setWindowTitle(QString::fromLatin1(kCaptions[type - 1]));
  condition_ = nullptr;
  pipe_ = nullptr;
  frmConditions_->SetConditionType(type);
  frmPipes_->SetCondition(nullptr);
  if (type == ctPipe && frmConditions_->isVisible()) {
    frmPipes_->move(frmConditions_->frameGeometry().bottomLeft() + QPoint(0, 2));
    frmPipes_->show();
  } else if (type != ctPipe) {
    frmPipes_->hide();
  }
  UpdateToolbar();
  emit conditionTypeChanged(type);
  Repaint();
}

void TfrmBoundaryConds::SetPositionKind(int kind) {
  kind_ = std::clamp(kind, int(pkNodal), int(pkSurface));
  UpdateToolbar();
}

void TfrmBoundaryConds::ChooseCondition(TVemtoCondition* condition) {
  condition_ = condition;
  if (condition != nullptr) {
    placing_ = true;
    SetEditMode(emSelect);
  }
  if (pipe_ != nullptr && (condition == nullptr || pipe_->Condition != condition)) pipe_ = nullptr;
  frmPipes_->SetCondition(condition);
  UpdateToolbar();
  Repaint();
}

void TfrmBoundaryConds::ChoosePipe(TVemtoPipe* pipe) {
  pipe_ = pipe;
  Repaint();
}

void TfrmBoundaryConds::SetPlacing(bool on) {
  placing_ = on;
  if (on) SetEditMode(emSelect);
  UpdateToolbar();
}

void TfrmBoundaryConds::SelectLabels() {
  frmConditions_->ChooseRow(-1);
  condition_ = nullptr;
  pipe_ = nullptr;
  frmPipes_->SetCondition(nullptr);
  placing_ = false;
  SetEditMode(emSelect);
  UpdateToolbar();
  Repaint();
}

void TfrmBoundaryConds::SetEditMode(TEditMode mode) {
  if (mode != emSmoothPan) editMode_ = mode;
  fmvWorkSpace_->SetEditMode(mode);
}

void TfrmBoundaryConds::ShowGridProperties() {
  QString text = QLocale::c().toString(fmvWorkSpace_->GridSize(), 'g', 15);
  if (!dialogs_.AskText(this, QStringLiteral("Set grid size"), QStringLiteral("Grid spacing (m):"),
                        text))
    return;
  bool ok = false;
  const double size = QLocale::c().toDouble(text.trimmed(), &ok);
  if (ok) fmvWorkSpace_->SetGridSize(size);
}

void TfrmBoundaryConds::ShowConditionList() {
  QWidget* main = window();
  const QRect frame = main->frameGeometry();
  frmConditions_->move(frame.right() - 8 - frmConditions_->frameGeometry().width(),
                       main->mapToGlobal(QPoint(0, 0)).y() + 60);
  frmConditions_->show();
  if (type_ == ctPipe) {
    frmPipes_->move(frmConditions_->frameGeometry().bottomLeft() + QPoint(0, 2));
    frmPipes_->show();
  }
}

// --- clicks -----------------------------------------------------------------------------

void TfrmBoundaryConds::Clicked(double x, double y) {
  if (placing_)
    Place(x, y);
  else
    SelectLabelAt(x, y);
}

void TfrmBoundaryConds::SelectLabelAt(double x, double y) {
  const QPoint pixel = fmvWorkSpace_->WorldToScreen(x, y);
  const auto hit = std::find_if(labels_.begin(), labels_.end(),
                                [pixel](const TPosRegion& r) { return r.Contains(pixel); });
  if (hit == labels_.end())
    selected_.clear();
  else if (!selected_.contains(hit->Position))
    selected_.push_back(hit->Position);
  fmvWorkSpace_->ClearSelection();
  Repaint();
}

bool TfrmBoundaryConds::DivisionPointAt(double x, double y, double& px, double& py) const {
  TVemtoSurface* surface = fmvWorkSpace_->SurfaceAt(x, y);
  if (surface == nullptr) return false;  // no division points outside the section
  px = x;
  py = y;
  NearestDivisionPoint(*surface, x, y, px, py);
  return true;
}

void TfrmBoundaryConds::Place(double x, double y) {
  if (condition_ == nullptr) {
    dialogs_.ShowMessage(this,
                         QStringLiteral("A Condition must be selected to create a position."));
    return;
  }
  TFemView2D& view = *fmvWorkSpace_;
  std::unique_ptr<TVemtoPosition> position;
  if (kind_ == pkEdge && !view.SelectedEdges().isEmpty()) {
    position = std::make_unique<TVemtoEdgePos>(view.SelectedEdges().front());
  } else if (kind_ == pkSurface && !view.SelectedSurfaces().isEmpty()) {
    position = std::make_unique<TVemtoSurfacePos>(view.SelectedSurfaces().front());
  } else if (kind_ == pkNodal) {
    const bool pipe = ConditionTypeOf(condition_) == ctPipe;
    const QPointF at = view.SnapIfEnabled(QPointF(x, y));
    double px = 0.0, py = 0.0;
    if (pipe && pipe_ == nullptr)
      dialogs_.ShowMessage(this, QStringLiteral("No pipe selected"));
    else if (DivisionPointAt(at.x(), at.y(), px, py) && pipe)
      position = std::make_unique<TVemtoPipePos>(px, py, pipe_);
    else if (DivisionPointAt(at.x(), at.y(), px, py))
      position = std::make_unique<TVemtoNodalPos>(px, py);
  }
  if (position != nullptr) {
    if (dynamic_cast<TVemtoPipePos*>(position.get()) == nullptr) position->Condition = condition_;
    Document().Push(new PlacePositionCommand(Document(), std::move(position)));
  }
  view.ClearSelection();
  Repaint();
}

void TfrmBoundaryConds::DeleteSelection() {
  if (!selected_.isEmpty()) Document().Push(new DeletePositionsCommand(Document(), selected_));
  selected_.clear();
  Repaint();
}

void TfrmBoundaryConds::SnapSelectedPositions() {
  std::vector<MovePositionsCommand::Move> moves;
  for (TVemtoPosition* p : selected_)
    if (auto* nodal = dynamic_cast<TVemtoNodalPos*>(p)) {
      double px = 0.0, py = 0.0;
      if (DivisionPointAt(nodal->X, nodal->Y, px, py)) moves.push_back({nodal, px, py});
    }
  if (!moves.empty()) Document().Push(new MovePositionsCommand(Document(), std::move(moves)));
  Repaint();
}

void TfrmBoundaryConds::keyPressEvent(QKeyEvent* event) {
  if (event->key() == Qt::Key_Delete) {
    DeleteSelection();
    return;
  }
  TfrmDocument::keyPressEvent(event);
}

void TfrmBoundaryConds::showEvent(QShowEvent* event) {
  TfrmDocument::showEvent(event);
  ShowConditionList();
  Repaint();
}

void TfrmBoundaryConds::hideEvent(QHideEvent* event) {
  frmConditions_->hide();
  frmPipes_->hide();
  TfrmDocument::hideEvent(event);
}

void TfrmBoundaryConds::Copy() {
  fmvWorkSpace_->CopyToClipboard();
}

// --- document changes -------------------------------------------------------------------

void TfrmBoundaryConds::DocumentRemoved(ObjectKind kind, const ObjectList& objects) {
  if (kind == ObjectKind::Position)
    for (void* p : objects) selected_.removeAll(static_cast<TVemtoPosition*>(p));
  if (kind == ObjectKind::Condition && objects.contains(condition_)) ChooseCondition(nullptr);
  if (kind == ObjectKind::Pipe && objects.contains(pipe_)) pipe_ = nullptr;
  UpdateExposedHint();
  Repaint();
}

void TfrmBoundaryConds::UpdateExposedHint() {
  exposed_ = FindExposedFaces(Document().Model());
  QStringList hints;
  for (const TExposedFaces& f : exposed_) hints << QString::fromStdString(ExposedFacesWarning(f));
  lblExposed_->setText(hints.join(QLatin1Char('\n')));
  lblExposed_->setToolTip(kExposedAdvice);
  lblExposed_->setVisible(!hints.isEmpty());
}

QString TfrmBoundaryConds::ExposedHint() const {
  return lblExposed_->text();
}

QString TfrmBoundaryConds::ExposedHintAt(QPoint pixel) const {
  QPainterPathStroker stroker;
  stroker.setWidth(kExposedWidth + 2);  // a little wider than drawn: easier to hit
  QStringList hints;
  for (const TExposedFaces& f : exposed_)
    for (TEdge* e : f.Edges)
      if (stroker.createStroke(EdgePath(*fmvWorkSpace_, *e)).contains(pixel)) {
        hints << QString::fromStdString(ExposedFacesWarning(f));
        break;
      }
  if (hints.isEmpty()) return {};
  return hints.join(QLatin1Char('\n')) + QLatin1Char('\n') + kExposedAdvice;
}

bool TfrmBoundaryConds::eventFilter(QObject* watched, QEvent* event) {
  if (watched == fmvWorkSpace_ && event->type() == QEvent::ToolTip) {
    auto* help = static_cast<QHelpEvent*>(event);
    const QString hint = ExposedHintAt(help->pos());
    if (hint.isEmpty())
      QToolTip::hideText();
    else
      QToolTip::showText(help->globalPos(), hint, fmvWorkSpace_);
    return true;
  }
  return TfrmDocument::eventFilter(watched, event);
}

void TfrmBoundaryConds::Repaint() {
  fmvWorkSpace_->Invalidate();
}

// --- drawing ----------------------------------------------------------------------------

QStringList TfrmBoundaryConds::LabelTexts() const {
  return labelTexts_;
}

// A label sits up and right of its anchor. Where that box would cover a label of another
// anchor, the label goes to the first free place of: left of the anchor, then both sides
// again one box height lower, and so on; labels stacked at one anchor (`group`) keep
// their spacing. Returns the anchor the label was drawn at.
QPoint TfrmBoundaryConds::DrawLabel(QPainter& painter, QPoint anchor, const QString& text,
                                    TVemtoPosition* position, int group) {
  const QFontMetrics fm(painter.font());
  const int w = fm.horizontalAdvance(text), h = fm.height();
  auto boxAt = [w, h](QPoint a) {
    return QRect(QPoint(a.x() + 6, a.y() - 10 - h), QPoint(a.x() + 11 + w, a.y() - 6));
  };
  auto free = [this, group](const QRect& box) {
    const QRect inner = box.adjusted(2, 2, -2, -2);  // touching borders are no overlap
    return std::none_of(labelBoxes_.begin(), labelBoxes_.end(), [&](const auto& placed) {
      return placed.first != group && placed.second.intersects(inner);
    });
  };
  constexpr int kTries = 6;
  for (int k = 0; k < kTries; ++k) {
    const QPoint right = anchor + QPoint(0, k * (h + 6));
    const QPoint left = right - QPoint(w + 17, 0);  // the box ends 6 pixels left of the anchor
    if (free(boxAt(right))) {
      anchor = right;
      break;
    }
    if (free(boxAt(left))) {
      anchor = left;
      break;
    }
  }
  const int x = anchor.x(), y = anchor.y();
  const bool selected = selected_.contains(position);
  // The box covers x + 6 .. x + 10 + w and y - 10 - h .. y - 7; its shadow lies just
  // below and right of it.
  const QRect box(x + 6, y - 10 - h, w + 4, h + 3);
  painter.setPen(QPen(Qt::black, 1));
  painter.setBrush(selected ? QColor(0, 0, 255) : QColor(255, 255, 255));
  painter.drawRect(box);
  painter.setPen(QPen(kOtherPipeColor, 1));
  painter.drawLine(x + 7, y - 6, x + 11 + w, y - 6);
  painter.drawLine(x + 11 + w, y - 6, x + 11 + w, y - 10 - h);
  painter.setPen(selected ? Qt::white : Qt::black);
  painter.drawText(x + 8, y - h - 8 + fm.ascent(), text);
  TPosRegion region;
  region.Polygon << QPoint(x + 6, y - 6) << QPoint(x + 6, y - 10 - h)
                 << QPoint(x + 11 + w, y - 10 - h) << QPoint(x + 11 + w, y - 6);
  region.Position = position;
  labels_.push_back(std::move(region));
  labelBoxes_.emplace_back(group, boxAt(anchor));
  labelTexts_ << text;
  return anchor;
}

void TfrmBoundaryConds::DrawPositions(QPainter& painter) {
  labels_.clear();
  labelBoxes_.clear();
  labelTexts_.clear();
  int group = 0;  // one per anchor
  const TVemtoFile& model = Document().Model();
  const TFemView2D& view = *fmvWorkSpace_;
  painter.save();
  painter.setRenderHint(QPainter::Antialiasing, false);

  // Faces a removal lays open without a temperature condition.
  painter.setBrush(Qt::NoBrush);
  painter.setPen(QPen(kExposedColor, kExposedWidth, Qt::SolidLine, Qt::RoundCap));
  for (const TExposedFaces& f : exposed_)
    for (TEdge* e : f.Edges) painter.drawPath(EdgePath(view, *e));

  auto ofType = [this](const TVemtoPosition* p) { return ConditionTypeOf(p->Condition) == type_; };
  auto circle = [&painter, &view](const TVemtoNodalPos& p, QColor color) {
    const QPoint c = view.WorldToScreen(p.X, p.Y);
    painter.setPen(QPen(color, 1));
    painter.setBrush(Qt::NoBrush);
    painter.drawEllipse(QRect(QPoint(c.x() - 4, c.y() - 4), QPoint(c.x() + 4, c.y() + 4)));
  };
  // 1. Markers.
  for (const auto& pos : model.Positions) {
    if (const auto* point = dynamic_cast<const TVemtoPipePos*>(pos.get())) {
      if (type_ == ctPipe) circle(*point, point->Pipe == pipe_ ? kMarkColor : kOtherPipeColor);
      continue;
    }
    if (!ofType(pos.get())) continue;
    if (const auto* s = dynamic_cast<const TVemtoSurfacePos*>(pos.get()); s && s->Surface) {
      painter.setPen(Qt::NoPen);
      painter.setBrush(QBrush(kMarkColor, Qt::BDiagPattern));
      painter.drawPolygon(Outline(view, *s->Surface));
    } else if (const auto* e = dynamic_cast<const TVemtoEdgePos*>(pos.get()); e && e->Edge) {
      QPainterPathStroker stroker;
      stroker.setWidth(9);
      painter.setPen(QPen(kMarkColor, 1));
      painter.setBrush(Qt::NoBrush);
      painter.drawPath(stroker.createStroke(EdgePath(view, *e->Edge)).simplified());
    } else if (const auto* n = dynamic_cast<const TVemtoNodalPos*>(pos.get())) {
      circle(*n, kMarkColor);
    }
  }
  // 2.-3. Labels of nodal positions and of the chosen pipe's points (counted in list order).
  int count = 0;
  for (const auto& pos : model.Positions) {
    if (const auto* point = dynamic_cast<const TVemtoPipePos*>(pos.get())) {
      if (type_ == ctPipe && pipe_ != nullptr && point->Pipe == pipe_)
        DrawLabel(painter, view.WorldToScreen(point->X, point->Y),
                  QString::fromStdString(pipe_->Name) + QStringLiteral(" %1").arg(++count),
                  pos.get(), ++group);
    } else if (const auto* n = dynamic_cast<const TVemtoNodalPos*>(pos.get()); n && ofType(n)) {
      DrawLabel(painter, view.WorldToScreen(n->X, n->Y), QString::fromStdString(n->Condition->Name),
                pos.get(), ++group);
    }
  }
  // 4. Labels of edge positions, stacked at the edge's middle.
  if (type_ != ctPipe)
    for (const auto& edge : model.Edges) {
      QPoint anchor = EdgeAnchor(view, *edge);
      ++group;
      for (const auto& pos : model.Positions)
        if (const auto* e = dynamic_cast<const TVemtoEdgePos*>(pos.get());
            e && e->Edge == edge.get() && ofType(e)) {
          anchor = DrawLabel(painter, anchor, QString::fromStdString(e->Condition->Name), pos.get(),
                             group);
          anchor.ry() += kEdgeLabelStep;
        }
    }
  // 5. Labels of surface positions, at the surface's middle division point.
  for (const auto& surface : model.Surfaces) {
    TVector p;
    surface->PointAtDivision(surface->DivisionsU() / 2, surface->DivisionsV() / 2, p);
    QPoint anchor = view.WorldToScreen(p.X, p.Y);
    ++group;
    for (const auto& pos : model.Positions)
      if (const auto* s = dynamic_cast<const TVemtoSurfacePos*>(pos.get());
          s && s->Surface == surface.get() && ofType(s)) {
        anchor = DrawLabel(painter, anchor, QString::fromStdString(s->Condition->Name), pos.get(),
                           group);
        anchor.ry() += kSurfaceLabelStep;
      }
  }
  painter.restore();
}

// --- saved view -------------------------------------------------------------------------

TConditionsViewState TfrmBoundaryConds::SaveViewState() const {
  TConditionsViewState state{};
  const TFemView2D& v = *fmvWorkSpace_;
  const double values[4] = {v.GridSize(), v.OrigoX(), v.OrigoY(), v.Scale()};
  std::memcpy(state.data(), values, sizeof values);
  state[32] = v.Options().SnapToGrid ? 1 : 0;
  state[33] = v.Options().DrawGrid ? 1 : 0;
  return state;
}

void TfrmBoundaryConds::RestoreViewState(const TConditionsViewState& state) {
  double values[4];
  std::memcpy(values, state.data(), sizeof values);
  TFemView2D& v = *fmvWorkSpace_;
  v.SetGridSize(values[0]);
  v.SetOrigo(values[1], values[2]);
  v.SetScale(values[3]);
  TViewOptions o = v.Options();
  o.SnapToGrid = state[32] != 0;
  o.DrawGrid = state[33] != 0;
  v.SetOptions(o);
}

}  // namespace vemto
