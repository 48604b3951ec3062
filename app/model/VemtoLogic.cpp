#include "VemtoLogic.h"

#include <fmt/format.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>
#include <map>
#include <set>

#include "TimeSteps.h"
#include "VemtoFile.h"
#include "WorkLayout.h"

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

/// The corner node k (P0..P3) of a surface: the node its edges k-1 and k share.
const TNode* Corner(const TVemtoSurface& s, int k) {
  const TEdge* before = s.Edges[static_cast<std::size_t>((k + 3) % 4)];
  const TEdge* edge = s.Edges[static_cast<std::size_t>(k)];
  if (before == nullptr || edge == nullptr) return nullptr;
  for (const TNode* n : {edge->FirstNode(), edge->LastNode()})
    if (n == before->FirstNode() || n == before->LastNode()) return n;
  return nullptr;
}

/// The counts of the analysis data file the mesher writes for this model: nodes and
/// elements of the mesh (shared corners and edges once; an infinite strip has nodes on
/// its finite side and one on each line across, a corner element its corner and the
/// two across), element edges and nodes under edge positions, and the conditions of
/// each group.
engine::AnalysisHeader MeshCounts(const TVemtoFile& doc) {
  engine::AnalysisHeader h;
  std::set<const TNode*> corners;
  std::set<const TEdge*> edges;
  std::int64_t nodes = 0, el8 = 0, el5 = 0, el3 = 0;
  for (const auto& sp : doc.Surfaces) {
    const TVemtoSurface& s = *sp;
    std::array<const TNode*, 4> p{};
    for (int k = 0; k < 4; ++k) p[static_cast<std::size_t>(k)] = Corner(s, k);
    if (std::find(p.begin(), p.end(), nullptr) != p.end()) continue;
    double area2 = 0.0;
    for (std::size_t k = 0; k < 4; ++k)
      area2 +=
          p[k]->Coord->X * p[(k + 1) % 4]->Coord->Y - p[(k + 1) % 4]->Coord->X * p[k]->Coord->Y;
    // Sides in the mesher's counter-clockwise order from P0: a clockwise surface is
    // passed the other way round (side 1 is then its edge 3).
    std::array<int, 4> side{0, 1, 2, 3};
    std::int64_t u = std::max(s.DivisionsU(), 0), v = std::max(s.DivisionsV(), 0);
    if (area2 < 0.0) {
      side = {3, 2, 1, 0};
      std::swap(u, v);
    }
    const auto edge = [&](int k) {
      return s.Edges[static_cast<std::size_t>(side[static_cast<std::size_t>(k)])];
    };
    const auto start = [&](int k) {  // first corner of side k in the mesher's order
      return area2 < 0.0 ? p[static_cast<std::size_t>((4 - k) % 4)]
                         : p[static_cast<std::size_t>(k)];
    };
    if (s.ElementType == 0) {
      el8 += u * v;
      nodes += std::max<std::int64_t>(0, 3 * u * v - 2 * u - 2 * v + 1);
      for (int k = 0; k < 4; ++k) edges.insert(edge(k)), corners.insert(start(k));
    } else if (s.ElementType == 1) {
      el5 += u;
      nodes += std::max<std::int64_t>(0, u - 1);
      for (int k : {0, 1, 3}) edges.insert(edge(k));
      corners.insert(start(0));
      corners.insert(start(1));
    } else {
      ++el3;
      for (int k : {0, 3}) edges.insert(edge(k));
      corners.insert(start(0));
    }
  }
  for (const TEdge* e : edges)
    nodes += std::max(2 * std::int64_t{e->Divisions} - 1, std::int64_t{0});
  nodes += static_cast<std::int64_t>(corners.size());

  // Positions, grouped as the mesher driver groups them (pipe points aside).
  enum Group {
    kEdgeTemp,
    kEdgeFlow,
    kAreaTemp,
    kAreaFlow,
    kNodalTemp,
    kNodalFlow,
    kEdgeSpring,
    kEdgeLoad,
    kEdgeDisp,
    kNodalDisp,
    kNodalSpring,
    kNodalLoad,
    kGroups
  };
  std::array<std::int64_t, kGroups> items{};
  std::array<std::set<const TVemtoCondition*>, kGroups> conds;
  for (const auto& pp : doc.Positions) {
    const TVemtoPosition* pos = pp.get();
    const TVemtoCondition* c = pos->Condition;
    if (dynamic_cast<const TVemtoPipePos*>(pos) != nullptr || c == nullptr) continue;
    const bool temp = dynamic_cast<const TVemtoTempCondition*>(c) != nullptr;
    const bool flow = dynamic_cast<const TVemtoFlowCondition*>(c) != nullptr;
    const bool disp = dynamic_cast<const TVemtoDisplCondition*>(c) != nullptr;
    const bool load = dynamic_cast<const TVemtoLoadCondition*>(c) != nullptr;
    const bool spring = dynamic_cast<const TVemtoSpringCondition*>(c) != nullptr;
    int g = -1;
    std::int64_t n = 1;
    if (dynamic_cast<const TVemtoNodalPos*>(pos) != nullptr) {
      g = temp     ? kNodalTemp
          : flow   ? kNodalFlow
          : disp   ? kNodalDisp
          : load   ? kNodalLoad
          : spring ? kNodalSpring
                   : -1;
    } else if (const auto* e = dynamic_cast<const TVemtoEdgePos*>(pos)) {
      if (e->Edge == nullptr) continue;
      g = temp     ? kEdgeTemp
          : flow   ? kEdgeFlow
          : disp   ? kEdgeDisp
          : load   ? kEdgeLoad
          : spring ? kEdgeSpring
                   : -1;
      n = std::max(std::int64_t{e->Edge->Divisions}, std::int64_t{0});
      if (disp) n = 2 * n + 1;  // the nodes along the edge
    } else if (const auto* a = dynamic_cast<const TVemtoSurfacePos*>(pos)) {
      if (a->Surface == nullptr) continue;
      g = temp ? kAreaTemp : flow ? kAreaFlow : -1;
      n = std::int64_t{std::max(a->Surface->DivisionsU(), 0)} *
          std::max(a->Surface->DivisionsV(), 0);
    }
    if (g < 0) continue;
    items[static_cast<std::size_t>(g)] += n;
    conds[static_cast<std::size_t>(g)].insert(c);
  }
  const auto count = [](std::int64_t n) {
    return static_cast<std::int32_t>(
        std::min<std::int64_t>(n, std::numeric_limits<std::int32_t>::max()));
  };
  const auto conditions = [&](int g) {
    return static_cast<std::int64_t>(conds[static_cast<std::size_t>(g)].size());
  };
  const auto item = [&](int g) { return items[static_cast<std::size_t>(g)]; };
  h.analysisType = doc.GeneralInfo.AnalysisType;
  h.tempMode = doc.GeneralInfo.SimulationType;
  h.nNodes = count(nodes);
  h.nEl8 = count(el8);
  h.nEl5 = count(el5);
  h.nEl3 = count(el3);
  h.nMaterials = count(static_cast<std::int64_t>(doc.Materials.Count()));
  h.nEdgeTempEdges = count(item(kEdgeTemp)), h.nEdgeTempConds = count(conditions(kEdgeTemp));
  h.nEdgeFlowEdges = count(item(kEdgeFlow)), h.nEdgeFlowConds = count(conditions(kEdgeFlow));
  h.nSurfTempEls = count(item(kAreaTemp)), h.nSurfTempConds = count(conditions(kAreaTemp));
  h.nSurfFlowEls = count(item(kAreaFlow)), h.nSurfFlowConds = count(conditions(kAreaFlow));
  h.nNodalTempPos = count(item(kNodalTemp)), h.nNodalTempConds = count(conditions(kNodalTemp));
  h.nNodalFlowPos = count(item(kNodalFlow)), h.nNodalFlowConds = count(conditions(kNodalFlow));
  h.nPipeConds = count(static_cast<std::int64_t>(doc.Pipes.Count()));
  h.nSpringEdges = count(item(kEdgeSpring)), h.nSpringConds = count(conditions(kEdgeSpring));
  h.nLoadEdges = count(item(kEdgeLoad)), h.nLoadConds = count(conditions(kEdgeLoad));
  h.nDispNodes = count(item(kEdgeDisp) + item(kNodalDisp));
  h.nDispConds = count(conditions(kEdgeDisp) + conditions(kNodalDisp));
  h.nNodalSpringPos = count(item(kNodalSpring)),
  h.nNodalSpringConds = count(conditions(kNodalSpring));
  h.nNodalLoadPos = count(item(kNodalLoad)), h.nNodalLoadConds = count(conditions(kNodalLoad));
  return h;
}

