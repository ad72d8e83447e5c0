// RecognizeCommand: one shared base, scenes recognised in parallel by the application
// layer, each scene's rows and counts kept in its own slot and printed in input order.
//   RunRecognize
#include "cli/RecognizeCommand.h"

#include <QFileInfo>
#include <cmath>

#include "app/RecognitionRows.h"
#include "app/Results.h"
#include "app/Views.h"
#include "app/Records.h"
#include "cli/Pictures.h"

namespace ormax {

namespace {

struct TRecognizeCall {
  QStringList Files;
  QString Base;
  QString Picture;  // empty: no picture
  std::string Format;
  TLabelRule Rule;
  int32_t Top = 1;
  int32_t Jobs = 1;
  TSceneReading Reading;  // the base's, unless the options say otherwise
};

struct TRecognized : TSceneRows {
  std::string Problem;
  std::string Warning;
};

const char* const kRecognizeHelp = R"(Labels every region of each scene with its nearest base entry, using the base's
admissible error and maximum tree level, and reading the scenes as the base's
pictures were read (--background, --min-pixels). Per region: bounds, pixels, centre, the
root ellipse (semi-axes a >= b and the angle of its first axis in degrees,
measured from the x axis towards y, which grows downwards: clockwise on
screen), the nearest entry, its shape and turn (the name before and after '@'),
the distance and the sameness (1 - distance) x 100 %.)";

std::optional<TRecognizeCall> ParseRecognize(const QStringList& arguments, const TCliContext& cx) {
  QCommandLineParser p;
  p.addOption(Option({"b", "base"}, "The base list file (required).", "LIST.txt"));
  p.addOption(Option({"p", "picture"},
                     "Writes the Recognition view (labels with sameness, 'unknown' where the "
                     "table withholds the label) as a BMP (PNG for a .png name); with several "
                     "scenes, OUT-SCENE.bmp per scene.",
                     "OUT.bmp"));
  AddFormatOption(p);
  p.addOption(Option({"s", "min-sameness"},
                     QString::fromStdString(
                         "Labels a region exactly when it is at least P percent alike to its "
                         "nearest entry, else 'unknown' (0 labels every region). " +
                         LabelRuleHelp() +
                         ": on shapes drawn apart from the base (make accuracy) that leaves no "
                         "wrong label and few right ones withheld."),
                     "P"));
  p.addOption(Option({"t", "top"},
                     "Also lists the runners-up: the K nearest entries of distinct shapes, with "
                     "distance and sameness (default 1: the nearest alone).",
                     "K"));
  AddJobsOption(p, "Scenes", "and the threads that make the table's rows");
  AddReadingOptions(p, true);
  if (!ParseCommand(p, arguments, cx, kRecognizeHelp, "Scene pictures.", "scenes…"))
    return std::nullopt;
  TRecognizeCall call;
  call.Files = FileArguments(p, "recognize", "scene");
  if (!p.isSet("base")) throw EUsage("recognize needs --base LIST.txt");
  call.Base = p.value("base");
  call.Format = FormatOption(p);
  if (p.isSet("min-sameness")) {
    bool ok = false;
    const double threshold = p.value("min-sameness").toDouble(&ok);
    call.Rule.MinSameness = threshold;
    if (!ok || !std::isfinite(threshold))
      throw EUsage("--min-sameness takes a number of percent");
  }
  call.Top = static_cast<int32_t>(WholeOption(p, "top", 1, 100, call.Top));
  if (p.isSet("picture")) call.Picture = p.value("picture");
  call.Jobs = JobsOption(p);
  call.Reading = ReadingOption(p, ReadingOfBaseList(Str(call.Base)).value_or(TSceneReading()));
  return call;
}

// The picture of scene i: OUT.bmp for one scene, OUT-SCENE.bmp for each of several.
QString PictureName(const TRecognizeCall& call, int32_t i) {
  if (call.Files.size() == 1) return call.Picture;
  const QFileInfo info(call.Picture);
  return info.path() + "/" + info.completeBaseName() + "-" +
         QString::fromStdString(Stem(call.Files[i])) + "." + info.suffix();
}

TRecognized RecognizeInput(const TRecognizeCall& call, const TCodeBase& base, int32_t i) {
  TRecognized result;
  TCliScene scene =
      LoadSceneToSegment(call.Files[i], call.Reading, ThreadsPerInput(call.Files, call.Jobs));
  TAppState& s = *scene.State;
  s.Threads = ThreadsPerInput(call.Files, call.Jobs);
  // No tree or code is kept past its region: the rows, and the picture's labels, need
  // only the regions and their nearest entries.
  static_cast<TSceneRows&>(result) =
      StreamRecognitionRows(s, base, Str(call.Files[i]), call.Rule, call.Top);
  result.Warning = MisfitWarning(call.Files[i], s);
  if (call.Picture.isEmpty()) return result;
  KeepNearestIndices(result, s);
  s.Labels = call.Rule;  // the picture withholds the labels the rows withhold
  s.ShowSameness = true;
  WriteViewPicture(TView::Recognition, scene, PictureName(call, i));
  return result;
}

std::string Summary(const TRecognizeCall& call, const std::vector<TRecognized>& results, size_t i) {
  const TRecognized& r = results[i];
  return Str(call.Files[static_cast<int>(i)]) + ": " + std::to_string(r.Regions) + " regions, " +
         std::to_string(r.Known) + " recognised, " + std::to_string(r.Unknown) + " unknown";
}

// The JSON of every scene, written an item at a time.
void WriteJson(const TRecognizeCall& call, const std::vector<TRecognized>& results,
               const TCliContext& cx) {
  // The one layout of JSON lists (JsonArray): scenes after " ", their items after "   ".
  cx.Out << "[";
  bool first = true;
  for (size_t i = 0; i < results.size(); ++i) {
    const TRecognized& r = results[i];
    if (!r.Problem.empty()) continue;
    cx.Out << (first ? "\n" : ",\n") << " {\"scene\": "
           << JsonString(Str(call.Files[static_cast<int>(i)])) << ", \"regions\": " << r.Regions
           << ", \"recognised\": " << r.Known << ", \"unknown\": " << r.Unknown
           << ",\n  \"items\": ";
    first = false;
    WriteJsonArray(cx.Out, r.Count(), [&](size_t k) {
      const TRecord row = r.Row(k);
      std::string item = JsonObject(row);
      if (call.Top > 1) {
        // The nearest first, then the runners-up, each {shape, entry, distance, sameness}.
        std::vector<std::string> top;
        TRecord nearest;
        for (const auto& [name, v] : row.Fields)
          if (name == "shape" || name == "entry" || name == "distance" || name == "sameness")
            nearest.Add(name, v);
        top.push_back(JsonObject(nearest));
        for (const TRecord& runner : r.Runners(k)) top.push_back(JsonObject(runner));
        item.pop_back();
        item += ", \"top\": [";
        for (size_t t = 0; t < top.size(); ++t) item += (t ? ", " : "") + top[t];
        item += "]}";
      }
      return item;
    }, "   ", "  ", call.Jobs);
    cx.Out << "}";
  }
  cx.Out << "\n]\n";
}

// A table per scene without the scene and entry columns, then the scene's summary.
void WriteTables(const TRecognizeCall& call, const std::vector<TRecognized>& results,
                 const TCliContext& cx) {
  for (size_t i = 0; i < results.size(); ++i) {
    const TRecognized& r = results[i];
    if (!r.Problem.empty()) continue;
    cx.Out << Str(call.Files[static_cast<int>(i)]) << "\n";
    WriteTable(cx.Out, r.Count(), [&](size_t k) {
      TRecord row = r.Row(k), t(row.Fields.size());  // its fields at once (two fewer, a list more)
      for (auto& [name, value] : row.Fields)
        if (name != "scene" && name != "entry") t.Add(name, std::move(value));
      if (call.Top > 1) {
        // The runners-up in short: "ring 74.6, circle 60.1".
        std::string list;
        for (const TRecord& runner : r.Runners(k))
          list += (list.empty() ? "" : ", ") + std::get<std::string>(runner.Fields[0].second) +
                  " " + FixedDouble(std::get<double>(runner.Fields[3].second), 1);
        t.Add("runners_up", list);
      }
      return t;
    }, 2, call.Jobs);
    cx.Out << Summary(call, results, i) << "\n\n";
  }
}

}  // namespace

