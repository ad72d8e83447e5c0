// TarArchive: members go into a 1 MiB buffer and reach the temporary file in large
// writes; Finish adds the end blocks and renames the temporary over the archive.
//   TTarArchive (Add, Finish)
// Header layout (ustar, 512 bytes): name 0..99, mode 100, uid 108, gid 116, size 124,
// mtime 136, checksum 148, typeflag 156, linkname 157, magic 257, version 263,
// uname 265, gname 297, devmajor 329, devminor 337, prefix 345..499, zeros to 512.
// Numbers are octal, zero-padded and ended by a NUL; the checksum is the sum of the
// header's bytes with its own field taken as spaces, six digits, a NUL and a space.
#include "codes/TarArchive.h"

#include <algorithm>
#include <cstring>
#include <ctime>
#include <stdexcept>

namespace ormax {

namespace {

constexpr size_t BlockSize = 512;
constexpr size_t BufferSize = size_t{1} << 20;
constexpr size_t NameField = 100;
constexpr size_t PrefixField = 155;
// Eleven octal digits hold sizes and times below 8^11 = 8 GiB.
constexpr uint64_t OctalLimit = uint64_t{1} << 33;

// Writes value as digits octal digits, zero-padded, followed by a NUL.
void PutOctal(uint8_t* field, size_t digits, uint64_t value) {
  for (size_t i = digits; i-- > 0; value >>= 3) field[i] = static_cast<uint8_t>('0' + (value & 7));
  field[digits] = 0;
}

// Where member is cut into prefix and name: 0 when the name field holds all of it,
// else the position of the '/' between them; npos when no cut fits.
size_t SplitPoint(const std::string& member) {
  if (member.size() <= NameField) return 0;
  // The first '/' leaving at most 100 bytes after it gives the shortest prefix.
  for (size_t slash = member.find('/'); slash != std::string::npos;
       slash = member.find('/', slash + 1)) {
    if (member.size() - slash - 1 > NameField) continue;
    if (slash == 0 || slash > PrefixField || slash + 1 == member.size()) break;
    return slash;
  }
  return std::string::npos;
}

}  // namespace

TTarArchive::TTarArchive(const std::string& name, TFileWriter writer)
    : file_(name), writer_(std::move(writer)), buffer_(std::make_unique_for_overwrite<uint8_t[]>(BufferSize)) {
  const std::time_t now = std::time(nullptr);
  mtime_ = std::clamp<int64_t>(static_cast<int64_t>(now), 0, static_cast<int64_t>(OctalLimit) - 1);
}

void TTarArchive::RequireOpen() const {
  if (finished_) throw std::logic_error("the archive " + Name() + " is already finished");
  if (failed_)
    throw EFileError("Stream write error", Name(), "an earlier write to the archive failed");
}

void TTarArchive::Add(const std::string& member, const TByteArray& bytes) {
  RequireOpen();
  auto refuse = [&](const std::string& reason) {
    return EFileError("Cannot add " + member + " to the archive " + Name(), Name(), reason);
  };
  if (member.empty()) throw refuse("its name is empty");
  if (member.find('\0') != std::string::npos) throw refuse("its name holds a zero byte");
  const size_t split = SplitPoint(member);
  if (split == std::string::npos) throw refuse("its name is too long for a tar archive");
  if (bytes.size() >= OctalLimit) throw refuse("it is too large for a tar archive");

  uint8_t header[BlockSize] = {};
  if (split == 0) {
    std::memcpy(header, member.data(), member.size());
  } else {
    std::memcpy(header + 345, member.data(), split);
    std::memcpy(header, member.data() + split + 1, member.size() - split - 1);
  }
  PutOctal(header + 100, 7, 0644);
  PutOctal(header + 108, 7, 0);
  PutOctal(header + 116, 7, 0);
  PutOctal(header + 124, 11, bytes.size());
  PutOctal(header + 136, 11, static_cast<uint64_t>(mtime_));
  header[156] = '0';
  std::memcpy(header + 257, "ustar", 6);  // with its NUL
  std::memcpy(header + 263, "00", 2);
  PutOctal(header + 329, 7, 0);
  PutOctal(header + 337, 7, 0);
  std::memset(header + 148, ' ', 8);
  uint32_t sum = 0;
  for (uint8_t byte : header) sum += byte;
  PutOctal(header + 148, 6, sum);
  header[155] = ' ';

  Put(header, BlockSize);
  Put(bytes.data(), bytes.size());
  PutZeros((BlockSize - bytes.size() % BlockSize) % BlockSize);
}

void TTarArchive::Finish() {
  RequireOpen();
  PutZeros(2 * BlockSize);
  Flush();
  failed_ = true;  // until the commit succeeds: it removes the temporary when it fails
  file_.Commit();
  failed_ = false;
  finished_ = true;
}

void TTarArchive::Put(const uint8_t* data, size_t size) {
  while (size > 0) {
    if (used_ == 0 && size >= BufferSize) {
      // A large member goes straight to the file, without a copy.
      failed_ = true;
      file_.Write(data, size, writer_);
      failed_ = false;
      return;
    }
    const size_t n = std::min(size, BufferSize - used_);
    std::memcpy(buffer_.get() + used_, data, n);
    used_ += n;
    data += n;
    size -= n;
    if (used_ == BufferSize) Flush();
  }
}

void TTarArchive::PutZeros(size_t size) {
  static const uint8_t zeros[BlockSize] = {};
  for (; size > 0; size -= std::min(size, BlockSize)) Put(zeros, std::min(size, BlockSize));
}

void TTarArchive::Flush() {
  if (used_ == 0) return;
  failed_ = true;  // TTempFile::Write removes the temporary when it throws
  file_.Write(buffer_.get(), used_, writer_);
  failed_ = false;
  used_ = 0;
}

}  // namespace ormax
