// TarArchive: many small files (code files, one per region) written as the members of
// one ustar archive, so that a run costs one file instead of one per region.
//   TTarArchive  Add appends a member, Finish completes the archive and puts it in
//                place; an archive never finished leaves nothing behind
// Edge cases a caller meets:
//   - names over 100 bytes are split at a '/' into a prefix of at most 155 bytes and a
//     name of at most 100; a name that cannot be split so is refused, as are an empty
//     name and one holding a zero byte; members of 8 GiB or more are refused. A
//     refused member leaves the archive as it was, and later members can be added.
//   - every member is a plain file, mode 0644, owner and group 0, with the time the
//     archive was started as its modification time.
//   - an archive with no members is valid (two zero blocks).
//   - a failed write removes the temporary at once; the archive then refuses more work.
//   - an existing archive of the same name is replaced only by a finished one.
// Not thread-safe: one thread adds the members, in the order they are to be stored.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "codes/Bytes.h"
#include "codes/Files.h"

namespace ormax {

class TTarArchive {
 public:
  // Starts the archive as a temporary file beside name; throws "Cannot create file %s".
  // The writer, for tests, stores the bytes in place of fwrite.
  explicit TTarArchive(const std::string& name, TFileWriter writer = nullptr);
  // Without Finish, removes the temporary: a failed run leaves no archive behind.
  ~TTarArchive() = default;
  TTarArchive(const TTarArchive&) = delete;
  TTarArchive& operator=(const TTarArchive&) = delete;

  const std::string& Name() const { return file_.Target(); }

  // Appends a member with the given path inside the archive and contents. Throws
  // EFileError naming the member when its name or size does not fit the format, and
  // "Stream write error" when the bytes cannot be written.
  void Add(const std::string& member, const TByteArray& bytes);
  // Writes the two zero blocks that end the archive and renames it over the name.
  // Throws as TTempFile::Commit does; Add and Finish are refused afterwards.
  void Finish();

 private:
  void Put(const uint8_t* data, size_t size);
  void PutZeros(size_t size);
  void Flush();
  void RequireOpen() const;

  TTempFile file_;
  TFileWriter writer_;
  std::unique_ptr<uint8_t[]> buffer_;  // not cleared: only what is put in is ever read
  size_t used_ = 0;
  int64_t mtime_ = 0;
  bool failed_ = false;
  bool finished_ = false;
};

}  // namespace ormax
