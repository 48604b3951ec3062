#include "FemView2D.h"

#include <QApplication>
#include <QBuffer>
#include <QClipboard>
#include <QElapsedTimer>
#include <QMimeData>
#include <QMouseEvent>
#include <QPainter>
#include <QSvgGenerator>
#include <algorithm>
#include <cmath>
#include <numbers>

#include "ViewTools.h"

namespace vemto {

namespace {

constexpr int kOutlinePoints = 41;  // ten per side and the first point again
constexpr int kCurvePoints = 11;    // t = 0, 0.1, ..., 1
// A grid with more lines than this across the control is not drawn (a step far below
// the pixel size, or below the spacing of doubles at the coordinate).
constexpr double kMaxGridLines = 20000.0;

long RoundHalfEven(double v) {
  return static_cast<long>(std::nearbyint(v));
}

// Direction of (dx, dy) in [0, 2pi), as the edge labels use it.
double Angle(double dx, double dy) {
  const double pi = std::numbers::pi;
  if (dx == 0.0 && dy > 0.0) return pi / 2;
  if (dx == 0.0 && dy < 0.0) return 3 * pi / 2;
  if (dy == 0.0 && dx < 0.0) return pi;
  if (dx == 0.0 && dy == 0.0) return 2 * pi;
  double a = std::atan(dy / dx);
  if (dx < 0.0)
    a += pi;
  else if (dy < 0.0)
    a += 2 * pi;
  return a;
}

double PixelDistance(QPoint a, QPoint b) {
  return std::hypot(double(a.x() - b.x()), double(a.y() - b.y()));
}

}  // namespace

TFemView2D::TFemView2D(QWidget* parent) : QWidget(parent) {
  resize(150, 150);
  setMouseTracking(true);
  setAttribute(Qt::WA_OpaquePaintEvent);
  setFocusPolicy(Qt::StrongFocus);
  dragTimer_.setSingleShot(true);
  dragTimer_.setInterval(options_.DragTime);
  connect(&dragTimer_, &QTimer::timeout, this, [this] {
    longPress_ = true;
    update();
  });
  tools_.resize(static_cast<std::size_t>(emZoomWindow) + 1);
  for (int m = 0; m <= emZoomWindow; ++m)
    tools_[static_cast<std::size_t>(m)] = MakeViewTool(*this, static_cast<TEditMode>(m));
  tool_ = tools_[emSelect].get();
  if (tool_ != nullptr) tool_->Activate();
}

TFemView2D::~TFemView2D() = default;

void TFemView2D::SetDocument(ProjectDocument* document) {
  if (doc_ != nullptr) disconnect(doc_, nullptr, this, nullptr);
  doc_ = document;
  ClearSelection();
  ClearPicks();
  if (doc_ != nullptr) {
    connect(doc_, &ProjectDocument::objectsAdded, this,
            [this](ObjectKind k, const ObjectList& o) { DocumentChanged(k, o, false); });
    connect(doc_, &ProjectDocument::objectsChanged, this,
            [this](ObjectKind k, const ObjectList& o) { DocumentChanged(k, o, false); });
    connect(doc_, &ProjectDocument::objectsRemoved, this,
            [this](ObjectKind k, const ObjectList& o) { DocumentChanged(k, o, true); });
    connect(doc_, &QObject::destroyed, this, [this] {
      // The document is inside its destructor: the selection is dropped without
      // selectionEdited, whose receivers would write it back into the dying document.
      doc_ = nullptr;
      selNodes_.clear();
      selEdges_.clear();
      selSurfaces_.clear();
      ClearPicks();
      Invalidate();
    });
  }
  Invalidate();
}

void TFemView2D::DocumentChanged(ObjectKind kind, const ObjectList& objects, bool removed) {
  if (kind != ObjectKind::Node && kind != ObjectKind::Edge && kind != ObjectKind::Surface &&
      kind != ObjectKind::Material)
    return;
  if (removed) {
    // Forget what is no longer in the model.
    for (void* p : objects) {
      selNodes_.removeAll(static_cast<TNode*>(p));
      pickedNodes_.removeAll(static_cast<TNode*>(p));
      selEdges_.removeAll(static_cast<TEdge*>(p));
      pickedEdges_.removeAll(static_cast<TEdge*>(p));
      selSurfaces_.removeAll(static_cast<TVemtoSurface*>(p));
    }
  }
  Invalidate();
}

// --- transform ------------------------------------------------------------------------

void TFemView2D::SetOrigo(double x, double y) {
  origoX_ = x;
  origoY_ = y;
  Invalidate();
}

void TFemView2D::SetScale(double scale) {
  scale_ = scale == 0.0 ? 100.0 : scale;
  Invalidate();
}

void TFemView2D::SetGridSize(double size) {
  gridSize_ = size <= 0.0 ? 1.0 : size;
  Invalidate();
}

QPoint TFemView2D::WorldToScreen(double x, double y) const {
  const int h = height();
  return {int(RoundHalfEven((x - origoX_) * scale_)),
          int(h - RoundHalfEven((y - origoY_) * scale_))};
}

QPointF TFemView2D::ScreenToWorld(double px, double py) const {
  return {px / scale_ + origoX_, (height() - py) / scale_ + origoY_};
}

QPointF TFemView2D::SnapToGridPoint(QPointF p) const {
  return {std::nearbyint(p.x() / gridSize_) * gridSize_,
          std::nearbyint(p.y() / gridSize_) * gridSize_};
}

QPointF TFemView2D::SnapIfEnabled(QPointF p) const {
  return options_.SnapToGrid ? SnapToGridPoint(p) : p;
}

QPoint TFemView2D::SnappedPixel(QPoint pixel) const {
  const QPointF m = SnapIfEnabled(ScreenToWorld(pixel.x(), pixel.y()));
  return WorldToScreen(m.x(), m.y());
}

void TFemView2D::SetOptions(const TViewOptions& options) {
  const TViewOptions old = options_;
  options_ = options;
  auto keepPositive = [](int& v, int previous) {
    if (v <= 0) v = previous;
  };
  keepPositive(options_.NodeSize, old.NodeSize);
  keepPositive(options_.LineWidth, old.LineWidth);
  if (options_.DragTime <= 20) options_.DragTime = old.DragTime;
  if (options_.GridMark <= 0) options_.GridMark = old.GridMark;
  dragTimer_.setInterval(options_.DragTime);
  Invalidate();
}

void TFemView2D::SetEditMode(TEditMode mode) {
  if (tool_ != nullptr) tool_->Deactivate();
  editMode_ = mode;
  ClearPicks();
  if (mode == emSmoothPan) ClearSelection();
  tool_ = tools_[static_cast<std::size_t>(mode)].get();
  if (tool_ != nullptr) tool_->Activate();
  update();
}

// --- zoom ---------------------------------------------------------------------------

void TFemView2D::ZoomWindow(double x1, double y1, double x2, double y2) {
  if (x1 == x2 && y1 == y2) return;
  if (width() <= 0 || height() <= 0) return;
  const double a = double(width()) / double(height());
  const double b = (x2 - x1) / (y2 - y1);  // +inf for a flat rectangle
  double xr = x1 + a * (y2 - y1);
  if (b > a) xr = x2;
  if (!(xr > x1)) return;  // nothing sensible to show
  origoX_ = x1;
  origoY_ = y1;
  scale_ = width() / (xr - x1);
  Invalidate();
}

void TFemView2D::ZoomIn() {
  const double w = width() / scale_, h = height() / scale_;
  ZoomWindow(origoX_ + 0.05 * w, origoY_ + 0.05 * h, origoX_ + 0.95 * w, origoY_ + 0.95 * h);
}

void TFemView2D::ZoomOut() {
  const double w = width() / scale_, h = height() / scale_;
  ZoomWindow(origoX_ - 0.05 * w, origoY_ - 0.05 * h, origoX_ + 1.05 * w, origoY_ + 1.05 * h);
}

void TFemView2D::ZoomExtents() {
  if (doc_ == nullptr || doc_->Model().Nodes.size() < 2) return;
  double x1 = 1e300, y1 = 1e300, x2 = -1e300, y2 = -1e300;
  for (const auto& node : doc_->Model().Nodes) {
    x1 = std::min(x1, node->Coord->X);
    x2 = std::max(x2, node->Coord->X);
    y1 = std::min(y1, node->Coord->Y);
    y2 = std::max(y2, node->Coord->Y);
  }
  const double dx = 0.05 * (x2 - x1), dy = 0.05 * (y2 - y1);
  if (x1 == x2 && y1 == y2) return;
  ZoomWindow(x1 - dx, y1 - dy, x2 + dx, y2 + dy);
  ZoomOut();
  ZoomOut();
}

// --- picking --------------------------------------------------------------------------

TFemView2D::NodeHit TFemView2D::NearestNode(double x, double y) const {
  NodeHit hit;
  if (doc_ == nullptr) return hit;
  const auto& nodes = doc_->Model().Nodes;
  double best = 2147483647.0;
  for (auto it = nodes.rbegin(); it != nodes.rend(); ++it) {
    const double d = std::hypot((*it)->Coord->X - x, (*it)->Coord->Y - y);
    if (d < best) {
      best = d;
      hit.node = it->get();
    }
  }
  if (hit.node != nullptr)
    hit.distance = int(std::lround(
        PixelDistance(WorldToScreen(x, y), WorldToScreen(hit.node->Coord->X, hit.node->Coord->Y))));
  return hit;
}

TEdge* TFemView2D::EdgeAt(double x, double y) const {
  if (doc_ == nullptr) return nullptr;
  const QPoint q = WorldToScreen(x, y);
  const auto& edges = doc_->Model().Edges;
  TEdge* candidate = nullptr;
  double best = 2000000000.0;
  for (auto it = edges.rbegin(); it != edges.rend(); ++it) {
    TEdge* edge = it->get();
    TNode* first = edge->FirstNode();
    TNode* last = edge->LastNode();
    if (first == nullptr || last == nullptr) continue;
    if (edge->NodeCount() == 2) {
      const QPoint p1 = WorldToScreen(first->Coord->X, first->Coord->Y);
      const QPoint p2 = WorldToScreen(last->Coord->X, last->Coord->Y);
      const double dx = p2.x() - p1.x(), dy = p2.y() - p1.y();
      const double length = std::hypot(dx, dy);
      if (length == 0.0) continue;
      const double qx = q.x() - p1.x(), qy = q.y() - p1.y();
      const double along = (qx * dx + qy * dy) / length;   // projection p
      const double across = (dx * qy - dy * qx) / length;  // perpendicular distance e
      if (along > 0.0 && along < length && std::abs(across) <= options_.SnapEdgeDist) return edge;
    } else {
      double nearest = 2000000000.0;
      TVector point;
      for (int k = 0; k <= 100; ++k) {
        edge->PointAt(point, k * 0.01);
        nearest = std::min(nearest, PixelDistance(q, WorldToScreen(point.X, point.Y)));
      }
      if (nearest < best) {
        best = nearest;
        if (nearest < options_.SnapEdgeDist / 2) candidate = edge;
      }
    }
  }
  return candidate;
}

void TFemView2D::EnsureRegions() {
  if (regionsValid_ || doc_ == nullptr) return;
  regions_.clear();
  for (auto& surface : doc_->Model().Surfaces) {
    QPolygon outline = SurfaceOutline(*surface);
    outline.resize(kOutlinePoints - 1);
    regions_.push_back(std::move(outline));
  }
  regionsValid_ = true;
}

TVemtoSurface* TFemView2D::SurfaceAt(double x, double y) const {
  if (doc_ == nullptr) return nullptr;
  const_cast<TFemView2D*>(this)->EnsureRegions();
  const QPoint q = WorldToScreen(x, y);
  const auto& surfaces = doc_->Model().Surfaces;
  for (std::size_t i = 0; i < regions_.size() && i < surfaces.size(); ++i)
    if (regions_[i].containsPoint(q, Qt::OddEvenFill)) return surfaces[i].get();
  return nullptr;
}

void TFemView2D::ClearSelection() {
  const bool had = !selNodes_.isEmpty() || !selEdges_.isEmpty() || !selSurfaces_.isEmpty();
  selNodes_.clear();
  selEdges_.clear();
  selSurfaces_.clear();
  if (had) emit selectionEdited();
}

void TFemView2D::SetSelectedObjects(const QList<TNode*>& nodes, const QList<TEdge*>& edges,
                                    const QList<TVemtoSurface*>& surfaces) {
  selNodes_ = nodes;
  selEdges_ = edges;
  selSurfaces_ = surfaces;
  update();
}

void TFemView2D::SelectAt(double x, double y) {
  const NodeHit n = NearestNode(x, y);
  TEdge* e = EdgeAt(x, y);
  TVemtoSurface* s = SurfaceAt(x, y);
  // Without any node, no node is near.
  const bool nodeFar = n.node == nullptr || n.distance > options_.SnapDistance;
  const bool clears = options_.ViewMode == vmGeometry || options_.ViewMode == vmSelect;
  if (nodeFar && e == nullptr && s == nullptr) {
    if (clears) {
      ClearSelection();
      emit deselected();
    }
  } else if (n.node != nullptr && n.distance < options_.SnapDistance) {
    selNodes_.push_back(n.node);
  } else if (e != nullptr) {
    selEdges_.push_back(e);
  } else if (s != nullptr) {
    selSurfaces_.push_back(s);
  }
  update();
  emit selectionEdited();
  emit selected(x, y);
}

void TFemView2D::SelectInRect(double x1, double y1, double x2, double y2) {
  if (doc_ == nullptr) return;
  const QRectF r = QRectF(QPointF(x1, y1), QPointF(x2, y2)).normalized();
  auto inside = [&r](const TNode* node) {
    return node != nullptr && node->Coord->X >= r.left() && node->Coord->X <= r.right() &&
           node->Coord->Y >= r.top() && node->Coord->Y <= r.bottom();
  };
  TVemtoFile& model = doc_->Model();
  for (auto& node : model.Nodes)
    if (inside(node.get())) selNodes_.push_back(node.get());
  for (auto& edge : model.Edges) {
    bool all = edge->NodeCount() > 0;
    for (int k = 0; k < edge->NodeCount(); ++k) all = all && inside(edge->GetNode(k));
    if (all) selEdges_.push_back(edge.get());
  }
  for (auto& surface : model.Surfaces) {
    bool all = true;
    for (int i = 0; i < 4; ++i) {
      TEdge* edge = surface->GetEdge(i);
      all = all && edge != nullptr && inside(edge->FirstNode()) && inside(edge->LastNode());
    }
    if (all) selSurfaces_.push_back(surface.get());
  }
  update();
  emit selectionEdited();
  const QPointF c = r.center();
  emit selected(c.x(), c.y());
}

void TFemView2D::PickNode(TNode* node) {
  if (node == nullptr)
    pickedNodes_.clear();
  else
    pickedNodes_.push_back(node);
  update();
}

void TFemView2D::PickEdge(TEdge* edge) {
  if (edge == nullptr)
    pickedEdges_.clear();
  else
    pickedEdges_.push_back(edge);
  update();
}

void TFemView2D::ClearPicks() {
  pickedNodes_.clear();
  pickedEdges_.clear();
  update();
}

void TFemView2D::Invalidate() {
  cacheValid_ = false;
  regionsValid_ = false;
  panOffset_ = {};
  update();
}

void TFemView2D::PanTo(double origoX, double origoY) {
  origoX_ = origoX;
  origoY_ = origoY;
  regionsValid_ = false;
  if (cacheValid_)
    panOffset_ = QPoint(int(RoundHalfEven((cacheOrigoX_ - origoX_) * scale_)),
                        int(RoundHalfEven((origoY_ - cacheOrigoY_) * scale_)));
  update();
}

void TFemView2D::EndPan() {
  if (panOffset_ != QPoint() || !cacheValid_) Invalidate();
}

// --- drawing ---------------------------------------------------------------------------

QPolygon TFemView2D::SurfaceOutline(TVemtoSurface& surface) const {
  QPolygon outline;
  outline.reserve(kOutlinePoints);
  TVector p;
  auto add = [&](double u, double v) {
    surface.PointAt(p, u, v);
    outline.push_back(WorldToScreen(p.X, p.Y));
  };
  for (int k = 0; k < 10; ++k) add(k * 0.1, 0.0);
  for (int k = 0; k < 10; ++k) add(1.0, k * 0.1);
  for (int k = 0; k < 10; ++k) add(1.0 - k * 0.1, 1.0);
  for (int k = 0; k < 10; ++k) add(0.0, 1.0 - k * 0.1);
  add(0.0, 0.0);
  return outline;
}

void TFemView2D::DrawGrid(QPainter& painter) {
  const double g = gridSize_;
  const int m = options_.GridMark;
  const double s = g * scale_, sm = g * m * scale_;
  const int w = width(), h = height();
  auto lines = [&](double step, bool marksOnly) {
    const QPointF tl = ScreenToWorld(0, 0), br = ScreenToWorld(w, h);
    const double xL = std::nearbyint(tl.x() / step) * step;
    const double yT = std::nearbyint(tl.y() / step) * step;
    const double xR = std::nearbyint(br.x() / step) * step;
    const double yB = std::nearbyint(br.y() / step) * step;
    // Counted loops: a step below the spacing of doubles at the coordinate would never
    // advance an added-up coordinate.
    const double nx = std::floor((xR - xL) / step + 1e-9), ny = std::floor((yT - yB) / step + 1e-9);
    if (!(nx >= 0 && ny >= 0 && nx < kMaxGridLines && ny < kMaxGridLines)) return;
    auto colour = [&](double c) {
      if (marksOnly) return options_.GridMarkColor;
      const double q = c / (g * m);
      return std::abs(q - std::nearbyint(q)) < 1e-5 ? options_.GridMarkColor : options_.GridColor;
    };
    for (long i = 0; i <= long(nx); ++i) {
      const double x = xL + double(i) * step;
      const int px = WorldToScreen(x, 0).x();
      painter.setPen(colour(x));
      painter.drawLine(px, 0, px, h);
    }
    for (long j = 0; j <= long(ny); ++j) {
      const double y = yT - double(j) * step;
      const int py = WorldToScreen(0, y).y();
      painter.setPen(colour(y));
      painter.drawLine(0, py, w, py);
    }
  };
  if (options_.GridMode == gmLines) {
    if (s > 4)
      lines(g, false);
    else if (sm >= 5)
      lines(g * m, true);
    return;
  }
  if (s <= 9) return;
  const QPointF tl = SnapToGridPoint(ScreenToWorld(0, 0));
  const QPointF br = SnapToGridPoint(ScreenToWorld(w, h));
  const double nx = std::floor((br.x() - tl.x()) / g + 1e-9);
  const double ny = std::floor((tl.y() - br.y()) / g + 1e-9);
  if (!(nx >= 0 && ny >= 0 && nx < kMaxGridLines && ny < kMaxGridLines)) return;
  painter.setPen(options_.GridColor);
  QPolygon dots;
  for (long i = 0; i <= long(nx); ++i)
    for (long j = 0; j <= long(ny); ++j)
      dots.push_back(WorldToScreen(tl.x() + double(i) * g, tl.y() - double(j) * g));
  painter.drawPoints(dots);
}

void TFemView2D::DrawEdgeShape(QPainter& painter, TEdge& edge) {
  TNode* first = edge.FirstNode();
  TNode* last = edge.LastNode();
  if (first == nullptr || last == nullptr) return;
  if (edge.NodeCount() == 2) {
    painter.drawLine(WorldToScreen(first->Coord->X, first->Coord->Y),
                     WorldToScreen(last->Coord->X, last->Coord->Y));
    return;
  }
  QPolygon points;
  TVector p;
  for (int k = 0; k < kCurvePoints; ++k) {
    edge.PointAt(p, k * 0.1);
    points.push_back(WorldToScreen(p.X, p.Y));
  }
  painter.drawPolyline(points);
}

void TFemView2D::DrawNumberCircle(QPainter& painter, QPoint c, const QString& text, QColor color) {
  const QFontMetrics fm(font());
  const int h = fm.height();
  const int r = int(std::lround(h / 1.4));
  painter.setPen(color);
  painter.setBrush(options_.Color);
  painter.drawEllipse(c, r, r);
  painter.setBrush(Qt::NoBrush);
  const int w = fm.horizontalAdvance(text);
  painter.drawText(c.x() - w / 2, c.y() - h / 2 + fm.ascent(), text);
}

void TFemView2D::DrawGeometry(QPainter& painter) {
  regions_.clear();
  if (doc_ == nullptr) return;
  TVemtoFile& model = doc_->Model();
  const bool geometryMode = InGeometryMode();
  const QColor modeColor = options_.LoadModeColor;
  const QFontMetrics fm(font());
  const int h = fm.height();
  TVector p;

  int number = 0;
  for (auto& surfacePtr : model.Surfaces) {
    TVemtoSurface& surface = *surfacePtr;
    ++number;
    const QPolygon outline = SurfaceOutline(surface);
    if (surface.InfiniteFlag != 0 && OnDrawSurface) {
      OnDrawSurface(painter, outline, &surface);
    } else {
      painter.setPen(Qt::NoPen);
      painter.setBrush(SurfaceColorOf ? SurfaceColorOf(surface) : options_.SurfaceColor);
      painter.drawPolygon(outline);
    }
    if (options_.DrawOrientation) {
      QPolygon mark;
      for (auto [u, v] : {std::pair{0.2, 0.0}, std::pair{0.0, 0.0}, std::pair{0.0, 0.2}}) {
        surface.PointAt(p, u, v);
        mark.push_back(WorldToScreen(p.X, p.Y) + QPoint(3, -3));
      }
      painter.setPen(QColor(0, 0, 128));
      painter.drawPolyline(mark);
    }
    QPolygon region = outline;
    region.resize(kOutlinePoints - 1);
    regions_.push_back(std::move(region));
    const int n1 = surface.DivisionsU(), n2 = surface.DivisionsV();
    const TEdge* e2 = surface.GetEdge(2);
    const TEdge* e3 = surface.GetEdge(3);
    if (options_.DrawElements && n1 > 0 && n2 > 0 && e2 != nullptr && e3 != nullptr &&
        e2->Divisions == n1 && e3->Divisions == n2) {
      // The division grid once, then its inner lines.
      std::vector<QPoint> grid(std::size_t(n1 + 1) * std::size_t(n2 + 1));
      auto at = [&](int i, int j) -> QPoint& { return grid[std::size_t(i) * (n2 + 1) + j]; };
      for (int i = 0; i <= n1; ++i)
        for (int j = 0; j <= n2; ++j) {
          surface.PointAtDivision(i, j, p);
          at(i, j) = WorldToScreen(p.X, p.Y);
        }
      painter.setPen(options_.ElementColor);
      std::vector<QLine> lines;
      for (int j = 1; j < n2; ++j)
        for (int i = 1; i <= n1; ++i) lines.emplace_back(at(i - 1, j), at(i, j));
      for (int i = 1; i < n1; ++i)
        for (int j = 1; j <= n2; ++j) lines.emplace_back(at(i, j - 1), at(i, j));
      painter.drawLines(lines.data(), int(lines.size()));
    }
    if (options_.DrawElementText) {
      surface.PointAt(p, 0.5, 0.5);
      const QPoint c = WorldToScreen(p.X, p.Y);
      const int outer = int(std::lround(h / 1.15));
      DrawNumberCircle(painter, c, QString::number(number), options_.TextColor);
      painter.drawEllipse(c, outer, outer);
    }
  }
  regionsValid_ = true;

  QPen edgePen(geometryMode ? options_.EdgeColor : modeColor, options_.LineWidth);
  for (auto& edge : model.Edges) {
    painter.setPen(edgePen);
    painter.setBrush(Qt::NoBrush);
    DrawEdgeShape(painter, *edge);
    if (options_.DrawDivision && edge->Divisions > 1) {
      painter.setPen(geometryMode ? options_.DivisionColor : modeColor);
      for (int i = 1; i < edge->Divisions; ++i) {
        edge->PointAtDivision(i, p);
        painter.drawEllipse(WorldToScreen(p.X, p.Y), options_.NodeSize, options_.NodeSize);
      }
    }
  }

  const int ns = options_.NodeSize;
  painter.setPen(Qt::NoPen);
  painter.setBrush(geometryMode ? options_.NodeColor : modeColor);
  for (auto& node : model.Nodes) {
    const QPoint c = WorldToScreen(node->Coord->X, node->Coord->Y);
    painter.drawEllipse(QRect(c.x() - ns + 1, c.y() - ns + 1, 2 * ns - 1, 2 * ns - 1));
  }
  if (!geometryMode) return;

  if (options_.DrawNodeText) {
    painter.setPen(options_.TextColor);
    for (auto& node : model.Nodes) {
      const QPoint c = WorldToScreen(node->Coord->X, node->Coord->Y);
      painter.drawText(c.x() + 5, c.y() - h - 5 + fm.ascent(), QString::number(node->Number));
    }
  }
  if (options_.DrawElementText) {
    number = 0;
    for (auto& edge : model.Edges) {
      ++number;
      TNode* first = edge->FirstNode();
      TNode* last = edge->LastNode();
      if (first == nullptr || last == nullptr) continue;
      QPoint c;
      if (edge->NodeCount() == 2) {
        const QPoint p1 = WorldToScreen(first->Coord->X, first->Coord->Y);
        const QPoint p2 = WorldToScreen(last->Coord->X, last->Coord->Y);
        const double dx = p2.x() - p1.x(), dy = p2.y() - p1.y();
        const double theta = Angle(dx, dy), d = std::hypot(dx, dy);
        const double off = options_.TextOffset, half = std::numbers::pi / 2;
        c = QPoint(
            int(std::lround(p1.x() + d / 2 * std::cos(theta) + off * std::cos(theta + half))),
            int(std::lround(p1.y() + d / 2 * std::sin(theta) + off * std::sin(theta + half))));
      } else if (TNode* middle = edge->GetNode(1)) {
        c = WorldToScreen(middle->Coord->X, middle->Coord->Y) + QPoint(12, 12);
      }
      DrawNumberCircle(painter, c, QString::number(number), options_.TextColor);
    }
  }
}

void TFemView2D::DrawSelection(QPainter& painter) {
  if (doc_ == nullptr) return;
  const int ns = options_.NodeSize;
  auto ring = [&](TNode* node) {
    const QPoint c = WorldToScreen(node->Coord->X, node->Coord->Y);
    painter.drawEllipse(QRect(c.x() - ns - 2, c.y() - ns - 2, 2 * ns + 4, 2 * ns + 4));
  };
  // The construction in progress.
  painter.setBrush(Qt::NoBrush);
  painter.setPen(QPen(options_.LineColor, options_.LineWidth));
  for (TNode* node : pickedNodes_) ring(node);
  painter.setPen(QPen(options_.LineColor, 2));
  for (TEdge* edge : pickedEdges_) DrawEdgeShape(painter, *edge);
  if (!InGeometryMode()) return;

  painter.setPen(options_.SelectColor);
  for (TNode* node : selNodes_) ring(node);
  const auto& surfaces = doc_->Model().Surfaces;
  for (TVemtoSurface* surface : selSurfaces_) {
    painter.setPen(Qt::NoPen);
    painter.setBrush(QBrush(options_.SelectColor, Qt::BDiagPattern));
    painter.drawPolygon(SurfaceOutline(*surface));
    if (options_.DrawElementText) {
      const auto it = std::find_if(surfaces.begin(), surfaces.end(),
                                   [surface](const auto& s) { return s.get() == surface; });
      TVector p;
      surface->PointAt(p, 0.5, 0.5);
      const QPoint c = WorldToScreen(p.X, p.Y);
      DrawNumberCircle(painter, c, QString::number(it - surfaces.begin() + 1),
                       options_.SelectColor);
      const int outer = int(std::lround(QFontMetrics(font()).height() / 1.15));
      painter.drawEllipse(c, outer, outer);
    }
  }
  painter.setBrush(Qt::NoBrush);
  painter.setPen(QPen(options_.SelectColor, 2));
  for (TEdge* edge : selEdges_) DrawEdgeShape(painter, *edge);
}

void TFemView2D::RenderPicture(QPainter& painter, bool withBackground, bool withSelection) {
  const QRect rect(0, 0, width(), height());
  painter.setFont(font());
  if (withBackground && options_.EraseBackground) painter.fillRect(rect, options_.Color);
  if (OnDrawBefore) OnDrawBefore(painter, withBackground ? rect : QRect());
  painter.setPen(QPen(palette().color(QPalette::WindowText), 1));
  painter.setBrush(options_.Color);
  if (withBackground) {
    if (options_.DrawGrid) DrawGrid(painter);
    if (options_.DrawAxis) {
      painter.setPen(options_.AxisColor);
      const QPoint o = WorldToScreen(0, 0);
      painter.drawLine(o.x(), 0, o.x(), height());
      painter.drawLine(0, o.y(), width(), o.y());
    }
  }
  painter.setPen(QPen(options_.LineColor, options_.LineWidth));
  painter.setBrush(options_.ElementColor);
  DrawGeometry(painter);
  if (withSelection) DrawSelection(painter);
  if (OnDrawAfter) OnDrawAfter(painter, withBackground ? rect : QRect());
  painter.setPen(QPen(Qt::black, 1));
  painter.setBrush(Qt::SolidPattern);
}

void TFemView2D::paintEvent(QPaintEvent*) {
  if (!cacheValid_ || cache_.size() != size()) {
    QElapsedTimer clock;
    clock.start();
    cache_ = QImage(size(), QImage::Format_RGB32);
    QPainter cachePainter(&cache_);
    RenderPicture(cachePainter, true, false);
    cacheValid_ = true;
    cacheOrigoX_ = origoX_;
    cacheOrigoY_ = origoY_;
    panOffset_ = {};
    lastRenderMs_ = double(clock.nsecsElapsed()) * 1e-6;
  }
  QPainter painter(this);
  if (panOffset_ != QPoint()) {
    painter.fillRect(rect(), options_.Color);
    painter.drawImage(panOffset_, cache_);
    return;
  }
  painter.drawImage(0, 0, cache_);
  painter.setFont(font());
  DrawSelection(painter);
  if (buttonDown_ && longPress_ && tool_ != nullptr)
    tool_->DrawDrag(painter, Pointer(pressPixel_), Pointer(currentPixel_));
}

void TFemView2D::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  Invalidate();
}

