// `vemto-cli run MODEL.v3`: the unattended calculation. Meshes and simulates without
// the model check; errors go to stderr; exit status 0 only when meshing and the
// simulation both succeeded. SIGINT or SIGTERM cancel the simulation.
#include <pthread.h>
#include <unistd.h>

#include <csignal>
#include <cstdint>
#include <exception>
#include <iostream>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <thread>

#include <fmt/format.h>

#include "CalculationRun.h"
#include "Commands.h"
#include "ComputationLibrary.h"
#include "RunFileNames.h"
#include "VemtoFile.h"

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
  void Start(std::int32_t total) { total_ = total; }
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

int Run(const std::string& project, bool quiet) {
  TVemtoFile document;
  document.SetFileName(project);
  try {
    document.Load();
  } catch (const std::exception& e) {
    std::cerr << "vemto-cli: " << e.what() << "\n";
    return 1;
  }
  TerminalProgress progress(quiet);
  TCalculationRun run(ProgramFolder());
  run.Unattended = true;
  run.Observer.OnMeshInfo = [&progress](const std::string& text) { progress.Phase(text); };
  run.Observer.OnMeshDone = [&progress](const std::string& text) { progress.Phase(text); };
  run.Observer.OnError = [&progress](const std::string& text) { progress.Error(text); };
  run.Observer.OnEngineStarted = [&progress](TVemtoEngine& engine) {
    progress.Start(engine.StepCount);
  };
  run.Observer.Engine.OnInfo = [&progress](const std::string& text) { progress.Phase(text); };
  run.Observer.Engine.OnTimeStep = [&progress](std::int32_t step) { progress.Step(step); };
  run.Observer.Engine.OnFinished = [&progress](const std::string& text) {
    progress.Finish();
    progress.Phase(text);
  };
  TRunResult result;
  {
    InterruptWatch watch(run);
    result = run.Execute(document);
  }
  progress.Finish();
  if (!result.Succeeded) return 1;
  const TRunFileNames files = DeriveRunFileNames(document.FileName);
  if (!quiet) std::cerr << fmt::format("Results: {}\n", files.ResultFile);
  return 0;
}

}  // namespace

void AddRunCommand(CLI::App& app, CommandStatus& status) {
  auto* cmd = app.add_subcommand(
      "run",
      "Unattended calculation of MODEL.v3: mesh and simulate without the model check; "
      "exit status 0 only when both succeed");
  auto project = std::make_shared<std::string>();
  auto quiet = std::make_shared<bool>(false);
  cmd->add_option("MODEL", *project, "Project file (.v3)")->required();
  cmd->add_flag("-q,--quiet", *quiet, "Print errors only");
  cmd->callback([&status, project, quiet]() { status.code = Run(*project, *quiet); });
}

}  // namespace vemto::cli
