#include "ResultReader.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include <fmt/format.h>

#include "DataFileReader.h"
#include "Quad8.h"

namespace vemto::post {

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
// Elements exist from their casting time to their removal time, both with the
// engine's tolerance of 1e-6 s.
constexpr double kActivityTolerance = 1e-6;

constexpr FieldInfo kInfo[] = {
    {'T', true, 1, "Temperature", "C"},
    {'Q', true, 1, "Heat flow", "W/m"},
    {'M', false, 1, "Maturity", "h"},
    {'A', false, 1, "Degree of hydration", "%"},
    {'P', false, 1, "Pipe", ""},
    {'U', true, 2, "Displacement", "m"},
    {'F', true, 2, "Support force", "N/m"},
    {'S', false, 4, "Stress", "MPa"},
    {'R', false, 1, "Stress/strength ratio", ""},
    {'D', false, 1, "Tensile strength", "MPa"},
    {'C', false, 1, "Compressive strength", "MPa"},
};

}  // namespace

const FieldInfo& Info(Field field) {
  return kInfo[static_cast<int>(field)];
}

std::optional<Field> FieldFromLetter(char letter) {
  const char up = static_cast<char>(std::toupper(static_cast<unsigned char>(letter)));
  for (int i = 0; i < static_cast<int>(std::size(kInfo)); ++i)
    if (kInfo[i].letter == up) return static_cast<Field>(i);
  return std::nullopt;
}

void Principal(double sx, double sy, double txy, double& s1, double& s2) {
  const double c = 0.5 * (sx + sy);
  const double r = std::hypot(0.5 * (sx - sy), txy);
  s1 = c + r;
  s2 = c - r;
}

ResultReader::ResultReader(const std::string& fileName) : fileName_(fileName) {
  try {
    file_ = std::make_unique<numlib::DataFileReader>(fileName);
  } catch (const numlib::DataFileError& e) {
    throw ResultError(e.what());
  }
  numlib::DataFileReader& r = *file_;
  try {
    const auto coor = r.ReadReals("COOR");
    const auto top = r.ReadIntegers("ITOP");
    const auto lel = r.ReadIntegers("LEL");
    const auto pel = r.ReadReals("PEL");
    if (coor.rows != 2 || top.rows != 8 || top.columns < 1)
      throw ResultError(fileName + ": the mesh matrices COOR and ITOP have wrong sizes");
    if (lel.rows * lel.columns != top.columns)
      throw ResultError(fmt::format("{}: LEL holds {} materials for {} elements", fileName,
                                    lel.rows * lel.columns, top.columns));
    if (pel.rows != 16 || pel.columns < 1)
      throw ResultError(fileName + ": the material matrix PEL has a wrong size");
    for (std::int64_t n = 1; n <= coor.columns; ++n) {
      if (!std::isfinite(coor(1, n)) || !std::isfinite(coor(2, n)))
        throw ResultError(fmt::format("{}: node {} has no finite coordinates", fileName, n));
      mesh_.x.push_back(coor(1, n));
      mesh_.y.push_back(coor(2, n));
    }
    for (std::int64_t e = 1; e <= top.columns; ++e) {
      std::array<std::int32_t, 8> nodes{};
      for (int i = 0; i < 8; ++i) {
        const std::int32_t node = top(i + 1, e);
        if (node < 1 || node > coor.columns)
          throw ResultError(fmt::format("{}: element {} refers to node {}, but there are {} nodes",
                                        fileName, e, node, coor.columns));
        nodes[i] = node - 1;
      }
      mesh_.elements.push_back(nodes);
      const std::int32_t m = lel.values[static_cast<std::size_t>(e - 1)];
      if (m < 1 || m > pel.columns)
        throw ResultError(fmt::format("{}: element {} has material {}, but there are {}", fileName,
                                      e, m, pel.columns));
      material_.push_back(m - 1);
    }
    for (std::int64_t m = 1; m <= pel.columns; ++m) {
      castTime_.push_back(pel(2, m));
      removalTime_.push_back(pel(3, m));
      concrete_.push_back(std::lround(pel(1, m)) == 1 ? 1 : 0);
    }
    if (const auto* gii = r.Find("GII")) analysisType_ = r.ReadIntegers(*gii).values.at(0);
    if (const auto* text = r.Find("TEXT")) {
      for (const std::string& word : r.ReadTexts(*text).values) title_ += word;
      title_ = title_.substr(0, title_.find('\0'));
      while (!title_.empty() && title_.back() == ' ') title_.pop_back();
    }
    if (const auto* pwt = r.Find("PWT")) pipeCount_ = static_cast<int>(r.ReadReals(*pwt).columns);
    endedNormally_ = r.HasTime();
    if (endedNormally_) {
      const auto time = r.ReadReals("TIME").values;
      const auto events =
          std::min<std::int64_t>(r.EventCount(), static_cast<std::int64_t>(time.size()));
      seconds_.assign(time.begin(), time.begin() + events);
      for (double t : seconds_)
        if (!std::isfinite(t))
          throw ResultError(fileName +
                            ": the list of storage times holds a value that is not a number");
    }
  } catch (const numlib::DataFileError& e) {
    throw ResultError(e.what());
  }
  locator_ = std::make_unique<MeshLocator>(mesh_);
}

