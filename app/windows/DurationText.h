// Texts of durations and progress shown in the progress windows.
#pragma once

#include <string>

namespace vemto {

/// A duration in seconds as "hh:mm:ss": whole seconds (fractions dropped), hours with at
/// least two digits and without wrapping at 24 h ("27:03:10", "123:00:00"). Negative
/// or non-finite durations show as "00:00:00".
std::string FormatDuration(double seconds);

}  // namespace vemto
