// Dialogs: the file dialogs and message boxes the desktop program asks for, behind
// small interfaces so that tests can answer them. shell/QtDialogs binds them to
// Qt's dialogs.
//   IFileDialogs: OpenPicture, SavePicture, Save, Open (a TFileRequest) -> chosen path
//   or nothing
//   IMessageBoxes: Error, ErrorWithDetails, Information (OK button only), AskNumber
// Filters are written "Description|*.EXT" (several pairs joined by '|'). A save dialog
// asks before it returns the name of a file that exists. A request without a folder
// opens where the last choice was made.
#pragma once

#include <optional>
#include <string>

namespace ormax {

struct TFileRequest {
  std::string Title;
  std::string Filter;
  std::string ProposedName;  // file name offered in the dialog (save dialogs)
  // Save dialogs: the extension (without '.') a chosen name gets when it does not end
  // with it, before the dialog asks whether to replace an existing file.
  std::string DefaultSuffix;
  // The folder the dialog starts in; empty: the folder of the last choice.
  std::string Folder;
};

class IFileDialogs {
 public:
  virtual ~IFileDialogs() = default;
  // The chosen full path; nothing when the user cancels.
  virtual std::optional<std::string> OpenPicture(const TFileRequest& request) = 0;
  virtual std::optional<std::string> SavePicture(const TFileRequest& request) = 0;
  virtual std::optional<std::string> Save(const TFileRequest& request) = 0;
  virtual std::optional<std::string> Open(const TFileRequest& request) = 0;
};

class IMessageBoxes {
 public:
  virtual ~IMessageBoxes() = default;
  virtual void Error(const std::string& caption, const std::string& text) = 0;
  // The same box, with details the reader can unfold (which file, and why).
  virtual void ErrorWithDetails(const std::string& caption, const std::string& text,
                                const std::string& details) {
    static_cast<void>(details);
    Error(caption, text);
  }
  virtual void Information(const std::string& caption, const std::string& text) = 0;
  // A number from lowest to highest, `value` offered; nothing when the user cancels.
  virtual std::optional<double> AskNumber(const std::string& caption, const std::string& label,
                                          double value, double lowest, double highest) = 0;
};

}  // namespace ormax
