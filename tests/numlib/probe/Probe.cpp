// A minimal computation library for the tests: one copy of numlib behind a few flat
// entry points, built twice (libnumlib_probe_a.so, libnumlib_probe_b.so).
#include "ModuleState.h"

extern "C" {

/// Sends an information message through this library's channel.
VEMTO_EXPORT void numlib_probe_info(const char* text) {
  numlib::Module().channel.SendInfo(text);
}

/// 1 when this library's break flag is set.
VEMTO_EXPORT int numlib_probe_break_requested(void) {
  return numlib::Module().channel.BreakRequested() ? 1 : 0;
}

/// A guarded call that defines a matrix and then stops with a fatal error.
VEMTO_EXPORT void numlib_probe_fail(int words) {
  numlib::RunGuarded(VEMTO_ERROR_GENERAL, VEMTO_ERROR_TOO_LARGE, [words](numlib::ModuleState& m) {
    m.storage.Allocate(words);
    if (m.storage.DefineMatrix("COOR", 10, 2, numlib::MatrixType::Real) == 0)
      throw numlib::FatalStop(" PROBLEM TOO LARGE.", VEMTO_ERROR_TOO_LARGE);
    m.storage.Reals("RK");
  });
}
}
