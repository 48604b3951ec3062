// Timing driver (not a test): temperature and stress steps of a generated wall on a
// held base, nx × ny eight-node elements, in 1 h steps, on the band or the sparse
// solution path. Reports the time per step (temperature step, stress step and the
// solver within each), the peak memory of the process, the work-array words of the
// band matrix and the bytes the sparse path keeps outside the work array.
//
//   engine_solver_benchmark NX NY STEPS band|sparse
//
// Run once per path (peak memory is per process); for example 100 10 168 sparse,
// 200 50 168 sparse, 400 100 168 sparse and the same with band and fewer steps.
#include <sys/resource.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <span>
#include <string>

#include "AnalysisData.h"
#include "FreeFormatReader.h"
#include "MechStressStep.h"
#include "MechanicsBuilder.h"
#include "ProgressChannel.h"
#include "TemperatureStep.h"

#ifdef VEMTO_HAVE_EIGEN
#include <Eigen/SparseCholesky>
#include <Eigen/SparseCore>
#include <vector>
#endif

using namespace vemto::engine;

namespace {
double Seconds(std::chrono::steady_clock::time_point a) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - a).count();
}
}  // namespace

int main(int argc, char** argv) {
  if (argc != 5) {
    std::fprintf(stderr, "usage: %s NX NY STEPS band|sparse\n", argv[0]);
    return 2;
  }
  const int nx = std::atoi(argv[1]), ny = std::atoi(argv[2]), steps = std::atoi(argv[3]);
  const std::string solver = argv[4];
  if (nx < 1 || ny < 1 || steps < 1 || (solver != "band" && solver != "sparse")) {
    std::fprintf(stderr, "bad arguments\n");
    return 2;
  }
  ::setenv("VEMTO_SOLVER", solver.c_str(), 1);

  testing::DatModel m = testing::Rectangle(nx, ny, 0.25 * nx, 0.25 * ny);
  m.tempMode = 0;
  testing::DatMaterial& c = m.materials[0];
  c = testing::DatMaterial::HydratingConcrete();
  for (int e = 0; e < nx; ++e) {
    const auto tp = m.TopEdge(e);
    m.edgeTemp.push_back({tp[0], tp[1], tp[2], 1});
  }
  m.edgeTempConds.push_back({8.0, {{0.0, 10.0}, {1e9, 10.0}}});
  testing::Mechanics mech;
  // Stiffness and strengths develop with maturity: the stress matrix changes every step.
  mech.switches[0] = 1;
  for (int row : {13, 22, 54}) {
    mech.rows[row] = 2.0;
    mech.rows[row + 1] = 0.5;
    mech.rows[row + 2] = 2.0;
    mech.rows[row + 3] = 0.3;
  }
  mech.dispConds.push_back({{1, 1}, {{0.0, 0.0, 0.0}, {1e9, 0.0, 0.0}}});
  for (int i = 0; i <= m.gi; ++i) mech.dispNodes.push_back({m.Grid(i, 0), 1});
  const std::string path =
      (std::filesystem::temp_directory_path() / ("vemto_solver_bench_" + solver + ".dat")).string();
  std::ofstream(path, std::ios::binary) << testing::WithMechanics(m, mech);

  numlib::WorkStorage w(2000000000);
  RunData d;
  {
    std::ifstream in(path);
    FreeFormatReader reader(in, path);
    std::string title;
    if (!DefineHeaderMatrices(w, d.m)) return 1;
    ReadAnalysisHeader(reader, d.header, title);
    d.nStore = 1;
    if (!DefineRunMatrices(w, d)) return 1;
    ReadAnalysisBody(reader, d);
    if (!DefineSolverMatrices(w, d)) return 1;
  }
  std::filesystem::remove(path);

  numlib::ProgressChannel channel;
  TemperatureStep thermal(d, nullptr);
  mech::MechStressStep stress(d, nullptr);
  double thermalSeconds = 0.0, stressSeconds = 0.0;
  const std::clock_t cpuStart = std::clock();
  for (int k = 1; k <= steps; ++k) {
    auto t0 = std::chrono::steady_clock::now();
    if (thermal.Run(3600.0 * k, 3600.0)) return 1;
    thermalSeconds += Seconds(t0);
    t0 = std::chrono::steady_clock::now();
    if (!stress.Run(3600.0 * k, 3600.0, channel)) return 1;
    stressSeconds += Seconds(t0);
  }
  const double cpu = static_cast<double>(std::clock() - cpuStart) / CLOCKS_PER_SEC;
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  double maxT = -1e300, maxS = 0.0, maxU = 0.0;
  for (int n = 1; n <= d.header.nNodes; ++n) maxT = std::max(maxT, d.m.T(n));
  for (int n = 1; n <= 2 * d.header.nNodes; ++n) maxU = std::max(maxU, std::fabs(d.m.U(n)));
  for (double v : std::span(d.m.SIG.Data(), static_cast<std::size_t>(d.m.SIG.Size())))
    maxS = std::max(maxS, std::fabs(v));
  const SparseSolverCounts tc = thermal.Solver().Counts(), sc = stress.Solver().Counts();
  std::printf("%s: elements %d, nodes %d, half band width %d, steps %d\n", solver.c_str(),
              d.header.nEl8, d.header.nNodes, d.halfBandWidth, steps);
  std::printf("  per step: temperature %.4f s (solver %.4f s), stress %.4f s (solver %.4f s)\n",
              thermalSeconds / steps, thermal.SolverSeconds() / steps, stressSeconds / steps,
              stress.TimesSpent().solver / steps);
  std::printf(
      "  whole run %.1f s, processor time %.1f s (%.4f s per step); extrapolated to 168 "
      "steps %.1f s wall, %.1f s processor\n",
      thermalSeconds + stressSeconds, cpu, cpu / steps,
      (thermalSeconds + stressSeconds) / steps * 168, cpu / steps * 168);
  std::printf(
      "  peak memory %.1f MB; band matrix RK %lld words (%.1f MB); sparse path keeps "
      "%.1f MB (temperature) + %.1f MB (stress)\n",
      usage.ru_maxrss / 1024.0, static_cast<long long>(d.m.RK.Size()),
      8.0 * d.m.RK.Size() / 1048576.0, thermal.Solver().Bytes() / 1048576.0,
      stress.Solver().Bytes() / 1048576.0);
  std::printf(
      "  sparse temperature: %ld factorisations, %ld reuses, %ld fallbacks; stress: %ld "
      "factorisations, %ld reuses, %ld fallbacks\n",
      tc.factorisations, tc.reuses, tc.fallbacks, sc.factorisations, sc.reuses, sc.fallbacks);
  std::printf(
      "  sparse analysis %.3f s (temperature), %.3f s (stress) each; numeric "
      "factorisation %.3f s (temperature), %.3f s (stress) each\n",
      tc.analysisSeconds / std::max(1L, tc.analyses),
      sc.analysisSeconds / std::max(1L, sc.analyses),
      tc.factorSeconds / std::max(1L, tc.factorisations),
      sc.factorSeconds / std::max(1L, sc.factorisations));
  std::printf("  max temperature %.6f C, max |U| %.6e m, max |SIG| %.6e Pa\n", maxT, maxU, maxS);
#ifdef VEMTO_HAVE_EIGEN
  // The library choice: the last stress matrix (intact on the sparse path) factorised
  // by Eigen's simplicial Cholesky with its AMD ordering, against CHOLMOD.
  if (const SparseAssembly* k = stress.Solver().Assembly()) {
    const int neq = 2 * d.header.nNodes;
    std::vector<int> index(static_cast<std::size_t>(neq), -1);
    int n = 0;
    for (int i = 1; i <= neq; ++i)
      if (d.m.LAV(i) == 1 && d.m.LPV(i) == 0) index[i - 1] = n++;
    std::vector<Eigen::Triplet<double>> entries;
    for (int i = 1; i <= neq; ++i) {
      if (index[i - 1] < 0) continue;
      for (std::int64_t p = k->RowStart(i); p < k->RowStart(i + 1); ++p) {
        const int j = k->Columns()[p];
        if (index[j - 1] >= 0) entries.emplace_back(index[j - 1], index[i - 1], k->Values()[p]);
      }
    }
    Eigen::SparseMatrix<double> a(n, n);
    a.setFromTriplets(entries.begin(), entries.end());
    Eigen::SimplicialLLT<Eigen::SparseMatrix<double>, Eigen::Lower, Eigen::AMDOrdering<int>> llt;
    auto t0 = std::chrono::steady_clock::now();
    llt.analyzePattern(a);
    const double analysis = Seconds(t0);
    t0 = std::chrono::steady_clock::now();
    llt.factorize(a);
    const double factor = Seconds(t0);
    std::printf(
        "  Eigen SimplicialLLT on the last stress matrix (%d unknowns): analysis %.3f s, "
        "factorisation %.3f s (%s)\n",
        n, analysis, factor, llt.info() == Eigen::Success ? "ok" : "failed");
  }
#endif
  return 0;
}
