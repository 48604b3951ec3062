#include "MeshGeneration.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <cassert>
#include <cmath>
#include <cstdint>
#include <limits>
#include <mutex>
#include <system_error>
#include <thread>
#include <unordered_map>
#include <vector>

#include <fmt/format.h>

#include "FatalStop.h"
#include "NodeFinder.h"
#include "Quad8.h"

namespace meshgen {

namespace {

constexpr const char* kErrTooLarge = " PROBLEM TOO LARGE.";

void Info(const InfoSink& info, const char* text) {
  if (info) info(text);
}

// Number of element divisions along side k of super element s.
std::int32_t SideDivisions(const SuperElementTables& se, std::int32_t s, std::int32_t k) {
  return (k % 2 == 1) ? se.columns(s) : se.rows(s);
}

// Copy direction of side m of t into side k of s: +1 entry i to entry i, -1 reversed.
constexpr int kCopyDirection[4][4] = {
    {-1, +1, +1, -1},  // m = 1, k = 1 ... 4
    {+1, -1, -1, +1},  // m = 2
    {+1, -1, -1, +1},  // m = 3
    {-1, +1, +1, -1},  // m = 4
};

// Tolerance of the coordinate tests between super nodes and nodes, m.
constexpr double kSamePoint = 1e-6;

// Corner, mid-side and corner point of side k of super element s (m); the mid-side
// point of a four-node super element is the middle of the corners.
struct SideCurve {
  double x[3], y[3];
};
SideCurve SideGeometry(const MeshgenArgs& args, const SuperElementTables& se, std::int32_t s,
                       std::int32_t k) {
  const SideNodes n = SuperElementSide(se, s, k);
  SideCurve c;
  const std::int32_t ends[2] = {n.start, n.end};
  for (int e = 0; e < 2; ++e) {
    c.x[2 * e] = args.superNodeX[ends[e] - 1];
    c.y[2 * e] = args.superNodeY[ends[e] - 1];
  }
  if (se.nodeCode(s) == 2) {
    c.x[1] = (c.x[0] + c.x[2]) / 2.0;
    c.y[1] = (c.y[0] + c.y[2]) / 2.0;
  } else {
    c.x[1] = args.superNodeX[n.mid - 1];
    c.y[1] = args.superNodeY[n.mid - 1];
  }
  return c;
}

// Distance from (px, py) to the quadratic side curve (m): Gauss-Newton on the local
// coordinate t in [-1, 1], started from the projection onto the chord.
double DistanceToSide(const SideCurve& c, double px, double py) {
  const double cx = c.x[2] - c.x[0], cy = c.y[2] - c.y[0];
  const double chord2 = cx * cx + cy * cy;
  double t = chord2 > 0.0 ? 2.0 * ((px - c.x[0]) * cx + (py - c.y[0]) * cy) / chord2 - 1.0 : 0.0;
  t = std::clamp(t, -1.0, 1.0);
  double best = std::numeric_limits<double>::infinity();
  for (int iteration = 0; iteration < 30; ++iteration) {
    const double n[3] = {-0.5 * t * (1.0 - t), 1.0 - t * t, 0.5 * t * (1.0 + t)};
    const double d[3] = {t - 0.5, -2.0 * t, t + 0.5};
    double x = 0.0, y = 0.0, dx = 0.0, dy = 0.0;
    for (int i = 0; i < 3; ++i) {
      x += n[i] * c.x[i];
      y += n[i] * c.y[i];
      dx += d[i] * c.x[i];
      dy += d[i] * c.y[i];
    }
    best = std::min(best, std::hypot(x - px, y - py));
    const double slope2 = dx * dx + dy * dy;
    if (!(slope2 > 0.0)) break;
    const double next = std::clamp(t - ((x - px) * dx + (y - py) * dy) / slope2, -1.0, 1.0);
    if (std::abs(next - t) < 1e-13) break;
    t = next;
  }
  return best;
}

// The limit a trial from start r must stay below to rank before the best trial so far,
// packed as (bandwidth << 32 | start); start 0 means no trial has ranked yet.
std::int32_t LimitFor(std::uint64_t packed, std::int32_t r) {
  const auto width = static_cast<std::int32_t>(packed >> 32);
  const auto start = static_cast<std::int32_t>(packed & 0xffffffffu);
  return (start != 0 && r < start) ? width + 1 : width;
}

}  // namespace

MeshSizes EstimateMeshSizes(const MeshgenArgs& args) {
  std::int64_t nn = 0, nt = 0, ne = 0;
  bool mixed = false;
  for (std::int32_t i = 0; i < args.nSuperElements; ++i) {
    const std::int64_t r = args.elementRows[i];
    const std::int64_t c = args.elementColumns[i];
    assert(r >= 1 && c >= 1);
    if (args.elementType[i] == kTypeFinite) {
      nn = std::max({nn, 2 * r + 1, 2 * c + 1});
      nt += (2 * r + 1) * (2 * c + 1) - r * c;
    } else {
      nn = std::max({nn, r + 1, c + 1});
      nt += (r + 1) * (c + 1);
    }
    ne += r * c;
    if (args.elementType[i] != args.elementType[0]) mixed = true;
    constexpr std::int64_t kMax = std::numeric_limits<std::int32_t>::max();
    if (nn > kMax || nt > kMax || ne > kMax) throw numlib::FatalStop(kErrTooLarge);
  }
  MeshSizes sizes;
  sizes.maxSidePoints = static_cast<std::int32_t>(nn);
  sizes.nodeCapacity = static_cast<std::int32_t>(nt);
  sizes.elementCapacity = static_cast<std::int32_t>(ne);
  sizes.mixed = mixed;
  return sizes;
}

void RearrangeSuperElements(const MeshgenArgs& args, SuperElementTables& se, const InfoSink& info) {
  const std::int32_t n = args.nSuperElements;
  se.count = n;
  for (std::int32_t t = 1; t <= n; ++t) se.used(t) = 0;
  se.order(1) = 1;
  se.used(1) = 1;
  std::int32_t next = 2;
  auto corner = [&](std::int32_t element, int position) {
    return args.superElementNodes[8 * (element - 1) + (position - 1)];
  };
  for (std::int32_t j = 1; j <= n; ++j) {
    Info(info, kTextRearranging);
    if (j >= next) throw numlib::FatalStop(kErrNotConnected);
    const std::int32_t s = se.order(j);
    for (std::int32_t t = 1; t <= n; ++t) {
      if (se.used(t) != 0) continue;
      bool touches = false;
      for (int p = 1; p <= 7 && !touches; p += 2)
        for (int q = 1; q <= 7 && !touches; q += 2) touches = corner(t, p) == corner(s, q);
      if (touches) {
        se.order(next++) = t;
        se.used(t) = 1;
      }
    }
  }
  for (std::int32_t j = 1; j <= n; ++j) {
    const std::int32_t i = se.order(j) - 1;
    for (int p = 1; p <= 8; ++p) se.nodes(p, j) = args.superElementNodes[8 * i + (p - 1)];
    se.rows(j) = args.elementRows[i];
    se.columns(j) = args.elementColumns[i];
    se.nodeCode(j) = args.superNodeCode[i];
    se.material(j) = args.materialNumber[i];
    se.type(j) = args.elementType[i];
  }
  OrientCornerElements(args, se);
}

void OrientCornerElements(const MeshgenArgs& args, SuperElementTables& se) {
  // Super nodes of the finite mesh.
  std::vector<std::int32_t> finite;
  for (std::int32_t t = 1; t <= se.count; ++t) {
    if (!IsFinite(se.type(t))) continue;
    for (int p = 1; p <= 8; ++p)
      if (p % 2 == 1 || se.nodeCode(t) == 1) finite.push_back(se.nodes(p, t));
  }
  if (finite.empty()) return;
  auto onFiniteMesh = [&](std::int32_t node) {
    const double x = args.superNodeX[node - 1], y = args.superNodeY[node - 1];
    for (const std::int32_t f : finite) {
      if (f == node) return true;
      if (std::abs(args.superNodeX[f - 1] - x) <= kSamePoint &&
          std::abs(args.superNodeY[f - 1] - y) <= kSamePoint)
        return true;
    }
    return false;
  };
  for (std::int32_t s = 1; s <= se.count; ++s) {
    if (se.type(s) != kTypeInfiniteCorner) continue;
    int first = -1, count = 0;
    for (int c = 0; c < 4; ++c)
      if (onFiniteMesh(se.nodes(2 * c + 1, s))) {
        if (count++ == 0) first = c;
      }
    if (count != 1)
      throw numlib::FatalStop(
          fmt::format(" CORNER SUPER ELEMENT{:5d} MUST TOUCH THE FINITE MESH AT EXACTLY ONE CORNER",
                      se.order(s)));
    if (first == 0) continue;
    std::int32_t turned[8];
    for (int p = 0; p < 8; ++p) turned[p] = se.nodes((p + 2 * first) % 8 + 1, s);
    for (int p = 0; p < 8; ++p) se.nodes(p + 1, s) = turned[p];
  }
}

SideNodes SuperElementSide(const SuperElementTables& se, std::int32_t s, std::int32_t k) {
  assert(k >= 1 && k <= 4);
  return {se.nodes(2 * k - 1, s), se.nodes(2 * k, s), se.nodes(k == 4 ? 1 : 2 * k + 1, s)};
}

bool SidesMatch(const SuperElementTables& se, std::int32_t s, std::int32_t k, std::int32_t t,
                std::int32_t m) {
  const SideNodes a = SuperElementSide(se, s, k);
  const SideNodes b = SuperElementSide(se, t, m);
  if (a.end != b.start || a.start != b.end) return false;
  if (se.nodeCode(s) == 1 && se.nodeCode(t) == 1 && a.mid != b.mid) return false;
  return true;
}

void FindInputConnectivity(const SuperElementTables& se, MeshTables& mesh, const InfoSink& info) {
  const std::int32_t n = se.count;
  for (std::int32_t s = 1; s <= n; ++s)
    for (int k = 1; k <= 4; ++k) {
      mesh.neighbour(k, s) = 0;
      mesh.interfaceSide(k, s) = 0;
    }
  for (std::int32_t s = 1; s <= n; ++s) {
    for (int k = 1; k <= 4; ++k) {
      Info(info, kTextConnectivity);
      for (std::int32_t t = 1; t <= n; ++t) {
        if (t == s) continue;
        for (int m = 1; m <= 4; ++m) {
          if (!SidesMatch(se, s, k, t, m)) continue;
          mesh.neighbour(k, s) = t;
          if (IsFinite(se.type(s)) != IsFinite(se.type(t))) {
            mesh.interfaceSide(k, s) = k;
            mesh.interfaceSide(m, t) = m;
          }
        }
      }
    }
  }
}

void MeshRegions(const MeshgenArgs& args, const SuperElementTables& se, MeshTables& mesh,
                 const InfoSink& info, const SuperElementHook& hook) {
  mesh.nodeCount = 0;
  mesh.elementCount = 0;
  mesh.bandwidth = 0;
  mesh.renumbered = false;
  for (std::int64_t k = 1; k <= mesh.grid.Size(); ++k) mesh.grid(k) = 0;

  NodeFinder finder;
  double* const xs = mesh.x.Data();
  double* const ys = mesh.y.Data();

  for (std::int32_t s = 1; s <= se.count; ++s) {
    Info(info, kTextMeshing);
    const int type = se.type(s);
    const std::int32_t rows = se.rows(s);
    const std::int32_t columns = se.columns(s);
    const std::int32_t rg = type == kTypeFinite ? 2 * rows : rows;
    const std::int32_t cg = type == kTypeFinite ? 2 * columns : columns;
    mesh.gridRows = rg + 1;
    mesh.gridColumns = cg + 1;
    for (std::int64_t k = 1; k <= static_cast<std::int64_t>(rg + 1) * (cg + 1); ++k)
      mesh.grid(k) = 0;

    // Geometry points; a four-node super element gets straight sides.
    double gx[8], gy[8];
    for (int p = 0; p < 8; ++p) {
      const std::int32_t node = se.nodes(p + 1, s);
      if (p % 2 == 0 || se.nodeCode(s) != 2) {
        gx[p] = args.superNodeX[node - 1];
        gy[p] = args.superNodeY[node - 1];
      }
    }
    if (se.nodeCode(s) == 2) {
      for (int p = 1; p < 8; p += 2) {
        const int a = p - 1;
        const int b = (p + 1) % 8;
        gx[p] = (gx[a] + gx[b]) / 2.0;
        gy[p] = (gy[a] + gy[b]) / 2.0;
      }
    }

    // Take over the nodes of meshed neighbours of the same type.
    std::int32_t firstRow = 1, lastRow = rg + 1, firstColumn = 1, lastColumn = cg + 1;
    for (int k = 1; k <= 4; ++k) {
      const std::int32_t t = mesh.neighbour(k, s);
      if (t == 0) continue;
      if (t == s) throw numlib::FatalStop(kErrConnectivity);
      int m = 0;
      for (int candidate = 1; candidate <= 4 && m == 0; ++candidate)
        if (SidesMatch(se, s, k, t, candidate)) m = candidate;
      if (m == 0) throw numlib::FatalStop(kErrConnectivity);
      if (SideDivisions(se, s, k) != SideDivisions(se, t, m)) {
        throw numlib::FatalStop(fmt::format(
            " SUPER ELEMENTS{:5d} AND{:5d} HAVE DIFFERENT DIVISIONS ON THEIR COMMON SIDE",
            se.order(std::min(s, t)), se.order(std::max(s, t))));
      }
      if (t > s || se.type(t) != type) continue;
      const std::int32_t n = (k % 2 == 1) ? cg + 1 : rg + 1;
      const int direction = kCopyDirection[m - 1][k - 1];
      for (std::int32_t i = 1; i <= n; ++i) {
        const std::int32_t node = mesh.SideNode(t, m, direction > 0 ? i : n + 1 - i);
        switch (k) {
          case 1:
            mesh.GridNode(rg + 1, i) = node;
            break;
          case 2:
            mesh.GridNode(i, cg + 1) = node;
            break;
          case 3:
            mesh.GridNode(1, i) = node;
            break;
          default:
            mesh.GridNode(i, 1) = node;
            break;
        }
      }
      switch (k) {
        case 1:
          lastRow = rg;
          break;
        case 2:
          lastColumn = cg;
          break;
        case 3:
          firstRow = 2;
          break;
        default:
          firstColumn = 2;
          break;
      }
    }

    // Create the other nodes row by row.
    for (std::int32_t j = firstRow; j <= lastRow; ++j) {
      Info(info, kTextCreatingNodes);
      const double eta = 1.0 - (j - 1) * 2.0 / rg;
      for (std::int32_t i = firstColumn; i <= lastColumn; ++i) {
        const bool noNode = (type == kTypeFinite && j % 2 == 0 && i % 2 == 0) ||
                            (type == kTypeInfiniteCorner && j == 1 && i == 2);
        if (noNode) {
          mesh.GridNode(j, i) = 0;
          continue;
        }
        const double xi = (i - 1) * 2.0 / cg - 1.0;
        const std::array<double, 8> shape = numlib::Quad8Values(xi, eta);
        double x = 0.0, y = 0.0;
        for (int p = 0; p < 8; ++p) {
          x += shape[p] * gx[p];
          y += shape[p] * gy[p];
        }
        std::int32_t node = finder.Find(x, y, xs, ys);
        if (node != 0) {
          finder.Move(node, xs[node - 1], ys[node - 1], x, y);
          xs[node - 1] = x;
          ys[node - 1] = y;
        } else {
          if (mesh.nodeCount >= mesh.sizes.nodeCapacity) throw numlib::FatalStop(kErrTooManyNodes);
          node = ++mesh.nodeCount;
          xs[node - 1] = x;
          ys[node - 1] = y;
          finder.Insert(node, x, y);
        }
        mesh.GridNode(j, i) = node;
      }
    }

    if (hook) hook(s, mesh);

    // Side lists.
    for (std::int32_t i = 1; i <= cg + 1; ++i) {
      mesh.SideNode(s, 1, i) = mesh.GridNode(rg + 1, i);
      mesh.SideNode(s, 3, i) = mesh.GridNode(1, i);
    }
    for (std::int32_t i = 1; i <= rg + 1; ++i) {
      mesh.SideNode(s, 2, i) = mesh.GridNode(i, cg + 1);
      mesh.SideNode(s, 4, i) = mesh.GridNode(i, 1);
    }

    // Elements, cell rows from the top, cells from the left.
    for (std::int32_t a = 1; a <= rows; ++a) {
      for (std::int32_t b = 1; b <= columns; ++b) {
        if (mesh.elementCount >= mesh.sizes.elementCapacity)
          throw numlib::FatalStop(kErrTooManyElements);
        const std::int32_t e = ++mesh.elementCount;
        mesh.ity(e) = type;
        mesh.material(e) = se.material(s);
        mesh.region(e) = s;
        std::int32_t side = 0;
        if (a == rows && mesh.interfaceSide(1, s) == 1) side = 1;
        if (b == columns && mesh.interfaceSide(2, s) == 2) side = 2;
        if (a == 1 && mesh.interfaceSide(3, s) == 3) side = 3;
        if (b == 1 && mesh.interfaceSide(4, s) == 4) side = 4;
        mesh.jte(e) = side;
        std::int32_t nodes[8] = {};
        int count = 0;
        if (type == kTypeFinite) {
          const std::int32_t r = 2 * a - 1, c = 2 * b - 1;
          const std::int32_t order[8][2] = {{r + 2, c},     {r + 2, c + 1}, {r + 2, c + 2},
                                            {r + 1, c + 2}, {r, c + 2},     {r, c + 1},
                                            {r, c},         {r + 1, c}};
          for (const auto& rc : order) nodes[count++] = mesh.GridNode(rc[0], rc[1]);
        } else if (type == kTypeInfiniteSurface) {
          nodes[count++] = mesh.GridNode(a + 1, b);
          nodes[count++] = mesh.GridNode(a + 1, b + 1);
          nodes[count++] = mesh.GridNode(a, b + 1);
          nodes[count++] = mesh.GridNode(a, b);
        } else {
          nodes[count++] = mesh.GridNode(a + 1, b);
          nodes[count++] = mesh.GridNode(a + 1, b + 1);
          nodes[count++] = mesh.GridNode(a, b);
        }
        for (int p = 1; p <= 8; ++p) mesh.ncon(p, e) = p <= count ? nodes[p - 1] : 0;
        const auto [lo, hi] = std::minmax_element(nodes, nodes + count);
        // A grid point without a node can only come from a side taken over from a
        // neighbour that has none there (two corner elements on one side).
        if (*lo < 1) throw numlib::FatalStop(kErrConnectivity);
        mesh.bandwidth = std::max(mesh.bandwidth, *hi - *lo);
      }
    }
  }
}

void CheckJunctions(const MeshgenArgs& args, const SuperElementTables& se, const MeshTables& mesh) {
  // Every side with its curve, nodes (0 = no node), roles and bounding box.
  struct Side {
    SideCurve curve;
    std::vector<std::int32_t> nodes;
    std::vector<bool> corner;
    double tolerance = kSamePoint;
    double x0 = 0, y0 = 0, x1 = 0, y1 = 0;
  };
  const std::int32_t n = se.count;
  std::vector<Side> sides(static_cast<std::size_t>(4 * n));
  for (std::int32_t s = 1; s <= n; ++s) {
    const bool finite = se.type(s) == kTypeFinite;
    for (int k = 1; k <= 4; ++k) {
      Side& side = sides[static_cast<std::size_t>(4 * (s - 1) + (k - 1))];
      side.curve = SideGeometry(args, se, s, k);
      const std::int32_t divisions = SideDivisions(se, s, k);
      const std::int32_t points = finite ? 2 * divisions + 1 : divisions + 1;
      side.x0 = side.x1 = side.curve.x[0];
      side.y0 = side.y1 = side.curve.y[0];
      for (std::int32_t i = 1; i <= points; ++i) {
        const std::int32_t node = mesh.SideNode(s, k, i);
        side.nodes.push_back(node);
        side.corner.push_back(!finite || i % 2 == 1);
        if (node == 0) continue;
        side.x0 = std::min(side.x0, mesh.x(node));
        side.x1 = std::max(side.x1, mesh.x(node));
        side.y0 = std::min(side.y0, mesh.y(node));
        side.y1 = std::max(side.y1, mesh.y(node));
      }
      const double chord =
          std::hypot(side.curve.x[2] - side.curve.x[0], side.curve.y[2] - side.curve.y[0]);
      side.tolerance = std::max(kSamePoint, 1e-4 * chord);
    }
  }
  auto at = [&](std::int32_t s, int k) -> const Side& {
    return sides[static_cast<std::size_t>(4 * (s - 1) + (k - 1))];
  };
  // Whether the nodes of b on the curve of a are nodes of a in the same role (true also
  // when fewer than two nodes of b touch a: the sides meet at a point or not at all).
  auto conforming = [&](const Side& a, const Side& b) {
    if (b.x0 > a.x1 + a.tolerance || b.x1 < a.x0 - a.tolerance || b.y0 > a.y1 + a.tolerance ||
        b.y1 < a.y0 - a.tolerance)
      return true;
    // Distinct nodes: a collapsed side lists one node in every place.
    std::vector<std::int32_t> touching;
    bool matching = true;
    for (std::size_t i = 0; i < b.nodes.size(); ++i) {
      const std::int32_t node = b.nodes[i];
      if (node == 0 || std::find(touching.begin(), touching.end(), node) != touching.end())
        continue;
      if (DistanceToSide(a.curve, mesh.x(node), mesh.y(node)) > a.tolerance) continue;
      touching.push_back(node);
      const auto found = std::find(a.nodes.begin(), a.nodes.end(), node);
      if (found == a.nodes.end() ||
          a.corner[static_cast<std::size_t>(found - a.nodes.begin())] != b.corner[i])
        matching = false;
    }
    return touching.size() < 2 || matching;
  };
  for (std::int32_t s = 1; s <= n; ++s)
    for (int k = 1; k <= 4; ++k)
      for (std::int32_t t = 1; t <= n; ++t) {
        if (t == s) continue;
        for (int m = 1; m <= 4; ++m) {
          if (SidesMatch(se, s, k, t, m) || conforming(at(s, k), at(t, m))) continue;
          throw numlib::FatalStop(fmt::format(
              " SUPER ELEMENTS{:5d} AND{:5d} DO NOT SHARE THEIR NODES ALONG A COMMON SIDE",
              std::min(se.order(s), se.order(t)), std::max(se.order(s), se.order(t))));
        }
      }
}

void SetElementNodeCounts(MeshTables& mesh) {
  for (std::int32_t e = 1; e <= mesh.elementCount; ++e) {
    switch (mesh.ity(e)) {
      case kTypeInfiniteCorner:
        mesh.ncn(e) = 3;
        break;
      case kTypeInfiniteSurface:
        mesh.ncn(e) = 4;
        break;
      default:
        mesh.ncn(e) = 8;
        break;
    }
  }
}

void FindCommonBoundaries(MeshTables& mesh, const InfoSink& info) {
  // Directed corner pairs (c[i], c[i+1]) of the infinite interface elements, each with
  // its elements in element order.
  struct PairHash {
    std::size_t operator()(std::uint64_t v) const noexcept {
      return static_cast<std::size_t>(v * 0x9E3779B97F4A7C15ull);
    }
  };
  auto key = [](std::int32_t b, std::int32_t a) {
    return (static_cast<std::uint64_t>(static_cast<std::uint32_t>(b)) << 32) |
           static_cast<std::uint32_t>(a);
  };
  auto corners = [&](std::int32_t f) { return mesh.ity(f) == kTypeInfiniteCorner ? 3 : 4; };
  std::unordered_map<std::uint64_t, std::vector<std::int32_t>, PairHash> pairs;
  for (std::int32_t f = 1; f <= mesh.elementCount; ++f) {
    if (IsFinite(mesh.ity(f)) || mesh.jte(f) == 0) continue;
    const int nc = corners(f);
    for (int i = 1; i <= nc; ++i) {
      auto& list = pairs[key(mesh.ncon(i, f), mesh.ncon(i % nc + 1, f))];
      if (list.empty() || list.back() != f) list.push_back(f);
    }
  }
  for (std::int32_t e = 1; e <= mesh.elementCount; ++e) {
    if (!IsFinite(mesh.ity(e)) || mesh.jte(e) == 0) continue;
    std::int32_t lastMatch = 0;
    for (int side = 0; side < 4; ++side) {
      Info(info, kTextCommonBoundaries);
      const std::int32_t a = mesh.ncon(2 * side + 1, e);
      const std::int32_t mid = mesh.ncon(2 * side + 2, e);
      const std::int32_t b = mesh.ncon(side == 3 ? 1 : 2 * side + 3, e);
      const auto it = pairs.find(key(b, a));
      if (it == pairs.end()) continue;
      for (const std::int32_t f : it->second) {
        // An element that already received a mid-side node keeps it.
        if (f == e || f == lastMatch || mesh.ncn(f) != corners(f)) continue;
        const int nc = corners(f);
        int i = 1;
        while (!(mesh.ncon(i, f) == b && mesh.ncon(i % nc + 1, f) == a)) ++i;
        std::int32_t rest[2] = {};
        for (int r = 0; r < nc - 2; ++r) rest[r] = mesh.ncon((i + 1 + r) % nc + 1, f);
        mesh.ncon(1, f) = b;
        mesh.ncon(2, f) = mid;
        mesh.ncon(3, f) = a;
        for (int r = 0; r < nc - 2; ++r) mesh.ncon(4 + r, f) = rest[r];
        mesh.ncn(f) = nc + 1;
        lastMatch = f;
        break;
      }
    }
  }
}

void ReduceBandwidth(MeshTables& mesh, int threadCount) {
  const std::int32_t nodes = mesh.nodeCount;
  const std::int32_t elements = mesh.elementCount;
  mesh.renumbered = false;
  if (nodes == 0) return;

  // The adjacency list of a node holds the other nodes of its elements in order of
  // first appearance (elements in element order, nodes in NCON order). A trial walks
  // exactly that order through the node's elements, and an element whose nodes are all
  // numbered is passed over as a whole: the first visited node of an element numbers all
  // its other nodes, so every element is scanned once per trial.
  std::vector<std::int64_t> first(static_cast<std::size_t>(nodes) + 2, 0);
  for (std::int32_t e = 1; e <= elements; ++e)
    for (int p = 1; p <= mesh.ncn(e); ++p) ++first[mesh.ncon(p, e) + 1];
  for (std::int32_t v = 1; v <= nodes + 1; ++v) first[v] += first[v - 1];
  std::vector<std::int32_t> nodeElements(static_cast<std::size_t>(first[nodes + 1]));
  {
    std::vector<std::int64_t> fill(first.begin(), first.end());
    for (std::int32_t e = 1; e <= elements; ++e)
      for (int p = 1; p <= mesh.ncn(e); ++p) nodeElements[fill[mesh.ncon(p, e)]++] = e;
  }
  // Element nodes packed per element (ncn, then the nodes).
  std::vector<std::int32_t> elementNodes(static_cast<std::size_t>(elements) * 9 + 9);
  std::int32_t b0 = 0;
  int cliqueBound = 0;
  for (std::int32_t e = 1; e <= elements; ++e) {
    std::int32_t* packed = elementNodes.data() + 9 * e;
    const int n = mesh.ncn(e);
    packed[0] = n;
    std::int32_t lo = mesh.ncon(1, e), hi = lo;
    int distinct = 0;
    for (int p = 1; p <= n; ++p) {
      const std::int32_t v = mesh.ncon(p, e);
      packed[p] = v;
      lo = std::min(lo, v);
      hi = std::max(hi, v);
      if (std::find(packed + 1, packed + p, v) == packed + p) ++distinct;
    }
    b0 = std::max(b0, hi - lo);
    cliqueBound = std::max(cliqueBound, distinct - 1);
  }

  // Degrees (number of distinct neighbours), kept in JMEM while the tables are built.
  std::vector<std::int32_t> stamp(static_cast<std::size_t>(nodes) + 1, 0);
  std::vector<std::int32_t> degree(static_cast<std::size_t>(nodes) + 1, 0);
  std::int32_t degreeBound = 0;
  for (std::int32_t u = 1; u <= nodes; ++u) {
    stamp[u] = u;
    for (std::int64_t k = first[u]; k < first[u + 1]; ++k) {
      const std::int32_t* packed = elementNodes.data() + 9 * nodeElements[k];
      for (int p = 1; p <= packed[0]; ++p)
        if (stamp[packed[p]] != u) {
          stamp[packed[p]] = u;
          ++degree[u];
        }
    }
    mesh.jmem(u) = degree[u];
    degreeBound = std::max(degreeBound, (degree[u] + 1) / 2);
  }
  // No numbering has a bandwidth below this: a node's neighbours need distinct numbers
  // on both sides of it, and the nodes of one element are all adjacent.
  const std::int32_t lowerBound = std::max(degreeBound, cliqueBound);

  // Trials from every start, shared out among worker threads. The result is the one of
  // trying the starts one after the other: the first start (in node order) whose
  // numbering has the smallest bandwidth, when that beats the creation numbering. So the
  // best trial so far is ranked by (bandwidth, start), and a trial is abandoned as soon
  // as it cannot rank before it.
  struct Best {
    std::int32_t width;  // bandwidth of the best trial so far (b0: none)
    std::int32_t start;  // its start node (0: none)
  };
  std::mutex bestMutex;
  Best best{b0, 0};
  std::atomic<std::uint64_t> bestPacked{(static_cast<std::uint64_t>(b0) << 32)};
  std::vector<std::int32_t> bestOrder(static_cast<std::size_t>(nodes));
  std::atomic<std::int32_t> nextBatch{0};

  int threads =
      threadCount > 0 ? threadCount : static_cast<int>(std::thread::hardware_concurrency());
  threads = std::clamp(threads, 1, 16);
  if (threadCount <= 0 && nodes < 4096) threads = 1;  // not worth a thread
  struct Scratch {
    std::vector<std::int32_t> stamp, elementStamp, order;
    // Level widths of 64 starts at once: per node the lanes (starts) that have reached
    // it, that reach it in the current level and in the next one; per element the lanes
    // arriving at it.
    std::vector<std::uint64_t> visited, front, next, elementMask;
    std::vector<std::int32_t> frontList, nextList, touched, visitedList;
  };
  std::vector<Scratch> scratch(static_cast<std::size_t>(threads));
  for (auto& w : scratch) {
    w.stamp.assign(static_cast<std::size_t>(nodes) + 1, 0);
    w.elementStamp.assign(static_cast<std::size_t>(elements) + 1, 0);
    w.order.assign(static_cast<std::size_t>(nodes), 0);
    w.visited.assign(static_cast<std::size_t>(nodes) + 1, 0);
    w.front.assign(static_cast<std::size_t>(nodes) + 1, 0);
    w.next.assign(static_cast<std::size_t>(nodes) + 1, 0);
    w.elementMask.assign(static_cast<std::size_t>(elements) + 1, 0);
    w.frontList.reserve(static_cast<std::size_t>(nodes));
    w.nextList.reserve(static_cast<std::size_t>(nodes));
    w.visitedList.reserve(static_cast<std::size_t>(nodes));
    w.touched.reserve(static_cast<std::size_t>(elements));
  }

  // A trial numbers the nodes level by level (breadth first), so the last node of level
  // L is numbered at least width(L) after its giver: a start with a level at least as
  // wide as its limit cannot rank first, and its trial is skipped. WideLevels finds
  // such starts for up to 64 starts at once (one bit per start), level by
  // level, and returns the lanes found; lanes in `done` are not followed.
  auto wideLevels = [&](Scratch& w, const std::int32_t* starts, int lanes,
                        const std::int32_t* limits, std::uint64_t done) {
    const std::uint64_t all = lanes == 64 ? ~std::uint64_t{0} : (std::uint64_t{1} << lanes) - 1;
    w.frontList.clear();
    w.visitedList.clear();
    for (int j = 0; j < lanes; ++j) {
      const std::int32_t r = starts[j];
      const std::uint64_t bit = std::uint64_t{1} << j;
      if (done & bit) continue;
      if (w.visited[r] == 0) {
        w.visitedList.push_back(r);
        w.frontList.push_back(r);
      }
      w.visited[r] |= bit;
      w.front[r] |= bit;
    }
    std::uint64_t slices[32];
    while (!w.frontList.empty() && done != all) {
      // Lanes arriving at every element of the current level.
      w.touched.clear();
      for (const std::int32_t u : w.frontList) {
        const std::uint64_t m = w.front[u] & ~done;
        w.front[u] = 0;
        if (m == 0) continue;
        for (std::int64_t k = first[u]; k < first[u + 1]; ++k) {
          const std::int32_t e = nodeElements[k];
          if (w.elementMask[e] == 0) w.touched.push_back(e);
          w.elementMask[e] |= m;
        }
      }
      // The next level: nodes of those elements not reached before.
      w.nextList.clear();
      for (const std::int32_t e : w.touched) {
        const std::uint64_t m = w.elementMask[e];
        w.elementMask[e] = 0;
        const std::int32_t* packed = elementNodes.data() + 9 * e;
        for (int p = 1; p <= packed[0]; ++p) {
          const std::int32_t v = packed[p];
          const std::uint64_t add = m & ~w.visited[v] & ~w.next[v];
          if (add == 0) continue;
          if (w.next[v] == 0) w.nextList.push_back(v);
          w.next[v] |= add;
        }
      }
      // Level widths per lane, counted in bit slices (slice s holds bit s of each count).
      std::fill(std::begin(slices), std::end(slices), 0);
      for (const std::int32_t v : w.nextList) {
        const std::uint64_t add = w.next[v];
        if (w.visited[v] == 0) w.visitedList.push_back(v);
        w.visited[v] |= add;
        w.front[v] = add;
        w.next[v] = 0;
        std::uint64_t carry = add;
        for (int b = 0; b < 32 && carry != 0; ++b) {
          const std::uint64_t t = slices[b] & carry;
          slices[b] ^= carry;
          carry = t;
        }
      }
      int used = 32;
      while (used > 0 && slices[used - 1] == 0) --used;
      for (int j = 0; j < lanes; ++j) {
        const std::uint64_t bit = std::uint64_t{1} << j;
        if (done & bit) continue;
        std::int64_t width = 0;
        for (int b = 0; b < used; ++b)
          width |= static_cast<std::int64_t>((slices[b] >> j) & 1u) << b;
        if (width >= limits[j]) done |= bit;
      }
      std::swap(w.frontList, w.nextList);
    }
    for (const std::int32_t v : w.visitedList) w.visited[v] = 0;
    for (const std::int32_t v : w.frontList) w.front[v] = 0;
    return done;
  };

  // The trial from r as written; returns whether it ranks first and was stored.
  auto trial = [&](Scratch& w, std::int32_t r, auto&& limitFor) {
    std::int32_t limit = limitFor(bestPacked.load(std::memory_order_relaxed));
    if (limit <= lowerBound) return;
    // The neighbours of the start get the numbers 2 ... degree + 1.
    if (degree[r] >= limit) return;
    w.stamp[r] = r;
    w.order[0] = r;
    std::int32_t count = 1;
    std::int32_t trialWidth = 0;
    bool abandoned = false;
    for (std::int32_t head = 0; head < count && !abandoned; ++head) {
      const std::int32_t u = w.order[head];
      const std::int32_t giver = head + 1;
      if ((head & 255) == 255) limit = limitFor(bestPacked.load(std::memory_order_relaxed));
      for (std::int64_t k = first[u]; k < first[u + 1] && !abandoned; ++k) {
        const std::int32_t e = nodeElements[k];
        if (w.elementStamp[e] == r) continue;
        w.elementStamp[e] = r;
        const std::int32_t* packed = elementNodes.data() + 9 * e;
        for (int p = 1; p <= packed[0]; ++p) {
          const std::int32_t v = packed[p];
          if (w.stamp[v] == r) continue;
          const std::int32_t number = count + 1;
          if (number - giver >= limit) {
            abandoned = true;
            break;
          }
          w.stamp[v] = r;
          w.order[count++] = v;
          trialWidth = std::max(trialWidth, number - giver);
        }
      }
    }
    if (abandoned || count < nodes) return;  // a mesh in pieces: failed trial
    const std::lock_guard<std::mutex> lock(bestMutex);
    if (trialWidth < best.width ||
        (trialWidth == best.width && best.start != 0 && r < best.start)) {
      best = {trialWidth, r};
      std::copy(w.order.begin(), w.order.end(), bestOrder.begin());
      bestPacked.store(
          (static_cast<std::uint64_t>(trialWidth) << 32) | static_cast<std::uint32_t>(r),
          std::memory_order_relaxed);
    }
  };

  // Starts are taken in batches of 64 that lie close together (in the order of a
  // Morton curve through the node coordinates), so that their levels overlap.
  std::vector<std::int32_t> sweep(static_cast<std::size_t>(nodes));
  for (std::int32_t i = 0; i < nodes; ++i) sweep[i] = i + 1;
  if (mesh.x.Data() != nullptr && mesh.y.Data() != nullptr) {
    double lo[2] = {0, 0}, hi[2] = {0, 0};
    bool any = false;
    for (std::int32_t n = 1; n <= nodes; ++n) {
      const double c[2] = {mesh.x(n), mesh.y(n)};
      if (!std::isfinite(c[0]) || !std::isfinite(c[1])) continue;
      for (int d = 0; d < 2; ++d) {
        lo[d] = any ? std::min(lo[d], c[d]) : c[d];
        hi[d] = any ? std::max(hi[d], c[d]) : c[d];
      }
      any = true;
    }
    std::vector<std::uint32_t> key(static_cast<std::size_t>(nodes) + 1, 0);
    for (std::int32_t n = 1; n <= nodes; ++n) {
      const double c[2] = {mesh.x(n), mesh.y(n)};
      std::uint32_t q[2] = {0, 0};
      // One scale for both directions keeps the batches compact in long sections.
      const double span = std::max(hi[0] - lo[0], hi[1] - lo[1]);
      for (int d = 0; d < 2; ++d) {
        if (std::isfinite(c[d]) && span > 0.0)
          q[d] = static_cast<std::uint32_t>(std::clamp((c[d] - lo[d]) / span, 0.0, 1.0) * 65535.0);
      }
      std::uint32_t k = 0;
      for (int b = 0; b < 16; ++b)
        k |= ((q[0] >> b) & 1u) << (2 * b) | ((q[1] >> b) & 1u) << (2 * b + 1);
      key[n] = k;
    }
    std::stable_sort(sweep.begin(), sweep.end(),
                     [&key](std::int32_t a, std::int32_t b) { return key[a] < key[b]; });
  }

  auto worker = [&](Scratch& w) {
    for (;;) {
      const std::int32_t batch = nextBatch.fetch_add(1);
      const std::int64_t firstIndex = std::int64_t{64} * batch;
      if (firstIndex >= nodes) return;
      const int lanes = static_cast<int>(std::min<std::int64_t>(64, nodes - firstIndex));
      const std::int32_t* starts = sweep.data() + firstIndex;
      std::int32_t limits[64];
      std::uint64_t done = 0;
      const std::uint64_t packed = bestPacked.load(std::memory_order_relaxed);
      for (int j = 0; j < lanes; ++j) {
        limits[j] = LimitFor(packed, starts[j]);
        if (limits[j] <= lowerBound || degree[starts[j]] >= limits[j])
          done |= std::uint64_t{1} << j;
      }
      done = wideLevels(w, starts, lanes, limits, done);
      for (int j = 0; j < lanes; ++j) {
        if (done & (std::uint64_t{1} << j)) continue;
        const std::int32_t r = starts[j];
        trial(w, r, [r](std::uint64_t p) { return LimitFor(p, r); });
      }
    }
  };
  // The workers allocate nothing; the pool is joined on every way out.
  struct Pool {
    std::vector<std::thread> threads;
    ~Pool() {
      for (auto& t : threads)
        if (t.joinable()) t.join();
    }
  } pool;
  pool.threads.reserve(static_cast<std::size_t>(threads));
  for (int t = 1; t < threads; ++t) {
    try {
      pool.threads.emplace_back(worker, std::ref(scratch[static_cast<std::size_t>(t)]));
    } catch (const std::system_error&) {
      break;  // fewer threads: the calling thread does the rest
    }
  }
  worker(scratch[0]);
  for (auto& t : pool.threads) t.join();

  if (best.start != 0) {
    for (std::int32_t i = 0; i < nodes; ++i) {
      mesh.newjt(i + 1) = bestOrder[i];
      mesh.jnt(bestOrder[i]) = i + 1;
      mesh.joint(bestOrder[i]) = i + 1;
    }
  }
  if (best.start != 0) {
    mesh.bandwidth = best.width;
    for (std::int32_t n = 1; n <= nodes; ++n) mesh.jmem(mesh.jnt(n)) = n;
    mesh.renumbered = true;
  } else {
    mesh.bandwidth = b0;
    for (std::int32_t n = 1; n <= nodes; ++n) {
      mesh.jnt(n) = n;
      mesh.jmem(n) = n;
    }
  }
}

void GenerateMesh(const MeshgenArgs& args, const SuperElementTables& se, MeshTables& mesh,
                  const InfoSink& info, const SuperElementHook& hook) {
  FindInputConnectivity(se, mesh, info);
  MeshRegions(args, se, mesh, info, hook);
  CheckJunctions(args, se, mesh);
  SetElementNodeCounts(mesh);
  if (mesh.sizes.mixed) FindCommonBoundaries(mesh, info);
  ReduceBandwidth(mesh);
}

}  // namespace meshgen
