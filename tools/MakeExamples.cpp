// MakeExamples: draws the sample pictures (without anti-aliasing, by testing each
// pixel centre against the shape) and builds the sample base with ormax-cli's own
// base command. Usage: ormax_examples EXAMPLES_FOLDER
//   shapes/   one picture per shape, black on white
//   base/     base.txt and its code files (ormax-cli base at its defaults)
//   scenes/   several shapes to a scene: moved, turned, scaled, in other colours
//   limits/   the method's hard cases (kept apart from the scenes)
// The output depends only on this file: running it again gives the same bytes.
#include <QDir>
#include <QGuiApplication>
#include <QImage>
#include <cmath>
#include <cstdio>
#include <iostream>
#include <string>
#include <vector>

#include "cli/Commands.h"
#include "qt/QtBitmap.h"
#include "tools/SampleShapes.h"

namespace {

using ormax::Picture;
using Placement = ormax::TPlacement;

// Every colour used is one of the fixed palette's, so the 8-bit (or 4-bit) file keeps
// the picture exactly and takes a fraction of the space.
void Save(const QImage& picture, const QString& file) {
  ormax::SavePicture(ormax::ReduceTo256Colours(picture), file);
}

const QRgb kRed = qRgb(204, 0, 0), kBlue = qRgb(0, 51, 204), kGreen = qRgb(0, 153, 51),
           kOrange = qRgb(255, 153, 0), kPurple = qRgb(102, 51, 153), kTeal = qRgb(0, 128, 128),
           kGrey = qRgb(102, 102, 102), kBrown = qRgb(153, 102, 51), kBlack = qRgb(0, 0, 0);

// A shape of a scene, placed by its cell.
struct TCell {
  const char* Shape;
  double Radius, Degrees;
  QRgb Color;
};

// A scene's shapes in the cells of a grid three cells wide, 160 pixels a cell, row by
// row from the top left; each shape centred in its cell.
std::vector<Placement> OnTheGrid(const std::vector<TCell>& cells) {
  std::vector<Placement> placements;
  for (size_t i = 0; i < cells.size(); ++i)
    placements.push_back({cells[i].Shape, 80.0 + 160 * (i % 3), 80.0 + 160 * (i / 3),
                          cells[i].Radius, cells[i].Degrees, cells[i].Color});
  return placements;
}

}  // namespace

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QGuiApplication app(argc, argv);
  if (argc < 2) {
    std::fprintf(stderr, "usage: ormax_examples EXAMPLES_FOLDER\n");
    return 2;
  }
  const QString root = QString::fromLocal8Bit(argv[1]);
  for (const char* sub : {"shapes", "base", "scenes", "limits"}) {
    QDir(root + "/" + sub).removeRecursively();
    QDir().mkpath(root + "/" + sub);
  }

  QStringList baseArgs = {"ormax-cli", "base", "-o", root + "/base/base.txt"};
  for (const ormax::TSampleShape& shape : ormax::SampleShapes()) {
    const QString file = root + "/shapes/" + QString::fromStdString(shape.Name) + ".bmp";
    Save(Picture(100, 100, {{shape.Name, 50, 50, 40, 0, kBlack}}), file);
    baseArgs << file;
  }

  // Moved, turned, scaled and recoloured copies, placed at whole pixels.
  const std::vector<std::vector<Placement>> scenes = {
      OnTheGrid({{"triangle", 40, 35, kBlue}, {"arrow", 40, 35, kGreen}, {"ell", 50, 20, kOrange},
                 {"cross", 50, 45, kRed}, {"star", 40, 45, kTeal}, {"ellipse", 40, 70, kPurple}}),
      OnTheGrid({{"square", 40, 10, kGreen}, {"rectangle", 40, 135, kBrown}, {"circle", 40, 80, kRed},
                 {"ring", 40, 70, kBlue}, {"triangle", 50, 250, kGrey}, {"ell", 40, 100, kPurple}}),
      OnTheGrid({{"arrow", 40, 300, kRed}, {"star", 50, 55, kOrange}, {"ellipse", 50, 160, kGreen},
                 {"rectangle", 50, 160, kTeal}, {"cross", 50, 160, kBlue}, {"triangle", 40, 10, kBrown}}),
  };
  for (size_t k = 0; k < scenes.size(); ++k) {
    QImage picture = Picture(480, 320, scenes[k]);
    if (k == 2) {
      // Several colours in one shape: still one region, the same code.
      for (int y = 220; y <= 260; ++y)
        for (int x = 225; x <= 255; ++x)
          if (picture.pixel(x, y) != qRgb(255, 255, 255)) picture.setPixel(x, y, kOrange);
    }
    Save(picture, root + "/scenes/scene" + QString::number(k + 1) + ".bmp");
  }

  // The hard cases, kept apart: a turned square and a round shape have second moments
  // without a direction, so their axes follow pixel noise and the halves fall
  // elsewhere; a rectangle turned between two turns of a base comes closer to a turned
  // ellipse; and two shapes touching at a corner are one region.
  {
    QImage picture = Picture(640, 160,
                             {{"square", 80, 80, 40, 45, kRed},
                              {"rectangle", 240, 80, 40, 20, kBlue},
                              {"circle", 400, 80, 50, 20, kGreen},
                              {"square", 530, 50, 29, 0, kBrown},
                              {"square", 571, 91, 29, 0, kPurple}});
    Save(picture, root + "/limits/limits.bmp");
  }

  return ormax::RunCli(baseArgs, std::cout, std::cerr);
}
