// Steps after the first do not allocate: once the matrix pattern is known, the
// element loops, the assembly and the solver's own storage are reused. Global
// operator new is replaced in this program to count the allocations of the steps
// (the sparse factorisation allocates through malloc inside CHOLMOD and keeps its
// storage in the factor as well).
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <memory>
#include <new>
#include <string>

#include "AnalysisData.h"
#include "DatBuilder.h"
#include "EngineHarness.h"
#include "LoadedModel.h"
#include "MechStressStep.h"
#include "MechanicsBuilder.h"
#include "ProgressChannel.h"
#include "TemperatureStep.h"

namespace {
long g_allocations = 0;
bool g_counting = false;
}  // namespace

// Every replaceable form without alignment, so that allocation and release always
// meet (the sanitizers check that they do).
void* operator new(std::size_t n) {
  if (g_counting) ++g_allocations;
  if (void* p = std::malloc(n != 0 ? n : 1)) return p;
  throw std::bad_alloc();
}
void* operator new[](std::size_t n) {
  return operator new(n);
}
void* operator new(std::size_t n, const std::nothrow_t&) noexcept {
  if (g_counting) ++g_allocations;
  return std::malloc(n != 0 ? n : 1);
}
void* operator new[](std::size_t n, const std::nothrow_t& t) noexcept {
  return operator new(n, t);
}
void operator delete(void* p) noexcept {
  std::free(p);
}
void operator delete[](void* p) noexcept {
  std::free(p);
}
void operator delete(void* p, std::size_t) noexcept {
  std::free(p);
}
void operator delete[](void* p, std::size_t) noexcept {
  std::free(p);
}
void operator delete(void* p, const std::nothrow_t&) noexcept {
  std::free(p);
}
void operator delete[](void* p, const std::nothrow_t&) noexcept {
  std::free(p);
}

namespace vemto::engine {
namespace {

using testing::DatModel;
using testing::LoadedModel;
using testing::Mechanics;
using testing::ScratchDir;
using testing::WithMechanics;

// A hydrating section on a held base, cooled at the top, every element cast at
// the start: the matrix pattern is complete after the first step.
std::string WriteModel(const ScratchDir& dir) {
  DatModel m = testing::Rectangle(6, 4, 3.0, 2.0);
  testing::DatMaterial& c = m.materials[0];
  c = testing::DatMaterial::HydratingConcrete();
  m.CoolTop(6, {10.0, {{0.0, 10.0}, {1e9, 10.0}}});
  m.tempMode = 0;
  Mechanics mech;
  mech.DevelopWithMaturity();  // developing stiffness: a new factorisation every step
  mech.HoldBase(m);
  const std::string path = dir.File("section.dat");
  std::ofstream(path, std::ios::binary) << WithMechanics(m, mech);
  return path;
}

long AllocationsOfLaterSteps(const std::string& path, SolverKind kind) {
  LoadedModel model(path, kind);
  RunData& d = model.d;
  EXPECT_EQ(d.m.RK.Size() > 0, kind == SolverKind::kBand);  // the band matrix only there

  numlib::ProgressChannel channel;
  TemperatureStep thermal(d, nullptr);
  mech::MechStressStep stress(d, nullptr);
  const double dt = 3600.0;
  long allocations = 0;
  for (int step = 1; step <= 8; ++step) {
    g_allocations = 0;
    g_counting = step > 2;
    EXPECT_FALSE(thermal.Run(step * dt, dt));
    EXPECT_TRUE(stress.Run(step * dt, dt, channel));
    g_counting = false;
    allocations += g_allocations;
  }
  // Every stress matrix differs from the last: solved by conjugate gradients with the
  // kept factorisation (or factorised again) in the counted steps.
  const SparseSolverCounts c = stress.Solver().Counts();
  EXPECT_GT(c.factorisations + c.iterative, kind == SolverKind::kSparse ? 2 : -1);
  EXPECT_EQ(c.iterative > 0, kind == SolverKind::kSparse);
  return allocations;
}

TEST(StepAllocations, LaterStepsAllocateNothingOnEitherPath) {
  ScratchDir dir;
  const std::string path = WriteModel(dir);
  EXPECT_EQ(AllocationsOfLaterSteps(path, SolverKind::kSparse), 0);
  EXPECT_EQ(AllocationsOfLaterSteps(path, SolverKind::kBand), 0);
}

TEST(StepAllocations, CounterSeesAllocations) {
  g_allocations = 0;
  g_counting = true;
  auto p = std::make_unique<double[]>(100);
  g_counting = false;
  EXPECT_EQ(g_allocations, 1);
  EXPECT_NE(p.get(), nullptr);
}

}  // namespace
}  // namespace vemto::engine
