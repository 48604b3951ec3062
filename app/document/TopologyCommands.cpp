#include "TopologyCommands.h"

#include <QHash>
#include <cassert>
#include <deque>

namespace vemto {

namespace {

ObjectList SurfacesUsing(TVemtoFile& model, const TEdge* edge) {
  ObjectList out;
  for (auto& surface : model.Surfaces)
    for (int i = 0; i < 4; ++i)
      if (surface->GetEdge(i) == edge) {
        out.push_back(surface.get());
        break;
      }
  return out;
}

// Replaces a counted reference: `now` gains one, `was` loses one.
template <class T>
void Recount(T* was, T* now) {
  if (was == now) return;
  if (was != nullptr) was->Release();
  if (now != nullptr) now->AddRef();
}

}  // namespace

// --- edge nodes -----------------------------------------------------------------------

SetEdgeNodesCommand::SetEdgeNodesCommand(ProjectDocument& document, TEdge* edge,
                                         std::vector<TNode*> nodes)
    : DocumentCommand(document, QStringLiteral("Change curve nodes")),
      edge_(edge),
      after_(std::move(nodes)) {
  assert(edge_ != nullptr && static_cast<int>(after_.size()) == edge_->NodeCount());
  for (int k = 0; k < edge_->NodeCount(); ++k) before_.push_back(edge_->GetNode(k));
}

void SetEdgeNodesCommand::Apply(const std::vector<TNode*>& nodes) {
  for (int k = 0; k < edge_->NodeCount(); ++k) {
    Recount(edge_->GetNode(k), nodes[k]);
    edge_->SetNode(k, nodes[k]);
  }
  doc_.NotifyChanged(ObjectKind::Edge, ObjectList{edge_});
  const ObjectList users = SurfacesUsing(doc_.Model(), edge_);
  if (!users.isEmpty()) doc_.NotifyChanged(ObjectKind::Surface, users);
}

// --- surface topology -------------------------------------------------------------------

DivisionPlan PlanDivisions(const TVemtoFile& model, const TVemtoSurface* surface,
                           const SurfaceTopology& wanted) {
  struct Face {
    std::array<TEdge*, 4> edges;
    ElementKind kind;
  };
  std::vector<Face> faces;
  int changed = -1;
  for (const auto& s : model.Surfaces) {
    if (s.get() == surface) {
      changed = static_cast<int>(faces.size());
      faces.push_back({wanted.Edges, wanted.Kind});
    } else {
      faces.push_back({{s->GetEdge(0), s->GetEdge(1), s->GetEdge(2), s->GetEdge(3)},
                       static_cast<ElementKind>(s->ElementType)});
    }
  }
  if (changed < 0) {
    changed = static_cast<int>(faces.size());
    faces.push_back({wanted.Edges, wanted.Kind});
  }
  // The count an element kind fixes in a direction (0 = columns, 1 = rows), or 0.
  auto fixed = [](ElementKind kind, int direction) {
    if (kind == ElementKind::ThreeNodeInfinite) return 1;
    if (kind == ElementKind::FiveNodeInfinite && direction == 1) return 1;
    return 0;
  };

  DivisionPlan plan;
  QHash<TEdge*, std::int32_t> count;
  std::deque<TEdge*> queue;
  auto assign = [&](TEdge* edge, std::int32_t n, int face) {
    if (edge == nullptr) return true;
    auto it = count.find(edge);
    if (it == count.end()) {
      count.insert(edge, n);
      plan.Counts.emplace_back(edge, n);
      queue.push_back(edge);
      return true;
    }
    if (*it == n) return true;
    plan.Problem =
        QStringLiteral("The division counts of opposite curves would differ in surface %1.")
            .arg(face + 1);
    plan.Surface = face;
    return false;
  };
  const int columns = fixed(wanted.Kind, 0) != 0 ? 1 : wanted.Columns;
  const int rows = fixed(wanted.Kind, 1) != 0 ? 1 : wanted.Rows;
  for (int i = 0; i < 4; ++i)
    if (!assign(wanted.Edges[i], i % 2 == 0 ? columns : rows, changed)) return plan;
  while (!queue.empty()) {
    TEdge* edge = queue.front();
    queue.pop_front();
    const std::int32_t n = count.value(edge);
    for (int f = 0; f < static_cast<int>(faces.size()); ++f) {
      for (int i = 0; i < 4; ++i) {
        if (faces[f].edges[i] != edge) continue;
        const int must = fixed(faces[f].kind, i % 2);
        if (must != 0 && must != n) {
          plan.Problem =
              QStringLiteral("Surface %1 of infinite elements must keep one division across.")
                  .arg(f + 1);
          plan.Surface = f;
          return plan;
        }
        if (!assign(faces[f].edges[(i + 2) % 4], n, f)) return plan;
      }
    }
  }
  return plan;
}

SetSurfaceTopologyCommand::SetSurfaceTopologyCommand(ProjectDocument& document,
                                                     TVemtoSurface* surface,
                                                     const SurfaceTopology& topology,
                                                     const DivisionPlan& plan)
    : DocumentCommand(document, QStringLiteral("Change surface")), surface_(surface) {
  assert(surface_ != nullptr && plan.Problem.isEmpty());
  for (int i = 0; i < 4; ++i) before_.Edges[i] = surface_->GetEdge(i);
  before_.ElementType = surface_->ElementType;
  before_.InfiniteFlag = surface_->InfiniteFlag;
  after_.Edges = topology.Edges;
  after_.ElementType = static_cast<std::uint8_t>(topology.Kind);
  after_.InfiniteFlag = topology.Kind == ElementKind::EightNode ? 0 : 1;
  countsAfter_ = plan.Counts;
  for (const auto& [edge, n] : plan.Counts) countsBefore_.emplace_back(edge, edge->Divisions);
}

void SetSurfaceTopologyCommand::Apply(const State& state, bool backwards) {
  ObjectList edges;
  for (int i = 0; i < 4; ++i) {
    TEdge* was = surface_->GetEdge(i);
    Recount(was, state.Edges[i]);
    surface_->SetEdge(i, state.Edges[i]);
    for (TEdge* e : {was, state.Edges[i]})
      if (e != nullptr && !edges.contains(e)) edges.push_back(e);
  }
  surface_->ElementType = state.ElementType;
  surface_->InfiniteFlag = state.InfiniteFlag;
  const auto& counts = backwards ? countsBefore_ : countsAfter_;
  for (std::size_t n = 0; n < counts.size(); ++n) {
    const auto& [edge, count] = counts[backwards ? counts.size() - 1 - n : n];
    edge->Divisions = count;
    if (!edges.contains(edge)) edges.push_back(edge);
  }
  doc_.NotifyChanged(ObjectKind::Edge, edges);
  doc_.NotifyChanged(ObjectKind::Surface, ObjectList{surface_});
}

void SetSurfaceTopologyCommand::redo() {
  Apply(after_, false);
}

void SetSurfaceTopologyCommand::undo() {
  Apply(before_, true);
}

// --- edge kind ------------------------------------------------------------------------

void PushReplaceEdge(ProjectDocument& document, TEdge* edge, std::unique_ptr<TEdge> replacement) {
  assert(edge != nullptr && !edge->InUse() && replacement != nullptr);
  QUndoStack& stack = document.UndoStack();
  stack.beginMacro(QStringLiteral("Change curve kind"));
  document.Push(new CreateEdgeCommand(document, std::move(replacement)));
  document.Push(new DeleteObjectsCommand(document, {}, {edge}, {}));
  stack.endMacro();
}

}  // namespace vemto
