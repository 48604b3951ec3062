// Timing driver (not a test): forward and backward substitution with the supernodal
// factor of a stiffness-like matrix of NX × NY nine-node quadrilaterals, in double
// and single precision, on one and two threads, with the generic kernels and the best
// the processor has. Prints the best of REPS runs.
//
//   engine_substitution_benchmark [NX NY REPS]      (default 100 100 40)
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "SupernodalFixture.h"
#include "WorkerPool.h"

using namespace vemto::engine;

int main(int argc, char** argv) {
  const int nx = argc > 1 ? std::atoi(argv[1]) : 100, ny = argc > 2 ? std::atoi(argv[2]) : 100;
  const int reps = argc > 3 ? std::atoi(argv[3]) : 40;
  if (nx < 1 || ny < 1 || reps < 1) {
    std::fprintf(stderr, "usage: %s [NX NY REPS]\n", argv[0]);
    return 2;
  }
  testing::SupernodalFixture fx(nx, ny);
  const auto n = static_cast<std::size_t>(fx.Rows());
  std::printf("%zu unknowns, %.0f factor entries\n", n, fx.FactorEntries());
  std::vector<double> r(n), z(n);
  for (std::size_t i = 0; i < n; ++i) r[i] = 1.0 + static_cast<double>(i % 7);
  const supernodal::Kernels* kernelSets[] = {&supernodal::GenericKernels(),
                                             &supernodal::BestKernels()};
  for (const supernodal::Kernels* kernels : kernelSets)
    for (auto precision :
         {SupernodalSubstitution::Precision::kDouble, SupernodalSubstitution::Precision::kSingle}) {
      SupernodalSubstitution s;
      s.SetKernels(*kernels);
      if (!s.Build(fx.View(), precision)) return 1;
      for (int threads : {1, 2}) {
        WorkerPool pool(threads);
        double best = 1e30;
        for (int k = 0; k < reps; ++k) {
          const auto t0 = std::chrono::steady_clock::now();
          s.Apply(r.data(), z.data(), &pool);
          best = std::min(
              best, std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count());
        }
        std::printf("%s kernels, %s, %d thread(s): %.3f ms (top part %.1f %%)\n", kernels->name,
                    precision == SupernodalSubstitution::Precision::kDouble ? "double" : "single",
                    threads, 1e3 * best, 100.0 * s.TopShare());
      }
    }
  return 0;
}
