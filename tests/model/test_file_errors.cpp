// Damaged and hand-edited project files: every problem gives a clear error naming the
// file, the document stays as it was, nothing crashes.
#include <fmt/format.h>
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <algorithm>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "VemtoFile.h"
#include "VemtoLogic.h"
#include "test_file_model.h"
#include "test_file_util.h"

namespace vemto {
namespace {

using test::MakeSampleModel;
using test::PropertyDataFolder;
using test::ReadBytes;
using test::TempDir;
using test::WriteBytes;

TCompoundImage SampleImage() {
  TVemtoFile doc;
  MakeSampleModel(doc);
  return doc.BuildImage();
}

std::vector<std::uint8_t>& DataOf(TCompoundImage& image, const char* storage,
                                  const char* stream = "Data") {
  for (auto& st : image.Storages)
    if (st.Name == storage)
      for (auto& s : st.Streams)
        if (s.Name == stream) return s.Bytes;
  ADD_FAILURE() << storage << "/" << stream << " missing";
  static std::vector<std::uint8_t> none;
  return none;
}

void PutInt32(std::vector<std::uint8_t>& bytes, std::size_t offset, std::int32_t v) {
  ASSERT_LE(offset + 4, bytes.size());
  std::memcpy(bytes.data() + offset, &v, 4);  // the test machine is little-endian
}

/// Loads `image` into a document holding the sample model; expects a FileError whose
/// message names the file and contains every one of `parts`, and an unchanged document.
void ExpectLoadError(const TCompoundImage& image, std::vector<std::string> parts) {
  TVemtoFile doc;
  MakeSampleModel(doc);
  doc.PropertyFolder = PropertyDataFolder();
  const TCompoundImage before = doc.BuildImage();
  try {
    doc.LoadImage(image, "/some/where/bad.v3");
    ADD_FAILURE() << "loaded without error; expected " << parts.front();
  } catch (const FileError& e) {
    const std::string msg = e.what();
    EXPECT_EQ(msg.rfind("/some/where/bad.v3: ", 0), 0u) << msg;
    for (const auto& p : parts) EXPECT_NE(msg.find(p), std::string::npos) << msg;
  }
  TVemtoFile reference;
  MakeSampleModel(reference);
  test::ExpectSameModel(doc, reference);
  EXPECT_EQ(doc.Nodes.size(), 7u);
}

// Offsets into the "Curves" data: count, name length, "TEdgeLine\0", then the record.
constexpr std::size_t kFirstEdgeRecord = 4 + 4 + 10;

TEST(VemtoFileErrors, IndexOutsideItsListIsRejected) {
  {
    TCompoundImage image = SampleImage();
    PutInt32(DataOf(image, "Curves"), kFirstEdgeRecord + 9, 99);  // node index 0
    ExpectLoadError(image, {"Storage \"Curves\", entry 1", "99"});
  }
  {
    TCompoundImage image = SampleImage();
    PutInt32(DataOf(image, "Curves"), kFirstEdgeRecord + 9, -1);  // no node
    ExpectLoadError(image, {"Storage \"Curves\", entry 1", "lacks a node"});
  }
  {
    // Surface 1: count, name (4 + 14), record: RefCount, Number, Aux, 4 edge indices,
    // material index.
    TCompoundImage image = SampleImage();
    PutInt32(DataOf(image, "Surfaces"), 4 + 18 + 12 + 8, 7);  // edge index 2
    ExpectLoadError(image, {"Storage \"Surfaces\", entry 1", "7"});
  }
  {
    TCompoundImage image = SampleImage();
    PutInt32(DataOf(image, "Surfaces"), 4 + 18 + 28, 2);  // material index 2 of 2
    ExpectLoadError(image, {"Storage \"Surfaces\", entry 1"});
  }
  {
    // Positions: count, name length 13, "TVemtoEdgePos", condition index, edge index.
    TCompoundImage image = SampleImage();
    PutInt32(DataOf(image, "Positions"), 4 + 4 + 13, 6);
    ExpectLoadError(image, {"Storage \"Positions\", entry 1", "condition"});
  }
  {
    TCompoundImage image = SampleImage();
    PutInt32(DataOf(image, "Positions"), 4 + 4 + 13 + 4, 7);
    ExpectLoadError(image, {"Storage \"Positions\", entry 1", "edge"});
  }
  {
    // Pipes: count, name length 10, "TVemtoPipe", name "Pipe" (4 + 5), RefCount, index.
    TCompoundImage image = SampleImage();
    PutInt32(DataOf(image, "Pipes"), 4 + 4 + 10 + 9 + 4, 0);  // condition 0 is "Air"
    ExpectLoadError(image, {"Storage \"Pipes\", entry 1"});
  }
}

TEST(VemtoFileErrors, ImplausibleCountsAndLengths) {
  {
    TCompoundImage image = SampleImage();
    PutInt32(DataOf(image, "Nodes"), 4, 300);
    ExpectLoadError(image, {"Storage \"Nodes\", entry 1", "class name length 300"});
  }
  {
    TCompoundImage image = SampleImage();
    PutInt32(DataOf(image, "Nodes"), 4, -2);
    ExpectLoadError(image, {"class name length -2"});
  }
  {
    TCompoundImage image = SampleImage();
    PutInt32(DataOf(image, "Nodes"), 0, 1000000);
    ExpectLoadError(image, {"Storage \"Nodes\"", "1000000 entries"});
  }
  {
    TCompoundImage image = SampleImage();
    PutInt32(DataOf(image, "Conditions"), 0, -1);
    ExpectLoadError(image, {"Storage \"Conditions\"", "negative entry count"});
  }
  {
    TCompoundImage image = SampleImage();
    auto& nodes = DataOf(image, "Nodes");
    nodes.resize(4 + 10 + 20);  // the first node's record is cut
    ExpectLoadError(image, {"Storage \"Nodes\", entry 1"});
  }
  {
    TCompoundImage image = SampleImage();
    PutInt32(DataOf(image, "Curves"), kFirstEdgeRecord, 0);  // divisions
    ExpectLoadError(image, {"Storage \"Curves\", entry 1"});
  }
  {
    TCompoundImage image = SampleImage();
    DataOf(image, "Memory").resize(8);
    ExpectLoadError(image, {"Storage \"Memory\""});
  }
  {
    TCompoundImage image = SampleImage();
    PutInt32(DataOf(image, "Memory"), 4, 0);
    ExpectLoadError(image, {"Storage \"Memory\"", "positive"});
  }
}

TEST(VemtoFileErrors, IntervalListWithoutIntervals) {
  {
    TCompoundImage image = SampleImage();
    DataOf(image, "Intervals") = {0, 0, 0, 0};
    ExpectLoadError(image, {"Storage \"Intervals\"", "no interval"});
  }
  {
    TCompoundImage image = SampleImage();
    DataOf(image, "Intervals").clear();
    ExpectLoadError(image, {"Storage \"Intervals\"", "no interval"});
  }
}

// A surface must be bounded by a closed chain of four distinct edges: such a file is
// refused when loading, and a model built in memory gets a check error.
TEST(VemtoFileErrors, SurfaceWhoseEdgesDoNotCloseIsRejected) {
  struct Case {
    int edge;  // replaces side 3 of surface 2 (the curved edge 7)
    const char* problem;
  };
  for (const Case c :
       {Case{1, "sides 3 and 4 use the same edge"}, Case{3, "sides 2 and 3 share no node"}}) {
    TVemtoFile doc;
    MakeSampleModel(doc);
    doc.Surfaces[1]->SetEdge(2, doc.Edges[static_cast<std::size_t>(c.edge)].get());
    TVemtoLogic logic;
    logic.CheckModel(doc);
    ASSERT_FALSE(logic.Errors.empty());
    EXPECT_EQ(logic.Errors[0], fmt::format("Surface 2 is not a four-sided surface: {}; the edges "
                                           "do not form a closed chain.",
                                           c.problem));
    ExpectLoadError(doc.BuildImage(), {"Storage \"Surfaces\", entry 2", c.problem});
  }
}

TEST(VemtoFileErrors, UnknownOrMisplacedClassNames) {
  {
    TCompoundImage image = SampleImage();
    auto& data = DataOf(image, "Conditions");
    data[4 + 4 + 6] = 'X';  // TVemtoTempCondition -> TVemtoXempCondition
    ExpectLoadError(image, {"Class TVemtoXempCondition not found"});
  }
  {
    TCompoundImage image = SampleImage();
    auto& data = DataOf(image, "Curves");
    std::memcpy(data.data() + 8, "TNode\0\0\0\0\0", 10);
    ExpectLoadError(image, {"Storage \"Curves\", entry 1", "Class TNode is not an edge"});
  }
  {
    TCompoundImage image = SampleImage();
    auto& data = DataOf(image, "Materials");
    data[4 + 4 + 1] = 0x01;  // a control character is shown escaped
    ExpectLoadError(image, {"Class T\\x01emtoMaterial not found"});
  }
}

TEST(VemtoFileErrors, WrongVersionsAndMissingStorages) {
  {
    TCompoundImage image = SampleImage();
    PutInt32(DataOf(image, "Nodes", "Version"), 0, 4);
    ExpectLoadError(image, {"Storage \"Nodes\" has version (4, 0)"});
  }
  {
    TCompoundImage image = SampleImage();
    PutInt32(DataOf(image, "Curves", "Version"), 4, 1);                 // only "Surfaces" and
    ExpectLoadError(image, {"Storage \"Curves\" has version (3, 1)"});  // "Materials"
  }
  {
    TCompoundImage image = SampleImage();
    DataOf(image, "General", "Version").resize(5);
    ExpectLoadError(image, {"Storage \"General\"", "Version"});
  }
  for (const char* name : {"Nodes", "Curves", "Surfaces", "Conditions", "Positions", "Pipes",
                           "General", "Materials"}) {
    TCompoundImage image = SampleImage();
    std::erase_if(image.Storages, [&](const TCompoundStorage& s) { return s.Name == name; });
    ExpectLoadError(image, {std::string("Storage \"") + name + "\" is missing"});
  }
  {
    TCompoundImage image = SampleImage();
    for (auto& st : image.Storages)
      if (st.Name == "Pipes")
        std::erase_if(st.Streams, [](const TCompoundStream& s) { return s.Name == "Data"; });
    ExpectLoadError(image, {"Storage \"Pipes\" has no \"Data\" stream"});
  }
}

TEST(VemtoFileErrors, InconsistentReferenceCountsAreRecomputed) {
  TCompoundImage image = SampleImage();
  // Node 2 (index 1) is used by three edges; store 0. Node 1 is used once; store 50.
  auto& nodes = DataOf(image, "Nodes");
  const std::size_t entry = 4 + 6 + 32;
  PutInt32(nodes, 4 + 6 + 28, 50);
  PutInt32(nodes, 4 + entry + 6 + 28, 0);
  TVemtoFile doc;
  doc.PropertyFolder = PropertyDataFolder();
  doc.LoadImage(image, "counts.v3");
  EXPECT_EQ(doc.Nodes[0]->RefCount, 2);
  EXPECT_EQ(doc.Nodes[1]->RefCount, 3);
  EXPECT_TRUE(doc.Nodes[1]->InUse());
}

TEST(VemtoFileErrors, FailedSaveKeepsTheFileAndSaysWhy) {
  TempDir dir;
  const std::string file = dir.Path("keep.v3");
  TVemtoFile doc;
  MakeSampleModel(doc);
  doc.SetFileName(file);
  doc.Save();
  const auto before = ReadBytes(file);
  doc.Materials[1]->Name = std::string(300, 'm');
  try {
    doc.Save();
    ADD_FAILURE() << "a name of 300 characters was saved";
  } catch (const FileError& e) {
    const std::string msg = e.what();
    EXPECT_NE(msg.find(file), std::string::npos) << msg;
    EXPECT_NE(msg.find("Materials"), std::string::npos) << msg;
    EXPECT_NE(msg.find("entry 2"), std::string::npos) << msg;
  }
  EXPECT_EQ(ReadBytes(file), before);

  doc.Materials[1]->Name = "Rock";
  doc.ProjectInfo.Author = std::string(256, 'a');
  EXPECT_THROW(doc.Save(), FileError);
  EXPECT_EQ(ReadBytes(file), before);
}

TEST(VemtoFileErrors, FilesThatAreNotProjects) {
  TempDir dir;
  TVemtoFile doc;
  MakeSampleModel(doc);
  doc.SetFileName(dir.Path("missing.v3"));
  try {
    doc.Load();
    ADD_FAILURE() << "no error";
  } catch (const FileError& e) {
    EXPECT_EQ(e.Kind(), TStorageError::NotFound);
  }
  WriteBytes(dir.Path("text.v3"), std::vector<std::uint8_t>(2000, 'a'));
  doc.SetFileName(dir.Path("text.v3"));
  EXPECT_THROW(doc.Load(), FileError);
  // A compound file of another kind.
  TCompoundImage other;
  other.Storage("WordDocument").SetStream("Data", {1, 2, 3});
  WriteCompoundFile(dir.Path("other.v3"), other);
  doc.SetFileName(dir.Path("other.v3"));
  try {
    doc.Load();
    ADD_FAILURE() << "no error";
  } catch (const FileError& e) {
    EXPECT_NE(std::string(e.what()).find("Storage \"Nodes\" is missing"), std::string::npos);
  }
  EXPECT_EQ(doc.Nodes.size(), 7u);
}

/// Offset of the history point count of condition `name` in a "Conditions" image.
std::size_t HistoryCountOffset(const std::vector<std::uint8_t>& data, const std::string& name) {
  const std::string text = name + '\0';
  const auto at = std::search(data.begin(), data.end(), text.begin(), text.end());
  EXPECT_NE(at, data.end()) << name;
  return static_cast<std::size_t>(at - data.begin()) + text.size() + 4;  // after RefCount
}

// What is not a project file is refused before it is read; damaged files give the
// library's own diagnostic inside the message and nothing on standard error; a history
// count one too large and a record of another layout are named as such.
TEST(VemtoFileErrors, ReadingNamesTheRealProblem) {
  TempDir dir;
  ASSERT_EQ(::mkfifo(dir.Path("pipe.v3").c_str(), 0600), 0);  // would block a plain open
  WriteBytes(dir.Path("large.v3"), std::vector<std::uint8_t>(4 << 20, 'x'));
  for (const std::string& file :
       {dir.Path("pipe.v3"), std::string("/dev/zero"), dir.Path("large.v3")}) {
    try {
      ReadCompoundFile(file);
      ADD_FAILURE() << file << " was read";
    } catch (const FileError& e) {
      EXPECT_EQ(e.Kind(), TStorageError::Damaged) << e.what();
      EXPECT_NE(std::string(e.what()).find("Not a project file"), std::string::npos) << e.what();
    }
  }

  TVemtoFile doc;
  MakeSampleModel(doc);
  doc.SetFileName(dir.Path("t.v3"));
  doc.Save();
  const auto full = ReadBytes(doc.FileName);
  std::mt19937 rng(7);
  int diagnosed = 0;
  ::testing::internal::CaptureStderr();
  for (int round = 0; round < 100; ++round) {
    auto bytes = full;
    for (int f = 0; f < 4; ++f) bytes[rng() % bytes.size()] = static_cast<std::uint8_t>(rng());
    try {
      ParseCompoundFile(bytes, "flipped.v3");
    } catch (const FileError& e) {
      // A stream the library cannot open: its diagnostic, which it would print.
      diagnosed += std::string(e.what()).find("(Unable to get child") != std::string::npos;
    }
  }
  EXPECT_EQ(::testing::internal::GetCapturedStderr(), "");
  EXPECT_GT(diagnosed, 0);

  for (const char* name : {"Air", "Sun"}) {  // a temperature and a flow condition
    TCompoundImage image = SampleImage();
    auto& data = DataOf(image, "Conditions");
    const std::size_t at = HistoryCountOffset(data, name);
    std::int32_t count = 0;
    std::memcpy(&count, data.data() + at, 4);
    PutInt32(data, at, count + 1);
    ExpectLoadError(image, {fmt::format("condition \"{}\" announces {} history points, but its "
                                        "record holds {}",
                                        name, count + 1, count)});
  }
  {
    TCompoundImage image = SampleImage();  // (3, 1) records under a (3, 0) version
    image.Storage("Materials").SetStream("Version", {3, 0, 0, 0, 0, 0, 0, 0});
    ExpectLoadError(image, {"Storage \"Materials\", entry 2",
                            "entry 1 before it is longer or shorter than its layout"});
  }
}

/// Loads a damaged file; only FileError may come out, and a success gives a consistent
/// document (every reference inside its list).
void LoadMustNotCrash(const std::vector<std::uint8_t>& bytes) {
  try {
    const TCompoundImage image = ParseCompoundFile(bytes, "fuzz.v3");
    TVemtoFile doc;
    doc.PropertyFolder = PropertyDataFolder();
    doc.LoadImage(image, "fuzz.v3");
    doc.BuildImage();
    doc.TotalTimeSteps();
  } catch (const FileError& e) {
    EXPECT_EQ(std::string(e.what()).rfind("fuzz.v3: ", 0), 0u) << e.what();
  }
}

TEST(VemtoFileErrors, TruncatedFilesGiveErrors) {
  TempDir dir;
  TVemtoFile doc;
  MakeSampleModel(doc);
  doc.SetFileName(dir.Path("t.v3"));
  doc.Save();
  const auto full = ReadBytes(doc.FileName);
  for (std::size_t n = 0; n < full.size(); n += 97)
    LoadMustNotCrash(std::vector<std::uint8_t>(full.begin(), full.begin() + n));
}

// A deterministic mutation loop: flipped bytes in every stream, and in the file itself.
TEST(VemtoFileErrors, FlippedBytesNeverCrash) {
  const TCompoundImage base = SampleImage();
  std::mt19937 rng(12345);
  int loaded = 0, rejected = 0;
  for (const auto& st : base.Storages)
    for (const auto& s : st.Streams) {
      if (s.Bytes.empty()) continue;
      for (int round = 0; round < 16; ++round) {
        TCompoundImage image = base;
        auto& bytes = DataOf(image, st.Name.c_str(), s.Name.c_str());
        const int flips = 1 + static_cast<int>(rng() % 3);
        for (int f = 0; f < flips; ++f) {
          const std::size_t at = rng() % bytes.size();
          bytes[at] =
              static_cast<std::uint8_t>(rng() % 3 == 0 ? 0xFF : bytes[at] ^ (1u << (rng() % 8)));
        }
        try {
          TVemtoFile doc;
          doc.PropertyFolder = PropertyDataFolder();
          doc.LoadImage(image, "fuzz.v3");
          doc.BuildImage();
          ++loaded;
        } catch (const FileError& e) {
          ++rejected;
          EXPECT_EQ(std::string(e.what()).rfind("fuzz.v3: ", 0), 0u) << e.what();
        }
      }
    }
  EXPECT_GT(rejected, 0);
  EXPECT_GT(loaded, 0);  // flips in reals and texts are valid values

  TempDir dir;
  WriteCompoundFile(dir.Path("f.v3"), base);
  const auto file = ReadBytes(dir.Path("f.v3"));
  for (int round = 0; round < 150; ++round) {
    auto bytes = file;
    const int flips = 1 + static_cast<int>(rng() % 4);
    for (int f = 0; f < flips; ++f)
      bytes[rng() % bytes.size()] ^= static_cast<std::uint8_t>(1u << (rng() % 8));
    LoadMustNotCrash(bytes);
  }
}

}  // namespace
}  // namespace vemto
