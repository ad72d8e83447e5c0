// BaseCommand: `ormax-cli base`, a base (list file and code files) from pictures of
// one shape each.
//   RunBase
// Nothing is written when a picture would make the base fail to load, unless
// --skip-bad leaves it out.
#pragma once

#include <QStringList>

#include "cli/Options.h"

namespace ormax {

int RunBase(const QStringList& arguments, const TCliContext& cx);

}  // namespace ormax
