// The result reader and the diagrams: a written database with a linear field (rectangle
// means, points outside, elements not yet cast, the colours of a picture) and the
// engine's own results of the wall-on-slab example (nodes, Gauss points, activity).
#include <gtest/gtest.h>
#include <unistd.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "DataFileSet.h"
#include "Diagram.h"
#include "ResultReader.h"
#include "WorkStorage.h"

namespace fs = std::filesystem;
using namespace vemto::post;

namespace {

/// Compares two values to an absolute tolerance scaled by the larger magnitude.
void ExpectClose(double a, double b, double tolerance) {
  EXPECT_LE(std::fabs(a - b), tolerance * std::max({1.0, std::fabs(a), std::fabs(b)}))
      << a << " vs " << b;
}

fs::path Scratch() {
  static const fs::path folder = [] {
    fs::path f = fs::temp_directory_path() / ("vemto_post_" + std::to_string(::getpid()));
    fs::create_directories(f);
    return f;
  }();
  return folder;
}

/// A database of nx × 1 elements over [0, 2] × [0, 1] with nodal temperatures
/// T = 3x + 2y + 1 at two stored times (1 h and 2 h); the last element is cast at 1.5 h.
std::string LinearDatabase(int nx = 4) {
  const std::string file = (Scratch() / "linear.out").string();
  std::vector<double> x, y;
  std::vector<int> id((2 * nx + 1) * 3, -1);
  for (int j = 0; j < 3; ++j)
    for (int i = 0; i <= 2 * nx; ++i) {
      if (i % 2 == 1 && j == 1) continue;
      id[j * (2 * nx + 1) + i] = static_cast<int>(x.size());
      x.push_back(2.0 * i / (2 * nx));
      y.push_back(0.5 * j);
    }
  auto at = [&](int i, int j) { return id[j * (2 * nx + 1) + i] + 1; };
  numlib::WorkStorage w(200000);
  const auto nn = static_cast<std::int32_t>(x.size());
  w.DefineMatrix("COOR", 2, nn, numlib::MatrixType::Real);
  w.DefineMatrix("ITOP", 8, nx, numlib::MatrixType::Integer);
  w.DefineMatrix("LEL", nx, 1, numlib::MatrixType::Integer);
  w.DefineMatrix("PEL", 16, 2, numlib::MatrixType::Real);
  w.DefineMatrix("T", nn, 1, numlib::MatrixType::Real);
  w.DefineMatrix("TIME", 2, 1, numlib::MatrixType::Real);
  auto coor = w.Reals("COOR");
  for (std::int32_t n = 0; n < nn; ++n) coor(1, n + 1) = x[n], coor(2, n + 1) = y[n];
  auto top = w.Integers("ITOP");
  auto lel = w.Integers("LEL");
  for (int e = 0; e < nx; ++e) {
    const int i = 2 * e;
    const int nodes[8] = {at(i, 0),     at(i + 1, 0), at(i + 2, 0), at(i + 2, 1),
                          at(i + 2, 2), at(i + 1, 2), at(i, 2),     at(i, 1)};
    for (int k = 0; k < 8; ++k) top(k + 1, e + 1) = nodes[k];
    lel(e + 1) = e == nx - 1 ? 2 : 1;
  }
  auto pel = w.Reals("PEL");
  pel(1, 1) = 1.0, pel(2, 1) = 0.0, pel(3, 1) = 1e50;     // cast at 0
  pel(1, 2) = 1.0, pel(2, 2) = 5400.0, pel(3, 2) = 1e50;  // cast at 1.5 h
  numlib::DataFileSet files;
  files.OpenDataFile(7, file);
  for (const char* name : {"COOR", "ITOP", "LEL", "PEL"})
    files.WriteMatrixToDataFile(name, name, w, 7);
  for (int k = 1; k <= 2; ++k) {
    auto t = w.Reals("T");
    for (std::int32_t n = 0; n < nn; ++n) t(n + 1) = 3.0 * x[n] + 2.0 * y[n] + 1.0;
    files.WriteMatrixToDataFile("T", "T000000" + std::to_string(k), w, 7);
    w.Reals("TIME")(k) = 3600.0 * k;
  }
  files.WriteMatrixToDataFile("TIME", "TIME", w, 7);
  files.CloseDataFile(7);
  return file;
}

/// The fills of a drawing, to find the colour of a pixel (the last fill covering it).
struct Recorder {
  struct Polygon {
    std::vector<double> xy;
    std::uint32_t rgb;
  };
  std::vector<Polygon> fills;
  VemtoPostDrawing dc{this,
                      [](void* c, const double* xy, int32_t n, uint32_t rgb) {
                        static_cast<Recorder*>(c)->fills.push_back({{xy, xy + 2 * n}, rgb});
                      },
                      nullptr, nullptr};
  std::uint32_t At(double px, double py) const {
    std::uint32_t colour = 0xFFFFFFFF;
    for (const Polygon& p : fills) {
      bool inside = false;  // even-odd rule
      const std::size_t n = p.xy.size() / 2;
      for (std::size_t i = 0, j = n - 1; i < n; j = i++) {
        const double xi = p.xy[2 * i], yi = p.xy[2 * i + 1], xj = p.xy[2 * j], yj = p.xy[2 * j + 1];
        if ((yi > py) != (yj > py) && px < (xj - xi) * (py - yi) / (yj - yi) + xi) inside = !inside;
      }
      if (inside) colour = p.rgb;
    }
    return colour;
  }
};

}  // namespace

