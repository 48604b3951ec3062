// vemto-make-examples: writes the bundled example projects, or checks that the stored
// ones are what the generator makes.
//
//   vemto-make-examples [--check] SOURCE PROPERTY_FOLDER EXAMPLES_FOLDER
//
// SOURCE is the material source (data/materials.txt), PROPERTY_FOLDER holds "cempropt"
// and "conpropt". Without --check the projects are written into EXAMPLES_FOLDER; with
// --check every stream of every stored project is compared with the generated one and
// the exit status is 1 when any differs.
#include <fmt/format.h>
#include <cstdio>
#include <cstring>
#include <exception>
#include <string>

#include "ExampleModels.h"
#include "MaterialSource.h"
#include "VemtoFile.h"
#include "VemtoLogic.h"

int main(int argc, char** argv) {
  const bool check = argc == 5 && std::strcmp(argv[1], "--check") == 0;
  if (argc != 4 && !check) {
    fmt::print(stderr, "usage: {} [--check] SOURCE PROPERTY_FOLDER EXAMPLES_FOLDER\n", argv[0]);
    return 2;
  }
  const int first = check ? 2 : 1;
  const std::string source = argv[first], properties = argv[first + 1], folder = argv[first + 2];
  try {
    vemto::TVemtoMaterialList library;
    vemto::tools::ReadMaterialSource(source, properties, library);
    int differences = 0;
    for (const auto& example : vemto::tools::ExampleProjects()) {
      vemto::TVemtoFile doc;
      doc.PropertyFolder = properties;
      example.Build(doc, library);
      vemto::TVemtoLogic logic;
      logic.CheckModel(doc);
      for (const auto& e : logic.Errors) fmt::print(stderr, "{}: error: {}\n", example.FileName, e);
      if (!logic.Errors.empty()) return 1;
      doc.SetFileName(folder + "/" + example.FileName);
      if (!check) {
        doc.Save();
        fmt::print("{}: {} nodes, {} edges, {} surfaces, {} positions\n", doc.FileName,
                   doc.Nodes.size(), doc.Edges.size(), doc.Surfaces.size(), doc.Positions.size());
        continue;
      }
      const vemto::TCompoundImage stored = vemto::ReadCompoundFile(doc.FileName);
      const vemto::TCompoundImage made = doc.BuildImage();
      for (const auto& st : made.Storages)
        for (const auto& s : st.Streams) {
          const auto* other = stored.Find(st.Name, s.Name);
          if (!other || other->Bytes != s.Bytes) {
            fmt::print(stderr, "{}: {}/{} differs from the generated project\n", doc.FileName,
                       st.Name, s.Name);
            ++differences;
          }
        }
    }
    return differences == 0 ? 0 : 1;
  } catch (const std::exception& e) {
    fmt::print(stderr, "{}\n", e.what());
    return 1;
  }
}
