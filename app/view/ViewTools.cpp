#include "ViewTools.h"

#include <QPainter>
#include <algorithm>

namespace vemto {

void TViewTool::DrawDrag(QPainter& painter, const TPointer& press, const TPointer& current) {
  painter.setPen(QPen(view_.Options().LineColor, 1));
  painter.drawLine(press.pixel, current.pixel);
}

namespace {

// A blue dotted rectangle between press and current point.
void DrawRubberRectangle(QPainter& painter, const TPointer& press, const TPointer& current) {
  painter.setPen(QPen(QColor(0, 0, 255), 1, Qt::DotLine));
  painter.setBrush(Qt::NoBrush);
  painter.drawRect(QRect(press.pixel, current.pixel).normalized());
}

/// Drags a node to a new place (the long press of the select tool).
class TMoveNodeTool : public TViewTool {
 public:
  using TViewTool::TViewTool;
  /// The node under the press point, if within snap distance.
  TNode* NodeAt(const TPointer& press) const {
    const auto hit = view_.NearestNode(press.model.x(), press.model.y());
    return hit.node != nullptr && hit.distance < view_.Options().SnapDistance ? hit.node : nullptr;
  }
  void Click(const TPointer& press, const TPointer& current, bool) override {
    TNode* node = NodeAt(press);
    view_.ClearSelection();
    if (node == nullptr) return;
    view_.SelectAt(node->Coord->X, node->Coord->Y);
    const QPointF to = view_.SnapIfEnabled(current.model);
    if (view_.OnMoveNode) view_.OnMoveNode(node, to.x(), to.y());
  }
  // The outline of the drag: the node's edges drawn to the pointer.
  void DrawDrag(QPainter& painter, const TPointer& press, const TPointer& current) override {
    TNode* node = NodeAt(press);
    if (node == nullptr || view_.Document() == nullptr) {
      TViewTool::DrawDrag(painter, press, current);
      return;
    }
    painter.setPen(QPen(view_.Options().LineColor, 1, Qt::DashLine));
    for (auto& edge : view_.Document()->Model().Edges)
      for (int k = 0; k < edge->NodeCount(); ++k)
        if (edge->GetNode(k) == node)
          for (int j = 0; j < edge->NodeCount(); ++j)
            if (TNode* other = edge->GetNode(j); other != nullptr && other != node)
              painter.drawLine(view_.WorldToScreen(other->Coord->X, other->Coord->Y),
                               current.pixel);
    const int r = view_.Options().NodeSize + 2;
    painter.setPen(QPen(view_.Options().LineColor, 1));
    painter.setBrush(Qt::NoBrush);
    painter.drawEllipse(current.pixel, r, r);
  }
};

/// Short press: select what is under the pointer; long press: move a node.
class TSelectTool : public TViewTool {
 public:
  explicit TSelectTool(TFemView2D& view) : TViewTool(view), move_(view) {}
  void Click(const TPointer& press, const TPointer& current, bool drag) override {
    if (!drag)
      view_.SelectAt(current.model.x(), current.model.y());
    else if (view_.Options().AllowEdit)
      move_.Click(press, current, drag);
  }
  void DrawDrag(QPainter& painter, const TPointer& press, const TPointer& current) override {
    if (view_.Options().AllowEdit)
      move_.DrawDrag(painter, press, current);
    else
      TViewTool::DrawDrag(painter, press, current);
  }

