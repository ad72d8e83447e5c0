// CodesCommand: `ormax-cli codes`, the code of every region of each scene, one code
// file per region (SCENE-INDEX.c), and a table of the regions.
//   RunCodes
// A scene that cannot be read is reported on stderr; the others are still written.
#pragma once

#include <QStringList>

#include "cli/Options.h"

namespace ormax {

int RunCodes(const QStringList& arguments, const TCliContext& cx);

}  // namespace ormax
