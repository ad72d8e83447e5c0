// StartFiles: the desktop program's arguments (see StartFiles.h).
//   ParseStartArguments, StartUsage, StartVersion
#include "shell/StartFiles.h"

namespace ormax {

std::string StartUsage() {
  return "Usage: ormax [options] [SCENE.bmp]\n"
         "Recognises shapes in pictures: the desktop program. Opens the scene and loads\n"
         "the base as File, Open and Base, Load... would.\n\n"
         "Options:\n"
         "  -b, --base <LIST.txt>  Loads the base list file.\n"
         "  -h, --help             Shows this help.\n"
         "  --version              Prints the version.\n";
}

std::string StartVersion() {
  return std::string("ormax ") + ORMAX_VERSION + "\n";
}

TStartFiles ParseStartArguments(const std::vector<std::string>& arguments) {
  TStartFiles files;
  auto fail = [&](const std::string& why) {
    TStartFiles bad;
    bad.Error = why;
    return bad;
  };
  for (size_t i = 0; i < arguments.size(); ++i) {
    const std::string& a = arguments[i];
    if (a == "--help" || a == "-h") {
      files.Help = true;
    } else if (a == "--version") {
      files.Version = true;
    } else if (a == "--base" || a == "-b") {
      if (i + 1 >= arguments.size() || arguments[i + 1].empty())
        return fail("--base needs a base list file");
      files.Base = arguments[++i];
    } else if (a.rfind("--base=", 0) == 0) {
      if (a.size() == 7) return fail("--base needs a base list file");
      files.Base = a.substr(7);
    } else if (!a.empty() && a[0] == '-') {
      return fail("unknown option '" + a + "'");
    } else if (files.Scene) {
      return fail("one scene at a time: '" + *files.Scene + "' and '" + a + "'");
    } else {
      files.Scene = a;
    }
  }
  return files;
}

}  // namespace ormax
