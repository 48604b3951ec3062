// `vemto-cli mesh MODEL.v3`: meshes a project as the desktop program's Execute does
// before the simulation, writing <base>.dat and <base>.lst beside the project file.
#include <exception>
#include <filesystem>
#include <iostream>
#include <memory>
#include <string>

#include <fmt/format.h>

#include "Commands.h"

#if __has_include("VemtoMesh.h")
#include "PropertyFiles.h"
#include "VemtoFile.h"
#include "VemtoMesh.h"
#define VEMTO_CLI_HAVE_MESH_DRIVER 1
#endif

namespace vemto::cli {
namespace {

/// The project file name without ".v3" (any other name is taken whole).
std::string BaseName(const std::string& project) {
  const std::string ext = ".v3";
  if (project.size() > ext.size() &&
      project.compare(project.size() - ext.size(), ext.size(), ext) == 0)
    return project.substr(0, project.size() - ext.size());
  return project;
}

#ifdef VEMTO_CLI_HAVE_MESH_DRIVER
int RunMesh(const std::string& project) {
  TVemtoFile doc;
  doc.SetFileName(project);
  try {
    doc.Load();
  } catch (const std::exception& e) {
    std::cerr << "vemto-cli: " << e.what() << "\n";
    return 1;
  }
  const std::string base = BaseName(project);
  TVemtoMesh mesh;
  mesh.LibraryPath = (ProgramDirectory() / "libmeshgen.so").string();
  mesh.FileName = base + ".dat";
  mesh.InputDataName = base + ".lst";
  mesh.Memory = doc.MeshMemory;
  const TVemtoProjectInfo& info = doc.ProjectInfo;
  mesh.Title = info.Title;
  mesh.Subject = info.Subject;
  mesh.Author = info.Author;
  mesh.Manager = info.Manager;
  mesh.Company = info.Company;
  mesh.Description = info.Description;
  std::string lastPhase;
  mesh.OnMessage = [](const std::string& m) { std::cerr << "vemto-cli: " << m << "\n"; };
  mesh.OnProgress = [&lastPhase](const std::string& text) {
    if (text == lastPhase) return;  // phases repeat their text per item
    lastPhase = text;
    std::cout << text << "\n";
  };
  mesh.OnFinished = [](const std::string& text) { std::cout << text << "\n"; };

  mesh.Convert(doc);
  if (mesh.Failed) {
    // Conversion problems other than the user messages above (a too long history).
    if (mesh.ErrorNumber() != 0) std::cerr << "vemto-cli: " << mesh.ErrorText() << "\n";
    return 1;
  }
  for (const auto& material : doc.Materials) mesh.AddMaterial(*material);
  mesh.Execute();
  if (mesh.Failed) {
    std::cerr << fmt::format("MESH ERROR : {}\n", mesh.ErrorText());
    return 1;
  }
  std::cout << fmt::format("Wrote {} and {}\n", mesh.FileName, mesh.InputDataName);
  return 0;
}
#else
int RunMesh(const std::string&) {
  std::cerr << "vemto-cli: the mesher driver is not part of this build\n";
  return 1;
}
#endif

}  // namespace

void AddMeshCommand(CLI::App& app, CommandStatus& status) {
  auto* cmd =
      app.add_subcommand("mesh", "Mesh a project: write <base>.dat and <base>.lst beside MODEL.v3");
  auto project = std::make_shared<std::string>();
  cmd->add_option("MODEL", *project, "Project file (.v3)")->required();
  cmd->callback([&status, project]() { status.code = RunMesh(*project); });
}

}  // namespace vemto::cli
