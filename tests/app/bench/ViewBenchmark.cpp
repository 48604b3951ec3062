// Timing driver of the workspace view: a section of 100 x 100 surfaces (10,000 surfaces,
// 20,200 edges, 10,201 nodes, 4 x 4 elements each) on a 1280 x 800 view. Prints the
// time of a full repaint (the cached model picture rebuilt) and of the frames during
// interaction: a pan step and a rubber-band step over the cached picture.
//   view_benchmark [SURFACES_PER_SIDE]   (default 100)
#include <QApplication>
#include <QTest>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <vector>

#include "DocumentCommands.h"
#include "FemView2D.h"
#include "NumberLocale.h"

namespace {

using Clock = std::chrono::steady_clock;

double Ms(Clock::duration d) {
  return std::chrono::duration<double, std::milli>(d).count();
}

// Median and maximum of the times of `runs` calls of `frame`.
template <class F>
std::pair<double, double> Time(int runs, F frame) {
  std::vector<double> times;
  for (int k = 0; k < runs; ++k) {
    const auto start = Clock::now();
    frame(k);
    times.push_back(Ms(Clock::now() - start));
  }
  std::sort(times.begin(), times.end());
  return {times[times.size() / 2], times.back()};
}

// A grid of n x n unit squares sharing their edges.
void BuildGrid(vemto::TVemtoFile& model, int n) {
  using namespace vemto;
  auto node = [&](int i, int j) { return model.Nodes[std::size_t(i) * (n + 1) + j].get(); };
  for (int i = 0; i <= n; ++i)
    for (int j = 0; j <= n; ++j) {
      model.Nodes.push_back(std::make_unique<TNode>(double(i), double(j)));
      model.Nodes.back()->Number = int(model.Nodes.size());
    }
  std::vector<TEdge*> horizontal, vertical;  // (i, j) -> (i + 1, j) and (i, j) -> (i, j + 1)
  for (int i = 0; i < n; ++i)
    for (int j = 0; j <= n; ++j) {
      model.Edges.push_back(std::make_unique<TEdgeLine>(node(i, j), node(i + 1, j)));
      horizontal.push_back(model.Edges.back().get());
    }
  for (int i = 0; i <= n; ++i)
    for (int j = 0; j < n; ++j) {
      model.Edges.push_back(std::make_unique<TEdgeLine>(node(i, j), node(i, j + 1)));
      vertical.push_back(model.Edges.back().get());
    }
  for (auto& edge : model.Edges) edge->Divisions = 4;
  for (int i = 0; i < n; ++i)
    for (int j = 0; j < n; ++j)
      model.Surfaces.push_back(std::make_unique<TVemtoSurface>(
          horizontal[std::size_t(i) * (n + 1) + j], vertical[std::size_t(i + 1) * n + j],
          horizontal[std::size_t(i) * (n + 1) + j + 1], vertical[std::size_t(i) * n + j]));
}

}  // namespace

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  vemto::UseDotDecimalSeparator();
  const int n = argc > 1 ? std::max(1, std::atoi(argv[1])) : 100;

  vemto::ProjectDocument doc;
  BuildGrid(doc.Model(), n);
  vemto::TFemView2D view;
  vemto::TViewOptions o = view.Options();
  o.GridMode = vemto::gmLines;
  o.DrawDivision = false;
  o.DragTime = 21;
  view.SetOptions(o);
  view.resize(1280, 800);
  view.show();
  view.SetDocument(&doc);
  view.SetGridSize(0.2);
  view.ZoomExtents();

  std::printf("view benchmark: %zu surfaces, %zu edges, %zu nodes on %d x %d pixels\n",
              doc.Model().Surfaces.size(), doc.Model().Edges.size(), doc.Model().Nodes.size(),
              view.width(), view.height());
  const auto full = Time(5, [&](int) {
    view.Invalidate();
    view.grab();
  });
  std::printf("  full repaint (model picture rebuilt): median %.1f ms, max %.1f ms\n", full.first,
              full.second);

  const double x0 = view.OrigoX(), y0 = view.OrigoY();
  const auto pan = Time(50, [&](int k) {
    view.PanTo(x0 - 0.05 * k, y0 + 0.03 * k);
    view.grab();
  });
  view.EndPan();
  view.grab();
  std::printf("  pan frame (cached picture shifted): median %.2f ms, max %.2f ms\n", pan.first,
              pan.second);

  view.SetEditMode(vemto::emZoomWindow);
  const QPoint from = view.WorldToScreen(10.0, 10.0);
  QTest::mousePress(&view, Qt::LeftButton, {}, from);
  while (!view.LongPress()) QTest::qWait(5);
  const auto band = Time(50, [&](int k) {
    QTest::mouseMove(&view, from + QPoint(5 * k + 10, 3 * k + 10));
    view.grab();
  });
  QTest::mouseRelease(&view, Qt::LeftButton, {}, from + QPoint(10, 10));
  std::printf("  rubber-band frame (cached picture and band): median %.2f ms, max %.2f ms\n",
              band.first, band.second);

  view.SetEditMode(vemto::emSelect);
  const auto pick = Time(20, [&](int k) { view.SelectAt(0.5 + k, 0.5 + k); });
  std::printf("  selection click (nearest node, edge and surface): median %.2f ms\n", pick.first);
  return 0;
}
