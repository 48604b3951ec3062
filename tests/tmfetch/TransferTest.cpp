// Locating points in eight-node meshes and the element means written for the engine.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

#include "DataFileSet.h"
#include "QuadMesh.h"
#include "Transfer.h"
#include "WorkStorage.h"

namespace fs = std::filesystem;
using namespace vemto::tmfetch;

namespace {

/// A structured mesh of nx × ny eight-node elements over [x0, x1] × [y0, y1], with
/// every node moved by `warp` (shared nodes stay shared, so the mesh stays conforming).
QuadMesh Grid(int nx, int ny, double x0, double x1, double y0, double y1,
              const std::function<void(double&, double&)>& warp = nullptr) {
  QuadMesh mesh;
  const int cols = 2 * nx + 1, rows = 2 * ny + 1;
  std::vector<int> id(static_cast<std::size_t>(cols * rows), -1);
  for (int j = 0; j < rows; ++j)
    for (int i = 0; i < cols; ++i) {
      if (i % 2 == 1 && j % 2 == 1) continue;  // no centre nodes
      double x = x0 + (x1 - x0) * i / (cols - 1), y = y0 + (y1 - y0) * j / (rows - 1);
      if (warp) warp(x, y);
      id[static_cast<std::size_t>(j * cols + i)] = static_cast<int>(mesh.x.size());
      mesh.x.push_back(x);
      mesh.y.push_back(y);
    }
  auto at = [&](int i, int j) { return id[static_cast<std::size_t>(j * cols + i)]; };
  for (int ey = 0; ey < ny; ++ey)
    for (int ex = 0; ex < nx; ++ex) {
      const int i = 2 * ex, j = 2 * ey;
      mesh.elements.push_back({at(i, j), at(i + 1, j), at(i + 2, j), at(i + 2, j + 1),
                               at(i + 2, j + 2), at(i + 1, j + 2), at(i, j + 2), at(i, j + 1)});
    }
  return mesh;
}

void Curve(double& x, double& y) {
  const double dx = 0.05 * std::sin(3.0 * y), dy = 0.04 * std::sin(2.0 * x);
  x += dx;
  y += dy;
}

}  // namespace

TEST(MeshLocator, InverseMappingOfCurvedElementsRecoversLocalPoints) {
  const QuadMesh mesh = Grid(4, 3, 0.0, 2.0, 0.0, 1.5, Curve);
  const MeshLocator locator(mesh);
  for (std::size_t e = 0; e < mesh.elements.size(); ++e)
    for (double xi : {-0.9, -0.2, 0.55})
      for (double eta : {-0.6, 0.1, 0.95}) {
        double x = 0.0, y = 0.0;
        MapPoint(mesh, e, xi, eta, x, y);
        const PointLocation p = locator.Locate(x, y);
        ASSERT_TRUE(p.inside);
        EXPECT_EQ(p.element, e);
        EXPECT_NEAR(p.xi, xi, 1e-10);
        EXPECT_NEAR(p.eta, eta, 1e-10);
      }
}

TEST(MeshLocator, PointsOutsideGoToTheNearestElement) {
  const QuadMesh mesh = Grid(2, 2, 0.0, 2.0, 0.0, 2.0);
  const MeshLocator locator(mesh);
  PointLocation p = locator.Locate(2.5, 0.5);  // right of element 2 (index 1)
  EXPECT_FALSE(p.inside);
  EXPECT_EQ(p.element, 1u);
  EXPECT_NEAR(p.xi, 1.0, 1e-12);
  EXPECT_NEAR(p.eta, 0.0, 1e-10);
  EXPECT_NEAR(p.distance, 0.5, 1e-10);
  p = locator.Locate(-1.0, 3.0);  // beyond the top-left corner
  EXPECT_EQ(p.element, 2u);
  EXPECT_NEAR(p.xi, -1.0, 1e-12);
  EXPECT_NEAR(p.eta, 1.0, 1e-12);
  EXPECT_NEAR(p.distance, std::sqrt(2.0), 1e-10);
}

