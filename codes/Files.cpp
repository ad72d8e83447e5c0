// Files: reads refuse folders and files over the limit before reading. Writes go to a
// fresh temporary beside the target, renamed over it only when complete; a new file
// that says its own length is instead created under its own name and written there,
// and removed again if any write or the close fails.
//   ReadWholeFile, WriteFileAtomically, WriteSelfCheckingFile, TTempFile
// Edge cases: a name that exists only as a dangling link is replaced like a file; a
// target that becomes a folder while a temporary is written is refused at the rename;
// a failed close counts as a failed write (the bytes may not have reached the disk).
#include "codes/Files.h"

#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <stdexcept>
#include <system_error>

#include <fcntl.h>
#include <unistd.h>

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

// Built straight after the failed call, before anything else can change errno.
EFileError WriteError(const std::string& name) {
  return EFileError("Stream write error", name, SystemReason("the data could not be written"));
}

bool WriteWith(const TFileWriter& writer, std::FILE* file, const uint8_t* data, size_t size) {
  if (writer) return writer(file, data, size);
  return size == 0 || std::fwrite(data, 1, size, file) == size;
}

// Writes image as the file name when no such name exists yet: one create, the bytes,
// one close (through a stream only for the caller's writer). Returns false, having
// touched nothing, when the name is taken.
bool WriteNewFile(const std::string& name, const TByteArray& image, const TFileWriter& writer) {
  errno = 0;
  const int fd = ::open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
  if (fd < 0) {
    if (errno == EEXIST) return false;
    throw CannotCreate(name, SystemReason("it cannot be created"));
  }
  if (!writer) {
    // The bytes go straight to the descriptor: a run writes many small files, and a
    // stream for each (its memory and its look at the file's flags) costs more than
    // the writing.
    auto fail = [&](const EFileError& error) {
      ::close(fd);
      ::unlink(name.c_str());
      throw error;
    };
    const uint8_t* at = image.data();
    for (size_t left = image.size(); left > 0;) {
      errno = 0;
      const ssize_t n = ::write(fd, at, left);
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) fail(WriteError(name));
      at += n;
      left -= static_cast<size_t>(n);
    }
    errno = 0;
    if (::close(fd) != 0) {
      const EFileError error = WriteError(name);
      ::unlink(name.c_str());  // the descriptor is gone whatever close returned
      throw error;
    }
    return true;
  }
  FilePtr file(::fdopen(fd, "wb"));
  auto fail = [&](const EFileError& error) {
    if (file) {
      file.reset();
    } else {
      ::close(fd);
    }
    ::unlink(name.c_str());
    throw error;
  };
  if (!file) fail(CannotCreate(name, SystemReason("it cannot be created")));
  // Unbuffered: the bytes go in one write, without the library's look at the file.
  std::setvbuf(file.get(), nullptr, _IONBF, 0);
  errno = 0;
  if (!WriteWith(writer, file.get(), image.data(), image.size()) || std::fflush(file.get()) != 0)
    fail(WriteError(name));
  errno = 0;
  if (std::fclose(file.release()) != 0) {
    const EFileError error = WriteError(name);
    ::unlink(name.c_str());  // the descriptor is gone whatever fclose returned
    throw error;
  }
  return true;
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
  std::error_code ec;
  if (std::filesystem::is_directory(name, ec)) throw CannotCreate(name, "it is a folder");
  TTempFile temp(name);
  temp.Write(image.data(), image.size(), writer);
  temp.Commit();
}

void WriteSelfCheckingFile(const std::string& name, const TByteArray& image,
                           const TFileWriter& writer) {
  // Most targets are new (a run writes one code file per region): create in place.
  if (WriteNewFile(name, image, writer)) return;
  WriteFileAtomically(name, image, writer);
}

TTempFile::TTempFile(const std::string& target) : target_(target) {
  // A fresh name beside the target, so that the rename stays on one file system.
  errno = 0;
  for (int attempt = 0; attempt < 100 && !file_; ++attempt) {
    name_ = target + ".~" + std::to_string(attempt) + ".tmp";
    file_ = std::fopen(name_.c_str(), "wbx");
  }
  if (!file_) throw CannotCreate(target, SystemReason("it cannot be created"));
  std::setvbuf(file_, nullptr, _IONBF, 0);
}

TTempFile::~TTempFile() {
  Discard();
}

void TTempFile::RequireOpen() const {
  if (done_ || !file_)
    throw std::logic_error("the temporary file for " + target_ + " is already closed");
}

void TTempFile::Fail(const EFileError& error) {
  Discard();
  throw error;
}

void TTempFile::Write(const uint8_t* data, size_t size, const TFileWriter& writer) {
  RequireOpen();
  errno = 0;
  if (!WriteWith(writer, file_, data, size) || std::fflush(file_) != 0) Fail(WriteError(target_));
}

void TTempFile::Commit() {
  namespace fs = std::filesystem;
  RequireOpen();
  errno = 0;
  const bool closed = std::fclose(file_) == 0;
  file_ = nullptr;
  if (!closed) Fail(WriteError(target_));
  // A folder is refused; a file being replaced keeps its permissions.
  std::error_code ec;
  const fs::file_status status = fs::status(target_, ec);
  if (fs::is_directory(status)) Fail(CannotCreate(target_, "it is a folder"));
  if (fs::exists(status)) fs::permissions(name_, status.permissions(), ec);
  fs::rename(name_, target_, ec);
  if (ec) Fail(CannotCreate(target_, ec.message()));
  done_ = true;
}

void TTempFile::Discard() noexcept {
  if (done_) return;
  done_ = true;
  if (file_) std::fclose(file_);
  file_ = nullptr;
  ::unlink(name_.c_str());
}

}  // namespace ormax
