#include "Mapping.h"

#include <fmt/format.h>

#include <cassert>
#include <cmath>
#include <cstddef>

namespace meshgen {
namespace {

constexpr int kFiniteType = 5;

std::size_t Sz(long long n) {
  return n < 0 ? 0 : static_cast<std::size_t>(n);
}

/// Guards the table sizes handed in; a short table is a caller error that must
/// not turn into reads or writes past its end.
void Need(std::size_t have, long long want, const char* what) {
  if (want < 0 || have < Sz(want))
    throw MappingError(
        fmt::format(" INTERNAL ERROR: TABLE {} TOO SHORT ({} < {})", what, have, want));
}

void CheckCondition(int c, int nConditions) {
  if (c < 1 || c > nConditions)
    throw MappingError(fmt::format(" CONDITION NUMBER{:5d} NOT DEFINED", c));
}

/// Appends one record to an expanded list, guarding its capacity.
template <std::size_t N>
void Append(std::span<int> list, int& count, const int (&rec)[N]) {
  const std::size_t at = Sz(count) * N;
  if (at + N > list.size()) throw MappingError(" INTERNAL ERROR: MAPPED CONDITION LIST OVERFLOW");
  for (std::size_t i = 0; i < N; ++i) list[at + i] = rec[i];
  ++count;
}

int Rows(const NodeGrid& g) {
  return (g.rows - 1) / 2;
}
int Columns(const NodeGrid& g) {
  return (g.columns - 1) / 2;
}

/// Index of the nearest corner node of an eight-node element to (x, y), ties
/// to the one met first in element order; 0 when the mesh has no such element.
int NearestCorner(const MeshTable& mesh, double x, double y) {
  int best = 0;
  double bestD = 0.0;
  for (int e = 0; e < mesh.elementCount; ++e) {
    if (mesh.type[Sz(e)] != kFiniteType) continue;
    for (int p = 0; p < 8; p += 2) {
      const int n = mesh.ncon[Sz(8 * e + p)];
      assert(n >= 1 && n <= mesh.nodeCount);
      const double dx = mesh.x[Sz(n - 1)] - x;
      const double dy = mesh.y[Sz(n - 1)] - y;
      const double d = dx * dx + dy * dy;
      if (best == 0 || d < bestD) {  // strictly smaller: ties keep the first
        best = n;
        bestD = d;
      }
    }
  }
  return best;
}

void CheckMesh(const MeshTable& mesh) {
  assert(mesh.nodeCount >= 0 && mesh.elementCount >= 0);
  Need(mesh.x.size(), mesh.nodeCount, "XNOD");
  Need(mesh.y.size(), mesh.nodeCount, "YNOD");
  Need(mesh.ncon.size(), 8LL * mesh.elementCount, "NCON");
  Need(mesh.type.size(), mesh.elementCount, "ITY");
}

}  // namespace

int NodeGrid::At(int row, int column) const {
  assert(row >= 1 && row <= rows && column >= 1 && column <= columns);
  return nodes[Sz(static_cast<long long>(row - 1) * columns + (column - 1))];
}

void TieEdgePositions(std::span<const int> positions, int count, const SuperElementTable& se,
                      std::span<int> tied, int& expandedCount, int nConditions, EdgeCount mode) {
  expandedCount = 0;
  Need(positions.size(), 3LL * count, "EDGE POSITIONS");
  Need(tied.size(), 3LL * count, "TIED EDGES");
  const int nSe = se.Count();
  assert(se.nodes.size() >= Sz(8LL * nSe) && se.columns.size() >= Sz(nSe) &&
         se.type.size() >= Sz(nSe));
  for (int i = 0; i < count; ++i) {
    const int p = positions[Sz(3 * i)], q = positions[Sz(3 * i + 1)], c = positions[Sz(3 * i + 2)];
    int found = 0, side = 0;
    for (int s = 1; s <= nSe && found == 0; ++s) {
      if (se.type[Sz(s - 1)] != kFiniteType) continue;
      const int* nd = se.nodes.data() + 8 * (s - 1);
      for (int k = 1; k <= 4; ++k) {
        const int u = nd[2 * k - 2];
        const int v = nd[(2 * k) % 8];
        if ((p == u && q == v) || (p == v && q == u)) {
          found = s;
          side = k;
          break;
        }
      }
    }
    if (found != 0) {
      const int r = se.rows[Sz(found - 1)], cols = se.columns[Sz(found - 1)];
      const int along = (side == 1 || side == 3) ? cols : r;
      expandedCount += mode == EdgeCount::kEdges ? along : 2 * along + 1;
      tied[Sz(3 * i)] = found;
      tied[Sz(3 * i + 1)] = side;
    }
    CheckCondition(c, nConditions);
    tied[Sz(3 * i + 2)] = c;
    if (found == 0)
      throw MappingError(
          fmt::format(" NO SUPER ELEMENT SIDE IS CONNECTED TO THE NODES{:5d} AND{:5d}", p, q));
  }
}

void TieAreaPositions(std::span<const int> positions, int count, const SuperElementTable& se,
                      std::span<int> tied, int& expandedCount, int nConditions) {
  expandedCount = 0;
  Need(positions.size(), 5LL * count, "AREA POSITIONS");
  Need(tied.size(), 2LL * count, "TIED AREAS");
  const int nSe = se.Count();
  for (int i = 0; i < count; ++i) {
    const int* pos = positions.data() + 5 * i;
    const int c = pos[4];
    int found = 0;
    for (int s = 1; s <= nSe && found == 0; ++s) {
      if (se.type[Sz(s - 1)] != kFiniteType) continue;
      const int* nd = se.nodes.data() + 8 * (s - 1);
      for (int r = 0; r < 8 && found == 0; r += 2) {
        bool same = true;
        for (int j = 0; j < 4 && same; ++j) same = nd[(r + 2 * j) % 8] == pos[j];
        if (same) found = s;
      }
    }
    if (found != 0) {
      expandedCount += se.rows[Sz(found - 1)] * se.columns[Sz(found - 1)];
      tied[Sz(2 * i)] = found;
    }
    CheckCondition(c, nConditions);
    tied[Sz(2 * i + 1)] = c;
    if (found == 0)
      throw MappingError(
          fmt::format(" NO SUPER ELEMENT SIDE IS CONNECTED TO THE NODES{:5d},{:5d},{:5d} AND{:5d}",
                      pos[0], pos[1], pos[2], pos[3]));
  }
}

void ExpandEdges(std::span<const int> tied, int nTied, const NodeGrid& g, int s,
                 std::span<int> expanded, int& count) {
  Need(tied.size(), 3LL * nTied, "TIED EDGES");
  const int R = Rows(g), C = Columns(g);
  for (int i = 0; i < nTied; ++i) {
    if (tied[Sz(3 * i)] != s) continue;
    const int side = tied[Sz(3 * i + 1)], c = tied[Sz(3 * i + 2)];
    const int last = g.rows, lastCol = g.columns;
    switch (side) {
      case 1:
        for (int l = 1; l <= C; ++l)
          Append(expanded, count,
                 {g.At(last, 2 * l - 1), g.At(last, 2 * l), g.At(last, 2 * l + 1), c});
        break;
      case 2:
        for (int r = 1; r <= R; ++r)
          Append(expanded, count,
                 {g.At(2 * r + 1, lastCol), g.At(2 * r, lastCol), g.At(2 * r - 1, lastCol), c});
        break;
      case 3:
        for (int l = 1; l <= C; ++l)
          Append(expanded, count, {g.At(1, 2 * l + 1), g.At(1, 2 * l), g.At(1, 2 * l - 1), c});
        break;
      case 4:
        for (int r = 1; r <= R; ++r)
          Append(expanded, count, {g.At(2 * r - 1, 1), g.At(2 * r, 1), g.At(2 * r + 1, 1), c});
        break;
      default:
        assert(false && "side out of range");
    }
  }
}

void ExpandAreas(std::span<const int> tied, int nTied, const NodeGrid& g, int s,
                 std::span<int> expanded, int& count) {
  Need(tied.size(), 2LL * nTied, "TIED AREAS");
  const int R = Rows(g), C = Columns(g);
  for (int i = 0; i < nTied; ++i) {
    if (tied[Sz(2 * i)] != s) continue;
    const int c = tied[Sz(2 * i + 1)];
    for (int r = 1; r <= R; ++r) {
      const int top = 2 * r - 1, mid = 2 * r, bot = 2 * r + 1;
      for (int l = 1; l <= C; ++l) {
        const int left = 2 * l - 1, cen = 2 * l, right = 2 * l + 1;
        Append(expanded, count,
               {g.At(bot, left), g.At(bot, cen), g.At(bot, right), g.At(mid, right),
                g.At(top, right), g.At(top, cen), g.At(top, left), g.At(mid, left), c});
      }
    }
  }
}

void ExpandEdgeNodes(std::span<const int> tied, int nTied, const NodeGrid& g, int s,
                     std::span<int> expanded, int& count) {
  Need(tied.size(), 3LL * nTied, "TIED EDGES");
  for (int i = 0; i < nTied; ++i) {
    if (tied[Sz(3 * i)] != s) continue;
    const int side = tied[Sz(3 * i + 1)], c = tied[Sz(3 * i + 2)];
    if (side == 1 || side == 3) {
      const int row = side == 1 ? g.rows : 1;
      for (int col = 1; col <= g.columns; ++col) Append(expanded, count, {g.At(row, col), c});
    } else {
      assert(side == 2 || side == 4);
      const int col = side == 2 ? g.columns : 1;
      for (int row = 1; row <= g.rows; ++row) Append(expanded, count, {g.At(row, col), c});
    }
  }
}

void MapNodalPositions(int count, std::span<const int> conditions, std::span<const double> xy,
                       int nConditions, const MeshTable& mesh, std::span<int> mapped) {
  Need(conditions.size(), count, "NODAL CONDITIONS");
  Need(xy.size(), 2LL * count, "NODAL COORDINATES");
  Need(mapped.size(), 2LL * count, "MAPPED NODES");
  CheckMesh(mesh);
  for (int i = 0; i < count; ++i) {
    const int c = conditions[Sz(i)];
    CheckCondition(c, nConditions);
    const double x = xy[Sz(2 * i)], y = xy[Sz(2 * i + 1)];
    if (!std::isfinite(x) || !std::isfinite(y))
      throw MappingError(fmt::format(" INVALID COORDINATES OF NODAL POSITION{:5d}", i + 1));
    const int n = NearestCorner(mesh, x, y);
    if (n == 0) throw MappingError(" NO EIGHT-NODE ELEMENTS FOR THE NODAL POSITIONS");
    mapped[Sz(2 * i)] = n;
    mapped[Sz(2 * i + 1)] = c;
  }
}

void CheckPipeRoom(std::span<const double> pipeConds, int nPipeConds, const MeshTable& mesh,
                   std::span<const int> mwt) {
  constexpr int kRecord = 3006;    // MESHGEN_PIPE_RECORD
  constexpr double kLeast = 0.05;  // share of the way from the wall to the next corner
  Need(pipeConds.size(), std::int64_t{kRecord} * nPipeConds, "PIPE CONDITIONS");
  Need(mwt.size(), 3LL * mesh.elementCount, "MWT");
  CheckMesh(mesh);
  const auto distance = [&](int a, int b) {
    return std::hypot(mesh.x[Sz(a - 1)] - mesh.x[Sz(b - 1)], mesh.y[Sz(a - 1)] - mesh.y[Sz(b - 1)]);
  };
  for (int e = 0; e < mesh.elementCount; ++e) {
    const int p = mwt[Sz(3 * e)], c = mwt[Sz(3 * e + 1)];
    if (mesh.type[Sz(e)] != kFiniteType || p == 0 || c < 1 || c > nPipeConds) continue;
    const double r = 0.5 * pipeConds[Sz(std::int64_t{kRecord} * (c - 1) + 2)];
    const auto local = [&](int k) { return mesh.ncon[Sz(8 * e + (k + 7) % 8)]; };  // k 1-based
    const int pipe = local(p);
    for (const int step : {1, -1}) {
      const double mid = distance(pipe, local(p + step)), far = distance(pipe, local(p + 2 * step));
      if (!(mid - r >= kLeast * (far - r)) || !(far > r))
        throw MappingError(fmt::format(
            " PIPE{:5d} PART{:5d}: ELEMENT{:7d} TOO SMALL FOR THE PIPE DIAMETER {:g} M (MID-SIDE "
            "NODE {:.4g} M FROM THE PIPE AXIS, CORNER {:.4g} M); USE FEWER DIVISIONS AROUND THE "
            "PIPE",
            c, mwt[Sz(3 * e + 2)], e + 1, 2.0 * r, mid, far));
    }
  }
}

std::vector<int> PipePositionsWithoutElements(int count, std::span<const int> condPart,
                                              const MeshTable& mesh, std::span<const int> mwt) {
  Need(condPart.size(), 2LL * count, "PIPE CONDITIONS");
  Need(mwt.size(), 3LL * mesh.elementCount, "MWT");
  std::vector<int> empty;
  for (int i = 0; i < count; ++i) {
    const int c = condPart[Sz(2 * i)], part = condPart[Sz(2 * i + 1)];
    bool found = false;
    for (int e = 0; e < mesh.elementCount && !found; ++e)
      found = mesh.type[Sz(e)] == kFiniteType && mwt[Sz(3 * e)] != 0 && mwt[Sz(3 * e + 1)] == c &&
              mwt[Sz(3 * e + 2)] == part;
    if (!found) empty.push_back(i + 1);
  }
  return empty;
}

void MapPipePositions(int count, std::span<const int> condPart, std::span<const double> xy,
                      int nPipeConds, const MeshTable& mesh, std::span<int> mwt) {
  Need(condPart.size(), 2LL * count, "PIPE CONDITIONS");
  Need(xy.size(), 2LL * count, "PIPE COORDINATES");
  CheckMesh(mesh);
  Need(mwt.size(), 3LL * mesh.elementCount, "MWT");
  for (int e = 0; e < mesh.elementCount; ++e)
    if (mesh.type[Sz(e)] == kFiniteType)
      for (int j = 0; j < 3; ++j) mwt[Sz(3 * e + j)] = 0;
  for (int i = 0; i < count; ++i) {
    const int c = condPart[Sz(2 * i)], part = condPart[Sz(2 * i + 1)];
    CheckCondition(c, nPipeConds);
    if (part < 1 || part > kMaxPipeParts)
      throw MappingError(fmt::format(" PIPE PART NUMBER{:5d} NOT ALLOWED", part));
    const double x = xy[Sz(2 * i)], y = xy[Sz(2 * i + 1)];
    if (!std::isfinite(x) || !std::isfinite(y))
      throw MappingError(fmt::format(" INVALID COORDINATES OF PIPE POSITION{:5d}", i + 1));
    const int n = NearestCorner(mesh, x, y);
    if (n == 0) throw MappingError(" NO EIGHT-NODE ELEMENTS FOR THE PIPE POSITIONS");
    for (int e = 0; e < mesh.elementCount; ++e) {
      if (mesh.type[Sz(e)] != kFiniteType) continue;
      for (int p = 1; p <= 7; p += 2) {
        if (mesh.ncon[Sz(8 * e + p - 1)] != n) continue;
        mwt[Sz(3 * e)] = p;
        mwt[Sz(3 * e + 1)] = c;
        mwt[Sz(3 * e + 2)] = part;
        break;
      }
    }
  }
}

}  // namespace meshgen
