// Times whole mesher runs (listing, meshing, renumbering, data file) on generated
// models of eight-node elements in a few super elements, phase by phase, and reports
// the peak memory of the process.
//
//   meshgen_bench [ELEMENTS ...] [--shape square|strip|mixed] [--dir DIR]
//
// Each size runs in its own child process, so that every peak-memory figure belongs to
// one model only.
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "MesherRun.h"
#include "MeshgenArgs.h"
#include "ProgressChannel.h"

namespace {

using Clock = std::chrono::steady_clock;

struct Model {
  std::vector<double> x, y, props, thickness;
  std::vector<int> rows, columns, codes, nodes, materials, types, options;
  int AddNode(double nx, double ny) {
    x.push_back(nx);
    y.push_back(ny);
    return static_cast<int>(x.size());
  }
  void AddSuperElement(int a, int b, int c, int d, int r, int col, int type) {
    rows.push_back(r);
    columns.push_back(col);
    codes.push_back(2);
    for (int n : {a, 0, b, 0, c, 0, d, 0}) nodes.push_back(n);
    materials.push_back(1);
    types.push_back(type);
    thickness.push_back(-1.0);
  }
};

// A grid of gx x gy finite super elements of r x c elements each over a gx x gy m area;
// "mixed" adds an infinite strip along the right side and a corner element.
Model Generate(int elements, const std::string& shape) {
  Model m;
  int gx = 2, gy = 2;
  if (shape == "strip") gx = 4, gy = 1;
  const int perSuper = elements / (gx * gy);
  int r, c;
  if (shape == "strip") {
    r = std::max(1, static_cast<int>(std::lround(std::sqrt(perSuper / 4.0))));
    c = std::max(1, perSuper / r);
  } else {
    r = std::max(1, static_cast<int>(std::lround(std::sqrt(static_cast<double>(perSuper)))));
    c = std::max(1, perSuper / r);
  }
  const double width = shape == "strip" ? 10.0 : 1.0;
  std::vector<std::vector<int>> id(gx + 1, std::vector<int>(gy + 1));
  for (int j = 0; j <= gy; ++j)
    for (int i = 0; i <= gx; ++i) id[i][j] = m.AddNode(i * width, j * 1.0);
  for (int j = 0; j < gy; ++j)
    for (int i = 0; i < gx; ++i)
      m.AddSuperElement(id[i][j], id[i + 1][j], id[i + 1][j + 1], id[i][j + 1], r, c,
                        MESHGEN_TYPE_FINITE);
  if (shape == "mixed") {
    std::vector<int> outer(gy + 1);
    for (int j = 0; j <= gy; ++j) outer[j] = m.AddNode(gx * width + 5.0, j * 1.0);
    for (int j = 0; j < gy; ++j)
      m.AddSuperElement(id[gx][j], outer[j], outer[j + 1], id[gx][j + 1], r, 1,
                        MESHGEN_TYPE_INFINITE_SURFACE);
    const int corner = m.AddNode(gx * width + 5.0, gy + 5.0);
    const int top = m.AddNode(gx * width, gy + 5.0);
    m.AddSuperElement(id[gx][gy], outer[gy], corner, top, 1, 1, MESHGEN_TYPE_INFINITE_CORNER);
  }
  m.props.assign(68, 1.0);
  m.options.assign(7, 0);
  return m;
}

double Seconds(Clock::time_point a, Clock::time_point b) {
  return std::chrono::duration<double>(b - a).count();
}

struct Timeline {
  std::vector<std::pair<std::string, Clock::time_point>> phases;
  static void Send(void* context, int message, std::intptr_t) {
    auto* self = static_cast<Timeline*>(context);
    char buffer[256] = {};
    IO_FUNC_mp_vemto_getinfotext(buffer);
    const std::string text = numlib::ProgressChannel::TrimmedText(buffer);
    if (message == VEMTO_MSG_ERROR) std::fprintf(stderr, "error: %s\n", text.c_str());
    if (self->phases.empty() || self->phases.back().first != text)
      self->phases.emplace_back(text, Clock::now());
  }
};

int RunOne(int elements, const std::string& shape, const std::string& dir) {
  Model m = Generate(elements, shape);
  MeshgenArgs a;
  std::memset(&a, 0, sizeof a);
  const std::string lst = dir + "/bench.lst", dat = dir + "/bench.dat";
  std::snprintf(a.listFileName, sizeof a.listFileName, "%s", lst.c_str());
  std::snprintf(a.datFileName, sizeof a.datFileName, "%s", dat.c_str());
  a.generalDefined = 1;
  a.analysisInts[0] = 2;
  a.analysisInts[1] = 10;
  a.timeReals[1] = 3600.0;
  a.timeReals[2] = 3600.0;
  a.timeReals[3] = 1.0;
  a.nSuperNodes = static_cast<int>(m.x.size());
  a.superNodeX = m.x.data();
  a.superNodeY = m.y.data();
  a.nSuperElements = static_cast<int>(m.rows.size());
  a.elementRows = m.rows.data();
  a.elementColumns = m.columns.data();
  a.superNodeCode = m.codes.data();
  a.superElementNodes = m.nodes.data();
  a.materialNumber = m.materials.data();
  a.elementType = m.types.data();
  a.superThickness = m.thickness.data();
  a.nMaterials = 1;
  a.materialProperties = m.props.data();
  a.materialOptions = m.options.data();
  a.memoryWords = 200000000;

  long finite = 0;
  for (std::size_t i = 0; i < m.rows.size(); ++i)
    if (m.types[i] == MESHGEN_TYPE_FINITE) finite += static_cast<long>(m.rows[i]) * m.columns[i];

  Timeline timeline;
  VemtoListener listener{&Timeline::Send, &timeline};
  IO_FUNC_mp_vemto_init(&listener);
  const auto start = Clock::now();
  const bool ok = meshgen::ExecuteMesher(&a);
  const auto end = Clock::now();
  IO_FUNC_mp_vemto_init(nullptr);

  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  const double cpu = static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
                     1e-6 * static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec);
  std::printf(
      "%-6s %7ld eight-node elements: %s in %.3f s (process CPU %.3f s), peak memory %.1f MB\n",
      shape.c_str(), finite, ok ? "meshed" : "FAILED", Seconds(start, end), cpu,
      static_cast<double>(usage.ru_maxrss) / 1024.0);
  for (std::size_t i = 0; i < timeline.phases.size(); ++i) {
    const auto next = i + 1 < timeline.phases.size() ? timeline.phases[i + 1].second : end;
    std::printf("    %-30s %8.3f s\n", timeline.phases[i].first.c_str(),
                Seconds(timeline.phases[i].second, next));
  }
  std::fflush(stdout);
  return ok ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<int> sizes;
  std::string shape = "square";
  std::string dir = std::filesystem::temp_directory_path().string();
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--shape" && i + 1 < argc) {
      shape = argv[++i];
    } else if (arg == "--dir" && i + 1 < argc) {
      dir = argv[++i];
    } else {
      sizes.push_back(std::atoi(arg.c_str()));
    }
  }
  if (sizes.empty()) sizes = {1000, 10000, 40000};
  int failures = 0;
  for (const int n : sizes) {
    const pid_t child = fork();
    if (child == 0) std::_Exit(RunOne(n, shape, dir));
    int status = 0;
    waitpid(child, &status, 0);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) ++failures;
  }
  return failures == 0 ? 0 : 1;
}
