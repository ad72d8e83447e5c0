// CodesCommand: scenes are analysed in parallel by the application layer; the rows
// are gathered per scene and printed in input order.
//   RunCodes
#include "cli/CodesCommand.h"

#include <QDir>

#include "app/Results.h"
#include "app/Records.h"
#include "cli/Pictures.h"
#include "app/Rows.h"
#include "app/WorkerPool.h"

namespace ormax {

namespace {

struct TCodesCall {
  QStringList Files;
  int32_t Level = 0;
  double Error = 0;
  std::string Format;
  QString Folder;
  int32_t Jobs = 1;
};

std::optional<TCodesCall> ParseCodes(const QStringList& arguments, const TCliContext& cx) {
  QCommandLineParser p;
  p.addOption(Option({"l", "level"}, "Maximum tree level (default 0).", "L"));
  p.addOption(Option({"e", "error"}, "Admissible error (default 0).", "E"));
  p.addOption(
      Option({"o", "output"}, "Folder for the code files (default: the current one).", "DIR"));
  p.addOption(Option({"f", "format"}, "table (default), csv or json.", "FORMAT"));
  p.addOption(
      Option({"j", "jobs"}, "Scenes worked on at once (default: the number of cores).", "N"));
  if (!ParseCommand(p, arguments, cx,
                    "Writes the code of every region of each scene, one code file per region\n"
                    "named SCENE-INDEX.c, and prints a table of the regions.",
                    "Scene pictures.", "scenes…"))
    return std::nullopt;
  TCodesCall call;
  call.Files = p.positionalArguments();
  if (call.Files.isEmpty()) throw EUsage("codes needs at least one scene");
  call.Level = LevelOption(p, "level", 0);
  call.Error = ErrorOption(p, 0.0);
  call.Format = FormatOption(p);
  call.Folder = p.isSet("output") ? p.value("output") : QString(".");
  call.Jobs = JobsOption(p);
  return call;
}

// Writes the codes of one scene and gives its rows.
std::vector<TRecord> SceneCodes(const TCodesCall& call, int32_t i) {
  const QString& file = call.Files[i];
  TCliScene scene = LoadScene(file, false);
  TAppState& s = *scene.State;
  s.MaxTreeLevel = call.Level;
  s.AdmissibleError = call.Error;
  s.Threads = ThreadsPerInput(call.Files, call.Jobs);
  s.BuildSceneCodes();
  s.SceneImage.reset();  // the rows need the regions and codes only
  // The files are written side by side too: each is a handful of system calls.
  std::vector<TRecord> rows(static_cast<size_t>(s.SceneCodes.Count()));
  RunInParallel(s.SceneCodes.Count(), s.Threads, [&](int32_t r) {
    const QString name = call.Folder + "/" + QString::fromStdString(Stem(file)) + "-" +
                         QString::number(r) + CodeFileExt;
    s.SceneCodes.GetCode(r).SaveToFile(Str(name));
    const TRegionFigures f = RegionFigures(s, r);
    rows[static_cast<size_t>(r)] = RegionRecord(Str(file), f)
                                       .Add("depth", static_cast<long long>(f.Depth))
                                       .Add("items", static_cast<long long>(f.Items))
                                       .Add("file", Str(name));
  });
  return rows;
}

}  // namespace

int RunCodes(const QStringList& arguments, const TCliContext& cx) {
  const std::optional<TCodesCall> call = ParseCodes(arguments, cx);
  if (!call) return 0;
  if (!QDir().mkpath(call->Folder))
    throw std::runtime_error(Str(call->Folder) + ": cannot create the folder");
  const auto count = static_cast<size_t>(call->Files.size());
  std::vector<std::vector<TRecord>> rows(count);
  std::vector<std::string> problems(count);
  ForEachInput(call->Files, call->Jobs, cx, [&](int32_t i) {
    try {
      rows[static_cast<size_t>(i)] = SceneCodes(*call, i);
    } catch (const std::exception& e) {
      problems[static_cast<size_t>(i)] = e.what();
    }
  });
  std::vector<TRecord> all;
  for (auto& r : rows) {
    all.insert(all.end(), std::make_move_iterator(r.begin()), std::make_move_iterator(r.end()));
    std::vector<TRecord>().swap(r);
  }
  WriteRecords(cx.Out, call->Format, all);
  return ReportProblems(cx, problems);
}

}  // namespace ormax