int RunRecognize(const QStringList& arguments, const TCliContext& cx) {
  const std::optional<TRecognizeCall> call = ParseRecognize(arguments, cx);
  if (!call) return 0;
  TCodeBase base;
  try {
    LoadBase(Str(call->Base), base);
  } catch (const std::exception& e) {
    cx.Err << "ormax-cli: " << ProblemText(e) << "\n";
    return ExitInputFailed;
  }

  std::vector<TRecognized> results(static_cast<size_t>(call->Files.size()));
  ForEachInput(call->Files, call->Jobs, cx, [&](int32_t i) {
    try {
      results[static_cast<size_t>(i)] = RecognizeInput(*call, base, i);
    } catch (const std::exception& e) {
      results[static_cast<size_t>(i)].Problem = ProblemText(e);
    }
  });

  if (call->Format == "json") {
    WriteJson(*call, results, cx);
  } else if (call->Format == "csv") {
    std::vector<const TSceneRows*> scenes;
    for (const TRecognized& r : results) scenes.push_back(&r);
    WriteRecognitionCsv(cx.Out, scenes, call->Top, true, call->Jobs);
    for (size_t i = 0; i < results.size(); ++i)
      if (results[i].Problem.empty()) cx.Err << Summary(*call, results, i) << "\n";
  } else {
    WriteTables(*call, results, cx);
  }
  std::vector<std::string> problems, warnings;
  for (const auto& r : results) {
    problems.push_back(r.Problem);
    warnings.push_back(r.Warning);
  }
  ReportWarnings(cx, warnings);
  return ReportProblems(cx, problems);
}

}  // namespace ormax
