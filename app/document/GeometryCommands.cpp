#include "GeometryCommands.h"

#include <cmath>
#include <deque>

namespace vemto {

std::optional<TDivisionPlan> PlanDivisions(const TVemtoFile& model,
                                           const TDivisionRequests& requests,
                                           const std::array<TEdge*, 4>* extra,
                                           const TVemtoSurface* skip) {
  std::vector<std::array<TEdge*, 4>> surfaces;
  surfaces.reserve(model.Surfaces.size() + 1);
  for (const auto& s : model.Surfaces)
    if (s.get() != skip)
      surfaces.push_back({s->GetEdge(0), s->GetEdge(1), s->GetEdge(2), s->GetEdge(3)});
  if (extra != nullptr) surfaces.push_back(*extra);

  TDivisionPlan plan;
  std::deque<std::pair<TEdge*, std::int32_t>> work(requests.begin(), requests.end());
  while (!work.empty()) {
    const auto [edge, count] = work.front();
    work.pop_front();
    if (edge == nullptr) continue;
    const auto [it, inserted] = plan.emplace(edge, count);
    if (!inserted) {
      if (it->second != count) return std::nullopt;
      continue;
    }
    for (const auto& s : surfaces)
      for (int i = 0; i < 4; ++i)
        if (s[i] == edge) work.emplace_back(s[(i + 2) % 4], count);
  }
  return plan;
}

TDivisionRequests SurfaceDivisions(const std::array<TEdge*, 4>& edges, int columns, int rows) {
  TDivisionRequests requests;
  for (int i = 0; i < 4; ++i) requests.emplace_back(edges[i], i % 2 == 0 ? columns : rows);
  return requests;
}

SetDivisionsCommand::SetDivisionsCommand(ProjectDocument& document, const TDivisionPlan& plan)
    : DocumentCommand(document, QStringLiteral("Divisions")) {
  for (const auto& [edge, count] : plan) counts_[edge] = {edge->Divisions, count};
}

void SetDivisionsCommand::Apply(bool after) {
  ObjectList changed;
  for (const auto& [edge, c] : counts_) {
    edge->Divisions = after ? c.second : c.first;
    changed.push_back(edge);
  }
  if (!changed.isEmpty()) doc_.NotifyChanged(ObjectKind::Edge, changed);
}

void SetDivisionsCommand::redo() {
  Apply(true);
}

void SetDivisionsCommand::undo() {
  Apply(false);
}

SurfacePropertiesCommand::SurfacePropertiesCommand(ProjectDocument& document,
                                                   TVemtoSurface* surface, const TSurfaceEdit& edit)
    : DocumentCommand(document, QStringLiteral("Surface properties")),
      surface_(surface),
      after_(edit) {
  for (int i = 0; i < 4; ++i) before_.Edges[i] = surface->GetEdge(i);
  for (const auto& [edge, count] : edit.Divisions) before_.Divisions[edge] = edge->Divisions;
  before_.ElementType = surface->ElementType;
  before_.Thickness = surface->Thickness;
}

void SurfacePropertiesCommand::Apply(const TSurfaceEdit& state, const TSurfaceEdit& leaving) {
  // References move from the edges left to the edges taken (an edge kept is released
  // and referenced again, so its count stays).
  for (int i = 0; i < 4; ++i)
    if (TEdge* edge = leaving.Edges[i]) edge->Release();
  for (int i = 0; i < 4; ++i) {
    surface_->SetEdge(i, state.Edges[i]);
    if (state.Edges[i] != nullptr) state.Edges[i]->AddRef();
  }
  ObjectList edges;
  for (const auto& [edge, count] : state.Divisions) {
    edge->Divisions = count;
    edges.push_back(edge);
  }
  for (TEdge* edge : leaving.Edges)
    if (edge != nullptr && !edges.contains(edge)) edges.push_back(edge);
  for (TEdge* edge : state.Edges)
    if (edge != nullptr && !edges.contains(edge)) edges.push_back(edge);
  surface_->ElementType = state.ElementType;
  surface_->InfiniteFlag = state.ElementType != 0 ? 1 : 0;
  surface_->Thickness = state.Thickness;
  doc_.NotifyChanged(ObjectKind::Edge, edges);
  doc_.NotifyChanged(ObjectKind::Surface, ObjectList{surface_});
}

void SurfacePropertiesCommand::redo() {
  Apply(after_, before_);
}

void SurfacePropertiesCommand::undo() {
  Apply(before_, after_);
}

double StoredThickness(double thickness) {
  return std::isfinite(thickness) && thickness > 0.0 ? thickness : -1.0;
}

}  // namespace vemto
