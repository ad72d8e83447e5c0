#include "codes/TarArchive.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "tests/TempDir.h"

namespace ormax {
namespace {

namespace fs = std::filesystem;
using testing::ReadBytes;
using testing::TempDir;
using testing::WriteBytes;

bool HaveTar() {
  return std::system("tar --version > /dev/null 2>&1") == 0;
}

// Runs tar with the arguments in the C locale, its output and messages to out.
int Tar(const std::string& args, const std::string& out) {
  return std::system(("LC_ALL=C tar " + args + " > '" + out + "' 2>&1").c_str());
}

std::string Text(const std::string& file) {
  const TByteArray bytes = ReadBytes(file);
  return std::string(bytes.begin(), bytes.end());
}

std::vector<std::string> Lines(const std::string& file) {
  std::ifstream in(file);
  std::vector<std::string> lines;
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

// Bytes that differ from member to member and hold zeros and 0xff.
TByteArray Pattern(size_t size, uint8_t seed) {
  TByteArray bytes(size);
  for (size_t i = 0; i < size; ++i) bytes[i] = static_cast<uint8_t>(seed + i * 7 + (i >> 9));
  return bytes;
}

// A writer that stores the first `limit` bytes of the whole archive, then fails.
TFileWriter FailAfterTotal(size_t limit) {
  auto written = std::make_shared<size_t>(0);
  return [limit, written](std::FILE* f, const uint8_t* data, size_t size) {
    const size_t n = std::min(size, limit - std::min(limit, *written));
    std::fwrite(data, 1, n, f);
    *written += n;
    return n == size;
  };
}

size_t FilesIn(const fs::path& folder) {
  size_t n = 0;
  for ([[maybe_unused]] auto& e : fs::directory_iterator(folder)) ++n;
  return n;
}

TEST(TarArchive, MembersUnpackToTheSameBytesInOrder) {
  if (!HaveTar()) GTEST_SKIP() << "tar is not on PATH";
  TempDir dir;
  fs::create_directory(dir.File("in"));
  fs::create_directory(dir.File("out"));
  const std::string archive = dir.File("in/codes.tar");
  const std::vector<std::pair<std::string, TByteArray>> members = {
      {"a.code", Pattern(3, 1)},
      {"empty.code", {}},
      {"sub/block.code", Pattern(512, 2)},
      {"sub/over.code", Pattern(513, 3)},
      {"sub/deep/big.code", Pattern((size_t{3} << 20) + 5, 4)},  // more than the buffer
      {"z.code", Pattern(100, 5)},
  };
  {
    TTarArchive tar(archive);
    for (const auto& [name, bytes] : members) tar.Add(name, bytes);
    tar.Finish();
  }
  EXPECT_EQ(FilesIn(dir.File("in")), 1u);
  const std::string text = dir.File("tar.txt");
  ASSERT_EQ(Tar("-xf '" + archive + "' -C '" + dir.File("out") + "'", text), 0) << Text(text);
  EXPECT_EQ(Text(text), "") << "tar has no warning";
  for (const auto& [name, bytes] : members) {
    EXPECT_TRUE(fs::is_regular_file(dir.File("out/" + name))) << name;
    EXPECT_EQ(ReadBytes(dir.File("out/" + name)), bytes) << name;
  }
  ASSERT_EQ(Tar("-tvf '" + archive + "'", text), 0);
  const std::vector<std::string> listed = Lines(text);
  ASSERT_EQ(listed.size(), members.size());
  for (size_t i = 0; i < members.size(); ++i) {
    EXPECT_EQ(listed[i].rfind("-rw-r--r-- 0/0 ", 0), 0u) << listed[i];
    const std::string& name = members[i].first;
    EXPECT_EQ(listed[i].substr(listed[i].size() - name.size()), name) << listed[i];
  }
}

TEST(TarArchive, HeaderFieldsAndBlocks) {
  TempDir dir;
  const std::string archive = dir.File("codes.tar");
  {
    TTarArchive tar(archive);
    tar.Add("a.code", Pattern(3, 1));
    tar.Finish();
  }
  const TByteArray image = ReadBytes(archive);
  ASSERT_EQ(image.size(), 512u * 4) << "header, one data block and two end blocks";
  auto field = [&](size_t at, size_t size) {
    return std::string(image.begin() + static_cast<long>(at),
                       image.begin() + static_cast<long>(at + size));
  };
  EXPECT_EQ(field(0, 7), std::string("a.code\0", 7));
  EXPECT_EQ(field(100, 8), std::string("0000644\0", 8));
  EXPECT_EQ(field(124, 12), std::string("00000000003\0", 12));
  EXPECT_EQ(image[156], '0');
  EXPECT_EQ(field(257, 6), std::string("ustar", 6));  // with its NUL
  EXPECT_EQ(field(263, 2), "00");
  // The checksum: six octal digits, a NUL and a space, over the header with the
  // field itself taken as spaces.
  unsigned sum = 0;
  for (size_t i = 0; i < 512; ++i) sum += (i >= 148 && i < 156) ? ' ' : image[i];
  char expected[8];
  std::snprintf(expected, sizeof expected, "%06o", sum);
  EXPECT_EQ(field(148, 8), std::string(expected, 6) + std::string("\0 ", 2));
  // The modification time is that of the run, not of 1970.
  const long mtime = std::strtol(field(136, 11).c_str(), nullptr, 8);
  EXPECT_GT(mtime, 1600000000L);
  for (size_t i = 512 + 3; i < image.size(); ++i) ASSERT_EQ(image[i], 0) << i;
}

TEST(TarArchive, LongNamesUseThePrefixAndTooLongOnesAreRefused) {
  if (!HaveTar()) GTEST_SKIP() << "tar is not on PATH";
  TempDir dir;
  fs::create_directory(dir.File("out"));
  const std::string archive = dir.File("codes.tar");
  const std::string folder = std::string(70, 'f') + "/" + std::string(84, 'g');  // 155 bytes
  const std::vector<std::string> accepted = {
      std::string(100, 'n'),                   // fills the name field, no NUL after it
      folder + "/" + std::string(100, 'm'),    // the longest that fits: 155 + 1 + 100
      "x/" + std::string(99, 'y') + "/short",  // cut at the second '/'
  };
  const std::vector<std::string> refused = {
      std::string(101, 'n'),                  // no '/' to cut at
      "x/" + std::string(101, 'n'),           // the last part alone is too long
      folder + "h/" + std::string(100, 'm'),  // a prefix of 156 bytes
      "/" + std::string(100, 'n'),            // the cut would lose the leading '/'
  };
  {
    TTarArchive tar(archive);
    for (size_t i = 0; i < accepted.size(); ++i) {
      tar.Add(accepted[i], Pattern(10 + i, static_cast<uint8_t>(i)));
      if (i == 0) {
        for (const std::string& name : refused) {
          try {
            tar.Add(name, Pattern(10, 0));
            FAIL() << name;
          } catch (const EFileError& e) {
            EXPECT_NE(std::string(e.what()).find(name), std::string::npos);
            EXPECT_EQ(e.Reason(), "its name is too long for a tar archive");
            EXPECT_EQ(e.File(), archive);
          }
        }
        EXPECT_THROW(tar.Add("", {}), EFileError);
        EXPECT_THROW(tar.Add(std::string("a\0b", 3), {}), EFileError);
      }
    }
    tar.Finish();
  }
  const std::string text = dir.File("tar.txt");
  ASSERT_EQ(Tar("-tf '" + archive + "'", text), 0);
  EXPECT_EQ(Lines(text), accepted) << "refused members leave no trace";
  ASSERT_EQ(Tar("-xf '" + archive + "' -C '" + dir.File("out") + "'", text), 0);
  for (size_t i = 0; i < accepted.size(); ++i)
    EXPECT_EQ(ReadBytes(dir.File("out/" + accepted[i])), Pattern(10 + i, static_cast<uint8_t>(i)));
}

TEST(TarArchive, FailedWriteLeavesNoArchiveAndAnOldOneWhole) {
  TempDir dir;
  const std::string archive = dir.File("codes.tar");
  // One member of 600 bytes: header 0..511, data 512..1111, padding, end blocks 1536..2559.
  for (bool existing : {false, true}) {
    if (existing) WriteBytes(archive, {7, 7, 7});
    for (size_t limit : {size_t{0}, size_t{100}, size_t{700}, size_t{2000}, size_t{2559}}) {
      TTarArchive tar(archive, FailAfterTotal(limit));
      tar.Add("a.code", Pattern(600, 1));
      try {
        tar.Finish();
        FAIL() << limit;
      } catch (const EFileError& e) {
        EXPECT_STREQ(e.what(), "Stream write error");
        EXPECT_EQ(e.File(), archive);
      }
      EXPECT_EQ(FilesIn(dir.Path()), existing ? 1u : 0u) << "limit " << limit;
      if (existing) {
        EXPECT_EQ(ReadBytes(archive), (TByteArray{7, 7, 7}));
      }
      EXPECT_THROW(tar.Add("b.code", {}), EFileError) << "a failed archive takes no more";
      EXPECT_THROW(tar.Finish(), EFileError);
    }
  }
  // Failing inside a member larger than the buffer: Add reports it and the temporary
  // is gone at once, before the archive object is.
  fs::remove(archive);
  {
    TTarArchive tar(archive, FailAfterTotal((size_t{1} << 20) + 10));
    tar.Add("a.code", Pattern(100, 1));
    EXPECT_THROW(tar.Add("big.code", Pattern(size_t{3} << 20, 2)), EFileError);
    EXPECT_EQ(FilesIn(dir.Path()), 0u);
  }
  // An archive dropped without Finish leaves nothing either.
  {
    TTarArchive tar(archive);
    tar.Add("a.code", Pattern(100, 1));
  }
  EXPECT_EQ(FilesIn(dir.Path()), 0u);
}

TEST(TarArchive, ReplacesAnExistingArchiveWholeAndBuffersSmallMembers) {
  if (!HaveTar()) GTEST_SKIP() << "tar is not on PATH";
  TempDir dir;
  fs::create_directory(dir.File("in"));
  const std::string archive = dir.File("in/codes.tar");
  WriteBytes(archive, {7, 7, 7});
  size_t calls = 0;
  auto counting = [&calls](std::FILE* f, const uint8_t* data, size_t size) {
    ++calls;
    return std::fwrite(data, 1, size, f) == size;
  };
  std::vector<std::string> names;
  {
    TTarArchive tar(archive, counting);
    for (int i = 0; i < 2000; ++i) {
      names.push_back("region" + std::to_string(i) + ".code");
      tar.Add(names.back(), Pattern(100, static_cast<uint8_t>(i)));
      if (i == 0) {
        EXPECT_EQ(ReadBytes(archive), (TByteArray{7, 7, 7}));
      }
    }
    EXPECT_EQ(ReadBytes(archive), (TByteArray{7, 7, 7})) << "replaced only when finished";
    tar.Finish();
  }
  EXPECT_LE(calls, 3u) << "2000 members of 1 KiB each in a 1 MiB buffer";
  EXPECT_EQ(FilesIn(dir.File("in")), 1u);
  const std::string text = dir.File("tar.txt");
  ASSERT_EQ(Tar("-tf '" + archive + "'", text), 0);
  EXPECT_EQ(Lines(text), names);
  EXPECT_THROW(TTarArchive(dir.File("no/such/folder.tar")), EFileError);
}

TEST(TarArchive, ArchiveWithoutMembersIsValid) {
  if (!HaveTar()) GTEST_SKIP() << "tar is not on PATH";
  TempDir dir;
  const std::string archive = dir.File("codes.tar");
  {
    TTarArchive tar(archive);
    tar.Finish();
    EXPECT_THROW(tar.Add("late.code", {}), std::logic_error);
  }
  EXPECT_EQ(ReadBytes(archive), TByteArray(1024, 0));
  const std::string text = dir.File("tar.txt");
  EXPECT_EQ(Tar("-tf '" + archive + "'", text), 0);
  EXPECT_TRUE(Lines(text).empty());
}

}  // namespace
}  // namespace ormax
