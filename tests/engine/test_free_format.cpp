// Free-format reading: separators, exponent forms, records spanning lines, errors.
#include <gtest/gtest.h>

#include <sstream>

#include "FreeFormatReader.h"

namespace vemto::engine {
namespace {

TEST(FreeFormat, NumberForms) {
  double v = 0;
  EXPECT_TRUE(ParseReal("1.5E+03", v));
  EXPECT_EQ(v, 1500.0);
  EXPECT_TRUE(ParseReal("0.15D+02", v));
  EXPECT_EQ(v, 15.0);
  EXPECT_TRUE(ParseReal("-.5d0", v));
  EXPECT_EQ(v, -0.5);
  EXPECT_TRUE(ParseReal("+7", v));
  EXPECT_EQ(v, 7.0);
  for (const char* bad : {"", "+", "1.5E", "abc", "1,5", "nan", "inf", "1e999", "--1"})
    EXPECT_FALSE(ParseReal(bad, v)) << bad;
  std::int32_t i = 0;
  EXPECT_TRUE(ParseInteger("-12", i));
  EXPECT_EQ(i, -12);
  for (const char* bad : {"1.0", "1e3", "", "99999999999", "x"})
    EXPECT_FALSE(ParseInteger(bad, i)) << bad;
}

TEST(FreeFormat, RecordsSkipRestOfLineAndContinueOnNextLines) {
  std::istringstream s("1, 2 3 ignored\n4\n\n5 6\n7 8 9\n");
  FreeFormatReader r(s, "x.dat");
  std::int32_t a[2];
  r.ReadIntegers(a, "a");
  EXPECT_EQ(a[0], 1);
  EXPECT_EQ(a[1], 2);
  std::int32_t b[3];
  r.ReadIntegers(b, "b");  // 4, blank line skipped, 5 6
  EXPECT_EQ(b[0], 4);
  EXPECT_EQ(b[2], 6);
  EXPECT_EQ(r.Line(), 4);
  r.BeginRecord();
  EXPECT_EQ(r.NextReal("c"), 7.0);
  EXPECT_EQ(r.NextInteger("c"), 8);
  r.EndRecord();
  EXPECT_TRUE(r.AtEnd());
}

TEST(FreeFormat, ErrorsNameFileAndLine) {
  std::istringstream s("1 2\n3 x\n");
  FreeFormatReader r(s, "model.dat");
  std::int32_t a[2];
  r.ReadIntegers(a, "first");
  try {
    r.ReadIntegers(a, "second");
    FAIL();
  } catch (const InputError& e) {
    EXPECT_NE(std::string(e.what()).find("model.dat, line 2"), std::string::npos) << e.what();
    EXPECT_NE(std::string(e.what()).find("\"x\""), std::string::npos) << e.what();
  }
  std::istringstream t("1\n");
  FreeFormatReader r2(t, "short.dat");
  EXPECT_THROW(r2.ReadIntegers(a, "pair"), InputError);
  EXPECT_TRUE(r2.HitEnd());
}

TEST(FreeFormat, RawTitleLineIsPaddedOrCut) {
  std::istringstream s(std::string("AB\r\n") + std::string(100, 'x') + "\n");
  FreeFormatReader r(s, "t.dat");
  EXPECT_EQ(r.ReadRawLine(8), "AB      ");
  EXPECT_EQ(r.ReadRawLine(80), std::string(80, 'x'));
}

}  // namespace
}  // namespace vemto::engine