ResultReader::~ResultReader() = default;

std::optional<std::size_t> ResultReader::FindTime(double hours, double toleranceHours) const {
  if (seconds_.empty()) return std::nullopt;
  const std::size_t k = NearestTime(hours);
  if (std::fabs(Hours(k) - hours) <= toleranceHours) return k;
  return std::nullopt;
}

std::size_t ResultReader::NearestTime(double hours) const {
  std::size_t best = 0;
  for (std::size_t k = 1; k < seconds_.size(); ++k)
    if (std::fabs(Hours(k) - hours) < std::fabs(Hours(best) - hours)) best = k;
  return best;
}

bool ResultReader::Has(Field field, std::size_t k) const {
  return file_->Find(numlib::DataFileReader::EventName(
             Info(field).letter, static_cast<std::int64_t>(k) + 1)) != nullptr;
}

bool ResultReader::HasAny(Field field) const {
  for (std::size_t k = 0; k < seconds_.size(); ++k)
    if (Has(field, k)) return true;
  return false;
}

std::optional<std::vector<double>> ResultReader::Read(Field field, std::size_t k) const {
  const FieldInfo& info = Info(field);
  const std::string name =
      numlib::DataFileReader::EventName(info.letter, static_cast<std::int64_t>(k) + 1);
  const numlib::DataBlock* block = file_->Find(name);
  if (block == nullptr) return std::nullopt;
  std::vector<double> values;
  try {
    values = file_->ReadReals(*block).values;
  } catch (const numlib::DataFileError& e) {
    throw ResultError(e.what());
  }
  const std::size_t expected =
      field == Field::Pipe ? 153 * static_cast<std::size_t>(pipeCount_)
      : info.nodal         ? mesh_.x.size() * static_cast<std::size_t>(info.components)
                           : mesh_.elements.size() * 4 * static_cast<std::size_t>(info.components);
  if (values.size() != expected)
    throw ResultError(fmt::format("{}: {} holds {} values, {} expected for this mesh", fileName_,
                                  name, values.size(), expected));
  return values;
}

bool ResultReader::ElementActive(std::size_t e, double seconds) const {
  const auto m = static_cast<std::size_t>(material_.at(e));
  return castTime_[m] + kActivityTolerance <= seconds &&
         seconds <= removalTime_[m] + kActivityTolerance;
}

std::vector<char> ResultReader::ActiveElements(std::size_t k) const {
  std::vector<char> active(mesh_.elements.size());
  for (std::size_t e = 0; e < active.size(); ++e) active[e] = ElementActive(e, Seconds(k)) ? 1 : 0;
  return active;
}

std::vector<char> ResultReader::ActiveNodes(const std::vector<char>& activeElements) const {
  std::vector<char> nodes(mesh_.x.size(), 0);
  for (std::size_t e = 0; e < activeElements.size(); ++e)
    if (activeElements[e])
      for (std::int32_t n : mesh_.elements[e]) nodes[static_cast<std::size_t>(n)] = 1;
  return nodes;
}

std::vector<std::pair<std::size_t, int>> ResultReader::Outline(
    const std::vector<char>& activeElements) const {
  const std::lock_guard lock(outlineMutex_);
  if (!outline_.empty() && activeElements == outlineActive_) return outline_;
  struct Side {
    std::uint64_t key;  // the two corner nodes, smaller first
    std::uint32_t element;
    int side;
  };
  std::vector<Side> sides;
  sides.reserve(4 * mesh_.elements.size());
  for (std::size_t e = 0; e < mesh_.elements.size() && e < activeElements.size(); ++e) {
    if (!activeElements[e]) continue;
    for (int side = 0; side < 4; ++side) {
      const auto a = static_cast<std::uint32_t>(mesh_.elements[e][2 * side]);
      const auto b = static_cast<std::uint32_t>(mesh_.elements[e][(2 * side + 2) % 8]);
      sides.push_back({(std::uint64_t{std::min(a, b)} << 32) | std::max(a, b),
                       static_cast<std::uint32_t>(e), side});
    }
  }
  std::sort(sides.begin(), sides.end(), [](const Side& x, const Side& y) { return x.key < y.key; });
  outline_.clear();
  for (std::size_t i = 0; i < sides.size();) {
    std::size_t j = i + 1;
    while (j < sides.size() && sides[j].key == sides[i].key) ++j;
    if (j == i + 1) outline_.emplace_back(sides[i].element, sides[i].side);
    i = j;
  }
  outlineActive_ = activeElements;
  return outline_;
}