TEST(ResultReader, RectangleMeanOfALinearFieldIsItsCentreValue) {
  const ResultReader r(LinearDatabase());
  ASSERT_EQ(r.StoredCount(), 2u);
  const Series mean = r.History(Field::Temperature, 0, Reduce::Mean, 0.2, 0.1, 1.3, 0.8);
  for (double v : mean.values) ExpectClose(v, 3.0 * 0.75 + 2.0 * 0.45 + 1.0, 1e-12);
  const Series point = r.History(Field::Temperature, 0, Reduce::Point, 0.7, 0.3, 0, 0);
  for (double v : point.values) ExpectClose(v, 3.0 * 0.7 + 2.0 * 0.3 + 1.0, 1e-12);
}

TEST(ResultReader, ElementsNotYetCastHaveNoValues) {
  const ResultReader r(LinearDatabase());
  EXPECT_FALSE(r.ElementActive(3, r.Seconds(0)));
  EXPECT_TRUE(r.ElementActive(3, r.Seconds(1)));
  const Series s = r.History(Field::Temperature, 0, Reduce::Point, 1.9, 0.5, 0, 0);
  EXPECT_TRUE(std::isnan(s.values[0]));
  ExpectClose(s.values[1], 3.0 * 1.9 + 2.0 * 0.5 + 1.0, 1e-12);
  // The maximum over a rectangle over both takes only what exists at each time.
  const Series high = r.History(Field::Temperature, 0, Reduce::Max, 1.0, 0.0, 2.0, 1.0);
  ExpectClose(high.values[0], 3.0 * 1.5 + 2.0 + 1.0, 1e-12);
  ExpectClose(high.values[1], 3.0 * 2.0 + 2.0 + 1.0, 1e-12);
  // The outline follows the elements in existence (kept from one call to the next).
  for (const std::size_t k : {0, 1, 0})
    EXPECT_EQ(r.Outline(r.ActiveElements(k)).size(), k == 0 ? 8u : 10u) << k;
}

TEST(ResultReader, APointOutsideTheSectionIsAnErrorWithItsDistance) {
  const ResultReader r(LinearDatabase());
  try {
    r.History(Field::Temperature, 0, Reduce::Point, 3.0, 0.5, 0, 0);
    ADD_FAILURE() << "no error";
  } catch (const OutsideError& e) {
    ExpectClose(e.Distance(), 1.0, 1e-9);
    EXPECT_NE(std::string(e.what()).find("outside the section"), std::string::npos);
  }
  const Series s = r.History(Field::Temperature, 0, Reduce::Point, 3.0, 0.5, 0, 0, true);
  ExpectClose(s.values[1], 3.0 * 2.0 + 2.0 * 0.5 + 1.0, 1e-12);
}