 private:
  TMoveNodeTool move_;
};

/// Long press: selects everything inside the rectangle.
class TSelectAreaTool : public TViewTool {
 public:
  using TViewTool::TViewTool;
  void Click(const TPointer& press, const TPointer& current, bool drag) override {
    if (drag)
      view_.SelectInRect(press.model.x(), press.model.y(), current.model.x(), current.model.y());
  }
  void DrawDrag(QPainter& painter, const TPointer& press, const TPointer& current) override {
    DrawRubberRectangle(painter, press, current);
  }
};

/// Long press: the origin moves by the drag at release.
class TPanTool : public TViewTool {
 public:
  using TViewTool::TViewTool;
  void Click(const TPointer& press, const TPointer& current, bool drag) override {
    if (!drag) return;
    view_.SetOrigo(view_.OrigoX() - (current.model.x() - press.model.x()),
                   view_.OrigoY() - (current.model.y() - press.model.y()));
  }
};

/// The model follows the pointer while the button is down.
class TSmoothPanTool : public TViewTool {
 public:
  using TViewTool::TViewTool;
  void Move(const TPointer& press, const TPointer& current, bool down) override {
    if (!down) return;
    const double s = view_.Scale();
    const QPointF origo = view_.OrigoAtPress();
    view_.PanTo(origo.x() - (current.pixel.x() - press.pixel.x()) / s,
                origo.y() + (current.pixel.y() - press.pixel.y()) / s);
  }
  // The moves did the panning; a click also drops the selection.
  void Click(const TPointer&, const TPointer&, bool) override { view_.ClearSelection(); }
  void Release() override { view_.EndPan(); }
  void DrawDrag(QPainter&, const TPointer&, const TPointer&) override {}
};

/// Long press: zooms to the rectangle.
class TZoomWindowTool : public TViewTool {
 public:
  using TViewTool::TViewTool;
  void Click(const TPointer& press, const TPointer& current, bool drag) override {
    if (!drag) return;
    view_.ZoomWindow(
        std::min(press.model.x(), current.model.x()), std::min(press.model.y(), current.model.y()),
        std::max(press.model.x(), current.model.x()), std::max(press.model.y(), current.model.y()));
  }
  void DrawDrag(QPainter& painter, const TPointer& press, const TPointer& current) override {
    DrawRubberRectangle(painter, press, current);
  }
};

/// Short press: asks the host for a node at the (snapped) point, unless one is there.
class TCreateNodeTool : public TViewTool {
 public:
  using TViewTool::TViewTool;
  void Click(const TPointer&, const TPointer& current, bool drag) override {
    if (drag || !view_.OnCreateNode) return;
    const QPointF c = view_.SnapIfEnabled(current.model);
    const auto hit = view_.NearestNode(c.x(), c.y());
    if (hit.node != nullptr && hit.distance == 0) return;
    view_.OnCreateNode(c.x(), c.y());
  }
};

/// Long press: a line between the nodes nearest to the press and the release point.
class TCreateLineDragTool : public TViewTool {
 public:
  using TViewTool::TViewTool;
  void Click(const TPointer& press, const TPointer& current, bool drag) override {
    if (!drag || !view_.OnCreateLine) return;
    const auto a = view_.NearestNode(press.model.x(), press.model.y());
    const auto b = view_.NearestNode(current.model.x(), current.model.y());
    if (a.node == nullptr || b.node == nullptr) return;
    const int snap = view_.Options().SnapDistance;
    if (a.distance >= snap || b.distance >= snap) {
      if (view_.OnMessage) view_.OnMessage(QStringLiteral("Nodes not within snap distance!"));
      return;
    }
    view_.OnCreateLine({a.node, b.node});
  }
};

/// Picks nodes; at `count` picks asks the host for a line (2) or a curve (3).
class TPickNodesTool : public TViewTool {
 public:
  TPickNodesTool(TFemView2D& view, int count) : TViewTool(view), count_(count) {}
  void Click(const TPointer&, const TPointer& current, bool) override {
    auto& create = count_ == 2 ? view_.OnCreateLine : view_.OnCreateCurve;
    if (!create) return;
    const auto hit = view_.NearestNode(current.model.x(), current.model.y());
    if (hit.node == nullptr || hit.distance > view_.Options().SnapDistance) {
      view_.PickNode(nullptr);  // a click on empty space restarts the construction
      return;
    }
    view_.PickNode(hit.node);
    if (view_.PickedNodes().size() == count_ && create(view_.PickedNodes())) view_.ClearPicks();
  }

 private:
  int count_;
};

/// Picks edges; at four picks asks the host for a surface.
class TCreateSurfaceTool : public TViewTool {
 public:
  using TViewTool::TViewTool;
  void Click(const TPointer&, const TPointer& current, bool) override {
    if (!view_.OnCreateSurface) return;
    TEdge* edge = view_.EdgeAt(current.model.x(), current.model.y());
    view_.PickEdge(edge);
    if (edge == nullptr || view_.PickedEdges().size() != 4) return;
    const QList<TEdge*> edges = view_.PickedEdges();
    view_.ClearPicks();  // accepted or declined, the picks are done
    view_.OnCreateSurface(edges);
  }
};

}  // namespace

std::unique_ptr<TViewTool> MakeViewTool(TFemView2D& view, TEditMode mode) {
  switch (mode) {
    case emSelect:
      return std::make_unique<TSelectTool>(view);
    case emSelectArea:
      return std::make_unique<TSelectAreaTool>(view);
    case emPan:
      return std::make_unique<TPanTool>(view);
    case emSmoothPan:
      return std::make_unique<TSmoothPanTool>(view);
    case emCreateNode:
      return std::make_unique<TCreateNodeTool>(view);
    case emCreateLineDrag:
      return std::make_unique<TCreateLineDragTool>(view);
    case emCreateLine:
      return std::make_unique<TPickNodesTool>(view, 2);
    case emCreateCurve:
      return std::make_unique<TPickNodesTool>(view, 3);
    case emCreateSurface:
      return std::make_unique<TCreateSurfaceTool>(view);
    case emZoomWindow:
      return std::make_unique<TZoomWindowTool>(view);
    default:
      return nullptr;
  }
}

}  // namespace vemto
