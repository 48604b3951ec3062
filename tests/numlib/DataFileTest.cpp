#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "DataFileReader.h"
#include "DataFileSet.h"
#include "FatalStop.h"

namespace numlib {
namespace {

namespace fs = std::filesystem;
using ::testing::ElementsAre;
using ::testing::HasSubstr;

// A scratch folder per test.
class DataFileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() /
           ("numlib_" + std::to_string(::getpid()) + "_" +
            ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(dir_);
    fs::create_directories(dir_);
    files_.SetDiagnostics([this](std::string_view line) { lines_.emplace_back(line); });
  }
  void TearDown() override {
    files_.CloseAll();
    fs::remove_all(dir_);
  }
  std::string Path(const std::string& name) const { return (dir_ / name).string(); }

  static std::vector<unsigned char> Bytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  }
  static void WriteBytes(const std::string& path, const std::vector<unsigned char>& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
  }
  static std::vector<unsigned char> Real(double v) {
    std::vector<unsigned char> b(8);
    std::memcpy(b.data(), &v, 8);
    return b;
  }
  static std::vector<unsigned char> Chars(const char (&s)[9]) { return {s, s + 8}; }
  static std::vector<unsigned char> Ints(std::int32_t lo, std::int32_t hi) {
    std::vector<unsigned char> b(8);
    std::memcpy(b.data(), &lo, 4);
    std::memcpy(b.data() + 4, &hi, 4);
    return b;
  }
  static std::vector<unsigned char> Join(std::initializer_list<std::vector<unsigned char>> parts) {
    std::vector<unsigned char> all;
    for (const auto& p : parts) all.insert(all.end(), p.begin(), p.end());
    return all;
  }

  // Work array with an odd integer matrix, a real matrix and a text matrix.
  static void Fill(WorkStorage& s) {
    s.DefineMatrix("LEL", 5, 1, MatrixType::Integer);
    for (int k = 1; k <= 5; ++k) s.Integers("LEL")(k) = k * 11;
    s.DefineMatrix("COOR", 2, 2, MatrixType::Real);
    RealMatrix c = s.Reals("COOR");
    c(1, 1) = 0.5;
    c(2, 1) = -1.0;
    c(1, 2) = 2.0;
    c(2, 2) = 1e300;
    s.DefineMatrix("TEXT", 1, 2, MatrixType::Text);
    std::memcpy(s.Texts("TEXT")(1).chars, "PROJECT ", 8);
    std::memcpy(s.Texts("TEXT")(2).chars, "TITLE 01", 8);
  }

  fs::path dir_;
  DataFileSet files_;
  std::vector<std::string> lines_;
};

TEST_F(DataFileTest, TwoMatricesInANewFileRecordByRecord) {
  WorkStorage s(1000);
  Fill(s);
  const std::string path = Path("result.out");
  files_.OpenDataFile(7, path);
  EXPECT_TRUE(files_.IsOpen(7));
  files_.WriteMatrixToDataFile("LEL", "LEL", s, 7);
  files_.WriteMatrixToDataFile("COOR", "T0000001", s, 7);
  files_.CloseDataFile(7);
  EXPECT_FALSE(files_.IsOpen(7));
  // Records: 1 marker, 2 free record, 3.. LEL (4 + 3 records), 10.. COOR (4 + 4), free 18.
  const std::vector<unsigned char> expected = Join({
      Chars("DATAFILE"), Real(18.0),                        // records 1, 2
      Chars("LEL     "), Real(3.0), Real(-1.0), Real(1.0),  // records 3-6
      Ints(11, 22), Ints(33, 44), Ints(55, 0),              // records 7-9
      Chars("T0000001"), Real(4.0), Real(2.0), Real(2.0),   // records 10-13
      Real(0.5), Real(-1.0), Real(2.0), Real(1e300),        // records 14-17
  });
  EXPECT_EQ(Bytes(path), expected);
  EXPECT_TRUE(lines_.empty());
}

