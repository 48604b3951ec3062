#include "QuadMesh.h"

#include <algorithm>
#include <cassert>
#include <cmath>
#include <limits>

#include "Quad8.h"

namespace vemto::tmfetch {

void MapPoint(const QuadMesh& mesh, std::size_t e, double xi, double eta, double& x, double& y) {
  const std::array<double, 8> n = numlib::Quad8Values(xi, eta);
  x = 0.0;
  y = 0.0;
  for (int i = 0; i < 8; ++i) {
    const auto node = static_cast<std::size_t>(mesh.elements[e][i]);
    x += n[i] * mesh.x[node];
    y += n[i] * mesh.y[node];
  }
}

double JacobianDeterminant(const QuadMesh& mesh, std::size_t e, double xi, double eta) {
  const auto [n, dxi, deta] = numlib::Quad8ShapeAt(xi, eta);
  double xx = 0.0, xe = 0.0, yx = 0.0, ye = 0.0;
  for (int i = 0; i < 8; ++i) {
    const auto node = static_cast<std::size_t>(mesh.elements[e][i]);
    xx += dxi[i] * mesh.x[node];
    xe += deta[i] * mesh.x[node];
    yx += dxi[i] * mesh.y[node];
    ye += deta[i] * mesh.y[node];
  }
  return xx * ye - xe * yx;
}

MeshLocator::MeshLocator(const QuadMesh& mesh) : mesh_(mesh) {
  assert(!mesh.elements.empty());
  double x0 = std::numeric_limits<double>::max(), y0 = x0;
  double x1 = std::numeric_limits<double>::lowest(), y1 = x1;
  double sizeSum = 0.0;
  boxes_.reserve(mesh.elements.size());
  for (const auto& element : mesh.elements) {
    Box b{std::numeric_limits<double>::max(), std::numeric_limits<double>::max(),
          std::numeric_limits<double>::lowest(), std::numeric_limits<double>::lowest()};
    for (std::int32_t node : element) {
      b.x0 = std::min(b.x0, mesh.x[node]);
      b.y0 = std::min(b.y0, mesh.y[node]);
      b.x1 = std::max(b.x1, mesh.x[node]);
      b.y1 = std::max(b.y1, mesh.y[node]);
    }
    // Curved sides may bulge beyond their nodes: widen the box by a quarter.
    const double wx = 0.25 * (b.x1 - b.x0), wy = 0.25 * (b.y1 - b.y0);
    b.x0 -= wx;
    b.x1 += wx;
    b.y0 -= wy;
    b.y1 += wy;
    boxes_.push_back(b);
    x0 = std::min(x0, b.x0);
    y0 = std::min(y0, b.y0);
    x1 = std::max(x1, b.x1);
    y1 = std::max(y1, b.y1);
    sizeSum += std::max(b.x1 - b.x0, b.y1 - b.y0);
  }
  cell_ = std::max(sizeSum / static_cast<double>(boxes_.size()), 1e-9);
  gx0_ = x0;
  gy0_ = y0;
  nx_ = std::clamp<std::int64_t>(static_cast<std::int64_t>((x1 - x0) / cell_) + 1, 1, 4096);
  ny_ = std::clamp<std::int64_t>(static_cast<std::int64_t>((y1 - y0) / cell_) + 1, 1, 4096);
  cell_ =
      std::max({cell_, (x1 - x0) / static_cast<double>(nx_), (y1 - y0) / static_cast<double>(ny_)});
  cells_.resize(static_cast<std::size_t>(nx_ * ny_));
  for (std::size_t e = 0; e < boxes_.size(); ++e) {
    const Box& b = boxes_[e];
    const auto i0 =
        std::clamp<std::int64_t>(static_cast<std::int64_t>((b.x0 - gx0_) / cell_), 0, nx_ - 1);
    const auto i1 =
        std::clamp<std::int64_t>(static_cast<std::int64_t>((b.x1 - gx0_) / cell_), 0, nx_ - 1);
    const auto j0 =
        std::clamp<std::int64_t>(static_cast<std::int64_t>((b.y0 - gy0_) / cell_), 0, ny_ - 1);
    const auto j1 =
        std::clamp<std::int64_t>(static_cast<std::int64_t>((b.y1 - gy0_) / cell_), 0, ny_ - 1);
    for (std::int64_t j = j0; j <= j1; ++j)
      for (std::int64_t i = i0; i <= i1; ++i)
        cells_[static_cast<std::size_t>(j * nx_ + i)].push_back(static_cast<std::uint32_t>(e));
  }
}

PointLocation MeshLocator::Project(std::size_t e, double x, double y) const {
  PointLocation p;
  p.element = e;
  double xi = 0.0, eta = 0.0;
  for (int iteration = 0; iteration < 30; ++iteration) {
    const auto [n, dxi, deta] = numlib::Quad8ShapeAt(xi, eta);
    double px = 0.0, py = 0.0, xx = 0.0, xe = 0.0, yx = 0.0, ye = 0.0;
    for (int i = 0; i < 8; ++i) {
      const auto node = static_cast<std::size_t>(mesh_.elements[e][i]);
      px += n[i] * mesh_.x[node];
      py += n[i] * mesh_.y[node];
      xx += dxi[i] * mesh_.x[node];
      xe += deta[i] * mesh_.x[node];
      yx += dxi[i] * mesh_.y[node];
      ye += deta[i] * mesh_.y[node];
    }
    const double det = xx * ye - xe * yx;
    if (!(std::abs(det) > 0.0)) break;  // degenerate element: keep the last point
    const double rx = x - px, ry = y - py;
    const double dXi = (ye * rx - xe * ry) / det;
    const double dEta = (-yx * rx + xx * ry) / det;
    // Clamped steps keep the iteration on the element for points outside it.
    xi = std::clamp(xi + dXi, -1.0, 1.0);
    eta = std::clamp(eta + dEta, -1.0, 1.0);
    if (std::abs(dXi) < 1e-13 && std::abs(dEta) < 1e-13) break;
  }
  double px = 0.0, py = 0.0;
  MapPoint(mesh_, e, xi, eta, px, py);
  p.xi = xi;
  p.eta = eta;
  p.distance = std::hypot(x - px, y - py);
  const Box& b = boxes_[e];
  const double scale = std::max(b.x1 - b.x0, b.y1 - b.y0);
  p.inside = p.distance <= 1e-9 * scale;  // relative tolerance on the element size
  return p;
}

PointLocation MeshLocator::Locate(double x, double y) const {
  const auto i = static_cast<std::int64_t>(std::floor((x - gx0_) / cell_));
  const auto j = static_cast<std::int64_t>(std::floor((y - gy0_) / cell_));
  PointLocation best;
  best.distance = std::numeric_limits<double>::max();
  if (i >= 0 && i < nx_ && j >= 0 && j < ny_) {
    for (std::uint32_t e : cells_[static_cast<std::size_t>(j * nx_ + i)]) {
      const Box& b = boxes_[e];
      if (x < b.x0 || x > b.x1 || y < b.y0 || y > b.y1) continue;
      const PointLocation p = Project(e, x, y);
      if (p.inside) return p;
      if (p.distance < best.distance) best = p;
    }
  }
  // Outside every element: the nearest one, visiting boxes by their distance.
  std::vector<std::pair<double, std::size_t>> order;
  order.reserve(boxes_.size());
  for (std::size_t e = 0; e < boxes_.size(); ++e) {
    const Box& b = boxes_[e];
    const double dx = std::max({b.x0 - x, 0.0, x - b.x1});
    const double dy = std::max({b.y0 - y, 0.0, y - b.y1});
    order.emplace_back(std::hypot(dx, dy), e);
  }
  std::sort(order.begin(), order.end());
  for (const auto& [boxDistance, e] : order) {
    if (boxDistance > best.distance) break;
    const PointLocation p = Project(e, x, y);
    if (p.distance < best.distance) best = p;
    if (best.inside) break;
  }
  return best;
}

}  // namespace vemto::tmfetch
