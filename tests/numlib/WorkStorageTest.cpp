#include "WorkStorage.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "FatalStop.h"

#include <unistd.h>

namespace numlib {
namespace {

using ::testing::ElementsAre;

// A storage whose diagnostic lines are collected.
struct Recorded {
  std::vector<std::string> lines;
  WorkStorage storage;
  explicit Recorded(std::int32_t words, int printLevel = 2) : storage(words) {
    storage.Control().PrintLevel = printLevel;
    storage.SetDiagnostics([this](std::string_view line) { lines.emplace_back(line); });
  }
};

double HeaderReal(const WorkStorage& s, std::int32_t k) {
  double v;
  std::memcpy(&v, s.WordAddress(k), 8);
  return v;
}

TEST(WorkStorage, AllocationSetsTheControlOfBothEntryPoints) {
  WorkStorage s(800000);
  EXPECT_EQ(s.Control().TotalWords, 800000);
  EXPECT_EQ(s.Control().NextFree, 1);
  EXPECT_EQ(s.Control().HeaderWords, 4);
  EXPECT_EQ(s.Control().PrintLevel, 2);
  // A count below 1 allocates nothing, so every definition fails.
  for (std::int32_t words : {0, -5}) {
    WorkStorage empty(words);
    EXPECT_EQ(empty.DefineMatrix("A", 0, 0, MatrixType::Real), 0);
    EXPECT_EQ(empty.Control().NextFree, 1);
  }
}

TEST(WorkStorage, NeverBeyondTheAllocatedWords) {
  WorkStorage s(100);
  s.Control().TotalWords = 1000000;  // a control changed by hand
  EXPECT_EQ(s.DefineMatrix("A", 200, 1, MatrixType::Real), 0);
  EXPECT_EQ(s.DefineMatrix("A", 95, 1, MatrixType::Real), 5);
  WorkStorage moved(std::move(s));
  EXPECT_NE(moved.Find("A"), 0);
  EXPECT_EQ(s.Control().TotalWords, 0);  // NOLINT(bugprone-use-after-move): defined state
  EXPECT_EQ(s.DefineMatrix("B", 1, 1, MatrixType::Real), 0);
  EXPECT_EQ(s.Find("A"), 0);
}

TEST(WorkStorage, HundredWordArray) {
  Recorded r(100, 1);
  // 10 x 10 reals need 104 words: refused, nothing changes.
  EXPECT_EQ(r.storage.DefineMatrix("BIG", 10, 10, MatrixType::Real), 0);
  EXPECT_EQ(r.storage.Control().NextFree, 1);
  EXPECT_THAT(r.lines, ElementsAre(" STORAGE EXCEEDED   100 RESERVED   105 REQUIRED",
                                   " MATRIX BIG      HAS NOT BEEN DEFINED"));
  r.lines.clear();
  // 5 x 10 reals: 54 words at index 5, rest 45 > 10, no warning.
  EXPECT_EQ(r.storage.DefineMatrix("COOR", 5, 10, MatrixType::Real), 5);
  EXPECT_EQ(r.storage.Control().NextFree, 55);
  EXPECT_TRUE(r.lines.empty());
  // Header: name, words, columns, type.
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(r.storage.WordAddress(1)), 8), "COOR    ");
  EXPECT_DOUBLE_EQ(HeaderReal(r.storage, 2), 54.0 - 4.0);
  EXPECT_DOUBLE_EQ(HeaderReal(r.storage, 3), 10.0);
  EXPECT_DOUBLE_EQ(HeaderReal(r.storage, 4), 2.0);
}

TEST(WorkStorage, PackedIntegerSizes) {
  WorkStorage s(1000);
  const std::int32_t a = s.DefineMatrix("ODD", 3, 3, MatrixType::Integer);
  const MatrixInfo odd = s.Info(a);
  EXPECT_EQ(odd.dataWords, 5);
  EXPECT_EQ(odd.storedColumns, -3);
  EXPECT_EQ(odd.Elements(), 9);
  EXPECT_EQ(odd.Rows(), 3);
  const std::int32_t b = s.DefineMatrix("EVEN", 2, 3, MatrixType::Integer);
  EXPECT_EQ(b, a + 5 + 4);
  const MatrixInfo even = s.Info(b);
  EXPECT_EQ(even.dataWords, 3);
  EXPECT_EQ(even.storedColumns, 3);
  EXPECT_EQ(even.Rows(), 2);
  // Text matrices take one word per element, like reals.
  const std::int32_t t = s.DefineMatrix("TEXT", 2, 5, MatrixType::Text);
  EXPECT_EQ(s.Info(t).dataWords, 10);
  EXPECT_EQ(s.Info(t).type, MatrixType::Text);
  // Empty matrices are headers only.
  const std::int32_t e = s.DefineMatrix("LPET", 3, 0, MatrixType::Integer);
  EXPECT_EQ(s.Info(e).dataWords, 0);
  EXPECT_EQ(s.Control().NextFree, e);
}

