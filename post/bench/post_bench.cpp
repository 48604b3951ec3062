// Times the result diagrams on a result database: opening it, drawing the temperature
// and the largest-principal-stress distribution at each stored time (the library alone,
// and rendered with QPainter into a picture of the window's size), and the crack-risk
// view.
//   post_bench MODEL.out [WIDTH HEIGHT]
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <string>

#include "Diagram.h"
#include "PostPainter.h"

using namespace vemto::post;
using Clock = std::chrono::steady_clock;

namespace {

double Ms(Clock::time_point since) {
  return std::chrono::duration<double, std::milli>(Clock::now() - since).count();
}

/// Processor time of the process, ms: on a shared machine the wall time says little.
double CpuMs() {
  timespec t{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
  return 1e3 * static_cast<double>(t.tv_sec) + 1e-6 * static_cast<double>(t.tv_nsec);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: post_bench MODEL.out [WIDTH HEIGHT]\n");
    return 2;
  }
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QGuiApplication app(argc, argv);
  const int w = argc > 3 ? std::stoi(argv[2]) : 1200, h = argc > 3 ? std::stoi(argv[3]) : 900;
  auto start = Clock::now();
  const ResultReader r(argv[1]);
  std::printf("open: %.1f ms, %zu elements, %zu stored times\n", Ms(start),
              r.Mesh().elements.size(), r.StoredCount());
  long fills = 0;
  VemtoPostDrawing counting{
      &fills, [](void* c, const double*, int32_t, uint32_t) { ++*static_cast<long*>(c); }, nullptr,
      nullptr};
  QImage image(w, h, QImage::Format_RGB32);
  for (const auto& [field, component, name] : {std::tuple{Field::Temperature, 0, "temperature"},
                                               std::tuple{Field::Stress, int(kS1), "sig,1"}}) {
    double library = 0.0, painted = 0.0, worst = 0.0, cpu = 0.0;
    for (std::size_t k = 0; k < r.StoredCount(); ++k) {
      Distribution d;
      d.field = field;
      d.component = component;
      d.hours = r.Hours(k);
      fills = 0;
      start = Clock::now();
      DrawDistribution(r, Surface{&counting, w, h, 0}, d);
      library += Ms(start);
      start = Clock::now();
      const double cpu0 = CpuMs();
      {
        QPainter painter(&image);
        PostPainter canvas(painter);
        DrawDistribution(r, Surface{canvas.Drawing(), w, h, 0}, d);
      }
      cpu += CpuMs() - cpu0;
      const double one = Ms(start);
      painted += one;
      worst = std::max(worst, one);
    }
    const double n = static_cast<double>(r.StoredCount());
    std::printf(
        "%s distribution per stored time (read, draw, paint): library %.1f ms, with "
        "QPainter %.1f ms (slowest %.1f ms, processor %.1f ms), %ld polygons\n",
        name, library / n, painted / n, worst, cpu / n, fills);
  }
  start = Clock::now();
  const double cpu0 = CpuMs();
  {
    QPainter painter(&image);
    PostPainter canvas(painter);
    DrawCrackRisk(r, Surface{canvas.Drawing(), w, h, 0}, r.Hours(r.StoredCount() - 1), 0.7);
  }
  std::printf("crack-risk view at the last stored time: %.1f ms (processor %.1f ms)\n", Ms(start),
              CpuMs() - cpu0);
  return 0;
}
