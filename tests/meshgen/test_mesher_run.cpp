// The mesher's run sequence: checks, messages and their texts, files written, bad input.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

#include "InputListing.h"
#include "MesherRun.h"
#include "ProgressChannel.h"
#include "mesh_test_model.h"

namespace meshgen {
namespace {

using test::Quad;
using test::TestModel;

struct Message {
  int number;
  std::intptr_t lParam;
  std::string raw;  // the 255 bytes of the information text
  std::string Text() const { return numlib::ProgressChannel::TrimmedText(raw.c_str()); }
};

// Records every message with the information text fetched inside the handler.
class Recorder {
 public:
  Recorder() : listener_{&Recorder::Send, this} { IO_FUNC_mp_vemto_init(&listener_); }
  ~Recorder() { IO_FUNC_mp_vemto_init(nullptr); }

  std::vector<Message> messages;
  bool breakOnEveryMessage = false;  // the user presses Cancel all the time

  std::vector<Message> Of(int number) const {
    std::vector<Message> out;
    for (const auto& m : messages)
      if (m.number == number) out.push_back(m);
    return out;
  }

 private:
  static void Send(void* context, int message, std::intptr_t lParam) {
    char buffer[256] = {};
    IO_FUNC_mp_vemto_getinfotext(buffer);
    auto* self = static_cast<Recorder*>(context);
    self->messages.push_back({message, lParam, std::string(buffer, 255)});
    if (self->breakOnEveryMessage) IO_FUNC_mp_vemto_break();
  }
  VemtoListener listener_;
};

class MesherRunTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = std::filesystem::temp_directory_path() /
           ("meshgen_run_" + std::to_string(::getpid()) + "_" +
            ::testing::UnitTest::GetInstance()->current_test_info()->name());
    std::filesystem::remove_all(dir_);
    std::filesystem::create_directories(dir_);
    model_.listFile = (dir_ / "model.lst").string();
    model_.datFile = (dir_ / "model.dat").string();
  }
  void TearDown() override { std::filesystem::remove_all(dir_); }

