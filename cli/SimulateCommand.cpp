// `vemto-cli simulate DAT OUT --interval END,STEP,STORE …`: runs the engine library
// on an analysis data file and writes the result database. Times in hours.
#include <dlfcn.h>
#include <unistd.h>

#include <atomic>
#include <cmath>
#include <csignal>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include <fmt/format.h>

#include "Commands.h"
#include "VemtoListener.h"

namespace vemto::cli {
namespace {

using ExecuteFn = void (*)(VemtoWindowHandle, const std::int32_t*, const double*,
                           const std::int32_t*, const char*, const char*, const char*);

/// The folder of the running program, where libengine.so lies.
std::filesystem::path ProgramFolder() {
  std::error_code ec;
  const auto exe = std::filesystem::read_symlink("/proc/self/exe", ec);
  return ec ? std::filesystem::current_path() : exe.parent_path();
}

/// libengine.so loaded with its own symbol scope; closed on destruction.
class EngineLibrary {
 public:
  explicit EngineLibrary(const std::filesystem::path& path) {
    handle_ = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (handle_ == nullptr) {
      const char* why = dlerror();
      throw std::runtime_error(
          fmt::format("cannot load {}: {}", path.string(), why != nullptr ? why : "unknown"));
    }
    execute = reinterpret_cast<ExecuteFn>(Symbol("execute"));
    init = reinterpret_cast<VemtoInitFn>(Symbol("IO_FUNC_mp_vemto_init"));
    infoText = reinterpret_cast<VemtoGetInfoTextFn>(Symbol("IO_FUNC_mp_vemto_getinfotext"));
    brk = reinterpret_cast<VemtoBreakFn>(Symbol("IO_FUNC_mp_vemto_break"));
  }
  ~EngineLibrary() {
    if (handle_ != nullptr) dlclose(handle_);
  }
  EngineLibrary(const EngineLibrary&) = delete;
  EngineLibrary& operator=(const EngineLibrary&) = delete;

  ExecuteFn execute = nullptr;
  VemtoInitFn init = nullptr;
  VemtoGetInfoTextFn infoText = nullptr;
  VemtoBreakFn brk = nullptr;