TEST_F(DataFileTest, ReaderDecodesEveryType) {
  WorkStorage s(1000);
  Fill(s);
  const std::string path = Path("r.out");
  files_.OpenDataFile(1, path);
  files_.WriteMatrixToDataFile("LEL", "LEL", s, 1);
  files_.WriteMatrixToDataFile("COOR", "COOR", s, 1);
  files_.WriteMatrixToDataFile("TEXT", "TEXT", s, 1);
  files_.CloseDataFile(1);

  DataFileReader reader(path);
  EXPECT_EQ(reader.FreeRecord(), 3 + 7 + 8 + 6);
  ASSERT_EQ(reader.Blocks().size(), 3u);
  const auto lel = reader.ReadIntegers("LEL");
  EXPECT_EQ(lel.rows, 5);
  EXPECT_EQ(lel.columns, 1);
  EXPECT_THAT(lel.values, ElementsAre(11, 22, 33, 44, 55));
  const auto coor = reader.ReadReals("COOR");
  EXPECT_EQ(coor.rows, 2);
  EXPECT_EQ(coor(2, 1), -1.0);
  EXPECT_EQ(coor(2, 2), 1e300);
  const auto text = reader.ReadTexts("TEXT");
  EXPECT_THAT(text.values, ElementsAre("PROJECT ", "TITLE 01"));
  EXPECT_EQ(reader.Find("NONE"), nullptr);
  EXPECT_THAT([&] { reader.Get("NONE"); },
              ::testing::ThrowsMessage<DataFileError>(HasSubstr("matrix \"NONE    \" not found")));
  EXPECT_THROW(reader.ReadReals("LEL"), DataFileError);
  EXPECT_FALSE(reader.HasTime());
}

TEST_F(DataFileTest, ReopeningResetsTheAppendPositionAndKeepsTheBytes) {
  WorkStorage s(1000);
  Fill(s);
  const std::string path = Path("again.out");
  files_.OpenDataFile(3, path);
  files_.WriteMatrixToDataFile("COOR", "COOR", s, 3);
  files_.WriteMatrixToDataFile("LEL", "LEL", s, 3);
  files_.CloseDataFile(3);
  const auto before = Bytes(path);

  files_.OpenDataFile(3, path);
  files_.CloseDataFile(3);
  auto after = Bytes(path);
  ASSERT_EQ(after.size(), before.size());  // not shortened
  EXPECT_EQ(std::vector<unsigned char>(after.begin() + 8, after.begin() + 16), Real(3.0));
  EXPECT_TRUE(std::equal(after.begin() + 16, after.end(), before.begin() + 16));
  EXPECT_TRUE(DataFileReader(path).Blocks().empty());

  // A new block goes to record 3 again.
  files_.OpenDataFile(3, path);
  files_.WriteMatrixToDataFile("TEXT", "TEXT", s, 3);
  files_.CloseDataFile(3);
  DataFileReader reader(path);
  ASSERT_EQ(reader.Blocks().size(), 1u);
  EXPECT_EQ(reader.Blocks()[0].record, 3);
}

TEST_F(DataFileTest, FatalStops) {
  WorkStorage s(1000);
  Fill(s);
  // A folder that does not exist, and a folder in place of the file.
  for (const std::string& bad : {Path("missing/x.out"), dir_.string(), std::string(255, ' ')}) {
    lines_.clear();
    try {
      files_.OpenDataFile(1, bad);
      FAIL() << bad;
    } catch (const FatalStop& stop) {
      EXPECT_STREQ(stop.what(), " FILE NOT AVAILABLE");
    }
    EXPECT_THAT(lines_, ElementsAre(" FILE NOT AVAILABLE"));
    EXPECT_FALSE(files_.IsOpen(1));
  }
  // Writing to a unit that is not open.
  EXPECT_THROW(files_.WriteMatrixToDataFile("LEL", "LEL", s, 9), FatalStop);

  lines_.clear();
  // A blank-padded, zero-terminated field names the file.
  std::string field = Path("padded.out");
  field.resize(255, ' ');
  files_.OpenDataFile(2, field);
  try {
    files_.WriteMatrixToDataFile("SIG", "S0000001", s, 2);
    FAIL() << "no stop";
  } catch (const FatalStop& stop) {
    EXPECT_STREQ(stop.what(), " ARRAY SIG      NOT DEFINED");
  }
  EXPECT_THAT(lines_, ElementsAre(" ARRAY SIG      NOT DEFINED"));
  files_.CloseDataFile(2);
  EXPECT_TRUE(fs::exists(Path("padded.out")));
  EXPECT_EQ(DataFileReader(Path("padded.out")).FreeRecord(), 3);
}

