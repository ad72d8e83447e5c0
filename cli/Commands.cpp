#include "cli/Commands.h"

#include <QCommandLineParser>
#include <QDir>
#include <QFileInfo>
#include <algorithm>
#include <atomic>
#include <cmath>
#include <functional>
#include <map>
#include <mutex>
#include <sstream>
#include <thread>

#include "cli/Output.h"
#include "cli/Pictures.h"
#include "codes/Files.h"
#include "platform/QtBitmap.h"
#include "platform/QtCanvas.h"
#include "app/AppState.h"
#include "app/FormatGeneral.h"
#include "app/Views.h"

namespace ormax {

namespace {

constexpr int kUsage = 2;
constexpr int kInputFailed = 1;

// Raised for a wrong call; the message goes to err with a hint to --help.
class EUsage : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

const char* const kOverview =
    "Usage: ormax-cli COMMAND [options] FILES...\n"
    "Recognises shapes in pictures (BMP, PNG and the other formats Qt reads).\n\n"
    "Commands:\n"
    "  codes      the code of every region of each scene, one code file per region\n"
    "  base       a base (list file and code files) from one-shape pictures\n"
    "  recognize  the nearest base entry of every region of each scene\n"
    "  view       any view of the desktop program, written as a BMP picture\n\n"
    "'ormax-cli COMMAND --help' describes a command.\n";

struct Context {
  std::ostream& out;
  std::ostream& err;
  bool errIsTerminal;
};

std::string Str(const QString& s) {
  return s.toStdString();
}

int32_t LevelOption(const QCommandLineParser& p, const QString& name, int32_t fallback) {
  if (!p.isSet(name)) return fallback;
  bool ok = false;
  const int v = p.value(name).toInt(&ok);
  if (!ok || v < 0 || v > MaxRepresentationLevel)
    throw EUsage("--" + Str(name) + " takes a whole number from 0 to " +
                 std::to_string(MaxRepresentationLevel) + ", not '" + Str(p.value(name)) + "'");
  return v;
}

double ErrorOption(const QCommandLineParser& p, double fallback) {
  if (!p.isSet("error")) return fallback;
  bool ok = false;
  const double v = p.value("error").toDouble(&ok);
  if (!ok || !std::isfinite(v))
    throw EUsage("--error takes a number, not '" + Str(p.value("error")) + "'");
  return v;
}

int JobsOption(const QCommandLineParser& p) {
  const int cores = std::max(1, static_cast<int>(std::thread::hardware_concurrency()));
  if (!p.isSet("jobs")) return cores;
  bool ok = false;
  const int v = p.value("jobs").toInt(&ok);
  if (!ok || v < 1) throw EUsage("--jobs takes a whole number of at least 1");
  return v;
}

std::string FormatOption(const QCommandLineParser& p) {
  const std::string f = p.isSet("format") ? Str(p.value("format")) : "table";
  if (f != "table" && f != "csv" && f != "json")
    throw EUsage("--format is table, csv or json, not '" + f + "'");
  return f;
}

QCommandLineOption Option(const QStringList& names, const QString& help,
                          const QString& value = {}) {
  return value.isEmpty() ? QCommandLineOption(names, help) : QCommandLineOption(names, help, value);
}

// Parses the arguments of one command; returns false when --help was asked (the help
// is then printed).
bool Parse(QCommandLineParser& parser, const QStringList& arguments, const Context& cx,
           const QString& description, const QString& files) {
  parser.setApplicationDescription(description);
  parser.addPositionalArgument("files", files);
  parser.addOption(Option({"h", "help"}, "Shows this help."));
  if (!parser.parse(arguments)) throw EUsage(Str(parser.errorText()));
  if (parser.isSet("help")) {
    cx.out << Str(parser.helpText());
    return false;
  }
  return true;
}

// ---- scenes ----

struct Scene {
  std::unique_ptr<TAppState> State = std::make_unique<TAppState>();
  QImage Picture;
};

// Loads a picture into a fresh state; throws with a message naming the file.
Scene LoadScene(const QString& file) {
  Scene scene;
  const TLoadedPicture loaded = LoadScenePicture(file, false);
  if (loaded.Image.isNull())
    throw std::runtime_error(Str(file) + ": cannot read the picture (" + Str(loaded.Error) + ")");
  scene.Picture = loaded.Image;
  scene.State->SceneImage = ScenePattern(loaded.Image);
  scene.State->SceneFileName = Str(file);
  return scene;
}

// Runs work(i) for every input on `jobs` threads; results are kept by index, so the
// output comes in input order whatever the number of threads.
void ForEachInput(int count, int jobs, const Context& cx, const QStringList& names,
                  const std::function<void(int)>& work) {
  std::atomic<int> next{0};
  std::atomic<int> done{0};
  std::mutex progress;
  auto worker = [&] {
    for (int i = next++; i < count; i = next++) {
      work(i);
      const int finished = ++done;
      if (cx.errIsTerminal && count > 1) {
        std::lock_guard<std::mutex> lock(progress);
        cx.err << "\r[" << finished << "/" << count << "] " << Str(QFileInfo(names[i]).fileName())
               << "\x1b[K" << std::flush;
      }
    }
  };
  const int threads = std::min(jobs, count);
  std::vector<std::thread> pool;
  for (int t = 1; t < threads; ++t) pool.emplace_back(worker);
  worker();
  for (auto& t : pool) t.join();
  if (cx.errIsTerminal && count > 1) cx.err << "\r\x1b[K" << std::flush;
}

long long InsidePixels(const TPattern& region) {
  long long n = 0;
  for (int32_t x = region.Left; x <= region.Right; ++x)
    for (int32_t y = region.Top; y <= region.Bottom; ++y) n += region.IsInside(x, y);
  return n;
}

std::string Stem(const QString& file) {
  return Str(QFileInfo(file).completeBaseName());
}

// The fields every per-region row starts with: scene, index, bounds, pixel count.
TRecord RegionRecord(const QString& scene, int32_t index, const TPattern& region) {
  return TRecord()
      .Add("scene", Str(scene))
      .Add("region", static_cast<long long>(index))
      .Add("left", static_cast<long long>(region.Left))
      .Add("top", static_cast<long long>(region.Top))
      .Add("right", static_cast<long long>(region.Right))
      .Add("bottom", static_cast<long long>(region.Bottom))
      .Add("pixels", InsidePixels(region));
}

// Pictures are written as BMP, or as PNG when the name asks for it.
void WritePicture(const QImage& picture, const QString& file) {
  SavePicture(picture, file, file.endsWith(".png", Qt::CaseInsensitive) ? "png" : "bmp");
}

// ---- codes ----

int RunCodes(const QStringList& arguments, const Context& cx) {
  QCommandLineParser p;
  p.addOption(Option({"l", "level"}, "Maximum tree level (default 0).", "L"));
  p.addOption(Option({"e", "error"}, "Admissible error (default 0).", "E"));
  p.addOption(
      Option({"o", "output"}, "Folder for the code files (default: the current one).", "DIR"));
  p.addOption(Option({"f", "format"}, "table (default), csv or json.", "FORMAT"));
  p.addOption(
      Option({"j", "jobs"}, "Scenes worked on at once (default: the number of cores).", "N"));
  if (!Parse(p, arguments, cx,
             "Writes the code of every region of each scene, one code file per region\n"
             "named SCENE-INDEX.c, and prints a table of the regions.",
             "Scene pictures."))
    return 0;
  const QStringList files = p.positionalArguments();
  if (files.isEmpty()) throw EUsage("codes needs at least one scene");
  const int32_t level = LevelOption(p, "level", 0);
  const double error = ErrorOption(p, 0.0);
  const std::string format = FormatOption(p);
  const QString folder = p.isSet("output") ? p.value("output") : QString(".");
  if (!QDir().mkpath(folder)) throw std::runtime_error(Str(folder) + ": cannot create the folder");

  std::vector<std::vector<TRecord>> rows(static_cast<size_t>(files.size()));
  std::vector<std::string> problems(static_cast<size_t>(files.size()));
  ForEachInput(static_cast<int>(files.size()), JobsOption(p), cx, files, [&](int i) {
    try {
      Scene scene = LoadScene(files[i]);
      TAppState& s = *scene.State;
      s.MaxTreeLevel = level;
      s.AdmissibleError = error;
      s.BuildSceneCodes();
      for (int32_t r = 0; r < s.Segments.Count(); ++r) {
        const TPattern& region = s.Segments.Items(r);
        const TCode& code = s.SceneCodes.GetCode(r);
        const QString name = folder + "/" + QString::fromStdString(Stem(files[i])) + "-" +
                             QString::number(r) + CodeFileExt;
        code.SaveToFile(Str(name));
        rows[static_cast<size_t>(i)].push_back(
            RegionRecord(files[i], r, region)
                .Add("depth", static_cast<long long>(code.Depth()))
                .Add("items", static_cast<long long>(code.Items.size()))
                .Add("file", Str(name)));
      }
    } catch (const std::exception& e) {
      problems[static_cast<size_t>(i)] = e.what();
    }
  });
  std::vector<TRecord> all;
  for (auto& r : rows) all.insert(all.end(), r.begin(), r.end());
  if (format == "csv") {
    WriteCsv(cx.out, all, true);
  } else if (format == "json") {
    cx.out << "[";
    for (size_t k = 0; k < all.size(); ++k) cx.out << (k ? ",\n " : "\n ") << JsonObject(all[k]);
    cx.out << "\n]\n";
  } else {
    WriteTable(cx.out, all);
  }
  int status = 0;
  for (const auto& problem : problems)
    if (!problem.empty()) {
      cx.err << "ormax-cli: " << problem << "\n";
      status = kInputFailed;
    }
  return status;
}

// ---- base ----

std::string Degrees(double d) {
  const std::string text = FormatGeneral(d, 6);
  return text;
}

int RunBase(const QStringList& arguments, const Context& cx) {
  QCommandLineParser p;
  p.addOption(Option({"o", "output"}, "The base list file to write (required).", "LIST.txt"));
  p.addOption(Option({"l", "level"}, "Maximum tree level (default 3).", "L"));
  p.addOption(Option({"e", "error"}, "Admissible error (default 0).", "E"));
  p.addOption(Option({"t", "turns"},
                     "Copies of each picture, turned by 360/N degrees each (default 12: every "
                     "30 degrees); 1 gives the plain base.",
                     "N"));
  p.addOption(Option({"m", "mirror"}, "Also add mirrored copies (entries SHAPE@mDEGREES)."));
  p.addOption(Option({"s", "skip-bad"},
                     "Leave out, with a warning, pictures that do not hold exactly one region "
                     "or whose trees would make the base fail to load."));
  if (!Parse(p, arguments, cx,
             "Builds a base from pictures of one shape each: a code file per picture (and per\n"
             "turned copy, named SHAPE@DEGREES) beside the list file, and the list file.\n"
             "Nothing is written when a picture would make the base fail to load.",
             "One-shape pictures; each entry is named after its picture."))
    return 0;
  const QStringList files = p.positionalArguments();
  if (files.isEmpty()) throw EUsage("base needs at least one picture");
  if (!p.isSet("output")) throw EUsage("base needs -o LIST.txt");
  const int32_t level = LevelOption(p, "level", 3);
  const double error = ErrorOption(p, 0.0);
  int turns = 12;
  if (p.isSet("turns")) {
    bool ok = false;
    turns = p.value("turns").toInt(&ok);
    if (!ok || turns < 1 || turns > 360) throw EUsage("--turns takes a whole number from 1 to 360");
  }
  const bool mirror = p.isSet("mirror");
  const bool skipBad = p.isSet("skip-bad");

  struct Entry {
    std::string Name;
    std::string Picture;
    std::unique_ptr<TCode> Code;
  };
  std::vector<Entry> entries;
  std::vector<std::string> problems;
  for (const QString& file : files) {
    Scene scene;
    try {
      scene = LoadScene(file);
    } catch (const std::exception& e) {
      problems.push_back(e.what());
      continue;
    }
    const std::string shape = Stem(file);
    std::vector<Entry> copies;
    std::string bad;
    for (int m = 0; m <= (mirror ? 1 : 0) && bad.empty(); ++m)
      for (int k = 0; k < turns && bad.empty(); ++k) {
        const double degrees = 360.0 * k / turns;
        TAppState s;
        const bool plain = turns == 1 && m == 0;
        s.SceneImage = plain ? ScenePattern(scene.Picture)
                             : ScenePattern(TurnPicture(scene.Picture, degrees, m == 1));
        s.MaxTreeLevel = level;
        s.AdmissibleError = error;
        s.BuildSceneCodes();
        const std::string name = plain ? shape : shape + "@" + (m ? "m" : "") + Degrees(degrees);
        if (s.SceneCodes.Count() != 1) {
          bad = Str(file) + ": " + std::to_string(s.SceneCodes.Count()) + " regions" +
                (plain ? "" : " in the copy " + name) + ", a base picture needs exactly one";
          break;
        }
        auto code = std::make_unique<TCode>(std::move(s.SceneCodes.GetCode(0)));
        copies.push_back(Entry{name, Str(file), std::move(code)});
      }
    if (!bad.empty()) {
      problems.push_back(bad);
      continue;
    }
    for (auto& c : copies) entries.push_back(std::move(c));
  }

  // The test the loader applies: every code after the first reaches exactly the first
  // code's maximum level (the admissible errors are all the same setting here).
  std::vector<Entry> kept;
  for (size_t k = 0; k < entries.size(); ++k) {
    const int32_t depth = entries[k].Code->Depth();
    if (!kept.empty() && depth != level) {
      problems.push_back(entries[k].Picture + ": the tree of " + entries[k].Name +
                         " reaches level " + std::to_string(depth) + ", not " +
                         std::to_string(level) + ", so the base would not load; --error 0 " +
                         "lets every tree reach the maximum level" +
                         (depth < level ? ", and a smaller --level suits a small shape" : ""));
      continue;
    }
    kept.push_back(std::move(entries[k]));
  }
  for (const auto& problem : problems) cx.err << "ormax-cli: " << problem << "\n";
  if (!problems.empty() && !skipBad) {
    cx.err << "ormax-cli: nothing written (--skip-bad leaves the pictures above out)\n";
    return kInputFailed;
  }
  if (kept.empty()) {
    cx.err << "ormax-cli: no picture made an entry; nothing written\n";
    return kInputFailed;
  }

  const QFileInfo list(p.value("output"));
  if (!QDir().mkpath(list.absolutePath()))
    throw std::runtime_error(Str(list.absolutePath()) + ": cannot create the folder");
  std::string text = "% made by ormax-cli base: maximum tree level " + std::to_string(level) +
                     ", admissible error " + ShortestDouble(error) + "\n";
  for (const auto& e : kept) {
    e.Code->SaveToFile(Str(list.absolutePath()) + "/" + e.Name + CodeFileExt);
    text += e.Name + "\n";
  }
  WriteFileAtomically(Str(list.absoluteFilePath()), TByteArray(text.begin(), text.end()));
  cx.out << kept.size() << " entries written to " << Str(list.filePath()) << "\n";
  return 0;
}

// ---- recognize ----

struct Recognised {
  std::vector<TRecord> Rows;
  long long Regions = 0, Known = 0, Unknown = 0;
  std::string Problem;
};

void LoadBaseOrThrow(TCodeBase& base, const QString& list) {
  const int32_t n = base.LoadBaseList(Str(list));
  if (n <= 0)
    throw std::runtime_error(
        Str(list) + ": the base is empty, or its codes were built with different settings");
}

int RunRecognize(const QStringList& arguments, const Context& cx) {
  QCommandLineParser p;
  p.addOption(Option({"b", "base"}, "The base list file (required).", "LIST.txt"));
  p.addOption(Option({"p", "picture"},
                     "Writes the Recognition view (labels with sameness) as a BMP (PNG for a .png "
                     "name); with several "
                     "scenes, OUT-SCENE.bmp per scene.",
                     "OUT.bmp"));
  p.addOption(Option({"f", "format"}, "table (default), csv or json.", "FORMAT"));
  p.addOption(Option({"s", "min-sameness"},
                     "A region less alike than P percent to its nearest entry is reported as "
                     "'unknown' (default 0).",
                     "P"));
  p.addOption(
      Option({"j", "jobs"}, "Scenes worked on at once (default: the number of cores).", "N"));
  if (!Parse(p, arguments, cx,
             "Labels every region of each scene with its nearest base entry, using the base's\n"
             "admissible error and maximum tree level. Per region: bounds, pixels, centre, the\n"
             "root ellipse (semi-axes a >= b and the angle of its first axis in degrees,\n"
             "measured from the x axis towards y, which grows downwards: clockwise on\n"
             "screen), the nearest entry, its shape and turn (the name before and after '@'),\n"
             "the distance and the sameness (1 - distance) x 100 %.",
             "Scene pictures."))
    return 0;
  const QStringList files = p.positionalArguments();
  if (files.isEmpty()) throw EUsage("recognize needs at least one scene");
  if (!p.isSet("base")) throw EUsage("recognize needs --base LIST.txt");
  const std::string format = FormatOption(p);
  double minSameness = 0;
  if (p.isSet("min-sameness")) {
    bool ok = false;
    minSameness = p.value("min-sameness").toDouble(&ok);
    if (!ok || !std::isfinite(minSameness))
      throw EUsage("--min-sameness takes a number of percent");
  }
  const int jobs = JobsOption(p);

  TCodeBase base;
  try {
    LoadBaseOrThrow(base, p.value("base"));
  } catch (const std::exception& e) {
    cx.err << "ormax-cli: " << e.what() << "\n";
    return kInputFailed;
  }

  std::vector<Recognised> results(static_cast<size_t>(files.size()));
  ForEachInput(static_cast<int>(files.size()), jobs, cx, files, [&](int i) {
    Recognised& result = results[static_cast<size_t>(i)];
    try {
      Scene scene = LoadScene(files[i]);
      TAppState& s = *scene.State;
      s.AdmissibleError = base.AdmissibleError;
      s.MaxTreeLevel = base.MaxLevel;
      s.BuildSceneCodes();
      for (int32_t r = 0; r < s.SceneCodes.Count(); ++r) {
        double distance = 0;
        const int32_t nearest = FindNearest(base, s.SceneCodes.GetCode(r), CodeDistance, distance);
        s.NearestIndices.push_back(nearest);
        s.NearestMeasures.push_back(distance);
        const TPattern& region = s.Segments.Items(r);
        const TEllipse root = TEllipse::CreateFromBytes(s.Trees.Items(r).Data);
        const std::string entry = base.Names(nearest);
        const size_t at = entry.find('@');
        const double sameness = static_cast<double>((1.0L - distance) * 100);
        const bool known = sameness >= minSameness;
        const TPoint centre = region.Center();
        const double angle = static_cast<double>(
            std::atan2(root.Rotation[1][0], root.Rotation[0][0]) * 180 / 3.14159265358979323846L);
        ++result.Regions;
        (known ? result.Known : result.Unknown)++;
        result.Rows.push_back(
            RegionRecord(files[i], r, region)
                .Add("center_x", static_cast<long long>(centre.X))
                .Add("center_y", static_cast<long long>(centre.Y))
                .Add("axis_a", static_cast<double>(root.Axes[0]))
                .Add("axis_b", static_cast<double>(root.Axes[1]))
                .Add("angle", angle)
                .Add("entry", entry)
                .Add("shape", entry.substr(0, at))
                .Add("turn", at == std::string::npos ? std::string() : entry.substr(at + 1))
                .Add("distance", distance)
                .Add("sameness", sameness)
                .Add("label", known ? entry.substr(0, at) : std::string("unknown")));
      }
      if (p.isSet("picture")) {
        QString out = p.value("picture");
        if (files.size() > 1) {
          const QFileInfo info(out);
          out = info.path() + "/" + info.completeBaseName() + "-" +
                QString::fromStdString(Stem(files[i])) + "." + info.suffix();
        }
        // The view reads the entry names from the state's own base.
        TCodeBase& own = s.CodeBase;
        for (int32_t k = 0; k < base.Count(); ++k)
          own.Add(base.Names(k), std::make_unique<TCode>(base.GetCode(k)));
        s.ShowSameness = true;
        {
          TQtCanvas canvas(scene.Picture);
          DrawView(TView::Recognition, s, canvas);
        }
        WritePicture(scene.Picture, out);
      }
    } catch (const std::exception& e) {
      result.Problem = e.what();
    }
  });

  int status = 0;
  std::vector<TRecord> all;
  for (const auto& r : results) all.insert(all.end(), r.Rows.begin(), r.Rows.end());
  auto summary = [&](size_t i) {
    const Recognised& r = results[i];
    return Str(files[static_cast<int>(i)]) + ": " + std::to_string(r.Regions) + " regions, " +
           std::to_string(r.Known) + " recognised, " + std::to_string(r.Unknown) + " unknown";
  };
  if (format == "json") {
    cx.out << "[";
    for (size_t i = 0; i < results.size(); ++i) {
      const Recognised& r = results[i];
      if (!r.Problem.empty()) continue;
      cx.out << (i ? ",\n" : "\n") << " {\"scene\": " << JsonString(Str(files[static_cast<int>(i)]))
             << ", \"regions\": " << r.Regions << ", \"recognised\": " << r.Known
             << ", \"unknown\": " << r.Unknown << ",\n  \"items\": [";
      for (size_t k = 0; k < r.Rows.size(); ++k)
        cx.out << (k ? ",\n   " : "\n   ") << JsonObject(r.Rows[k]);
      cx.out << "\n  ]}";
    }
    cx.out << "\n]\n";
  } else if (format == "csv") {
    WriteCsv(cx.out, all, true);
    for (size_t i = 0; i < results.size(); ++i)
      if (results[i].Problem.empty()) cx.err << summary(i) << "\n";
  } else {
    for (size_t i = 0; i < results.size(); ++i) {
      if (!results[i].Problem.empty()) continue;
      std::vector<TRecord> shown;
      for (const TRecord& row : results[i].Rows) {
        TRecord t;
        for (const auto& [name, value] : row.Fields)
          if (name != "scene" && name != "entry") t.Add(name, value);
        shown.push_back(t);
      }
      cx.out << Str(files[static_cast<int>(i)]) << "\n";
      WriteTable(cx.out, shown, 2);
      cx.out << summary(i) << "\n\n";
    }
  }
  for (const auto& r : results)
    if (!r.Problem.empty()) {
      cx.err << "ormax-cli: " << r.Problem << "\n";
      status = kInputFailed;
    }
  return status;
}

// ---- view ----

int RunView(const QStringList& arguments, const Context& cx) {
  QCommandLineParser p;
  p.addOption(
      Option({"v", "view"}, "scene, quadro, segmentation, representation or recognition.", "VIEW"));
  p.addOption(Option({"l", "level"}, "Maximum tree level (default 0, or the base's).", "L"));
  p.addOption(Option({"e", "error"}, "Admissible error (default 0, or the base's).", "E"));
  p.addOption(
      Option({"max-view-level"}, "Deepest level drawn (default: the maximum tree level).", "V"));
  p.addOption(Option({"fill"}, "Filled ellipses (the default)."));
  p.addOption(Option({"outline"}, "Outlined ellipses."));
  p.addOption(Option({"sameness"}, "Recognition labels with their sameness."));
  p.addOption(Option({"b", "base"}, "The base list file (recognition only).", "LIST.txt"));
  p.addOption(Option({"o", "output"},
                     "The picture to write: BMP, or PNG for a .png name (required).", "OUT.bmp"));
  if (!Parse(p, arguments, cx,
             "Draws one view of the desktop program for a scene and writes it as a BMP.",
             "One scene picture."))
    return 0;
  const QStringList files = p.positionalArguments();
  if (files.size() != 1) throw EUsage("view takes exactly one scene");
  if (!p.isSet("output")) throw EUsage("view needs -o OUT.bmp");
  static const std::map<std::string, TView> views = {{"scene", TView::Scene},
                                                     {"quadro", TView::Quadro},
                                                     {"segmentation", TView::Segmentation},
                                                     {"representation", TView::Representation},
                                                     {"recognition", TView::Recognition}};
  const auto view = views.find(Str(p.value("view")));
  if (view == views.end())
    throw EUsage("--view is scene, quadro, segmentation, representation or recognition");
  if (view->second == TView::Recognition && !p.isSet("base"))
    throw EUsage("the recognition view needs --base LIST.txt");
  if (p.isSet("fill") && p.isSet("outline"))
    throw EUsage("--fill and --outline exclude each other");

  try {
    Scene scene = LoadScene(files[0]);
    TAppState& s = *scene.State;
    if (p.isSet("base")) {
      LoadBaseOrThrow(s.CodeBase, p.value("base"));
      s.AdmissibleError = s.CodeBase.AdmissibleError;
      s.MaxTreeLevel = s.CodeBase.MaxLevel;
    }
    s.MaxTreeLevel = LevelOption(p, "level", s.MaxTreeLevel);
    s.AdmissibleError = ErrorOption(p, s.AdmissibleError);
    s.FillEllipses = !p.isSet("outline");
    s.ShowSameness = p.isSet("sameness");
    if (view->second != TView::Scene) s.BuildSceneCodes();
    if (view->second == TView::Recognition) s.BuildSceneNearestIndices();
    s.MaxViewLevel = s.MaxTreeLevel;
    if (p.isSet("max-view-level")) {
      bool ok = false;
      s.MaxViewLevel = p.value("max-view-level").toInt(&ok);
      if (!ok) throw EUsage("--max-view-level takes a whole number");
    }
    {
      TQtCanvas canvas(scene.Picture);
      DrawView(view->second, s, canvas);
    }
    WritePicture(scene.Picture, p.value("output"));
  } catch (const EUsage&) {
    throw;
  } catch (const std::exception& e) {
    cx.err << "ormax-cli: " << e.what() << "\n";
    return kInputFailed;
  }
  return 0;
}

}  // namespace

int RunCli(const QStringList& arguments, std::ostream& out, std::ostream& err, bool errIsTerminal) {
  const Context cx{out, err, errIsTerminal};
  if (arguments.size() < 2 || arguments[1] == "--help" || arguments[1] == "-h" ||
      arguments[1] == "help") {
    (arguments.size() < 2 ? err : out) << kOverview;
    return arguments.size() < 2 ? kUsage : 0;
  }
  const QString command = arguments[1];
  QStringList rest = arguments.mid(2);
  rest.prepend(arguments[0] + " " + command);
  static const std::map<QString, int (*)(const QStringList&, const Context&)> commands = {
      {"codes", RunCodes}, {"base", RunBase}, {"recognize", RunRecognize}, {"view", RunView}};
  const auto it = commands.find(command);
  if (it == commands.end()) {
    err << "ormax-cli: unknown command '" << Str(command) << "'\n\n" << kOverview;
    return kUsage;
  }
  try {
    return it->second(rest, cx);
  } catch (const EUsage& e) {
    err << "ormax-cli " << Str(command) << ": " << e.what() << "\n"
        << "Try 'ormax-cli " << Str(command) << " --help'.\n";
    return kUsage;
  } catch (const std::exception& e) {
    err << "ormax-cli: " << e.what() << "\n";
    return kInputFailed;
  }
}

}  // namespace ormax
