#include "codes/Files.h"

#include <filesystem>
#include <memory>
#include <system_error>

namespace ormax {

namespace {

struct FileCloser {
  void operator()(std::FILE* f) const {
    if (f) std::fclose(f);
  }
};
using FilePtr = std::unique_ptr<std::FILE, FileCloser>;

bool WriteAll(std::FILE* file, const uint8_t* data, size_t size) {
  return size == 0 || std::fwrite(data, 1, size, file) == size;
}

}  // namespace

TByteArray ReadWholeFile(const std::string& name, uint64_t maxBytes) {
  std::error_code ec;
  if (std::filesystem::is_directory(name, ec)) throw EFileError("Cannot open file " + name);
  auto tooLarge = [&] {
    return EReadError("File " + name + " is too large (more than " + std::to_string(maxBytes) +
                      " bytes)");
  };
  if (std::filesystem::is_regular_file(name, ec)) {
    auto size = std::filesystem::file_size(name, ec);
    if (!ec && size > maxBytes) throw tooLarge();
  }
  FilePtr file(std::fopen(name.c_str(), "rb"));
  if (!file) throw EFileError("Cannot open file " + name);
  TByteArray bytes;
  uint8_t chunk[65536];
  for (;;) {
    size_t n = std::fread(chunk, 1, sizeof chunk, file.get());
    if (bytes.size() + n > maxBytes) throw tooLarge();
    bytes.insert(bytes.end(), chunk, chunk + n);
    if (n < sizeof chunk) break;
  }
  if (std::ferror(file.get())) throw EFileError("Cannot open file " + name);
  return bytes;
}

void WriteFileAtomically(const std::string& name, const TByteArray& image,
                         const TFileWriter& writer) {
  namespace fs = std::filesystem;
  std::error_code ec;
  if (fs::is_directory(name, ec)) throw EFileError("Cannot create file " + name);

  // A fresh name beside the target, so that the rename stays on one file system.
  std::string temp;
  FilePtr file;
  for (int attempt = 0; attempt < 100 && !file; ++attempt) {
    temp = name + ".~" + std::to_string(attempt) + ".tmp";
    file.reset(std::fopen(temp.c_str(), "wbx"));
  }
  if (!file) throw EFileError("Cannot create file " + name);

  auto fail = [&](const std::string& message) {
    file.reset();
    fs::remove(temp, ec);
    throw EFileError(message);
  };
  bool written = writer ? writer(file.get(), image.data(), image.size())
                        : WriteAll(file.get(), image.data(), image.size());
  if (!written || std::fflush(file.get()) != 0) fail("Stream write error");
  if (std::fclose(file.release()) != 0) fail("Stream write error");

  // Keep the permissions of the file being replaced.
  auto status = fs::status(name, ec);
  if (!ec && fs::exists(status)) fs::permissions(temp, status.permissions(), ec);
  fs::rename(temp, name, ec);
  if (ec) fail("Cannot create file " + name);
}

}  // namespace ormax
