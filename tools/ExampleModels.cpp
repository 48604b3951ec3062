#include "ExampleModels.h"

#include <fmt/format.h>
#include <cmath>
#include <map>
#include <stdexcept>
#include <utility>

namespace vemto::tools {

namespace {

/// Builds geometry and positions of a document with shared nodes and edges.
class ModelBuilder {
 public:
  ModelBuilder(TVemtoFile& doc, const TVemtoMaterialList& library) : doc_(doc), library_(library) {}

  /// The node at (x, y) m, created when missing (points closer than 1e-9 m are one).
  TNode* Node(double x, double y) {
    for (const auto& n : doc_.Nodes)
      if (std::fabs(n->Coord->X - x) < 1e-9 && std::fabs(n->Coord->Y - y) < 1e-9) return n.get();
    auto node = std::make_unique<TNode>(x, y);
    node->Number = static_cast<std::int32_t>(doc_.Nodes.size()) + 1;
    doc_.Nodes.push_back(std::move(node));
    return doc_.Nodes.back().get();
  }

  /// The straight edge between two nodes (either direction), created with `divisions`
  /// when missing; an existing edge must have the same count.
  TEdge* Line(TNode* a, TNode* b, int divisions) {
    for (const auto& e : doc_.Edges)
      if ((e->FirstNode() == a && e->LastNode() == b) ||
          (e->FirstNode() == b && e->LastNode() == a)) {
        if (e->Divisions != divisions)
          throw std::logic_error("an edge is shared with different division counts");
        return e.get();
      }
    doc_.Edges.push_back(std::make_unique<TEdgeLine>(a, b));
    doc_.Edges.back()->Divisions = divisions;
    return doc_.Edges.back().get();
  }

  /// A surface with corners P0..P3 (counter-clockwise), `columns` divisions along
  /// P0-P1 and P2-P3, `rows` along P1-P2 and P3-P0.
  TVemtoSurface* Surface(std::pair<double, double> p0, std::pair<double, double> p1,
                         std::pair<double, double> p2, std::pair<double, double> p3, int columns,
                         int rows, const std::string& material,
                         ElementKind kind = ElementKind::EightNode) {
    TNode* n0 = Node(p0.first, p0.second);
    TNode* n1 = Node(p1.first, p1.second);
    TNode* n2 = Node(p2.first, p2.second);
    TNode* n3 = Node(p3.first, p3.second);
    auto s = std::make_unique<TVemtoSurface>(Line(n0, n1, columns), Line(n1, n2, rows),
                                             Line(n2, n3, columns), Line(n3, n0, rows));
    s->ElementType = static_cast<std::uint8_t>(kind);
    s->InfiniteFlag = kind == ElementKind::EightNode ? 0 : 1;
    s->Thickness = -1.0;
    s->Number = static_cast<std::int32_t>(doc_.Surfaces.size()) + 1;
    s->SetMaterial(Material(material));
    doc_.Surfaces.push_back(std::move(s));
    return doc_.Surfaces.back().get();
  }

  /// An axis-parallel rectangle [x0, x1] x [y0, y1] as a surface (P0 at lower left).
  TVemtoSurface* Box(double x0, double y0, double x1, double y1, int columns, int rows,
                     const std::string& material) {
    return Surface({x0, y0}, {x1, y0}, {x1, y1}, {x0, y1}, columns, rows, material);
  }

  /// The model's copy of library material `name`, made on first use.
  TVemtoMaterial* Material(const std::string& name) {
    for (const auto& m : doc_.Materials)
      if (m->Name == name) return m.get();
    for (const auto& m : library_)
      if (m->Name == name) {
        auto copy = std::make_unique<TVemtoMaterial>();
        copy->CopyFromMaterial(*m);
        copy->VersionMinor = 1;
        return doc_.Materials.Add(std::move(copy));
      }
    throw std::runtime_error(fmt::format("material \"{}\" is not in the material library", name));
  }

  /// The edge between two existing points.
  TEdge* EdgeAt(double xa, double ya, double xb, double yb) {
    TNode* a = Node(xa, ya);
    TNode* b = Node(xb, yb);
    for (const auto& e : doc_.Edges)
      if ((e->FirstNode() == a && e->LastNode() == b) ||
          (e->FirstNode() == b && e->LastNode() == a))
        return e.get();
    throw std::logic_error(fmt::format("no edge from ({}, {}) to ({}, {})", xa, ya, xb, yb));
  }

  /// Attaches `condition` to the edge between two points.
  void OnEdge(TVemtoCondition* condition, double xa, double ya, double xb, double yb) {
    auto pos = std::make_unique<TVemtoEdgePos>(EdgeAt(xa, ya, xb, yb));
    pos->Condition = condition;
    pos->AddReferences();
    doc_.Positions.push_back(std::move(pos));
  }