TEST_F(DataFileTest, EventsAndTime) {
  WorkStorage s(1000);
  s.DefineMatrix("T", 3, 1, MatrixType::Real);
  s.DefineMatrix("SIG", 16, 1, MatrixType::Real);
  s.DefineMatrix("TIME", 2, 1, MatrixType::Real);
  const std::string path = Path("events.out");
  files_.OpenDataFile(1, path);
  files_.WriteMatrixToDataFile("T", DataFileReader::EventName('T', 1), s, 1);
  files_.WriteMatrixToDataFile("SIG", DataFileReader::EventName('S', 1), s, 1);
  files_.WriteMatrixToDataFile("SIG", DataFileReader::EventName('S', 2), s, 1);  // tempMode 2
  files_.CloseDataFile(1);
  EXPECT_EQ(DataFileReader::EventName('T', 1), "T0000001");
  EXPECT_EQ(DataFileReader::EventName('S', 12), "S0000012");
  {
    DataFileReader reader(path);
    EXPECT_EQ(reader.EventCount(), 2);
    EXPECT_TRUE(reader.HasEvent(2));
    EXPECT_FALSE(reader.HasEvent(3));
    EXPECT_FALSE(reader.HasTime());
  }
  files_.OpenDataFile(1, path);
  files_.WriteMatrixToDataFile("TIME", "TIME", s, 1);
  files_.CloseDataFile(1);
  DataFileReader reader(path);
  EXPECT_EQ(reader.EventCount(), 0);
  EXPECT_TRUE(reader.HasTime());
}

// Damaged files: every defect is reported with the file name, nothing crashes.
TEST_F(DataFileTest, DamagedFilesAreReportedNotTrusted) {
  WorkStorage s(1000);
  Fill(s);
  const std::string good = Path("good.out");
  files_.OpenDataFile(1, good);
  files_.WriteMatrixToDataFile("LEL", "LEL", s, 1);
  files_.WriteMatrixToDataFile("COOR", "COOR", s, 1);
  files_.CloseDataFile(1);
  const std::vector<unsigned char> bytes = Bytes(good);
  ASSERT_EQ(bytes.size(), 17u * 8);

  struct Case {
    const char* what;
    std::vector<unsigned char> bytes;
    const char* message;
  };
  auto with = [&](std::size_t record, std::vector<unsigned char> word) {
    std::vector<unsigned char> b = bytes;
    std::copy(word.begin(), word.end(), b.begin() + static_cast<long>((record - 1) * 8));
    return b;
  };
  const std::vector<Case> cases = {
      {"empty", {}, "too short"},
      {"one record", {bytes.begin(), bytes.begin() + 8}, "too short"},
      {"marker", with(1, Chars("DATAFILX")), "record 1"},
      {"truncated", {bytes.begin(), bytes.end() - 3}, "record 2"},
      {"free record 2", with(2, Real(2.0)), "record 2"},
      {"free record fraction", with(2, Real(10.5)), "record 2"},
      {"free record NaN", with(2, Real(std::nan(""))), "record 2"},
      {"header cut", with(2, Real(12.0)), "block header at record 10"},
      {"words beyond", with(4, Real(30.0)), "data word count"},
      {"negative words", with(4, Real(-1.0)), "data word count"},
      {"type code", with(13, Real(7.0)), "unknown type code"},
      {"negative real columns", with(12, Real(-2.0)), "negative column count"},
      {"columns", with(12, Real(3.0)), "do not fill 3 columns"},
      {"no columns", with(12, Real(0.0)), "do not fill 0 columns"},
  };
  for (const Case& c : cases) {
    const std::string path = Path("bad.out");
    WriteBytes(path, c.bytes);
    try {
      DataFileReader reader(path);
      ADD_FAILURE() << c.what << ": accepted";
    } catch (const DataFileError& e) {
      EXPECT_THAT(e.what(), HasSubstr(path)) << c.what;
      EXPECT_THAT(e.what(), HasSubstr(c.message)) << c.what;
    }
  }
  EXPECT_THROW(DataFileReader(Path("nothing.out")), DataFileError);
  // Bytes after the free record are ignored.
  std::vector<unsigned char> longer = bytes;
  longer.insert(longer.end(), 13, 0xFF);
  WriteBytes(Path("longer.out"), longer);
  EXPECT_EQ(DataFileReader(Path("longer.out")).Blocks().size(), 2u);
}

}  // namespace
}  // namespace numlib
