#include "Diagram.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>
#include <unordered_map>
#include <utility>

#include <fmt/format.h>

namespace vemto::post {

namespace {

constexpr std::uint32_t kBlack = 0x000000;
constexpr std::uint32_t kWhite = 0xFFFFFF;
constexpr double kInf = std::numeric_limits<double>::infinity();
constexpr int kFirstBandColour = 3;  // palette index of the lowest band
constexpr double kBarWidth = 175.0;  // pixels kept on the right for the colour bar
constexpr double kMargin = 12.0;

void Fill(const Surface& s, const std::vector<double>& xy, std::uint32_t rgb) {
  if (s.dc != nullptr && s.dc->fill != nullptr && xy.size() >= 6)
    s.dc->fill(s.dc->context, xy.data(), static_cast<std::int32_t>(xy.size() / 2), rgb);
}

void Line(const Surface& s, const std::vector<double>& xy, std::uint32_t rgb, double width = 1.0,
          bool dashed = false) {
  if (s.dc != nullptr && s.dc->line != nullptr && xy.size() >= 4)
    s.dc->line(s.dc->context, xy.data(), static_cast<std::int32_t>(xy.size() / 2), rgb, width,
               dashed ? 1 : 0);
}

void Text(const Surface& s, double x, double y, const std::string& text, double size = 12.0,
          int align = 0, std::uint32_t rgb = kBlack) {
  if (s.dc != nullptr && s.dc->text != nullptr)
    s.dc->text(s.dc->context, x, y, text.c_str(), size, rgb, align);
}

std::string Label(double v) {
  if (std::fabs(v) < 1e-12) v = 0.0;  // no "-0" and no 1e-17 from rounding
  return fmt::format("{:.4g}", v);
}

std::uint32_t BandColour(const Surface& s, int band) {
  return PaletteColour(s.palette, kFirstBandColour + std::clamp(band, 0, kBands - 1));
}

/// A point of a sub-triangle: pixel position and value.
struct Vertex {
  double x, y, v;
};

/// A small convex polygon: a triangle or quadrangle clipped by two levels has at most
/// six corners.
struct Poly {
  Vertex v[8];
  int n = 0;
};

/// Keeps the part of a convex polygon where v ≥ level (above) or v ≤ level.
Poly Clip(const Poly& poly, double level, bool above) {
  Poly out;
  for (int i = 0; i < poly.n; ++i) {
    const Vertex& a = poly.v[i];
    const Vertex& b = poly.v[(i + 1) % poly.n];
    const bool inA = above ? a.v >= level : a.v <= level;
    const bool inB = above ? b.v >= level : b.v <= level;
    if (inA) out.v[out.n++] = a;
    if (inA != inB) {
      const double t = (level - a.v) / (b.v - a.v);  // a.v ≠ b.v since they lie on both sides
      out.v[out.n++] = {a.x + t * (b.x - a.x), a.y + t * (b.y - a.y), level};
    }
  }
  return out;
}

int Band(double v, double lo, double hi) {
  const double t = (v - lo) / (hi - lo) * kBands;
  if (!(t > 0.0)) return 0;
  if (t >= kBands) return kBands - 1;
  return static_cast<int>(t);
}

/// Fills a convex polygon band by band.
void FillBands(const Surface& s, const Poly& poly, double lo, double hi) {
  double vmin = poly.v[0].v, vmax = vmin;
  for (int i = 1; i < poly.n; ++i) {
    vmin = std::min(vmin, poly.v[i].v);
    vmax = std::max(vmax, poly.v[i].v);
  }
  const int b0 = Band(vmin, lo, hi), b1 = Band(vmax, lo, hi);
  double xy[16];
  for (int b = b0; b <= b1; ++b) {
    Poly part = poly;
    if (b > b0) part = Clip(part, lo + (hi - lo) * b / kBands, true);
    if (b < b1) part = Clip(part, lo + (hi - lo) * (b + 1) / kBands, false);
    if (part.n < 3) continue;
    for (int i = 0; i < part.n; ++i) xy[2 * i] = part.v[i].x, xy[2 * i + 1] = part.v[i].y;
    if (s.dc != nullptr && s.dc->fill != nullptr)
      s.dc->fill(s.dc->context, xy, part.n, BandColour(s, b));
  }
}

/// The isoline pieces of one sub-triangle at `level`.
void IsolineInTriangle(const Surface& s, const Vertex (&t)[3], double level, std::uint32_t rgb,
                       double width, bool dashed) {
  std::vector<double> xy;
  for (int i = 0; i < 3; ++i) {
    const Vertex& a = t[i];
    const Vertex& b = t[(i + 1) % 3];
    if ((a.v < level) != (b.v < level)) {
      const double f = (level - a.v) / (b.v - a.v);
      xy.insert(xy.end(), {a.x + f * (b.x - a.x), a.y + f * (b.y - a.y)});
    }
  }
  if (xy.size() == 4) Line(s, xy, rgb, width, dashed);
}

/// Local coordinates of point i (0 … steps) along side 0 … 3 of an element.
std::pair<double, double> SidePoint(int side, int i, int steps) {
  const double t = -1.0 + 2.0 * i / steps;
  switch (side) {
    case 0:
      return {t, -1.0};
    case 1:
      return {1.0, t};
    case 2:
      return {-t, 1.0};
    default:
      return {-1.0, -t};
  }
}

void DrawSide(const ResultReader& r, const Surface& s, const View& v, std::size_t e, int side,
              std::uint32_t rgb, double width, const std::vector<double>* u = nullptr,
              double uScale = 0.0) {
  constexpr int kSteps = 6;
  std::vector<double> xy;
  for (int i = 0; i <= kSteps; ++i) {
    const auto [xi, eta] = SidePoint(side, i, kSteps);
    double x = 0.0, y = 0.0;
    MapPoint(r.Mesh(), e, xi, eta, x, y);
    if (u != nullptr) {
      x += uScale * r.ValueIn(Field::Displacement, *u, 0, e, xi, eta);
      y += uScale * r.ValueIn(Field::Displacement, *u, 1, e, xi, eta);
    }
    xy.insert(xy.end(), {v.X(x), v.Y(y)});
  }
  Line(s, xy, rgb, width);
}

void DrawOutline(const ResultReader& r, const Surface& s, const View& v,
                 const std::vector<char>& active, std::uint32_t rgb = kBlack) {
  for (const auto& [e, side] : r.Outline(active)) DrawSide(r, s, v, e, side, rgb, 1.2);
}

void Background(const Surface& s) {
  Fill(s,
       {0.0, 0.0, double(s.width), 0.0, double(s.width), double(s.height), 0.0, double(s.height)},
       kWhite);
}

/// The colour bar: title, unit, time, the bands from low (bottom) to high and limits.
void ColourBar(const Surface& s, const std::string& title, const std::string& time, double lo,
               double hi, int lines) {
  const double x = s.width - kBarWidth + 14.0, top = 76.0;
  const double bottom = std::max(top + 60.0, s.height - 30.0);
  // Long titles on two lines, broken at the blank nearest to the middle.
  std::string first = title, second;
  if (title.size() > 20) {
    const std::size_t middle = title.size() / 2;
    const std::size_t before = title.rfind(' ', middle), after = title.find(' ', middle);
    const std::size_t at = before == std::string::npos         ? after
                           : after == std::string::npos        ? before
                           : middle - before <= after - middle ? before
                                                               : after;
    if (at != std::string::npos) {
      first = title.substr(0, at);
      second = title.substr(at + 1);
    }
  }
  Text(s, x, 18.0, first, 13.0);
  if (!second.empty()) Text(s, x, 35.0, second, 13.0);
  Text(s, x, 56.0, time, 12.0);
  const double h = (bottom - top) / kBands;
  for (int b = 0; b < kBands; ++b) {
    const double y1 = bottom - b * h, y0 = y1 - h;
    if (lines > 0) {
      Line(s, {x, 0.5 * (y0 + y1), x + 22.0, 0.5 * (y0 + y1)}, BandColour(s, b), 2.0);
    } else {
      Fill(s, {x, y0, x + 22.0, y0, x + 22.0, y1, x, y1}, BandColour(s, b));
    }
  }
  Line(s, {x, top, x + 22.0, top, x + 22.0, bottom, x, bottom, x, top}, kBlack, 1.0);
  for (int b = 0; b <= kBands; ++b)
    Text(s, x + 28.0, bottom - b * h + 4.0, Label(lo + (hi - lo) * b / kBands), 11.0);
}

std::string TimeText(double hours) {
  return fmt::format("t = {} h", Label(hours));
}

/// One element's grid of (steps + 1)² points with pixel positions and values.
struct ElementGrid {
  int steps = 1;
  std::vector<Vertex> points;
  const Vertex& At(int i, int j) const {
    return points[static_cast<std::size_t>(j * (steps + 1) + i)];
  }
};

/// A field ready to be evaluated anywhere in an element: nodal fields as stored,
/// Gauss-point fields averaged to the nodes over the existing elements of the same
/// material (a corner takes its nearest Gauss point) and interpolated bilinearly,
/// so that the picture is continuous and never shows more than was stored: extrapolating
/// the Gauss-point values to the corners would invent peaks.
class SmoothField {
 public:
  SmoothField(const ResultReader& r, Field field, int component, const std::vector<double>& values,
              const std::vector<char>& active)
      : r_(r), field_(field), component_(component), values_(values) {
    if (Info(field).nodal) return;
    const QuadMesh& mesh = r.Mesh();
    // Averages are taken per material: a value jumps where the material changes. Each
    // node keeps one slot for the first material met there; nodes on a material
    // boundary keep the others in a small overflow list. Principal stresses are taken
    // at the Gauss points before averaging.
    const std::size_t nodes = mesh.x.size();
    materials_ = static_cast<std::size_t>(std::max(1, r.MaterialCount()));
    slot_.assign(nodes, -1);
    sum_.assign(nodes, 0.0);
    count_.assign(nodes, 0);
    static constexpr int kNearestGauss[4] = {0, 1, 3, 2};  // corners 1, 3, 5, 7
    for (std::size_t e = 0; e < active.size(); ++e) {
      if (!active[e]) continue;
      const int m = r.Material(e);
      for (int i = 0; i < 4; ++i) {
        const auto n = static_cast<std::size_t>(mesh.elements[e][2 * i]);
        const double v = r.GaussValue(field, values, component, e, kNearestGauss[i]);
        if (slot_[n] == -1) slot_[n] = m;
        if (slot_[n] == m) {
          sum_[n] += v;
          ++count_[n];
        } else {
          auto& o = other_[n * materials_ + static_cast<std::size_t>(m)];
          o.first += v;
          ++o.second;
        }
      }
    }
  }
  double At(std::size_t e, double xi, double eta) const {
    if (slot_.empty()) return r_.ValueIn(field_, values_, component_, e, xi, eta);
    // Bilinear through the corner values: never outside the averaged values.
    const double n[4] = {0.25 * (1 - xi) * (1 - eta), 0.25 * (1 + xi) * (1 - eta),
                         0.25 * (1 + xi) * (1 + eta), 0.25 * (1 - xi) * (1 + eta)};
    double sum = 0.0;
    for (int i = 0; i < 4; ++i) sum += n[i] * Corner(e, i);
    return sum;
  }
  /// The averaged value at corner i (0 … 3) of element e, for the element's material.
  double Corner(std::size_t e, int i) const {
    const auto node = static_cast<std::size_t>(r_.Mesh().elements[e][2 * i]);
    const int m = r_.Material(e);
    if (slot_[node] == m) return sum_[node] / count_[node];
    const auto& o = other_.at(node * materials_ + static_cast<std::size_t>(m));
    return o.first / o.second;
  }