QImage TFemView2D::Picture() {
  QImage image(size(), QImage::Format_RGB32);
  QPainter painter(&image);
  RenderPicture(painter, true, true);
  return image;
}

QByteArray TFemView2D::GeometrySvg() {
  QByteArray bytes;
  QBuffer buffer(&bytes);
  buffer.open(QIODevice::WriteOnly);
  QSvgGenerator svg;
  svg.setOutputDevice(&buffer);
  svg.setSize(size());
  svg.setViewBox(QRect(QPoint(0, 0), size()));
  svg.setTitle(QStringLiteral("Vemto 3 geometry"));
  QPainter painter(&svg);
  RenderPicture(painter, false, false);
  painter.end();
  return bytes;
}

void TFemView2D::CopyToClipboard() {
  auto* data = new QMimeData;
  data->setData(QStringLiteral("image/svg+xml"), GeometrySvg());
  QImage image(size(), QImage::Format_RGB32);
  image.fill(options_.Color);
  QPainter painter(&image);
  RenderPicture(painter, false, false);
  painter.end();
  data->setImageData(image);
  QApplication::clipboard()->setMimeData(data);
}

// --- pointer --------------------------------------------------------------------------

TPointer TFemView2D::Pointer(QPoint pixel) const {
  return {pixel, ScreenToWorld(pixel.x(), pixel.y())};
}

