// `vemto-cli run MODEL.v3`: the unattended calculation. Refuses a model whose check finds
// errors, meshes and simulates; errors go to stderr; exit status 0 only when meshing and
// the simulation both succeeded. SIGINT or SIGTERM cancel the simulation.
#include <pthread.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <climits>
#include <cmath>
#include <csignal>
#include <cstdint>
#include <exception>
#include <iostream>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include <fmt/format.h>

#include "CalculationRun.h"
#include "Commands.h"
#include "ComputationLibrary.h"
#include "Edge.h"
#include "RunFileNames.h"
#include "VemtoCondition.h"
#include "VemtoFile.h"
#include "VemtoInterval.h"
#include "VemtoPipe.h"
#include "VemtoPosition.h"
#include "VemtoSurface.h"

namespace vemto::cli {
namespace {

/// Progress of a run on stderr: phases as lines, time steps as a bar on a terminal or
/// as a line every tenth of the run otherwise.
class TerminalProgress {
 public:
  explicit TerminalProgress(bool quiet) : quiet_(quiet), terminal_(::isatty(2) != 0) {}

  void Phase(const std::string& text) {
    std::lock_guard lock(mutex_);
    if (quiet_ || !shownPhases_.insert(text).second) return;  // phases repeat per item
    EndBar();
    std::cerr << text << "\n";
  }
  void Start(std::int32_t total) {
    std::lock_guard lock(mutex_);  // the worker may already report time steps
    total_ = total;
  }
  void Step(std::int32_t step) {
    if (quiet_) return;
    std::lock_guard lock(mutex_);
    const int percent = total_ > 0 ? static_cast<int>(100LL * step / total_) : 0;
    if (terminal_) {
      const int width = 40;
      const int filled = width * std::min(percent, 100) / 100;
      std::cerr << fmt::format("\r[{}{}] {:3d}% time step {}/{}", std::string(filled, '#'),
                               std::string(width - filled, ' '), percent, step, total_)
                << std::flush;
      barShown_ = true;
    } else if (total_ > 0 && percent / 10 != lastTenth_) {
      lastTenth_ = percent / 10;
      std::cerr << fmt::format("{}% (time step {} of {})\n", percent, step, total_);
    }
  }
  void Error(const std::string& text) {
    std::lock_guard lock(mutex_);
    EndBar();
    std::cerr << text << "\n";
  }
  void Finish() {
    std::lock_guard lock(mutex_);
    EndBar();
  }

 private:
  void EndBar() {
    if (barShown_) std::cerr << "\n";
    barShown_ = false;
  }
  bool quiet_;
  bool terminal_;
  bool barShown_ = false;
  int lastTenth_ = -1;
  std::int32_t total_ = 0;
  std::set<std::string> shownPhases_;
  std::mutex mutex_;
};

/// Turns SIGINT and SIGTERM into a cancellation request while it lives.
class InterruptWatch {
 public:
  explicit InterruptWatch(TCalculationRun& run) {
    sigemptyset(&set_);
    sigaddset(&set_, SIGINT);
    sigaddset(&set_, SIGTERM);
    sigaddset(&set_, SIGUSR2);  // ends the watch
    pthread_sigmask(SIG_BLOCK, &set_, &old_);
    thread_ = std::thread([this, &run] {
      for (;;) {
        int signal = 0;
        if (sigwait(&set_, &signal) != 0 || signal == SIGUSR2) return;
        std::cerr << "\nCancelling the calculation...\n";
        run.Cancel();
      }
    });
  }
  ~InterruptWatch() {
    pthread_kill(thread_.native_handle(), SIGUSR2);
    thread_.join();
    pthread_sigmask(SIG_SETMASK, &old_, nullptr);
  }
  InterruptWatch(const InterruptWatch&) = delete;
  InterruptWatch& operator=(const InterruptWatch&) = delete;

