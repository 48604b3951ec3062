#include "ThermalElements.h"

#include <cmath>

namespace vemto::engine {

Shape3 EdgeShape(double xi) {
  Shape3 s;
  s.n = {-0.5 * xi * (1.0 - xi), 1.0 - xi * xi, 0.5 * xi * (1.0 + xi)};
  s.dxi = {xi - 0.5, -2.0 * xi, xi + 0.5};
  return s;
}

namespace {

// Cartesian derivatives from local ones and the Jacobian entries.
template <std::size_t M>
void CartesianDerivatives(const std::array<double, M>& nxi, const std::array<double, M>& neta,
                          double xXi, double yXi, double xEta, double yEta, double detJ,
                          std::array<double, M>& dx, std::array<double, M>& dy) {
  for (std::size_t i = 0; i < M; ++i) {
    dx[i] = (yEta * nxi[i] - yXi * neta[i]) / detJ;
    dy[i] = (-xEta * nxi[i] + xXi * neta[i]) / detJ;
  }
}

}  // namespace

Geometry8 MapElement8(const Shape8& s, const std::array<Point2, 8>& xy) {
  Geometry8 g;
  double xXi = 0, yXi = 0, xEta = 0, yEta = 0;
  for (int i = 0; i < 8; ++i) {
    xXi += s.dxi[i] * xy[i].x;
    yXi += s.dxi[i] * xy[i].y;
    xEta += s.deta[i] * xy[i].x;
    yEta += s.deta[i] * xy[i].y;
    g.pos.x += s.n[i] * xy[i].x;
    g.pos.y += s.n[i] * xy[i].y;
  }
  g.detJ = xXi * yEta - xEta * yXi;
  if (g.detJ >= kMinDetJ)
    CartesianDerivatives(s.dxi, s.deta, xXi, yXi, xEta, yEta, g.detJ, g.dx, g.dy);
  return g;
}

const std::array<Shape8, 4>& GaussShapes() {
  static const std::array<Shape8, 4> shapes{Serendipity(kGaussPoints[0][0], kGaussPoints[0][1]),
                                            Serendipity(kGaussPoints[1][0], kGaussPoints[1][1]),
                                            Serendipity(kGaussPoints[2][0], kGaussPoints[2][1]),
                                            Serendipity(kGaussPoints[3][0], kGaussPoints[3][1])};
  return shapes;
}

void ConductionLoad(const std::array<double, 4>& q, const std::array<double, 4>& weights,
                    std::array<double, 8>& f) {
  const std::array<Shape8, 4>& shapes = GaussShapes();
  f = {};
  for (int g = 0; g < 4; ++g)
    for (int i = 0; i < 8; ++i) f[i] += q[g] * shapes[g].n[i] * weights[g];
}

ElementStatus ConductionElement(ThermalAxi axi, const ConductionProps& p,
                                const std::array<Point2, 8>& xy, ThermalMatrices<8>& out,
                                std::array<double, 4>* weights) {
  out = ThermalMatrices<8>{};
  const double rc = p.rho * p.c;
  for (int g = 0; g < 4; ++g) {
    const Shape8& s = GaussShapes()[g];
    const Geometry8 geo = MapElement8(s, xy);
    if (!(geo.detJ >= kMinDetJ)) return ElementStatus::kNonPositiveJacobian;
    const double w = VolumeFactor(axi, geo.pos.x, p.thickness) * geo.detJ;
    if (weights != nullptr) (*weights)[g] = w;
    for (int i = 0; i < 8; ++i) {
      out.f[i] += p.q[g] * s.n[i] * w;
      for (int j = 0; j < 8; ++j) {
        out.K(i, j) += p.lambda * (geo.dx[i] * geo.dx[j] + geo.dy[i] * geo.dy[j]) * w;
        out.C(i, j) += rc * s.n[i] * s.n[j] * w;
      }
    }
  }
  return ElementStatus::kValid;
}

void EdgeHeatTransfer(ThermalAxi axi, double alpha, double ambient, double thickness,
                      const std::array<Point2, 3>& xy, ThermalMatrices<3>& out) {
  out = ThermalMatrices<3>{};
  for (double xi : {-kGaussA, kGaussA}) {
    const Shape3 s = EdgeShape(xi);
    double tx = 0, ty = 0, r = 0;
    for (int i = 0; i < 3; ++i) {
      tx += s.dxi[i] * xy[i].x;
      ty += s.dxi[i] * xy[i].y;
      r += s.n[i] * xy[i].x;
    }
    const double w = std::hypot(tx, ty) * VolumeFactor(axi, r, thickness);
    for (int i = 0; i < 3; ++i) {
      out.f[i] += alpha * ambient * s.n[i] * w;
      for (int j = 0; j < 3; ++j) out.K(i, j) += alpha * s.n[i] * s.n[j] * w;
    }
  }
}

void EdgeHeatFlow(ThermalAxi axi, double q, double thickness, const std::array<Point2, 3>& xy,
                  std::array<double, 3>& f) {
  f = {};
  for (double xi : {-kGaussA, kGaussA}) {
    const Shape3 s = EdgeShape(xi);
    double tx = 0, ty = 0, r = 0;
    for (int i = 0; i < 3; ++i) {
      tx += s.dxi[i] * xy[i].x;
      ty += s.dxi[i] * xy[i].y;
      r += s.n[i] * xy[i].x;
    }
    const double w = std::hypot(tx, ty) * VolumeFactor(axi, r, thickness);
    for (int i = 0; i < 3; ++i) f[i] += q * s.n[i] * w;
  }
}

void SurfaceHeatTransfer(double alpha, double ambient, const std::array<Point2, 8>& xy,
                         ThermalMatrices<8>& out) {
  out = ThermalMatrices<8>{};
  for (int g = 0; g < 4; ++g) {
    const Shape8 s = Serendipity(kGaussPoints[g][0], kGaussPoints[g][1]);
    const double w = 2.0 * MapElement8(s, xy).detJ;
    for (int i = 0; i < 8; ++i) {
      out.f[i] += alpha * ambient * s.n[i] * w;
      for (int j = 0; j < 8; ++j) out.K(i, j) += alpha * s.n[i] * s.n[j] * w;
    }
  }
}

void SurfaceHeatFlow(double q, const std::array<Point2, 8>& xy, std::array<double, 8>& f) {
  f = {};
  for (int g = 0; g < 4; ++g) {
    const Shape8 s = Serendipity(kGaussPoints[g][0], kGaussPoints[g][1]);
    const double w = 2.0 * MapElement8(s, xy).detJ;
    for (int i = 0; i < 8; ++i) f[i] += q * s.n[i] * w;
  }
}

namespace {

// Geometry mapping of an infinite element at one Gauss point.
template <std::size_t M>
struct InfiniteMap {
  std::array<double, M> m{}, mxi{}, meta{};
};

InfiniteMap<5> BoundaryMap(double xi, double eta) {
  InfiniteMap<5> f;
  const double d = 1.0 - eta, d2 = d * d;
  f.m = {-(1.0 - xi) * (1.0 + xi + eta) / d, 2.0 * (1.0 - xi * xi) / d,
         -(1.0 + xi) * (1.0 - xi + eta) / d, (1.0 + xi) * (1.0 + eta) / (2.0 * d),
         (1.0 - xi) * (1.0 + eta) / (2.0 * d)};
  f.mxi = {(2.0 * xi + eta) / d, -4.0 * xi / d, (2.0 * xi - eta) / d, (1.0 + eta) / (2.0 * d),
           -(1.0 + eta) / (2.0 * d)};
  f.meta = {-(1.0 - xi) * (2.0 + xi) / d2, 2.0 * (1.0 - xi * xi) / d2,
            -(1.0 + xi) * (2.0 - xi) / d2, (1.0 + xi) / d2, (1.0 - xi) / d2};
  return f;
}

InfiniteMap<3> CornerMap(double xi, double eta) {
  InfiniteMap<3> f;
  const double a = 1.0 - xi, b = 1.0 - eta;
  const double m2 = 2.0 * (1.0 + xi) / (a * b), m3 = 2.0 * (1.0 + eta) / (a * b);
  const double m2xi = 4.0 / (a * a * b), m2eta = 2.0 * (1.0 + xi) / (a * b * b);
  const double m3xi = 2.0 * (1.0 + eta) / (a * a * b), m3eta = 4.0 / (a * b * b);
  f.m = {1.0 - m2 - m3, m2, m3};
  f.mxi = {-m2xi - m3xi, m2xi, m3xi};
  f.meta = {-m2eta - m3eta, m2eta, m3eta};
  return f;
}

// Shared body of both infinite elements: `local` lists the 8-node local index
// (0-based) carrying each element node; the others lie at infinity.
template <std::size_t M>
ElementStatus InfiniteElement(ThermalAxi axi, const InfiniteProps& p,
                              const std::array<Point2, M>& xy, const std::array<int, M>& local,
                              InfiniteMap<M> (*map)(double, double), ThermalMatrices<M>& out) {
  out = ThermalMatrices<M>{};
  std::array<bool, 8> atInfinity;
  atInfinity.fill(true);
  for (int l : local) atInfinity[l] = false;
  const double rc = p.rho * p.c;
  for (int g = 0; g < 4; ++g) {
    const double xi = kGaussPoints[g][0], eta = kGaussPoints[g][1];
    const Shape8 s = Serendipity(xi, eta);
    const InfiniteMap<M> mp = map(xi, eta);
    double xXi = 0, yXi = 0, xEta = 0, yEta = 0, r = 0;
    for (std::size_t i = 0; i < M; ++i) {
      xXi += mp.mxi[i] * xy[i].x;
      yXi += mp.mxi[i] * xy[i].y;
      xEta += mp.meta[i] * xy[i].x;
      yEta += mp.meta[i] * xy[i].y;
      r += mp.m[i] * xy[i].x;
    }
    const double detJ = xXi * yEta - xEta * yXi;
    if (!(detJ >= kMinDetJ)) return ElementStatus::kNonPositiveJacobian;
    std::array<double, 8> dx{}, dy{};
    CartesianDerivatives(s.dxi, s.deta, xXi, yXi, xEta, yEta, detJ, dx, dy);
    const double w = VolumeFactor(axi, r, p.thickness) * detJ;
    for (std::size_t i = 0; i < M; ++i) {
      const int li = local[i];
      for (std::size_t j = 0; j < M; ++j) {
        const int lj = local[j];
        out.K(i, j) += p.lambda * (dx[li] * dx[lj] + dy[li] * dy[lj]) * w;
        out.C(i, j) += rc * s.n[li] * s.n[lj] * w;
      }
      double kFar = 0.0;
      for (int lj = 0; lj < 8; ++lj)
        if (atInfinity[lj]) kFar += p.lambda * (dx[li] * dx[lj] + dy[li] * dy[lj]) * w;
      out.f[i] -= p.tFar * kFar;
    }
  }
  return ElementStatus::kValid;
}

}  // namespace

ElementStatus InfiniteBoundaryElement(ThermalAxi axi, const InfiniteProps& p,
                                      const std::array<Point2, 5>& xy, ThermalMatrices<5>& out) {
  return InfiniteElement<5>(axi, p, xy, {0, 1, 2, 3, 7}, &BoundaryMap, out);
}

ElementStatus InfiniteCornerElement(ThermalAxi axi, const InfiniteProps& p,
                                    const std::array<Point2, 3>& xy, ThermalMatrices<3>& out) {
  return InfiniteElement<3>(axi, p, xy, {0, 1, 7}, &CornerMap, out);
}

namespace {

Point2 Add(const Point2& a, double s, const Point2& u) {
  return {a.x + s * u.x, a.y + s * u.y};
}

Point2 Unit(const Point2& from, const Point2& to) {
  const double dx = to.x - from.x, dy = to.y - from.y, l = std::hypot(dx, dy);
  return l > 0.0 ? Point2{dx / l, dy / l} : Point2{0.0, 0.0};
}

Point2 Bisector(const Point2& a, const Point2& b) {
  const double x = a.x + b.x, y = a.y + b.y, l = std::hypot(x, y);
  return l > 0.0 ? Point2{x / l, y / l} : Point2{0.0, 0.0};
}

// Local geometry around the pipe corner: parent index of n(k) (0-based, k = 1..8),
// pipe axis P and unit vectors u_k.
struct CornerFrame {
  std::array<int, 9> idx{};  // idx[k] for k = 1..8
  Point2 p;
  std::array<Point2, 9> u{};
};

CornerFrame MakeFrame(int corner, const std::array<Point2, 8>& xy) {
  CornerFrame f;
  for (int k = 1; k <= 8; ++k) f.idx[k] = (corner - 1 + k - 1) % 8;
  f.p = xy[f.idx[1]];
  for (int k = 2; k <= 8; ++k) f.u[k] = Unit(f.p, xy[f.idx[k]]);
  return f;
}

// Gauss-point heat sources of the sub-elements by pipe corner (1-based parent points).
constexpr int kSourceA[4][4] = {{1, 1, 4, 2}, {2, 2, 3, 4}, {4, 4, 1, 3}, {3, 3, 2, 1}};
constexpr int kSourceB[4][4] = {{1, 1, 3, 4}, {2, 2, 1, 3}, {4, 4, 2, 1}, {3, 3, 4, 2}};

}  // namespace

ElementStatus PipeCornerElement(ThermalAxi axi, const ConductionProps& p, double diameter,
                                int corner, const std::array<Point2, 8>& xy,
                                ThermalMatrices<8>& out) {
  out = ThermalMatrices<8>{};
  if (corner != 1 && corner != 3 && corner != 5 && corner != 7)
    return ConductionElement(axi, p, xy, out);
  const CornerFrame fr = MakeFrame(corner, xy);
  const double r = 0.5 * diameter;
  const Point2& P = fr.p;
  const auto distance = [&](int k) {
    return std::hypot(xy[fr.idx[k]].x - P.x, xy[fr.idx[k]].y - P.y);
  };
  // Each sub-element node is a weighted sum of the nodes of the 9-node system (the parent
  // nodes and the extra node 8): a parent node itself (weight 1), or a point of a parent
  // edge whose temperature follows that edge's quadratic.
  using Weights = std::array<double, 9>;
  const auto node = [](int n) {
    Weights w{};
    w[n] = 1.0;
    return w;
  };
  // The side of a sub-element from the pipe wall along a parent edge (mid-side node
  // n(mid), far corner n(far)). A mid-side node close to the wall would fold the
  // sub-element: the side then gets a node half way between wall and corner, whose
  // temperature is the side's own quadratic through the wall (pipe node), n(mid) and
  // n(far), so that the side carries the same temperature either way.
  constexpr double kMiddle = 0.3;  // the mid-side node within 30 %…70 % of the side
  bool fits = true;
  const auto side = [&](int mid, int far, Point2& at, Weights& w) {
    const double a = r, b = distance(mid), c = distance(far);
    at = xy[fr.idx[mid]];
    w = node(fr.idx[mid]);
    const double f = (b - a) / (c - a);
    if (!(c > a) || !(b > a)) {
      fits = false;  // the mid-side node lies in the pipe
    } else if (f < kMiddle || f > 1.0 - kMiddle) {
      const double x = 0.5 * (a + c);
      at = Add(P, x, fr.u[mid]);
      w = Weights{};
      w[fr.idx[1]] = (x - b) * (x - c) / ((a - b) * (a - c));
      w[fr.idx[mid]] = (x - a) * (x - c) / ((b - a) * (b - c));
      w[fr.idx[far]] = (x - a) * (x - b) / ((c - a) * (c - b));
    }
  };
  Point2 mid2, mid8;
  Weights w2, w8;
  side(2, 3, mid2, w2);
  side(8, 7, mid8, w8);
  if (!fits) return ElementStatus::kNonPositiveJacobian;
  // The extra node on the diagonal sub-side: at the mean half side from the pipe node, or
  // half way between wall and opposite corner when that would fold the sub-elements.
  double d = 0.5 * (distance(2) + distance(8));
  const double diagonal = distance(5);
  const double f = (d - r) / (diagonal - r);
  if (f < kMiddle || f > 1.0 - kMiddle) d = 0.5 * (r + diagonal);
  const Point2 extra = Add(P, d, fr.u[5]);
  const std::array<Point2, 8> subA{Add(P, r, fr.u[5]), Add(P, r, Bisector(fr.u[2], fr.u[5])),
                                   Add(P, r, fr.u[2]), mid2,
                                   xy[fr.idx[3]],      xy[fr.idx[4]],
                                   xy[fr.idx[5]],      extra};
  const std::array<Point2, 8> subB{Add(P, r, fr.u[8]), Add(P, r, Bisector(fr.u[8], fr.u[5])),
                                   Add(P, r, fr.u[5]), extra,
                                   xy[fr.idx[5]],      xy[fr.idx[6]],
                                   xy[fr.idx[7]],      mid8};
  const Weights pipe = node(fr.idx[1]);
  const std::array<Weights, 8> mapA{
      pipe, pipe, pipe, w2, node(fr.idx[3]), node(fr.idx[4]), node(fr.idx[5]), node(8)};
  const std::array<Weights, 8> mapB{
      pipe, pipe, pipe, node(8), node(fr.idx[5]), node(fr.idx[6]), node(fr.idx[7]), w8};
  const int row = (corner - 1) / 2;

  std::array<double, 81> k9{}, c9{};
  std::array<double, 9> f9{};
  for (int sub = 0; sub < 2; ++sub) {
    ConductionProps sp = p;
    for (int g = 0; g < 4; ++g) sp.q[g] = p.q[(sub == 0 ? kSourceA : kSourceB)[row][g] - 1];
    ThermalMatrices<8> m;
    if (ConductionElement(axi, sp, sub == 0 ? subA : subB, m) != ElementStatus::kValid)
      return ElementStatus::kNonPositiveJacobian;
    const std::array<Weights, 8>& map = sub == 0 ? mapA : mapB;
    for (int i = 0; i < 8; ++i)
      for (int a = 0; a < 9; ++a) {
        if (map[i][a] == 0.0) continue;  // exact zero: node not involved
        f9[a] += map[i][a] * m.f[i];
        for (int j = 0; j < 8; ++j)
          for (int b = 0; b < 9; ++b) {
            const double w = map[i][a] * map[j][b];
            if (w == 0.0) continue;  // exact zero: node not involved
            k9[a * 9 + b] += w * m.K(i, j);
            c9[a * 9 + b] += w * m.C(i, j);
          }
      }
  }
  // Condense the extra node, whose temperature is ½(T_n(2) + T_n(8)).
  std::array<double, 8> cw{};
  cw[fr.idx[2]] = 0.5;
  cw[fr.idx[8]] = 0.5;
  for (int i = 0; i < 8; ++i) {
    out.f[i] = f9[i] + cw[i] * f9[8];
    for (int j = 0; j < 8; ++j) {
      out.K(i, j) =
          k9[i * 9 + j] + cw[i] * k9[8 * 9 + j] + cw[j] * k9[i * 9 + 8] + cw[i] * cw[j] * k9[80];
      out.C(i, j) =
          c9[i * 9 + j] + cw[i] * c9[8 * 9 + j] + cw[j] * c9[i * 9 + 8] + cw[i] * cw[j] * c9[80];
    }
  }
  return ElementStatus::kValid;
}

PipeWallTerms PipeWall(ThermalAxi axi, double alphaPipe, double waterTemperature, double diameter,
                       double thickness, int corner, const std::array<Point2, 8>& xy) {
  PipeWallTerms t;
  if (corner != 1 && corner != 3 && corner != 5 && corner != 7) return t;
  const CornerFrame fr = MakeFrame(corner, xy);
  const double r = 0.5 * diameter;
  const Point2& P = fr.p;
  const std::array<std::array<Point2, 3>, 2> arcs{
      {{Add(P, r, fr.u[5]), Add(P, r, Bisector(fr.u[2], fr.u[5])), Add(P, r, fr.u[2])},
       {Add(P, r, fr.u[8]), Add(P, r, Bisector(fr.u[8], fr.u[5])), Add(P, r, fr.u[5])}}};
  for (const auto& arc : arcs) {
    ThermalMatrices<3> m;
    EdgeHeatTransfer(axi, alphaPipe, waterTemperature, thickness, arc, m);
    for (double v : m.k) t.kcc += v;
    for (double v : m.f) t.fc += v;
  }
  return t;
}

}  // namespace vemto::engine
