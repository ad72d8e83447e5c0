// Errors: the exceptions of everything that reads or writes the program's files.
//   EDataError  the common base: what() is the program's own message, File() and
//               Reason() say which file and why (either may be empty)
//   EFileError  a file that cannot be opened, created or written
//   EReadError  data that cannot be read: cut short, damaged, too large, or codes of a
//               base that do not fit together
// Every front end shows what() and, where it has room, File() and Reason().
//   WithReason   what(), with the file and the reason added where the message does not
//                already say them
#pragma once

#include <stdexcept>
#include <string>

namespace ormax {

class EDataError : public std::runtime_error {
 public:
  explicit EDataError(const std::string& message, std::string file = {}, std::string reason = {})
      : std::runtime_error(message), file_(std::move(file)), reason_(std::move(reason)) {}
  const std::string& File() const noexcept { return file_; }
  const std::string& Reason() const noexcept { return reason_; }

 private:
  std::string file_;
  std::string reason_;
};

class EFileError : public EDataError {
 public:
  using EDataError::EDataError;
};

class EReadError : public EDataError {
 public:
  using EDataError::EDataError;
};

// The message of an error as one line: what(), then ": file" when the message does not
// name the file ("Stream write error: codes/x-0.c"), then " (reason)" when there is a
// reason that the message does not already hold.
inline std::string WithReason(const EDataError& e) {
  std::string message = e.what();
  if (!e.File().empty() && message.find(e.File()) == std::string::npos)
    message += ": " + e.File();
  if (e.Reason().empty() || message.find(e.Reason()) != std::string::npos) return message;
  return message + " (" + e.Reason() + ")";
}

}  // namespace ormax
