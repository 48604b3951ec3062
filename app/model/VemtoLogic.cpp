#include "VemtoLogic.h"

#include <fmt/format.h>

#include <algorithm>
#include <map>

#include "VemtoFile.h"

namespace vemto {

namespace {

void CheckSurfaces(const TVemtoFile& doc, std::vector<std::string>& errors) {
  if (doc.Surfaces.empty()) {
    errors.push_back("No surfaces defined.");
    return;
  }
  for (std::size_t k = 0; k < doc.Surfaces.size(); ++k)
    if (!doc.Surfaces[k]->Material)
      errors.push_back(fmt::format("No material assigned to surface {}", k + 1));

  // Own thickness: -1.0 exactly means "the general thickness applies".
  for (std::size_t k = 0; k < doc.Surfaces.size(); ++k) {
    const double t = doc.Surfaces[k]->Thickness;
    if (t != -1.0 && !(t > 0.0))
      errors.push_back(fmt::format("Thickness = 0 or negative value in surface {}.", k + 1));
  }

  // A surface is meshed with Edges[0].Divisions along edges 0 and 2 and
  // Edges[1].Divisions along edges 1 and 3; an edge shared by two surfaces needs the
  // same count from both, or the meshes do not join.
  struct Need {
    std::size_t Surface;
    std::int32_t Divisions;
  };
  std::map<const TEdge*, Need> needs;
  std::map<const TEdge*, bool> reported;
  std::vector<const TEdge*> order;
  for (std::size_t k = 0; k < doc.Surfaces.size(); ++k) {
    const TVemtoSurface& s = *doc.Surfaces[k];
    for (int i = 0; i < 4; ++i) {
      const TEdge* e = s.GetEdge(i);
      if (!e) continue;
      const std::int32_t n = (i % 2 == 0) ? s.DivisionsU() : s.DivisionsV();
      const auto it = needs.find(e);
      if (it == needs.end()) {
        needs.emplace(e, Need{k, n});
      } else if (it->second.Divisions != n && !reported[e]) {
        reported[e] = true;
        errors.push_back(fmt::format(
            "Surfaces {} and {} need different numbers of divisions ({} and {}) on their "
            "common edge.",
            it->second.Surface + 1, k + 1, it->second.Divisions, n));
      }
    }
  }
}

void CheckConditions(const TVemtoFile& doc, std::vector<std::string>& warnings,
                     std::vector<std::string>& errors) {
  if (doc.Positions.empty()) {
    warnings.push_back("No boundary conditions defined.");
  } else {
    int temperature = 0, x = 0, y = 0;
    for (const auto& pos : doc.Positions) {
      if (dynamic_cast<const TVemtoTempCondition*>(pos->Condition)) ++temperature;
      if (const auto* d = dynamic_cast<const TVemtoDisplCondition*>(pos->Condition)) {
        if (d->Direction == 1 || d->Direction == 3) ++x;
        if (d->Direction == 2 || d->Direction == 3) ++y;
      }
    }
    if (temperature == 0) warnings.push_back("No temperature conditions defined.");
    if (x == 0 && y == 0) {
      warnings.push_back("No displacement conditions defined.");
    } else {
      if (x == 0) warnings.push_back("No displacement conditions defined in the X direction.");
      if (y == 0) warnings.push_back("No displacement conditions defined in the Y direction.");
    }
  }

  // References the mesher relies on.
  for (std::size_t k = 0; k < doc.Positions.size(); ++k) {
    const TVemtoPosition* pos = doc.Positions[k].get();
    if (const auto* pp = dynamic_cast<const TVemtoPipePos*>(pos)) {
      if (!pp->Pipe) errors.push_back(fmt::format("No pipe assigned to pipe point {}.", k + 1));
      continue;
    }
    if (!pos->Condition)
      errors.push_back(fmt::format("No condition assigned to boundary condition {}.", k + 1));
    if (const auto* ep = dynamic_cast<const TVemtoEdgePos*>(pos); ep && !ep->Edge)
      errors.push_back(fmt::format("No edge assigned to boundary condition {}.", k + 1));
    if (const auto* sp = dynamic_cast<const TVemtoSurfacePos*>(pos); sp && !sp->Surface)
      errors.push_back(fmt::format("No surface assigned to boundary condition {}.", k + 1));
  }
  for (const auto& pipe : doc.Pipes)
    if (!pipe->Condition)
      errors.push_back(fmt::format("No pipe condition assigned to pipe {}.", pipe->Name));
}

// Positions the mesher would pass over: the condition cannot act where it is placed,
// or the edge or surface it is placed on is no longer part of the model.
void CheckIgnoredPositions(const TVemtoFile& doc, std::vector<std::string>& warnings) {
  for (std::size_t k = 0; k < doc.Positions.size(); ++k) {
    const TVemtoPosition* pos = doc.Positions[k].get();
    const TVemtoCondition* c = pos->Condition;
    if (c == nullptr || dynamic_cast<const TVemtoPipePos*>(pos)) continue;
    const std::size_t n = k + 1;
    if (dynamic_cast<const TVemtoPipeCondition*>(c)) {
      warnings.push_back(fmt::format(
          "Boundary condition {} uses the pipe condition \"{}\", which acts only through a "
          "pipe; it is ignored.",
          n, c->Name));
      continue;
    }
    if (const auto* ep = dynamic_cast<const TVemtoEdgePos*>(pos); ep && ep->Edge) {
      const bool listed = std::any_of(doc.Edges.begin(), doc.Edges.end(),
                                      [ep](const auto& e) { return e.get() == ep->Edge; });
      if (!listed || !ep->Edge->FirstNode() || !ep->Edge->LastNode())
        warnings.push_back(fmt::format(
            "The edge of boundary condition {} (\"{}\") no longer exists; it is ignored.", n,
            c->Name));
    }
    if (const auto* sp = dynamic_cast<const TVemtoSurfacePos*>(pos); sp && sp->Surface) {
      const bool listed = std::any_of(doc.Surfaces.begin(), doc.Surfaces.end(),
                                      [sp](const auto& s) { return s.get() == sp->Surface; });
      if (!listed)
        warnings.push_back(fmt::format(
            "The surface of boundary condition {} (\"{}\") no longer exists; it is ignored.", n,
            c->Name));
      else if (!dynamic_cast<const TVemtoTempCondition*>(c) &&
               !dynamic_cast<const TVemtoFlowCondition*>(c))
        warnings.push_back(fmt::format(
            "Boundary condition {} puts \"{}\" on a surface, where only temperature and heat "
            "flow conditions act; it is ignored.",
            n, c->Name));
    }
  }
}

void CheckIntervals(const TVemtoFile& doc, std::vector<std::string>& errors) {
  if (doc.Intervals.empty()) {
    errors.push_back("No time intervals defined.");
    return;
  }
  for (const auto& iv : doc.Intervals)
    if (!(iv->StoreStep >= iv->TimeStep)) errors.push_back("Storage step less than the timestep.");

  double start = doc.GeneralInfo.InitialTime;
  for (std::size_t k = 0; k < doc.Intervals.size(); ++k) {
    const TVemtoInterval& iv = *doc.Intervals[k];
    const std::size_t n = k + 1;
    if (!(iv.TimeStep > 0.0))
      errors.push_back(fmt::format("Time step = 0 or negative value in interval {}.", n));
    if (!(iv.StoreStep > 0.0))
      errors.push_back(fmt::format("Storage step = 0 or negative value in interval {}.", n));
    const double length = iv.EndTime - start;
    if (!(length > 0.0))
      errors.push_back(fmt::format("End time of interval {} not after its start.", n));
    else if (iv.StoreStep > length)
      errors.push_back(fmt::format("Storage step longer than interval {}.", n));
    start = iv.EndTime;
  }
}

}  // namespace

void TVemtoLogic::CheckModel(const TVemtoFile& document) {
  Warnings.clear();
  Errors.clear();
  CheckSurfaces(document, Errors);
  CheckConditions(document, Warnings, Errors);
  CheckIgnoredPositions(document, Warnings);
  CheckIntervals(document, Errors);
  if (!(document.GeneralInfo.Thickness > 0.0)) Errors.push_back("Thickness = 0 or negative value.");
}

}  // namespace vemto
