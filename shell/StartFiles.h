// StartFiles: the files named when the desktop program starts:
//   ormax [SCENE.bmp] [--base LIST.txt] | --help | --version
//   ParseStartArguments (the arguments after the program name -> TStartFiles),
//   StartUsage, StartVersion
// No arguments give nothing to open. An unknown option, a second scene or a --base
// without its file give an Error and nothing to open.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace ormax {

struct TStartFiles {
  std::optional<std::string> Scene;
  std::optional<std::string> Base;
  bool Help = false;
  std::string Error;  // empty when the arguments are right
  bool Version = false;
};

TStartFiles ParseStartArguments(const std::vector<std::string>& arguments);
std::string StartUsage();
// "ormax VERSION", the one version of the project.
std::string StartVersion();

}  // namespace ormax
