// The model check run before a calculation: warnings and errors in the engineer's terms.
#pragma once

#include <string>
#include <vector>

namespace vemto {

class TVemtoFile;

/// Checks a model before meshing and simulation. Surfaces, intervals and positions are
/// named by their 1-based place in their lists.
class TVemtoLogic {
 public:
  /// Clears both lists, then fills them with what is wrong with `document`.
  void CheckModel(const TVemtoFile& document);

  std::vector<std::string> Warnings;  ///< the calculation can run but may not be meant so
  std::vector<std::string> Errors;    ///< the calculation would fail or give wrong results
};

}  // namespace vemto