TEST(WorkStorage, IntegerPairsLieLowerAddressFirst) {
  WorkStorage s(100);
  const std::int32_t a = s.DefineMatrix("I", 3, 1, MatrixType::Integer);
  IntegerMatrix m = s.IntegersAt(a);
  m(1) = 7;
  m(2) = -8;
  m(3) = 9;
  std::int32_t lo, hi;
  std::memcpy(&lo, s.WordAddress(a), 4);
  std::memcpy(&hi, s.WordAddress(a) + 4, 4);
  EXPECT_EQ(lo, 7);
  EXPECT_EQ(hi, -8);
  std::memcpy(&lo, s.WordAddress(a + 1), 4);
  EXPECT_EQ(lo, 9);
}

TEST(WorkStorage, NinetyPercentWarningAndTheLastWord) {
  // need = 4 + 86 = 90, rest = 100 - 1 - 90 = 9 <= 10: fits with the warning.
  Recorded r(100, 1);
  EXPECT_EQ(r.storage.DefineMatrix("A", 86, 1, MatrixType::Real), 5);
  EXPECT_THAT(r.lines, ElementsAre(" WARNING! - MORE THAN 90% OF STORAGE USED!"));
  // rest exactly TotalWords / 10 also warns.
  Recorded exact(100, 1);
  EXPECT_EQ(exact.storage.DefineMatrix("A", 85, 1, MatrixType::Real), 5);  // rest = 10
  EXPECT_EQ(exact.lines.size(), 1u);
  // Next free word 100 would still fit into word 100, but NextFree + need > TotalWords.
  Recorded last(100, 1);
  EXPECT_EQ(last.storage.DefineMatrix("A", 95, 1, MatrixType::Real), 5);  // NextFree 100
  last.lines.clear();
  EXPECT_EQ(last.storage.DefineMatrix("B", 0, 0, MatrixType::Real), 0);  // 100 + 4 > 100
  EXPECT_THAT(last.lines, ElementsAre(" STORAGE EXCEEDED   100 RESERVED   104 REQUIRED",
                                      " MATRIX B        HAS NOT BEEN DEFINED"));
  EXPECT_EQ(last.storage.Control().NextFree, 100);
  // The largest matrix that fits leaves the last word unused.
  Recorded full(100, 2);
  EXPECT_EQ(full.storage.DefineMatrix("A", 95, 1, MatrixType::Real), 5);
  EXPECT_EQ(full.storage.DefineMatrix("B", 96, 1, MatrixType::Real), 0);
  EXPECT_TRUE(full.lines.empty());  // print level 2 is silent
}

TEST(WorkStorage, TheEngineWarnsAtEveryLevel) {
  Recorded r(100, 2);
  r.storage.SetWarnAtEveryLevel(true);
  EXPECT_EQ(r.storage.DefineMatrix("A", 86, 1, MatrixType::Real), 5);
  EXPECT_THAT(r.lines, ElementsAre(" WARNING! - MORE THAN 90% OF STORAGE USED!"));
}

TEST(WorkStorage, ReservedNameAllAtEveryPrintLevel) {
  for (int level : {0, 1, 2}) {
    Recorded r(1000, level);
    EXPECT_EQ(r.storage.DefineMatrix("ALL", 1, 1, MatrixType::Real), 0) << level;
    EXPECT_EQ(r.storage.DefineMatrix("ALL     ", 1, 1, MatrixType::Integer), 0) << level;
    EXPECT_EQ(r.storage.Control().NextFree, 1);
    if (level <= 1) {
      EXPECT_THAT(r.lines, ElementsAre(" MATRIX NAME   ALL   NOT ALLOWED",
                                       " MATRIX NAME   ALL   NOT ALLOWED"));
    } else {
      EXPECT_TRUE(r.lines.empty());
    }
  }
  // Only the exact 8 bytes are reserved.
  WorkStorage s(1000);
  EXPECT_NE(s.DefineMatrix("ALL1", 1, 1, MatrixType::Real), 0);
  EXPECT_NE(s.DefineMatrix("all", 1, 1, MatrixType::Real), 0);
}