namespace {

/// Source results on `mesh` with nodal temperature f(x, y) and Gauss-point maturity
/// g(x, y) at each stored time (scaled by the time index + 1).
SourceResults Source(const QuadMesh& mesh, int times,
                     const std::function<double(double, double)>& f,
                     const std::function<double(double, double)>& g) {
  SourceResults s;
  s.mesh = mesh;
  const double gp[4][2] = {
      {-kGauss, -kGauss}, {kGauss, -kGauss}, {-kGauss, kGauss}, {kGauss, kGauss}};
  for (int k = 0; k < times; ++k) {
    s.times.push_back(3600.0 * (k + 1));
    std::vector<double> t, m;
    for (std::size_t n = 0; n < mesh.x.size(); ++n) t.push_back((k + 1) * f(mesh.x[n], mesh.y[n]));
    for (std::size_t e = 0; e < mesh.elements.size(); ++e)
      for (auto& p : gp) {
        double x = 0.0, y = 0.0;
        MapPoint(mesh, e, p[0], p[1], x, y);
        m.push_back((k + 1) * g(x, y));
      }
    s.T.push_back(t);
    s.M.push_back(m);
  }
  return s;
}

/// The det J weighted Gauss mean of f over element e of mesh.
double GaussMean(const QuadMesh& mesh, std::size_t e,
                 const std::function<double(double, double)>& f) {
  const double gp[4][2] = {
      {-kGauss, -kGauss}, {kGauss, -kGauss}, {-kGauss, kGauss}, {kGauss, kGauss}};
  double sum = 0.0, weights = 0.0;
  for (auto& p : gp) {
    double x = 0.0, y = 0.0;
    MapPoint(mesh, e, p[0], p[1], x, y);
    const double w = JacobianDeterminant(mesh, e, p[0], p[1]);
    sum += w * f(x, y);
    weights += w;
  }
  return sum / weights;
}

}  // namespace

TEST(ElementMeans, LinearTemperatureIsCarriedExactlyBetweenDifferentMeshes) {
  auto temperature = [](double x, double y) { return 10.0 + 2.0 * x + 3.0 * y; };
  auto constant = [](double, double) { return 500.0; };
  const SourceResults source =
      Source(Grid(5, 4, 0.0, 2.0, 0.0, 1.6, Curve), 2, temperature, constant);
  const QuadMesh target = Grid(3, 3, 0.2, 1.8, 0.2, 1.4);
  const auto means = ElementMeans(source, target);
  ASSERT_EQ(means.size(), 2u);
  for (std::size_t e = 0; e < target.elements.size(); ++e) {
    EXPECT_NEAR(means[0][2 * e], GaussMean(target, e, temperature), 1e-9) << e;
    EXPECT_NEAR(means[1][2 * e], 2.0 * GaussMean(target, e, temperature), 1e-9) << e;
    EXPECT_NEAR(means[0][2 * e + 1], 500.0, 1e-9) << e;
    EXPECT_NEAR(means[1][2 * e + 1], 1000.0, 1e-9) << e;
  }
}

TEST(ElementMeans, CoincidingMeshesReproduceTheGaussPointMaturity) {
  auto maturity = [](double x, double y) { return 100.0 + 5.0 * x * x + y; };
  const QuadMesh mesh = Grid(3, 2, 0.0, 3.0, 0.0, 1.0, Curve);
  const SourceResults source = Source(
      mesh, 1, [](double, double) { return 0.0; }, maturity);
  const auto means = ElementMeans(source, mesh);
  for (std::size_t e = 0; e < mesh.elements.size(); ++e)
    EXPECT_NEAR(means[0][2 * e + 1], GaussMean(mesh, e, maturity), 1e-9) << e;
}

TEST(ElementMeans, MaturityIsNeverExtrapolatedBeyondItsGaussValues) {
  auto maturity = [](double x, double) { return 100.0 + 50.0 * x; };
  const SourceResults source = Source(
      Grid(1, 1, 0.0, 1.0, 0.0, 1.0), 1, [](double, double) { return 0.0; }, maturity);
  PointLocation corner;
  corner.element = 0;
  corner.xi = -1.0;
  corner.eta = -1.0;
  double t = 0.0, m = 0.0;
  ValuesAt(source, 0, corner, t, m);
  const double lowest = maturity(0.5 - 0.5 * kGauss, 0.0);
  EXPECT_NEAR(m, lowest, 1e-12);  // the linear extension would give 100
}

