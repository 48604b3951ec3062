#include "DocumentCommands.h"

#include <algorithm>
#include <cassert>

namespace vemto {

namespace {

// References an object holds on others: counted while it is in the model, released
// while a command holds it outside, and forgotten (not released again) when the
// command finally destroys it.
void AddReferences(TNode&) {}
void ReleaseReferences(TNode&) {}
void ForgetReferences(TNode&) {}

void AddReferences(TEdge& edge) {
  for (int k = 0; k < edge.NodeCount(); ++k)
    if (TNode* node = edge.GetNode(k)) node->AddRef();
}
void ReleaseReferences(TEdge& edge) {
  for (int k = 0; k < edge.NodeCount(); ++k)
    if (TNode* node = edge.GetNode(k)) node->Release();
}
void ForgetReferences(TEdge& edge) {
  for (int k = 0; k < edge.NodeCount(); ++k) edge.SetNode(k, nullptr);
}

void AddReferences(TVemtoSurface& surface) {
  for (int i = 0; i < 4; ++i)
    if (TEdge* edge = surface.GetEdge(i)) edge->AddRef();
  if (surface.Material != nullptr) surface.Material->AddRef();
}
void ReleaseReferences(TVemtoSurface& surface) {
  for (int i = 0; i < 4; ++i)
    if (TEdge* edge = surface.GetEdge(i)) edge->Release();
  if (surface.Material != nullptr) surface.Material->Release();
}
void ForgetReferences(TVemtoSurface& surface) {
  for (int i = 0; i < 4; ++i) surface.SetEdge(i, nullptr);
  surface.Material = nullptr;
}

// Destroys an object held outside the model without touching what it referred to.
template <class T>
void DropHeld(std::unique_ptr<T>& held) {
  if (held == nullptr) return;
  ForgetReferences(*held);
  held.reset();
}

template <class T, class U>
std::size_t IndexIn(const std::vector<std::unique_ptr<T>>& list, const U* object) {
  const auto it = std::find_if(list.begin(), list.end(),
                               [object](const std::unique_ptr<T>& p) { return p.get() == object; });
  assert(it != list.end() && "object is not in its list");
  return static_cast<std::size_t>(it - list.begin());
}

// Takes the object at `index` out of `list`, releasing its references.
template <class T>
std::unique_ptr<T> TakeOut(std::vector<std::unique_ptr<T>>& list, std::size_t index) {
  std::unique_ptr<T> object = std::move(list[index]);
  list.erase(list.begin() + static_cast<std::ptrdiff_t>(index));
  ReleaseReferences(*object);
  return object;
}

// Puts `object` back at `index` of `list`, counting its references again.
template <class T>
void PutBack(std::vector<std::unique_ptr<T>>& list, std::size_t index, std::unique_ptr<T> object) {
  assert(index <= list.size());
  AddReferences(*object);
  list.insert(list.begin() + static_cast<std::ptrdiff_t>(index), std::move(object));
}

template <class T>
ObjectList One(T* object) {
  return ObjectList{static_cast<void*>(object)};
}

}  // namespace

DocumentCommand::DocumentCommand(ProjectDocument& document, const QString& text)
    : QUndoCommand(text), doc_(document) {}

// --- create ---------------------------------------------------------------------------

CreateNodeCommand::CreateNodeCommand(ProjectDocument& document, double x, double y)
    : DocumentCommand(document, QStringLiteral("Create point")),
      held_(std::make_unique<TNode>(x, y)) {
  node_ = held_.get();
  node_->Number = -1;
}

CreateNodeCommand::~CreateNodeCommand() {
  DropHeld(held_);
}

void CreateNodeCommand::redo() {
  auto& nodes = doc_.Model().Nodes;
  nodes.push_back(std::move(held_));
  AddReferences(*node_);
  node_->Number = static_cast<std::int32_t>(nodes.size());
  doc_.NotifyAdded(ObjectKind::Node, One(node_));
}

void CreateNodeCommand::undo() {
  auto& nodes = doc_.Model().Nodes;
  held_ = TakeOut(nodes, IndexIn(nodes, node_));
  doc_.NotifyRemoved(ObjectKind::Node, One(node_));
}

CreateEdgeCommand::CreateEdgeCommand(ProjectDocument& document, std::unique_ptr<TEdge> edge)
    : DocumentCommand(document, edge != nullptr && edge->NodeCount() == 3
                                    ? QStringLiteral("Create curve")
                                    : QStringLiteral("Create line")),
      edge_(edge.get()),
      held_(std::move(edge)) {
  assert(edge_ != nullptr);
  // The constructor counted the references; the first redo counts them again.
  ReleaseReferences(*edge_);
}

CreateEdgeCommand::~CreateEdgeCommand() {
  DropHeld(held_);
}

void CreateEdgeCommand::redo() {
  auto& edges = doc_.Model().Edges;
  PutBack(edges, edges.size(), std::move(held_));
  doc_.NotifyAdded(ObjectKind::Edge, One(edge_));
}

void CreateEdgeCommand::undo() {
  auto& edges = doc_.Model().Edges;
  held_ = TakeOut(edges, IndexIn(edges, edge_));
  doc_.NotifyRemoved(ObjectKind::Edge, One(edge_));
}

CreateSurfaceCommand::CreateSurfaceCommand(ProjectDocument& document,
                                           std::unique_ptr<TVemtoSurface> surface, int columns,
                                           int rows)
    : DocumentCommand(document, QStringLiteral("Create surface")),
      surface_(surface.get()),
      held_(std::move(surface)) {
  assert(surface_ != nullptr);
  ReleaseReferences(*surface_);
  for (int i = 0; i < 4; ++i) {
    TEdge* edge = surface_->GetEdge(i);
    before_[i] = edge != nullptr ? edge->Divisions : 0;
    const int wanted = i % 2 == 0 ? columns : rows;
    after_[i] = wanted >= 1 ? wanted : before_[i];
  }
}

CreateSurfaceCommand::~CreateSurfaceCommand() {
  DropHeld(held_);
}

void CreateSurfaceCommand::SetDivisions(const std::array<std::int32_t, 4>& counts, bool backwards) {
  ObjectList changed;
  // Undo goes backwards, so that an edge used twice ends as it began.
  for (int n = 0; n < 4; ++n) {
    const int i = backwards ? 3 - n : n;
    if (TEdge* edge = surface_->GetEdge(i)) {
      edge->Divisions = counts[i];
      if (!changed.contains(edge)) changed.push_back(edge);
    }
  }
  doc_.NotifyChanged(ObjectKind::Edge, changed);
}

void CreateSurfaceCommand::redo() {
  auto& surfaces = doc_.Model().Surfaces;
  SetDivisions(after_, false);
  PutBack(surfaces, surfaces.size(), std::move(held_));
  surface_->Number = static_cast<std::int32_t>(surfaces.size());  // its row, as a node's
  doc_.NotifyAdded(ObjectKind::Surface, One(surface_));
}

void CreateSurfaceCommand::undo() {
  auto& surfaces = doc_.Model().Surfaces;
  held_ = TakeOut(surfaces, IndexIn(surfaces, surface_));
  doc_.NotifyRemoved(ObjectKind::Surface, One(surface_));
  SetDivisions(before_, true);
}

// --- move ---------------------------------------------------------------------------

MoveNodeCommand::MoveNodeCommand(ProjectDocument& document, TNode* node, double x, double y,
                                 int dragId)
    : DocumentCommand(document, QStringLiteral("Move point")),
      node_(node),
      fromX_(node->Coord->X),
      fromY_(node->Coord->Y),
      toX_(x),
      toY_(y),
      dragId_(dragId) {}

bool MoveNodeCommand::mergeWith(const QUndoCommand* other) {
  const auto* move = dynamic_cast<const MoveNodeCommand*>(other);
  if (move == nullptr || move->node_ != node_ || move->dragId_ != dragId_) return false;
  toX_ = move->toX_;
  toY_ = move->toY_;
  return true;
}

void MoveNodeCommand::MoveTo(double x, double y) {
  node_->Coord->X = x;
  node_->Coord->Y = y;
  doc_.NotifyChanged(ObjectKind::Node, One(node_));
}

void MoveNodeCommand::redo() {
  MoveTo(toX_, toY_);
}

void MoveNodeCommand::undo() {
  MoveTo(fromX_, fromY_);
}

// --- delete -------------------------------------------------------------------------

DeleteObjectsCommand::DeleteObjectsCommand(ProjectDocument& document, const QList<TNode*>& nodes,
                                           const QList<TEdge*>& edges,
                                           const QList<TVemtoSurface*>& surfaces)
    : DocumentCommand(document, QStringLiteral("Delete")) {
  // Every check before anything is deleted: counts as they are now.
  auto collect = [this](const auto& selected, auto& out) {
    for (auto* object : selected) {
      if (object == nullptr) continue;
      if (object->InUse()) {
        refused_ = true;
        continue;
      }
      if (std::none_of(out.begin(), out.end(),
                       [object](const auto& r) { return r.object == object; }))
        out.push_back({object, 0, nullptr});
    }
  };
  collect(nodes, nodes_);
  collect(edges, edges_);
  collect(surfaces, surfaces_);
}

DeleteObjectsCommand::~DeleteObjectsCommand() {
  for (auto& r : surfaces_) DropHeld(r.held);
  for (auto& r : edges_) DropHeld(r.held);
  for (auto& r : nodes_) DropHeld(r.held);
}

namespace {

// Takes the recorded objects out of `list`, from the highest position down, so that
// putting them back from the lowest position up restores the list.
template <class T, class R>
ObjectList RemoveAll(std::vector<std::unique_ptr<T>>& list, std::vector<R>& removed) {
  for (R& r : removed) r.index = IndexIn(list, r.object);
  std::sort(removed.begin(), removed.end(),
            [](const R& a, const R& b) { return a.index > b.index; });
  ObjectList objects;
  for (R& r : removed) {
    r.held = TakeOut(list, r.index);
    objects.push_back(r.object);
  }
  return objects;
}

template <class T, class R>
ObjectList RestoreAll(std::vector<std::unique_ptr<T>>& list, std::vector<R>& removed) {
  ObjectList objects;
  for (auto it = removed.rbegin(); it != removed.rend(); ++it) {
    PutBack(list, it->index, std::move(it->held));
    objects.push_back(it->object);
  }
  return objects;
}

ObjectList AllNodes(TVemtoFile& model) {
  ObjectList out;
  for (auto& node : model.Nodes) out.push_back(node.get());
  return out;
}

}  // namespace

void DeleteObjectsCommand::redo() {
  TVemtoFile& model = doc_.Model();
  numbersBefore_.clear();
  for (auto& node : model.Nodes) numbersBefore_.push_back(node->Number);
  const ObjectList surfaces = RemoveAll(model.Surfaces, surfaces_);
  const ObjectList edges = RemoveAll(model.Edges, edges_);
  const ObjectList nodes = RemoveAll(model.Nodes, nodes_);
  std::int32_t number = 0;
  for (auto& node : model.Nodes) node->Number = ++number;
  if (!surfaces.isEmpty()) doc_.NotifyRemoved(ObjectKind::Surface, surfaces);
  if (!edges.isEmpty()) doc_.NotifyRemoved(ObjectKind::Edge, edges);
  if (!nodes.isEmpty()) doc_.NotifyRemoved(ObjectKind::Node, nodes);
  doc_.NotifyChanged(ObjectKind::Node, AllNodes(model));
}

void DeleteObjectsCommand::undo() {
  TVemtoFile& model = doc_.Model();
  const ObjectList nodes = RestoreAll(model.Nodes, nodes_);
  const ObjectList edges = RestoreAll(model.Edges, edges_);
  const ObjectList surfaces = RestoreAll(model.Surfaces, surfaces_);
  assert(numbersBefore_.size() == model.Nodes.size());
  for (std::size_t i = 0; i < model.Nodes.size() && i < numbersBefore_.size(); ++i)
    model.Nodes[i]->Number = numbersBefore_[i];
  if (!nodes.isEmpty()) doc_.NotifyAdded(ObjectKind::Node, nodes);
  if (!edges.isEmpty()) doc_.NotifyAdded(ObjectKind::Edge, edges);
  if (!surfaces.isEmpty()) doc_.NotifyAdded(ObjectKind::Surface, surfaces);
  doc_.NotifyChanged(ObjectKind::Node, AllNodes(model));
}

// --- general edits ----------------------------------------------------------------------

EditCommand::EditCommand(ProjectDocument& document, const QString& text,
                         std::function<void()> apply, std::function<void()> revert, ObjectKind kind,
                         ObjectList objects)
    : DocumentCommand(document, text),
      apply_(std::move(apply)),
      revert_(std::move(revert)),
      kind_(kind),
      objects_(std::move(objects)) {}

void EditCommand::redo() {
  apply_();
  doc_.NotifyChanged(kind_, objects_);
}

void EditCommand::undo() {
  revert_();
  doc_.NotifyChanged(kind_, objects_);
}

}  // namespace vemto