 private:
  void* Symbol(const char* name) {
    void* p = dlsym(handle_, name);
    if (p == nullptr) {
      dlclose(handle_);
      handle_ = nullptr;
      throw std::runtime_error(fmt::format("libengine.so lacks the entry point {}", name));
    }
    return p;
  }
  void* handle_ = nullptr;
};

/// Break entry point for the interrupt handler (set while the engine runs).
std::atomic<VemtoBreakFn> g_break{nullptr};
std::atomic<bool> g_interrupted{false};

extern "C" void OnInterrupt(int) {
  g_interrupted.store(true);
  if (VemtoBreakFn b = g_break.load()) b();
}

/// What the listener learns during a run.
struct RunState {
  const EngineLibrary* lib = nullptr;
  bool terminal = false;
  long steps = 0;
  long totalSteps = 0;  // 0 when unknown
  int lastPercent = -1;
  bool finished = false;
  std::string finishedText;
  std::vector<std::pair<int, std::string>> errors;
};

std::string Text(const EngineLibrary& lib) {
  char buf[256] = {};
  lib.infoText(buf);
  std::size_t n = 0;
  while (n < 255 && buf[n] != '\0') ++n;
  while (n > 0 && buf[n - 1] == ' ') --n;
  std::size_t b = 0;
  while (b < n && buf[b] == ' ') ++b;
  return std::string(buf + b, n - b);
}

void Progress(RunState& s) {
  if (s.totalSteps <= 0) {
    if (s.terminal)
      std::cerr << fmt::format("\rtime step {}", s.steps) << std::flush;
    else if (s.steps % 100 == 0)
      std::cerr << fmt::format("time step {}\n", s.steps);
    return;
  }
  const int percent = static_cast<int>(100 * s.steps / s.totalSteps);
  if (s.terminal) {
    const int width = 40, filled = width * percent / 100;
    std::cerr << fmt::format("\r[{}{}] {:3d}% step {}/{}", std::string(filled, '#'),
                             std::string(width - filled, ' '), percent, s.steps, s.totalSteps)
              << std::flush;
  } else if (percent / 10 != s.lastPercent / 10) {
    std::cerr << fmt::format("{}% (time step {} of {})\n", percent, s.steps, s.totalSteps);
  }
  s.lastPercent = percent;
}

void Send(void* context, int message, std::intptr_t code) {
  auto& s = *static_cast<RunState*>(context);
  switch (message) {
    case VEMTO_MSG_WORKING:
      return;  // answered at once: one per equation row
    case VEMTO_MSG_TIMESTEP:
      ++s.steps;
      Progress(s);
      return;
    case VEMTO_MSG_INFO:
      std::cerr << Text(*s.lib) << "\n";
      return;
    case VEMTO_MSG_ERROR:
      s.errors.emplace_back(static_cast<int>(code), Text(*s.lib));
      return;
    case VEMTO_MSG_FINISHED:
      s.finished = true;
      s.finishedText = Text(*s.lib);
      return;
    default:
      return;
  }
}

struct Options {
  std::string dat, out, dtm;
  std::vector<std::string> intervals;
  std::int64_t memory = 800000;
  std::string solver;  // "band" or "sparse"; empty: the library's choice (VEMTO_SOLVER)
};

/// Parses "END,STEP,STORE" (hours).
bool ParseInterval(const std::string& text, double (&v)[3]) {
  std::istringstream in(text);
  in.imbue(std::locale::classic());
  char c1 = 0, c2 = 0;
  if (!(in >> v[0] >> c1 >> v[1] >> c2 >> v[2]) || c1 != ',' || c2 != ',') return false;
  in >> std::ws;
  return in.eof() && std::isfinite(v[0]) && std::isfinite(v[1]) && std::isfinite(v[2]);
}

/// Initial time (s) from line 3 of the analysis data file, for the progress total.
bool InitialTime(const std::string& dat, double& t0) {
  std::ifstream in(dat);
  std::string line;
  for (int i = 0; i < 3; ++i)
    if (!std::getline(in, line)) return false;
  for (char& c : line)
    if (c == ',')
      c = ' ';
    else if (c == 'D' || c == 'd')
      c = 'E';
  std::istringstream s(line);
  s.imbue(std::locale::classic());
  return static_cast<bool>(s >> t0);
}

int RunSimulate(const Options& o) {
  std::vector<double> iv;
  for (const std::string& text : o.intervals) {
    double v[3];
    if (!ParseInterval(text, v)) {
      std::cerr << fmt::format("vemto-cli: --interval \"{}\": expected END,STEP,STORE in hours\n",
                               text);
      return 2;
    }
    if (!(v[1] > 0.0) || !(v[2] > 0.0)) {
      std::cerr << fmt::format(
          "vemto-cli: --interval \"{}\": time step and storage increment must be positive\n", text);
      return 2;
    }
    for (double x : v) iv.push_back(x * 3600.0);
  }
  if (o.memory < 1 || o.memory > INT32_MAX) {
    std::cerr << fmt::format("vemto-cli: --memory {}: expected 1 ... {} words\n", o.memory,
                             INT32_MAX);
    return 2;
  }
  for (const std::string& name : {o.dat, o.out, o.dtm})
    if (name.size() > 255) {
      std::cerr << fmt::format("vemto-cli: file name longer than 255 characters: {}\n", name);
      return 2;
    }

  std::unique_ptr<EngineLibrary> lib;
  try {
    lib = std::make_unique<EngineLibrary>(ProgramFolder() / "libengine.so");
  } catch (const std::exception& e) {
    std::cerr << "vemto-cli: " << e.what() << "\n";
    return 1;
  }

  RunState state;
  state.lib = lib.get();
  state.terminal = isatty(STDERR_FILENO) != 0;
  double t0 = 0.0;
  if (InitialTime(o.dat, t0)) {
    double start = t0;
    for (std::size_t i = 0; i + 2 < iv.size(); i += 3) {
      const double q = (iv[i] - start) / iv[i + 1] + 1e-6;
      if (q > 0 && q < 1e9) state.totalSteps += static_cast<long>(std::trunc(q));
      start = iv[i];
    }
  }
  const VemtoListener listener{&Send, &state};
  char dat[256] = {}, out[256] = {}, dtm[256] = {};
  std::memcpy(dat, o.dat.data(), o.dat.size());
  std::memcpy(out, o.out.data(), o.out.size());
  std::memcpy(dtm, o.dtm.data(), o.dtm.size());
  const std::int32_t n = static_cast<std::int32_t>(iv.size() / 3);
  const std::int32_t words = static_cast<std::int32_t>(o.memory);

  // The engine library takes its solution path from the environment.
  if (!o.solver.empty()) ::setenv("VEMTO_SOLVER", o.solver.c_str(), 1);
  g_break.store(lib->brk);
  auto previous = std::signal(SIGINT, &OnInterrupt);
  lib->execute(&listener, &n, iv.data(), &words, dat, out, dtm);
  std::signal(SIGINT, previous);
  g_break.store(nullptr);
  if (state.terminal && state.steps > 0) std::cerr << "\n";

  for (const auto& [code, text] : state.errors)
    std::cerr << fmt::format("ENGINE ERROR : {} (code {})\n", text, code);
  if (!state.errors.empty()) return 1;
  if (g_interrupted.load() || !state.finished) {
    std::cerr << "vemto-cli: the simulation was cancelled; " << o.out
              << " holds the storage events written so far\n";
    return kExitFailed;
  }
  std::cerr << state.finishedText << "\n";
  std::cout << fmt::format("Wrote {}\n", o.out);
  return 0;
}

}  // namespace

void AddSimulateCommand(CLI::App& app, CommandStatus& status) {
  auto* cmd = app.add_subcommand(
      "simulate", "Run the engine on an analysis data file and write the result database");
  auto o = std::make_shared<Options>();
  cmd->add_option("DAT", o->dat, "Analysis data file (.dat)")->required();
  cmd->add_option("OUT", o->out, "Result database to write (.out)")->required();
  cmd->add_option("--interval", o->intervals,
                  "END,STEP,STORE in hours: end time (on the clock of the data file), time "
                  "step and storage increment; repeat for several intervals")
      ->required()
      ->allow_extra_args(false);
  cmd->add_option("--dtm", o->dtm, "Temperature-and-maturity file of another model");
  cmd->add_option("--memory", o->memory, "Work-array size in 8-byte words (default 800000)");
  cmd->add_option("--solver", o->solver,
                  "Equation solver: sparse (default) or band (the band solver for every step)")
      ->check(CLI::IsMember({"band", "sparse"}));
  cmd->callback([&status, o]() { status.code = RunSimulate(*o); });
}

}  // namespace vemto::cli