namespace {

class Files : public ::testing::Test {
 protected:
  void SetUp() override {
    folder_ = fs::temp_directory_path() /
              ("vemto_tmfetch_" + std::to_string(::getpid()) + "_" +
               ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(folder_);
    fs::create_directories(folder_);
  }
  void TearDown() override { fs::remove_all(folder_); }

  /// Writes a result database of `s` (COOR, ITOP, events T and M, TIME when asked).
  std::string WriteResults(const SourceResults& s, bool withTime = true) {
    const std::string file = (folder_ / "other.out").string();
    const auto nNodes = static_cast<std::int32_t>(s.mesh.x.size());
    const auto nEl = static_cast<std::int32_t>(s.mesh.elements.size());
    numlib::WorkStorage w(1000000);
    w.DefineMatrix("COOR", 2, nNodes, numlib::MatrixType::Real);
    w.DefineMatrix("ITOP", 8, nEl, numlib::MatrixType::Integer);
    w.DefineMatrix("T", nNodes, 1, numlib::MatrixType::Real);
    w.DefineMatrix("RM", 4, nEl, numlib::MatrixType::Real);
    w.DefineMatrix("TIME", static_cast<std::int32_t>(s.times.size()), 1, numlib::MatrixType::Real);
    auto coor = w.Reals("COOR");
    for (std::int32_t n = 0; n < nNodes; ++n) {
      coor(1, n + 1) = s.mesh.x[n];
      coor(2, n + 1) = s.mesh.y[n];
    }
    auto itop = w.Integers("ITOP");
    for (std::int32_t e = 0; e < nEl; ++e)
      for (int i = 0; i < 8; ++i) itop(i + 1, e + 1) = s.mesh.elements[e][i] + 1;
    numlib::DataFileSet files;
    files.OpenDataFile(7, file);
    files.WriteMatrixToDataFile("COOR", "COOR", w, 7);
    files.WriteMatrixToDataFile("ITOP", "ITOP", w, 7);
    for (std::size_t k = 0; k < s.times.size(); ++k) {
      auto t = w.Reals("T");
      for (std::int32_t n = 0; n < nNodes; ++n) t(n + 1) = s.T[k][n];
      auto m = w.Reals("RM");
      for (std::int32_t i = 0; i < 4 * nEl; ++i) m(i + 1) = s.M[k][i];
      const std::string digits = std::to_string(10000000 + k + 1).substr(1);
      files.WriteMatrixToDataFile("T", "T" + digits, w, 7);
      files.WriteMatrixToDataFile("RM", "M" + digits, w, 7);
      w.Reals("TIME")(static_cast<std::int64_t>(k + 1)) = s.times[k];
    }
    if (withTime) files.WriteMatrixToDataFile("TIME", "TIME", w, 7);
    files.CloseDataFile(7);
    return file;
  }

  /// Writes an analysis data file with the nodes and elements of `mesh`.
  std::string WriteData(const QuadMesh& mesh, int badNode = 0) {
    const std::string file = (folder_ / "model.dat").string();
    std::ofstream out(file);
    out << "TEST MODEL\n";
    out << "1 84 " << mesh.x.size() << " " << mesh.elements.size() << " 1 2\n";
    out << "0.0 7200.0 86400.0 1.0\n";
    out << "0 0 0 0 0 0 0 0 0 0 0 0 0 0 0\n0 0 0 0 0 0 0 0 0 0\n";
    for (std::size_t n = 0; n < mesh.x.size(); ++n) out << mesh.x[n] << " " << mesh.y[n] << "\n";
    for (std::size_t e = 0; e < mesh.elements.size(); ++e) {
      for (int i = 0; i < 8; ++i)
        out << (e == 0 && i == 0 && badNode != 0 ? badNode : mesh.elements[e][i] + 1) << " ";
      out << "1 0 0 0\n";
    }
    return file;
  }

  fs::path folder_;
};

std::vector<std::vector<double>> ReadBlocks(const std::string& file, std::size_t nEl) {
  std::ifstream in(file);
  std::vector<std::vector<double>> blocks;
  std::string line;
  while (std::getline(in, line)) {
    std::vector<double> block{std::stod(line)};
    for (std::size_t e = 0; e < nEl && std::getline(in, line); ++e) {
      std::istringstream values(line);
      double t = 0.0, m = 0.0;
      values >> t >> m;
      block.push_back(t);
      block.push_back(m);
    }
    blocks.push_back(block);
  }
  return blocks;
}

}  // namespace

TEST_F(Files, WritesOneBlockPerStoredTimeWithOneLinePerElement) {
  auto temperature = [](double x, double y) { return 20.0 + x - y; };
  auto maturity = [](double, double) { return 3600.0; };
  const SourceResults source = Source(Grid(4, 2, 0.0, 4.0, 0.0, 2.0), 3, temperature, maturity);
  const QuadMesh target = Grid(2, 1, 0.0, 4.0, 0.0, 2.0);
  const std::string dtm = (folder_ / "model.dtm").string();
  ReadMean(WriteResults(source), WriteData(target), dtm);

  std::ifstream in(dtm);
  std::string first;
  std::getline(in, first);
  EXPECT_EQ(first, "3600");  // the time in seconds, shortest form
  const auto blocks = ReadBlocks(dtm, 2);
  ASSERT_EQ(blocks.size(), 3u);
  for (std::size_t k = 0; k < 3; ++k) {
    ASSERT_EQ(blocks[k].size(), 5u);
    EXPECT_DOUBLE_EQ(blocks[k][0], 3600.0 * (k + 1));
    for (std::size_t e = 0; e < 2; ++e) {
      EXPECT_NEAR(blocks[k][1 + 2 * e], (k + 1) * GaussMean(target, e, temperature), 1e-9);
      EXPECT_NEAR(blocks[k][2 + 2 * e], (k + 1) * 3600.0, 1e-9);
    }
  }
  EXPECT_FALSE(fs::exists(dtm + ".tmp"));
}

TEST_F(Files, DamagedInputFailsWithTheFileNameAndKeepsTheOldFile) {
  auto one = [](double, double) { return 1.0; };
  const SourceResults source = Source(Grid(2, 2, 0.0, 1.0, 0.0, 1.0), 2, one, one);
  const std::string out = WriteResults(source);
  const std::string dat = WriteData(source.mesh);
  const std::string dtm = (folder_ / "model.dtm").string();
  std::ofstream(dtm) << "previous\n";
  auto expectFailure = [&](const std::string& result, const std::string& data,
                           const std::string& named) {
    try {
      ReadMean(result, data, dtm);
      ADD_FAILURE() << "no error";
    } catch (const TransferError& e) {
      EXPECT_NE(std::string(e.what()).find(named), std::string::npos) << e.what();
    }
    std::ifstream in(dtm);
    std::string line;
    std::getline(in, line);
    EXPECT_EQ(line, "previous");
    EXPECT_FALSE(fs::exists(dtm + ".tmp"));
  };
  expectFailure((folder_ / "missing.out").string(), dat, "missing.out");
  expectFailure(out, (folder_ / "missing.dat").string(), "missing.dat");

  const std::string truncated = (folder_ / "truncated.out").string();
  fs::copy_file(out, truncated);
  fs::resize_file(truncated, fs::file_size(out) - 100);
  expectFailure(truncated, dat, "truncated.out");

  std::ofstream(folder_ / "junk.out") << "this is no result database at all";
  expectFailure((folder_ / "junk.out").string(), dat, "junk.out");

  const std::string noTime = WriteResults(source, false);
  expectFailure(noTime, dat, "other.out");

  expectFailure(WriteResults(source), WriteData(source.mesh, 999), "model.dat");

  std::ofstream(folder_ / "short.dat") << "TITLE\n1 84 9\n";
  expectFailure(out, (folder_ / "short.dat").string(), "short.dat");
}

TEST_F(Files, TheLibraryEntryPointReportsItsOutcome) {
  const std::string path = std::string(VEMTO_BIN_DIR) + "/libtmfetch.so";
  void* library = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  ASSERT_NE(library, nullptr) << dlerror();
  auto readmean =
      reinterpret_cast<void (*)(const char*, const char*, const char*)>(dlsym(library, "readmean"));
  auto lastError = reinterpret_cast<void (*)(char*)>(dlsym(library, "tmfetch_lasterror"));
  ASSERT_NE(readmean, nullptr);
  ASSERT_NE(lastError, nullptr);
  auto field = [](const std::string& text) {
    std::vector<char> buffer(256, '\0');
    text.copy(buffer.data(), 255);
    return buffer;
  };
  auto one = [](double, double) { return 1.0; };
  const SourceResults source = Source(Grid(1, 1, 0.0, 1.0, 0.0, 1.0), 1, one, one);
  const std::string dtm = (folder_ / "model.dtm").string();
  readmean(field(WriteResults(source)).data(), field(WriteData(source.mesh)).data(),
           field(dtm).data());
  char error[256];
  lastError(error);
  EXPECT_STREQ(error, "");
  EXPECT_TRUE(fs::exists(dtm));
  readmean(field("/nonexistent/other.out").data(), field(WriteData(source.mesh)).data(),
           field(dtm).data());
  lastError(error);
  EXPECT_NE(std::string(error).find("/nonexistent/other.out"), std::string::npos);
  dlclose(library);
}
