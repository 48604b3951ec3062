#include "Fgraph.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <limits>
#include <vector>

#include "FixedFormat.h"
#include "StrokeFont.h"

namespace meshgen::fgraph {

namespace {

constexpr std::array<std::uint32_t, kColours> kColourPalette = {
    0xFFFFFF, 0xFF00FF, 0xA300FF, 0x0000FF, 0x0083FF, 0x00C3FF, 0x00FFFF, 0x00FFC3,
    0x00FF00, 0x9FFF00, 0xFFFF00, 0xFFAB00, 0xFF0000, 0xFF00A3, 0x838383, 0x000000};

// The drawing module's state: one per library, as the entry points require.
struct DrawingState {
  const VemtoMeshDrawing* dc = nullptr;
  std::int32_t width = 0;
  std::int32_t height = 0;
  std::int32_t drawSwitch = 0;
  int palette = -1;                    // palette of the existing pens and brushes, -1 = none
  std::uint32_t penColour = 0x000000;  // colour of the selected pen (for end pixels)
};

DrawingState& State() {
  static DrawingState state;
  return state;
}

bool Active() {
  const DrawingState& s = State();
  return s.dc != nullptr && s.width > 0 && s.height > 0;
}

// Pixel of a view coordinate, kept far inside the 32-bit range.
std::int32_t Nearest(double v) {
  constexpr double kLimit = 1.0e9;
  if (!(v > -kLimit)) v = -kLimit;  // also NaN
  if (v > kLimit) v = kLimit;
  return static_cast<std::int32_t>(std::lround(v));
}
std::int32_t Column(double x) {
  return Nearest(x * State().width / kViewWidth);
}
std::int32_t Row(double y) {
  return Nearest(State().height * (1.0 - y / kViewHeight));
}

void SelectPen(int index) {
  DrawingState& s = State();
  if (s.palette < 0) return;  // no pens: the device keeps its own
  s.penColour = PaletteColour(s.palette, index);
  if (s.dc->pen != nullptr) s.dc->pen(s.dc->context, index, s.penColour);
}

void SelectBrush(int index) {
  const DrawingState& s = State();
  if (s.palette < 0) return;
  if (s.dc->brush != nullptr) s.dc->brush(s.dc->context, index, PaletteColour(s.palette, index));
}

void MoveTo(DrawPoint p) {
  const DrawingState& s = State();
  if (s.dc->move_to != nullptr) s.dc->move_to(s.dc->context, Column(p.x), Row(p.y));
}

// A line from the current position with the current pen, end pixel included.
void LineTo(DrawPoint p) {
  const DrawingState& s = State();
  const std::int32_t c = Column(p.x), r = Row(p.y);
  if (s.dc->line_to != nullptr) s.dc->line_to(s.dc->context, c, r);
  if (s.dc->pixel != nullptr) s.dc->pixel(s.dc->context, c, r, s.penColour);
}

std::vector<std::int32_t> Pixels(std::span<const DrawPoint> points) {
  std::vector<std::int32_t> xy;
  xy.reserve(2 * points.size());
  for (const DrawPoint& p : points) {
    xy.push_back(Column(p.x));
    xy.push_back(Row(p.y));
  }
  return xy;
}

// A polyline in colour `index`, end pixel included.
void Polyline(std::span<const DrawPoint> points, int index) {
  if (points.size() < 2) return;
  SelectPen(index);
  const DrawingState& s = State();
  const std::vector<std::int32_t> xy = Pixels(points);
  if (s.dc->polyline != nullptr)
    s.dc->polyline(s.dc->context, xy.data(), static_cast<std::int32_t>(points.size()));
  if (s.dc->pixel != nullptr) s.dc->pixel(s.dc->context, xy[xy.size() - 2], xy.back(), s.penColour);
}

void FillPolygon(std::span<const DrawPoint> points, int index) {
  if (points.size() < 3) return;
  SelectBrush(index);
  const DrawingState& s = State();
  const std::vector<std::int32_t> xy = Pixels(points);
  if (s.dc->polygon != nullptr)
    s.dc->polygon(s.dc->context, xy.data(), static_cast<std::int32_t>(points.size()));
}

void Text(std::string_view text, double x, double y, double size, int index = kBlack) {
  for (const Stroke& stroke : TextStrokes(text, x, y, size)) Polyline(stroke, index);
}

std::string_view TrimLeft(std::string_view s) {
  while (!s.empty() && s.front() == ' ') s.remove_prefix(1);
  return s;
}

// Maps model coordinates (m) linearly onto the plot frame.
struct FrameMap {
  double xmin = 0.0, ymin = 0.0, scale = 1.0;
  double left = 3.0, bottom = 7.5;
  DrawPoint operator()(double x, double y) const {
    return {left + (x - xmin) * scale, bottom + (y - ymin) * scale};
  }
};

using Node = std::array<double, 2>;

// Quadratic side through a (t = -1), m (t = 0), b (t = 1).
void DrawQuadraticSide(const FrameMap& map, Node a, Node m, Node b, int steps) {
  std::vector<DrawPoint> points;
  for (int i = 0; i <= steps; ++i) {
    const double t = -1.0 + 2.0 * i / steps;
    const double na = 0.5 * t * (t - 1.0), nm = 1.0 - t * t, nb = 0.5 * t * (t + 1.0);
    points.push_back(map(na * a[0] + nm * m[0] + nb * b[0], na * a[1] + nm * m[1] + nb * b[1]));
  }
  Polyline(points, kBlack);
}

// Eight-node element: four quadratic sides, nodes counter-clockwise with the
// corners at 1, 3, 5, 7.
void DrawEightNodeElement(const FrameMap& map, std::span<const Node, 8> n, int steps) {
  for (int k = 0; k < 4; ++k)
    DrawQuadraticSide(map, n[2 * k], n[2 * k + 1], n[(2 * k + 2) % 8], steps);
}

// Five-node infinite element: nodes 1, 2, 3 on the finite boundary (eta = -1),
// 4 at (1, 0) and 5 at (-1, 0); eta -> 1 lies at infinity, so the two sides
// towards infinity are drawn from eta = -1 to eta = 0.
Node MapFiveNode(std::span<const Node, 5> n, double xi, double eta) {
  const double d = 1.0 - eta;
  const std::array<double, 5> m = {-(1.0 - xi) * (1.0 + xi + eta) / d, 2.0 * (1.0 - xi * xi) / d,
                                   -(1.0 + xi) * (1.0 - xi + eta) / d,
                                   (1.0 + xi) * (1.0 + eta) / (2.0 * d),
                                   (1.0 - xi) * (1.0 + eta) / (2.0 * d)};
  Node p{0.0, 0.0};
  for (int i = 0; i < 5; ++i) {
    p[0] += m[i] * n[i][0];
    p[1] += m[i] * n[i][1];
  }
  return p;
}

void DrawFiveNodeElement(const FrameMap& map, std::span<const Node, 5> n, int steps) {
  DrawQuadraticSide(map, n[0], n[1], n[2], steps);
  for (const double xi : {1.0, -1.0}) {
    std::vector<DrawPoint> points;
    for (int i = 0; i <= steps; ++i) {
      const Node p = MapFiveNode(n, xi, -1.0 + static_cast<double>(i) / steps);
      points.push_back(map(p[0], p[1]));
    }
    Polyline(points, kBlack);
  }
}

// Three-node corner element: node 1 at (-1, -1), 2 at (0, -1), 3 at (-1, 0);
// both xi -> 1 and eta -> 1 lie at infinity.
Node MapThreeNode(std::span<const Node, 3> n, double xi, double eta) {
  const double d = (1.0 - xi) * (1.0 - eta);
  const double m2 = 2.0 * (1.0 + xi) / d, m3 = 2.0 * (1.0 + eta) / d, m1 = 1.0 - m2 - m3;
  return {m1 * n[0][0] + m2 * n[1][0] + m3 * n[2][0], m1 * n[0][1] + m2 * n[1][1] + m3 * n[2][1]};
}

void DrawThreeNodeElement(const FrameMap& map, std::span<const Node, 3> n, int steps) {
  for (const bool alongXi : {true, false}) {
    std::vector<DrawPoint> points;
    for (int i = 0; i <= steps; ++i) {
      const double s = -1.0 + static_cast<double>(i) / steps;
      const Node p = alongXi ? MapThreeNode(n, s, -1.0) : MapThreeNode(n, -1.0, s);
      points.push_back(map(p[0], p[1]));
    }
    Polyline(points, kBlack);
  }
}

// Any other node count: straight lines round the given nodes.
void DrawOutline(const FrameMap& map, std::span<const Node> n) {
  std::vector<DrawPoint> points;
  for (const Node& p : n) points.push_back(map(p[0], p[1]));
  if (!n.empty()) points.push_back(map(n[0][0], n[0][1]));
  Polyline(points, kBlack);
}

}  // namespace

std::uint32_t PaletteColour(int palette, int index) {
  if (index < 0 || index >= kColours) return 0x000000;
  if (palette == 1) {
    if (index == 14) return 0x1F1F1F;
    if (index == 15) return 0x000000;
    const std::uint32_t g = static_cast<std::uint32_t>(255 - 16 * index);
    return (g << 16) | (g << 8) | g;
  }
  return kColourPalette[static_cast<std::size_t>(index)];
}

void Init(const VemtoMeshDrawing* dc, std::int32_t width, std::int32_t height,
          std::int32_t drawSwitch) {
  Update(dc, width, height, drawSwitch);
  State().palette = 0;
}

void Update(const VemtoMeshDrawing* dc, std::int32_t width, std::int32_t height,
            std::int32_t drawSwitch) {
  DrawingState& s = State();
  s.dc = dc;
  s.width = width;
  s.height = height;
  s.drawSwitch = drawSwitch;
}

void Destroy() {
  State().palette = -1;
}

void SetPalette(std::int32_t palette) {
  if (palette == 0 || palette == 1) State().palette = palette;
}

int CurrentPalette() {
  return State().palette;
}

bool MeshDrawingOn() {
  return State().drawSwitch == 1;
}

std::string AxisLabel(double v) {
  if (!std::isfinite(v)) v = 0.0;
  const bool tiny = std::fabs(v) < 1e-10;
  // A magnitude below 1e-10 shows with three decimals as "0.000" or "-0.000".
  std::string out = tiny ? (v < 0.0 ? "-0.000" : "0.000") : ExponentText(v, 3);
  const std::size_t width = tiny ? 6 : 10;
  if (out.size() < width) out.insert(0, width - out.size(), ' ');
  return out;
}

std::string TitleText(std::span<const double, 10> words) {
  char bytes[80];
  std::memcpy(bytes, words.data(), sizeof bytes);
  std::string title;
  for (const char c : bytes) {
    if (c == '\0') break;
    const auto u = static_cast<unsigned char>(c);
    title.push_back(u >= 32 && u < 127 ? c : ' ');
  }
  return title;
}

void DrawTestPicture() {
  if (!Active()) return;
  const std::array<DrawPoint, 5> frame = {
      DrawPoint{0.5, 0.5}, {99.5, 0.5}, {99.5, 74.5}, {0.5, 74.5}, {0.5, 0.5}};
  Polyline(frame, kBlack);
  // A fan of lines in the colours 1 ... 13.
  for (int i = 1; i <= 13; ++i) {
    SelectPen(i);
    MoveTo({5.0, 5.0});
    LineTo({5.0 + 6.5 * i, 70.0 - 4.5 * i});
  }
  const std::array<DrawPoint, 4> polygon = {
      DrawPoint{60.0, 50.0}, {90.0, 50.0}, {90.0, 70.0}, {75.0, 62.0}};
  SelectPen(kBlack);
  FillPolygon(polygon, 12);
  Text("HEJ HOPP!", 40.0, 30.0, 5.0);
}

void DrawMesh(const MeshPicture& mesh, std::string_view title) {
  if (!Active()) return;
  const auto nodes = static_cast<std::size_t>(std::max(mesh.nodeCount, 0));
  const std::size_t nodeLimit = std::min({nodes, mesh.x.size(), mesh.y.size()});
  auto finite = [&](std::size_t i) { return std::isfinite(mesh.x[i]) && std::isfinite(mesh.y[i]); };

  // 1. Bounding box.
  double xmin = 1e50, ymin = 1e50, xmax = -1e50, ymax = -1e50;
  for (std::size_t i = 0; i < nodeLimit; ++i) {
    if (!finite(i)) continue;
    xmin = std::min(xmin, mesh.x[i]);
    xmax = std::max(xmax, mesh.x[i]);
    ymin = std::min(ymin, mesh.y[i]);
    ymax = std::max(ymax, mesh.y[i]);
  }
  const bool haveBox = xmin <= xmax && ymin <= ymax;
  const double w = haveBox ? xmax - xmin : 0.0, h = haveBox ? ymax - ymin : 0.0;

  // 2. Plot frame: the longer side of the box spans 60 units.
  FrameMap map;
  const double extent = std::max(w, h);
  map.xmin = xmin;
  map.ymin = ymin;
  map.scale = extent > 0.0 && std::isfinite(extent) ? 60.0 / extent : 0.0;
  const double right = map.left + w * map.scale;
  const double top = map.bottom + h * map.scale;

  // 3. Texts.
  Text("FINITE ELEMENT MESH", 3.0, 3.5, 1.75);
  Text("VEMTO-S", 3.0, 0.75, 1.25);
  Text(title.substr(0, 65), 18.0, 0.75, 1.25);
  if (!haveBox) return;

  // 4. Axis marks with the extreme coordinates.
  constexpr double kLabelSize = 1.25;
  const std::array<DrawPoint, 2> leftMark = {DrawPoint{map.left, top + 1.5}, {map.left, top + 3.0}};
  const std::array<DrawPoint, 2> rightMark = {DrawPoint{right, top + 1.5}, {right, top + 3.0}};
  const std::array<DrawPoint, 2> bottomMark = {DrawPoint{right + 1.5, map.bottom},
                                               {right + 3.0, map.bottom}};
  const std::array<DrawPoint, 2> topMark = {DrawPoint{right + 1.5, top}, {right + 3.0, top}};
  Polyline(leftMark, kBlack);
  Polyline(rightMark, kBlack);
  Polyline(bottomMark, kBlack);
  Polyline(topMark, kBlack);
  Text(TrimLeft(AxisLabel(xmin)), map.left, top + 3.5, kLabelSize);
  Text(TrimLeft(AxisLabel(xmax)), right, top + 3.5, kLabelSize);
  // The y labels sit just above their marks, so that a minus sign is not taken
  // for the mark.
  Text(TrimLeft(AxisLabel(ymin)), right + 1.5, map.bottom + 0.5, kLabelSize);
  Text(TrimLeft(AxisLabel(ymax)), right + 1.5, top + 0.5, kLabelSize);
  if (map.scale == 0.0) return;

  // 5. The elements, black, each by its own type.
  const auto elements = static_cast<std::size_t>(std::max(mesh.elementCount, 0));
  for (std::size_t e = 0; e < elements; ++e) {
    if (8 * e + 8 > mesh.ncon.size() || e >= mesh.ncn.size() || e >= mesh.type.size()) break;
    const int count = mesh.ncn[e];
    if (count < 2 || count > 8) continue;
    std::array<Node, 8> n{};
    bool valid = true;
    for (int k = 0; k < count && valid; ++k) {
      const int node = mesh.ncon[8 * e + static_cast<std::size_t>(k)];
      valid = node >= 1 && static_cast<std::size_t>(node) <= nodeLimit &&
              finite(static_cast<std::size_t>(node - 1));
      if (valid) n[k] = {mesh.x[node - 1], mesh.y[node - 1]};
    }
    if (!valid) continue;
    const int type = mesh.type[e];
    if (count == 8) {
      DrawEightNodeElement(map, std::span<const Node, 8>(n.data(), 8), kSideSteps);
    } else if (type == 2 && count == 5) {
      DrawFiveNodeElement(map, std::span<const Node, 5>(n.data(), 5), kSideSteps);
    } else if (type == 2 && count == 4) {
      // Not yet joined to the finite region: its first side is straight.
      const std::array<Node, 5> five = {
          n[0], Node{0.5 * (n[0][0] + n[1][0]), 0.5 * (n[0][1] + n[1][1])}, n[1], n[2], n[3]};
      DrawFiveNodeElement(map, five, kSideSteps);
    } else if (type == 1 && count == 3) {
      DrawThreeNodeElement(map, std::span<const Node, 3>(n.data(), 3), kSideSteps);
    } else {
      DrawOutline(map, std::span<const Node>(n.data(), static_cast<std::size_t>(count)));
    }
  }
}

}  // namespace meshgen::fgraph

// The exported entry points of the drawing module.
#define FGRAPH_EXPORT extern "C" __attribute__((visibility("default")))

FGRAPH_EXPORT void FGRAPH_mp_init(const VemtoMeshDrawing* dc, std::int32_t width,
                                  std::int32_t height, std::int32_t drawSwitch) {
  meshgen::fgraph::Init(dc, width, height, drawSwitch);
}

FGRAPH_EXPORT void FGRAPH_mp_update(const VemtoMeshDrawing* dc, std::int32_t width,
                                    std::int32_t height, std::int32_t drawSwitch) {
  meshgen::fgraph::Update(dc, width, height, drawSwitch);
}

FGRAPH_EXPORT void FGRAPH_mp_destroy() {
  meshgen::fgraph::Destroy();
}

FGRAPH_EXPORT void FGRAPH_mp_setpalette(const std::int32_t* palette) {
  if (palette != nullptr) meshgen::fgraph::SetPalette(*palette);
}

FGRAPH_EXPORT void FGRAPH_mp_draw() {
  meshgen::fgraph::DrawTestPicture();
}