void TFemView2D::mousePressEvent(QMouseEvent* event) {
  buttonDown_ = true;
  origoAtPress_ = QPointF(origoX_, origoY_);
  if (dragTimer_.isActive()) return;
  longPress_ = false;
  dragTimer_.start();
  pressPixel_ = event->position().toPoint();
  currentPixel_ = SnappedPixel(pressPixel_);
  if (tool_ != nullptr) tool_->Press(Pointer(pressPixel_));
}

void TFemView2D::mouseMoveEvent(QMouseEvent* event) {
  const QPoint raw = event->position().toPoint();
  currentPixel_ = SnappedPixel(raw);
  if (tool_ != nullptr) tool_->Move(Pointer(pressPixel_), Pointer(raw), buttonDown_);
  if (buttonDown_ && longPress_) update();
  const QPointF m = SnapIfEnabled(ScreenToWorld(raw.x(), raw.y()));
  emit coordinate(m.x(), m.y());
}

void TFemView2D::mouseReleaseEvent(QMouseEvent* event) {
  const QPoint raw = event->position().toPoint();
  currentPixel_ = SnappedPixel(raw);
  if (event->button() == Qt::LeftButton && rect().contains(raw) && tool_ != nullptr)
    tool_->Click(Pointer(pressPixel_), Pointer(currentPixel_), longPress_);
  buttonDown_ = false;
  dragTimer_.stop();
  longPress_ = false;
  if (tool_ != nullptr) tool_->Release();
  update();
}

}  // namespace vemto