/// Storage events of the run, counted as the engine counts them.
std::int64_t StorageEvents(const TVemtoFile& doc) {
  constexpr double kSecondsPerHour = 3600.0;
  std::int64_t events = 0;
  double start = doc.GeneralInfo.InitialTime * kSecondsPerHour;
  for (const auto& interval : doc.Intervals) {
    const double end = interval->EndTime * kSecondsPerHour;
    const double store = interval->StoreStep * kSecondsPerHour;
    if (store > 0.0 && end >= start && (end - start) / store < 2e9)
      events += numlib::WholeSteps(end - start, store);
    start = end;
  }
  return events;
}

}  // namespace

MemoryNeed ModelMemoryNeed(const TVemtoFile& doc) {
  const engine::AnalysisHeader h = MeshCounts(doc);
  MemoryNeed need;
  // The mesher: at the least its node coordinates and element records.
  need.Mesher = 2 * std::int64_t{h.nNodes} + 5 * (std::int64_t{h.nEl8} + h.nEl5 + h.nEl3);
  // The engine on its default (sparse) solution path: exactly the matrices it defines.
  need.Engine = engine::RunWords(h, StorageEvents(doc), engine::SolverKind::kSparse, 0);
  return need;
}

namespace {

void CheckMemory(const TVemtoFile& doc, std::vector<std::string>& errors) {
  const MemoryNeed need = ModelMemoryNeed(doc);
  auto check = [&](const char* what, const char* least, std::int64_t words, std::int32_t set) {
    if (words > set)
      errors.push_back(
          fmt::format("The model is too large for the {} memory: it needs {}{} bytes, {} are set.",
                      what, least, 8 * words, 8 * std::int64_t{set}));
  };
  check("mesher", "at least ", need.Mesher, doc.MeshMemory);
  check("engine", "", need.Engine, doc.EngineMemory);
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

void CheckExposedFaces(const TVemtoFile& doc, std::vector<std::string>& warnings) {
  for (const TExposedFaces& f : FindExposedFaces(doc)) warnings.push_back(ExposedFacesWarning(f));
}

}  // namespace

std::string ExposedFacesWarning(const TExposedFaces& f) {
  return fmt::format(
      "Faces of surface {} are exposed without a temperature condition after surface {} "
      "is removed at {:.15g} h.",
      f.Surface + 1, f.Removed + 1, f.Time);
}

/// Faces that a removal lays open: an edge shared by a surface that is removed during
/// the calculation and one that stays needs a temperature condition from the removal on,
/// or the remaining surface is adiabatic there.
std::vector<TExposedFaces> FindExposedFaces(const TVemtoFile& doc) {
  std::vector<TExposedFaces> found;
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
      TExposedFaces f{k, r, t, {}};
      for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j)
          if (TEdge* e = s.GetEdge(i); e && e == doc.Surfaces[r]->GetEdge(j) && !cooled(e, t))
            f.Edges.push_back(e);
      if (!f.Edges.empty()) found.push_back(std::move(f));
    }
  }
  return found;
}

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
