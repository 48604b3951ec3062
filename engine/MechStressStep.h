// The stress step of the time loop: one incremental, linear stress solution per step with
// the young-concrete model at every Gauss point, springs, loads, prescribed displacements,
// the release of former supports and the residual carried into the next step.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "BandSolver.h"
#include "ConcreteMaterial.h"
#include "MechElement.h"
#include "MechTypes.h"
#include "ProgressChannel.h"
#include "RunData.h"
#include "SparseSolver.h"
#include "WorkerPool.h"

namespace vemto::engine::mech {

class MechStressStep {
 public:
  // `d` must have its run and solver matrices defined; `working` is the solver's per-row
  // callback. Reads the mechanical materials once. Throws std::invalid_argument for an
  // analysis type other than 1, 2, 3.
  MechStressStep(RunData& d, WorkingCallback working);

  // Advances displacements, stresses and states to time t (end of the step, s) with step dt
  // (s). Returns false after reporting an error through `channel` (non-positive Jacobian, or a
  // result that is not a number); then the step's end-of-step update has not been made and
  // nothing of it may be stored. The first singular system of the run, or the first system
  // with a non-positive pivot while no crack is softening (softening cracks make the
  // stiffness indefinite on purpose), is reported once as information text; so are, at the
  // first step, materials of the elements whose parameters cannot work (ConcreteMaterial::problem).
  bool Run(double t, double dt, numlib::ProgressChannel& channel);

  // Status of the last band solution.
  SolverStatus LastSolverStatus() const { return status_; }

  // Wall-clock seconds spent so far: whole steps, and the band solutions within them.
  struct Times {
    double total = 0.0;   // s
    double solver = 0.0;  // s
  };
  const Times& TimesSpent() const { return times_; }
  // The equation solver (sparse path unless VEMTO_SOLVER=band).
  const EquationSolver& Solver() const { return solver_; }
  // Whether a changed stiffness may be solved by conjugate gradients preconditioned with
  // the last factorisation (on by default; off: every changed stiffness is factorised).
  void SetIterativeSolution(bool on) { solver_.SetIterativeReuse(on); }
  // Entries outside the matrix pattern (while it grows) a thread gathers before the
  // threads stop and hand them over (default kSpillLimit); bounds their memory and
  // does not change a result.
  void SetSpillLimit(std::size_t entries) { spillLimit_ = entries; }

 private:
  struct PointInput {
    double dMaturity = 0.0;
    double dTemperature = 0.0;
  };
  bool Step(double t, double dt, numlib::ProgressChannel& channel);
  void ReportMaterialProblems(numlib::ProgressChannel& channel) const;
  // One element's share of a pass, computed and added by the thread that takes its block.
  // One cache line or more of its own: the threads write theirs for every element.
  struct alignas(64) ElementWork {
    enum class Status : int { kInactive, kDone, kJacobian, kNotANumber };
    ElementMatrix K;      // stiffness (pass 1)
    ElementVector f, fb;  // free-strain load (pass 1) or internal force (pass 2); body force
    std::array<int, 8> nodes;
    std::array<int, 16> dof;               // degrees of freedom in ascending order
    std::array<std::uint8_t, 16> local{};  // their local numbers (2 × node + direction)
    Status status = Status::kInactive;
    bool softening = false;  // a Gauss point entered the step with a softening crack
    int element = 0;         // the element (1-based)
  };
  bool ElementPass(int pass, double t, double dt, numlib::ProgressChannel& channel);
  // Pass 1: stiffness and loads of element e; pass 2: its stress update (stored at once)
  // and internal force. Touches only the element's own data.
  void ComputeElement(int pass, int e, double t, double dt, ElementWork& w);
  // Adds the element's share to the matrix and the force vectors.
  void AddElement(int pass, const ElementWork& w, EquationSolver::Spill& spill);
  // Deals blocks of consecutive elements into colours whose blocks share no node
  // (colourStart_, colourBlocks_).
  void ColourElements();
  void Boundary(double t, double tPrev, bool forcesOnly);
  void Prescribed(double t);
  double ElementTemperatureAndMaturity(int e, double t, double& maturity) const;
  void Fail(numlib::ProgressChannel& channel, const std::string& text);

  RunData& d_;
  WorkingCallback working_;
  EquationSolver solver_;
  AnalysisType analysis_;
  std::vector<ConcreteMaterial> materials_;
  SolverStatus status_ = SolverStatus::kNormal;
  bool solverReported_ = false;
  bool materialsReported_ = false;
  bool softening_ = false;  // some Gauss point entered the step with a softening crack
  Times times_;
  WorkerPool pool_;
  std::vector<ElementWork> work_;  // one slot per thread
  // Blocks of kColourBlock consecutive elements (block b holds elements
  // b·kColourBlock + 1 …), colour by colour: colourBlocks_[colourStart_[c] …
  // colourStart_[c+1]−1], each colour in block order; the last group is done on one
  // thread when uncolouredLast_ (blocks for which no colour was left).
  static constexpr int kColourBlock = 32;
  std::vector<int> colourStart_, colourBlocks_;
  // A colour's blocks are shared out in one run of the threads, unless a thread's
  // entries outside the matrix pattern (while it grows) pass spillLimit_: then the
  // threads stop taking blocks, the entries are handed over and the colour goes on,
  // so that they never take much memory.
  static constexpr std::size_t kSpillLimit = 65536;
  std::size_t spillLimit_ = kSpillLimit;
  bool uncolouredLast_ = false;
  std::array<EquationSolver::Spill, WorkerPool::kMaxThreads> spills_;
  // Sparse path: per element, the places in the assembly of the kElementEntries entries
  // its stiffness adds (in the order AddElement adds them), found by the first pass
  // after the pattern last grew and valid for the pattern version
  // placesVersion_[e − 1] (0: none, e.g. a node twice in the element).
  static constexpr int kElementEntries = 136;
  std::vector<std::int32_t> places_;
  std::vector<std::uint64_t> placesVersion_;
};

}  // namespace vemto::engine::mech
