// Pictures: the scenes of the command line, read into an application state, and the
// pictures it writes; inputs worked on at once.
//   TCliScene, LoadScene, MisfitWarning, LoadBase, WritePicture, ForEachInput
// LoadScene throws the reader's error ("<file>: cannot read the picture (<reason>)").
#pragma once

#include <QImage>
#include <QStringList>
#include <functional>
#include <memory>

#include "app/AppState.h"
#include "cli/Options.h"

namespace ormax {

struct TCliScene {
  std::unique_ptr<TAppState> State = std::make_unique<TAppState>();
  QImage Picture;  // the picture as read, which the views draw on; null when not kept
};

// keepPicture: false for a command that draws no view, so that only the scene's own
// pixel matrix stays in memory. The state takes the reading; the picture is read with
// its background.
// threads: for finding the background (0: one a core).
TCliScene LoadScene(const QString& file, bool keepPicture = true,
                    const TSceneReading& reading = {}, int32_t threads = 1);

// After the scene's segmentation: "<file>: <what was seen>; ..." with the remedy, when
// the scene was read with a white background that it does not have; else empty.
std::string MisfitWarning(const QString& file, const TAppState& state);
// The same of a misfit already named: "<file>: <misfit>" with the remedy added.
std::string MisfitWarning(const std::string& namedMisfit);

// The base of a list file; throws what the loader throws, and "<list>: the base is
// empty" for a list without entries.
void LoadBase(const QString& list, TCodeBase& base);

// BMP, or PNG when the name ends in ".png".
void WritePicture(const QImage& picture, const QString& file);

// work(i) for every input on `jobs` threads, with a progress line on a terminal; each
// result goes to the caller's slot i, so the output keeps the input order. The work
// catches its own errors.
void ForEachInput(const QStringList& files, int32_t jobs, const TCliContext& cx,
                  const std::function<void(int32_t)>& work);

// Threads for the analysis inside one input: all of them when there is one input, one
// when the inputs themselves are spread over the threads.
int32_t ThreadsPerInput(const QStringList& files, int32_t jobs);

}  // namespace ormax
