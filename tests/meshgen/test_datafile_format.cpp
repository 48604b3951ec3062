// Fixed-width number fields of the analysis data file.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>

#include "FixedFormat.h"
#include "test_datafile_model.h"

namespace meshgen {
namespace {

using testing::FreeFormat;

TEST(FixedFormat, ExponentFormsOfE16AndE19) {
  EXPECT_EQ(E16(1.5), " 0.150000000E+01");
  EXPECT_EQ(E16(-1.5), "-0.150000000E+01");
  EXPECT_EQ(E16(0.0), " 0.000000000E+00");
  EXPECT_EQ(E16(3600.0), " 0.360000000E+04");
  EXPECT_EQ(E16(0.001), " 0.100000000E-02");
  EXPECT_EQ(E16(1.0), " 0.100000000E+01");
  EXPECT_EQ(E16(123456789012.0), " 0.123456789E+12");
  EXPECT_EQ(E19(1.5), "   0.1500000000E+01");
  EXPECT_EQ(E19(-2.0 / 3.0), "  -0.6666666667E+00");
  // Rounding to nine digits can carry into the exponent.
  EXPECT_EQ(E16(0.9999999999), " 0.100000000E+01");
  EXPECT_EQ(E16(9.9999999996e99), "0.100000000E+101");
}

TEST(FixedFormat, ThreeDigitExponentsKeepTheLetter) {
  EXPECT_EQ(E16(1e100), "0.100000000E+101");
  EXPECT_EQ(E16(-1.5e-150), "-0.150000000E-149");
  EXPECT_EQ(E19(-2.5e300), " -0.2500000000E+301");
  EXPECT_EQ(E16(std::numeric_limits<double>::denorm_min()), "0.494065646E-323");
  EXPECT_EQ(E16(-std::numeric_limits<double>::max()), "-0.179769313E+309");
}

TEST(FixedFormat, G16ChoosesFixedPointInItsRange) {
  EXPECT_EQ(G16(1.5), "  1.50000000    ");
  EXPECT_EQ(G16(0.15), " 0.150000000    ");
  EXPECT_EQ(G16(-0.15), "-0.150000000    ");
  EXPECT_EQ(G16(0.0), "  0.00000000    ");
  EXPECT_EQ(G16(-1.0), " -1.00000000    ");
  EXPECT_EQ(G16(123456789.0), "  123456789.    ");
  EXPECT_EQ(G16(0.1), " 0.100000000    ");
  // 0.09999999999 rounds to 0.100000000: fixed point.
  EXPECT_EQ(G16(0.09999999999), " 0.100000000    ");
  EXPECT_EQ(G16(0.05), " 0.500000000E-01");
  EXPECT_EQ(G16(1e9), " 0.100000000E+10");
  EXPECT_EQ(G16(999999999.6), " 0.100000000E+10");
  EXPECT_EQ(G16(-1e-200), "-0.100000000E-199");
}

TEST(FixedFormat, IntegersNeverJoinTheirNeighbours) {
  std::string s;
  AppendInt(s, 42, 8);
  AppendInt(s, -7, 5);
  AppendInt(s, 12345678, 8);  // fills its field: a blank is kept in front
  AppendInt(s, 123456, 5);
  EXPECT_EQ(s, "      42   -7 12345678 123456");
}

TEST(FixedFormat, EveryFieldReadsBackFreeFormat) {
  // Values across the whole range, with both signs; the read-back value is
  // the nine (ten) significant digit rounding of the written one.
  for (double v : {0.0, 1.5, 0.1, 7.25e-5, 3.0e8, 1.0e100, 2.5e-150, 1.7e308, 4.9e-324, 6.0e-310,
                   123456789.0, 0.999999999}) {
    for (double s : {1.0, -1.0}) {
      const double x = s * v;
      for (const std::string& t : {E16(x), E19(x), G16(x)}) {
        FreeFormat f(t);
        const double back = FreeFormat::ToReal(f.Tokens(1)[0]);
        EXPECT_NEAR(back, x, std::fabs(x) * 1e-8 + 1e-320) << t;
      }
    }
  }
}

}  // namespace
}  // namespace meshgen
