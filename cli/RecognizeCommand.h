// RecognizeCommand: `ormax-cli recognize`, the nearest base entry of every region of
// each scene, as a table, CSV or JSON, and if asked the Recognition view as a picture.
//   RunRecognize
// Regions whose answer is doubtful (TLabelRule), or less alike than --min-sameness when
// it is given, are labelled "unknown"; --top K adds the runners-up of distinct shapes. A
// base that does not load fails the command; a scene that cannot be read is reported,
// the others printed.
#pragma once

#include <QStringList>

#include "app/RecognitionRows.h"
#include "cli/Options.h"

namespace ormax {

int RunRecognize(const QStringList& arguments, const TCliContext& cx);

}  // namespace ormax
