// vemto-make-materials: builds the material library "materials.db" from its readable
// source.
//
//   vemto-make-materials SOURCE PROPERTY_FOLDER OUTPUT
//
// SOURCE is the material source (data/materials.txt), PROPERTY_FOLDER holds "cempropt"
// and "conpropt", OUTPUT is the library file to write.
#include <fmt/format.h>
#include <cstdio>
#include <exception>

#include "MaterialSource.h"
#include "VemtoFile.h"

int main(int argc, char** argv) {
  if (argc != 4) {
    fmt::print(stderr, "usage: {} SOURCE PROPERTY_FOLDER OUTPUT\n", argv[0]);
    return 2;
  }
  try {
    vemto::TVemtoFile library;
    library.PropertyFolder = argv[2];
    vemto::tools::ReadMaterialSource(argv[1], argv[2], library.Materials);
    library.SetFileName(argv[3]);
    library.Save();
    fmt::print("{}: {} materials\n", argv[3], library.Materials.Count());
    return 0;
  } catch (const std::exception& e) {
    fmt::print(stderr, "{}\n", e.what());
    return 1;
  }
}
