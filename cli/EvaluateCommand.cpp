// EvaluateCommand: every picture's copies are drawn from one seeded sequence of moves
// (so the copies do not depend on --jobs), recognised on the worker pool, and counted.
//   RunEvaluate
#include "cli/EvaluateCommand.h"

#include <limits>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <map>

#include "app/EntryNames.h"
#include "app/Evaluation.h"
#include "app/LeaveOneOut.h"
#include "app/TextFields.h"
#include "app/WorkerPool.h"
#include "app/Records.h"
#include "cli/Pictures.h"
#include "qt/QtBitmap.h"
#include "qt/SamenessPlot.h"

namespace ormax {

namespace {

struct TEvaluateCall {
  QStringList Files;
  std::vector<TShapePicture> Pictures;
  QString Base, Truth, Plot, Copies;
  bool LeaveOneOut = false, Sweep = false;
  TBaseOptions Options;  // of the bases --leave-one-out makes
  std::string Format;
  int32_t Samples = 20;
  uint64_t Seed = 1;
  int32_t Jobs = 1;
  TSceneReading Reading;  // the base's, unless the options say otherwise
};

const char* const kHelp = R"(Checks a base on pictures of known shapes: each picture is copied --samples times,
each copy turned to a random angle, scaled 0.5 to 2 times and shifted by a part of
a pixel (area-weighted resampling, no new colours), and every copy is recognised.
Prints the accuracy per shape, the most common confusions and the lowest
--min-sameness for recognize that leaves no wrong label, with the share of right
answers it turns into 'unknown'. A picture's shape is its file name up to the first
'_' (star_2.bmp is a star), or as --truth gives it.

Copies of the base's own pictures flatter a base: they are the pictures it was
made from. Pictures of the shapes drawn, scanned or photographed apart from those in
the base give the honest figure.

--leave-one-out checks a collection of several drawings per shape without a base:
each picture is recognised against a base (made as 'ormax-cli base' would, with
--level, --error, --turns, --scales, --mirror) of all the other pictures. Besides
the accuracy it prints the retrieval figure: of the N drawings of a picture's
shape, the share of the other N-1 among its 2N nearest other pictures. --sweep
does so at several levels and admissible errors and suggests the setting that suits
the collection. A folder of folders is a collection whose folders name the shapes:
  ormax-cli evaluate --leave-one-out shapes/ --sweep)";

// --leave-one-out and --sweep, and the options that go with each way of evaluating:
// leave-one-out makes its bases (and reads their options), else a base is given.
void ReadEvaluateMode(const QCommandLineParser& p, TEvaluateCall& call) {
  call.LeaveOneOut = p.isSet("leave-one-out");
  call.Sweep = p.isSet("sweep");
  if (call.Sweep && !call.LeaveOneOut) throw EUsage("--sweep goes with --leave-one-out");
  if (call.LeaveOneOut) {
    for (const char* other : {"base", "samples", "seed", "copies"})
      if (p.isSet(other))
        throw EUsage(std::string("--leave-one-out makes its bases of the pictures; leave out --") +
                     other);
    if (call.Sweep)
      for (const char* other : {"level", "error"})
        if (p.isSet(other))
          throw EUsage(std::string("--sweep tries the levels and errors; leave out --") + other);
    ReadBaseOptions(p, call.Options);
  } else {
    for (const char* other : {"level", "error", "turns", "scales", "mirror"})
      if (p.isSet(other))
        throw EUsage(std::string("--") + other + " goes with --leave-one-out (a base has its own)");
    if (!p.isSet("base")) throw EUsage("evaluate needs --base LIST.txt");
  }
}

std::optional<TEvaluateCall> ParseEvaluate(const QStringList& arguments, const TCliContext& cx) {
  QCommandLineParser p;
  p.addOption(Option({"b", "base"}, "The base list file (required but with --leave-one-out).",
                     "LIST.txt"));
  p.addOption(Option({"leave-one-out"},
                     "Each picture against a base of all the others, made from the pictures."));
  p.addOption(Option({"sweep"}, "With --leave-one-out: at levels 0 to 3 and admissible "
                                "errors 0, 0.1 and 0.2, with the time each took."));
  AddBaseOptions(p);
  p.addOption(Option({"n", "samples"}, "Copies of each picture (default 20).", "N"));
  p.addOption(Option({"seed"}, "Seed of the random copies (default 1).", "S"));
  p.addOption(Option({"truth"},
                     "A CSV file of lines 'picture,shape' naming each picture's shape (a "
                     "picture is matched by its path as given or by its file name).",
                     "FILE.csv"));
  p.addOption(Option({"plot"}, "Writes a PNG of the sameness of right and wrong answers.",
                     "OUT.png"));
  p.addOption(Option({"copies"},
                     "Writes every copy as DIR/SHAPE_NNNN.bmp, to recognise or look at.", "DIR"));
  AddFormatOption(p);
  AddJobsOption(p, "Copies");
  AddReadingOptions(p, true);
  if (!ParseCommand(p, arguments, cx, kHelp,
                    "Pictures of one shape each, folders of them, or folders of folders.",
                    "pictures…"))
    return std::nullopt;
  TEvaluateCall call;
  call.Files = FileArguments(p, "evaluate", "picture");
  ReadEvaluateMode(p, call);
  call.Base = p.value("base");
  call.Format = FormatOption(p);
  call.Samples = static_cast<int32_t>(WholeOption(p, "samples", 1, 100000, call.Samples));
  call.Seed = static_cast<uint64_t>(
      WholeOption(p, "seed", 0, std::numeric_limits<int64_t>::max(), static_cast<int64_t>(call.Seed)));
  call.Truth = p.value("truth");
  call.Plot = p.value("plot");
  call.Copies = p.value("copies");
  call.Jobs = JobsOption(p);
  call.Reading = call.LeaveOneOut ? ReadingOption(p)
                                  : ReadingOption(p, ReadingOfBaseList(Str(call.Base))
                                                         .value_or(TSceneReading()));
  call.Options.Reading = call.Reading;
  return call;
}

struct TCopy {
  std::string Shape;
  const TPattern* Source = nullptr;
  TResampling Move;
};

// A row per true shape: copies, right, accuracy in percent.
std::vector<TRecord> ShapeRows(const TEvaluation& e) {
  std::vector<TRecord> rows;
  for (const auto& [shape, score] : e.PerShape)
    rows.push_back(TRecord()
                       .Add("shape", shape)
                       .Add("copies", static_cast<long long>(score.Total))
                       .Add("right", static_cast<long long>(score.Right))
                       .Add("accuracy", 100.0 * static_cast<double>(score.Right) /
                                            static_cast<double>(score.Total)));
  return rows;
}

// The accuracy line and what follows it: shapes, confusions, sameness, threshold.
void WriteAnswers(const TEvaluation& e, const TCliContext& cx, const std::string& between = "") {
  cx.Out << "accuracy: " << FixedDouble(100 * e.Accuracy(), 2) << " % (" << e.Right << " of "
         << e.Answers << " right)\n" << between << "\n";
  std::vector<TRecord> rows = ShapeRows(e);
  WriteTable(cx.Out, rows, 1);
  const auto confusions = e.CommonConfusions();
  if (!confusions.empty()) {
    cx.Out << "\nmost common confusions:\n";
    for (size_t k = 0; k < confusions.size() && k < 10; ++k)
      cx.Out << "  " << confusions[k].first.first << " taken for " << confusions[k].first.second
             << ": " << confusions[k].second << "\n";
  }
  const auto spread = [&](const char* what, const TSpread& s) {
    cx.Out << "sameness of " << what << " answers: ";
    if (s.Count == 0) {
      cx.Out << "none\n";
      return;
    }
    cx.Out << "min " << FixedDouble(s.Min, 2) << ", median " << FixedDouble(s.Median, 2)
           << ", max " << FixedDouble(s.Max, 2) << "\n";
  };
  cx.Out << "\n";
  spread("right", e.RightSpread);
  spread("wrong", e.WrongSpread);
  if (e.WrongSpread.Count == 0)
    cx.Out << "no wrong label: any --min-sameness up to the lowest right sameness keeps all\n";
  else
    cx.Out << "suggested --min-sameness: " << FixedDouble(e.MinSameness, 1)
           << " (no wrong label left; " << FixedDouble(100 * e.UnknownRightShare, 1)
           << " % of the right answers become unknown)\n";
}

void WriteTableReport(const TEvaluation& e, const TEvaluateCall& call, const TCodeBase& base,
                      const TCliContext& cx) {
  cx.Out << e.Answers << " copies of " << call.Pictures.size() << " pictures against "
         << Str(call.Base) << " (" << base.Count() << " entries)\n";
  WriteAnswers(e, cx);
}

TRecord Totals(const TEvaluation& e) {
  return TRecord()
      .Add("copies", static_cast<long long>(e.Answers))
      .Add("right", static_cast<long long>(e.Right))
      .Add("accuracy", 100 * e.Accuracy())
      .Add("min_sameness", e.MinSameness)
      .Add("unknown_share", 100 * e.UnknownRightShare);
}

// fields: more members of the object, each "\"name\": value", put first.
void WriteJsonReport(const TEvaluation& e, const TCliContext& cx, const std::string& fields = "") {
  std::vector<std::string> shapes, confusions;
  for (const auto& [shape, score] : e.PerShape)
    shapes.push_back(JsonObject(TRecord()
                                    .Add("shape", shape)
                                    .Add("copies", static_cast<long long>(score.Total))
                                    .Add("right", static_cast<long long>(score.Right))));
  for (const auto& [pair, count] : e.CommonConfusions())
    confusions.push_back(JsonObject(TRecord()
                                        .Add("shape", pair.first)
                                        .Add("taken_for", pair.second)
                                        .Add("count", static_cast<long long>(count))));
  const auto spread = [](const TSpread& s) {
    return JsonObject(TRecord()
                          .Add("count", static_cast<long long>(s.Count))
                          .Add("min", s.Min)
                          .Add("median", s.Median)
                          .Add("max", s.Max));
  };
  std::string totals = JsonObject(Totals(e));
  totals.pop_back();
  if (!fields.empty()) totals = "{" + fields + ",\n " + totals.substr(1);
  cx.Out << totals << ",\n \"right_sameness\": " << spread(e.RightSpread)
         << ",\n \"wrong_sameness\": " << spread(e.WrongSpread)
         << ",\n \"shapes\": " << JsonArray(shapes, "  ", " ")
         << ",\n \"confusions\": " << JsonArray(confusions, "  ", " ") << "}\n";
}

// The pictures read and their copies' moves, from one sequence in input order, whatever
// can be read; a picture that cannot be used becomes a problem.
struct TCopies {
  std::vector<std::unique_ptr<TPattern>> Sources;
  std::vector<TCopy> Copies;
};

TCopies PlanCopies(const TEvaluateCall& call, std::vector<std::string>& problems,
                   std::vector<std::string>& warnings) {
  TCopies plan;
  TRandom random{call.Seed};
  for (const TShapePicture& picture : call.Pictures) {
    const QString& file = picture.File;
    const std::vector<TResampling> moves = RandomMoves(call.Samples, random);
    if (!picture.Problem.empty()) {
      problems.push_back(picture.Problem);
      continue;
    }
    try {
      const std::string shape = picture.ShapeName();
      TCliScene scene = LoadScene(file, call.Reading);
      if (call.Reading.Background == TBackground::White) {  // a picture as it is, not a copy
        scene.State->Threads = 1;
        scene.State->SegmentScene();
        warnings.push_back(MisfitWarning(file, *scene.State));
        scene.State->ResetAnalysis();
      }
      plan.Sources.push_back(std::move(scene.State->SceneImage));
      for (const TResampling& move : moves)
        plan.Copies.push_back({shape, plan.Sources.back().get(), move});
    } catch (const std::exception& e) {
      problems.push_back(ProblemText(e));
    }
  }
  return plan;
}

// Every copy made and recognised on the worker pool (and written, with --copies); the
// answers of the copies that could be made, in order.
std::vector<TAnswer> RecognizeCopies(const TEvaluateCall& call, const TCopies& plan,
                                     const TCodeBase& base, std::vector<std::string>& problems) {
  const std::vector<TCopy>& copies = plan.Copies;
  std::vector<TAnswer> answers(copies.size());
  std::vector<std::string> copyProblems(copies.size());
  RunInParallel(static_cast<int32_t>(copies.size()), call.Jobs, [&](int32_t i) {
    const TCopy& c = copies[static_cast<size_t>(i)];
    try {
      const TPattern copy = ResamplePattern(*c.Source, c.Move);
      answers[static_cast<size_t>(i)] = RecognizePicture(copy, base, call.Reading);
      answers[static_cast<size_t>(i)].Truth = c.Shape;
      if (!call.Copies.isEmpty()) {
        const QString name = QString("%1/%2_%3.bmp")
                                 .arg(call.Copies, QString::fromStdString(c.Shape))
                                 .arg(i, 4, 10, QChar('0'));
        SavePicture(ReduceTo256Colours(PatternPicture(copy)), name);
      }
    } catch (const std::exception& e) {
      copyProblems[static_cast<size_t>(i)] = ProblemText(e);
    }
  });
  std::vector<TAnswer> counted;
  for (size_t i = 0; i < copies.size(); ++i)
    if (copyProblems[i].empty()) counted.push_back(answers[i]);
    else problems.push_back(copyProblems[i]);
  return counted;
}

void WriteCsvReport(const TEvaluation& e, const TCliContext& cx) {
  std::vector<TRecord> rows = ShapeRows(e);
  rows.push_back(TRecord()
                     .Add("shape", std::string("all"))
                     .Add("copies", static_cast<long long>(e.Answers))
                     .Add("right", static_cast<long long>(e.Right))
                     .Add("accuracy", 100 * e.Accuracy()));
  WriteCsv(cx.Out, rows, true);
}

TRecord SettingRecord(const TLeaveOneOut& r) {
  return TRecord()
      .Add("level", static_cast<long long>(r.Level))
      .Add("error", r.Error)
      .Add("accuracy", 100 * r.Evaluation.Accuracy())
      .Add("retrieval", r.Retrieval)
      .Add("seconds", r.Seconds)
      .Add("loadable", std::string(r.Loadable ? "yes" : "no"));
}

void WriteLeaveOneOutTable(const TLeaveOneOut& r, const TBaseOptions& options,
                           const TCliContext& cx) {
  const size_t copies = static_cast<size_t>(options.Turns) * options.Scales.size() *
                        (options.Mirror ? 2 : 1);
  cx.Out << "leave-one-out: " << r.Counted << " pictures of " << r.Shapes
         << " shapes, each against a base of the others (level " << r.Level
         << ", admissible error " << ShortestDouble(r.Error) << ", " << copies
         << (copies == 1 ? " entry" : " entries") << " a picture)\n";
  std::string notes = "retrieval: " + FixedDouble(r.Retrieval, 2) +
                      " % (of the N drawings of a shape, the other N-1 among a picture's 2N "
                      "nearest other pictures)\n";
  if (r.Alone > 0)
    notes += std::to_string(r.Alone) + " pictures not counted: the only drawing of their shape\n";
  if (!r.Loadable)
    notes += "a base of these pictures would not load at this setting: some trees stop short "
             "of level " + std::to_string(r.Level) + "\n";
  notes += "time: " + FixedDouble(r.Seconds, 2) + " s\n";
  WriteAnswers(r.Evaluation, cx, notes);
}

// The pictures of the collection, read; patterns holds them, problems gets what failed.
std::vector<TCollectionPicture> ReadCollection(const TEvaluateCall& call,
                                               std::vector<std::unique_ptr<TPattern>>& patterns,
                                               std::vector<std::string>& problems) {
  std::vector<std::string> names;
  std::vector<const TShapePicture*> read;
  for (const TShapePicture& picture : call.Pictures) {
    if (!picture.Problem.empty()) {
      problems.push_back(picture.Problem);
      continue;
    }
    try {
      patterns.push_back(
          std::move(LoadScene(picture.File, call.Reading, call.Jobs).State->SceneImage));
      names.push_back(PictureEntryName(Stem(picture.File), picture.Shape));
      read.push_back(&picture);
    } catch (const std::exception& e) {
      problems.push_back(ProblemText(e));
    }
  }
  names = UniqueEntryNames(names);
  std::vector<TCollectionPicture> collection;
  for (size_t i = 0; i < read.size(); ++i)
    collection.push_back(
        TCollectionPicture{Str(read[i]->File), names[i], read[i]->ShapeName(), patterns[i].get()});
  return collection;
}

// The JSON report of the chosen run, with the sweep and its suggestion when there was one.
void WriteLeaveOneOutJson(const TEvaluateCall& call, const std::vector<TRecord>& sweep,
                          const TLeaveOneOut& chosen, const TSetting& suggested,
                          const TCliContext& cx) {
  std::vector<std::string> rows;
  for (const TRecord& row : sweep) rows.push_back(JsonObject(row));
  // The shapes counted are the list "shapes" below.
  std::string fields = "\"pictures\": " + std::to_string(chosen.Counted) +
                       ", \"alone\": " + std::to_string(chosen.Alone) +
                       ", \"level\": " + std::to_string(chosen.Level) +
                       ", \"error\": " + ShortestDouble(chosen.Error) +
                       ", \"retrieval\": " + ShortestDouble(chosen.Retrieval) +
                       ", \"seconds\": " + ShortestDouble(chosen.Seconds) +
                       ", \"loadable\": " + (chosen.Loadable ? "true" : "false");
  if (call.Sweep)
    fields += ",\n \"sweep\": " + JsonArray(rows, "  ", " ") +
              ",\n \"suggested\": {\"level\": " + std::to_string(suggested.Level) +
              ", \"error\": " + ShortestDouble(suggested.Error) + "}";
  WriteJsonReport(chosen.Evaluation, cx, fields);
}

int RunLeaveOneOut(const TEvaluateCall& call, const TCliContext& cx) {
  std::vector<std::string> problems;
  std::vector<std::unique_ptr<TPattern>> patterns;
  const std::vector<TCollectionPicture> collection = ReadCollection(call, patterns, problems);

  std::vector<TLeaveOneOut> runs;
  TBaseOptions options = call.Options;
  if (call.Sweep) {
    for (const TSetting& setting : SweepSettings()) {
      options.MaxTreeLevel = setting.Level;
      options.AdmissibleError = setting.Error;
      runs.push_back(LeaveOneOut(collection, options, call.Jobs));
    }
  } else {
    runs.push_back(LeaveOneOut(collection, options, call.Jobs));
  }
  const TSetting suggested = SuggestedSetting(runs);
  const TLeaveOneOut* chosen = &runs.front();
  for (const TLeaveOneOut& r : runs)
    if (r.Level == suggested.Level && r.Error == suggested.Error) chosen = &r;
  options.MaxTreeLevel = chosen->Level;
  options.AdmissibleError = chosen->Error;
  for (const std::string& p : chosen->Problems) problems.push_back(p);

  std::vector<TRecord> sweep;
  for (const TLeaveOneOut& r : runs) sweep.push_back(SettingRecord(r));
  const std::string setting =
      "--level " + std::to_string(suggested.Level) + " --error " + ShortestDouble(suggested.Error);
  if (call.Format == "json") {
    WriteLeaveOneOutJson(call, sweep, *chosen, suggested, cx);
  } else if (call.Format == "csv") {
    WriteCsv(cx.Out, sweep, true);
  } else {
    if (call.Sweep) {
      cx.Out << "leave-one-out at each setting:\n";
      WriteTable(cx.Out, sweep, 1);
      cx.Out << "suggested: " << setting
             << " (the best accuracy, then retrieval, of a base that loads)\n\n";
    }
    WriteLeaveOneOutTable(*chosen, options, cx);
  }
  return ReportProblems(cx, problems);
}

}  // namespace

