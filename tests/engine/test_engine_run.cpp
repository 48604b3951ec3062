// The run sequence: counting of steps and storage events, messages, the result
// database, cancellation, temperature-and-maturity data and damaged input.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>

#include <fmt/format.h>

#include "DatBuilder.h"
#include "DataFileReader.h"
#include "EngineHarness.h"
#include "ResultDatabase.h"

namespace vemto::engine {
namespace {

using testing::DatModel;
using testing::Hours;
using testing::Recorder;
using testing::ScratchDir;

DatModel Block() {
  DatModel m = testing::Rectangle(2, 1, 2.0, 1.0);
  m.materials[0].t0 = 15.0;
  return m;
}

std::vector<double> Times(const std::string& out) {
  numlib::DataFileReader r(out);
  return r.ReadReals("TIME").values;
}

TEST(EngineRun, StepsStorageEventsAndMessagesOfOneWeek) {
  ScratchDir dir;
  Block().Write(dir.File("a.dat"));
  Recorder rec;
  testing::RunEngineOn(rec, dir.File("a.dat"), dir.File("a.out"), {{168, 2, 24}});
  ASSERT_GE(rec.messages.size(), 3u);
  EXPECT_EQ(rec.messages[0].number, VEMTO_MSG_INFO);
  EXPECT_EQ(rec.messages[0].text, " CREATING MATRICES");
  EXPECT_EQ(rec.messages[1].text, " READING INPUT DATA");
  EXPECT_EQ(rec.Count(VEMTO_MSG_TIMESTEP), 84);
  EXPECT_EQ(rec.Count(VEMTO_MSG_ERROR), 0);
  EXPECT_EQ(rec.messages.back().number, VEMTO_MSG_FINISHED);
  EXPECT_EQ(rec.messages.back().text, "COMPUTATION FINISHED");
  EXPECT_GT(rec.working, 0);

  const std::vector<double> t = Times(dir.File("a.out"));
  ASSERT_EQ(t.size(), 7u);
  for (int k = 0; k < 7; ++k) EXPECT_NEAR(t[k], 86400.0 * (k + 1), 1e-6);  // sums of 7200 s
  numlib::DataFileReader r(dir.File("a.out"));
  EXPECT_EQ(r.EventCount(), 7);
  for (const char* name : {"T0000007", "Q0000007", "M0000007", "A0000007"})
    EXPECT_NE(r.Find(name), nullptr) << name;
  EXPECT_EQ(r.Find("P0000001"), nullptr);  // no pipes
  EXPECT_EQ(r.Find("U0000001"), nullptr);  // no stresses with tempMode 10
  // No heat, no boundary conditions: the initial temperature stays.
  for (double v : r.ReadReals("T0000007").values) EXPECT_NEAR(v, 15.0, 1e-9);
}

TEST(EngineRun, ElevenStepsOfAnEleventhHourAreAllTaken) {
  ScratchDir dir;
  Block().Write(dir.File("a.dat"));
  Recorder rec;
  testing::RunEngineOn(rec, dir.File("a.dat"), dir.File("a.out"), {{1, 1.0 / 11, 1.0 / 11}});
  EXPECT_EQ(rec.Count(VEMTO_MSG_TIMESTEP), 11);
  const std::vector<double> t = Times(dir.File("a.out"));
  ASSERT_EQ(t.size(), 11u);
  EXPECT_NEAR(t.back(), 3600.0, 1e-9);
}

TEST(EngineRun, SeveralIntervalsSwitchStepAndStorageIncrement) {
  ScratchDir dir;
  Block().Write(dir.File("a.dat"));
  Recorder rec;
  testing::RunEngineOn(rec, dir.File("a.dat"), dir.File("a.out"), {{24, 1, 6}, {48, 2, 12}});
  EXPECT_EQ(rec.Count(VEMTO_MSG_TIMESTEP), 36);
  const std::vector<double> t = Times(dir.File("a.out"));
  const std::vector<double> expected{6, 12, 18, 24, 36, 48};
  ASSERT_EQ(t.size(), expected.size());
  for (std::size_t k = 0; k < t.size(); ++k) EXPECT_NEAR(t[k], expected[k] * 3600.0, 1e-6);
}

TEST(EngineRun, InputPartOrderAndIntegerPacking) {
  ScratchDir dir;
  DatModel m = testing::Rectangle(5, 1, 5.0, 1.0);
  m.edgeTemp.push_back({m.LeftEdge(0)[0], m.LeftEdge(0)[1], m.LeftEdge(0)[2], 1});
  m.edgeTempConds.push_back({10.0, {{0.0, 5.0}, {1e9, 5.0}}});
  m.Write(dir.File("a.dat"));
  Recorder rec;
  testing::RunEngineOn(rec, dir.File("a.dat"), dir.File("a.out"), {{2, 1, 1}});
  numlib::DataFileReader r(dir.File("a.out"));
  std::vector<std::string> names;
  for (const auto& b : r.Blocks()) names.push_back(b.name);
  const std::vector<std::string> expected{
      "TEXT    ", "GII     ", "GIR     ", "COOR    ", "LEL     ", "THCKN   ", "LSE     ",
      "LWT     ", "LELS    ", "PEL     ", "PSE     ", "PELS    ", "IPELS   ", "ITOP    ",
      "ITOPSE  ", "ITPS    ", "T0000001", "Q0000001", "M0000001", "A0000001", "T0000002",
      "Q0000002", "M0000002", "A0000002", "TIME    "};
  EXPECT_EQ(names, expected);
  const numlib::DataBlock& lel = r.Get("LEL");
  EXPECT_EQ(lel.dataWords, 3);
  EXPECT_EQ(lel.storedColumns, -1);
  EXPECT_EQ(r.ReadIntegers("LEL").values, (std::vector<std::int32_t>{1, 1, 1, 1, 1}));
  EXPECT_EQ(r.ReadIntegers("GII").values[2], 0);  // simulation type
  EXPECT_EQ(r.ReadTexts("TEXT").values[0], "TEST MOD");
}

TEST(EngineRun, CancellationKeepsStoredEventsWithoutTime) {
  ScratchDir dir;
  Block().Write(dir.File("a.dat"));
  Recorder rec;
  rec.breakAtStep = 4;
  testing::RunEngineOn(rec, dir.File("a.dat"), dir.File("a.out"), {{10, 1, 1}});
  EXPECT_EQ(rec.Count(VEMTO_MSG_FINISHED), 0);
  EXPECT_EQ(rec.Count(VEMTO_MSG_ERROR), 0);
  EXPECT_EQ(rec.messages.back().number, VEMTO_MSG_TIMESTEP);
  numlib::DataFileReader r(dir.File("a.out"));
  EXPECT_EQ(r.EventCount(), 3);
  EXPECT_FALSE(r.HasTime());

  Recorder first;
  first.breakAtStep = 1;
  testing::RunEngineOn(first, dir.File("a.dat"), dir.File("b.out"), {{10, 1, 1}});
  numlib::DataFileReader r1(dir.File("b.out"));
  EXPECT_EQ(r1.EventCount(), 0);
  EXPECT_FALSE(r1.HasTime());
  // The next run registers again and is not cancelled by the old request.
  Recorder again;
  testing::RunEngineOn(again, dir.File("a.dat"), dir.File("a.out"), {{10, 1, 1}});
  EXPECT_EQ(again.messages.back().text, "COMPUTATION FINISHED");
}

TEST(EngineRun, NonPositiveJacobianEndsTheRunAfterItsMessage) {
  ScratchDir dir;
  DatModel m = Block();
  std::swap(m.el8[1][1], m.el8[1][7]);  // element 2 runs clockwise
  std::swap(m.el8[1][2], m.el8[1][6]);
  std::swap(m.el8[1][3], m.el8[1][5]);
  m.Write(dir.File("a.dat"));
  Recorder rec;
  testing::RunEngineOn(rec, dir.File("a.dat"), dir.File("a.out"), {{10, 1, 1}});
  const testing::Message* err = rec.First(VEMTO_MSG_ERROR);
  ASSERT_NE(err, nullptr);
  EXPECT_EQ(err->code, 1000);
  EXPECT_EQ(err->text, " JACOBIAN NONPOSITIVE IN FINITE ELEMENT NO.    2");
  EXPECT_EQ(rec.messages.back().number, VEMTO_MSG_FINISHED);
  EXPECT_EQ(rec.messages.back().text, " COMPUTATION FINISHED");
  numlib::DataFileReader r(dir.File("a.out"));
  EXPECT_FALSE(r.HasTime());
  EXPECT_NE(r.Find("ITOP"), nullptr);
}

TEST(EngineRun, TemperatureStepFailuresAreReported) {
  // A conductivity of 1e308 overflows the temperature system at once; a heat-transfer
  // coefficient of 1e308 from 2 h on overflows the heat flows of the step ending at 3 h.
  // The run ends with an element error in that step, which stores nothing.
  ScratchDir dir;
  struct Case {
    double lambda, alpha;
    const char* quantity;
    int steps;
  };
  DatModel m;
  for (const Case& c : {Case{1e308, 10.0, "TEMPERATURE", 1}, Case{2.0, 1e308, "HEAT FLOW", 3}}) {
    m = Block();
    m.tempMode = 0;
    m.materials[0].lambda = c.lambda;
    m.edgeTemp.push_back({m.LeftEdge(0)[0], m.LeftEdge(0)[1], m.LeftEdge(0)[2], 1});
    m.edgeTempConds.push_back({c.alpha, {{7200.0, 30.0}, {1e9, 30.0}}});
    m.Write(dir.File("a.dat"));
    Recorder rec;
    testing::RunEngineOn(rec, dir.File("a.dat"), dir.File("a.out"), {{10, 1, 1}});
    const testing::Message* err = rec.First(VEMTO_MSG_ERROR);
    ASSERT_NE(err, nullptr) << c.quantity;
    EXPECT_EQ(err->code, 1000);
    EXPECT_EQ(
        err->text.rfind(fmt::format(" NUMERICAL FAILURE: {} NOT A NUMBER AT NODE", c.quantity), 0),
        0u)
        << err->text;
    EXPECT_EQ(rec.Count(VEMTO_MSG_TIMESTEP), c.steps);
    EXPECT_EQ(rec.messages.back().text, " COMPUTATION FINISHED");
    numlib::DataFileReader r(dir.File("a.out"));
    EXPECT_EQ(r.EventCount(), c.steps - 1);
    EXPECT_FALSE(r.HasTime());
  }
}

TEST(EngineRun, SuspectThermalDataAreWarnedOnceInTheFirstStep) {
  // Material 1 of the elements (material 2, alike, is used by none and not checked), or a
  // thickness of 0 that leaves the temperature system singular (the run goes on with 0 degC).
  const std::pair<const char*, void (*)(DatModel&)> cases[] = {
      {"THERMAL DATA OF MATERIAL 1: thermal conductivity 0 is not positive",
       [](DatModel& m) { m.materials[0].lambda = m.materials[1].lambda = 0.0; }},
      {"THERMAL DATA OF MATERIAL 1: heat capacity rho c = -2400 * 1000 is not positive",
       [](DatModel& m) { m.materials[0].rho = m.materials[1].rho = -2400.0; }},
      {"THERMAL DATA OF MATERIAL 1: t1 0 of the hydration curve is not positive",
       [](DatModel& m) {
         m.materials[0].kind = 1;
         m.materials[0].t1 = 0.0;
       }},
      {"THERMAL DATA OF MATERIAL 1: heat of hydration 5e+06 J/kg and cement content 400 kg/m3"
       " give an adiabatic temperature rise of 833.333 K",
       [](DatModel& m) {
         m.materials[0].kind = 1;
         m.materials[0].qInf = 5e6;
         m.materials[0].cement = 400.0;
       }},
      {"TEMPERATURE SYSTEM SINGULAR IN STEP 1 AT 1 H - NO HEAT CAPACITY OR CONDUCTION?"
       " TEMPERATURES SET TO ZERO",
       [](DatModel& m) { m.thickness = 0.0; }},
  };
  for (const auto& [text, edit] : cases) {
    ScratchDir dir;
    DatModel m = Block();
    m.materials.push_back(m.materials[0]);
    edit(m);
    m.Write(dir.File("a.dat"));
    Recorder rec;
    testing::RunEngineOn(rec, dir.File("a.dat"), dir.File("a.out"), {{3, 1, 1}});
    const std::string warning = std::string(" WARNING: ") + text;
    int seen = 0, step = 0;
    for (const testing::Message& msg : rec.messages) {
      step += msg.number == VEMTO_MSG_TIMESTEP;
      if (msg.text != warning) continue;
      ++seen;
      EXPECT_EQ(step, 1) << warning;
    }
    EXPECT_EQ(seen, 1) << warning;
    EXPECT_EQ(rec.Count(VEMTO_MSG_TIMESTEP), 3);
  }
}

TEST(EngineRun, WorkArrayTooSmall) {
  ScratchDir dir;
  testing::Rectangle(4, 4, 1.0, 1.0).Write(dir.File("a.dat"));
  Recorder rec;
  testing::RunEngineOn(rec, dir.File("a.dat"), dir.File("a.out"), {{10, 1, 1}}, 100);
  const testing::Message* err = rec.First(VEMTO_MSG_ERROR);
  ASSERT_NE(err, nullptr);
  EXPECT_EQ(err->code, 1002);
  EXPECT_EQ(err->text, " PROBLEM TOO LARGE.");
  EXPECT_FALSE(std::filesystem::exists(dir.File("a.out")));
  Recorder none;
  testing::RunEngineOn(none, dir.File("a.dat"), dir.File("a.out"), {{10, 1, 1}}, -5);
  ASSERT_NE(none.First(VEMTO_MSG_ERROR), nullptr);
  EXPECT_EQ(none.First(VEMTO_MSG_ERROR)->code, 1002);
}

TEST(EngineRun, TemperatureAndMaturityFromAnotherModel) {
  ScratchDir dir;
  DatModel m = Block();
  m.tempMode = 12;
  m.Write(dir.File("a.dat"));
  std::ofstream(dir.File("a.dtm")) << "0\n20 5\n21 6\n";
  Recorder rec;
  testing::RunEngineOn(rec, dir.File("a.dat"), dir.File("a.out"), {{5, 1, 1}}, 800000,
                       dir.File("a.dtm"));
  EXPECT_EQ(rec.messages.back().text, "COMPUTATION FINISHED");
  numlib::DataFileReader r(dir.File("a.out"));
  EXPECT_TRUE(r.HasTime());
  EXPECT_EQ(r.EventCount(), 0);  // tempMode 12 stores no fields
  EXPECT_EQ(r.ReadReals("TIME").values.size(), 5u);

  // Missing file, and data that run out before the end of the run.
  Recorder missing;
  testing::RunEngineOn(missing, dir.File("a.dat"), dir.File("b.out"), {{5, 1, 1}}, 800000,
                       dir.File("none.dtm"));
  ASSERT_NE(missing.First(VEMTO_MSG_ERROR), nullptr);
  EXPECT_EQ(missing.First(VEMTO_MSG_ERROR)->code, 1001);
  EXPECT_EQ(missing.First(VEMTO_MSG_ERROR)->text, " TEMPERATURE AND MATURITY DATA NOT AVAILABLE");
  std::ofstream(dir.File("b.dtm")) << "0\n20 5\n21 6\n7200\n22 7\n23 8\n";
  Recorder runsOut;
  testing::RunEngineOn(runsOut, dir.File("a.dat"), dir.File("c.out"), {{5, 1, 1}}, 800000,
                       dir.File("b.dtm"));
  ASSERT_NE(runsOut.First(VEMTO_MSG_ERROR), nullptr);
  EXPECT_EQ(runsOut.First(VEMTO_MSG_ERROR)->code, 1001);
  EXPECT_EQ(runsOut.Count(VEMTO_MSG_TIMESTEP), 3);  // fails in the step ending at 3 h
  numlib::DataFileReader rc(dir.File("c.out"));
  EXPECT_FALSE(rc.HasTime());
  std::ofstream(dir.File("c.dtm")) << "0\n20 5\n";  // one element short
  Recorder shortFile;
  testing::RunEngineOn(shortFile, dir.File("a.dat"), dir.File("d.out"), {{5, 1, 1}}, 800000,
                       dir.File("c.dtm"));
  ASSERT_NE(shortFile.First(VEMTO_MSG_ERROR), nullptr);
  EXPECT_EQ(shortFile.First(VEMTO_MSG_ERROR)->code, 1001);
}

TEST(EngineRun, ElementCastLaterStartsFromItsInitialTemperature) {
  ScratchDir dir;
  DatModel m = Block();
  m.materials.push_back(m.materials[0]);
  // Active from the first step whose end passes the casting time by 1e-6 s: the
  // step ending at 2 h (a step ending exactly at 1 h does not pass it).
  m.materials[1].cast = 3600.0;
  m.materials[1].t0 = 35.0;
  m.el8[1][8] = 2;
  m.Write(dir.File("a.dat"));
  Recorder rec;
  testing::RunEngineOn(rec, dir.File("a.dat"), dir.File("a.out"), {{3, 1, 1}});
  numlib::DataFileReader r(dir.File("a.out"));
  const auto t1 = r.ReadReals("T0000001").values, t2 = r.ReadReals("T0000002").values;
  const int only2 = m.el8[1][4];  // a corner node of element 2 alone
  const int shared = m.el8[1][0];
  EXPECT_EQ(t1[only2 - 1], 0.0);  // inactive nodes hold 0
  EXPECT_EQ(r.ReadReals("Q0000001").values[only2 - 1], 0.0);
  EXPECT_NEAR(t1[shared - 1], 15.0, 1e-9);
  EXPECT_GT(t2[only2 - 1], 15.0);  // starts from 35 °C in the step ending at 2 h
  EXPECT_LT(t2[only2 - 1], 35.0 + 1e-9);
}

TEST(EngineRun, ElementCastBeforeTheStartStartsFromItsInitialState) {
  // Ground or an older casting exists before the run starts: its first step starts from
  // its own initial temperature and maturity, not from the 0 of nodes never active.
  ScratchDir dir;
  DatModel m = Block();
  m.materials[0].cast = -1.0e6;
  m.materials[0].t0 = 35.0;
  m.materials[0].m0 = 7200.0;
  m.Write(dir.File("a.dat"));
  Recorder rec;
  testing::RunEngineOn(rec, dir.File("a.dat"), dir.File("a.out"), {{2, 1, 1}});
  ASSERT_EQ(rec.Count(VEMTO_MSG_ERROR), 0);
  numlib::DataFileReader r(dir.File("a.out"));
  for (double t : r.ReadReals("T0000001").values) EXPECT_NEAR(t, 35.0, 1e-9);  // insulated, inert
  for (double t : r.ReadReals("T0000002").values) EXPECT_NEAR(t, 35.0, 1e-9);
  for (double mg : r.ReadReals("M0000001").values) EXPECT_NEAR(mg, 7200.0, 1e-6);
}

// Damaged analysis data files end with code 1003 and a text naming the line;
// nothing is created.
TEST(EngineRun, DamagedAnalysisDataFiles) {
  ScratchDir dir;
  DatModel m = Block();
  m.edgeTemp.push_back({m.LeftEdge(0)[0], m.LeftEdge(0)[1], m.LeftEdge(0)[2], 1});
  m.edgeTempConds.push_back({10.0, {{0.0, 5.0}, {1e9, 5.0}}});
  const std::string good = m.Text();
  auto run = [&](const std::string& text) {
    std::ofstream(dir.File("bad.dat"), std::ios::binary) << text;
    std::filesystem::remove(dir.File("bad.out"));
    Recorder rec;
    testing::RunEngineOn(rec, dir.File("bad.dat"), dir.File("bad.out"), {{2, 1, 1}});
    return rec;
  };
  // Every truncation of the file.
  for (std::size_t cut = 0; cut + 1 < good.size(); cut += 37) {
    Recorder rec = run(good.substr(0, cut));
    const testing::Message* err = rec.First(VEMTO_MSG_ERROR);
    ASSERT_NE(err, nullptr) << cut;
    EXPECT_EQ(err->code, 1003) << cut;
    EXPECT_EQ(rec.Count(VEMTO_MSG_FINISHED), 0);
    EXPECT_FALSE(std::filesystem::exists(dir.File("bad.out"))) << cut;
  }
  auto replaceLine = [&](int line, const std::string& text) {
    std::string s = good;
    std::size_t pos = 0;
    for (int i = 1; i < line; ++i) pos = s.find('\n', pos) + 1;
    return s.substr(0, pos) + text + s.substr(s.find('\n', pos));
  };
  struct Case {
    int line;
    std::string text, fragment;
  };
  const int firstElement = 5 + static_cast<int>(m.nodes.size()) + 1;
  const std::vector<Case> cases{
      {2, "2 1 0 2 1 10", "number of nodes"},
      {2, "7 1 21 2 1 10", "analysis type"},
      {firstElement, "1 2 3 4 5 6 7 99 1 0 0 0", "node 99"},
      {firstElement, "1 2 3 4 5 6 7 8 2 0 0 0", "material 2"},
      {firstElement, "1 2 3 4 5 6 7 8 1 3 1 1", "pipe 1"},
      {firstElement, "1 2 3 4 5 6 7 8 1 2 0 0", "pipe corner 2"},
      {firstElement, "1 2 3 4 5 6 7 8 1 0 0 x", "\"x\""},
      {4, "0 0 1 1 0 0 0 0 0 0 0 0 0 0 1", "pipe pass 76"},
  };
  for (const Case& c : cases) {
    std::string text = replaceLine(c.line, c.text);
    if (c.fragment == "pipe pass 76") {
      // A pipe with a pass number beyond the 75 a pipe can hold.
      text = replaceLine(firstElement, "1 2 3 4 5 6 7 8 1 1 1 76");
      const std::size_t l4 = text.find('\n', text.find('\n', text.find('\n') + 1) + 1) + 1;
      text =
          text.substr(0, l4) + "0 0 1 1 0 0 0 0 0 0 0 0 0 0 1" + text.substr(text.find('\n', l4));
    }
    Recorder rec = run(text);
    const testing::Message* err = rec.First(VEMTO_MSG_ERROR);
    ASSERT_NE(err, nullptr) << c.fragment;
    EXPECT_EQ(err->code, 1003) << c.fragment;
    EXPECT_NE(err->text.find(c.fragment), std::string::npos) << err->text;
    EXPECT_NE(err->text.find("bad.dat, line"), std::string::npos) << err->text;
  }
  // Histories longer than 1000 points.
  {
    std::string text = good;
    const std::size_t p = text.find("2 10\n");
    ASSERT_NE(p, std::string::npos);
    text.replace(p, 5, "1001 10\n");
    Recorder rec = run(text);
    ASSERT_NE(rec.First(VEMTO_MSG_ERROR), nullptr);
    EXPECT_NE(rec.First(VEMTO_MSG_ERROR)->text.find("1001 history points"), std::string::npos);
  }
  Recorder missing;
  testing::RunEngineOn(missing, dir.File("nothing.dat"), dir.File("x.out"), {{2, 1, 1}});
  ASSERT_NE(missing.First(VEMTO_MSG_ERROR), nullptr);
  EXPECT_EQ(missing.First(VEMTO_MSG_ERROR)->code, 1003);
  EXPECT_EQ(missing.First(VEMTO_MSG_ERROR)->text, "COULD NOT OPEN INPUT FILE.");
  EXPECT_FALSE(std::filesystem::exists(dir.File("x.out")));
  // Time intervals that cannot be stepped.
  std::ofstream(dir.File("good.dat")) << good;
  Recorder zeroStep;
  testing::RunEngineOn(zeroStep, dir.File("good.dat"), dir.File("y.out"), {{2, 0, 1}});
  ASSERT_NE(zeroStep.First(VEMTO_MSG_ERROR), nullptr);
  EXPECT_EQ(zeroStep.First(VEMTO_MSG_ERROR)->code, 1003);
}

TEST(EngineRun, ResultDatabaseThatCannotBeCreated) {
  ScratchDir dir;
  Block().Write(dir.File("a.dat"));
  Recorder rec;
  testing::RunEngineOn(rec, dir.File("a.dat"), dir.File("missing/folder/a.out"), {{2, 1, 1}});
  const testing::Message* err = rec.First(VEMTO_MSG_ERROR);
  ASSERT_NE(err, nullptr);
  EXPECT_EQ(err->text, " FILE NOT AVAILABLE");
  EXPECT_EQ(rec.Count(VEMTO_MSG_TIMESTEP), 0);
  EXPECT_EQ(rec.Count(VEMTO_MSG_FINISHED), 0);
}

TEST(EngineRun, StorageEventsBeyondTheCountedNumberAreNotRecorded) {
  // Steps of 3.3 h do not fill the first interval of 10 h, so its last step runs on to
  // 13.2 h and stores there; the second interval (0.1 h, one step, storage every hour)
  // counts no event, so 3 events are counted and 4 fire.
  ScratchDir dir;
  Block().Write(dir.File("a.dat"));
  Recorder rec;
  testing::RunEngineOn(rec, dir.File("a.dat"), dir.File("a.out"), {{10, 3.3, 3.3}, {10.1, 0.1, 1}});
  EXPECT_EQ(rec.Count(VEMTO_MSG_TIMESTEP), 4);
  EXPECT_EQ(rec.messages.back().text, "COMPUTATION FINISHED");
  numlib::DataFileReader r(dir.File("a.out"));
  EXPECT_EQ(r.EventCount(), 3);
  const std::vector<double> t = r.ReadReals("TIME").values;
  ASSERT_EQ(t.size(), 3u);
  for (int k = 0; k < 3; ++k) EXPECT_NEAR(t[k], 3.3 * 3600.0 * (k + 1), 1e-6);
}

TEST(EngineRun, StorageTimesBeforeTheTimeOrigin) {
  // Initial time -24 h, storage every 6 h: events at -18, -12, -6, 0, 6 h, whatever the sign.
  ScratchDir dir;
  DatModel m = Block();
  m.initialTime = -24 * 3600.0;
  m.Write(dir.File("a.dat"));
  Recorder rec;
  testing::RunEngineOn(rec, dir.File("a.dat"), dir.File("a.out"), {{6, 1, 6}});
  const std::vector<double> t = Times(dir.File("a.out"));
  ASSERT_EQ(t.size(), 5u);
  for (int k = 0; k < 5; ++k) EXPECT_NEAR(t[k], (-18.0 + 6.0 * k) * 3600.0, 1e-6) << k;
}

TEST(EngineRun, ResultDatabaseRecordLayout) {
  ScratchDir dir;
  Block().Write(dir.File("a.dat"));
  Recorder rec;
  testing::RunEngineOn(rec, dir.File("a.dat"), dir.File("a.out"), {{1, 1, 1}});
  std::ifstream in(dir.File("a.out"), std::ios::binary);
  std::vector<char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  ASSERT_GE(bytes.size(), 8u * 7u);
  auto real = [&](std::size_t record) {
    double v;
    std::memcpy(&v, bytes.data() + 8 * (record - 1), 8);
    return v;
  };
  EXPECT_EQ(std::string(bytes.data(), 8), "DATAFILE");
  EXPECT_EQ(real(2), static_cast<double>(bytes.size() / 8 + 1));  // first free record
  EXPECT_EQ(std::string(bytes.data() + 16, 8), "TEXT    ");
  EXPECT_EQ(real(4), 10.0);  // data words
  EXPECT_EQ(real(5), 1.0);   // columns
  EXPECT_EQ(real(6), 3.0);   // text
  EXPECT_EQ(std::string(bytes.data() + 8 * 6, 8), "TEST MOD");
  // GII follows at record 3 + 4 + 10: 4 integers in 2 words.
  EXPECT_EQ(std::string(bytes.data() + 8 * 16, 8), "GII     ");
  EXPECT_EQ(real(18), 2.0);
  EXPECT_EQ(real(19), 1.0);
  EXPECT_EQ(real(20), 1.0);
  std::int32_t gii[2];
  std::memcpy(gii, bytes.data() + 8 * 20, 8);
  EXPECT_EQ(gii[0], 2);  // analysis type, in the first four bytes
  EXPECT_EQ(gii[1], 1);  // time steps as read
}

TEST(EngineRun, StorageEventNames) {
  EXPECT_EQ(StorageEventName('T', 1), "T0000001");
  EXPECT_EQ(StorageEventName('S', 12), "S0000012");
  EXPECT_EQ(StorageEventName('C', 89999999), "C9999999");
}

}  // namespace
}  // namespace vemto::engine