  /// Adds a condition of kind T with a unique name.
  template <class T>
  T* Condition(const std::string& name) {
    auto c = std::make_unique<T>(doc_.Conditions.MakeUniqueName(name));
    if constexpr (requires(T t) { t.SetEditorDefaults(); }) c->SetEditorDefaults();
    return static_cast<T*>(doc_.Conditions.Add(std::move(c)));
  }

 private:
  TVemtoFile& doc_;
  const TVemtoMaterialList& library_;
};

/// Surface coefficient of air at wind speed v (m/s), W/m2K, with an insulation layer of
/// thickness d (m) and conductivity lambda (W/mK); d = 0 for none.
double TransferCoefficient(double v, double d, double lambda) {
  const double h = v < 5.0 ? 5.6 + 3.95 * v : 7.2 * std::pow(v, 0.78);
  return d > 0.0 ? 1.0 / (1.0 / h + d / lambda) : h;
}

/// A daily air-temperature cycle: mean +- amplitude (°C), lowest at 06:00, every 6 h
/// from `from` to `hours`.
std::vector<TVemtoEventPos> DailyCycle(double mean, double amplitude, double hours,
                                       double from = 0.0) {
  std::vector<TVemtoEventPos> h;
  const double pi = std::acos(-1.0);
  for (double t = from; t <= hours + 1e-9; t += 6.0) {
    const double v = mean - amplitude * std::cos(2.0 * pi * (t - 6.0) / 24.0);
    h.push_back(TVemtoEventPos{0.0, std::round(v * 100.0) / 100.0, 0.0, t});
  }
  return h;
}

TVemtoTempCondition* Air(ModelBuilder& b, const std::string& name, double hours, int insulation,
                         double conductivity, double thickness, double wind) {
  auto* air = b.Condition<TVemtoTempCondition>(name);
  air->InsulationType = static_cast<std::uint8_t>(insulation);
  air->ThermalConductivity = conductivity;
  air->InsulationThickness = thickness;
  air->WindVelocity = wind;
  air->TransferCoefficient =
      TransferCoefficient(wind, insulation == 0 ? 0.0 : thickness, conductivity);
  air->History = DailyCycle(15.0, 5.0, hours);
  return air;
}

TVemtoDisplCondition* Support(ModelBuilder& b, const std::string& name, int direction) {
  auto* c = b.Condition<TVemtoDisplCondition>(name);
  c->Direction = direction;
  // A condition acts between its first and last history time: the support holds from
  // the start for ten years, far beyond any run of these examples.
  c->History = {TVemtoEventPos{0.0, 0.0, 0.0, 0.0}, TVemtoEventPos{0.0, 0.0, 0.0, 87600.0}};
  return c;
}

// A 1.0 m wide, 3.0 m high wall cast on a 0.5 m slab that was cast four weeks earlier, on
// 2 m of soil with the ground below as infinite elements. Plywood formwork (21 mm) covers
// the wall sides during the first three days.
void WallOnSlab(TVemtoFile& doc, const TVemtoMaterialList& library) {
  ModelBuilder b(doc, library);
  const double xs[] = {0.0, 1.479, 1.5, 2.5, 2.521, 4.0};
  const int cols[] = {3, 1, 6, 1, 3};
  for (int i = 0; i < 5; ++i) b.Box(xs[i], -2.0, xs[i + 1], 0.0, cols[i], 4, "Soil, moraine");
  for (int i = 0; i < 5; ++i)
    b.Box(xs[i], 0.0, xs[i + 1], 0.5, cols[i], 2, "Hardened concrete, 28 days");
  b.Box(xs[1], 0.5, xs[2], 3.5, 1, 10, "Formwork, plywood, removed at 72 h");
  b.Box(xs[2], 0.5, xs[3], 3.5, 6, 10, "C25/30 CEM I 42.5 N, w/c 0.55");
  b.Box(xs[3], 0.5, xs[4], 3.5, 1, 10, "Formwork, plywood, removed at 72 h");
  // The ground below: one row of five-node infinite elements under each soil column;
  // edge 0 lies on the soil, the far side runs to infinity.
  for (int i = 0; i < 5; ++i)
    b.Surface({xs[i + 1], -2.0}, {xs[i], -2.0}, {xs[i], -3.0}, {xs[i + 1], -3.0}, cols[i], 1,
              "Soil, moraine", ElementKind::FiveNodeInfinite);

  auto* air = Air(b, "Air", 336.0, 0, 0.0, 0.0, 5.0);
  b.OnEdge(air, xs[1], 0.5, xs[1], 3.5);  // formwork outsides
  b.OnEdge(air, xs[4], 0.5, xs[4], 3.5);
  for (int i = 1; i < 4; ++i) b.OnEdge(air, xs[i], 3.5, xs[i + 1], 3.5);  // wall top
  b.OnEdge(air, xs[0], 0.5, xs[1], 0.5);  // slab top, left and right of the wall
  b.OnEdge(air, xs[4], 0.5, xs[5], 0.5);
  b.OnEdge(air, xs[0], 0.0, xs[0], 0.5);  // slab ends
  b.OnEdge(air, xs[5], 0.0, xs[5], 0.5);
  // The faces the formwork covered (wall sides, slab top under the formwork) meet the
  // air from its removal at 72 h on; a condition acts from its first history time.
  auto* stripped = Air(b, "Air after stripping", 336.0, 0, 0.0, 0.0, 5.0);
  stripped->History = DailyCycle(15.0, 5.0, 336.0, 72.0);
  b.OnEdge(stripped, xs[2], 0.5, xs[2], 3.5);
  b.OnEdge(stripped, xs[3], 0.5, xs[3], 3.5);
  b.OnEdge(stripped, xs[1], 0.5, xs[2], 0.5);
  b.OnEdge(stripped, xs[3], 0.5, xs[4], 0.5);

  auto* vertical = Support(b, "Ground support", 2);
  for (int i = 0; i < 5; ++i) b.OnEdge(vertical, xs[i], -2.0, xs[i + 1], -2.0);
  auto* horizontal = Support(b, "Lateral support", 1);
  b.OnEdge(horizontal, xs[0], -2.0, xs[0], 0.0);
  b.OnEdge(horizontal, xs[5], -2.0, xs[5], 0.0);

  doc.GeneralInfo.AnalysisType = 2;
  doc.GeneralInfo.Thickness = 1.0;
  doc.Intervals.clear();
  doc.Intervals.push_back(std::make_unique<TVemtoInterval>(72.0, 2.0, 12.0));
  doc.Intervals.push_back(std::make_unique<TVemtoInterval>(336.0, 6.0, 24.0));
  doc.ProjectInfo.Title = "Wall on slab";
  doc.ProjectInfo.Subject = "Early-age cracking of a wall cast on an older slab";
  doc.ProjectInfo.Author = "Vemto 3 examples";
  doc.ProjectInfo.Description =
      "Plane strain. 1.0 m wall, 3.0 m high, on a 0.5 m slab cast four weeks earlier, on "
      "soil; ground below as infinite elements; plywood formwork on the wall sides for the "
      "first 72 h, then air on the wall faces; daily air-temperature cycle around 15 C.";
}

// A round column, radius 0.4 m and 3.0 m high, in steel formwork on a foundation block:
// axisymmetric about x = 0.
void AxisymmetricColumn(TVemtoFile& doc, const TVemtoMaterialList& library) {
  ModelBuilder b(doc, library);
  b.Box(0.0, -0.8, 0.4, 0.0, 4, 4, "Hardened concrete, 28 days");
  b.Box(0.4, -0.8, 1.2, 0.0, 6, 4, "Hardened concrete, 28 days");
  b.Box(0.0, 0.0, 0.4, 1.5, 4, 8, "C35/45 CEM I 52.5 R, w/c 0.45");
  b.Box(0.0, 1.5, 0.4, 3.0, 4, 8, "C35/45 CEM I 52.5 R, w/c 0.45");

  auto* formwork = Air(b, "Air, steel formwork", 168.0, 1, 45.0, 0.005, 4.0);
  b.OnEdge(formwork, 0.4, 0.0, 0.4, 1.5);
  b.OnEdge(formwork, 0.4, 1.5, 0.4, 3.0);
  auto* air = Air(b, "Air", 168.0, 0, 0.0, 0.0, 4.0);
  b.OnEdge(air, 0.0, 3.0, 0.4, 3.0);   // column top
  b.OnEdge(air, 0.4, 0.0, 1.2, 0.0);   // foundation top
  b.OnEdge(air, 1.2, -0.8, 1.2, 0.0);  // foundation side

  auto* axis = Support(b, "Axis", 1);
  b.OnEdge(axis, 0.0, -0.8, 0.0, 0.0);
  b.OnEdge(axis, 0.0, 0.0, 0.0, 1.5);
  b.OnEdge(axis, 0.0, 1.5, 0.0, 3.0);
  auto* base = Support(b, "Foundation base", 2);
  b.OnEdge(base, 0.0, -0.8, 0.4, -0.8);
  b.OnEdge(base, 0.4, -0.8, 1.2, -0.8);

  doc.GeneralInfo.AnalysisType = 3;
  doc.GeneralInfo.Thickness = 1.0;
  doc.Intervals.clear();
  doc.Intervals.push_back(std::make_unique<TVemtoInterval>(168.0, 2.0, 12.0));
  doc.ProjectInfo.Title = "Axisymmetric column";
  doc.ProjectInfo.Subject = "Temperature and stress in a round column";
  doc.ProjectInfo.Author = "Vemto 3 examples";
  doc.ProjectInfo.Description =
      "Axisymmetric about x = 0. Column of radius 0.4 m, 3.0 m high, in 5 mm steel "
      "formwork on a foundation block cast four weeks earlier.";
}

// A 2.0 m thick slab, 4.0 m wide, on soil, cooled by one pipe that crosses the section six
// times (a serpentine at 0.5 m and 1.5 m height).
void SlabWithCoolingPipes(TVemtoFile& doc, const TVemtoMaterialList& library) {
  ModelBuilder b(doc, library);
  b.Box(0.0, -2.0, 4.0, 0.0, 8, 4, "Soil, moraine");
  b.Box(0.0, 0.0, 4.0, 2.0, 8, 8, "C20/25 CEM III/B 42.5 L-LH, w/c 0.60");
  b.Surface({4.0, -2.0}, {0.0, -2.0}, {0.0, -3.0}, {4.0, -3.0}, 8, 1, "Soil, moraine",
            ElementKind::FiveNodeInfinite);

  auto* air = Air(b, "Air", 336.0, 0, 0.0, 0.0, 3.0);
  b.OnEdge(air, 0.0, 2.0, 4.0, 2.0);
  b.OnEdge(air, 0.0, 0.0, 0.0, 2.0);
  b.OnEdge(air, 4.0, 0.0, 4.0, 2.0);

  auto* water = b.Condition<TVemtoPipeCondition>("Cooling water");
  water->PipeConditionType = 0;  // specified flow
  water->History = {TVemtoEventPos{0.0, 10.0, 0.3, 0.0}, TVemtoEventPos{0.0, 10.0, 0.3, 120.0},
                    TVemtoEventPos{0.0, 12.0, 0.3, 336.0}};
  auto pipe = std::make_unique<TVemtoPipe>("Pipe 1");
  pipe->Condition = water;
  pipe->PartLength = 1.0;
  static_cast<TVemtoCondition*>(water)->AddRef();
  TVemtoPipe* p = doc.Pipes.Add(std::move(pipe));
  const double points[6][2] = {{1.0, 0.5}, {2.0, 0.5}, {3.0, 0.5},
                               {3.0, 1.5}, {2.0, 1.5}, {1.0, 1.5}};
  for (int k = 0; k < 6; ++k) {
    auto pos = std::make_unique<TVemtoPipePos>(points[k][0], points[k][1], p);
    pos->PipeOrder = k;
    pos->PipeAux2 = k;
    pos->AddReferences();
    doc.Positions.push_back(std::move(pos));
  }

  auto* vertical = Support(b, "Ground support", 2);
  b.OnEdge(vertical, 0.0, -2.0, 4.0, -2.0);
  auto* horizontal = Support(b, "Lateral support", 1);
  b.OnEdge(horizontal, 0.0, -2.0, 0.0, 0.0);

  doc.GeneralInfo.AnalysisType = 2;
  doc.GeneralInfo.Thickness = 1.0;
  doc.Intervals.clear();
  doc.Intervals.push_back(std::make_unique<TVemtoInterval>(120.0, 2.0, 12.0));
  doc.Intervals.push_back(std::make_unique<TVemtoInterval>(336.0, 6.0, 24.0));
  doc.ProjectInfo.Title = "Slab with cooling pipes";
  doc.ProjectInfo.Subject = "Cooling of a thick slab of low-heat concrete";
  doc.ProjectInfo.Author = "Vemto 3 examples";
  doc.ProjectInfo.Description =
      "Plane strain. 2.0 m slab on soil with one cooling pipe crossing the section six "
      "times; water at 10 C, 0.3 kg/s.";
}

}  // namespace

const std::vector<ExampleProject>& ExampleProjects() {
  static const std::vector<ExampleProject> examples = {
      {"wall_on_slab.v3", "Wall cast on an older slab on ground (plane strain)", WallOnSlab},
      {"column_axisymmetric.v3", "Round column on a foundation (axisymmetric)", AxisymmetricColumn},
      {"slab_cooling_pipes.v3", "Thick slab with a cooling pipe (plane strain)",
       SlabWithCoolingPipes},
  };
  return examples;
}

}  // namespace vemto::tools
