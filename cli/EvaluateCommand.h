// EvaluateCommand: `ormax-cli evaluate`, a user's own check of a base on turned,
// scaled and shifted copies of pictures whose shapes are known.
//   RunEvaluate
// The true shape is the picture's file name up to its first "_", its folder's name in a
// folder of folders, or --truth's. --leave-one-out checks a collection without a base.
#pragma once

#include <QStringList>

#include "cli/Options.h"

namespace ormax {

int RunEvaluate(const QStringList& arguments, const TCliContext& cx);

}  // namespace ormax
