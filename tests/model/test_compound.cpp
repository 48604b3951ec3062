// Compound files: round trips, the safe save, error conditions, an independent reader.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <string>
#include <vector>

#include "CompoundFile.h"
#include "test_file_util.h"

namespace vemto {
namespace {

using test::ReadBytes;
using test::RunOlefileDump;
using test::TempDir;
using test::WriteBytes;

TCompoundImage SampleImage() {
  TCompoundImage image;
  std::vector<std::uint8_t> big(5000);
  for (std::size_t i = 0; i < big.size(); ++i) big[i] = static_cast<std::uint8_t>(i * 7 + 3);
  image.Storage("Nodes").SetStream("Data", {0, 0, 0, 0});
  image.Storage("Nodes").SetStream("Version", {3, 0, 0, 0, 0, 0, 0, 0});
  image.Storage("Big").SetStream("Data", big);
  image.Storage("Big").SetStream("Empty", {});
  image.Storage("Empty storage");
  return image;
}

TEST(CompoundFile, RoundTripKeepsEveryStreamExactly) {
  TempDir dir;
  const std::string file = dir.Path("a.v3");
  const TCompoundImage image = SampleImage();
  WriteCompoundFile(file, image);
  const TCompoundImage back = ReadCompoundFile(file);
  for (const auto& storage : image.Storages) {
    const TCompoundStorage* s = back.Find(storage.Name);
    ASSERT_NE(s, nullptr) << storage.Name;
    EXPECT_EQ(s->Streams.size(), storage.Streams.size()) << storage.Name;
    for (const auto& stream : storage.Streams) {
      const TCompoundStream* b = s->Find(stream.Name);
      ASSERT_NE(b, nullptr) << storage.Name << "/" << stream.Name;
      EXPECT_EQ(b->Bytes, stream.Bytes) << storage.Name << "/" << stream.Name;
    }
  }
  EXPECT_EQ(back.Find("Nodes", "Missing"), nullptr);
  EXPECT_EQ(back.Find("Missing", "Data"), nullptr);
}

TEST(CompoundFile, IndependentReaderSeesTheSameStreams) {
  TempDir dir;
  const std::string file = dir.Path("b.v3");
  const TCompoundImage image = SampleImage();
  WriteCompoundFile(file, image);
  std::map<std::string, std::vector<std::uint8_t>> seen;
  ASSERT_TRUE(RunOlefileDump(file, seen));
  std::size_t expected = 0;
  for (const auto& storage : image.Storages)
    for (const auto& stream : storage.Streams) {
      ++expected;
      const auto it = seen.find(storage.Name + "/" + stream.Name);
      ASSERT_NE(it, seen.end()) << storage.Name << "/" << stream.Name;
      EXPECT_EQ(it->second, stream.Bytes) << storage.Name << "/" << stream.Name;
    }
  EXPECT_EQ(seen.size(), expected);
}

TEST(CompoundFile, SaveReplacesTheFileAndKeepsItsPermissions) {
  TempDir dir;
  const std::string file = dir.Path("c.v3");
  WriteCompoundFile(file, SampleImage());
  ASSERT_EQ(::chmod(file.c_str(), 0640), 0);
  TCompoundImage small;
  small.Storage("Only").SetStream("Data", {1, 2, 3});
  WriteCompoundFile(file, small);
  struct stat st {};
  ASSERT_EQ(::stat(file.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0640u);
  const TCompoundImage back = ReadCompoundFile(file);
  ASSERT_EQ(back.Storages.size(), 1u);
  EXPECT_EQ(back.Find("Only", "Data")->Bytes, (std::vector<std::uint8_t>{1, 2, 3}));
  // No temporary file is left behind.
  int files = 0;
  for ([[maybe_unused]] const auto& e : std::filesystem::directory_iterator(dir.Path(""))) ++files;
  EXPECT_EQ(files, 1);
}

TEST(CompoundFile, LockedFileIsNeitherReplacedNorRead) {
  TempDir dir;
  const std::string file = dir.Path("locked.v3");
  WriteCompoundFile(file, SampleImage());
  const std::vector<std::uint8_t> before = ReadBytes(file);
  const int fd = ::open(file.c_str(), O_RDONLY);
  ASSERT_GE(fd, 0);
  ASSERT_EQ(::flock(fd, LOCK_EX), 0);
  TCompoundImage other;
  other.Storage("X").SetStream("Data", {9});
  try {
    WriteCompoundFile(file, other);
    ADD_FAILURE() << "a locked file was replaced";
  } catch (const FileError& e) {
    EXPECT_EQ(e.Kind(), TStorageError::LockViolation);
    EXPECT_NE(std::string(e.what()).find("Lock violation"), std::string::npos) << e.what();
    EXPECT_NE(std::string(e.what()).find(file), std::string::npos) << e.what();
  }
  EXPECT_THROW(ReadCompoundFile(file), FileError);
  ::close(fd);
  EXPECT_EQ(ReadBytes(file), before);
  EXPECT_NO_THROW(ReadCompoundFile(file));
}

TEST(CompoundFile, SaveIntoMissingFolderFailsWithAMessage) {
  TempDir dir;
  const std::string file = dir.Path("no/such/folder/x.v3");
  try {
    WriteCompoundFile(file, SampleImage());
    ADD_FAILURE() << "no error";
  } catch (const FileError& e) {
    EXPECT_EQ(e.Kind(), TStorageError::NotFound);
    EXPECT_NE(std::string(e.what()).find("does not exist"), std::string::npos) << e.what();
  }
}

TEST(CompoundFile, SaveOntoAFolderOrAnEmptyNameIsAnInvalidName) {
  TempDir dir;
  std::filesystem::create_directory(dir.Path("sub"));
  for (const std::string& name : {dir.Path("sub"), std::string(), dir.Path("sub/")}) {
    try {
      WriteCompoundFile(name, SampleImage());
      ADD_FAILURE() << "no error for '" << name << "'";
    } catch (const FileError& e) {
      EXPECT_EQ(e.Kind(), TStorageError::InvalidName) << name;
      EXPECT_NE(std::string(e.what()).find("Invalid filename"), std::string::npos) << e.what();
    }
  }
  EXPECT_TRUE(std::filesystem::is_directory(dir.Path("sub")));
}

TEST(CompoundFile, ReadingBadFilesGivesClearErrors) {
  TempDir dir;
  struct Case {
    std::string name;
    std::vector<std::uint8_t> bytes;
    TStorageError kind;
  };
  std::vector<std::uint8_t> text(600, 'x');
  const std::vector<Case> cases = {
      {"empty.v3", {}, TStorageError::Damaged},
      {"text.v3", text, TStorageError::Damaged},
      {"header-only.v3", {0xD0, 0xCF, 0x11, 0xE0, 0xA1, 0xB1, 0x1A, 0xE1}, TStorageError::Damaged},
  };
  for (const auto& c : cases) {
    const std::string file = dir.Path(c.name);
    WriteBytes(file, c.bytes);
    try {
      ReadCompoundFile(file);
      ADD_FAILURE() << c.name << " was read";
    } catch (const FileError& e) {
      EXPECT_EQ(e.Kind(), c.kind) << c.name << ": " << e.what();
      EXPECT_EQ(e.FileName(), file);
      EXPECT_NE(std::string(e.what()).find(file), std::string::npos) << e.what();
    }
  }
  try {
    ReadCompoundFile(dir.Path("missing.v3"));
    ADD_FAILURE() << "a missing file was read";
  } catch (const FileError& e) {
    EXPECT_EQ(e.Kind(), TStorageError::NotFound);
  }
  try {
    ReadCompoundFile(dir.Path(""));
    ADD_FAILURE() << "a folder was read";
  } catch (const FileError& e) {
    EXPECT_EQ(e.Kind(), TStorageError::InvalidName) << e.what();
  }
}

TEST(CompoundFile, TruncatedFilesNeverCrash) {
  TempDir dir;
  const std::string file = dir.Path("full.v3");
  WriteCompoundFile(file, SampleImage());
  const std::vector<std::uint8_t> full = ReadBytes(file);
  const std::string cut = dir.Path("cut.v3");
  for (std::size_t n : {std::size_t{1}, std::size_t{100}, std::size_t{511}, std::size_t{512},
                        std::size_t{1000}, full.size() / 2, full.size() - 1}) {
    WriteBytes(cut, std::vector<std::uint8_t>(full.begin(), full.begin() + n));
    try {
      const TCompoundImage image = ReadCompoundFile(cut);
      // libgsf may still read some of the streams; they must not exceed the file.
      for (const auto& s : image.Storages)
        for (const auto& st : s.Streams) EXPECT_LE(st.Bytes.size(), n);
    } catch (const FileError& e) {
      EXPECT_EQ(e.Kind(), TStorageError::Damaged) << n << ": " << e.what();
    }
  }
}

TEST(CompoundFile, ErrorCodesAndMessagesOfTheStorageConditions) {
  EXPECT_EQ(StorageErrorCode(TStorageError::InvalidName), 0x800300FCu);
  EXPECT_EQ(StorageErrorCode(TStorageError::InvalidPointer), 0x80030009u);
  EXPECT_EQ(StorageErrorCode(TStorageError::AccessDenied), 0x80030005u);
  EXPECT_EQ(StorageErrorCode(TStorageError::LockViolation), 0x80030021u);
  EXPECT_EQ(StorageErrorCode(TStorageError::FileExists), 0x80030050u);
  EXPECT_EQ(StorageErrorCode(TStorageError::InsufficientMemory), 0x80030008u);
  EXPECT_EQ(StorageErrorCode(TStorageError::InvalidFlag), 0x800300FFu);
  EXPECT_EQ(StorageErrorCode(TStorageError::TooManyOpenFiles), 0x80030004u);
  EXPECT_EQ(StorageErrorCode(TStorageError::Damaged), 0u);
  EXPECT_EQ(StorageErrorMessage(TStorageError::AccessDenied), "Access denied");
  EXPECT_EQ(StorageErrorMessage(TStorageError::TooManyOpenFiles), "Too many open files");
  EXPECT_EQ(StorageErrorFromErrno(EACCES), TStorageError::AccessDenied);
  EXPECT_EQ(StorageErrorFromErrno(EROFS), TStorageError::AccessDenied);
  EXPECT_EQ(StorageErrorFromErrno(EWOULDBLOCK), TStorageError::LockViolation);
  EXPECT_EQ(StorageErrorFromErrno(ENOMEM), TStorageError::InsufficientMemory);
  EXPECT_EQ(StorageErrorFromErrno(EMFILE), TStorageError::TooManyOpenFiles);
  EXPECT_EQ(StorageErrorFromErrno(ENAMETOOLONG), TStorageError::InvalidName);
  EXPECT_EQ(StorageErrorFromErrno(EIO), TStorageError::Other);
}

TEST(CompoundFile, UnwritableFolderIsAccessDenied) {
  if (::geteuid() == 0) GTEST_SKIP() << "permissions do not apply to root";
  TempDir dir;
  const std::string file = dir.Path("ro/x.v3");
  std::filesystem::create_directory(dir.Path("ro"));
  WriteCompoundFile(file, SampleImage());
  const auto before = ReadBytes(file);
  ASSERT_EQ(::chmod(dir.Path("ro").c_str(), 0555), 0);
  try {
    WriteCompoundFile(file, TCompoundImage{});
    ADD_FAILURE() << "no error";
  } catch (const FileError& e) {
    EXPECT_EQ(e.Kind(), TStorageError::AccessDenied) << e.what();
  }
  ::chmod(dir.Path("ro").c_str(), 0755);
  EXPECT_EQ(ReadBytes(file), before);
}

TEST(CompoundFile, ReadOnlyFileIsNotReplaced) {
  TempDir dir;
  const std::string file = dir.Path("ro.v3");
  WriteCompoundFile(file, SampleImage());
  const auto before = ReadBytes(file);
  ASSERT_EQ(::chmod(file.c_str(), 0444), 0);
  try {
    WriteCompoundFile(file, TCompoundImage{});
    ADD_FAILURE() << "a read-only file was replaced";
  } catch (const FileError& e) {
    EXPECT_EQ(e.Kind(), TStorageError::AccessDenied) << e.what();
  }
  EXPECT_EQ(ReadBytes(file), before);
}

}  // namespace
}  // namespace vemto
