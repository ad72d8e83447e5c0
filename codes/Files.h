// Files: whole-file reads and safe whole-file writes for code files, base lists and
// everything else the program saves.
//   ReadWholeFile       reads a file into memory, refusing files over a size limit
//   WriteFileAtomically writes a temporary file beside the target, then renames it
//                       over the target: a failed write leaves the old file whole
//   WriteSelfCheckingFile
//                       the same for an existing file; a new one is written in place
//                       and removed when the write fails (one create, no rename)
//   TTempFile           a temporary file beside a target, renamed over the target by
//                       Commit and removed when destroyed uncommitted
//   TFileWriter         how the bytes are stored; tests pass one that fails part-way
// No write leaves a file half written under its own name once it returns or throws. A
// reader can meet a new file of WriteSelfCheckingFile while it is being written, so
// only files that say their own length go that way (code files do, and refuse a short
// one); lists, tables and pictures go through WriteFileAtomically.
// Errors: EFileError with "Cannot open file %s", "Cannot create file %s" or
// "Stream write error", the file and the system's reason.
#pragma once

#include <cstdint>
#include <cstdio>
#include <functional>
#include <string>

#include "codes/Bytes.h"

namespace ormax {

// Throws EFileError "Cannot open file %s" when the file cannot be opened or read,
// and EReadError when it is larger than maxBytes.
TByteArray ReadWholeFile(const std::string& name, uint64_t maxBytes);

// The writer stores size bytes into the open file and returns whether all were
// written; tests pass one that fails part-way.
using TFileWriter = std::function<bool(std::FILE* file, const uint8_t* data, size_t size)>;

// Stores image as the file name through a temporary beside it, renamed over it when
// complete; a replaced file's permissions are kept and a folder is refused. Throws
// "Cannot create file %s" or "Stream write error"; an old file stays whole.
void WriteFileAtomically(const std::string& name, const TByteArray& image,
                         const TFileWriter& writer = nullptr);

// Stores image as the file name. A new name costs one create: the file is written in
// place (mode 0666 less the umask) and removed again when writing or closing fails.
// An existing name is replaced as WriteFileAtomically does. For files whose reader
// refuses a short one.
void WriteSelfCheckingFile(const std::string& name, const TByteArray& image,
                           const TFileWriter& writer = nullptr);

// A fresh temporary file beside a target (on the same file system, so the final
// rename is a single step). The file is unbuffered: callers write large pieces. Not
// committed, it is removed when the object is destroyed.
class TTempFile {
 public:
  // Creates the temporary; throws "Cannot create file %s" naming the target.
  explicit TTempFile(const std::string& target);
  ~TTempFile();
  TTempFile(const TTempFile&) = delete;
  TTempFile& operator=(const TTempFile&) = delete;

  const std::string& Target() const { return target_; }
  // The temporary's own name, while it exists.
  const std::string& Name() const { return name_; }

  // Appends size bytes through the writer (plain fwrite when it is empty). On failure
  // removes the temporary and throws "Stream write error" naming the target.
  void Write(const uint8_t* data, size_t size, const TFileWriter& writer = nullptr);
  // Closes the temporary and renames it over the target: a folder is refused, a file
  // being replaced keeps its permissions. Throws "Stream write error" when closing
  // fails and "Cannot create file %s" when the rename does; the temporary is removed
  // on failure and the target left as it was.
  void Commit();
  // Closes and removes the temporary now; does nothing once committed or discarded.
  void Discard() noexcept;

 private:
  void RequireOpen() const;
  [[noreturn]] void Fail(const EFileError& error);

  std::string target_;
  std::string name_;
  std::FILE* file_ = nullptr;
  bool done_ = false;  // committed or discarded
};

}  // namespace ormax
