// The sparse solution path in whole temperature steps and whole runs: the kept
// thermal factorisation is renewed at every change of the matrix, and the sparse
// and the band path give the same temperatures, displacements and stresses.
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include <fmt/format.h>

#include "AnalysisData.h"
#include "ConcreteState.h"
#include "DatBuilder.h"
#include "DataFileReader.h"
#include "EngineHarness.h"
#include "LoadedModel.h"
#include "MechStressStep.h"
#include "MechanicsBuilder.h"
#include "TemperatureStep.h"

namespace vemto::engine {
namespace {

using testing::DatModel;
using testing::Hours;
using testing::LoadedModel;
using testing::Mechanics;
using testing::Recorder;
using testing::ScratchDir;
using testing::WithMechanics;

// Chooses the solution path (VEMTO_SOLVER) for the lifetime of the object.
class SolverChoice : public testing::EnvironmentSetting {
 public:
  explicit SolverChoice(const char* value) : EnvironmentSetting("VEMTO_SOLVER", value) {}
};

// Relative difference in the maximum norm, relative to the largest entry of b or to
// `floor`, whichever is larger.
double RelativeDifference(const std::vector<double>& a, const std::vector<double>& b,
                          double floor = 0.0) {
  double d = 0.0, m = floor;
  for (std::size_t i = 0; i < a.size() && i < b.size(); ++i) {
    d = std::max(d, std::fabs(a[i] - b[i]));
    m = std::max(m, std::fabs(b[i]));
  }
  return m > 0.0 ? d / m : d;
}

// Temperatures, rates, flows: round-off only between the two paths.
constexpr double kThermalTolerance = 1e-11;
// Displacements, forces, stresses, strengths of whole runs (relative to the largest
// entry of the field at that storage event).
constexpr double kRunTolerance = 1e-10;

// A 6 × 3 section of hydrating concrete with a later cast column (material 2,
// cast at 5.5 h, removed at 7.5 h), an edge heat transfer acting from 1.5 h to
// 4.5 h and a cooling pipe at element 1 from 8.5 h on.
DatModel ChangingSection() {
  DatModel m = testing::Rectangle(6, 3, 3.0, 1.5);
  testing::DatMaterial& c = m.materials[0];
  c = testing::DatMaterial::HydratingConcrete();
  testing::DatMaterial late = c;
  late.cast = 5.5 * 3600.0;
  late.removal = 7.5 * 3600.0;
  late.t0 = 15.0;
  m.materials.push_back(late);
  for (int ey = 0; ey < 3; ++ey) m.el8[static_cast<std::size_t>(ey * 6 + 5)][8] = 2;
  m.CoolTop(5, {8.0, {{1.5 * 3600.0, 5.0}, {4.5 * 3600.0, 5.0}}});
  m.el8[0][9] = 1;  // pipe 1 at corner 1 of element 1, pass 1
  m.el8[0][10] = 1;
  m.el8[0][11] = 1;
  DatModel::Pipe p;
  p.history = {{8.5 * 3600.0, 8.0, 1e-4}, {1e9, 8.0, 1e-4}};
  m.pipes.push_back(p);
  return m;
}

struct ThermalTrace {
  std::vector<std::vector<double>> temperatures, flows;
  std::vector<long> factorisations, analyses, assemblies;
};

ThermalTrace RunThermal(const std::string& path, const char* solver,
                        const std::vector<double>& ends) {
  SolverChoice choice(solver);
  LoadedModel model(path);
  TemperatureStep step(model.d, nullptr);
  ThermalTrace trace;
  double t = 0.0;
  for (double end : ends) {
    EXPECT_FALSE(step.Run(end * 3600.0, end * 3600.0 - t));
    t = end * 3600.0;
    const RunMatrices& m = model.d.m;
    trace.temperatures.emplace_back(m.T.Data(), m.T.Data() + model.d.header.nNodes);
    trace.flows.emplace_back(m.Q.Data(), m.Q.Data() + model.d.header.nNodes);
    trace.factorisations.push_back(step.Solver().Counts().factorisations);
    trace.analyses.push_back(step.Solver().Counts().analyses);
    trace.assemblies.push_back(step.MatrixAssemblies());
  }
  return trace;
}

TEST(SparseRuns, ThermalFactorisationIsKeptAndRenewedAtEveryChange) {
  ScratchDir dir;
  const std::string path = dir.File("changing.dat");
  ChangingSection().Write(path);
  const std::vector<double> ends{1, 2, 3, 4, 5, 6, 7, 8, 9, 9.5, 10, 10.5};
  const ThermalTrace sparse = RunThermal(path, nullptr, ends);
  const ThermalTrace band = RunThermal(path, "band", ends);

  // Factorised in step 1; edge condition active (2 h) and inactive again (5 h);
  // column cast (6 h, new pattern) and removed (8 h, pattern back); pipe active
  // (9 h); another step length (9.5 h). Every other step only solves.
  EXPECT_EQ(sparse.factorisations, (std::vector<long>{1, 2, 2, 2, 3, 4, 4, 5, 6, 7, 7, 7}));
  EXPECT_EQ(sparse.analyses, (std::vector<long>{1, 1, 1, 1, 1, 2, 2, 3, 3, 3, 3, 3}));
  EXPECT_EQ(band.factorisations.back(), 0);  // the band path keeps nothing
  // The system matrix is assembled only at those changes; in between the kept one
  // is solved with the right-hand side from the kept element matrices.
  EXPECT_EQ(sparse.assemblies, sparse.factorisations);
  EXPECT_EQ(band.assemblies.back(), static_cast<long>(ends.size()));

  for (std::size_t k = 0; k < ends.size(); ++k) {
    EXPECT_LT(RelativeDifference(sparse.temperatures[k], band.temperatures[k]), kThermalTolerance)
        << "step ending at " << ends[k] << " h";
    EXPECT_LT(RelativeDifference(sparse.flows[k], band.flows[k]), 1e-8)
        << "step ending at " << ends[k] << " h";
  }
  // The changes do act: the cast column heats up, the pipe cools its corner.
  EXPECT_NE(sparse.temperatures[5], sparse.temperatures[4]);
}

// ---- whole runs with stresses ------------------------------------------------

// Runs the engine on `dat` with the given solver choice; returns the result file.
std::string RunWith(const ScratchDir& dir, const std::string& dat, const char* solver,
                    const std::vector<Hours>& intervals) {
  SolverChoice choice(solver);
  const std::string out = dir.File(std::string("r_") + (solver ? solver : "default") + ".out");
  Recorder rec;
  testing::RunEngineOn(rec, dat, out, intervals);
  EXPECT_EQ(rec.Count(VEMTO_MSG_ERROR), 0)
      << (rec.First(VEMTO_MSG_ERROR) ? rec.First(VEMTO_MSG_ERROR)->text : "");
  return out;
}

// Scale below which a stored field counts as zero up to round-off: while the
// concrete has no stiffness yet, displacements and stresses are noise of 1e-20 m.
double FieldFloor(char letter) {
  switch (letter) {
    case 'U':
      return 1e-6;  // m
    case 'F':
      return 1e3;  // N
    case 'S':
    case 'D':
    case 'C':
      return 1e3;  // Pa
    case 'R':
      return 1e-3;  // stress/strength ratio
    default:
      return 0.0;  // temperatures, flows, maturities, hydration, pipes
  }
}

// Every stored field of every storage event agrees within `tolerance`, relative to
// the largest entry of that field at that event (at least its floor); returns the
// number of blocks compared.
int CompareResults(const std::string& a, const std::string& b, double tolerance) {
  numlib::DataFileReader ra(a), rb(b);
  EXPECT_EQ(ra.Blocks().size(), rb.Blocks().size());
  int compared = 0;
  for (const numlib::DataBlock& block : ra.Blocks()) {
    const numlib::DataBlock* other = rb.Find(block.name);
    EXPECT_NE(other, nullptr) << block.name;
    if (other == nullptr || block.type != numlib::MatrixType::Real) continue;
    const auto va = ra.ReadReals(block), vb = rb.ReadReals(*other);
    EXPECT_EQ(va.values.size(), vb.values.size()) << block.name;
    const bool event = block.name.size() == 8 && block.name[1] == '0';
    const double diff =
        RelativeDifference(va.values, vb.values, event ? FieldFloor(block.name[0]) : 0.0);
    EXPECT_LE(diff, tolerance) << block.name;
    if (std::getenv("VEMTO_SHOW_DIFFERENCES") != nullptr)
      fmt::print("{} {:.3g}\n", block.name, diff);
    ++compared;
  }
  return compared;
}

// A wall of two pours on a held base: the second pour cast at 24 h, heated by its
// hydration and cooled at the top.
DatModel TwoPours() {
  DatModel m = testing::Rectangle(6, 4, 3.0, 2.0);
  testing::DatMaterial& c = m.materials[0];
  c = testing::DatMaterial::HydratingConcrete();
  testing::DatMaterial second = c;
  second.cast = 24 * 3600.0;
  m.materials.push_back(second);
  for (std::size_t e = 12; e < 24; ++e) m.el8[e][8] = 2;
  m.CoolTop(6, {10.0, {{0.0, 10.0}, {1e9, 10.0}}});
  m.tempMode = 0;
  return m;
}

TEST(SparseRuns, WholeRunsWithStressesEqualTheBandPath) {
  ScratchDir dir;
  DatModel m = TwoPours();
  Mechanics mech;
  mech.HoldBase(m);
  const std::string dat = dir.File("pours.dat");
  std::ofstream(dat, std::ios::binary) << WithMechanics(m, mech);
  const std::vector<Hours> intervals{{36, 2, 2}, {48, 3, 3}};
  const std::string sparse = RunWith(dir, dat, nullptr, intervals);
  const std::string band = RunWith(dir, dat, "band", intervals);
  // Every step is a storage event: T, Q, M, A, U, F, S, R, D, C of 22 events.
  EXPECT_GT(CompareResults(sparse, band, kRunTolerance), 22 * 10);
  // The second pour does stress the first.
  numlib::DataFileReader r(sparse);
  double largest = 0.0;
  for (double v : r.ReadReals(numlib::DataFileReader::EventName('S', 22)).values)
    largest = std::max(largest, std::fabs(v));
  EXPECT_GT(largest, 1e4);
}

// Displacements after each of 48 one-hour steps of TwoPours with developing
// stiffness and cracking; `cracked` receives the Gauss points cracked at the end.
struct StressTrace {
  std::vector<std::vector<double>> displacements;
  SparseSolverCounts counts;
  int cracked = 0;
};

StressTrace RunCracking(const std::string& path, bool iterative) {
  LoadedModel model(path, SolverKind::kSparse);
  RunData& d = model.d;
  numlib::ProgressChannel channel;
  TemperatureStep thermal(d, nullptr);
  mech::MechStressStep stress(d, nullptr);
  stress.SetIterativeSolution(iterative);
  StressTrace trace;
  for (int step = 1; step <= 48; ++step) {
    EXPECT_FALSE(thermal.Run(step * 3600.0, 3600.0));
    EXPECT_TRUE(stress.Run(step * 3600.0, 3600.0, channel));
    trace.displacements.emplace_back(d.m.U.Data(), d.m.U.Data() + d.m.U.Size());
  }
  trace.counts = stress.Solver().Counts();
  trace.cracked = model.CrackedGaussPoints();
  return trace;
}

TEST(SparseRuns, ConjugateGradientsWithTheKeptFactorisationAgreeWithTheDirectSolution) {
  ScratchDir dir;
  DatModel m = TwoPours();
  Mechanics mech;
  mech.DevelopWithMaturity();  // developing stiffness: a new matrix in every step
  mech.switches[1] = 1;        // cracking
  mech.rows[21] = 2e6;         // tensile strength: a few Gauss points of the restrained pours crack
  mech.HoldBase(m);
  const std::string dat = dir.File("cracking.dat");
  std::ofstream(dat, std::ios::binary) << WithMechanics(m, mech);

  const StressTrace direct = RunCracking(dat, false);
  const StressTrace iterative = RunCracking(dat, true);
  EXPECT_EQ(direct.counts.iterative, 0);
  EXPECT_GT(iterative.counts.iterative, 24);
  EXPECT_LT(iterative.counts.factorisations, direct.counts.factorisations / 2);
  EXPECT_GT(iterative.cracked, 0);
  EXPECT_EQ(iterative.cracked, direct.cracked);
  // Relative difference in the Euclidean norm of the displacements, step by step.
  for (std::size_t k = 0; k < direct.displacements.size(); ++k) {
    double diff = 0.0, norm = 0.0;
    for (std::size_t i = 0; i < direct.displacements[k].size(); ++i) {
      diff += std::pow(iterative.displacements[k][i] - direct.displacements[k][i], 2);
      norm += std::pow(direct.displacements[k][i], 2);
    }
    EXPECT_LE(std::sqrt(diff), 1e-10 * std::sqrt(norm)) << "step " << k + 1;
  }
}

TEST(SparseRuns, ModelWithoutSupportsKeepsTheBandSolversResult) {
  // No support at all: the stiffness is singular (rigid-body motions). Only the
  // stress step runs (no temperatures), so both paths see the same systems and the
  // band solver's result must come out bit for bit.
  ScratchDir dir;
  DatModel m = testing::Rectangle(4, 2, 2.0, 1.0);
  m.tempMode = 1;
  Mechanics mech;
  mech.rows[5] = 0.0;  // body force from the start
  mech.rows[7] = -24000.0;
  const std::string dat = dir.File("floating.dat");
  std::ofstream(dat, std::ios::binary) << WithMechanics(m, mech);
  const std::vector<Hours> intervals{{4, 1, 1}};
  const std::string sparse = RunWith(dir, dat, nullptr, intervals);
  const std::string band = RunWith(dir, dat, "band", intervals);
  std::ifstream a(sparse, std::ios::binary), b(band, std::ios::binary);
  const std::string da((std::istreambuf_iterator<char>(a)), {}),
      db((std::istreambuf_iterator<char>(b)), {});
  EXPECT_FALSE(da.empty());
  EXPECT_TRUE(da == db) << "result files differ";
}

// Runs vemto-cli with `args` (quoted by the caller); returns its exit status.
int RunCli(const ScratchDir& dir, const std::string& args) {
  const std::string cli = std::string(VEMTO_BIN_DIR) + "/vemto-cli";
  const int raw =
      std::system(("'" + cli + "' " + args + " >'" + dir.File("cli.txt") + "' 2>&1").c_str());
  return WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
}

TEST(SparseRuns, ExampleProjectsGiveTheSameResultsOnBothPaths) {
  const std::string bin = VEMTO_BIN_DIR;
  if (!std::filesystem::exists(bin + "/vemto-cli") ||
      !std::filesystem::exists(bin + "/libmeshgen.so") ||
      !std::filesystem::exists(bin + "/libengine.so"))
    GTEST_SKIP() << "vemto-cli, mesher or engine library not built";
  int examples = 0;
  for (const auto& entry :
       std::filesystem::directory_iterator(std::string(VEMTO_SOURCE_DIR) + "/examples")) {
    if (entry.path().extension() != ".v3") continue;
    SCOPED_TRACE(entry.path().filename().string());
    ScratchDir dir;
    std::filesystem::copy_file(entry.path(), dir.File("model.v3"));
    ASSERT_EQ(RunCli(dir, "mesh '" + dir.File("model.v3") + "'"), 0);
    for (const char* solver : {"band", "sparse"})
      ASSERT_EQ(RunCli(dir, fmt::format("simulate '{}' '{}' --interval 72,2,2 --solver {}",
                                        dir.File("model.dat"),
                                        dir.File(std::string(solver) + ".out"), solver)),
                0)
          << solver;
    EXPECT_GE(CompareResults(dir.File("sparse.out"), dir.File("band.out"), kRunTolerance), 36);
    ++examples;
  }
  EXPECT_GE(examples, 1);
}

}  // namespace
}  // namespace vemto::engine
