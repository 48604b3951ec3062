// Histories pasted from a spreadsheet, transfer coefficients and weather series.
#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "ConditionEditing.h"

namespace vemto {
namespace {

constexpr double kTol = 1e-12;  // relative tolerance of computed coefficients

std::vector<TVemtoEventPos> Events(std::initializer_list<std::array<double, 3>> rows) {
  std::vector<TVemtoEventPos> out;
  for (const auto& r : rows) {
    TVemtoEventPos p;
    p.Time = r[0];
    p.Value1 = r[1];
    p.Value2 = r[2];
    out.push_back(p);
  }
  return out;
}

struct PasteCase {
  const char* name;
  std::string text;
  std::vector<std::array<double, 3>> expected;  // empty: refused
  std::string message;                          // part of the refusal
};

class PasteTest : public ::testing::TestWithParam<PasteCase> {};

TEST_P(PasteTest, OverwritesFromTheFirstEventAllOrNothing) {
  TVemtoTempCondition c;
  const auto before = Events({{0, 1, 7}, {10, 2, 7}, {20, 3, 7}});
  const PasteCase& k = GetParam();
  if (k.expected.empty()) {
    try {
      PasteIntoHistory(before, LayoutOf(c), k.text);
      FAIL() << "accepted";
    } catch (const HistoryTextError& e) {
      EXPECT_NE(std::string(e.what()).find(k.message), std::string::npos) << e.what();
    }
    return;
  }
  const auto after = PasteIntoHistory(before, LayoutOf(c), k.text);
  ASSERT_EQ(after.size(), k.expected.size());
  for (std::size_t i = 0; i < after.size(); ++i) {
    EXPECT_EQ(after[i].Time, k.expected[i][0]) << i;
    EXPECT_EQ(after[i].Value1, k.expected[i][1]) << i;
    EXPECT_EQ(after[i].Value2, k.expected[i][2]) << i;  // hidden value kept, 0 for new
  }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, PasteTest,
    ::testing::Values(
        PasteCase{"crlf", "0\t10\r\n5\t12\r\n", {{0, 10, 7}, {5, 12, 7}, {20, 3, 7}}, ""},
        PasteCase{"lf_no_end", "0\t10\n5\t12", {{0, 10, 7}, {5, 12, 7}, {20, 3, 7}}, ""},
        PasteCase{"grows",
                  "0\t1\n1\t2\n2\t3\n3\t4\r\n\r\n",
                  {{0, 1, 7}, {1, 2, 7}, {2, 3, 7}, {3, 4, 0}},
                  ""},
        PasteCase{
            "header", "Time (h)\tTemp. (C)\n0\t10\n", {{0, 10, 7}, {10, 2, 7}, {20, 3, 7}}, ""},
        PasteCase{"bad_cell", "0\t10\n5\tx1\n", {}, "Invalid numeric input. (x1) Row 2, column 2"},
        PasteCase{"too_wide", "0\t10\t3\n", {}, "Data does not fit into grid. (Row 1"},
        PasteCase{"missing", "0\t10\n5\n", {}, "Row 2, column 2 (Temp. (C))"},
        PasteCase{"order", "0\t1\n24\t2\n24\t3\n", {}, "Invalid time scale. (Event 3"},
        PasteCase{"below_kept_out_of_order", "0\t1\n30\t2\n", {}, "Invalid time scale. (Event 3"},
        PasteCase{"empty", "\r\n", {}, "no rows"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(Paste, LimitIsTheLibrariesThousandPoints) {
  TVemtoFlowCondition c;
  std::string text;
  for (int i = 0; i < 1000; ++i) text += std::to_string(i) + "\t1\n";
  EXPECT_EQ(PasteIntoHistory({}, LayoutOf(c), text).size(), 1000u);
  text += "1000\t1\n";
  EXPECT_THROW(PasteIntoHistory({}, LayoutOf(c), text), HistoryTextError);
}

TEST(Paste, DisplacementInYFillsValue2) {
  TVemtoDisplCondition c;
  c.Direction = 2;
  const auto h = PasteIntoHistory(Events({{0, 5, 5}}), LayoutOf(c), "0\t0.25\n");
  EXPECT_EQ(h[0].Value1, 5.0);
  EXPECT_EQ(h[0].Value2, 0.25);
  EXPECT_EQ(LayoutOf(c).ColumnTitles[0], "Displ Y (m)");
}

TEST(TransferCoefficient, WindAndInsulationAsComputedByHand) {
  EXPECT_NEAR(*InsulatedCoefficient(InsulationKind::None, 0, 0, 4.0), 21.4, 21.4 * kTol);
  const double h5 = 7.2 * std::pow(5.0, 0.78);  // 7.2 * e^(0.78 ln 5) = 25.2656
  EXPECT_NEAR(h5, 25.26557, 1e-4);
  EXPECT_NEAR(*InsulatedCoefficient(InsulationKind::None, 0, 0, 5.0), h5, h5 * kTol);
  const double steel = 1.0 / (1.0 / h5 + 0.005 / 45.0);
  EXPECT_NEAR(*InsulatedCoefficient(InsulationKind::Steel, 45.0, 0.005, 5.0), steel, steel * kTol);
  EXPECT_FALSE(InsulatedCoefficient(InsulationKind::Other, 0.0, 0.01, 5.0));
  EXPECT_FALSE(InsulatedCoefficient(InsulationKind::SpecifiedTransferCoefficient, 1, 1, 1));
  EXPECT_NEAR(*PipeWallCoefficient(0.0038, 0.38), 1.0 / 0.011, 1e-9);
  EXPECT_FALSE(PipeWallCoefficient(0.0, 0.0));
}

TEST(Weather, DateTimesWindAndTheMeanCoefficient) {
  const std::string text =
      "\xEF\xBB\xBFtime;air;wind\r\n"
      "2026-05-01 10:00;12.5;2\r\n"
      "2026-05-01T16:00:00;14;4\r\n\r\n"
      "\"2026-05-02 10:00\";8;2\r\n";
  const WeatherSeries s = ParseWeatherSeries(text, "w.csv");
  EXPECT_EQ(s.Time, (std::vector<double>{0, 6, 24}));
  EXPECT_EQ(s.Temperature, (std::vector<double>{12.5, 14, 8}));
  TVemtoTempCondition c;
  c.SetEditorDefaults();
  c.InsulationType = static_cast<std::uint8_t>(InsulationKind::Wood);
  c.ThermalConductivity = 0.14;
  c.InsulationThickness = 0.02;
  const WeatherImport w = ImportWeather(c, s);
  const double mean = (6 * 3.0 + 18 * 3.0) / 24.0;  // trapezoids 0-6 h and 6-24 h
  EXPECT_NEAR(*w.WindVelocity, mean, 1e-12);
  const double k = 1.0 / (1.0 / (5.6 + 3.95 * mean) + 0.02 / 0.14);
  EXPECT_NEAR(*w.TransferCoefficient, k, k * kTol);
  ASSERT_EQ(w.History.size(), 3u);
  EXPECT_EQ(w.History[2].Value1, 8.0);
  c.ThermalConductivity = 0.0;
  EXPECT_THROW(ImportWeather(c, s), HistoryTextError);
}

TEST(Weather, HoursWithoutWindKeepTheCoefficient) {
  const WeatherSeries s = ParseWeatherSeries("t\tT\n0\t5\n1.5\t6\n", "w.txt");
  EXPECT_EQ(s.Time, (std::vector<double>{0, 1.5}));
  EXPECT_TRUE(s.Wind.empty());
  TVemtoTempCondition c;
  EXPECT_FALSE(ImportWeather(c, s).TransferCoefficient);
}

TEST(Weather, FirstUnreadableRowIsNamedWithFileAndLine) {
  const std::pair<const char*, const char*> cases[] = {
      {"h,T,v\n0,1,2\n1,1\n", "w.csv, line 3: 3 fields expected, 2 found."},  // truncated
      {"h,T\n0,1\n1,abc\n", "w.csv, line 3: the air temperature \"abc\""},
      {"h,T\n0,1\n\n0,2\n", "w.csv, line 4: the time \"0\" is not after"},
      {"h,T\n0,1\n2026-01-01 00:00,2\n", "w.csv, line 3: the time \"2026-01-01 00:00\" is not"},
      {"h,T\n2026-02-30 10:00,1\n", "w.csv, line 2: the time"},
      {"h,T,v\n0,1,-3\n", "w.csv, line 2: the wind speed \"-3\""},
      {"h,T\n", "w.csv, line 1: the header is not followed"},
      {"", "w.csv: the file is empty."},
  };
  for (const auto& [text, message] : cases) {
    try {
      ParseWeatherSeries(text, "w.csv");
      ADD_FAILURE() << "accepted: " << text;
    } catch (const HistoryTextError& e) {
      EXPECT_NE(std::string(e.what()).find(message), std::string::npos) << e.what();
    }
  }
}

}  // namespace
}  // namespace vemto