 private:
  const ResultReader& r_;
  Field field_;
  int component_;
  const std::vector<double>& values_;
  std::vector<int> slot_;  // per node: the material of sum_ and count_
  std::vector<double> sum_;
  std::vector<int> count_;
  std::size_t materials_ = 1;
  std::unordered_map<std::size_t, std::pair<double, int>> other_;  // node · materials + material
};

/// Fills `g` (its storage reused from element to element) for element e.
void Grid(const ResultReader& r, const View& v, const SmoothField& field, std::size_t e,
          ElementGrid& g) {
  const QuadMesh& mesh = r.Mesh();
  double x0 = kInf, x1 = -kInf, y0 = kInf, y1 = -kInf;
  for (std::int32_t n : mesh.elements[e]) {
    x0 = std::min(x0, mesh.x[n]);
    x1 = std::max(x1, mesh.x[n]);
    y0 = std::min(y0, mesh.y[n]);
    y1 = std::max(y1, mesh.y[n]);
  }
  // About one sub-cell per 8 pixels: small elements are two triangles, large ones are
  // subdivided so that the quadratic variation and curved sides show.
  const double pixels = v.scale * std::max(x1 - x0, y1 - y0);
  g.steps = std::clamp(static_cast<int>(std::ceil(pixels / 8.0)), 1, 8);
  g.points.clear();
  if (g.steps == 1) {
    // The four corners (most elements of a large mesh): nodes 0, 2, 6 and 4, where the
    // shape functions are exactly 1 for the node and 0 for the others.
    static constexpr int kCorner[4] = {0, 2, 6, 4};
    static constexpr double kXi[4] = {-1.0, 1.0, -1.0, 1.0}, kEta[4] = {-1.0, -1.0, 1.0, 1.0};
    for (int c = 0; c < 4; ++c) {
      const auto n = static_cast<std::size_t>(mesh.elements[e][kCorner[c]]);
      g.points.push_back({v.X(mesh.x[n]), v.Y(mesh.y[n]), field.At(e, kXi[c], kEta[c])});
    }
    return;
  }
  for (int j = 0; j <= g.steps; ++j)
    for (int i = 0; i <= g.steps; ++i) {
      const double xi = -1.0 + 2.0 * i / g.steps, eta = -1.0 + 2.0 * j / g.steps;
      double x = 0.0, y = 0.0;
      MapPoint(mesh, e, xi, eta, x, y);
      g.points.push_back({v.X(x), v.Y(y), field.At(e, xi, eta)});
    }
}

/// The range of the stored values (nodes or Gauss points) of the existing elements.
void StoredRange(const ResultReader& r, Field field, int component,
                 const std::vector<double>& values, const std::vector<char>& active, double& lo,
                 double& hi) {
  const QuadMesh& mesh = r.Mesh();
  if (Info(field).nodal) {
    const auto nodes = r.ActiveNodes(active);
    const int per = Info(field).components;
    for (std::size_t n = 0; n < nodes.size(); ++n)
      if (nodes[n]) {
        const double v =
            values[n * static_cast<std::size_t>(per) + static_cast<std::size_t>(component)];
        lo = std::min(lo, v);
        hi = std::max(hi, v);
      }
    return;
  }
  for (std::size_t e = 0; e < active.size(); ++e) {
    if (!active[e]) continue;
    for (int i = 0; i < 4; ++i) {
      const double v = Info(field).nodal ? r.ValueIn(field, values, component, e,
                                                     i == 0 || i == 6 || i == 7 ? -1.0
                                                     : i == 1 || i == 5         ? 0.0
                                                                                : 1.0,
                                                     i < 3              ? -1.0
                                                     : i == 3 || i == 7 ? 0.0
                                                                        : 1.0)
                                         : r.GaussValue(field, values, component, e, i);
      lo = std::min(lo, v);
      hi = std::max(hi, v);
    }
  }
  (void)mesh;
}

}  // namespace

std::uint32_t PaletteColour(int palette, int index) {
  static constexpr std::uint32_t kColour[16] = {
      0xFFFFFF, 0xFF00FF, 0xA300FF, 0x0000FF, 0x0083FF, 0x00C3FF, 0x00FFFF, 0x00FFC3,
      0x00FF00, 0x9FFF00, 0xFFFF00, 0xFFAB00, 0xFF0000, 0xFF00A3, 0x838383, 0x000000};
  index = std::clamp(index, 0, 15);
  if (palette != 1) return kColour[index];
  if (index == 15) return 0x000000;
  const std::uint32_t g = index == 14 ? 31u : static_cast<std::uint32_t>(255 - 16 * index);
  return (g << 16) | (g << 8) | g;
}

View SectionView(const ResultReader& r, const Surface& s) {
  return SectionView(r, s, std::vector<char>(r.Mesh().elements.size(), 1));
}

View SectionView(const ResultReader& r, const Surface& s, const std::vector<char>& elements) {
  const QuadMesh& mesh = r.Mesh();
  double x0 = kInf, x1 = -kInf, y0 = kInf, y1 = -kInf;
  for (std::size_t e = 0; e < mesh.elements.size(); ++e)
    for (std::int32_t n : mesh.elements[e]) {
      if (!elements.at(e)) break;
      x0 = std::min(x0, mesh.x[n]);
      x1 = std::max(x1, mesh.x[n]);
      y0 = std::min(y0, mesh.y[n]);
      y1 = std::max(y1, mesh.y[n]);
    }
  const double areaW = std::max(10.0, s.width - kBarWidth - 2 * kMargin);
  const double areaH = std::max(10.0, s.height - 2 * kMargin);
  View v;
  v.scale = std::min(areaW / std::max(x1 - x0, 1e-9), areaH / std::max(y1 - y0, 1e-9));
  v.x0 = kMargin + 0.5 * (areaW - v.scale * (x1 - x0)) - v.scale * x0;
  v.y0 = kMargin + 0.5 * (areaH + v.scale * (y1 - y0)) + v.scale * y0;
  return v;
}

double ShownFactor(Field field) {
  switch (field) {
    case Field::Maturity:
      return 1.0 / 3600.0;
    case Field::Hydration:
      return 100.0;
    case Field::Stress:
    case Field::TensileStrength:
    case Field::CompressiveStrength:
      return 1e-6;
    case Field::HeatFlow:
      return -1.0;  // heat loss: positive out of the body
    default:
      return 1.0;
  }
}

std::string ShownUnit(Field field) {
  return Info(field).unit;
}

std::vector<double> DistributionValues(const ResultReader& r, const Distribution& d,
                                       std::size_t k) {
  const double factor = ShownFactor(d.field);
  if (!d.peakUpTo) {
    auto v = r.Read(d.field, k);
    if (!v)
      throw ResultError(
          fmt::format("{} is not stored at {} h", Info(d.field).name, Label(r.Hours(k))));
    for (double& x : *v) x *= factor;
    return std::move(*v);
  }
  // Largest value per Gauss point over the stored times up to k while its element exists.
  std::vector<double> peak;
  for (std::size_t j = 0; j <= k; ++j) {
    const auto v = r.Read(d.field, j);
    if (!v) continue;
    if (peak.empty()) peak.assign(v->size(), -kInf);
    const auto active = r.ActiveElements(j);
    const std::size_t per = v->size() / std::max<std::size_t>(1, active.size());
    for (std::size_t i = 0; i < v->size(); ++i)
      if (active[i / per]) peak[i] = std::max(peak[i], factor * (*v)[i]);
  }
  if (peak.empty())
    throw ResultError(
        fmt::format("{} is not stored up to {} h", Info(d.field).name, Label(r.Hours(k))));
  return peak;
}

namespace {

/// Fills the elements marked in `active` with `values` of a field (as stored or given
/// per node), draws the contours and the outline; returns the colour range.
std::pair<double, double> DrawValues(const ResultReader& r, const Surface& s, const Distribution& d,
                                     const std::vector<double>& values,
                                     const std::vector<char>& active, const View& v) {
  const SmoothField smooth(r, d.field, d.component, values, active);
  double lo = kInf, hi = -kInf;
  StoredRange(r, d.field, d.component, values, active, lo, hi);
  if (!(lo <= hi)) lo = hi = 0.0;  // nothing exists at that time
  if (d.lower != -1.0) lo = d.lower;
  if (d.upper != -1.0) hi = d.upper;
  if (!(hi - lo > 1e-12 * std::max(1.0, std::fabs(hi)))) {  // a constant field: one band
    lo -= 0.5;
    hi += 0.5;
  }
  ElementGrid g;
  std::vector<double> xy;
  for (std::size_t e = 0; e < active.size(); ++e) {
    if (!active[e]) continue;
    Grid(r, v, smooth, e, g);
    double gmin = kInf, gmax = -kInf;
    for (const Vertex& p : g.points) {
      gmin = std::min(gmin, p.v);
      gmax = std::max(gmax, p.v);
    }
    const bool oneBand = d.lines == 0 && Band(gmin, lo, hi) == Band(gmax, lo, hi);
    bool crossed = false;  // a contour level inside the element
    for (double level : d.contours) crossed = crossed || (gmin <= level && level <= gmax);
    if (oneBand) {
      // The whole element in one band: its outline as one polygon.
      xy.clear();
      for (int side = 0; side < 4; ++side)
        for (int k = 0; k < g.steps; ++k) {
          const int i = side == 0 ? k : side == 1 ? g.steps : side == 2 ? g.steps - k : 0;
          const int j = side == 0 ? 0 : side == 1 ? k : side == 2 ? g.steps : g.steps - k;
          xy.insert(xy.end(), {g.At(i, j).x, g.At(i, j).y});
        }
      Fill(s, xy, BandColour(s, Band(gmin, lo, hi)));
      if (!crossed) continue;
    }
    for (int j = 0; j < g.steps; ++j)
      for (int i = 0; i < g.steps; ++i) {
        const Vertex t1[3] = {g.At(i, j), g.At(i + 1, j), g.At(i + 1, j + 1)};
        const Vertex t2[3] = {g.At(i, j), g.At(i + 1, j + 1), g.At(i, j + 1)};
        if (d.lines > 0) {
          for (int l = 0; l < d.lines; ++l) {
            const double level = lo + (hi - lo) * (l + 0.5) / d.lines;
            const std::uint32_t rgb = BandColour(s, Band(level, lo, hi));
            IsolineInTriangle(s, t1, level, rgb, 1.5, false);
            IsolineInTriangle(s, t2, level, rgb, 1.5, false);
          }
        } else if (!oneBand) {
          Poly quad;
          quad.n = 4;
          quad.v[0] = g.At(i, j), quad.v[1] = g.At(i + 1, j), quad.v[2] = g.At(i + 1, j + 1),
          quad.v[3] = g.At(i, j + 1);
          const int q0 =
              Band(std::min({quad.v[0].v, quad.v[1].v, quad.v[2].v, quad.v[3].v}), lo, hi);
          const int q1 =
              Band(std::max({quad.v[0].v, quad.v[1].v, quad.v[2].v, quad.v[3].v}), lo, hi);
          if (q0 == q1) {
            FillBands(s, quad, lo, hi);
          } else {
            Poly a, b;
            a.n = b.n = 3;
            std::copy(t1, t1 + 3, a.v);
            std::copy(t2, t2 + 3, b.v);
            FillBands(s, a, lo, hi);
            FillBands(s, b, lo, hi);
          }
        }
        for (std::size_t c = 0; c < d.contours.size(); ++c) {
          const std::uint32_t rgb = c == 0 ? kBlack : PaletteColour(s.palette, 13);
          IsolineInTriangle(s, t1, d.contours[c], rgb, 2.2, false);
          IsolineInTriangle(s, t2, d.contours[c], rgb, 2.2, false);
        }
      }
  }
  DrawOutline(r, s, v, active);
  return {lo, hi};
}

}  // namespace

void DrawDistribution(const ResultReader& r, const Surface& s, const Distribution& d) {
  Background(s);
  if (r.StoredCount() == 0) throw ResultError(r.FileName() + ": no stored times");
  const std::size_t k = r.NearestTime(d.hours);
  const std::vector<double> values = DistributionValues(r, d, k);
  const auto [lo, hi] = DrawValues(r, s, d, values, r.ActiveElements(k), SectionView(r, s));
  std::string title = Info(d.field).name;
  if (d.field == Field::Stress) {
    static const char* kNames[] = {"Stress sig,x",           "Stress sig,y",
                                   "Shear stress tau",       "Stress sig,z",
                                   "Principal stress sig,1", "Principal stress sig,2"};
    title = kNames[std::clamp(d.component, 0, 5)];
  }
  if (d.peakUpTo) title = "Largest " + title;
  if (!ShownUnit(d.field).empty()) title += " (" + ShownUnit(d.field) + ")";
  ColourBar(s, title, (d.peakUpTo ? "up to " : "") + TimeText(r.Hours(k)), lo, hi, d.lines);
}

void DrawDeformed(const ResultReader& r, const Surface& s, double hours, double scale) {
  Background(s);
  if (r.StoredCount() == 0) throw ResultError(r.FileName() + ": no stored times");
  const std::size_t k = r.NearestTime(hours);
  const auto u = r.Read(Field::Displacement, k);
  if (!u) throw ResultError(fmt::format("Displacements are not stored at {} h", Label(r.Hours(k))));
  const auto active = r.ActiveElements(k);
  const auto nodes = r.ActiveNodes(active);
  const View v = SectionView(r, s);
  const QuadMesh& mesh = r.Mesh();
  double largest = 0.0, x0 = kInf, x1 = -kInf, y0 = kInf, y1 = -kInf;
  for (std::size_t n = 0; n < nodes.size(); ++n) {
    x0 = std::min(x0, mesh.x[n]);
    x1 = std::max(x1, mesh.x[n]);
    y0 = std::min(y0, mesh.y[n]);
    y1 = std::max(y1, mesh.y[n]);
    if (nodes[n]) largest = std::max(largest, std::hypot((*u)[2 * n], (*u)[2 * n + 1]));
  }
  if (scale <= 0.0) scale = largest > 0.0 ? 0.05 * std::max(x1 - x0, y1 - y0) / largest : 1.0;
  const bool everySide = mesh.elements.size() <= 4000;
  for (std::size_t e = 0; e < active.size(); ++e)
    if (active[e] && everySide)
      for (int side = 0; side < 4; ++side)
        DrawSide(r, s, v, e, side, PaletteColour(s.palette, 14), 0.8, &*u, scale);
  for (const auto& [e, side] : r.Outline(active)) {
    DrawSide(r, s, v, e, side, PaletteColour(s.palette, 14), 1.0, nullptr, 0.0);
    DrawSide(r, s, v, e, side, kBlack, 1.6, &*u, scale);
  }
  const double x = s.width - kBarWidth + 14.0;
  Text(s, x, 20.0, "Deformed shape", 13.0);
  Text(s, x, 38.0, TimeText(r.Hours(k)), 12.0);
  Text(s, x, 62.0, fmt::format("scale {}", Label(scale)), 11.0);
  Text(s, x, 80.0, fmt::format("max |u| = {} mm", Label(largest * 1000.0)), 11.0);
}

void DrawStressCrosses(const ResultReader& r, const Surface& s, double hours, double scale) {
  Background(s);
  if (r.StoredCount() == 0) throw ResultError(r.FileName() + ": no stored times");
  const std::size_t k = r.NearestTime(hours);
  const auto sig = r.Read(Field::Stress, k);
  if (!sig) throw ResultError(fmt::format("Stresses are not stored at {} h", Label(r.Hours(k))));
  const auto active = r.ActiveElements(k);
  const View v = SectionView(r, s);
  const QuadMesh& mesh = r.Mesh();
  struct Cross {
    double x, y, s1, s2, angle, size;
  };
  std::vector<Cross> crosses;
  double largest = 0.0;
  for (std::size_t e = 0; e < active.size(); ++e) {
    if (!active[e]) continue;
    Cross c{};
    MapPoint(mesh, e, 0.0, 0.0, c.x, c.y);
    const double sx = r.ValueIn(Field::Stress, *sig, kSx, e, 0, 0);
    const double sy = r.ValueIn(Field::Stress, *sig, kSy, e, 0, 0);
    const double txy = r.ValueIn(Field::Stress, *sig, kTxy, e, 0, 0);
    Principal(sx, sy, txy, c.s1, c.s2);
    c.angle = 0.5 * std::atan2(2.0 * txy, sx - sy);
    double px0 = kInf, px1 = -kInf;
    for (std::int32_t n : mesh.elements[e]) {
      px0 = std::min(px0, mesh.x[n]);
      px1 = std::max(px1, mesh.x[n]);
    }
    c.size = v.scale * (px1 - px0);
    largest = std::max({largest, std::fabs(c.s1), std::fabs(c.s2)});
    crosses.push_back(c);
  }
  DrawOutline(r, s, v, active, PaletteColour(s.palette, 14));
  const std::uint32_t tension = PaletteColour(s.palette, 12);
  const std::uint32_t compression = PaletteColour(s.palette, 3);
  for (const Cross& c : crosses) {
    const double unit = largest > 0.0 ? 0.45 * c.size * scale / largest : 0.0;
    const double cx = v.X(c.x), cy = v.Y(c.y);
    for (int i = 0; i < 2; ++i) {
      const double value = i == 0 ? c.s1 : c.s2;
      const double a = c.angle + (i == 0 ? 0.0 : 0.5 * M_PI);
      const double dx = unit * std::fabs(value) * std::cos(a),
                   dy = -unit * std::fabs(value) * std::sin(a);
      Line(s, {cx - dx, cy - dy, cx + dx, cy + dy}, value >= 0.0 ? tension : compression, 1.5);
    }
  }
  const double x = s.width - kBarWidth + 14.0;
  Text(s, x, 20.0, "Principal stresses", 13.0);
  Text(s, x, 38.0, TimeText(r.Hours(k)), 12.0);
  Line(s, {x, 62.0, x + 22.0, 62.0}, tension, 2.0);
  Text(s, x + 28.0, 66.0, "tension", 11.0);
  Line(s, {x, 82.0, x + 22.0, 82.0}, compression, 2.0);
  Text(s, x + 28.0, 86.0, "compression", 11.0);
  Text(s, x, 106.0, fmt::format("largest {} MPa", Label(largest * 1e-6)), 11.0);
}

namespace {

/// A tick step of 1, 2 or 5 times a power of ten giving about `count` ticks.
double NiceStep(double range, int count) {
  if (!(range > 0.0)) return 1.0;
  const double raw = range / count;
  const double p = std::pow(10.0, std::floor(std::log10(raw)));
  const double m = raw / p;
  return (m < 1.5 ? 1.0 : m < 3.5 ? 2.0 : m < 7.5 ? 5.0 : 10.0) * p;
}

}  // namespace

void DrawChart(const Surface& s, double left, double top, double right, double bottom,
               const std::vector<Curve>& curves, const std::string& title,
               const std::string& unit) {
  double t0 = kInf, t1 = -kInf, v0 = kInf, v1 = -kInf;
  for (const Curve& c : curves)
    for (std::size_t i = 0; i < c.values.size(); ++i) {
      if (std::isnan(c.values[i])) continue;
      t0 = std::min(t0, c.hours[i]);
      t1 = std::max(t1, c.hours[i]);
      v0 = std::min(v0, c.values[i]);
      v1 = std::max(v1, c.values[i]);
    }
  Text(s, 0.5 * (left + right), top + 16.0, title, 13.0, 1);
  const double px0 = left + 62.0, px1 = right - 12.0, py0 = top + 30.0, py1 = bottom - 34.0;
  Line(s, {px0, py0, px1, py0, px1, py1, px0, py1, px0, py0}, kBlack, 1.0);
  Text(s, 0.5 * (px0 + px1), bottom - 6.0, "Time (h)", 11.0, 1);
  if (!unit.empty()) Text(s, left + 4.0, py0 - 8.0, "(" + unit + ")", 11.0);
  if (!(t0 <= t1)) {
    Text(s, 0.5 * (px0 + px1), 0.5 * (py0 + py1), "No values", 12.0, 1);
    return;
  }
  if (t1 - t0 <= 0.0) t1 = t0 + 1.0;
  const double pad = v1 - v0 > 0.0 ? 0.05 * (v1 - v0) : std::max(1.0, std::fabs(v0) * 0.1);
  v0 -= pad;
  v1 += pad;
  auto X = [&](double t) { return px0 + (t - t0) / (t1 - t0) * (px1 - px0); };
  auto Y = [&](double value) { return py1 - (value - v0) / (v1 - v0) * (py1 - py0); };
  constexpr std::uint32_t grid = 0xD8D8D8;
  const double ts = NiceStep(t1 - t0, 6), vs = NiceStep(v1 - v0, 5);
  for (double t = std::ceil(t0 / ts) * ts; t <= t1 + 1e-9 * ts; t += ts) {
    Line(s, {X(t), py0, X(t), py1}, grid, 1.0);
    Text(s, X(t), py1 + 15.0, Label(t), 11.0, 1);
  }
  for (double value = std::ceil(v0 / vs) * vs; value <= v1 + 1e-9 * vs; value += vs) {
    Line(s, {px0, Y(value), px1, Y(value)}, grid, 1.0);
    Text(s, px0 - 5.0, Y(value) + 4.0, Label(value), 11.0, 2);
  }
  double legendY = py0 + 16.0;
  for (const Curve& c : curves) {
    std::vector<double> xy;
    auto flush = [&]() {
      if (xy.size() >= 4) Line(s, xy, c.rgb, 1.8);
      xy.clear();
    };
    for (std::size_t i = 0; i < c.values.size(); ++i) {
      if (std::isnan(c.values[i])) {
        flush();
        continue;
      }
      const double x = X(c.hours[i]), y = Y(c.values[i]);
      xy.insert(xy.end(), {x, y});
      Fill(s, {x - 2.5, y - 2.5, x + 2.5, y - 2.5, x + 2.5, y + 2.5, x - 2.5, y + 2.5}, c.rgb);
    }
    flush();
    if (!c.label.empty()) {
      Line(s, {px0 + 10.0, legendY - 4.0, px0 + 30.0, legendY - 4.0}, c.rgb, 2.0);
      Text(s, px0 + 36.0, legendY, c.label, 11.0);
      legendY += 16.0;
    }
  }
}

void DrawMarkers(const ResultReader& r, const Surface& s, int kind, double x1, double y1, double x2,
                 double y2) {
  const View v = SectionView(r, s);
  if (kind == 1) {
    const double x = v.X(x1), y = v.Y(y1);
    for (const auto& [rgb, width] : {std::pair{kWhite, 4.0}, std::pair{kBlack, 1.5}}) {
      Line(s, {x - 8.0, y, x + 8.0, y}, rgb, width);
      Line(s, {x, y - 8.0, x, y + 8.0}, rgb, width);
    }
  } else if (kind == 2) {
    const std::vector<double> xy = {v.X(x1), v.Y(y1), v.X(x2), v.Y(y1), v.X(x2),
                                    v.Y(y2), v.X(x1), v.Y(y2), v.X(x1), v.Y(y1)};
    Line(s, xy, kWhite, 4.0);
    Line(s, xy, kBlack, 1.5);
  }
}

CrackRiskSeries CrackRisk(const ResultReader& r) {
  CrackRiskSeries c;
  const QuadMesh& mesh = r.Mesh();
  for (std::size_t k = 0; k < r.StoredCount(); ++k) {
    c.hours.push_back(r.Hours(k));
    auto active = r.ActiveElements(k);
    for (std::size_t e = 0; e < active.size(); ++e) active[e] = active[e] && r.IsConcrete(e);
    double ratio = std::numeric_limits<double>::quiet_NaN();
    if (const auto v = r.Read(Field::Ratio, k)) {
      double m = -kInf;
      for (std::size_t i = 0; i < v->size(); ++i)
        if (active[i / 4]) m = std::max(m, (*v)[i]);
      if (m > -kInf) ratio = m;
    }
    c.ratio.push_back(ratio);
    double difference = std::numeric_limits<double>::quiet_NaN();
    if (const auto t = r.Read(Field::Temperature, k)) {
      double hottest = -kInf, coldestSurface = kInf;
      for (std::size_t e = 0; e < active.size(); ++e)
        if (active[e])
          for (std::int32_t n : mesh.elements[e]) hottest = std::max(hottest, (*t)[n]);
      for (const auto& [e, side] : r.Outline(active))
        for (int i = 0; i < 3; ++i)
          coldestSurface = std::min(coldestSurface, (*t)[mesh.elements[e][(2 * side + i) % 8]]);
      if (hottest > -kInf && coldestSurface < kInf) difference = hottest - coldestSurface;
    }
    c.coreToSurface.push_back(difference);
  }
  return c;
}

std::string StoredTimesNote(const ResultReader& r) {
  double low = kInf, high = 0.0;
  for (std::size_t k = 1; k < r.StoredCount(); ++k) {
    low = std::min(low, r.Hours(k) - r.Hours(k - 1));
    high = std::max(high, r.Hours(k) - r.Hours(k - 1));
  }
  if (r.StoredCount() < 2) return fmt::format("{} stored time", r.StoredCount());
  // Spacings within 1e-9 h are the same storage step.
  if (high - low <= 1e-9 * std::max(1.0, high))
    return fmt::format("{} stored times {} h apart", r.StoredCount(), Label(high));
  return fmt::format("{} stored times {} to {} h apart", r.StoredCount(), Label(low), Label(high));
}

void DrawCrackRisk(const ResultReader& r, const Surface& s, double hours, double threshold) {
  Surface upper = s;
  upper.height = static_cast<int>(0.6 * s.height);
  Distribution d;
  d.field = Field::Ratio;
  d.hours = hours;
  d.peakUpTo = true;
  d.contours = {1.0};
  if (threshold > 0.0 && std::fabs(threshold - 1.0) > 1e-9) d.contours.push_back(threshold);
  Background(s);
  DrawDistribution(r, upper, d);
  const CrackRiskSeries c = CrackRisk(r);
  const double top = upper.height;
  // Where and when: the largest stored ratio of the hardening concrete up to the time.
  const std::size_t k = r.NearestTime(hours);
  double peak = -kInf, px = 0.0, py = 0.0, ph = 0.0;
  for (std::size_t j = 0; j <= k; ++j) {
    const auto v = r.Read(Field::Ratio, j);
    if (!v) continue;
    const auto active = r.ActiveElements(j);
    for (std::size_t i = 0; i < v->size(); ++i)
      if (active[i / 4] && r.IsConcrete(i / 4) && (*v)[i] > peak) {
        peak = (*v)[i];
        ph = r.Hours(j);
        const int g = static_cast<int>(i % 4);
        MapPoint(r.Mesh(), i / 4, g % 2 ? kGauss : -kGauss, g / 2 ? kGauss : -kGauss, px, py);
      }
  }
  if (peak > -kInf)
    Text(s, kMargin, top + 32.0,
         fmt::format("Largest ratio in the hardening concrete up to {} h: {} at {} h, x = {} m, "
                     "y = {} m",
                     Label(r.Hours(k)), Label(peak), Label(ph), Label(px), Label(py)),
         11.0);
  Line(s, {0.0, top, double(s.width), top}, PaletteColour(s.palette, 14), 1.0);
  Text(s, kMargin, top + 16.0,
       fmt::format(
           "Crack risk: black line ratio 1.0{}; peaks over the {} only",
           d.contours.size() > 1
               ? fmt::format(", {} line {}", s.palette == 1 ? "dark" : "purple", Label(threshold))
               : "",
           StoredTimesNote(r)),
       11.0);
  Curve ratio{c.hours, c.ratio, PaletteColour(s.palette, 12), "hardening concrete"};
  Curve dt{c.hours, c.coreToSurface, PaletteColour(s.palette, 3),
           "hottest node - coldest surface node"};
  const double half = 0.5 * s.width;
  DrawChart(s, 0.0, top + 36.0, half, s.height, {ratio}, "Largest stress/strength ratio", "");
  DrawChart(s, half, top + 36.0, s.width, s.height, {dt}, "Core-to-surface difference", "C");
}

void DrawNodalMap(const ResultReader& r, const Surface& s, const NodalMap& m) {
  Background(s);
  if (m.values.size() != r.Mesh().x.size() || m.elements.size() != r.Mesh().elements.size())
    throw ResultError(fmt::format("{}: the map has {} values for {} nodes", r.FileName(),
                                  m.values.size(), r.Mesh().x.size()));
  Distribution d;
  d.field = Field::Temperature;  // any nodal field with one component: values as given
  d.lower = m.lower;
  d.upper = m.upper;
  d.contours = m.contours;
  const auto [lo, hi] = DrawValues(r, s, d, m.values, m.elements, SectionView(r, s, m.elements));
  ColourBar(s, m.title, m.caption, lo, hi, 0);
}

}  // namespace vemto::post
