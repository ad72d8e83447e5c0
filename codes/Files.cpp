// Files: reads refuse folders and files over the limit before reading; writes go to a
// fresh temporary beside the target and are renamed over it only when complete.
//   ReadWholeFile, WriteFileAtomically
#include "codes/Files.h"

#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <system_error>

#include <fcntl.h>  // AT_FDCWD for renameat2

namespace ormax {

namespace {

struct FileCloser {
  void operator()(std::FILE* f) const {
    if (f) std::fclose(f);
  }
};
using FilePtr = std::unique_ptr<std::FILE, FileCloser>;

// The system's reason for the last failed call, or a fallback when it gave none.
std::string SystemReason(const char* fallback) {
  const int code = errno;
  return code != 0 ? std::generic_category().message(code) : fallback;
}

EFileError CannotOpen(const std::string& name, const std::string& reason) {
  return EFileError("Cannot open file " + name, name, reason);
}

EFileError CannotCreate(const std::string& name, const std::string& reason) {
  return EFileError("Cannot create file " + name, name, reason);
}

bool WriteAll(std::FILE* file, const uint8_t* data, size_t size) {
  return size == 0 || std::fwrite(data, 1, size, file) == size;
}

}  // namespace

TByteArray ReadWholeFile(const std::string& name, uint64_t maxBytes) {
  std::error_code ec;
  if (std::filesystem::is_directory(name, ec)) throw CannotOpen(name, "it is a folder");
  auto tooLarge = [&] {
    const std::string reason = "larger than " + std::to_string(maxBytes) + " bytes";
    return EReadError(
        "File " + name + " is too large (more than " + std::to_string(maxBytes) + " bytes)", name,
        reason);
  };
  if (std::filesystem::is_regular_file(name, ec)) {
    auto size = std::filesystem::file_size(name, ec);
    if (!ec && size > maxBytes) throw tooLarge();
  }
  errno = 0;
  FilePtr file(std::fopen(name.c_str(), "rb"));
  if (!file) throw CannotOpen(name, SystemReason("it cannot be opened"));
  TByteArray bytes;
  uint8_t chunk[65536];
  for (;;) {
    size_t n = std::fread(chunk, 1, sizeof chunk, file.get());
    if (bytes.size() + n > maxBytes) throw tooLarge();
    bytes.insert(bytes.end(), chunk, chunk + n);
    if (n < sizeof chunk) break;
  }
  if (std::ferror(file.get())) throw CannotOpen(name, SystemReason("it cannot be read"));
  return bytes;
}

void WriteFileAtomically(const std::string& name, const TByteArray& image,
                         const TFileWriter& writer) {
  namespace fs = std::filesystem;
  std::error_code ec;
  // A fresh name beside the target, so that the rename stays on one file system.
  std::string temp;
  FilePtr file;
  errno = 0;
  for (int attempt = 0; attempt < 100 && !file; ++attempt) {
    temp = name + ".~" + std::to_string(attempt) + ".tmp";
    file.reset(std::fopen(temp.c_str(), "wbx"));
  }
  if (!file) throw CannotCreate(name, SystemReason("it cannot be created"));
  // Unbuffered: the bytes go in one write, without the library's look at the file.
  std::setvbuf(file.get(), nullptr, _IONBF, 0);

  auto fail = [&](EFileError error) {
    file.reset();
    fs::remove(temp, ec);
    throw error;
  };
  auto writeError = [&] {
    return EFileError("Stream write error", name, SystemReason("the data could not be written"));
  };
  errno = 0;
  bool written = writer ? writer(file.get(), image.data(), image.size())
                        : WriteAll(file.get(), image.data(), image.size());
  if (!written || std::fflush(file.get()) != 0) fail(writeError());
  if (std::fclose(file.release()) != 0) fail(writeError());

#ifdef RENAME_NOREPLACE
  // Most targets are new: then the move is all, with no look at the target first.
  if (::renameat2(AT_FDCWD, temp.c_str(), AT_FDCWD, name.c_str(), RENAME_NOREPLACE) == 0) return;
#endif
  // A folder is refused; a file being replaced keeps its permissions.
  const fs::file_status target = fs::status(name, ec);
  if (fs::is_directory(target)) fail(CannotCreate(name, "it is a folder"));
  if (fs::exists(target)) fs::permissions(temp, target.permissions(), ec);
  fs::rename(temp, name, ec);
  if (ec) fail(CannotCreate(name, ec.message()));
}

}  // namespace ormax
