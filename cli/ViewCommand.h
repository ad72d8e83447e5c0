// ViewCommand: `ormax-cli view`, any view of the desktop program for one scene,
// written as a BMP (or PNG) picture.
//   RunView
// The recognition view needs a base; the other views take the base's settings when
// one is given, and --level or --error over them.
#pragma once

#include <QStringList>

#include "cli/Options.h"

namespace ormax {

int RunView(const QStringList& arguments, const TCliContext& cx);

}  // namespace ormax
