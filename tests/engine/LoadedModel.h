// The matrices of a model read from its analysis data file, ready for steps.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <string>

#include "AnalysisData.h"
#include "ConcreteState.h"
#include "FreeFormatReader.h"
#include "SolverKind.h"
#include "WorkStorage.h"

namespace vemto::engine::testing {

struct LoadedModel {
  numlib::WorkStorage w{2000000};  ///< work array, words
  RunData d;                       ///< the run's data in the work array

  /// Reads `path` with the solver path the environment chooses.
  explicit LoadedModel(const std::string& path) { Load(path); }
  /// Reads `path` for the solver path `kind`.
  LoadedModel(const std::string& path, SolverKind kind) {
    d.solver = kind;
    Load(path);
  }

  /// Gauss points of the eight-node elements with an in-plane crack.
  int CrackedGaussPoints() const {
    int cracked = 0;
    for (int e = 1; e <= d.header.nEl8; ++e)
      for (int g = 1; g <= 4; ++g) {
        mech::ConcreteState s;
        std::copy_n(&d.m.STATE(mech::kStateWords * (g - 1) + 1, e), mech::kStateWords, s.w.begin());
        if (!s.inPlaneUncracked()) ++cracked;
      }
    return cracked;
  }

 private:
  void Load(const std::string& path) {
    std::ifstream in(path);
    FreeFormatReader reader(in, path);
    std::string title;
    EXPECT_TRUE(DefineHeaderMatrices(w, d.m));
    ReadAnalysisHeader(reader, d.header, title);
    d.nStore = 1;
    EXPECT_TRUE(DefineRunMatrices(w, d));
    ReadAnalysisBody(reader, d);
    EXPECT_TRUE(DefineSolverMatrices(w, d));
  }
};

}  // namespace vemto::engine::testing
