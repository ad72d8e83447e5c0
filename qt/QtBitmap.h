// QtBitmap: scene pictures in and out.
//   FixedPalette, NearestPaletteIndex, ReduceTo256Colours  the 256-colour reduction
//   LoadScenePicture  reads a picture and reduces it to 256 colours: an 8-bit picture
//                     keeps its own palette, any other takes for each pixel the
//                     nearest colour of FixedPalette (no dithering); with the
//                     background found in the picture, its ground becomes white
//   InkOnWhite        that step alone: the ground white, the ink in FixedPalette's
//                     colours other than white
//   ScenePattern      the scene (a TPattern with white background) of a picture
//   LoadScenePattern  the scene of a file straight from its 8-bit reduction, for a
//                     front end that shows no picture: no 32-bit copy is made
//   LoadSceneIndices  that 8-bit reduction itself, for a front end that only
//                     segments the scene: no scene pattern is made either
//   PatternPicture    and back: the picture of a pattern's pixels
//   SavePicture       writes a BMP through a temporary file and a rename
//   EPictureTooLarge  the error of a picture beyond the limits
//   PictureStem       a picture's file name without folder and last extension
//   PictureOnHugePages  a new picture whose pixels are one block of huge pages
// Loading throws for unreadable or damaged files, naming the file and the reason;
// pictures beyond MaxSceneSide x MaxSceneSide pixels, and files over MaxPictureFileSize,
// are refused with that reason.
#pragma once

#include <QImage>
#include <QString>
#include <string>
#include <array>
#include <memory>
#include <optional>

#include "analysis/Background.h"
#include "codes/Errors.h"
#include "model/IndexedScene.h"
#include "model/Patterns.h"

namespace ormax {

// 216 colours of the 6 x 6 x 6 cube (levels 0, 51, ..., 255; index 36 r + 6 g + b),
// then the half-intensity and grey colours of the classic 16-colour set (maroon,
// green, olive, navy, purple, teal, silver, grey), then 32 greys filling the rest.
const std::array<QRgb, 256>& FixedPalette();

// Index of the nearest palette colour by squared RGB distance; ties to the lower.
int NearestPaletteIndex(QRgb color);

// The picture as an 8-bit image (Format_Indexed8).
QImage ReduceTo256Colours(const QImage& image);

// A width x height picture of `format`, its pixels unset, its rows laid out as Qt lays
// them out, in one block of AllocateBlock (a large one in whole huge pages) that the
// picture gives back with its last copy. Throws std::bad_alloc.
QImage PictureOnHugePages(int width, int height, QImage::Format format);

// A picture beyond the size limits below; the reason says which limit.
class EPictureTooLarge : public EReadError {
 public:
  using EReadError::EReadError;
};

// The largest scene: 8192 x 8192 pixels (its pixels, picture and analysis take about
// 1.5 GiB at the most); and the largest picture file read.
inline constexpr int MaxSceneSide = 8192;
inline constexpr qint64 MaxPictureFileSize = qint64{512} << 20;

// The picture as Format_RGB32, every pixel one of at most 256 colours. bmpOnly: read
// the file as a BMP whatever its name (the desktop program); otherwise any format Qt
// reads. Throws EFileError when the file cannot be opened, EReadError when it cannot be
// read (cut short, not a picture) and EPictureTooLarge beyond the limits; what() is
// "<file>: cannot read the picture (<reason>)".
// background Auto: the ground is found in the picture (FindInk) and becomes white,
// every ink pixel keeps its nearest colour of FixedPalette other than white.
// threads: how many may find the background at once (0: one a core).
QImage LoadScenePicture(const QString& fileName, bool bmpOnly,
                        TBackground background = TBackground::White, int32_t threads = 1);
// maxSide: a smaller limit than the program's, for tools that want one; source names
// the data in the errors.
QImage LoadScenePicture(const QByteArray& bytes, bool bmpOnly, int maxSide = MaxSceneSide,
                        const QString& source = "picture",
                        TBackground background = TBackground::White);

// The picture as an 8-bit image of FixedPalette's colours: where FindInk sees ground,
// white; where it sees ink, the pixel's nearest colour other than white.
QImage InkOnWhite(const QImage& picture, int32_t threads = 1);

// The scene of a loaded picture: one colour value per pixel, white the background.
std::unique_ptr<TPattern> ScenePattern(const QImage& picture);
// ScenePattern(LoadScenePicture(fileName, bmpOnly, background)), with the same errors.
std::unique_ptr<TPattern> LoadScenePattern(const QString& fileName, bool bmpOnly,
                                           TBackground background = TBackground::White,
                                           int32_t threads = 1);
// The scene LoadScenePattern makes, as the indices of the file's 8-bit reduction and
// their colours (white the background), the picture kept alive by the indices' pointer.
// The same errors.
TIndexedScene LoadSceneIndices(const QString& fileName, bool bmpOnly,
                               TBackground background = TBackground::White,
                               int32_t threads = 1);
// Format_RGB32, one pixel per pattern pixel, (0, 0) the pattern's top left.
QImage PatternPicture(const TImg& pattern);

// "shapes/star.bmp" gives "star": the name a base gives the picture's shape.
std::string PictureStem(const QString& file);

// Writes image as a BMP (or in another format Qt writes, such as "png"). Throws
// EFileError ("Cannot create file %s" or "Stream write error", with the file and the
// reason); a failed write leaves an existing file untouched.
void SavePicture(const QImage& image, const QString& fileName, const char* format = "bmp");

}  // namespace ormax
