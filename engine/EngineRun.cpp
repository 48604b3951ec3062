#include "EngineRun.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <optional>

#include <fmt/format.h>

#include "AnalysisData.h"
#include "FatalStop.h"
#include "ResultDatabase.h"
#include "StressStep.h"
#include "TemperatureMaturityFile.h"
#include "TemperatureStep.h"
#include "VemtoListener.h"

namespace vemto::engine {

namespace {

constexpr const char* kTooLarge = " PROBLEM TOO LARGE.";
constexpr const char* kNoTmData = " TEMPERATURE AND MATURITY DATA NOT AVAILABLE";
/// Relative tolerance (of the step) when times are compared with interval ends.
constexpr double kEndTolerance = 1e-6;

void SendWorking() {
  numlib::Module().channel.SendWorking();
}

[[noreturn]] void BadInput(const std::string& what) {
  throw numlib::FatalStop(" INVALID ANALYSIS DATA: " + what, VEMTO_ERROR_INPUT_FILE);
}

// Times per step and solver figures, as information lines (VEMTO_TIMINGS set).
void ReportTimes(numlib::ProgressChannel& ch, const RunData& d, const numlib::WorkStorage& w,
                 const std::optional<TemperatureStep>& thermal, const StressStepper* stress) {
  const double steps = std::max(1, d.nSteps);
  const char* path = d.solver == SolverKind::kBand ? "BAND" : "SPARSE";
  auto line = [&](const char* what, double seconds, double solverSeconds, const EquationSolver& s) {
    const SparseSolverCounts c = s.Counts();
    // Two lines: an information text holds 255 characters.
    ch.SendInfo(fmt::format(
        " TIMES {}: {:.4f} S PER STEP, SOLVER {:.4f} S PER STEP ({}: {} FACTORISATIONS,"
        " {} REUSES, {} ANALYSES, {} BAND SOLUTIONS, {} ITERATIVE SOLUTIONS WITH {}"
        " ITERATIONS, {:.1f} MB OUTSIDE THE WORK ARRAY)",
        what, seconds / steps, solverSeconds / steps, path, c.factorisations, c.reuses, c.analyses,
        c.fallbacks, c.iterative, c.iterations, static_cast<double>(s.Bytes()) / 1048576.0));
    ch.SendInfo(
        fmt::format(" TIMES {} SOLVER IN ALL: {:.2f} S ANALYSING, {:.2f} S FACTORISING, {:.2f} S"
                    " PRECONDITIONING",
                    what, c.analysisSeconds, c.factorSeconds, c.preconditionSeconds));
  };
  if (thermal) line("TEMPERATURE", thermal->Seconds(), thermal->SolverSeconds(), thermal->Solver());
  if (stress != nullptr)
    line("STRESS", stress->Seconds(), stress->SolverSeconds(), stress->Solver());
  ch.SendInfo(fmt::format(" WORK ARRAY: {} OF {} WORDS USED", w.Control().NextFree - 1,
                          w.Control().TotalWords));
}

}  // namespace

void RunEngine(numlib::ModuleState& m, const RunArguments& a) {
  numlib::WorkStorage& w = m.storage;
  numlib::ProgressChannel& ch = m.channel;
  w.Allocate(a.words < 0 ? 0 : a.words);
  w.SetWarnAtEveryLevel(true);

  std::ifstream datStream(a.dataFile, std::ios::binary);
  if (a.dataFile.empty() || !datStream)
    throw numlib::FatalStop("COULD NOT OPEN INPUT FILE.", VEMTO_ERROR_INPUT_FILE);

  RunData d;
  if (!DefineHeaderMatrices(w, d.m)) throw numlib::FatalStop(kTooLarge, VEMTO_ERROR_TOO_LARGE);
  ch.SendInfo(" CREATING MATRICES");
  FreeFormatReader in(datStream, a.dataFile);
  std::string title;
  try {
    ReadAnalysisHeader(in, d.header, title);
  } catch (const InputError& e) {
    BadInput(e.what());
  }
  FillHeaderMatrices(d.header, title, d.m);
  const AnalysisHeader& h = d.header;

  try {
    const StepCounts counts = CountSteps(h.initialTime, a.intervals);
    if (counts.stores > 89999999) throw InputError("too many storage events");
    d.nSteps = static_cast<int>(counts.steps);
    d.nStore = static_cast<int>(counts.stores);
  } catch (const InputError& e) {
    throw numlib::FatalStop(std::string(" INVALID TIME INTERVALS: ") + e.what(),
                            VEMTO_ERROR_INPUT_FILE);
  }

  if (!DefineRunMatrices(w, d)) throw numlib::FatalStop(kTooLarge, VEMTO_ERROR_TOO_LARGE);

  ch.SendInfo(" READING INPUT DATA");
  try {
    ReadAnalysisBody(in, d);
  } catch (const InputError& e) {
    BadInput(e.what());
  }

  const int sim = h.SimulationType();
  std::optional<TemperatureMaturityFile> tm;
  if (sim == 2) {
    tm.emplace();
    if (!tm->Open(a.tmFile, d)) throw numlib::FatalStop(kNoTmData, VEMTO_ERROR_NO_TM_DATA);
  }

  m.files.OpenDataFile(kResultUnit, a.resultFile);
  WriteInputPart(m.files, w);

  if (!DefineSolverMatrices(w, d)) throw numlib::FatalStop(kTooLarge, VEMTO_ERROR_TOO_LARGE);
  datStream.close();

  // Ends the run early: the result database is closed and kept without TIME.
  auto closeFiles = [&] {
    m.files.CloseDataFile(kResultUnit);
    tm.reset();
  };

  std::optional<TemperatureStep> thermal;
  if (sim == 0) thermal.emplace(d, &SendWorking);
  std::unique_ptr<StressStepper> stress;
  if (h.StressesComputed()) stress = MakeStressStepper(d, &SendWorking);

  const std::vector<TimeInterval>& iv = a.intervals;
  const int nInt = static_cast<int>(iv.size());
  int k = 0;
  double time = h.initialTime;
  double nextStore = nInt > 0 ? h.initialTime + iv[0].store : 0.0;
  int counter = 0;
  bool thermalSystemReported = false;
  for (int step = 1; step <= d.nSteps; ++step) {
    if (k + 1 < nInt && time >= iv[k].end - kEndTolerance * iv[k].step) ++k;
    const double dt = iv[k].step;
    d.m.GIR(2) = dt;
    time += dt;

    ch.SendTimeStep();
    if (ch.BreakRequested()) return closeFiles();

    if (thermal) {
      if (step == 1)
        for (const std::string& warning : thermal->MaterialWarnings()) ch.SendInfo(warning);
      const ElementFailure f = thermal->Run(time, dt);
      const SolverStatus st = thermal->LastSolverStatus();
      if (!f && st != SolverStatus::kNormal && !thermalSystemReported) {
        // Reported once per run: the step goes on with the solver's result.
        thermalSystemReported = true;
        ch.SendInfo(st == SolverStatus::kSingular
                        ? fmt::format(" WARNING: TEMPERATURE SYSTEM SINGULAR IN STEP {} AT {:g} H -"
                                      " NO HEAT CAPACITY OR CONDUCTION? TEMPERATURES SET TO ZERO",
                                      step, time / 3600.0)
                        : fmt::format(" WARNING: TEMPERATURE SYSTEM NOT POSITIVE DEFINITE IN STEP"
                                      " {} AT {:g} H - THERMAL DATA NOT POSITIVE?",
                                      step, time / 3600.0));
      }
      if (ch.BreakRequested()) return closeFiles();
      if (f) {
        ch.SendError(VEMTO_ERROR_GENERAL, JacobianMessage(f));
        closeFiles();
        ch.SendFinished(" COMPUTATION FINISHED");
        return;
      }
    }
    if (tm && !tm->Advance(time, d)) throw numlib::FatalStop(kNoTmData, VEMTO_ERROR_NO_TM_DATA);
    if (stress) {
      stress->Run(time, dt, ch);
      if (ch.BreakRequested()) return closeFiles();
      if (ch.ErrorReported()) {
        closeFiles();
        ch.SendFinished(" COMPUTATION FINISHED");
        return;
      }
    }

    // A storage time counts as reached within a millionth of the step (not of the time
    // itself, which would be no tolerance near 0 and the wrong side of it for negative times).
    if (time >= nextStore - kEndTolerance * dt) {
      ++counter;
      // Events beyond the counted number are not recorded: every stored event has
      // its time in TIME.
      if (counter <= d.nStore) {
        d.m.TIME(counter) = time;
        WriteStorageEvent(m.files, w, h, counter);
      }
      double inc = iv[k].store;
      if (k + 1 < nInt && std::fabs(time - iv[k].end) <= kEndTolerance * iv[k].step)
        inc = iv[k + 1].store;
      nextStore += inc;
    }
  }

  m.files.WriteMatrixToDataFile("TIME", "TIME", w, kResultUnit);
  if (std::getenv("VEMTO_TIMINGS") != nullptr) ReportTimes(ch, d, w, thermal, stress.get());
  closeFiles();
  w.Release();
  ch.SendFinished("COMPUTATION FINISHED");
}

void Execute(VemtoWindowHandle window, const std::int32_t* nInt, const double* intervals,
             const std::int32_t* words, const char* dataFile, const char* resultFile,
             const char* tmFile) {
  numlib::Module().channel.Init(window);
  numlib::RunGuarded(VEMTO_ERROR_GENERAL, VEMTO_ERROR_TOO_LARGE, [&](numlib::ModuleState& m) {
    RunArguments a;
    const std::int32_t n = nInt != nullptr && intervals != nullptr ? *nInt : 0;
    for (std::int32_t i = 0; i < n; ++i)
      a.intervals.push_back({intervals[3 * i], intervals[3 * i + 1], intervals[3 * i + 2]});
    a.words = words != nullptr ? *words : 0;
    if (dataFile != nullptr) a.dataFile = numlib::FieldText(dataFile);
    if (resultFile != nullptr) a.resultFile = numlib::FieldText(resultFile);
    if (tmFile != nullptr) a.tmFile = numlib::FieldText(tmFile);
    RunEngine(m, a);
  });
}

}  // namespace vemto::engine
