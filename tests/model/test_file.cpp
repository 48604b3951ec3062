// The project document and its file: defaults, layout, round trips, older files.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "VemtoFile.h"
#include "VemtoLogic.h"
#include "test_file_model.h"
#include "test_file_util.h"

namespace vemto {
namespace {

using test::ExpectSameModel;
using test::MakeSampleModel;
using test::PropertyDataFolder;
using test::ReadBytes;
using test::TempDir;
using test::WriteBytes;

std::vector<std::uint8_t> Data(const TCompoundImage& image, const char* storage) {
  const TCompoundStream* s = image.Find(storage, "Data");
  EXPECT_NE(s, nullptr) << storage;
  return s ? s->Bytes : std::vector<std::uint8_t>{};
}

std::vector<std::uint8_t> Bytes(std::initializer_list<int> v) {
  std::vector<std::uint8_t> out;
  for (int x : v) out.push_back(static_cast<std::uint8_t>(x));
  return out;
}

std::vector<std::uint8_t> Int32(std::int32_t v) {
  TStream s;
  s.WriteInt32(v);
  return s.Bytes();
}

TEST(VemtoFile, NewDocumentHasTheDefaults) {
  TVemtoFile doc;
  ASSERT_EQ(doc.Intervals.size(), 1u);
  EXPECT_EQ(doc.Intervals[0]->EndTime, 168.0);
  EXPECT_EQ(doc.Intervals[0]->TimeStep, 2.0);
  EXPECT_EQ(doc.Intervals[0]->StoreStep, 24.0);
  EXPECT_EQ(doc.MeshMemory, 800000);
  EXPECT_EQ(doc.PostMemory, 800000);
  EXPECT_EQ(doc.EngineMemory, 800000);
  EXPECT_TRUE(doc.FileName.empty());
  EXPECT_TRUE(doc.Nodes.empty() && doc.Edges.empty() && doc.Surfaces.empty());
  EXPECT_EQ(doc.Conditions.Count() + doc.Pipes.Count() + doc.Materials.Count(), 0u);
  EXPECT_EQ(doc.GeneralInfo.AnalysisType, 2);
  EXPECT_TRUE(doc.ProjectInfo.Title.empty());
  doc.SetFileName("x.v3");
  EXPECT_EQ(doc.FileName, "x.v3");
}

TEST(VemtoFile, TotalStepsRoundHalvesToEven) {
  TVemtoFile doc;
  doc.Intervals.clear();
  doc.Intervals.push_back(std::make_unique<TVemtoInterval>(168.0, 2.0, 24.0));
  doc.Intervals.push_back(std::make_unique<TVemtoInterval>(336.0, 4.0, 24.0));
  EXPECT_EQ(doc.TotalTimeSteps(), 126);
  EXPECT_EQ(doc.TotalStoredSteps(), 14);

  // 5 / 2 = 2.5 -> 2 and (12 - 5) / 2 = 3.5 -> 4 (halves to even), from InitialTime 0.
  doc.Intervals.clear();
  doc.Intervals.push_back(std::make_unique<TVemtoInterval>(5.0, 2.0, 10.0));
  doc.Intervals.push_back(std::make_unique<TVemtoInterval>(12.0, 2.0, 14.0));
  EXPECT_EQ(doc.TotalTimeSteps(), 6);
  EXPECT_EQ(doc.TotalStoredSteps(), 0 + 0);  // 0.5 -> 0 and 0.5 -> 0

  // The first interval starts at InitialTime.
  doc.GeneralInfo.InitialTime = 4.0;
  EXPECT_EQ(doc.TotalTimeSteps(), 0 + 4);  // 0.5 -> 0, 3.5 -> 4

  // A step of zero adds nothing instead of dividing by zero.
  doc.Intervals[0]->TimeStep = 0.0;
  EXPECT_EQ(doc.TotalTimeSteps(), 4);
}

TEST(VemtoFile, EmptyModelWritesElevenStoragesWithVersions) {
  TVemtoFile doc;
  const TCompoundImage image = doc.BuildImage();
  const std::map<std::string, std::pair<int, int>> versions = {
      {"Nodes", {3, 0}},     {"Curves", {3, 0}},    {"Surfaces", {3, 1}}, {"Conditions", {3, 0}},
      {"Positions", {3, 0}}, {"Pipes", {3, 0}},     {"General", {3, 0}},  {"Materials", {3, 1}},
      {"Project", {3, 0}},   {"Intervals", {3, 0}}, {"Memory", {3, 0}}};
  ASSERT_EQ(image.Storages.size(), 11u);
  for (const auto& st : image.Storages) {
    ASSERT_EQ(st.Streams.size(), 2u) << st.Name;
    const auto it = versions.find(st.Name);
    ASSERT_NE(it, versions.end()) << st.Name;
    TStream v(st.Find("Version")->Bytes);
    ASSERT_EQ(v.Size(), 8u);
    EXPECT_EQ(v.ReadInt32(), it->second.first) << st.Name;
    EXPECT_EQ(v.ReadInt32(), it->second.second) << st.Name;
    ASSERT_NE(st.Find("Data"), nullptr);
  }
  EXPECT_EQ(Data(image, "Nodes"), Bytes({0, 0, 0, 0}));
  auto memory = Int32(800000);
  std::vector<std::uint8_t> mem3;
  for (int i = 0; i < 3; ++i) mem3.insert(mem3.end(), memory.begin(), memory.end());
  EXPECT_EQ(Data(image, "Memory"), mem3);

  TempDir dir;
  doc.SetFileName(dir.Path("empty.v3"));
  doc.Save();
  TVemtoFile back;
  back.SetFileName(doc.FileName);
  back.Load();
  EXPECT_TRUE(back.Nodes.empty());
  ASSERT_EQ(back.Intervals.size(), 1u);
  EXPECT_EQ(back.Intervals[0]->EndTime, 168.0);
}

TEST(VemtoFile, OneNodeAndOneNodalPositionGiveTheExactStreams) {
  TVemtoFile doc;
  auto node = std::make_unique<TNode>(1.5, -2.0);
  node->Number = 1;
  doc.Nodes.push_back(std::move(node));
  auto* c = doc.Conditions.Add(std::make_unique<TVemtoLoadCondition>("L"));
  auto pos = std::make_unique<TVemtoNodalPos>(0.25, 0.5);
  pos->Condition = c;
  doc.Positions.push_back(std::move(pos));
  const TCompoundImage image = doc.BuildImage();

  TStream n;
  n.WriteInt32(1);
  n.WriteInt32(6);
  n.WriteBytes("TNode", 5);
  n.WriteUInt8(0);
  n.WriteInt32(1);
  n.WriteDouble(1.5);
  n.WriteDouble(-2.0);
  n.WriteDouble(0.0);
  n.WriteInt32(0);
  ASSERT_EQ(n.Size(), 46u);
  EXPECT_EQ(Data(image, "Nodes"), n.Bytes());

  TStream p;
  p.WriteInt32(1);
  p.WriteInt32(14);
  p.WriteBytes("TVemtoNodalPos", 14);
  p.WriteInt32(0);  // condition index
  p.WriteDouble(0.25);
  p.WriteDouble(0.5);
  ASSERT_EQ(p.Size(), 42u);
  EXPECT_EQ(Data(image, "Positions"), p.Bytes());
}

// The class-name entry of the first object of each list: length, bytes, zero or not.
TEST(VemtoFile, ClassNamesWithAndWithoutTerminatingZero) {
  TVemtoFile doc;
  MakeSampleModel(doc);
  const TCompoundImage image = doc.BuildImage();
  const std::vector<std::pair<const char*, std::pair<std::string, bool>>> expected = {
      {"Nodes", {"TNode", true}},
      {"Curves", {"TEdgeLine", true}},
      {"Surfaces", {"TVemtoSurface", true}},
      {"Conditions", {"TVemtoTempCondition", true}},
      {"Materials", {"TVemtoMaterial", true}},
      {"Intervals", {"TVemtoInterval", true}},
      {"Pipes", {"TVemtoPipe", false}},
      {"Positions", {"TVemtoEdgePos", false}},
  };
  for (const auto& [storage, name] : expected) {
    TStream s(Data(image, storage));
    ASSERT_GT(s.ReadInt32(), 0) << storage;
    const std::int32_t n = s.ReadInt32();
    EXPECT_EQ(n, static_cast<std::int32_t>(name.first.size() + (name.second ? 1 : 0))) << storage;
    std::string bytes(static_cast<std::size_t>(n), '?');
    s.ReadBytes(bytes.data(), bytes.size());
    EXPECT_EQ(bytes, name.second ? name.first + std::string(1, '\0') : name.first) << storage;
  }
  for (const auto& [storage, name] : std::vector<std::pair<const char*, std::string>>{
           {"General", "TVemtoGeneralInfo"}, {"Project", "TVemtoProjectInfo"}}) {
    TStream s(Data(image, storage));
    EXPECT_EQ(s.ReadInt32(), static_cast<std::int32_t>(name.size())) << storage;
    std::string bytes(name.size(), '?');
    s.ReadBytes(bytes.data(), bytes.size());
    EXPECT_EQ(bytes, name);
  }
  // The curved edge and the other condition and position kinds are named too.
  TStream curves(Data(image, "Curves"));
  EXPECT_NE(std::string(curves.Bytes().begin(), curves.Bytes().end()).find("TEdgeCurve"),
            std::string::npos);
}

TEST(VemtoFile, IndexFieldsAreRefreshedBeforeWriting) {
  TVemtoFile doc;
  MakeSampleModel(doc);
  auto* s1 = doc.Surfaces[1].get();
  for (int i = 0; i < 4; ++i) s1->SetEdgeIndex(i, 99);
  s1->MaterialIndex = 42;
  auto* line = static_cast<TEdgeLine*>(doc.Edges[4].get());
  line->NodeIndex = {17, 18};
  doc.BuildImage();
  EXPECT_EQ(s1->GetEdgeIndex(0), 4);
  EXPECT_EQ(s1->GetEdgeIndex(3), 1);
  EXPECT_EQ(s1->MaterialIndex, 1);
  EXPECT_EQ(line->NodeIndex[0], 1);
  EXPECT_EQ(line->NodeIndex[1], 2);
  EXPECT_EQ(s1->VersionMinor, 1);
  EXPECT_EQ(doc.Materials[0]->VersionMinor, 1);
  auto* pp = static_cast<TVemtoPipePos*>(doc.Positions.back().get());
  EXPECT_EQ(pp->PipeIndex, 0);
  EXPECT_EQ(doc.Pipes[0]->ConditionIndex, 2);
}

TEST(VemtoFile, SampleModelRoundTripKeepsEveryField) {
  TempDir dir;
  TVemtoFile doc;
  MakeSampleModel(doc);
  doc.SetFileName(dir.Path("sample.v3"));
  doc.Save();

  TVemtoFile back;
  back.PropertyFolder = PropertyDataFolder();
  back.SetFileName(doc.FileName);
  back.Load();
  ExpectSameModel(doc, back);

  ASSERT_EQ(back.Nodes.size(), 7u);
  EXPECT_EQ(back.Nodes[6]->Coord->X, 1.5);
  EXPECT_EQ(back.Nodes[6]->Coord->Y, 1.25);
  EXPECT_EQ(back.Nodes[1]->RefCount, 3);
  ASSERT_EQ(back.Edges.size(), 7u);
  auto* curve = dynamic_cast<TEdgeCurve*>(back.Edges[6].get());
  ASSERT_NE(curve, nullptr);
  EXPECT_EQ(curve->MiddleNode, back.Nodes[6].get());
  EXPECT_EQ(back.Edges[1]->RefCount, 2);  // shared by both surfaces
  EXPECT_EQ(back.Edges[2]->EdgeFlag, 7);
  ASSERT_EQ(back.Surfaces.size(), 2u);
  EXPECT_EQ(back.Surfaces[1]->GetEdge(3), back.Edges[1].get());
  EXPECT_EQ(back.Surfaces[0]->Material, back.Materials[0]);
  EXPECT_EQ(back.Surfaces[1]->Thickness, 0.75);
  EXPECT_EQ(back.Surfaces[0]->Thickness, -1.0);
  EXPECT_EQ(back.Surfaces[1]->RefCount, 1);
  EXPECT_EQ(back.Materials[0]->RefCount, 1);
  EXPECT_EQ(back.Materials[0]->Name, "Concrete");
  EXPECT_EQ(back.Materials[1]->P(1), -3.6e6);
  EXPECT_EQ(back.Conditions.Count(), 6u);
  EXPECT_EQ(back.Conditions[0]->History.size(), 3u);
  EXPECT_EQ(back.Conditions[0]->History[2].Value1, 12.5);
  EXPECT_EQ(back.Conditions[2]->RefCount, 1);  // the pipe
  EXPECT_EQ(back.Pipes[0]->Condition, back.Conditions[2]);
  EXPECT_EQ(back.Pipes[0]->RefCount, 2);
  ASSERT_EQ(back.Positions.size(), 7u);
  auto* edgePos = dynamic_cast<TVemtoEdgePos*>(back.Positions[0].get());
  ASSERT_NE(edgePos, nullptr);
  EXPECT_EQ(edgePos->Edge, back.Edges[2].get());
  EXPECT_EQ(edgePos->Condition, back.Conditions[0]);
  auto* pipePos = dynamic_cast<TVemtoPipePos*>(back.Positions[6].get());
  ASSERT_NE(pipePos, nullptr);
  EXPECT_EQ(pipePos->Pipe, back.Pipes[0]);
  EXPECT_EQ(pipePos->PipeOrder, 1);
  ASSERT_EQ(back.Intervals.size(), 2u);
  EXPECT_EQ(back.TotalTimeSteps(), 126);
  EXPECT_EQ(back.ProjectInfo.Description, "Two surfaces, a pipe");
  EXPECT_EQ(back.GeneralInfo.Thickness, 1.5);
  EXPECT_EQ(back.MeshMemory, 100000);
  EXPECT_EQ(back.PostMemory, 200000);
  EXPECT_EQ(back.EngineMemory, 300000);
  EXPECT_EQ(back.Surfaces[0]->InfiniteFlag, 0);
}

TEST(VemtoFile, IndependentReaderSeesEveryStreamOfASavedProject) {
  TempDir dir;
  TVemtoFile doc;
  MakeSampleModel(doc);
  doc.SetFileName(dir.Path("interop.v3"));
  doc.Save();
  const TCompoundImage image = doc.BuildImage();
  std::map<std::string, std::vector<std::uint8_t>> seen;
  ASSERT_TRUE(test::RunOlefileDump(doc.FileName, seen));
  EXPECT_EQ(seen.size(), 22u);
  for (const auto& st : image.Storages)
    for (const auto& s : st.Streams) {
      const auto it = seen.find(st.Name + "/" + s.Name);
      ASSERT_NE(it, seen.end()) << st.Name << "/" << s.Name;
      EXPECT_EQ(it->second, s.Bytes) << st.Name << "/" << s.Name;
    }
}

TEST(VemtoFile, ShorterModelSavedOverALongerOneLoadsExactly) {
  TempDir dir;
  const std::string file = dir.Path("m.v3");
  {
    TVemtoFile big;
    MakeSampleModel(big);
    big.SetFileName(file);
    big.Save();
  }
  TVemtoFile small;
  small.Nodes.push_back(std::make_unique<TNode>(3.0, 4.0));
  small.SetFileName(file);
  small.Save();
  TVemtoFile back;
  back.SetFileName(file);
  back.Load();
  ExpectSameModel(small, back);
  EXPECT_EQ(back.Nodes.size(), 1u);
  EXPECT_EQ(back.Edges.size(), 0u);

  // Stale bytes after the data (as left by writers that overwrite streams in place)
  // are ignored: only the counts matter.
  TVemtoFile big;
  MakeSampleModel(big);
  TCompoundImage image = small.BuildImage();
  const TCompoundImage longer = big.BuildImage();
  for (auto& st : image.Storages) {
    auto& data = const_cast<TCompoundStream&>(*st.Find("Data"));
    const auto& old = longer.Find(st.Name, "Data")->Bytes;
    if (old.size() > data.Bytes.size())
      data.Bytes.insert(data.Bytes.end(), old.begin() + static_cast<long>(data.Bytes.size()),
                        old.end());
  }
  TVemtoFile stale;
  stale.LoadImage(image, "stale.v3");
  ExpectSameModel(small, stale);
}

TEST(VemtoFile, OlderFileWithoutIntervalsProjectOrMemory) {
  TVemtoFile doc;
  doc.GeneralInfo.LegacySteps = 160;
  doc.GeneralInfo.LegacyStep = 2;
  doc.GeneralInfo.LegacyStore = 12.0;
  doc.ProjectInfo.Title = "dropped";
  doc.MeshMemory = 5;
  TCompoundImage image = doc.BuildImage();
  std::erase_if(image.Storages, [](const TCompoundStorage& s) {
    return s.Name == "Intervals" || s.Name == "Project" || s.Name == "Memory";
  });
  TempDir dir;
  const std::string file = dir.Path("old.v3");
  WriteCompoundFile(file, image);

  TVemtoFile back;
  back.SetFileName(file);
  back.Load();
  ASSERT_EQ(back.Intervals.size(), 1u);
  EXPECT_EQ(back.Intervals[0]->EndTime, 320.0);
  EXPECT_EQ(back.Intervals[0]->TimeStep, 2.0);
  EXPECT_EQ(back.Intervals[0]->StoreStep, 12.0);
  EXPECT_TRUE(back.ProjectInfo.Title.empty());
  EXPECT_EQ(back.MeshMemory, 800000);
  EXPECT_EQ(back.PostMemory, 800000);
  EXPECT_EQ(back.EngineMemory, 800000);

  // Saving again creates the missing storages.
  back.Save();
  const TCompoundImage again = ReadCompoundFile(file);
  EXPECT_EQ(again.Storages.size(), 11u);
  EXPECT_NE(again.Find("Intervals", "Data"), nullptr);
  EXPECT_NE(again.Find("Project", "Version"), nullptr);
  EXPECT_NE(again.Find("Memory", "Data"), nullptr);
}

TEST(VemtoFile, SurfaceWithMaterialOutsideTheListIsSavedWithoutMaterial) {
  TVemtoFile doc;
  MakeSampleModel(doc);
  TVemtoMaterial stray("Stray", 0, 1, 0.0, 0.5, PropertyDataFolder());
  doc.Surfaces[1]->Material = &stray;
  const TCompoundImage image = doc.BuildImage();
  EXPECT_EQ(doc.Surfaces[1]->MaterialIndex, -1);
  doc.Surfaces[1]->Material = nullptr;
  TVemtoFile back;
  back.LoadImage(image, "m.v3");
  EXPECT_EQ(back.Surfaces[1]->Material, nullptr);
  EXPECT_EQ(back.Materials[1]->RefCount, 0);  // recomputed: no surface uses it now
}

// A file of the older layout: materials of 63 properties, surfaces without thickness.
/// Rewrites the "Materials" storage of `image` in the older (3, 0) layout, with the
/// compressive strength 45 MPa in P22.
void WriteOlderMaterials(const TVemtoFile& doc, TCompoundImage& image) {
  TStream m;
  m.WriteInt32(static_cast<std::int32_t>(doc.Materials.Count()));
  for (const auto& mat : doc.Materials) {
    m.WriteInt32(15);
    m.WriteBytes("TVemtoMaterial", 15);
    m.WriteText(mat->Name);
    m.WriteInt32(mat->RefCount);
    for (int k = 1; k <= 63; ++k) m.WriteDouble(k == 22 ? 45e6 : mat->P(k));
    for (int k = 1; k <= 7; ++k) m.WriteInt32(mat->Option(k));
  }
  TCompoundStorage& st = image.Storage("Materials");
  st.SetStream("Data", m.Bytes());
  st.SetStream("Version", Bytes({3, 0, 0, 0, 0, 0, 0, 0}));
}

TEST(VemtoFile, OlderMaterialAndSurfaceRecordsAreConverted) {
  TVemtoFile doc;
  MakeSampleModel(doc);
  doc.Surfaces[0]->ElementType = 1;
  TCompoundImage image = doc.BuildImage();

  // Rewrite "Materials" and "Surfaces" in the (3, 0) layout.
  WriteOlderMaterials(doc, image);
  TStream s;
  s.WriteInt32(static_cast<std::int32_t>(doc.Surfaces.size()));
  for (const auto& sf : doc.Surfaces) {
    s.WriteInt32(14);
    s.WriteBytes("TVemtoSurface", 14);
    sf->VersionMinor = 0;
    sf->SaveToStream(s);
  }
  auto set = [&](const char* storage, const TStream& data) {
    auto& st = const_cast<TCompoundStorage&>(*image.Find(storage));
    st.SetStream("Data", data.Bytes());
    st.SetStream("Version", Bytes({3, 0, 0, 0, 0, 0, 0, 0}));
  };
  set("Surfaces", s);

  TVemtoFile back;
  back.PropertyFolder = PropertyDataFolder();
  back.LoadImage(image, "old.v3");
  ASSERT_EQ(back.Materials.Count(), 2u);
  const TVemtoMaterial& c = *back.Materials[0];
  EXPECT_EQ(c.P(64), 45e6);
  const double w = c.WaterCementRatio();
  EXPECT_NEAR(c.P(65), std::pow(10.0, 3.4 - 1.1 * w), 1e-9 * c.P(65));
  EXPECT_EQ(c.P(66), 2.0);
  EXPECT_EQ(c.P(67), 1.0);
  EXPECT_EQ(c.P(68), 0.14);
  EXPECT_EQ(c.Name, "Concrete");
  ASSERT_EQ(back.Surfaces.size(), 2u);
  EXPECT_EQ(back.Surfaces[0]->Thickness, -1.0);
  EXPECT_EQ(back.Surfaces[1]->Thickness, -1.0);  // was 0.75, not stored in (3, 0)
  EXPECT_EQ(back.Surfaces[0]->InfiniteFlag, 1);
  EXPECT_EQ(back.Surfaces[0]->Material, back.Materials[0]);
  // Saved again in the current layout.
  const TCompoundImage again = back.BuildImage();
  TStream v(again.Find("Materials", "Version")->Bytes);
  v.ReadInt32();
  EXPECT_EQ(v.ReadInt32(), 1);
}

// A malformed "conpropt" beside the program: a current model loads and the problem is
// reported (load warnings, model check); an older material, whose conversion needs the
// file's strength law, is refused instead of being converted with zeros.
TEST(VemtoFile, MalformedPropertyFileIsReported) {
  TempDir dir;
  std::filesystem::copy_file(PropertyDataFolder() + "/cempropt", dir.Path("cempropt"));
  std::string text = "2.0\nx\n";
  for (int k = 3; k <= 56; ++k) text += "1.0\n";
  WriteBytes(dir.Path("conpropt"), std::vector<std::uint8_t>(text.begin(), text.end()));
  TVemtoFile doc;
  MakeSampleModel(doc);
  TCompoundImage image = doc.BuildImage();

  TVemtoFile back;
  back.PropertyFolder = dir.Path("");
  back.LoadImage(image, "m.v3");
  ASSERT_EQ(back.LoadWarnings.size(), 1u);
  EXPECT_NE(back.LoadWarnings[0].find("conpropt\", line 2"), std::string::npos)
      << back.LoadWarnings[0];
  TVemtoLogic logic;
  logic.CheckModel(back);
  EXPECT_EQ(logic.Warnings, back.LoadWarnings);

  WriteOlderMaterials(doc, image);
  TVemtoFile older;
  older.PropertyFolder = dir.Path("");
  try {
    older.LoadImage(image, "m.v3");
    ADD_FAILURE() << "converted with a zero strength law";
  } catch (const FileError& e) {
    EXPECT_NE(std::string(e.what()).find("older record layout"), std::string::npos) << e.what();
    EXPECT_NE(std::string(e.what()).find("conpropt\", line 2"), std::string::npos) << e.what();
  }
}

// A project file written by an independent compound-file writer (Perl's
// OLE::Storage_Lite, tests/interop/make_perl_fixture.pl).
TEST(VemtoFile, FileOfAnIndependentWriterLoads) {
  TVemtoFile doc;
  doc.PropertyFolder = PropertyDataFolder();
  doc.SetFileName(std::string(VEMTO_TEST_DATA_DIR) + "/file_perl_written.v3");
  doc.Load();
  ASSERT_EQ(doc.Nodes.size(), 2u);
  EXPECT_EQ(doc.Nodes[1]->Coord->X, 2.5);
  EXPECT_EQ(doc.Nodes[1]->Coord->Y, -1.25);
  ASSERT_EQ(doc.Edges.size(), 1u);
  EXPECT_EQ(doc.Edges[0]->Divisions, 4);
  EXPECT_EQ(doc.Edges[0]->FirstNode(), doc.Nodes[0].get());
  EXPECT_EQ(doc.Edges[0]->LastNode(), doc.Nodes[1].get());
  ASSERT_EQ(doc.Materials.Count(), 1u);
  EXPECT_EQ(doc.Materials[0]->Name, "Old concrete");
  EXPECT_EQ(doc.Materials[0]->P(1), 1.5);
  EXPECT_EQ(doc.Materials[0]->P(63), 63 * 1.5);
  EXPECT_EQ(doc.Materials[0]->P(64), 42e6);
  EXPECT_EQ(doc.Materials[0]->P(68), 0.14);
  ASSERT_EQ(doc.Intervals.size(), 1u);
  EXPECT_EQ(doc.Intervals[0]->EndTime, 320.0);
  EXPECT_EQ(doc.EngineMemory, 800000);
}

}  // namespace
}  // namespace vemto
