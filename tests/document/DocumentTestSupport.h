// Helpers shared by the document tests: the project file image of a document and the
// consistency of its reference counts.
#pragma once

#include <cstdint>
#include <vector>

#include "ProjectDocument.h"

namespace vemto::test {

/// The project file image as bytes per storage and stream.
inline std::vector<std::vector<std::uint8_t>> Image(ProjectDocument& doc) {
  std::vector<std::vector<std::uint8_t>> out;
  for (const TCompoundStorage& storage : doc.Model().BuildImage().Storages)
    for (const TCompoundStream& stream : storage.Streams) out.push_back(stream.Bytes);
  return out;
}

/// True when every reference count equals the count recomputed from the references.
inline bool CountsConsistent(ProjectDocument& doc) {
  const auto before = Image(doc);
  doc.Model().RecomputeReferenceCounts();
  return Image(doc) == before;
}

}  // namespace vemto::test