TEST(WorkStorage, TraceLinesAtPrintLevelZero) {
  Recorded r(1000, 0);
  r.storage.DefineMatrix("XNOD", 37, 1, MatrixType::Real);
  r.storage.DefineMatrix("NCON", 8, 123456, MatrixType::Integer);  // too large, 5 digits overflow
  r.storage.DefineMatrix("TEXT", 1, 10, MatrixType::Text);
  r.storage.DeleteMatrix("TEXT");
  r.storage.DeleteMatrix("NONE");  // silently ignored
  EXPECT_THAT(r.lines,
              ElementsAre("    37 ROWS    1 COLUMNS IN MATRIX XNOD    ",
                          "     8 ROWS***** COLUMNS IN MATRIX NCON    ",
                          " STORAGE EXCEEDED  1000 RESERVED493870 REQUIRED",
                          " MATRIX NCON     HAS NOT BEEN DEFINED", "    10 ROWS IN MATRIX TEXT    ",
                          " PREVIOUSLY DEFINED MATRIX TEXT     DELETED"));
}

TEST(WorkStorage, BadSizesAndTypesDefineNothing) {
  Recorded r(1000, 1);
  EXPECT_EQ(r.storage.DefineMatrix("A", -1, 3, MatrixType::Real), 0);
  EXPECT_EQ(r.storage.DefineMatrix("A", 3, -1, MatrixType::Integer), 0);
  EXPECT_EQ(r.storage.DefineMatrix("A", 3, 1, static_cast<MatrixType>(4)), 0);
  EXPECT_EQ(r.storage.Control().NextFree, 1);
  EXPECT_EQ(r.lines.size(), 3u);
  // Sizes beyond 32 bits are computed without overflow and refused.
  EXPECT_EQ(r.storage.DefineMatrix("B", 100000, 100000, MatrixType::Real), 0);
  EXPECT_EQ(r.storage.DefineMatrix("B", 2147483647, 2147483647, MatrixType::Integer), 0);
  EXPECT_EQ(r.storage.Control().NextFree, 1);
}

TEST(WorkStorage, DeletingTheFirstOfThreeShiftsTheOthers) {
  WorkStorage s(1000);
  const std::int32_t a = s.DefineMatrix("A", 3, 2, MatrixType::Real);     // 6 words
  const std::int32_t b = s.DefineMatrix("B", 5, 1, MatrixType::Integer);  // 3 words
  const std::int32_t c = s.DefineMatrix("C", 2, 2, MatrixType::Text);     // 4 words
  EXPECT_EQ(a, 5);
  EXPECT_EQ(b, 15);
  EXPECT_EQ(c, 22);
  for (int k = 1; k <= 5; ++k) s.Integers("B")(k) = 10 * k;
  TextMatrix t = s.Texts("C");
  std::memcpy(t(1, 1).chars, "ABCDEFGH", 8);
  std::memcpy(t(2, 2).chars, "12345678", 8);
  const std::int32_t next = s.Control().NextFree;

  s.DeleteMatrix("A");
  EXPECT_EQ(s.Control().NextFree, next - 10);
  EXPECT_EQ(s.Find("A"), 0);
  EXPECT_EQ(s.Find("B"), b - 10);
  EXPECT_EQ(s.Find("C"), c - 10);
  IntegerMatrix bm = s.Integers("B");
  EXPECT_EQ(bm.Rows(), 5);
  for (int k = 1; k <= 5; ++k) EXPECT_EQ(bm(k, 1), 10 * k);
  EXPECT_EQ(s.Texts("C")(1, 1).View(), "ABCDEFGH");
  EXPECT_EQ(s.Texts("C")(2, 2).View(), "12345678");

  // Reverse-order deletion empties the array.
  s.DeleteMatrix("C");
  s.DeleteMatrix("B");
  EXPECT_EQ(s.Control().NextFree, 1);
  EXPECT_TRUE(s.Matrices().empty());
}

TEST(WorkStorage, MatricesAreZeroFilledWhenDefined) {
  WorkStorage s(200);
  s.DefineMatrix("A", 10, 1, MatrixType::Real);
  s.DefineMatrix("B", 10, 1, MatrixType::Real);
  for (int k = 1; k <= 10; ++k) {
    s.Reals("A")(k) = 1.5;
    s.Reals("B")(k) = 2.5;
  }
  s.DeleteMatrix("A");                           // B moves down over A's space
  s.DefineMatrix("C", 20, 1, MatrixType::Real);  // reuses B's old words
  RealMatrix c = s.Reals("C");
  for (int k = 1; k <= 20; ++k) EXPECT_EQ(c(k), 0.0) << k;
  RealMatrix b = s.Reals("B");
  for (int k = 1; k <= 10; ++k) EXPECT_EQ(b(k), 2.5);
}