int RunEvaluate(const QStringList& arguments, const TCliContext& cx) {
  std::optional<TEvaluateCall> call = ParseEvaluate(arguments, cx);
  if (!call) return 0;
  TCodeBase base;
  try {
    call->Pictures = CollectPictures(call->Files, call->Truth);
    if (call->LeaveOneOut) return RunLeaveOneOut(*call, cx);
    LoadBase(Str(call->Base), base);
  } catch (const std::exception& e) {
    cx.Err << "ormax-cli: " << ProblemText(e) << "\n";
    return ExitInputFailed;
  }
  if (!call->Copies.isEmpty() && !QDir().mkpath(call->Copies)) {
    cx.Err << "ormax-cli: " << Str(call->Copies) << ": cannot create the folder\n";
    return ExitInputFailed;
  }
  std::vector<std::string> problems, warnings;
  const TCopies plan = PlanCopies(*call, problems, warnings);
  ReportWarnings(cx, warnings);
  const TEvaluation e = Evaluate(RecognizeCopies(*call, plan, base, problems));
  if (call->Format == "json")
    WriteJsonReport(e, cx);
  else if (call->Format == "csv")
    WriteCsvReport(e, cx);
  else
    WriteTableReport(e, *call, base, cx);
  if (!call->Plot.isEmpty()) {
    try {
      SavePicture(SamenessPlot(e.RightSameness, e.WrongSameness, e.MinSameness,
                               "sameness of right and wrong answers"),
                  call->Plot, "png");
    } catch (const std::exception& ex) {
      problems.push_back(ex.what());
    }
  }
  return ReportProblems(cx, problems);
}

}  // namespace ormax
