// Files: whole-file reads and safe whole-file writes for code files, base lists and
// everything else the program saves.
//   ReadWholeFile       reads a file into memory, refusing files over a size limit
//   WriteFileAtomically writes a temporary file beside the target, then renames it
//                       over the target: a failed write leaves the old file whole
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

void WriteFileAtomically(const std::string& name, const TByteArray& image,
                         const TFileWriter& writer = nullptr);

}  // namespace ormax
