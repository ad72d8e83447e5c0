// Pictures: the scenes of the command line, read into an application state, and the
// pictures it writes; inputs worked on at once.
//   TCliScene (NewPicture), LoadScene, LoadSceneToSegment, MisfitWarning, WritePicture,
//   WriteViewPicture, ForEachInput, ThreadsPerInput
//   TShapePicture, CollectPictures  the pictures of a collection and the shape of each
// LoadScene throws the reader's error ("<file>: cannot read the picture (<reason>)").
#pragma once

#include <QImage>
#include <QStringList>
#include <functional>
#include <memory>

#include "app/AppState.h"
#include "app/Views.h"
#include "cli/Options.h"

namespace ormax {

struct TCliScene {
  std::unique_ptr<TAppState> State = std::make_unique<TAppState>();
  int32_t Width = 0;  // the scene's size, kept when its pixels are let go
  int32_t Height = 0;

  // A white picture of the scene's size for a view to draw on, made when it is needed:
  // a view drawn from the regions is drawn after the scene's own pixels are let go, so
  // that the two are never held at once.
  QImage NewPicture() const;
};

// Only the scene's own pixel matrix is kept (a view's picture is made when drawn). The
// state takes the reading; the picture is read with its background.
// threads: for finding the background (0: one a core).
TCliScene LoadScene(const QString& file, const TSceneReading& reading = {},
                    int32_t threads = 1);
// The same scene as its 8-bit indices only (the state's SceneIndices, no SceneImage),
// for a command that only segments it.
TCliScene LoadSceneToSegment(const QString& file, const TSceneReading& reading,
                             int32_t threads);

// After the scene's segmentation: "<file>: <what was seen>; ..." with the remedy, when
// the scene was read with a white background that it does not have; else empty.
std::string MisfitWarning(const QString& file, const TAppState& state);
// The same of a misfit already named: "<file>: <misfit>" with the remedy added.
std::string MisfitWarning(const std::string& namedMisfit);

// BMP, or PNG when the name ends in ".png".
void WritePicture(const QImage& picture, const QString& file);
// Draws the view of the scene's state (not Representation, which is drawn as its trees
// are made) and writes it as WritePicture would. The Recognition view as a BMP is drawn
// and written a band of rows at a time, so its picture is never held whole.
void WriteViewPicture(TView view, TCliScene& scene, const QString& file);

// work(i) for every input on `jobs` threads, with a progress line on a terminal; each
// result goes to the caller's slot i, so the output keeps the input order. The work
// catches its own errors.
void ForEachInput(const QStringList& files, int32_t jobs, const TCliContext& cx,
                  const std::function<void(int32_t)>& work);

// A picture and the shape it shows: its folder's name in a folder of folders, or what
// a truth file says; empty when its file name tells (ShapeOfPictureName).
struct TShapePicture {
  QString File;
  std::string Shape;
  std::string Problem;  // "<file>: not in <truth file>": a picture to leave out
  // Shape, or the one its file name tells.
  std::string ShapeName() const;
};

// The pictures of the arguments, in order: a file as it is; a folder's pictures (those
// whose name ends in a picture format's suffix), sorted by name, and for each of its
// sub-folders the sub-folder's pictures, showing the shape the sub-folder is named
// after. truth, when not empty, is a CSV file of lines "picture,shape" (a picture
// matched by its path as given or by its file name) that names every picture's shape.
// A picture the truth file does not name gets a Problem. Throws "<file>: ..." for an
// unreadable or malformed truth file, or a folder without pictures.
std::vector<TShapePicture> CollectPictures(const QStringList& arguments, const QString& truth);

// Threads for the analysis inside one input: all of them when there is one input, one
// when the inputs themselves are spread over the threads.
int32_t ThreadsPerInput(const QStringList& files, int32_t jobs);

}  // namespace ormax
