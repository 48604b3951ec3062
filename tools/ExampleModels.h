// The bundled example projects, built through the model's own classes.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "VemtoFile.h"

namespace vemto::tools {

/// One example project: its file name and how it is built from the material library.
struct ExampleProject {
  std::string FileName;     ///< file name in examples/, e.g. "wall_on_slab.v3"
  std::string Description;  ///< one line for the README and the listing
  std::function<void(TVemtoFile&, const TVemtoMaterialList&)> Build;
};

/// The three examples: a wall cast on an older slab on ground (plane strain), an
/// axisymmetric column on its foundation, a thick slab with a cooling pipe. `Build`
/// fills an empty document; materials are copied from `library` by name (a missing
/// name throws std::runtime_error).
const std::vector<ExampleProject>& ExampleProjects();

}  // namespace vemto::tools
