// A fatal stop of a library run.
//
// Thrown inside a library (storage manager, data files, and any code of the
// libraries that must end the run at once). It never crosses the library boundary:
// each entry point (meshgen's and engine's `execute`) runs its body through
// numlib::RunGuarded (ModuleState.h), which catches it and reports its text through
// the progress channel as an error message (2026) with the stop's code, or with the
// entry point's default code when the stop carries none.
#pragma once

#include <stdexcept>
#include <string>

namespace numlib {

class FatalStop : public std::runtime_error {
 public:
  /// text: the error line as reported (usually with its leading blank);
  /// code: error code for message 2026, 0 = the entry point's default code.
  explicit FatalStop(const std::string& text, int code = 0)
      : std::runtime_error(text), code_(code) {}

  /// Error code for message 2026; 0 = the entry point's default.
  int Code() const noexcept { return code_; }

 private:
  int code_;
};

}  // namespace numlib
