#include "VemtoLogic.h"

#include <fmt/format.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <map>
#include <set>

#include "VemtoFile.h"

namespace vemto {

namespace {

/// Surfaces whose edges do not bound a quadrilateral (the mesher would collapse them).
void CheckSurfaceChains(const TVemtoFile& doc, std::vector<std::string>& errors) {
  for (std::size_t k = 0; k < doc.Surfaces.size(); ++k)
    if (const std::string problem = SurfaceChainProblem(*doc.Surfaces[k]); !problem.empty())
      errors.push_back(fmt::format("Surface {} is not a four-sided surface: {}.", k + 1, problem));
}

void CheckSurfaces(const TVemtoFile& doc, std::vector<std::string>& errors) {
  if (doc.Surfaces.empty()) {
    errors.push_back("No surfaces defined.");
    return;
  }
  for (std::size_t k = 0; k < doc.Surfaces.size(); ++k)
    if (!doc.Surfaces[k]->Material)
      errors.push_back(fmt::format("No material assigned to surface {}", k + 1));

  CheckSurfaceChains(doc, errors);

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
    if (!SurfaceChainProblem(s).empty()) continue;  // reported on its own
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

// --- What the mesher and the engine would refuse ----------------------------------------

bool Finite(double v) {
  return std::isfinite(v);
}

/// Non-finite numbers anywhere the mesher or the engine reads them.
void CheckFiniteNumbers(const TVemtoFile& doc, std::vector<std::string>& errors) {
  for (std::size_t k = 0; k < doc.Nodes.size(); ++k) {
    const TCoord& c = *doc.Nodes[k]->Coord;
    if (!Finite(c.X) || !Finite(c.Y))
      errors.push_back(fmt::format("Node {} has a coordinate that is not a finite number.", k + 1));
  }
  for (const auto& c : doc.Conditions) {
    for (std::size_t i = 0; i < c->History.size(); ++i) {
      const TVemtoEventPos& p = c->History[i];
      if (!Finite(p.Time) || !Finite(p.Value1) || !Finite(p.Value2))
        errors.push_back(
            fmt::format("Condition \"{}\": history point {} holds a number that is not finite.",
                        c->Name, i + 1));
    }
    std::vector<double> fields;
    if (const auto* t = dynamic_cast<const TVemtoTempCondition*>(c.get()))
      fields = {t->ThermalConductivity, t->InsulationThickness, t->WindVelocity,
                t->TransferCoefficient};
    else if (const auto* p = dynamic_cast<const TVemtoPipeCondition*>(c.get()))
      fields = {p->TransferCoefficient, p->PipeDiameter, p->SpecificHeat};
    else if (const auto* sp = dynamic_cast<const TVemtoSpringCondition*>(c.get()))
      fields = {sp->StiffnessX, sp->StiffnessY};
    if (!std::all_of(fields.begin(), fields.end(), Finite))
      errors.push_back(fmt::format(
          "Condition \"{}\": a transfer coefficient or constant is not a finite number.", c->Name));
  }
  for (const auto& m : doc.Materials)
    for (int k = 1; k <= kMaterialProperties; ++k)
      if (!Finite(m->P(k))) {
        errors.push_back(
            fmt::format("Material \"{}\": property {} is not a finite number.", m->Name, k));
        break;
      }
  for (std::size_t k = 0; k < doc.Positions.size(); ++k)
    if (const auto* n = dynamic_cast<const TVemtoNodalPos*>(doc.Positions[k].get());
        n && (!Finite(n->X) || !Finite(n->Y)))
      errors.push_back(fmt::format(
          "Boundary condition {} lies at a point whose coordinates are not finite numbers.",
          k + 1));
  for (std::size_t k = 0; k < doc.Intervals.size(); ++k) {
    const TVemtoInterval& iv = *doc.Intervals[k];
    if (!Finite(iv.EndTime) || !Finite(iv.TimeStep) || !Finite(iv.StoreStep))
      errors.push_back(fmt::format("Interval {} holds a time that is not a finite number.", k + 1));
  }
  if (!Finite(doc.GeneralInfo.InitialTime))
    errors.push_back("The initial time is not a finite number.");
  if (!Finite(doc.GeneralInfo.Thickness)) errors.push_back("The thickness is not a finite number.");
  for (std::size_t k = 0; k < doc.Surfaces.size(); ++k)
    if (!Finite(doc.Surfaces[k]->Thickness))
      errors.push_back(fmt::format("The thickness of surface {} is not a finite number.", k + 1));
}

/// Histories longer than the mesher can take.
void CheckHistoryLengths(const TVemtoFile& doc, std::vector<std::string>& errors) {
  for (const auto& c : doc.Conditions)
    if (c->History.size() > kMaxHistoryPoints)
      errors.push_back(
          fmt::format("Condition \"{}\" has {} history points; at most {} are allowed.", c->Name,
                      c->History.size(), kMaxHistoryPoints));
}

/// Edges from a node to itself; infinite-element surfaces more than one element deep.
void CheckElementLayout(const TVemtoFile& doc, std::vector<std::string>& errors) {
  for (std::size_t k = 0; k < doc.Edges.size(); ++k) {
    const TEdge& e = *doc.Edges[k];
    if (e.FirstNode() && e.FirstNode() == e.LastNode())
      errors.push_back(
          fmt::format("Edge {} starts and ends at node {}.", k + 1, e.FirstNode()->Number));
  }
  for (std::size_t k = 0; k < doc.Surfaces.size(); ++k) {
    const TVemtoSurface& s = *doc.Surfaces[k];
    if (s.ElementType == 1 && s.DivisionsV() != 1)
      errors.push_back(fmt::format(
          "Surface {} has five-node infinite elements and {} divisions across (along its second "
          "edge); one row is needed.",
          k + 1, s.DivisionsV()));
    if (s.ElementType == 2 && (s.DivisionsU() != 1 || s.DivisionsV() != 1))
      errors.push_back(fmt::format(
          "Surface {} has a three-node infinite element and {} x {} divisions; one is needed.",
          k + 1, s.DivisionsU(), s.DivisionsV()));
  }
}

/// Words the mesher and the engine need at the least for this model: the arrays whose
/// size follows from the counts of elements, nodes inside surfaces, materials and
/// conditions in use alone (integers take half a word). The engine keeps per
/// eight-node element 217 reals (thickness, stresses, strains, 172 words of Gauss-point
/// state, ratios and strengths) and 21 integers, per node 14 reals and 4 integers, per
/// material 73 reals and 5 integers, and one history record per condition in use.
struct MemoryNeed {
  std::int64_t Mesher = 0;
  std::int64_t Engine = 0;
};

MemoryNeed LeastMemory(const TVemtoFile& doc) {
  std::int64_t elements = 0, finite = 0, nodes = 0;
  for (const auto& s : doc.Surfaces) {
    const std::int64_t u = std::max<std::int32_t>(s->DivisionsU(), 0);
    const std::int64_t v = std::max<std::int32_t>(s->DivisionsV(), 0);
    elements += u * v;
    if (s->ElementType != 0) continue;
    finite += u * v;
    // Nodes off the sides of the surface belong to it alone.
    nodes += std::max<std::int64_t>(0, 3 * u * v - 2 * u - 2 * v + 1);
  }
  std::set<const TVemtoCondition*> used;
  for (const auto& pos : doc.Positions) {
    if (const auto* pp = dynamic_cast<const TVemtoPipePos*>(pos.get())) {
      if (pp->Pipe && pp->Pipe->Condition) used.insert(pp->Pipe->Condition);
    } else if (pos->Condition) {
      used.insert(pos->Condition);
    }
  }
  std::int64_t histories = 0;
  for (const TVemtoCondition* c : used) {
    if (dynamic_cast<const TVemtoPipeCondition*>(c))
      histories += 3007;
    else if (dynamic_cast<const TVemtoTempCondition*>(c))
      histories += 2002;
    else if (dynamic_cast<const TVemtoFlowCondition*>(c))
      histories += 2001;
    else
      histories += 3001;
  }
  const std::int64_t materials = static_cast<std::int64_t>(doc.Materials.Count());
  MemoryNeed need;
  need.Mesher = 2 * nodes + 5 * elements;
  need.Engine = (217 * 2 + 21) * finite / 2 + (14 * 2 + 4) * nodes / 2 +
                (73 * 2 + 5) * materials / 2 + histories;
  return need;
}

void CheckMemory(const TVemtoFile& doc, std::vector<std::string>& errors) {
  const MemoryNeed need = LeastMemory(doc);
  auto check = [&](const char* what, std::int64_t least, std::int32_t words) {
    if (least > words)
      errors.push_back(fmt::format(
          "The model is too large for the {} memory: it needs at least {} bytes, {} are set.", what,
          8 * least, 8 * std::int64_t{words}));
  };
  check("mesher", need.Mesher, doc.MeshMemory);
  check("engine", need.Engine, doc.EngineMemory);
}

/// Step counts beyond what the engine counts (a 32-bit number of steps).
void CheckStepCount(const TVemtoFile& doc, std::vector<std::string>& errors) {
  constexpr double kMaxSteps = std::numeric_limits<std::int32_t>::max();
  double total = 0.0;
  double start = doc.GeneralInfo.InitialTime;
  for (const auto& iv : doc.Intervals) {
    if (iv->TimeStep > 0.0 && iv->EndTime > start) total += (iv->EndTime - start) / iv->TimeStep;
    start = iv->EndTime;
  }
  if (std::isfinite(total) && total > kMaxSteps)
    errors.push_back(fmt::format(
        "The intervals give {:.0f} time steps; at most {:.0f} can be counted. Choose longer "
        "time steps.",
        total, kMaxSteps));
}

/// Problems met while the model was read (malformed property files).
void CheckLoadWarnings(const TVemtoFile& doc, std::vector<std::string>& warnings) {
  for (const std::string& w : doc.LoadWarnings) warnings.push_back(w);
}

/// Faces that a removal lays open: an edge shared by a surface that is removed during
/// the calculation and one that stays needs a temperature condition from the removal on,
/// or the remaining surface is adiabatic there.
void CheckExposedFaces(const TVemtoFile& doc, std::vector<std::string>& warnings) {
  double end = doc.GeneralInfo.InitialTime;
  for (const auto& iv : doc.Intervals) end = std::max(end, iv->EndTime);
  // Removal time in hours, or infinity for a surface that stays.
  auto removal = [](const TVemtoSurface& s) {
    const double t = s.Material ? s.Material->P(2) / 3600.0 : HUGE_VAL;
    return std::isfinite(t) ? t : HUGE_VAL;
  };
  // A temperature condition on `edge` that acts from `t` h on.
  auto cooled = [&](const TEdge* edge, double t) {
    for (const auto& pos : doc.Positions) {
      const auto* ep = dynamic_cast<const TVemtoEdgePos*>(pos.get());
      const auto* c = ep ? dynamic_cast<const TVemtoTempCondition*>(ep->Condition) : nullptr;
      if (!c || ep->Edge != edge || c->History.empty()) continue;
      const auto [lo, hi] = std::minmax_element(
          c->History.begin(), c->History.end(),
          [](const TVemtoEventPos& a, const TVemtoEventPos& b) { return a.Time < b.Time; });
      if (lo->Time <= t + 1e-9 && hi->Time > t) return true;  // tolerance 1e-9 h
    }
    return false;
  };
  for (std::size_t r = 0; r < doc.Surfaces.size(); ++r) {
    const double t = removal(*doc.Surfaces[r]);
    if (!(t < end)) continue;
    for (std::size_t k = 0; k < doc.Surfaces.size(); ++k) {
      const TVemtoSurface& s = *doc.Surfaces[k];
      if (k == r || s.ElementType != 0 || !(removal(s) > t)) continue;
      bool open = false;
      for (int i = 0; i < 4 && !open; ++i)
        for (int j = 0; j < 4 && !open; ++j)
          open = s.GetEdge(i) && s.GetEdge(i) == doc.Surfaces[r]->GetEdge(j) &&
                 !cooled(s.GetEdge(i), t);
      if (open)
        warnings.push_back(fmt::format(
            "Faces of surface {} are exposed without a temperature condition after surface {} "
            "is removed at {:.15g} h.",
            k + 1, r + 1, t));
    }
  }
}

}  // namespace

void TVemtoLogic::CheckModel(const TVemtoFile& document) {
  Warnings.clear();
  Errors.clear();
  CheckLoadWarnings(document, Warnings);
  CheckSurfaces(document, Errors);
  CheckConditions(document, Warnings, Errors);
  CheckIgnoredPositions(document, Warnings);
  CheckExposedFaces(document, Warnings);
  CheckIntervals(document, Errors);
  CheckFiniteNumbers(document, Errors);
  CheckHistoryLengths(document, Errors);
  CheckElementLayout(document, Errors);
  CheckMemory(document, Errors);
  CheckStepCount(document, Errors);
  if (!(document.GeneralInfo.Thickness > 0.0)) Errors.push_back("Thickness = 0 or negative value.");
}

}  // namespace vemto
