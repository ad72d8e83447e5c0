// EvaluateCommand: every picture's copies are drawn from one seeded sequence of moves
// (so the copies do not depend on --jobs), recognised on the worker pool, and counted.
//   RunEvaluate
#include "cli/EvaluateCommand.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <map>

#include "app/Evaluation.h"
#include "app/WorkerPool.h"
#include "app/Records.h"
#include "cli/Pictures.h"
#include "platform/QtBitmap.h"
#include "platform/SamenessPlot.h"

namespace ormax {

namespace {

struct TEvaluateCall {
  QStringList Files;
  QString Base, Truth, Plot, Copies;
  std::string Format;
  int32_t Samples = 20;
  uint64_t Seed = 1;
  int32_t Jobs = 1;
  TSceneReading Reading;  // the base's, unless the options say otherwise
};

const char* const kHelp =
    "Checks a base on pictures of known shapes: each picture is copied --samples times,\n"
    "each copy turned to a random angle, scaled 0.5 to 2 times and shifted by a part of\n"
    "a pixel (area-weighted resampling, no new colours), and every copy is recognised.\n"
    "Prints the accuracy per shape, the most common confusions and the lowest\n"
    "--min-sameness for recognize that leaves no wrong label, with the share of right\n"
    "answers it turns into 'unknown'. A picture's shape is its file name up to the first\n"
    "'_' (star_2.bmp is a star), or as --truth gives it.\n\n"
    "Copies of the base's own pictures flatter a base: they are the pictures it was\n"
    "made from. Pictures of the shapes drawn, scanned or photographed apart from those in\n"
    "the base give the honest figure.";

std::optional<TEvaluateCall> ParseEvaluate(const QStringList& arguments, const TCliContext& cx) {
  QCommandLineParser p;
  p.addOption(Option({"b", "base"}, "The base list file (required).", "LIST.txt"));
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
  p.addOption(Option({"f", "format"}, "table (default), csv or json.", "FORMAT"));
  p.addOption(Option({"j", "jobs"}, "Copies worked on at once (default: the number of cores).",
                     "N"));
  AddReadingOptions(p, true);
  if (!ParseCommand(p, arguments, cx, kHelp, "Pictures of one shape each.", "pictures…"))
    return std::nullopt;
  TEvaluateCall call;
  call.Files = p.positionalArguments();
  if (call.Files.isEmpty()) throw EUsage("evaluate needs at least one picture");
  if (!p.isSet("base")) throw EUsage("evaluate needs --base LIST.txt");
  call.Base = p.value("base");
  call.Format = FormatOption(p);
  if (p.isSet("samples")) {
    bool ok = false;
    call.Samples = p.value("samples").toInt(&ok);
    if (!ok || call.Samples < 1 || call.Samples > 100000)
      throw EUsage("--samples takes a whole number from 1 to 100000");
  }
  if (p.isSet("seed")) {
    bool ok = false;
    call.Seed = p.value("seed").toULongLong(&ok);
    if (!ok) throw EUsage("--seed takes a whole number of at least 0");
  }
  call.Truth = p.value("truth");
  call.Plot = p.value("plot");
  call.Copies = p.value("copies");
  call.Jobs = JobsOption(p);
  call.Reading = ReadingOption(p, ReadingOfBaseList(Str(call.Base)).value_or(TSceneReading()));
  return call;
}

// picture (as given, and its file name) -> shape.
std::map<QString, std::string> ReadTruth(const QString& file) {
  QFile in(file);
  if (!in.open(QIODevice::ReadOnly | QIODevice::Text))
    throw std::runtime_error(Str(file) + ": cannot read (" + Str(in.errorString()) + ")");
  std::map<QString, std::string> truth;
  int line = 0;
  while (!in.atEnd()) {
    ++line;
    const QString text = QString::fromUtf8(in.readLine()).trimmed();
    if (text.isEmpty()) continue;
    const QStringList fields = text.split(',');
    if (fields.size() != 2 || fields[1].trimmed().isEmpty())
      throw std::runtime_error(Str(file) + ": line " + std::to_string(line) +
                               " is not 'picture,shape'");
    if (line == 1 && fields[1].trimmed() == "shape") continue;  // a header
    const QString picture = fields[0].trimmed();
    truth[picture] = Str(fields[1].trimmed());
    truth[QFileInfo(picture).fileName()] = Str(fields[1].trimmed());
  }
  return truth;
}

std::string ShapeOf(const TEvaluateCall& call, const std::map<QString, std::string>& truth,
                    const QString& file) {
  if (call.Truth.isEmpty()) return Str(QFileInfo(file).completeBaseName().section('_', 0, 0));
  for (const QString& key : {file, QFileInfo(file).fileName()}) {
    const auto it = truth.find(key);
    if (it != truth.end()) return it->second;
  }
  throw std::runtime_error(Str(file) + ": not in " + Str(call.Truth));
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

void WriteTableReport(const TEvaluation& e, const TEvaluateCall& call, const TCodeBase& base,
                      const TCliContext& cx) {
  cx.Out << e.Answers << " copies of " << call.Files.size() << " pictures against "
         << Str(call.Base) << " (" << base.Count() << " entries)\n";
  cx.Out << "accuracy: " << FixedDouble(100 * e.Accuracy(), 2) << " % (" << e.Right << " of "
         << e.Answers << " right)\n\n";
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

TRecord Totals(const TEvaluation& e) {
  return TRecord()
      .Add("copies", static_cast<long long>(e.Answers))
      .Add("right", static_cast<long long>(e.Right))
      .Add("accuracy", 100 * e.Accuracy())
      .Add("min_sameness", e.MinSameness)
      .Add("unknown_share", 100 * e.UnknownRightShare);
}

void WriteJsonReport(const TEvaluation& e, const TCliContext& cx) {
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

TCopies PlanCopies(const TEvaluateCall& call, const std::map<QString, std::string>& truth,
                   std::vector<std::string>& problems, std::vector<std::string>& warnings) {
  TCopies plan;
  TRandom random{call.Seed};
  for (const QString& file : call.Files) {
    const std::vector<TResampling> moves = RandomMoves(call.Samples, random);
    try {
      const std::string shape = ShapeOf(call, truth, file);
      TCliScene scene = LoadScene(file, false, call.Reading);
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
      problems.push_back(e.what());
    }
  }
  return plan;
}

// Every copy made and recognised on the worker pool (and written, with --copies); the
// answers of the copies that could be made, in order.
std::vector<TAnswer> RecogniseCopies(const TEvaluateCall& call, const TCopies& plan,
                                     const TCodeBase& base, std::vector<std::string>& problems) {
  const std::vector<TCopy>& copies = plan.Copies;
  std::vector<TAnswer> answers(copies.size());
  std::vector<std::string> copyProblems(copies.size());
  RunInParallel(static_cast<int32_t>(copies.size()), call.Jobs, [&](int32_t i) {
    const TCopy& c = copies[static_cast<size_t>(i)];
    try {
      const TPattern copy = ResamplePattern(*c.Source, c.Move);
      answers[static_cast<size_t>(i)] = RecognisePicture(copy, base, call.Reading);
      answers[static_cast<size_t>(i)].Truth = c.Shape;
      if (!call.Copies.isEmpty()) {
        const QString name = QString("%1/%2_%3.bmp")
                                 .arg(call.Copies, QString::fromStdString(c.Shape))
                                 .arg(i, 4, 10, QChar('0'));
        SavePicture(ReduceTo256Colours(PatternPicture(copy)), name);
      }
    } catch (const std::exception& e) {
      copyProblems[static_cast<size_t>(i)] = e.what();
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

}  // namespace

int RunEvaluate(const QStringList& arguments, const TCliContext& cx) {
  const std::optional<TEvaluateCall> call = ParseEvaluate(arguments, cx);
  if (!call) return 0;
  TCodeBase base;
  std::map<QString, std::string> truth;
  try {
    LoadBase(call->Base, base);
    if (!call->Truth.isEmpty()) truth = ReadTruth(call->Truth);
  } catch (const std::exception& e) {
    cx.Err << "ormax-cli: " << e.what() << "\n";
    return ExitInputFailed;
  }
  if (!call->Copies.isEmpty() && !QDir().mkpath(call->Copies)) {
    cx.Err << "ormax-cli: " << Str(call->Copies) << ": cannot create the folder\n";
    return ExitInputFailed;
  }
  std::vector<std::string> problems, warnings;
  const TCopies plan = PlanCopies(*call, truth, problems, warnings);
  ReportWarnings(cx, warnings);
  const TEvaluation e = Evaluate(RecogniseCopies(*call, plan, base, problems));
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