bool ResultReader::IsConcrete(std::size_t e) const {
  return concrete_[static_cast<std::size_t>(material_.at(e))] != 0;
}

double ResultReader::Component(Field field, const std::vector<double>& v, int c, std::size_t e,
                               int g, std::size_t node, bool atNode) const {
  const int per = Info(field).components;
  if (atNode) return v[node * static_cast<std::size_t>(per) + static_cast<std::size_t>(c)];
  const std::size_t base = (e * 4 + static_cast<std::size_t>(g)) * static_cast<std::size_t>(per);
  if (field != Field::Stress || c < kS1) return v[base + static_cast<std::size_t>(c)];
  double s1 = 0.0, s2 = 0.0;
  Principal(v[base], v[base + 1], v[base + 2], s1, s2);
  return c == kS1 ? s1 : s2;
}

double ResultReader::GaussValue(Field field, const std::vector<double>& values, int component,
                                std::size_t e, int g) const {
  return Component(field, values, component, e, g, 0, false);
}

double ResultReader::ValueIn(Field field, const std::vector<double>& values, int component,
                             std::size_t e, double xi, double eta) const {
  if (Info(field).nodal) {
    const std::array<double, 8> n = numlib::Quad8Values(xi, eta);
    double sum = 0.0;
    for (int i = 0; i < 8; ++i)
      sum += n[i] * Component(field, values, component, e, 0,
                              static_cast<std::size_t>(mesh_.elements[e][i]), true);
    return sum;
  }
  // Gauss points 1 (−a,−a), 2 (a,−a), 3 (−a,a), 4 (a,a): bilinear in (ξ/a, η/a). The
  // principal stresses are taken from the interpolated components.
  const double s = xi / kGauss, r = eta / kGauss;
  const double w[4] = {0.25 * (1 - s) * (1 - r), 0.25 * (1 + s) * (1 - r), 0.25 * (1 - s) * (1 + r),
                       0.25 * (1 + s) * (1 + r)};
  auto at = [&](int c) {
    double sum = 0.0;
    for (int g = 0; g < 4; ++g) sum += w[g] * Component(field, values, c, e, g, 0, false);
    return sum;
  };
  if (field == Field::Stress && component >= kS1) {
    double s1 = 0.0, s2 = 0.0;
    Principal(at(kSx), at(kSy), at(kTxy), s1, s2);
    return component == kS1 ? s1 : s2;
  }
  return at(component);
}

PointLocation ResultReader::Locate(double x, double y) const {
  return locator_->Locate(x, y);
}

