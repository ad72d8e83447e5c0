#include "codes/Files.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>

#include "tests/TempDir.h"

namespace ormax {
namespace {

using testing::ReadBytes;
using testing::TempDir;
using testing::WriteBytes;

// A writer that stores the first `limit` bytes and then fails, like a full disk.
TFileWriter FailAfter(size_t limit) {
  return [limit](std::FILE* f, const uint8_t* data, size_t size) {
    size_t n = std::min(limit, size);
    std::fwrite(data, 1, n, f);
    return n == size;
  };
}

size_t FilesIn(const TempDir& dir) {
  size_t n = 0;
  for ([[maybe_unused]] auto& e : std::filesystem::directory_iterator(dir.Path())) ++n;
  return n;
}

TEST(Files, ReadWholeFileAndItsFailures) {
  TempDir dir;
  WriteBytes(dir.File("a.bin"), {1, 2, 3});
  EXPECT_EQ(ReadWholeFile(dir.File("a.bin"), 100), (TByteArray{1, 2, 3}));
  EXPECT_EQ(ReadWholeFile(dir.File("a.bin"), 3).size(), 3u);
  EXPECT_THROW(ReadWholeFile(dir.File("a.bin"), 2), EReadError);
  try {
    ReadWholeFile(dir.File("missing.bin"), 100);
    FAIL();
  } catch (const EFileError& e) {
    EXPECT_EQ(std::string(e.what()), "Cannot open file " + dir.File("missing.bin"));
  }
  EXPECT_THROW(ReadWholeFile(dir.Path().string(), 100), EFileError);  // a folder
}

TEST(Files, AtomicWriteReplacesTheTarget) {
  TempDir dir;
  const std::string target = dir.File("out.bin");
  WriteFileAtomically(target, {1, 2, 3, 4});
  EXPECT_EQ(ReadBytes(target), (TByteArray{1, 2, 3, 4}));
  WriteFileAtomically(target, {9});
  EXPECT_EQ(ReadBytes(target), (TByteArray{9}));
  WriteFileAtomically(target, {});
  EXPECT_TRUE(ReadBytes(target).empty());
  EXPECT_EQ(FilesIn(dir), 1u);
  // A replaced file keeps its permissions; a new one gets the usual ones.
  namespace fs = std::filesystem;
  fs::permissions(target, fs::perms::owner_read | fs::perms::owner_write);
  WriteFileAtomically(target, {5});
  EXPECT_EQ(fs::status(target).permissions(), fs::perms::owner_read | fs::perms::owner_write);
  WriteFileAtomically(dir.File("new.bin"), {5});
  EXPECT_NE(fs::status(dir.File("new.bin")).permissions(), fs::status(target).permissions());
}

TEST(Files, FailedWriteLeavesTheOldFileWhole) {
  TempDir dir;
  const std::string target = dir.File("keep.bin");
  WriteBytes(target, {7, 7, 7});
  for (size_t limit : {size_t{0}, size_t{1}, size_t{5}}) {
    try {
      WriteFileAtomically(target, TByteArray(10, 1), FailAfter(limit));
      FAIL() << limit;
    } catch (const EFileError& e) {
      EXPECT_STREQ(e.what(), "Stream write error");
    }
    EXPECT_EQ(ReadBytes(target), (TByteArray{7, 7, 7}));
    EXPECT_EQ(FilesIn(dir), 1u) << "the temporary file is removed";
  }
}

TEST(Files, UncreatableTargetsAreReported) {
  TempDir dir;
  const std::string inMissingFolder = dir.File("no/such/folder/x.bin");
  try {
    WriteFileAtomically(inMissingFolder, {1});
    FAIL();
  } catch (const EFileError& e) {
    EXPECT_EQ(std::string(e.what()), "Cannot create file " + inMissingFolder);
  }
  std::filesystem::create_directory(dir.File("sub"));
  EXPECT_THROW(WriteFileAtomically(dir.File("sub"), {1}), EFileError);
  EXPECT_TRUE(std::filesystem::is_directory(dir.File("sub")));
}

}  // namespace
}  // namespace ormax