TEST(WorkStorage, ViewsAreColumnMajorAndOneBased) {
  WorkStorage s(100);
  const std::int32_t i = s.DefineMatrix("M", 2, 3, MatrixType::Real);
  RealMatrix m = s.Reals("M");
  EXPECT_EQ(m.Rows(), 2);
  EXPECT_EQ(m.Columns(), 3);
  m(2, 1) = 21.0;
  m(1, 3) = 13.0;
  EXPECT_EQ(m(2), 21.0);  // element (i, j) = (j - 1) * rows + i
  EXPECT_EQ(m(5), 13.0);
  double w;
  std::memcpy(&w, s.WordAddress(i + 4), 8);
  EXPECT_EQ(w, 13.0);
}

TEST(WorkStorage, ViewOfAMissingOrMistypedMatrixIsAFatalStop) {
  WorkStorage s(100);
  s.DefineMatrix("XNOD", 2, 1, MatrixType::Real);
  try {
    s.Integers("XNOD");
    FAIL() << "no stop";
  } catch (const FatalStop& stop) {
    EXPECT_STREQ(stop.what(), " ARRAY XNOD     NOT DEFINED");
    EXPECT_EQ(stop.Code(), 0);
  }
  EXPECT_THROW(s.Reals("YNOD"), FatalStop);
}

TEST(WorkStorage, LongNamesAreCutToEightCharacters) {
  WorkStorage s(100);
  const std::int32_t i = s.DefineMatrix("ABCDEFGHIJ", 1, 1, MatrixType::Real);
  EXPECT_EQ(s.Find("ABCDEFGH"), i);
  EXPECT_EQ(s.Info(i).name, "ABCDEFGH");
  EXPECT_EQ(MatrixName("XC"), "XC      ");
}

TEST(WorkStorage, CopyElementByElement) {
  const std::int32_t ints[4] = {1, -2, 3, -4};
  std::int32_t ti[4] = {9, 9, 9, 9};
  CopyIntegers(3, ints, ti);
  EXPECT_THAT(ti, ElementsAre(1, -2, 3, 9));
  CopyIntegers(0, ints, ti + 3);
  CopyIntegers(-1, ints, ti + 3);
  EXPECT_EQ(ti[3], 9);
  const double reals[2] = {0.5, -1.25};
  double tr[2] = {7.0, 7.0};
  CopyReals(-3, reals, tr);
  EXPECT_THAT(tr, ElementsAre(7.0, 7.0));
  CopyReals(2, reals, tr);
  EXPECT_THAT(tr, ElementsAre(0.5, -1.25));
}

TEST(WorkStorage, IntegerFieldsOverflowToStars) {
  EXPECT_EQ(IntegerField(42, 5), "   42");
  EXPECT_EQ(IntegerField(-1234, 5), "-1234");
  EXPECT_EQ(IntegerField(-12345, 5), "*****");
  EXPECT_EQ(IntegerField(1234567, 6), "******");
}

}  // namespace
}  // namespace numlib

namespace numlib {
namespace {

// Resident memory of this process (bytes), from /proc/self/statm.
long ResidentBytes() {
  std::FILE* f = std::fopen("/proc/self/statm", "r");
  long size = 0, resident = 0;
  if (f != nullptr) {
    if (std::fscanf(f, "%ld %ld", &size, &resident) != 2) resident = 0;
    std::fclose(f);
  }
  return resident * sysconf(_SC_PAGESIZE);
}

TEST(WorkStorage, UntouchedWordsCostNoResidentMemory) {
  const long before = ResidentBytes();
  WorkStorage s(100000000);  // 800 MB of words
  const std::int32_t a = s.DefineMatrix("A", 1000, 1, MatrixType::Real);
  ASSERT_NE(a, 0);
  s.Reals("A")(1000, 1) = 3.0;
  // Only the defined words are committed (tolerance 64 MB for the test's own heap).
  EXPECT_LT(ResidentBytes() - before, 64L << 20);

  // Words handed out before are zeroed again when a matrix takes their place.
  s.DeleteMatrix("A");
  std::memset(s.WordAddress(5), 0x7f, 8);  // written past the used space
  ASSERT_EQ(s.DefineMatrix("B", 1000, 1, MatrixType::Real), 5);
  for (int i = 1; i <= 1000; ++i) ASSERT_EQ(s.Reals("B")(i, 1), 0.0) << i;
}

}  // namespace
}  // namespace numlib
