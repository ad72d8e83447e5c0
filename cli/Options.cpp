// Options: parsing shared by the commands; every refusal names the option and the
// value it got.
//   Str, Stem, Option, ParseCommand, WholeOption, LevelOption, ErrorOption, JobsOption,
//   AddJobsOption, FormatOption, AddFormatOption, FileArguments, AddReadingOptions,
//   ReadingOption, AddBaseOptions, ReadBaseOptions, ProblemText, ReportWarnings,
//   ReportProblems
#include "cli/Options.h"

#include <limits>

#include "codes/Errors.h"

#include <QFileInfo>
#include <cmath>

#include "analysis/Methods.h"
#include "app/MethodSettings.h"
#include "app/WorkerPool.h"
#include "qt/QtBitmap.h"

namespace ormax {

std::string Str(const QString& s) {
  return s.toStdString();
}

std::string Stem(const QString& file) {
  return PictureStem(file);
}

QCommandLineOption Option(const QStringList& names, const QString& help, const QString& value) {
  return value.isEmpty() ? QCommandLineOption(names, help) : QCommandLineOption(names, help, value);
}

bool ParseCommand(QCommandLineParser& parser, const QStringList& arguments, const TCliContext& cx,
                  const QString& description, const QString& files, const QString& filesName) {
  parser.setApplicationDescription(description);
  parser.addPositionalArgument(filesName, files);
  parser.addOption(Option({"h", "help"}, "Shows this help."));
  if (!parser.parse(arguments)) throw EUsage(Str(parser.errorText()));
  if (parser.isSet("help")) {
    // Qt's own usage line names the binary by its full path; the command's name is
    // what a reader types.
    QString help = parser.helpText();
    const qsizetype end = help.indexOf('\n');
    help.replace(0, end < 0 ? help.size() : end,
                 "Usage: " + arguments.value(0) + " [options] " + filesName);
    cx.Out << Str(help);
    return false;
  }
  return true;
}

int64_t WholeOption(const QCommandLineParser& p, const QString& name, int64_t lowest,
                    int64_t highest, int64_t fallback) {
  if (!p.isSet(name)) return fallback;
  bool ok = false;
  const qlonglong v = p.value(name).toLongLong(&ok);
  if (!ok || v < lowest || v > highest) {
    const std::string range = highest >= std::numeric_limits<int32_t>::max()
                                  ? "of at least " + std::to_string(lowest)
                                  : "from " + std::to_string(lowest) + " to " + std::to_string(highest);
    throw EUsage("--" + Str(name) + " takes a whole number " + range + ", not '" +
                 Str(p.value(name)) + "'");
  }
  return v;
}

// The command line reads the text itself, then asks the application layer's check;
// a refusal quotes the text as it was typed.
int32_t LevelOption(const QCommandLineParser& p, const QString& name, int32_t fallback) {
  if (!p.isSet(name)) return fallback;
  const std::string setting = "--" + Str(name);
  bool ok = false;
  const qlonglong v = p.value(name).toLongLong(&ok);
  try {
    if (ok) return CheckedTreeLevel(v, setting);
  } catch (const std::invalid_argument&) {
  }
  throw EUsage(TreeLevelRefusal(setting, Str(p.value(name))));
}

double ErrorOption(const QCommandLineParser& p, double fallback) {
  if (!p.isSet("error")) return fallback;
  bool ok = false;
  const double v = p.value("error").toDouble(&ok);
  try {
    if (ok) return CheckedAdmissibleError(v, "--error");
  } catch (const std::invalid_argument&) {
  }
  throw EUsage(AdmissibleErrorRefusal("--error", Str(p.value("error"))));
}

int32_t JobsOption(const QCommandLineParser& p) {
  if (!p.isSet("jobs")) return WorkerCount(0);
  return static_cast<int32_t>(WholeOption(p, "jobs", 1, std::numeric_limits<int32_t>::max(), 1));
}

void AddReadingOptions(QCommandLineParser& p, bool baseDecides) {
  const QString byDefault =
      baseDecides ? "By default as the base's pictures were read (its list says so; white when "
                    "it does not, or without a base). "
                  : "";
  p.addOption(Option({"background"},
                     byDefault +
                         "white" + (baseDecides ? "" : " (default)") +
                         ": exact white is the background, every other pixel a shape's. auto: "
                         "the background is found in the picture, light or dark, tinted, "
                         "unevenly lit, noisy or compressed (photos, scans, JPEG files); its "
                         "pixels become white, the shapes keep their colours.",
                     "white|auto"));
  p.addOption(Option({"min-pixels"},
                     QString("Leaves regions of fewer than N pixels out (default 0 with "
                             "--background white, %1 with auto: specks of noise and dust).")
                         .arg(AutoMinPixels),
                     "N"));
}

TSceneReading ReadingOption(const QCommandLineParser& p, const TSceneReading& fallback) {
  TSceneReading reading = fallback;
  if (p.isSet("background")) {
    const std::optional<TBackground> b = ParseBackground(Str(p.value("background")));
    if (!b)
      throw EUsage("--background is white or auto, not '" + Str(p.value("background")) + "'");
    reading = DefaultReading(*b);
  }
  reading.MinPixels = WholeOption(p, "min-pixels", 0, MaxMinPixels, reading.MinPixels);
  return reading;
}

void AddBaseOptions(QCommandLineParser& p) {
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
}

void ReadBaseOptions(const QCommandLineParser& p, TBaseOptions& options) {
  options.MaxTreeLevel = LevelOption(p, "level", options.MaxTreeLevel);
  options.AdmissibleError = ErrorOption(p, options.AdmissibleError);
  options.Turns = static_cast<int32_t>(WholeOption(p, "turns", 1, 360, options.Turns));
  options.Mirror = p.isSet("mirror");
  options.Scales = DefaultScales(options.Turns);
  if (p.isSet("scales")) {
    options.Scales.clear();
    for (const QString& v : p.value("scales").split(',')) {
      bool ok = false;
      const double scale = v.toDouble(&ok);
      if (!ok || !(scale >= 0.1 && scale <= 10))
        throw EUsage("--scales takes sizes from 0.1 to 10 separated by commas, not '" +
                     Str(p.value("scales")) + "'");
      options.Scales.push_back(scale);
    }
  }
}

std::string ProblemText(const std::exception& e) {
  if (const auto* data = dynamic_cast<const EDataError*>(&e)) return WithReason(*data);
  return e.what();
}

void ReportWarnings(const TCliContext& cx, const std::vector<std::string>& warnings) {
  for (const std::string& w : warnings)
    if (!w.empty()) cx.Err << "ormax-cli: warning: " << w << "\n";
}

void AddFormatOption(QCommandLineParser& p) {
  p.addOption(Option({"f", "format"}, "table (default), csv or json.", "FORMAT"));
}

void AddJobsOption(QCommandLineParser& p, const QString& what, const QString& also) {
  p.addOption(Option({"j", "jobs"},
                     what + " worked on at once" + (also.isEmpty() ? "" : ", " + also) +
                         " (default: the number of cores).",
                     "N"));
}

QStringList FileArguments(const QCommandLineParser& p, const std::string& command,
                          const std::string& what) {
  const QStringList files = p.positionalArguments();
  if (files.isEmpty()) throw EUsage(command + " needs at least one " + what);
  return files;
}

std::string FormatOption(const QCommandLineParser& p) {
  const std::string f = p.isSet("format") ? Str(p.value("format")) : "table";
  if (f != "table" && f != "csv" && f != "json")
    throw EUsage("--format is table, csv or json, not '" + f + "'");
  return f;
}

int ReportProblems(const TCliContext& cx, const std::vector<std::string>& problems) {
  int status = 0;
  for (const std::string& problem : problems)
    if (!problem.empty()) {
      cx.Err << "ormax-cli: " << problem << "\n";
      status = ExitInputFailed;
    }
  return status;
}

}  // namespace ormax
