// CodesCommand: scenes are analysed in parallel by the application layer; each code
// file is written as soon as the code is made, and only a few figures per region are
// kept for the table, printed in input order once every scene is done.
//   RunCodes
#include "cli/CodesCommand.h"

#include <QDir>
#include <QFileInfo>
#include <algorithm>
#include <map>

#include "app/Results.h"
#include "app/Records.h"
#include "cli/Pictures.h"
#include "app/WorkerPool.h"

namespace ormax {

namespace {

struct TCodesCall {
  QStringList Files;
  QStringList Stems;  // each scene's own name for its code files
  int32_t Level = 0;
  double Error = 0;
  std::string Format;
  QString Folder;
  int32_t Jobs = 1;
  TSceneReading Reading;
};

// Each scene's name: its file name, with as many of its folders before it as set it
// apart from the other scenes ("a-x" and "b-x" for a/x.bmp and b/x.bmp). One file
// given twice is refused, naming both.
QStringList SceneStems(const QStringList& files) {
  const auto count = static_cast<size_t>(files.size());
  std::vector<QStringList> folders(count);  // innermost first
  QStringList stems;
  for (size_t i = 0; i < count; ++i) {
    const QFileInfo info(files[static_cast<qsizetype>(i)]);
    QStringList parts = QDir::cleanPath(info.absolutePath()).split('/', Qt::SkipEmptyParts);
    std::reverse(parts.begin(), parts.end());
    folders[i] = parts;
    stems << QString::fromStdString(Stem(files[static_cast<qsizetype>(i)]));
  }
  std::vector<qsizetype> depth(count, 0);
  QStringList names = stems;
  for (;;) {
    std::map<QString, std::vector<size_t>> holders;
    for (size_t i = 0; i < count; ++i) holders[names[static_cast<qsizetype>(i)]].push_back(i);
    bool changed = false;
    for (const auto& [name, same] : holders) {
      if (same.size() < 2) continue;
      bool grew = false;
      for (size_t i : same) {
        if (depth[i] >= folders[i].size()) continue;
        ++depth[i];
        QString longer = stems[static_cast<qsizetype>(i)];
        for (qsizetype d = 0; d < depth[i]; ++d) longer = folders[i][d] + "-" + longer;
        names[static_cast<qsizetype>(i)] = longer;
        grew = true;
      }
      changed = changed || grew;
      if (!grew)
        throw EUsage("'" + Str(files[static_cast<qsizetype>(same[0])]) + "' and '" +
                     Str(files[static_cast<qsizetype>(same[1])]) +
                     "' are the same scene; give it once");
    }
    if (!changed) return names;
  }
}

const char* const kCodesHelp = R"(Writes the code of every region of each scene, one code file per region
named SCENE-INDEX.c, and prints a table of the regions. Scenes of the same
name in different folders are told apart by their folders: a/x.bmp and
b/x.bmp give a-x-0.c and b-x-0.c.)";

std::optional<TCodesCall> ParseCodes(const QStringList& arguments, const TCliContext& cx) {
  QCommandLineParser p;
  p.addOption(Option({"l", "level"}, "Maximum tree level (default 0).", "L"));
  p.addOption(Option({"e", "error"}, "Admissible error (default 0).", "E"));
  p.addOption(
      Option({"o", "output"}, "Folder for the code files (default: the current one).", "DIR"));
  AddFormatOption(p);
  AddJobsOption(p, "Scenes");
  AddReadingOptions(p);
  if (!ParseCommand(p, arguments, cx, kCodesHelp, "Scene pictures.", "scenes…"))
    return std::nullopt;
  TCodesCall call;
  call.Files = FileArguments(p, "codes", "scene");
  call.Level = LevelOption(p, "level", 0);
  call.Error = ErrorOption(p, 0.0);
  call.Format = FormatOption(p);
  call.Folder = p.isSet("output") ? p.value("output") : QString(".");
  call.Stems = SceneStems(call.Files);
  call.Jobs = JobsOption(p);
  call.Reading = ReadingOption(p);
  return call;
}

// What a row needs of a region; a scene of very many regions keeps only this.
struct TCodeRow {
  TRect Bounds{};
  int64_t Pixels = 0;
  int64_t Items = 0;
  int32_t Depth = 0;
};

QString CodeFileName(const TCodesCall& call, int32_t scene, size_t region) {
  return call.Folder + "/" + call.Stems[scene] + "-" + QString::number(region) + CodeFileExt;
}

// Writes the codes of one scene, each as soon as it is made, and gives its rows.
std::vector<TCodeRow> SceneCodes(const TCodesCall& call, int32_t i, std::string& warning) {
  TCliScene scene =
      LoadScene(call.Files[i], false, call.Reading, ThreadsPerInput(call.Files, call.Jobs));
  TAppState& s = *scene.State;
  s.MaxTreeLevel = call.Level;
  s.AdmissibleError = call.Error;
  s.Threads = ThreadsPerInput(call.Files, call.Jobs);
  s.SegmentScene();
  warning = MisfitWarning(call.Files[i], s);
  s.SceneImage.reset();  // the regions hold all that is needed of it
  std::vector<TCodeRow> rows(static_cast<size_t>(s.Segments.Count()));
  // The files are written side by side too: each is a handful of system calls.
  s.StreamRegionResults([&](int32_t r, TRegionResults& made) {
    made.Code->SaveToFile(Str(CodeFileName(call, i, static_cast<size_t>(r))));
    const TRegionFigures f = RegionFigures(r, s.Segments.Items(r), *made.Tree, *made.Code);
    rows[static_cast<size_t>(r)] = {f.Bounds, f.Pixels, f.Items, f.Depth};
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
  std::vector<std::vector<TCodeRow>> rows(count);
  std::vector<std::string> problems(count), warnings(count);
  ForEachInput(call->Files, call->Jobs, cx, [&](int32_t i) {
    try {
      rows[static_cast<size_t>(i)] = SceneCodes(*call, i, warnings[static_cast<size_t>(i)]);
    } catch (const std::exception& e) {
      problems[static_cast<size_t>(i)] = ProblemText(e);
    }
  });
  std::vector<size_t> counts;
  size_t total = 0;
  for (const auto& r : rows) total += counts.emplace_back(r.size());
  WriteRecords(cx.Out, call->Format, total, ConcatenatedRows(counts, [&](size_t i, size_t r) {
    const TCodeRow& row = rows[i][r];
    TRegionFigures f;
    f.Index = static_cast<int32_t>(r);
    f.Bounds = row.Bounds;
    f.Pixels = row.Pixels;
    return RegionRecord(Str(call->Files[static_cast<qsizetype>(i)]), f)
        .Add("depth", static_cast<long long>(row.Depth))
        .Add("items", static_cast<long long>(row.Items))
        .Add("file", Str(CodeFileName(*call, static_cast<int32_t>(i), r)));
  }));
  ReportWarnings(cx, warnings);
  return ReportProblems(cx, problems);
}

}  // namespace ormax
