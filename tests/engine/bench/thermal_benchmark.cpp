// Timing driver (not a test): a thermal run of a generated section of about 10,000
// eight-node elements over 168 h in 1 h steps. Reports the time per step, the half
// band width and the share of the time spent in the band solver.
//
//   engine_thermal_benchmark [nx ny steps]     (default 200 50 168)
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>

#include "AnalysisData.h"
#include "DatBuilder.h"
#include "ProgressChannel.h"
#include "TemperatureStep.h"

using namespace vemto::engine;

namespace {
long g_working = 0;
void Working() {
  ++g_working;
}
}  // namespace

int main(int argc, char** argv) {
  const int nx = argc > 1 ? std::atoi(argv[1]) : 200;
  const int ny = argc > 2 ? std::atoi(argv[2]) : 50;
  const int steps = argc > 3 ? std::atoi(argv[3]) : 168;
  testing::DatModel m = testing::Rectangle(nx, ny, 0.05 * nx, 0.05 * ny);
  testing::DatMaterial& c = m.materials[0];
  c = testing::DatMaterial::HydratingConcrete();
  for (int e = 0; e < nx; ++e) {
    const auto tp = m.TopEdge(e);
    m.edgeTemp.push_back({tp[0], tp[1], tp[2], 1});
  }
  m.edgeTempConds.push_back({8.0, {{0.0, 10.0}, {1e9, 10.0}}});
  const std::string path = (std::filesystem::temp_directory_path() / "vemto_bench.dat").string();
  m.Write(path);

  numlib::WorkStorage w(400000000);
  RunData d;
  std::ifstream in(path);
  FreeFormatReader reader(in, path);
  std::string title;
  if (!DefineHeaderMatrices(w, d.m)) return 1;
  ReadAnalysisHeader(reader, d.header, title);
  d.nStore = 1;
  if (!DefineRunMatrices(w, d)) return 1;
  ReadAnalysisBody(reader, d);
  if (!DefineSolverMatrices(w, d)) return 1;
  std::filesystem::remove(path);

  TemperatureStep step(d, &Working);
  const auto start = std::chrono::steady_clock::now();
  const std::clock_t cpuStart = std::clock();
  for (int k = 1; k <= steps; ++k) {
    if (step.Run(3600.0 * k, 3600.0)) return 1;
  }
  const double total =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  const double cpu = static_cast<double>(std::clock() - cpuStart) / CLOCKS_PER_SEC;
  std::printf("elements %d, nodes %d, half band width %d, steps %d\n", d.header.nEl8,
              d.header.nNodes, d.halfBandWidth, steps);
  std::printf("time per step %.4f s, solver %.4f s per step (%.1f %%), working calls %ld\n",
              total / steps, step.SolverSeconds() / steps, 100.0 * step.SolverSeconds() / total,
              g_working);
  std::printf(
      "processor time per step %.4f s (the wall-clock figures include waiting for a "
      "shared processor)\n",
      cpu / steps);
  std::printf("maximum temperature after %d h: %.3f C\n", steps, [&] {
    double mx = -1e9;
    for (int n = 1; n <= d.header.nNodes; ++n) mx = std::max(mx, d.m.T(n));
    return mx;
  }());
  return 0;
}
