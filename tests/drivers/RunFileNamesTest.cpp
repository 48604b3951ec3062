// File names of a calculation run and the fixed name buffers.
#include <gtest/gtest.h>

#include <string>

#include "DriverError.h"
#include "RunFileNames.h"

using vemto::DeriveRunFileNames;
using vemto::TDriverError;

TEST(RunFileNames, ProjectExtensionIsRemoved) {
  const auto names = DeriveRunFileNames("/data/wall.v3");
  EXPECT_EQ(names.Base, "/data/wall");
  EXPECT_EQ(names.DataFile, "/data/wall.dat");
  EXPECT_EQ(names.ListFile, "/data/wall.lst");
  EXPECT_EQ(names.TempMatFile, "/data/wall.dtm");
  EXPECT_EQ(names.ResultFile, "/data/wall.out");
  EXPECT_EQ(DeriveRunFileNames("wall.V3").Base, "wall");
  EXPECT_EQ(DeriveRunFileNames("a.v3.v3").Base, "a.v3");
}

TEST(RunFileNames, OtherNamesKeepEveryCharacter) {
  // Cutting three characters blindly would give "wall.t", "mod" or "".
  EXPECT_EQ(DeriveRunFileNames("wall.txt").Base, "wall.txt");
  EXPECT_EQ(DeriveRunFileNames("model").Base, "model");
  EXPECT_EQ(DeriveRunFileNames("ab").Base, "ab");
  EXPECT_EQ(DeriveRunFileNames("dir.v3/model").DataFile, "dir.v3/model.dat");
  EXPECT_EQ(DeriveRunFileNames("model.v33").Base, "model.v33");
  EXPECT_EQ(DeriveRunFileNames("modelv3").Base, "modelv3");
}

TEST(RunFileNames, UnusableNamesAreRefused) {
  EXPECT_THROW(DeriveRunFileNames(""), TDriverError);
  EXPECT_THROW(DeriveRunFileNames(".v3"), TDriverError);
  EXPECT_THROW(DeriveRunFileNames("/data/.v3"), TDriverError);
  // "<base>.dat" must fit 255 characters.
  EXPECT_NO_THROW(DeriveRunFileNames(std::string(251, 'a') + ".v3"));
  EXPECT_THROW(DeriveRunFileNames(std::string(252, 'a') + ".v3"), TDriverError);
}

TEST(RunFileNames, BuffersAreZeroFilledAndNeverCut) {
  const auto buffer = vemto::FileNameBuffer("model.dat");
  EXPECT_EQ(std::string(buffer.data()), "model.dat");
  for (std::size_t i = 9; i < buffer.size(); ++i) EXPECT_EQ(buffer[i], '\0') << i;
  EXPECT_NO_THROW(vemto::FileNameBuffer(std::string(255, 'x')));
  EXPECT_THROW(vemto::FileNameBuffer(std::string(256, 'x')), TDriverError);
  EXPECT_THROW(vemto::FileNameBuffer(std::string("a\0b", 3)), TDriverError);
}

TEST(RunFileNames, FieldTextEndsAtZeroOrBlanks) {
  const char field[] = "  ERROR TEXT   \0garbage";
  EXPECT_EQ(vemto::FieldToString(field, sizeof field), "  ERROR TEXT");
  EXPECT_EQ(vemto::FieldToString("abcdef", 3), "abc");
}