TEST(Diagram, ALinearFieldHasTheBandColourAtKnownPixels) {
  const ResultReader r(LinearDatabase());
  Recorder rec;
  const Surface s{&rec.dc, 800, 500, 0};
  Distribution d;
  d.hours = 2.0;
  d.lower = 1.0;  // T from 1 to 11 in ten bands of 1 °C
  d.upper = 11.0;
  DrawDistribution(r, s, d);
  const View v = SectionView(r, s);
  // T = 3x + 2y + 1 at y = 0.5: band floor(3x + 1).
  for (const auto& [x, band] : {std::pair{0.1, 1}, std::pair{1.05, 4}, std::pair{1.95, 6}})
    EXPECT_EQ(rec.At(v.X(x), v.Y(0.5)), PaletteColour(0, 3 + band)) << "x = " << x;
  EXPECT_EQ(rec.At(v.X(2.5), v.Y(0.5)), 0xFFFFFFu);  // outside the section: background
  rec.fills.clear();
  const Surface grey{&rec.dc, 800, 500, 1};
  DrawDistribution(r, grey, d);
  EXPECT_EQ(rec.At(v.X(0.1), v.Y(0.5)), PaletteColour(1, 4));
}

/// The engine's own results of the wall-on-slab example.
class EngineResults : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    fs::copy_file(fs::path(VEMTO_SOURCE_DIR) / "examples" / "wall_on_slab.v3",
                  Scratch() / "wall.v3", fs::copy_options::overwrite_existing);
    const std::string run = std::string(VEMTO_BIN_DIR) + "/vemto-cli run -q " +
                            (Scratch() / "wall.v3").string() + " >/dev/null 2>&1";
    status_ = std::system(run.c_str());
  }
  void SetUp() override { ASSERT_EQ(status_, 0); }
  static inline int status_ = -1;
};

TEST_F(EngineResults, NodesGaussPointsAndRemovedFormwork) {
  const ResultReader r((Scratch() / "wall.out").string());
  ASSERT_GT(r.StoredCount(), 4u);
  const QuadMesh& mesh = r.Mesh();
  // The history at a node's own position is that node's stored temperatures.
  const std::size_t e = mesh.elements.size() / 2;
  const auto node = static_cast<std::size_t>(mesh.elements[e][4]);
  const Series s =
      r.History(Field::Temperature, 0, Reduce::Point, mesh.x[node], mesh.y[node], 0, 0);
  for (std::size_t k = 0; k < r.StoredCount(); ++k)
    if (!std::isnan(s.values[k]))
      ExpectClose(s.values[k], (*r.Read(Field::Temperature, k))[node], 1e-9);
  // At a Gauss point the interpolation is the element's own value.
  const auto m = *r.Read(Field::Maturity, 2);
  const auto sig = *r.Read(Field::Stress, 2);
  for (std::size_t el = 0; el < mesh.elements.size(); ++el)
    for (int g = 0; g < 4; ++g) {
      const double xi = g % 2 ? kGauss : -kGauss, eta = g / 2 ? kGauss : -kGauss;
      ExpectClose(r.ValueIn(Field::Maturity, m, 0, el, xi, eta), m[el * 4 + g], 1e-12);
      ExpectClose(r.ValueIn(Field::Stress, sig, kS1, el, xi, eta),
                  r.GaussValue(Field::Stress, sig, kS1, el, g), 1e-12);
    }
  // The formwork (removed at 72 h) exists before and not after.
  std::size_t before = 0, after = 0;
  for (std::size_t k = 0; k < r.StoredCount(); ++k) {
    const auto active = r.ActiveElements(k);
    const auto count = static_cast<std::size_t>(std::count(active.begin(), active.end(), 1));
    (r.Hours(k) <= 72.0 ? before : after) = count;
  }
  EXPECT_GT(before, after);
}
