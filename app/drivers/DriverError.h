// The error type of the computation drivers.
#pragma once

#include <stdexcept>
#include <string>

namespace vemto {

/// A failure of a driver operation (a library that cannot be loaded, a file name that
/// does not fit, a run that cannot start). The text is complete and meant for the user.
class TDriverError : public std::runtime_error {
 public:
  explicit TDriverError(const std::string& message) : std::runtime_error(message) {}
};

}  // namespace vemto
