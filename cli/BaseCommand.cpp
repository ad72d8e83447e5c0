// BaseCommand: the base is built by the application layer from the pictures as the
// command line reads them, and only a whole base is written.
//   RunBase
#include "cli/BaseCommand.h"

#include <QDir>
#include <QFileInfo>

#include "app/BaseBuilder.h"
#include "app/Records.h"
#include "cli/Pictures.h"
#include "codes/Files.h"

namespace ormax {

namespace {

struct TBaseCall {
  QStringList Files;
  QString List;
  TBaseOptions Options;
  bool SkipBad = false;
};

// Parses the options; nothing when --help was asked.
std::optional<TBaseCall> ParseBase(const QStringList& arguments, const TCliContext& cx) {
  QCommandLineParser p;
  p.addOption(Option({"o", "output"}, "The base list file to write (required).", "LIST.txt"));
  p.addOption(Option({"l", "level"}, "Maximum tree level (default 2).", "L"));
  p.addOption(Option({"e", "error"}, "Admissible error (default 0).", "E"));
  p.addOption(Option({"t", "turns"},
                     "Copies of each picture, turned by 360/N degrees each (default 24: every "
                     "15 degrees); 1 gives the plain base, the pictures as they are, unless "
                     "--scales is given too.",
                     "N"));
  p.addOption(Option({"m", "mirror"}, "Also add mirrored copies (entries SHAPE@mDEGREES)."));
  p.addOption(Option({"scales"},
                     "Every turn at each of these sizes, separated by commas (default 1,0.7, "
                     "or 1 with --turns 1; entries SHAPE@DEGREESxSIZE for a size other than 1).",
                     "LIST"));
  p.addOption(Option({"s", "skip-bad"},
                     "Leave out, with a warning, pictures that do not hold exactly one region "
                     "or whose trees would make the base fail to load."));
  AddReadingOptions(p);
  if (!ParseCommand(p, arguments, cx,
                    "Builds a base from pictures of one shape each: a code file per picture (and "
                    "per\nturned copy, named SHAPE@DEGREES) beside the list file, and the list "
                    "file.\nNothing is written when a picture would make the base fail to load.",
                    "One-shape pictures; each entry is named after its picture.", "pictures…"))
    return std::nullopt;
  TBaseCall call;
  call.Files = p.positionalArguments();
  if (call.Files.isEmpty()) throw EUsage("base needs at least one picture");
  if (!p.isSet("output")) throw EUsage("base needs -o LIST.txt");
  call.List = p.value("output");
  call.Options.MaxTreeLevel = LevelOption(p, "level", call.Options.MaxTreeLevel);
  call.Options.AdmissibleError = ErrorOption(p, 0.0);
  if (p.isSet("turns")) {
    bool ok = false;
    call.Options.Turns = p.value("turns").toInt(&ok);
    if (!ok || call.Options.Turns < 1 || call.Options.Turns > 360)
      throw EUsage("--turns takes a whole number from 1 to 360");
  }
  call.Options.Mirror = p.isSet("mirror");
  call.Options.Scales = DefaultScales(call.Options.Turns);
  if (p.isSet("scales")) {
    call.Options.Scales.clear();
    for (const QString& v : p.value("scales").split(',')) {
      bool ok = false;
      const double scale = v.toDouble(&ok);
      if (!ok || !(scale >= 0.1 && scale <= 10))
        throw EUsage("--scales takes sizes from 0.1 to 10 separated by commas, not '" +
                     Str(p.value("scales")) + "'");
      call.Options.Scales.push_back(scale);
    }
  }
  call.SkipBad = p.isSet("skip-bad");
  call.Options.Reading = ReadingOption(p);
  return call;
}

void WriteBase(const TCodeBase& base, const TBaseCall& call) {
  const QFileInfo list(call.List);
  if (!QDir().mkpath(list.absolutePath()))
    throw std::runtime_error(Str(list.absolutePath()) + ": cannot create the folder");
  std::string text = "% made by ormax-cli base: maximum tree level " +
                     std::to_string(call.Options.MaxTreeLevel) + ", admissible error " +
                     ShortestDouble(call.Options.AdmissibleError) +
                     ReadingNote(call.Options.Reading) + "\n";
  for (int32_t i = 0; i < base.Count(); ++i) {
    base.GetCode(i).SaveToFile(Str(list.absolutePath()) + "/" + base.Names(i) + CodeFileExt);
    text += base.Names(i) + "\n";
  }
  WriteFileAtomically(Str(list.absoluteFilePath()), TByteArray(text.begin(), text.end()));
}

}  // namespace

int RunBase(const QStringList& arguments, const TCliContext& cx) {
  const std::optional<TBaseCall> call = ParseBase(arguments, cx);
  if (!call) return 0;
  std::vector<TBasePicture> pictures;
  for (const QString& file : call->Files) pictures.push_back(TBasePicture{Str(file), Stem(file)});
  std::vector<std::string> problems, warnings;
  TCodeBase base;
  BuildBase(
      pictures,
      [&](const TBasePicture& picture) {
        return std::move(LoadScene(QString::fromStdString(picture.File), false,
                                   call->Options.Reading)
                             .State->SceneImage);
      },
      call->Options, base, problems, &warnings);
  for (std::string& w : warnings) w = MisfitWarning(w);
  ReportWarnings(cx, warnings);
  ReportProblems(cx, problems);
  if (!problems.empty() && !call->SkipBad) {
    cx.Err << "ormax-cli: nothing written (--skip-bad leaves the pictures above out)\n";
    return ExitInputFailed;
  }
  if (base.Empty()) {
    cx.Err << "ormax-cli: no picture made an entry; nothing written\n";
    return ExitInputFailed;
  }
  WriteBase(base, *call);
  cx.Out << base.Count() << " entries written to " << Str(QFileInfo(call->List).filePath()) << "\n";
  return 0;
}

}  // namespace ormax
