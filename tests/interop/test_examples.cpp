// The bundled example projects and the material library: what the generators make is
// what is stored, every field survives a round trip, independent readers agree.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <stdlib.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>

#include <filesystem>
#include <fstream>
#include <map>
#include <set>

#include "ExampleModels.h"
#include "MaterialSource.h"
#include "VemtoFile.h"
#include "VemtoLogic.h"
#include "test_file_model.h"
#include "test_file_util.h"

namespace vemto {
namespace {

using test::ExpectSameModel;
using test::PropertyDataFolder;
using test::TempDir;

std::string SourceFile() {
  return std::string(VEMTO_SOURCE_DIR) + "/data/materials.txt";
}
std::string ExampleFile(const std::string& name) {
  return std::string(VEMTO_SOURCE_DIR) + "/examples/" + name;
}

const TVemtoMaterialList& Library() {
  static const TVemtoMaterialList library = [] {
    TVemtoMaterialList l;
    tools::ReadMaterialSource(SourceFile(), PropertyDataFolder(), l);
    return l;
  }();
  return library;
}

TEST(Examples, StoredProjectsAreWhatTheGeneratorMakes) {
  ASSERT_EQ(tools::ExampleProjects().size(), 3u);
  for (const auto& example : tools::ExampleProjects()) {
    SCOPED_TRACE(example.FileName);
    TVemtoFile made;
    made.PropertyFolder = PropertyDataFolder();
    example.Build(made, Library());
    TVemtoFile stored;
    stored.PropertyFolder = PropertyDataFolder();
    stored.SetFileName(ExampleFile(example.FileName));
    stored.Load();
    ExpectSameModel(made, stored);
    // The stored streams are exactly the generated ones.
    const TCompoundImage raw = ReadCompoundFile(stored.FileName);
    const TCompoundImage image = made.BuildImage();
    for (const auto& st : image.Storages)
      for (const auto& s : st.Streams) {
        const auto* other = raw.Find(st.Name, s.Name);
        ASSERT_NE(other, nullptr) << st.Name << "/" << s.Name;
        EXPECT_EQ(other->Bytes, s.Bytes) << st.Name << "/" << s.Name;
      }
  }
}

TEST(Examples, RoundTripKeepsEveryField) {
  TempDir dir;
  for (const auto& example : tools::ExampleProjects()) {
    SCOPED_TRACE(example.FileName);
    TVemtoFile doc;
    doc.PropertyFolder = PropertyDataFolder();
    doc.SetFileName(ExampleFile(example.FileName));
    doc.Load();
    doc.SetFileName(dir.Path(example.FileName));
    doc.Save();
    TVemtoFile back;
    back.PropertyFolder = PropertyDataFolder();
    back.SetFileName(doc.FileName);
    back.Load();
    ExpectSameModel(doc, back);
    EXPECT_EQ(back.Nodes.size(), doc.Nodes.size());
    EXPECT_EQ(back.Positions.size(), doc.Positions.size());
  }
}

TEST(Examples, PassTheModelCheckAndDescribeWhatTheySay) {
  std::map<std::string, TVemtoFile> docs;
  for (const auto& example : tools::ExampleProjects()) {
    SCOPED_TRACE(example.FileName);
    TVemtoFile& doc = docs[example.FileName];
    doc.PropertyFolder = PropertyDataFolder();
    doc.SetFileName(ExampleFile(example.FileName));
    doc.Load();
    TVemtoLogic logic;
    logic.CheckModel(doc);
    EXPECT_THAT(logic.Errors, ::testing::IsEmpty());
    EXPECT_THAT(logic.Warnings, ::testing::IsEmpty());
  }
  const TVemtoFile& wall = docs["wall_on_slab.v3"];
  EXPECT_EQ(wall.GeneralInfo.AnalysisType, 2);
  int infinite = 0;
  for (const auto& s : wall.Surfaces) infinite += s->ElementType == 1 ? 1 : 0;
  EXPECT_EQ(infinite, 5);
  EXPECT_EQ(wall.TotalTimeSteps(), 36 + 44);
  const TVemtoFile& column = docs["column_axisymmetric.v3"];
  EXPECT_EQ(column.GeneralInfo.AnalysisType, 3);
  for (const auto& n : column.Nodes) EXPECT_GE(n->Coord->X, 0.0);
  const TVemtoFile& slab = docs["slab_cooling_pipes.v3"];
  ASSERT_EQ(slab.Pipes.Count(), 1u);
  EXPECT_EQ(slab.Pipes[0]->RefCount, 6);
  EXPECT_NE(slab.Pipes[0]->Condition, nullptr);
}

// The wall faces the formwork covered meet the air from its removal at 72 h; without
// that condition they would stay adiabatic, and the check says so.
TEST(Examples, FacesLaidOpenByTheFormworkRemovalAreCooled) {
  TVemtoFile wall;
  wall.PropertyFolder = PropertyDataFolder();
  wall.SetFileName(ExampleFile("wall_on_slab.v3"));
  wall.Load();
  std::erase_if(wall.Positions, [](const auto& pos) {
    return pos->Condition && pos->Condition->Name == "Air after stripping";
  });
  TVemtoLogic logic;
  logic.CheckModel(wall);
  EXPECT_THAT(logic.Warnings,
              ::testing::Contains("Faces of surface 12 are exposed without a temperature "
                                  "condition after surface 11 is removed at 72 h."));
  EXPECT_EQ(logic.Warnings.size(), 4u);  // wall and slab strip, on either side
}

TEST(Examples, IndependentReaderSeesTheStoredStreams) {
  for (const auto& example : tools::ExampleProjects()) {
    SCOPED_TRACE(example.FileName);
    const std::string file = ExampleFile(example.FileName);
    std::map<std::string, std::vector<std::uint8_t>> seen;
    ASSERT_TRUE(test::RunOlefileDump(file, seen));
    const TCompoundImage image = ReadCompoundFile(file);
    EXPECT_EQ(seen.size(), 22u);
    for (const auto& st : image.Storages)
      for (const auto& s : st.Streams) EXPECT_EQ(seen[st.Name + "/" + s.Name], s.Bytes);
  }
}

TEST(MaterialLibrary, SourceGivesConcretesAndInertMaterials) {
  const TVemtoMaterialList& lib = Library();
  ASSERT_GE(lib.Count(), 7u);
  std::set<int> cements;
  std::set<double> ratios;
  int concretes = 0;
  for (const auto& m : lib) {
    if (m->Option(1) == 1) {
      ++concretes;
      cements.insert(m->Cement.SelectedCement);
      ratios.insert(m->WaterCementRatio());
      EXPECT_GT(m->P(8), 0.0) << m->Name;
    } else {
      EXPECT_EQ(m->P(39), 0.0) << m->Name;
    }
  }
  EXPECT_GE(concretes, 4);
  EXPECT_GE(cements.size(), 4u);
  EXPECT_GE(ratios.size(), 4u);
  for (const char* name : {"Rock, granite", "Soil, moraine", "Hardened concrete, 28 days"})
    EXPECT_TRUE(lib.Contains(name)) << name;
  // A property set by the source replaces the default.
  for (const auto& m : lib)
    if (m->Name == "Formwork, plywood, removed at 72 h") EXPECT_EQ(m->P(2), 259200.0);
}

// A concrete named "Cfck/fck,cube" reaches that class and not the next one:
// fck = fcm - 8 MPa with fcm = P64, within 0.1 MPa.
TEST(MaterialLibrary, ConcretesAreNamedByTheClassTheyReach) {
  const std::vector<int> classes = {12, 16, 20, 25, 30, 35, 40, 45, 50, 55, 60};
  int named = 0;
  for (const auto& m : Library()) {
    int fck = 0, cube = 0;
    if (m->Option(1) != 1 || std::sscanf(m->Name.c_str(), "C%d/%d", &fck, &cube) != 2) continue;
    ++named;
    const double reached = m->P(64) / 1e6 - 8.0;
    EXPECT_GE(reached, fck - 0.1) << m->Name << ": fck " << reached << " MPa";
    const auto next = std::upper_bound(classes.begin(), classes.end(), fck);
    if (next != classes.end()) EXPECT_LT(reached, *next - 0.1) << m->Name << ": fck " << reached;
  }
  EXPECT_GE(named, 4);
}

TEST(MaterialLibrary, BuiltLibraryBesideTheProgramsHoldsTheSource) {
  TVemtoFile library;
  library.PropertyFolder = PropertyDataFolder();
  LoadMaterialLibrary(library, VEMTO_BIN_DIR);
  ASSERT_EQ(library.Materials.Count(), Library().Count());
  for (std::size_t i = 0; i < library.Materials.Count(); ++i) {
    EXPECT_EQ(library.Materials[i]->Name, Library()[i]->Name);
    EXPECT_EQ(library.Materials[i]->Properties, Library()[i]->Properties);
    EXPECT_EQ(library.Materials[i]->Options, Library()[i]->Options);
  }
}

TEST(MaterialLibrary, ReadAndWrittenBesideTheProgramOrPerUser) {
  TempDir dir;
  const std::string program = dir.Path("bin");
  std::filesystem::create_directories(program);
  ::setenv("XDG_DATA_HOME", dir.Path("xdg").c_str(), 1);
  EXPECT_EQ(UserDataFolder(), std::filesystem::path(dir.Path("xdg")) / "vemto");
  EXPECT_EQ(MaterialLibraryReadPath(program), std::filesystem::path(program) / "materials.db");
  EXPECT_EQ(MaterialLibraryWritePath(program), std::filesystem::path(program) / "materials.db");

  // A missing library is an empty one.
  TVemtoFile library;
  LoadMaterialLibrary(library, program);
  EXPECT_EQ(library.Materials.Count(), 0u);
  library.Materials.Add(
      std::make_unique<TVemtoMaterial>("Mine", 0, 1, 0.0, 0.5, PropertyDataFolder()));
  SaveMaterialLibrary(library, program);
  TVemtoFile again;
  again.PropertyFolder = PropertyDataFolder();
  LoadMaterialLibrary(again, program);
  ASSERT_EQ(again.Materials.Count(), 1u);
  EXPECT_EQ(again.Materials[0]->Name, "Mine");

  const char* oldHome = std::getenv("HOME");
  const std::string home = oldHome ? oldHome : "";
  ::setenv("XDG_DATA_HOME", "", 1);
  ::setenv("HOME", dir.Path("home").c_str(), 1);
  EXPECT_EQ(UserDataFolder(), std::filesystem::path(dir.Path("home")) / ".local/share/vemto");
  ::unsetenv("XDG_DATA_HOME");
  if (oldHome)
    ::setenv("HOME", home.c_str(), 1);
  else
    ::unsetenv("HOME");

  // A damaged library is reported, not silently replaced.
  test::WriteBytes(program + "/materials.db", std::vector<std::uint8_t>(700, 1));
  TVemtoFile damaged;
  EXPECT_THROW(LoadMaterialLibrary(damaged, program), FileError);
}

TEST(MaterialLibrary, SourceErrorsNameTheLine) {
  TempDir dir;
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"kind heat\n", ":1: \"kind\" before the first material"},
      {"material A\nkind warm\n", ":2: kind \"warm\""},
      {"material A\nkind heat\ncontent 3x0\n", ":3: \"3x0\" is not a number"},
      {"material A\nP69 1\n", ":2: property \"P69\""},
      {"material A\noption8 1\n", ":2: \"option8\""},
      {"material A\noption1 2\n", ":2: option value \"2\""},
      {"material A\ncolour red\n", ":2: unknown key \"colour\""},
      {"material A\nkind heat\ncontent 300\n", ":1: material \"A\" has no wc"},
      {"material A\nkind heat\ncement 9\ncontent 300\nwc 0.5\n", ":1: "},
      {"material A\nkind inert\ncontent 0\nwc 0.5\nmaterial A\nkind inert\ncontent 0\nwc 0.5\n",
       ":5: material \"A\" is defined twice"},
  };
  for (const auto& [text, expected] : cases) {
    const std::string file = dir.Path("m.txt");
    std::ofstream(file) << text;
    TVemtoMaterialList list;
    try {
      tools::ReadMaterialSource(file, PropertyDataFolder(), list);
      ADD_FAILURE() << "accepted: " << text;
    } catch (const tools::MaterialSourceError& e) {
      EXPECT_NE(std::string(e.what()).find(file + expected), std::string::npos) << e.what();
    }
  }
}

}  // namespace
}  // namespace vemto
