// CodesCommand: scenes are analysed in parallel by the application layer; each code
// file is written as soon as the code is made, and only a few figures per region are
// kept for the table, printed in input order once every scene is done.
//   RunCodes
// With -o FILE.tar (a name ending in .tar that is not a folder) the code files are the
// members of one tar archive instead, stored scene by scene and region by region
// whatever order the threads make them in; the archive is put in place only when
// complete, and not at all when no scene could be read (an archive already there stays
// as it was). The table's file column then names "FILE.tar(SCENE-INDEX.c)".
#include "cli/CodesCommand.h"

#include <QDir>
#include <QFileInfo>
#include <algorithm>
#include <charconv>
#include <map>

#include "app/ArchiveOrder.h"
#include "app/Results.h"
#include "app/Records.h"
#include "cli/Pictures.h"
#include "app/WorkerPool.h"
#include "codes/TarArchive.h"

namespace ormax {

namespace {

struct TCodesCall {
  QStringList Files;
  QStringList Stems;  // each scene's own name for its code files
  std::vector<std::string> Utf8Stems;  // the same, as the file names are built from them
  std::vector<std::string> Utf8Files;  // the scenes as the table names them
  int32_t Level = 0;
  double Error = 0;
  std::string Format;
  QString Folder;
  std::string Utf8Folder;
  bool Archive = false;  // Folder names a tar archive to hold every code file
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
  p.addOption(Option({"o", "output"},
                     "Folder for the code files (default: the current one). Or FILE.tar: one "
                     "tar archive holding them all, for scenes of many regions (a noisy "
                     "scan's thousands of specks), one file to write instead of one per "
                     "region; tar unpacks it.",
                     "DIR"));
  AddFormatOption(p);
  AddJobsOption(p, "Scenes", "and the threads that make the table's rows");
  AddReadingOptions(p);
  if (!ParseCommand(p, arguments, cx, kCodesHelp, "Scene pictures.", "scenes…"))
    return std::nullopt;
  TCodesCall call;
  call.Files = FileArguments(p, "codes", "scene");
  call.Level = LevelOption(p, "level", 0);
  call.Error = ErrorOption(p, 0.0);
  call.Format = FormatOption(p);
  call.Folder = p.isSet("output") ? p.value("output") : QString(".");
  call.Archive = call.Folder.endsWith(".tar", Qt::CaseInsensitive) && !QFileInfo(call.Folder).isDir();
  call.Stems = SceneStems(call.Files);
  for (const QString& stem : call.Stems) call.Utf8Stems.push_back(Str(stem));
  for (const QString& file : call.Files) call.Utf8Files.push_back(Str(file));
  call.Utf8Folder = Str(call.Folder);
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

void AppendMemberName(std::string& name, const TCodesCall& call, int32_t scene, size_t region);

// "SCENE-INDEX.c". Built as plain bytes: a scene of noise names a quarter of a million.
std::string MemberName(const TCodesCall& call, int32_t scene, size_t region) {
  std::string name;
  AppendMemberName(name, call, scene, region);
  return name;
}

void AppendMemberName(std::string& name, const TCodesCall& call, int32_t scene, size_t region) {
  char number[24];
  const auto end = std::to_chars(number, number + sizeof number, region).ptr;
  name.append(call.Utf8Stems[static_cast<size_t>(scene)]).append(1, '-').append(number, end);
  name.append(CodeFileExt);
}

// Where a code is stored: a file in the folder, or "FILE.tar(member)".
std::string CodeFileName(const TCodesCall& call, int32_t scene, size_t region) {
  std::string name;
  name.reserve(call.Utf8Folder.size() + call.Utf8Stems[static_cast<size_t>(scene)].size() + 32);
  name.append(call.Utf8Folder).append(1, call.Archive ? '(' : '/');
  AppendMemberName(name, call, scene, region);
  if (call.Archive) name.append(1, ')');
  return name;
}

// Writes the codes of one scene, each as soon as it is made, and gives its rows.
std::vector<TCodeRow> SceneCodes(const TCodesCall& call, int32_t i, std::string& warning,
                                 TArchiveOrder* archive) {
  TCliScene scene =
      LoadSceneToSegment(call.Files[i], call.Reading, ThreadsPerInput(call.Files, call.Jobs));
  TAppState& s = *scene.State;
  s.MaxTreeLevel = call.Level;
  s.AdmissibleError = call.Error;
  s.Threads = ThreadsPerInput(call.Files, call.Jobs);
  s.SegmentScene();
  warning = MisfitWarning(call.Files[i], s);
  s.SceneIndices.reset();  // the regions hold all that is needed of it
  std::vector<TCodeRow> rows(static_cast<size_t>(s.Segments.Count()));
  // The files are written side by side too: each is a handful of system calls.
  s.StreamRegionResults([&](int32_t r, TRegionResults& made) {
    if (archive)
      archive->Add(static_cast<size_t>(i), static_cast<size_t>(r),
                   MemberName(call, i, static_cast<size_t>(r)), made.Code->SaveToBytes());
    else
      made.Code->SaveToFile(CodeFileName(call, i, static_cast<size_t>(r)));
    // Only what the row shows: the root ellipse's figures are not read back.
    rows[static_cast<size_t>(r)] = {s.Segments.Items(r).GetBounds(), made.Pixels,
                                    static_cast<int64_t>(made.Code->Items.size()),
                                    made.Code->Depth()};
  });
  return rows;
}

}  // namespace

int RunCodes(const QStringList& arguments, const TCliContext& cx) {
  const std::optional<TCodesCall> call = ParseCodes(arguments, cx);
  if (!call) return 0;
  const QString folder = call->Archive ? QFileInfo(call->Folder).path() : call->Folder;
  if (!QDir().mkpath(folder)) throw std::runtime_error(Str(folder) + ": cannot create the folder");
  const auto count = static_cast<size_t>(call->Files.size());
  std::vector<std::vector<TCodeRow>> rows(count);
  std::vector<std::string> problems(count), warnings(count);
  std::optional<TTarArchive> archive;
  std::optional<TArchiveOrder> order;
  if (call->Archive) {
    archive.emplace(Str(call->Folder));
    order.emplace(*archive, count);
  }
  ForEachInput(call->Files, call->Jobs, cx, [&](int32_t i) {
    const auto at = static_cast<size_t>(i);
    try {
      rows[at] = SceneCodes(*call, i, warnings[at], order ? &*order : nullptr);
    } catch (const std::exception& e) {
      problems[at] = ProblemText(e);
    }
    if (order) order->SceneDone(at, rows[at].size(), !problems[at].empty());
  });
  if (archive) {
    // A full disk: the scenes name the failure; no archive is left to be taken for whole.
    if (order->Failed()) return ReportProblems(cx, problems);
    // No scene read: nothing to put in place of an archive that may be there already.
    if (std::any_of(problems.begin(), problems.end(), [](const std::string& p) { return p.empty(); }))
      archive->Finish();
  }
  std::vector<size_t> counts;
  size_t total = 0;
  for (const auto& r : rows) total += counts.emplace_back(r.size());
  WriteRecords(cx.Out, call->Format, total, ConcatenatedRows(counts, [&](size_t i, size_t r) {
    const TCodeRow& row = rows[i][r];
    TRegionFigures f;
    f.Index = static_cast<int32_t>(r);
    f.Bounds = row.Bounds;
    f.Pixels = row.Pixels;
    return RegionRecord(call->Utf8Files[i], f)
        .Add("depth", static_cast<long long>(row.Depth))
        .Add("items", static_cast<long long>(row.Items))
        .Add("file", CodeFileName(*call, static_cast<int32_t>(i), r));
  }), call->Jobs);
  ReportWarnings(cx, warnings);
  return ReportProblems(cx, problems);
}

}  // namespace ormax
