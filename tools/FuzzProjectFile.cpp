// libFuzzer target for the project-file reader: any bytes given as a ".v3" file must
// either load or fail with a FileError; nothing else may happen.
//
//   cmake -DCMAKE_CXX_COMPILER=clang++ -DVEMTO_FUZZ=ON ...; build vemto-fuzz-project;
//   vemto-fuzz-project -max_total_time=60 CORPUS_DIR examples/
#include <cstddef>
#include <cstdint>
#include <vector>

#include "VemtoFile.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::vector<std::uint8_t> bytes(data, data + size);
  try {
    const vemto::TCompoundImage image = vemto::ParseCompoundFile(bytes, "fuzz.v3");
    vemto::TVemtoFile doc;
    doc.LoadImage(image, "fuzz.v3");
    doc.BuildImage();
    doc.TotalTimeSteps();
    doc.TotalStoredSteps();
  } catch (const vemto::FileError&) {
  }
  return 0;
}