 private:
  sigset_t set_{};
  sigset_t old_{};
  std::thread thread_;
};

/// Changes of the model for this run only (parameter studies, benchmarks).
struct RunChanges {
  std::optional<double> castingTemperature;  ///< C, every material with heat development
  int refine = 1;                            ///< factor on the divisions (Refine)
  std::vector<double> interval;              ///< END,STEP,STORE (h): the only interval
  std::int32_t memory = 0;                   ///< mesher and engine work arrays; 0: model's
};

/// Multiplies by `factor` the divisions of every edge that may have more than one: an
/// infinite strip keeps one division across (its edges 1 and 3) and an infinite corner
/// one along every edge. The work arrays of mesher and engine grow with the model: by
/// factor² (nodes and elements) and, for the engine, once more by factor (the bandwidth).
/// The largest refinement factor that leaves every cooling pipe room in its elements:
/// the elements of a surface holding a pipe point stay at least three pipe radii across
/// (the pipe is cut out of the elements around its node). `factor` when nothing limits it.
int FactorPipesAllow(const TVemtoFile& document, int factor) {
  constexpr double kElementsPerRadius = 3.0;
  constexpr double kOnSurface = 1e-9;  // m, a point on a side belongs to both surfaces
  for (const auto& pos : document.Positions) {
    const auto* point = dynamic_cast<const TVemtoPipePos*>(pos.get());
    if (point == nullptr || point->Pipe == nullptr || point->Pipe->Condition == nullptr) continue;
    const auto* condition = dynamic_cast<const TVemtoPipeCondition*>(point->Pipe->Condition);
    if (condition == nullptr || !(condition->PipeDiameter > 0.0)) continue;
    const double radius = 0.5 * condition->PipeDiameter;
    for (const auto& surface : document.Surfaces) {
      double x0 = INFINITY, x1 = -INFINITY, y0 = INFINITY, y1 = -INFINITY;
      for (const TEdge* edge : surface->Edges)
        for (const TNode* node :
             {edge ? edge->FirstNode() : nullptr, edge ? edge->LastNode() : nullptr})
          if (node != nullptr) {
            x0 = std::min(x0, node->Coord->X), x1 = std::max(x1, node->Coord->X);
            y0 = std::min(y0, node->Coord->Y), y1 = std::max(y1, node->Coord->Y);
          }
      if (point->X < x0 - kOnSurface || point->X > x1 + kOnSurface || point->Y < y0 - kOnSurface ||
          point->Y > y1 + kOnSurface)
        continue;
      for (const TEdge* edge : surface->Edges) {
        if (edge == nullptr || edge->FirstNode() == nullptr || edge->LastNode() == nullptr ||
            edge->Divisions < 1)
          continue;
        const double length = std::hypot(edge->LastNode()->Coord->X - edge->FirstNode()->Coord->X,
                                         edge->LastNode()->Coord->Y - edge->FirstNode()->Coord->Y);
        const double most = length / (edge->Divisions * kElementsPerRadius * radius);
        factor = std::min(factor, std::max(1, static_cast<int>(most)));
      }
    }
  }
  return factor;
}

void Refine(TVemtoFile& document, int factor) {
  std::set<const TEdge*> single;
  for (const auto& surface : document.Surfaces) {
    const auto kind = static_cast<ElementKind>(surface->ElementType);
    if (kind == ElementKind::FiveNodeInfinite) {
      single.insert(surface->Edges[1]);
      single.insert(surface->Edges[3]);
    } else if (kind == ElementKind::ThreeNodeInfinite) {
      single.insert(surface->Edges.begin(), surface->Edges.end());
    }
  }
  for (const auto& edge : document.Edges)
    if (single.count(edge.get()) == 0)
      edge->Divisions = static_cast<std::int32_t>(
          std::min<std::int64_t>(std::int64_t{edge->Divisions} * factor, kMaxEdgeDivisions));
  const auto scaled = [](std::int32_t words, std::int64_t scale) {
    return static_cast<std::int32_t>(std::min<std::int64_t>(words * scale, INT32_MAX));
  };
  const std::int64_t area = std::int64_t{factor} * factor;
  document.MeshMemory = scaled(document.MeshMemory, area);
  document.EngineMemory = scaled(document.EngineMemory, area * factor);
}

int Run(const std::string& project, bool quiet, const RunChanges& changes) {
  TVemtoFile document;
  document.SetFileName(project);
  try {
    document.Load();
  } catch (const std::exception& e) {
    std::cerr << "vemto-cli: " << e.what() << "\n";
    return 1;
  }
  const std::optional<double>& castingTemperature = changes.castingTemperature;
  if (changes.refine < 1 || changes.refine > 100) {
    std::cerr << "vemto-cli: --refine takes a factor from 1 to 100\n";
    return 2;
  }
  if (changes.refine > 1) {
    const int factor = FactorPipesAllow(document, changes.refine);
    if (factor < changes.refine)
      std::cerr << fmt::format(
          "vemto-cli: --refine {}: refined {} times only, so that the cooling pipes still fit "
          "into their elements\n",
          changes.refine, factor);
    Refine(document, factor);
  }
  if (!changes.interval.empty()) {
    if (changes.interval.size() != 3) {
      std::cerr << "vemto-cli: --interval takes END,STEP,STORE in hours\n";
      return 2;
    }
    document.Intervals.clear();
    document.Intervals.push_back(std::make_unique<TVemtoInterval>(
        changes.interval[0], changes.interval[1], changes.interval[2]));
  }
  if (changes.memory < 0) {
    std::cerr << "vemto-cli: --memory takes a positive number of 8-byte words\n";
    return 2;
  }
  if (changes.memory > 0) {
    document.MeshMemory = changes.memory;
    document.EngineMemory = changes.memory;
  }
  if (castingTemperature) {
    // For parameter studies: the run uses the value, the project file stays as it is.
    int changed = 0;
    for (const auto& material : document.Materials)
      if (material->Option(1) == 1) {  // hardening concrete (heat development on)
        material->P(6) = *castingTemperature;
        ++changed;
      }
    if (changed == 0) {
      std::cerr << "vemto-cli: " << project
                << ": no material with heat development, so no casting temperature to set\n";
      return 1;
    }
  }
  TerminalProgress progress(quiet);
  TCalculationRun run(ProgramFolder());
  run.Unattended = true;
  run.Observer.OnMeshInfo = [&progress](const std::string& text) { progress.Phase(text); };
  run.Observer.OnMeshDone = [&progress](const std::string& text) { progress.Phase(text); };
  run.Observer.OnError = [&progress](const std::string& text) { progress.Error(text); };
  run.Observer.Engine.OnInfo = [&progress](const std::string& text) { progress.Phase(text); };
  run.Observer.Engine.OnTimeStep = [&progress](std::int32_t step) { progress.Step(step); };
  run.Observer.Engine.OnFinished = [&progress](const std::string& text) {
    progress.Finish();
    progress.Phase(text);
  };
  using Clock = std::chrono::steady_clock;
  const Clock::time_point start = Clock::now();
  Clock::time_point engineStart = start;
  run.Observer.OnEngineStarted = [&progress, &engineStart](TVemtoEngine& engine) {
    engineStart = Clock::now();
    progress.Start(engine.StepCount);
  };
  TRunResult result;
  {
    InterruptWatch watch(run);
    result = run.Execute(document);
  }
  progress.Finish();
  const Clock::time_point end = Clock::now();
  if (!quiet && engineStart != start)
    std::cerr << fmt::format("Time: meshing {:.2f} s, simulation {:.2f} s\n",
                             std::chrono::duration<double>(engineStart - start).count(),
                             std::chrono::duration<double>(end - engineStart).count());
  if (!quiet)
    for (const std::string& warning : result.Warnings) std::cerr << "warning: " << warning << "\n";
  if (!result.Succeeded) return kExitFailed;
  const TRunFileNames files = DeriveRunFileNames(document.FileName);
  if (!quiet) std::cerr << fmt::format("Results: {}\n", files.ResultFile);
  return 0;
}

}  // namespace

void AddRunCommand(CLI::App& app, CommandStatus& status) {
  auto* cmd = app.add_subcommand(
      "run",
      "Unattended calculation of MODEL.v3: check, mesh and simulate; a model whose check "
      "finds errors is refused; exit status 0 only when meshing and simulation succeed");
  auto project = std::make_shared<std::string>();
  auto quiet = std::make_shared<bool>(false);
  auto changes = std::make_shared<RunChanges>();
  cmd->add_option("MODEL", *project, "Project file (.v3)")->required();
  cmd->add_flag("-q,--quiet", *quiet, "Print errors only");
  cmd->add_option("--casting-temperature", changes->castingTemperature,
                  "Run with this casting temperature (C) for every material with heat "
                  "development; the project file is not changed");
  cmd->add_option("--refine", changes->refine,
                  "Multiply the divisions of every edge by this factor, except across infinite "
                  "elements, with work arrays to match (this run only)");
  cmd->add_option("--interval", changes->interval,
                  "Run one interval END,STEP,STORE (hours) instead of the model's (this run only)")
      ->delimiter(',')
      ->expected(3);
  cmd->add_option("--memory", changes->memory,
                  "Work-array size of mesher and engine in 8-byte words (this run only)");
  cmd->callback(
      [&status, project, quiet, changes]() { status.code = Run(*project, *quiet, *changes); });
}

}  // namespace vemto::cli
