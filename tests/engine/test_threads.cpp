// The element passes of the stress step run on several threads; the results do not
// depend on their number, bit for bit, on both solution paths.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "ConcreteState.h"
#include "DatBuilder.h"
#include "EngineHarness.h"
#include "LoadedModel.h"
#include "MechStressStep.h"
#include "MechanicsBuilder.h"
#include "TemperatureStep.h"
#include "WorkerPool.h"

namespace vemto::engine {
namespace {

using testing::DatModel;
using testing::LoadedModel;
using testing::Mechanics;
using testing::ScratchDir;

// A hydrating wall of 40 × 16 elements (20 blocks of the element passes, in several colours) on a
// held base, its upper half cast at 12 h, cooled at the top, with developing stiffness and
// cracking.
std::string WriteWall(const ScratchDir& dir) {
  DatModel m = testing::Rectangle(40, 16, 8.0, 3.2);
  testing::DatMaterial& c = m.materials[0];
  c = testing::DatMaterial::HydratingConcrete();
  testing::DatMaterial upper = c;
  upper.cast = 12 * 3600.0;
  m.materials.push_back(upper);
  for (std::size_t e = 320; e < m.el8.size(); ++e) m.el8[e][8] = 2;
  m.CoolTop(40, {10.0, {{0.0, 5.0}, {1e9, 5.0}}});
  m.tempMode = 0;
  Mechanics mech;
  mech.DevelopWithMaturity();
  mech.switches[1] = 1;  // cracking
  mech.rows[21] = 1e6;   // low tensile strength: the restrained wall cracks
  mech.HoldBase(m);
  const std::string path = dir.File("wall.dat");
  std::ofstream(path, std::ios::binary) << testing::WithMechanics(m, mech);
  return path;
}

struct Fields {
  std::vector<double> values;  // U, RI, P, SIG, EPS, STATE after the last step
  int cracked = 0;
};

// `spillLimit`: entries outside the pattern a thread gathers before they are handed
// over (0: the default).
Fields RunWall(const std::string& path, SolverKind kind, const char* threads,
               std::size_t spillLimit = 0) {
  testing::EnvironmentSetting choice("VEMTO_THREADS", threads);
  LoadedModel model(path, kind);
  RunData& d = model.d;
  numlib::ProgressChannel channel;
  TemperatureStep thermal(d, nullptr);
  mech::MechStressStep stress(d, nullptr);
  if (spillLimit > 0) stress.SetSpillLimit(spillLimit);
  for (int step = 1; step <= 30; ++step) {
    EXPECT_FALSE(thermal.Run(step * 3600.0, 3600.0));
    EXPECT_TRUE(stress.Run(step * 3600.0, 3600.0, channel));
  }
  Fields f;
  for (const numlib::RealMatrix* m : {&d.m.U, &d.m.RI, &d.m.P, &d.m.SIG, &d.m.EPS, &d.m.STATE})
    f.values.insert(f.values.end(), m->Data(), m->Data() + m->Size());
  f.cracked = model.CrackedGaussPoints();
  return f;
}

// Same bits: NaN equals NaN, -0 differs from +0.
bool SameBits(const std::vector<double>& a, const std::vector<double>& b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](double x, double y) {
           return std::memcmp(&x, &y, sizeof x) == 0;
         });
}

TEST(ElementThreads, ResultsDoNotDependOnTheNumberOfThreads) {
  ScratchDir dir;
  const std::string path = WriteWall(dir);
  for (SolverKind kind : {SolverKind::kSparse, SolverKind::kBand}) {
    const Fields one = RunWall(path, kind, "1");
    const Fields two = RunWall(path, kind, "2");
    const Fields three = RunWall(path, kind, "3");
    EXPECT_GT(one.cracked, 0);
    EXPECT_TRUE(SameBits(one.values, two.values));
    EXPECT_TRUE(SameBits(one.values, three.values));
    // Handing the entries outside the growing pattern over after every block (the
    // threads stop and start again within a colour) changes nothing either.
    EXPECT_TRUE(SameBits(one.values, RunWall(path, kind, "2", 1).values));
  }
}

TEST(ElementThreads, TheEnvironmentChoosesTheTeam) {
  testing::EnvironmentSetting one("VEMTO_THREADS", "1");
  EXPECT_EQ(ThreadsFromEnvironment(), 1);
  testing::EnvironmentSetting two("VEMTO_THREADS", "2");
  EXPECT_EQ(ThreadsFromEnvironment(), 2);
  testing::EnvironmentSetting bad("VEMTO_THREADS", "two");
  EXPECT_GE(ThreadsFromEnvironment(), 1);
  EXPECT_LE(ThreadsFromEnvironment(), 2);
  WorkerPool pool(3);
  std::vector<int> seen(3, 0);
  auto job = [&](int thread) { seen[static_cast<std::size_t>(thread)] += thread + 1; };
  pool.Run(job);
  pool.Run(job);
  EXPECT_EQ(seen, (std::vector<int>{2, 4, 6}));
}

}  // namespace
}  // namespace vemto::engine