  TestModel Square(int rows = 1, int columns = 1) {
    TestModel m = model_;
    m.AddNode(0, 0);
    m.AddNode(1, 0);
    m.AddNode(1, 1);
    m.AddNode(0, 1);
    m.elements.push_back(Quad(1, 2, 3, 4, rows, columns));
    return m;
  }
  bool Exists(const char* name) const { return std::filesystem::exists(dir_ / name); }
  std::string Read(const char* name) const {
    std::ifstream in(dir_ / name, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
  }
  // Runs the mesher and returns the single error text ("" when it finished).
  std::string Run(TestModel& model, Recorder& recorder) {
    const MeshgenArgs args = model.Args();
    const bool ok = ExecuteMesher(&args);
    const auto errors = recorder.Of(VEMTO_MSG_ERROR);
    const auto finished = recorder.Of(VEMTO_MSG_FINISHED);
    if (ok) {
      EXPECT_TRUE(errors.empty());
      EXPECT_EQ(finished.size(), 1u);
      return "";
    }
    EXPECT_EQ(errors.size(), 1u);
    EXPECT_TRUE(finished.empty());
    if (errors.empty()) return "?";
    EXPECT_EQ(errors[0].lParam, 1000);
    // A whole 255-character line: no zero byte.
    EXPECT_EQ(errors[0].raw.find('\0'), std::string::npos);
    return errors[0].Text();
  }

  std::filesystem::path dir_;
  TestModel model_;
};

TEST_F(MesherRunTest, SuccessfulRunSendsThePhasesAndWritesBothFiles) {
  Recorder recorder;
  TestModel model = Square();
  EXPECT_EQ(Run(model, recorder), "");
  std::vector<std::string> phases;
  for (const auto& m : recorder.Of(VEMTO_MSG_INFO))
    if (phases.empty() || phases.back() != m.Text()) phases.push_back(m.Text());
  EXPECT_EQ(phases,
            (std::vector<std::string>{"WRITING INPUT DATA TO FILE", "REARRANGING SUPER ELEMENTS",
                                      "FINDING INPUT CONNECTIVITY.", "MESHING REGIONS",
                                      "CREATING NODES.", "WRITING OUTPUT DATA."}));
  // An information text ends with a zero byte right after it.
  EXPECT_EQ(recorder.messages.front().raw.substr(0, 27),
            std::string("WRITING INPUT DATA TO FILE\0", 27));
  EXPECT_EQ(recorder.messages.back().number, VEMTO_MSG_FINISHED);
  EXPECT_EQ(recorder.messages.back().Text(), "MESHING FINISHED.");
  ASSERT_TRUE(Exists("model.lst"));
  ASSERT_TRUE(Exists("model.dat"));
  EXPECT_EQ(Read("model.lst"), FormatInputListing(model.Args()));
  // The data file holds the eight nodes and one element.
  std::istringstream dat(Read("model.dat"));
  std::string title, line2;
  std::getline(dat, title);
  std::getline(dat, line2);
  std::istringstream counts(line2);
  int type = 0, steps = 0, nodes = 0, el8 = 0;
  counts >> type >> steps >> nodes >> el8;
  EXPECT_EQ(nodes, 8);
  EXPECT_EQ(el8, 1);
  // The work array is released.
  EXPECT_EQ(numlib::Module().storage.Control().TotalWords, 0);
}

TEST_F(MesherRunTest, ChecksComeFirstAndWriteNoFile) {
  {
    Recorder recorder;
    TestModel model = Square();
    model.generalDefined = 0;
    model.elements.clear();
    EXPECT_EQ(Run(model, recorder), " GENERAL INFORMATION NOT DEFINED");
  }
  {
    Recorder recorder;
    TestModel model = model_;
    EXPECT_EQ(Run(model, recorder), " NO SUPER ELEMENT COORDINATES DEFINED");
  }
  {
    Recorder recorder;
    TestModel model = Square();
    model.elements.clear();
    EXPECT_EQ(Run(model, recorder), " NO SUPER ELEMENTS DEFINED");
    EXPECT_TRUE(recorder.Of(VEMTO_MSG_INFO).empty());
  }
  EXPECT_FALSE(Exists("model.lst"));
  EXPECT_FALSE(Exists("model.dat"));
}

TEST_F(MesherRunTest, NoMemoryWritesTheListingThenFails) {
  Recorder recorder;
  TestModel model = Square();
  model.memoryWords = 0;
  EXPECT_EQ(Run(model, recorder), " PROBLEM TOO LARGE.");
  EXPECT_TRUE(Exists("model.lst"));
  EXPECT_FALSE(Exists("model.dat"));
  // Too little for the mesh tables, enough for the first ones.
  Recorder again;
  model.memoryWords = 60;
  EXPECT_EQ(Run(model, again), " PROBLEM TOO LARGE.");
}

TEST_F(MesherRunTest, DefaultMemoryMeshesA150By150SuperElement) {
  // 68101 nodes and 22500 elements need about 450,000 words of tables; nothing unused
  // may be reserved on top of them.
  Recorder recorder;
  TestModel model = Square(150, 150);
  ASSERT_EQ(model.memoryWords, 800000);
  EXPECT_EQ(Run(model, recorder), "");
  EXPECT_TRUE(Exists("model.dat"));
}

TEST_F(MesherRunTest, ListingNamesAPipePartThatEndedWithoutElements) {
  // Parts 1 and 3 of the pipe end at the same corner node (1, 1): part 3 takes the element.
  Recorder recorder;
  TestModel model = Square(2, 2);
  test::AddRecord(model.pipeConds, MESHGEN_PIPE_RECORD, 1, {300, 0.025, 2, 4200, 0}, {0, 10, 1});
  model.pipeCondPart = {1, 1, 1, 2, 1, 3};
  model.pipeXY = {0.9, 0.9, 0.1, 0.1, 0.95, 1.0};
  EXPECT_EQ(Run(model, recorder), "");
  const std::string listing = Read("model.lst");
  EXPECT_NE(listing.find("      PIPE CONDITION    1 PART    1 (PIPE POSITION    1) HAS NO ELEMENT: "
                         "LATER PIPE POSITIONS TOOK ALL ITS ELEMENTS\n"),
            std::string::npos)
      << listing.substr(listing.size() - 300);
  EXPECT_EQ(listing.find("PART    2 (PIPE"), std::string::npos);
  EXPECT_EQ(listing.find("PART    3 (PIPE"), std::string::npos);
}

TEST_F(MesherRunTest, CancelHasNoEffectAndANewRegistrationClearsAnError) {
  {
    Recorder recorder;
    TestModel bad = Square();
    bad.elements.clear();
    EXPECT_NE(Run(bad, recorder), "");
  }
  Recorder recorder;  // registers again
  recorder.breakOnEveryMessage = true;
  TestModel model = Square();
  EXPECT_EQ(Run(model, recorder), "");
  EXPECT_FALSE(numlib::Module().channel.ErrorReported());
}

TEST_F(MesherRunTest, AnErrorLeftByAnUnregisteredRunDoesNotStopTheNext) {
  Recorder recorder;
  TestModel bad = Square();
  bad.elements.clear();
  EXPECT_NE(Run(bad, recorder), "");
  recorder.messages.clear();
  TestModel model = Square();
  EXPECT_EQ(Run(model, recorder), "");
  EXPECT_TRUE(Exists("model.dat"));
}

TEST_F(MesherRunTest, DamagedArgumentsAreReportedNotFollowed) {
  struct Case {
    const char* what;
    std::function<void(TestModel&)> damage;
    std::string error;
  };
  const std::vector<Case> cases = {
      {"node number", [](TestModel& m) { m.elements[0].nodes[4] = 9; },
       " SUPER ELEMENT    1 REFERS TO UNDEFINED SUPER NODE       9"},
      {"negative node", [](TestModel& m) { m.elements[0].nodes[0] = -1; },
       " SUPER ELEMENT    1 REFERS TO UNDEFINED SUPER NODE      -1"},
      {"rows", [](TestModel& m) { m.elements[0].rows = 0; },
       " INVALID NUMBER OF ELEMENT ROWS OR COLUMNS IN SUPER ELEMENT    1"},
      {"type", [](TestModel& m) { m.elements[0].type = 3; },
       " INVALID ELEMENT TYPE    3 OF SUPER ELEMENT    1"},
      {"corner",
       [](TestModel& m) {
         m.elements[0].type = MESHGEN_TYPE_INFINITE_CORNER;
         m.elements[0].rows = 2;
       },
       " CORNER SUPER ELEMENT    1 MUST HAVE ONE ROW AND ONE COLUMN"},
      {"code", [](TestModel& m) { m.elements[0].code = 0; },
       " INVALID SUPER NODE CODE    0 OF SUPER ELEMENT    1"},
      {"material", [](TestModel& m) { m.elements[0].material = 2; },
       " MATERIAL    2 OF SUPER ELEMENT    1 NOT DEFINED"},
      {"coordinate", [](TestModel& m) { m.x[2] = std::nan(""); },
       " INVALID COORDINATES OF SUPER NODE    3"},
      {"history length",
       [](TestModel& m) {
         test::AddRecord(m.edgeTempConds, MESHGEN_TEMP_RECORD, 1001, {10}, {});
         m.edgeTempPos = {1, 2, 1};
       },
       " NUMBER OF TIMES OUT OF RANGE IN CONDITION    1 OF EDGE TEMPERATURE CONDITIONS"},
      {"history rounding to 1001",
       [](TestModel& m) { test::AddRecord(m.nodalFlowConds, MESHGEN_FLOW_RECORD, 1000.5, {}, {}); },
       " NUMBER OF TIMES OUT OF RANGE IN CONDITION    1 OF NODAL HEAT FLOW CONDITIONS"},
      {"history count not a number",
       [](TestModel& m) {
         test::AddRecord(m.areaTempConds, MESHGEN_TEMP_RECORD, std::nan(""), {}, {});
       },
       " NUMBER OF TIMES OUT OF RANGE IN CONDITION    1 OF SURFACE TEMPERATURE CONDITIONS"},
      {"negative history",
       [](TestModel& m) { test::AddRecord(m.pipeConds, MESHGEN_PIPE_RECORD, -2, {}, {}); },
       " NUMBER OF TIMES OUT OF RANGE IN CONDITION    1 OF PIPE CONDITIONS"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    Recorder recorder;
    TestModel model = Square();
    c.damage(model);
    EXPECT_EQ(Run(model, recorder), c.error);
    EXPECT_FALSE(Exists("model.dat"));
  }
  {
    // A count without its array.
    Recorder recorder;
    TestModel model = Square();
    MeshgenArgs args = model.Args();
    args.nNodalLoadPos = 2;
    args.nodalLoadPosCond = nullptr;
    EXPECT_FALSE(ExecuteMesher(&args));
    EXPECT_EQ(recorder.Of(VEMTO_MSG_ERROR).at(0).Text(), " NO DATA GIVEN FOR NODAL LOAD POSITIONS");
    args = model.Args();
    args.nEdgeLoadPos = -1;
    EXPECT_FALSE(ExecuteMesher(&args));
    EXPECT_EQ(recorder.Of(VEMTO_MSG_ERROR).at(1).Text(),
              " NEGATIVE NUMBER OF EDGE LOAD POSITIONS:      -1");
    EXPECT_FALSE(ExecuteMesher(nullptr));
  }
}

TEST_F(MesherRunTest, UnwritableListingIsReported) {
  Recorder recorder;
  TestModel model = Square();
  model.listFile = (dir_ / "missing" / "model.lst").string();
  EXPECT_EQ(Run(model, recorder), kErrListingFile);
}

TEST_F(MesherRunTest, ConditionsReachTheDataFile) {
  Recorder recorder;
  TestModel model = Square(2, 2);
  test::AddRecord(model.edgeTempConds, MESHGEN_TEMP_RECORD, 2, {10}, {0, 20, 3600, 25});
  model.edgeTempPos = {2, 3, 1};
  EXPECT_EQ(Run(model, recorder), "");
  std::istringstream dat(Read("model.dat"));
  std::string line;
  std::getline(dat, line);
  std::getline(dat, line);
  std::getline(dat, line);
  std::getline(dat, line);
  std::istringstream counts(line);
  int el5 = -1, el3 = -1, edges = -1, conds = -1;
  counts >> el5 >> el3 >> edges >> conds;
  EXPECT_EQ(edges, 2);  // two element edges along side 2
  EXPECT_EQ(conds, 1);
  // A position on a side that does not exist fails with the mapping error.
  Recorder again;
  model.edgeTempPos = {1, 3, 1};
  EXPECT_EQ(Run(model, again), " NO SUPER ELEMENT SIDE IS CONNECTED TO THE NODES    1 AND    3");
}

}  // namespace
}  // namespace meshgen
