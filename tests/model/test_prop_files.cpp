// The cement and concrete property files: reading, malformed files, appending a type.
#include <cmath>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <limits>
#include <sstream>
#include <string>

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "PropertyFiles.h"
#include "test_file_util.h"

namespace vemto {
namespace {

using test::TempDir;

void WriteText(const std::string& file, const std::string& text) {
  std::ofstream out(file, std::ios::binary | std::ios::trunc);
  out << text;
}

std::string ReadText(const std::string& file) {
  std::ifstream in(file, std::ios::binary);
  std::stringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

// One cement block: name line and 7 value lines, value i = base + i.
std::string Block(const std::string& name, double base) {
  std::string s = name + "\n";
  for (int i = 1; i <= 7; ++i) s += std::to_string(base + i) + "\n";
  return s;
}

TEST(PropCementFile, ReadsAnnouncedTypesOnlyAndIgnoresNotes) {
  TempDir dir;
  const std::string file = dir.Path("cempropt");
  // Count 2, two blocks, then a third block that is not announced.
  WriteText(file, "2   types\n" + Block("First", 0) + "Second\n1\n 4.6E+0003 heat, note\n" +
                      "  3.5\n+36000.0 t1\n1.5\n5000\n0.5\n" + Block("Unannounced", 100));
  TVemtoCement cement;
  ASSERT_TRUE(cement.ReadFromFile(file));
  EXPECT_EQ(cement.CementCount, 2);
  EXPECT_EQ(cement.SelectedCement, 1);
  EXPECT_EQ(cement.Name(1), "First");
  EXPECT_EQ(cement.Name(2), "Second");
  EXPECT_EQ(cement.Value(7), 7.0);  // exact: small integers
  cement.Select(2);
  EXPECT_EQ(cement.Value(2), 4600.0);  // "4.6E+0003" followed by a note
  EXPECT_EQ(cement.Value(3), 3.5);
  EXPECT_EQ(cement.Value(4), 36000.0);
  EXPECT_THROW(cement.Name(3), std::out_of_range);
  EXPECT_THROW(cement.Select(3), std::out_of_range);
  EXPECT_THROW(cement.Select(0), std::out_of_range);
  EXPECT_THROW(cement.Value(8), std::out_of_range);
}

TEST(PropCementFile, WindowsLineEndsAndLastLineWithoutBreak) {
  TempDir dir;
  const std::string file = dir.Path("cempropt");
  WriteText(file, "1\r\nName with blanks \r\n1\r\n2\r\n3\r\n4\r\n5\r\n6\r\n7");
  TVemtoCement cement;
  ASSERT_TRUE(cement.ReadFromFile(file));
  EXPECT_EQ(cement.Name(1), "Name with blanks ");
  EXPECT_EQ(cement.Value(7), 7.0);
}

TEST(PropCementFile, MissingFileLeavesAnEmptyTable) {
  TempDir dir;
  TVemtoCement cement;
  EXPECT_FALSE(cement.ReadFromFile(dir.Path("cempropt")));
  EXPECT_EQ(cement.CementCount, 0);
  EXPECT_EQ(cement.SelectedCement, 0);
  EXPECT_EQ(cement.Value(2), 0.0);
}

TEST(PropCementFile, MalformedFilesAreInvalidAndNamed) {
  const std::string seven = "1\n2\n3\n4\n5\n6\n7\n";
  const std::pair<std::string, std::string> cases[] = {
      {"", "empty"},
      {"two\nA\n" + seven, "line 1"},
      {"-1\n", "negative"},
      {"21\n", "at most 20"},
      {"1.5\nA\n" + seven, "line 1"},
      {"2\nA\n" + seven + "B\n1\n2\n", "only"},     // fewer lines than announced
      {"1\nA\n1\n2\nabc\n4\n5\n6\n7\n", "line 5"},  // no leading number
      {"1\nA\n1\n2\n3,5\n4\n5\n6\n7\n", "line 5"},  // decimal comma
      {"1\nA\n1\n2\n\n4\n5\n6\n7\n", "line 5"},     // empty value line
      {"1\nA\n1\n2\nnan\n4\n5\n6\n7\n", "line 5"},  // not finite
      {"1\nA\n1\n2\n1e999\n4\n5\n6\n7\n", "line 5: the number is outside the range"},
  };
  TempDir dir;
  const std::string file = dir.Path("cempropt");
  for (const auto& [text, expected] : cases) {
    WriteText(file, text);
    TVemtoCement cement;
    try {
      cement.ReadFromFile(file);
      ADD_FAILURE() << "accepted: " << text;
    } catch (const PropertyFileError& e) {
      const std::string what = e.what();
      EXPECT_NE(what.find(file), std::string::npos) << what;
      EXPECT_NE(what.find(expected), std::string::npos) << what;
    }
    EXPECT_EQ(cement.CementCount, 0) << text;  // the table stays empty
  }
}

TEST(PropCementFile, TwentyTypesFitAndZeroTypesAreEmpty) {
  TempDir dir;
  const std::string file = dir.Path("cempropt");
  std::string text = "20\n";
  for (int k = 0; k < 20; ++k) text += Block("T" + std::to_string(k + 1), 10.0 * k);
  WriteText(file, text);
  TVemtoCement cement;
  ASSERT_TRUE(cement.ReadFromFile(file));
  EXPECT_EQ(cement.CementCount, 20);
  EXPECT_EQ(cement.TypeValue(20, 1), 191.0);
  WriteText(file, "0\n");
  ASSERT_TRUE(cement.ReadFromFile(file));
  EXPECT_EQ(cement.CementCount, 0);
  EXPECT_EQ(cement.SelectedCement, 0);
}

TEST(PropConcreteFile, ReadsFiftySixConstants) {
  TempDir dir;
  const std::string file = dir.Path("conpropt");
  std::string text;
  for (int k = 1; k <= 56; ++k)
    text += "  " + std::to_string(k) + ".5E+0000 c" + std::to_string(k) + "\n";
  text += "not read\n";
  WriteText(file, text);
  TVemtoConcrete concrete;
  ASSERT_TRUE(concrete.ReadFromFile(file));
  EXPECT_EQ(concrete.Value(1), 1.5);
  EXPECT_EQ(concrete.Value(56), 56.5);
  EXPECT_THROW(concrete.Value(0), std::out_of_range);
  EXPECT_THROW(concrete.Value(57), std::out_of_range);
}

TEST(PropConcreteFile, MissingShortOrMalformedFile) {
  TempDir dir;
  const std::string file = dir.Path("conpropt");
  TVemtoConcrete concrete;
  EXPECT_FALSE(concrete.ReadFromFile(file));
  EXPECT_EQ(concrete.Value(7), 0.0);

  std::string text;
  for (int k = 1; k <= 55; ++k) text += "1\n";
  WriteText(file, text);
  EXPECT_THROW(concrete.ReadFromFile(file), PropertyFileError);
  WriteText(file, text + "x\n");
  try {
    concrete.ReadFromFile(file);
    ADD_FAILURE();
  } catch (const PropertyFileError& e) {
    EXPECT_NE(std::string(e.what()).find("line 56"), std::string::npos) << e.what();
  }
  EXPECT_EQ(concrete.Value(1), 0.0);  // nothing of a malformed file is kept
  std::filesystem::create_directory(dir.Path("folder"));
  EXPECT_THROW(concrete.ReadFromFile(dir.Path("folder")), PropertyFileError);
}

TEST(PropCementFormat, TwentyThreeCharacterScientificForm) {
  EXPECT_EQ(FormatCementReal(4600.0), " 4.60000000000000E+0003");
  EXPECT_EQ(FormatCementReal(-0.125), "-1.25000000000000E-0001");
  EXPECT_EQ(FormatCementReal(0.0), " 0.00000000000000E+0000");
  EXPECT_EQ(FormatCementReal(1.0 / 3.0), " 3.33333333333333E-0001");
  EXPECT_EQ(FormatCementReal(1e-300), " 1.00000000000000E-0300");
  EXPECT_EQ(FormatCementReal(4600.0).size(), 23u);
  EXPECT_THROW(FormatCementReal(std::numeric_limits<double>::infinity()), std::invalid_argument);
}

TEST(PropCementAppend, ThirdTypeBecomesFourthWithLinesKept) {
  TempDir dir;
  const std::string file = dir.Path("cempropt");
  const std::string body = Block("A", 0) + Block("B note kept  ", 10) + Block("C", 20);
  WriteText(file, "3  count note\n" + body);
  const int k = AppendCementType(file, "Fitted", {4600.0, 1.5, 36000.0, 1.8, 5000.0, 0.54});
  EXPECT_EQ(k, 4);
  const std::string expected = "4  count note\n" + body + "Fitted\n1\n" +
                               " 4.60000000000000E+0003\n 1.50000000000000E+0000\n"
                               " 3.60000000000000E+0004\n 1.80000000000000E+0000\n"
                               " 5.00000000000000E+0003\n 5.40000000000000E-0001\n";
  EXPECT_EQ(ReadText(file), expected);
  TVemtoCement cement;
  ASSERT_TRUE(cement.ReadFromFile(file));
  EXPECT_EQ(cement.CementCount, 4);
  EXPECT_EQ(cement.Name(4), "Fitted");
  EXPECT_EQ(cement.TypeValue(4, 2), 4600.0);
  EXPECT_EQ(cement.TypeValue(4, 7), 0.54);  // 15 digits reproduce the value
}

// Notes after the last type stay in the file but the new type goes right after the last
// type, so that it is read as type n + 1.
TEST(PropCementAppend, TrailingNotesStayBehindTheNewType) {
  TempDir dir;
  const std::string file = dir.Path("cempropt");
  WriteText(file, "1\n" + Block("A", 0) + "trailing note\r\n");
  AppendCementType(file, "New", {1, 2, 3, 4, 5, 6});
  const std::string text = ReadText(file);
  EXPECT_EQ(text.substr(text.size() - 15), "trailing note\r\n");
  TVemtoCement cement;
  ASSERT_TRUE(cement.ReadFromFile(file));
  EXPECT_EQ(cement.Name(2), "New");
  EXPECT_EQ(cement.TypeValue(2, 7), 6.0);
}

TEST(PropCementAppend, RefusedAppendsLeaveTheFileUnchanged) {
  TempDir dir;
  const std::string file = dir.Path("cempropt");
  EXPECT_THROW(AppendCementType(file, "X", {1, 2, 3, 4, 5, 6}), PropertyFileError);  // missing
  EXPECT_FALSE(std::filesystem::exists(file));

  std::string full = "20\n";
  for (int k = 0; k < 20; ++k) full += Block("T", k);
  const std::string malformed = "2\n" + Block("A", 0);
  for (const std::string& text : {full, malformed}) {
    WriteText(file, text);
    EXPECT_THROW(AppendCementType(file, "X", {1, 2, 3, 4, 5, 6}), PropertyFileError);
    EXPECT_EQ(ReadText(file), text);
  }
  WriteText(file, "0\n");
  EXPECT_THROW(AppendCementType(file, "", {1, 2, 3, 4, 5, 6}), std::invalid_argument);
  EXPECT_THROW(AppendCementType(file, "a\nb", {1, 2, 3, 4, 5, 6}), std::invalid_argument);
  EXPECT_THROW(AppendCementType(file, "X", {1, 2, 3, std::nan(""), 5, 6}), std::invalid_argument);
  EXPECT_EQ(ReadText(file), "0\n");
  EXPECT_EQ(AppendCementType(file, "X", {1, 2, 3, 4, 5, 6}), 1);
}

// An append keeps line 1's note and the file's permissions, and removes the temporary
// file an earlier, killed rewrite left; one of a running process stays. A failed
// rewrite leaves the file as it was and no temporary file.
TEST(PropCementAppend, RewriteKeepsNoteAndPermissionsAndCleansUp) {
  TempDir dir;
  const std::string file = dir.Path("cempropt");
  WriteText(file, "1    number of cement types\n" + Block("A", 0));
  ASSERT_EQ(::chmod(file.c_str(), 0640), 0);
  const pid_t gone = ::fork();  // a process that has ended: its pid names no process
  if (gone == 0) ::_exit(0);
  ASSERT_GT(gone, 0);
  ::waitpid(gone, nullptr, 0);
  const std::string stale = file + ".tmp-" + std::to_string(gone) + "-aB3dE6";
  const std::string running = file + ".tmp-1-aB3dE6";  // pid 1 always runs
  WriteText(stale, "half");
  WriteText(running, "half");
  auto count = [&] {
    int files = 0;
    for ([[maybe_unused]] const auto& e : std::filesystem::directory_iterator(dir.Path("")))
      ++files;
    return files;
  };

  EXPECT_EQ(AppendCementType(file, "New", {1, 2, 3, 4, 5, 6}), 2);
  EXPECT_EQ(ReadText(file).substr(0, 28), "2    number of cement types\n");
  struct stat st {};
  ASSERT_EQ(::stat(file.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0640u);
  EXPECT_FALSE(std::filesystem::exists(stale));
  EXPECT_TRUE(std::filesystem::exists(running));
  EXPECT_EQ(count(), 2);  // the file and the running process's temporary file

  // No room for the new content (a file size limit of 100 bytes, which binds root too).
  const std::string before = ReadText(file);
  rlimit old{};
  ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &old), 0);
  const auto oldSignal = std::signal(SIGXFSZ, SIG_IGN);
  rlimit small = old;
  small.rlim_cur = 100;
  ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
  EXPECT_THROW(AppendCementType(file, "X", {1, 2, 3, 4, 5, 6}), PropertyFileError);
  ::setrlimit(RLIMIT_FSIZE, &old);
  std::signal(SIGXFSZ, oldSignal);
  EXPECT_EQ(ReadText(file), before);
  EXPECT_EQ(count(), 2);
}

}  // namespace
}  // namespace vemto