Series ResultReader::History(Field field, int component, Reduce reduce, double x1, double y1,
                             double x2, double y2, bool nearest) const {
  Series s;
  s.seconds = seconds_;
  s.values.assign(seconds_.size(), kNaN);
  const bool nodal = Info(field).nodal;
  const bool concentrated = field == Field::HeatFlow || field == Field::SupportForce;
  if (reduce == Reduce::Point) {
    const PointLocation at = Locate(x1, y1);
    if (!at.inside && !nearest) {
      std::size_t node = 0;
      double best = std::numeric_limits<double>::max();
      for (std::int32_t n : mesh_.elements[at.element]) {
        const double d = std::hypot(mesh_.x[n] - x1, mesh_.y[n] - y1);
        if (d < best) best = d, node = static_cast<std::size_t>(n);
      }
      throw OutsideError(
          fmt::format("the point ({:.6g}, {:.6g}) m lies {:.4g} m outside the section; the "
                      "nearest node is {} at ({:.6g}, {:.6g}) m, {:.4g} m away",
                      x1, y1, at.distance, node + 1, mesh_.x[node], mesh_.y[node], best),
          at.distance);
    }
    double px = 0.0, py = 0.0;
    MapPoint(mesh_, at.element, at.xi, at.eta, px, py);
    // Heat flows and support forces belong to nodes: the element's node nearest to the point.
    std::size_t node = 0;
    if (concentrated) {
      double best = std::numeric_limits<double>::max();
      for (std::int32_t n : mesh_.elements[at.element]) {
        const double d = std::hypot(mesh_.x[n] - px, mesh_.y[n] - py);
        if (d < best) best = d, node = static_cast<std::size_t>(n);
      }
      s.where = fmt::format("node {} ({:.6g}, {:.6g}) m", node + 1, mesh_.x[node], mesh_.y[node]);
    } else {
      s.where = fmt::format("({:.6g}, {:.6g}) m in element {}", px, py, at.element + 1);
    }
    for (std::size_t k = 0; k < seconds_.size(); ++k) {
      if (!ElementActive(at.element, seconds_[k])) continue;
      const auto v = Read(field, k);
      if (!v) continue;
      s.values[k] = concentrated ? Component(field, *v, component, 0, 0, node, true)
                                 : ValueIn(field, *v, component, at.element, at.xi, at.eta);
    }
    return s;
  }
  const double xa = std::min(x1, x2), xb = std::max(x1, x2);
  const double ya = std::min(y1, y2), yb = std::max(y1, y2);
  s.where = fmt::format("rectangle ({:.6g}, {:.6g}) – ({:.6g}, {:.6g}) m", xa, ya, xb, yb);
  auto inside = [&](double x, double y) { return x >= xa && x <= xb && y >= ya && y <= yb; };
  if (reduce == Reduce::Sum || (concentrated && reduce != Reduce::Point)) {
    for (std::size_t k = 0; k < seconds_.size(); ++k) {
      const auto v = Read(field, k);
      if (!v) continue;
      const auto nodes = ActiveNodes(ActiveElements(k));
      double sum = 0.0;
      for (std::size_t n = 0; n < mesh_.x.size(); ++n)
        if (nodes[n] && inside(mesh_.x[n], mesh_.y[n]))
          sum += Component(field, *v, component, 0, 0, n, true);
      s.values[k] = sum;
    }
    return s;
  }
  // Means: the midpoint rule on a grid of 32 × 32 cells over the rectangle (exact for
  // fields linear in x and y). Extremes: the samples and the stored points inside.
  constexpr int kCells = 32;
  std::vector<PointLocation> samples;
  for (int j = 0; j < kCells; ++j)
    for (int i = 0; i < kCells; ++i) {
      const PointLocation p =
          Locate(xa + (i + 0.5) * (xb - xa) / kCells, ya + (j + 0.5) * (yb - ya) / kCells);
      if (p.inside) samples.push_back(p);
    }
  struct Stored {
    std::size_t element;
    int g;  // Gauss point, or −1 for a node
    std::size_t node;
  };
  std::vector<Stored> stored;
  for (std::size_t e = 0; e < mesh_.elements.size(); ++e) {
    if (nodal) {
      for (std::int32_t n : mesh_.elements[e])
        if (inside(mesh_.x[n], mesh_.y[n])) stored.push_back({e, -1, static_cast<std::size_t>(n)});
    } else {
      for (int g = 0; g < 4; ++g) {
        double x = 0.0, y = 0.0;
        MapPoint(mesh_, e, g % 2 ? kGauss : -kGauss, g / 2 ? kGauss : -kGauss, x, y);
        if (inside(x, y)) stored.push_back({e, g, 0});
      }
    }
  }
  for (std::size_t k = 0; k < seconds_.size(); ++k) {
    const auto v = Read(field, k);
    if (!v) continue;
    const auto active = ActiveElements(k);
    double sum = 0.0, low = std::numeric_limits<double>::infinity(), high = -low;
    std::size_t count = 0;
    for (const PointLocation& p : samples) {
      if (!active[p.element]) continue;
      const double value = ValueIn(field, *v, component, p.element, p.xi, p.eta);
      sum += value;
      ++count;
      low = std::min(low, value);
      high = std::max(high, value);
    }
    for (const Stored& p : stored) {
      if (!active[p.element]) continue;
      const double value = p.g < 0 ? Component(field, *v, component, 0, 0, p.node, true)
                                   : GaussValue(field, *v, component, p.element, p.g);
      low = std::min(low, value);
      high = std::max(high, value);
      ++count;
    }
    if (count == 0) continue;
    if (reduce == Reduce::Mean) {
      std::size_t n = 0;
      for (const PointLocation& p : samples) n += active[p.element] ? 1 : 0;
      s.values[k] = n > 0 ? sum / static_cast<double>(n) : kNaN;
    } else {
      s.values[k] = reduce == Reduce::Max ? high : low;
    }
  }
  return s;
}

Series ResultReader::PipeHistory(int pipe, int row) const {
  if (pipe < 1 || pipe > pipeCount_)
    throw ResultError(fmt::format("{}: pipe {} does not exist; the model has {} pipe{}", fileName_,
                                  pipe, pipeCount_, pipeCount_ == 1 ? "" : "s"));
  if (row < 1 || row > 3)
    throw ResultError(fmt::format("pipe result {} is not one of 1, 2, 3", row));
  Series s;
  s.seconds = seconds_;
  s.values.assign(seconds_.size(), kNaN);
  s.where = fmt::format("pipe {}", pipe);
  for (std::size_t k = 0; k < seconds_.size(); ++k)
    if (const auto v = Read(Field::Pipe, k))
      s.values[k] =
          (*v)[static_cast<std::size_t>(pipe - 1) * 153 + static_cast<std::size_t>(row - 1)];
  return s;
}

}  // namespace vemto::post
