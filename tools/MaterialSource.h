// The readable source of the material library: blocks of "key value" lines, one block
// per material, turned into materials with the model's own defaults.
#pragma once

#include <filesystem>
#include <stdexcept>
#include <string>

#include "VemtoLists.h"

namespace vemto::tools {

/// A source line that cannot be used; the message names the file and the line.
class MaterialSourceError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

/// Reads the material source `source` and appends its materials to `out`, in source
/// order. Each material gets the defaults of its kind, cement type, cement content and
/// water-cement ratio from "cempropt" and "conpropt" in `propertyFolder`, then the
/// properties and options the block sets. Throws MaterialSourceError for an unreadable
/// file, an unknown key, a malformed number, a property or option number out of range,
/// a missing setting, a duplicate name or a material the defaults refuse.
///
/// Layout: '#' starts a comment; blank lines are ignored; "material NAME" starts a
/// block; inside a block: "kind heat" or "kind inert", "cement N" (1-based type in
/// "cempropt", default 1), "content X" (cement content, kg/m3), "wc X" (water-cement
/// ratio), "P<k> X" (property k in stored units: SI, times in s) and "option<k> 0|1".
void ReadMaterialSource(const std::filesystem::path& source,
                        const std::filesystem::path& propertyFolder, TVemtoMaterialList& out);

}  // namespace vemto::tools
