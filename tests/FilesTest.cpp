#include "codes/Files.h"

#include <gtest/gtest.h>

#include <sys/resource.h>
#include <sys/stat.h>

#include <csignal>
#include <cstring>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <vector>

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

std::vector<std::string> NamesIn(const TempDir& dir) {
  std::vector<std::string> names;
  for (auto& e : std::filesystem::directory_iterator(dir.Path()))
    names.push_back(e.path().filename().string());
  return names;
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

// A write that fails part-way, like a full disk, loses nothing: an old file stays
// whole, a new one is not left at all, and no temporary stays behind, whichever way
// the file is written.
TEST(Files, FailedWritesLoseNothing) {
  using TWrite = void (*)(const std::string&, const TByteArray&, const TFileWriter&);
  for (TWrite write : {TWrite{WriteFileAtomically}, TWrite{WriteSelfCheckingFile}}) {
    for (const bool old : {true, false}) {
      TempDir dir;
      const std::string target = dir.File("keep.bin");
      if (old) WriteBytes(target, {7, 7, 7});
      for (size_t limit : {size_t{0}, size_t{1}, size_t{9}}) {
        try {
          write(target, TByteArray(10, 1), FailAfter(limit));
          FAIL() << limit;
        } catch (const EFileError& e) {
          EXPECT_STREQ(e.what(), "Stream write error");
          EXPECT_EQ(e.File(), target);
          EXPECT_FALSE(e.Reason().empty());
          // The one line a front end prints names the file and the reason.
          EXPECT_EQ(WithReason(e), "Stream write error: " + target + " (" + e.Reason() + ")");
        }
        if (old) {
          EXPECT_EQ(ReadBytes(target), (TByteArray{7, 7, 7}));
        }
        EXPECT_EQ(FilesIn(dir), old ? 1u : 0u) << "no temporary is left, limit " << limit;
      }
      // The name is free again for a write that succeeds.
      write(target, TByteArray(10, 1), nullptr);
      EXPECT_EQ(ReadBytes(target), TByteArray(10, 1));
    }
  }
}

// The system refuses bytes past a file-size limit part way through a write, as a full
// disk does: the plain write of a new file (no writer of the test's) loses nothing
// either, and says why.
TEST(Files, ANewFileCutShortBySystemIsRemoved) {
  TempDir dir;
  const std::string target = dir.File("new.bin");
  // The limit and the signal's handler are the process's: given back however the test
  // leaves, so that no later test meets them.
  struct TLimit {
    rlimit Before{};
    void (*Previous)(int) = std::signal(SIGXFSZ, SIG_IGN);  // a refused write, not a signal
    TLimit() {
      ::getrlimit(RLIMIT_FSIZE, &Before);
      rlimit limit = Before;
      limit.rlim_cur = 6;
      ::setrlimit(RLIMIT_FSIZE, &limit);
    }
    ~TLimit() {
      ::setrlimit(RLIMIT_FSIZE, &Before);
      std::signal(SIGXFSZ, Previous);
    }
  };
  std::string what, reason;
  {
    const TLimit limit;
    try {
      WriteSelfCheckingFile(target, TByteArray(10, 1));
    } catch (const EFileError& e) {
      what = e.what();
      reason = e.Reason();
    }
    WriteSelfCheckingFile(dir.File("small.bin"), TByteArray(6, 2));  // within the limit
  }
  EXPECT_EQ(what, "Stream write error");
  EXPECT_EQ(reason, std::generic_category().message(EFBIG));
  EXPECT_EQ(NamesIn(dir), std::vector<std::string>{"small.bin"}) << "nothing of the cut file";
  EXPECT_EQ(ReadBytes(dir.File("small.bin")), TByteArray(6, 2));
  WriteSelfCheckingFile(target, TByteArray(10, 1));  // the name is free again
  EXPECT_EQ(ReadBytes(target), TByteArray(10, 1));
}

TEST(Files, NewFileIsWrittenInPlaceAndAnOldOneThroughATemporary) {
  namespace fs = std::filesystem;
  TempDir dir;
  const std::string target = dir.File("new.bin");
  std::vector<std::string> seen;
  TByteArray old;
  auto watch = [&](std::FILE* f, const uint8_t* data, size_t size) {
    seen = NamesIn(dir);
    old = ReadBytes(target);
    return std::fwrite(data, 1, size, f) == size;
  };
  WriteSelfCheckingFile(target, {1, 2, 3}, watch);
  EXPECT_EQ(seen, std::vector<std::string>{"new.bin"}) << "no temporary for a new file";
  EXPECT_EQ(ReadBytes(target), (TByteArray{1, 2, 3}));
  const mode_t mask = ::umask(0);
  ::umask(mask);
  EXPECT_EQ(static_cast<unsigned>(fs::status(target).permissions()), 0666u & ~mask);

  WriteSelfCheckingFile(target, {4, 5}, watch);
  ASSERT_EQ(seen.size(), 2u) << "a temporary beside the file being replaced";
  EXPECT_EQ(old, (TByteArray{1, 2, 3})) << "the old file is whole while the new one is written";
  EXPECT_EQ(ReadBytes(target), (TByteArray{4, 5}));
  EXPECT_EQ(NamesIn(dir), std::vector<std::string>{"new.bin"});

  // Lists and tables, which do not say their length, go through a temporary even when new.
  WriteFileAtomically(dir.File("list.txt"), {6}, watch);
  EXPECT_EQ(seen.size(), 2u) << "a temporary beside a new list";
  EXPECT_EQ(ReadBytes(dir.File("list.txt")), (TByteArray{6}));
}

TEST(Files, TempFileIsCommittedOrRemoved) {
  namespace fs = std::filesystem;
  TempDir dir;
  const std::string target = dir.File("t.bin");
  const TByteArray bytes{1, 2, 3};
  {
    TTempFile temp(target);
    temp.Write(bytes.data(), bytes.size());
    EXPECT_NE(temp.Name(), target);
    EXPECT_EQ(fs::path(temp.Name()).parent_path(), dir.Path());
    EXPECT_EQ(ReadBytes(temp.Name()), bytes);
    EXPECT_FALSE(fs::exists(target));
  }
  EXPECT_EQ(FilesIn(dir), 0u) << "removed when destroyed uncommitted";
  {
    TTempFile first(target);
    TTempFile second(target);
    EXPECT_NE(first.Name(), second.Name());
    second.Write(bytes.data(), bytes.size());
    second.Commit();
    EXPECT_THROW(second.Write(bytes.data(), bytes.size()), std::logic_error);
  }
  EXPECT_EQ(NamesIn(dir), std::vector<std::string>{"t.bin"});
  EXPECT_EQ(ReadBytes(target), bytes);
  // A folder that took the name while the temporary was written is not replaced.
  const std::string late = dir.File("late");
  {
    TTempFile temp(late);
    fs::create_directory(late);
    try {
      temp.Commit();
      FAIL();
    } catch (const EFileError& e) {
      EXPECT_EQ(e.Reason(), "it is a folder");
    }
  }
  EXPECT_TRUE(fs::is_directory(late));
  EXPECT_EQ(FilesIn(dir), 2u);
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
  try {
    WriteFileAtomically(dir.File("sub"), {1});
    FAIL();
  } catch (const EFileError& e) {
    EXPECT_EQ(e.Reason(), "it is a folder");
  }
  EXPECT_TRUE(std::filesystem::is_directory(dir.File("sub")));
  EXPECT_EQ(NamesIn(dir), std::vector<std::string>{"sub"}) << "no temporary is left";
}

}  // namespace
}  // namespace ormax
