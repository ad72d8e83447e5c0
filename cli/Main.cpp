// ormax-cli: the batch command line over the same pipeline as the desktop program.
//   main  the toolkit's application object, then RunCli with the arguments
// Runs without a display (Qt's offscreen platform unless one is chosen; codes and base
// need no platform at all). A normal run is quiet on stderr: the toolkit's notice that
// XDG_RUNTIME_DIR is unset is dropped (qt/ToolkitNotices).
#include <unistd.h>
#include <QGuiApplication>
#include <cstring>
#include <iostream>
#include <memory>
#include <string_view>
#ifdef __GLIBC__
#include <malloc.h>
#endif

#include "cli/Commands.h"
#include "qt/ToolkitNotices.h"

namespace {

// Whether recognize's arguments may ask for a picture: --picture, or -p among a word of
// short options (their letters may run together, "-jp"). A word that only looks like one
// (a value, a file named so) costs the platform's start, nothing worse; after "--" every
// word is a file.
bool MayAskForPicture(int argc, char** argv) {
  for (int i = 2; i < argc; ++i) {
    const std::string_view word = argv[i];
    if (word == "--") return false;
    if (word.starts_with("--") ? word.starts_with("--picture")
                               : word.starts_with('-') && word.find('p') != std::string_view::npos)
      return true;
  }
  return false;
}

}  // namespace

int main(int argc, char** argv) {
#ifdef __GLIBC__
  // Pictures, regions and their buffers come and go by the megabyte: a fixed threshold
  // keeps each in pages of its own that go back to the system when it is released,
  // instead of glibc's moving threshold that keeps them in the heap after the first.
  mallopt(M_MMAP_THRESHOLD, 1 << 20);
  // Fixing that threshold fixes the trim threshold too, at 128 KB: smaller blocks freed
  // at the top of the heap went back to the system at once and were faulted in again for
  // the next picture (base made 30,000 page faults for five pictures). Up to 32 MB of
  // them are kept for reuse instead.
  mallopt(M_TRIM_THRESHOLD, 32 << 20);
#endif
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  ormax::DropRuntimeDirNotice();
  // Commands that draw nothing read their pictures without the windowing platform,
  // which costs a few megabytes and milliseconds at start; recognize draws only for
  // --picture.
  const bool draws =
      argc < 2 || (std::strcmp(argv[1], "codes") != 0 && std::strcmp(argv[1], "base") != 0 &&
                   (std::strcmp(argv[1], "recognize") != 0 || MayAskForPicture(argc, argv)));
  const std::unique_ptr<QCoreApplication> app =
      draws ? std::make_unique<QGuiApplication>(argc, argv)
            : std::make_unique<QCoreApplication>(argc, argv);
  return ormax::RunCli(QCoreApplication::arguments(), std::cout, std::cerr, isatty(2) != 0);
}
