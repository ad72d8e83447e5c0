// HeldOut: the commands run, the base built from the sample pictures, recognize's CSV read.
//   Fail, TShapeOptions, TOffscreenUnlessNamed, RunProcess, Run, Quoted, AllShapes,
//   BuildBase, SplitCsvLine, CsvColumn, RecognizedRegions
#include "bench/HeldOut.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <algorithm>
#include <cstdio>
#include <cstdlib>

#include "qt/QtBitmap.h"
#include "tools/SampleShapes.h"

namespace ormax {

void Fail(const std::string& what) {
  std::fprintf(stderr, "%s: %s\n", QCoreApplication::applicationName().toStdString().c_str(),
               what.c_str());
  std::exit(1);
}

bool TShapeOptions::Take(const QString& key, const QString& value) {
  if (key == "--cli") Cli = value;
  else if (key == "--shapes") Shapes = value;
  else if (key == "--work") Work = value;
  else if (key == "--seed") Seed = value.toULongLong();
  else if (key == "--count") Count = value.toInt();
  else return false;
  return true;
}

TOffscreenUnlessNamed::TOffscreenUnlessNamed() {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
}

QStringList ParseOptionPairs(const QStringList& args,
                             const std::function<bool(const QString&, const QString&)>& take) {
  for (int i = 1; i < args.size(); ++i) {
    const QString& k = args[i];
    if (k == "--") return args.mid(i + 1);
    if (i + 1 >= args.size()) Fail("missing value after " + k.toStdString());
    if (!take(k, args[++i])) Fail("unknown option " + k.toStdString());
  }
  return {};
}

TProcessRun RunProcess(const QString& program, const QStringList& args) {
  QProcess p;
  p.setProcessChannelMode(QProcess::SeparateChannels);
  QElapsedTimer timer;
  timer.start();
  p.start(program, args);
  if (!p.waitForStarted(-1)) Fail("cannot start " + program.toStdString());
  p.waitForFinished(-1);
  TProcessRun run;
  run.Ms = static_cast<double>(timer.nsecsElapsed()) / 1e6;
  run.Out = p.readAllStandardOutput();
  run.Err = p.readAllStandardError();
  run.Normal = p.exitStatus() == QProcess::NormalExit;
  run.Exit = p.exitCode();
  return run;
}

QByteArray Run(const QString& program, const QStringList& args, double* ms) {
  TProcessRun run = RunProcess(program, args);
  if (ms) *ms = run.Ms;
  if (!run.Normal || run.Exit != 0)
    Fail(program.toStdString() + " " + args.join(' ').left(200).toStdString() + " failed:\n" +
         run.Err.toStdString());
  return run.Out;
}

QString Quoted(const QStringList& args) {
  QStringList out;
  for (const QString& s : args) {
    const bool plain = !s.isEmpty() && s.indexOf(QRegularExpression("[^A-Za-z0-9_./=,:+@%-]")) < 0;
    out << (plain ? s : "'" + QString(s).replace("'", "'\\''") + "'");
  }
  return out.join(' ');
}

std::vector<std::string> AllShapes() {
  std::vector<std::string> names;
  for (const auto* list : {&SampleShapes(), &MirrorPair()})
    for (const TSampleShape& s : *list) names.push_back(s.Name);
  return names;
}

TBuiltBase BuildBase(const QString& cli, const QString& shapesDir, const QString& work,
                     const QStringList& options) {
  QDir().mkpath(work + "/shapes");
  QDir().mkpath(work + "/base");
  TBuiltBase base;
  base.List = work + "/base/base.txt";
  for (const TSampleShape& s : SampleShapes()) {
    const QString from = shapesDir + "/" + QString::fromStdString(s.Name) + ".bmp";
    const QString to = work + "/shapes/" + QString::fromStdString(s.Name) + ".bmp";
    if (!QFile::copy(from, to)) Fail("cannot copy " + from.toStdString());
    base.Pictures.push_back({s.Name, to});
  }
  for (const TSampleShape& s : MirrorPair()) {
    const QString to = work + "/shapes/" + QString::fromStdString(s.Name) + ".bmp";
    SavePicture(ReduceTo256Colours(Picture(100, 100, {{s.Name, 50, 50, 40, 0, qRgb(0, 0, 0)}})),
                to);
    base.Pictures.push_back({s.Name, to});
  }
  QStringList args = {"base", "-o", base.List};
  for (const TBaseSource& p : base.Pictures) args << p.File;
  base.Output = Run(cli, args + options, &base.Ms);
  return base;
}

std::vector<std::string> SplitCsvLine(const std::string& line) {
  std::vector<std::string> fields;
  std::string field;
  bool quoted = false;
  for (size_t i = 0; i < line.size(); ++i) {
    const char c = line[i];
    if (quoted) {
      if (c == '"' && i + 1 < line.size() && line[i + 1] == '"') field += line[++i];
      else if (c == '"') quoted = false;
      else field += c;
    } else if (c == '"') {
      quoted = true;
    } else if (c == ',') {
      fields.push_back(field);
      field.clear();
    } else {
      field += c;
    }
  }
  fields.push_back(field);
  return fields;
}

size_t CsvColumn(const std::vector<std::string>& header, const std::string& name) {
  const auto it = std::find(header.begin(), header.end(), name);
  if (it == header.end()) Fail("recognize's CSV has no column " + name);
  return static_cast<size_t>(it - header.begin());
}

std::vector<TRegionRow> RecognizedRegions(const QByteArray& csv) {
  const QList<QByteArray> lines = csv.split('\n');
  if (lines.isEmpty() || lines[0].trimmed().isEmpty()) Fail("recognize wrote nothing");
  const std::vector<std::string> header = SplitCsvLine(lines[0].trimmed().toStdString());
  const auto column = [&](const std::string& name) { return CsvColumn(header, name); };
  const size_t scene = column("scene"), left = column("left"), top = column("top"),
               right = column("right"), bottom = column("bottom"), pixels = column("pixels"),
               shape = column("shape"), sameness = column("sameness");
  const auto optional = [&](const std::string& name) {
    const auto it = std::find(header.begin(), header.end(), name);
    return it == header.end() ? header.size() : static_cast<size_t>(it - header.begin());
  };
  const size_t label = optional("label"), runner = optional("top2_sameness");
  std::vector<TRegionRow> rows;
  for (int i = 1; i < lines.size(); ++i) {
    if (lines[i].trimmed().isEmpty()) continue;
    const std::vector<std::string> f = SplitCsvLine(lines[i].trimmed().toStdString());
    if (f.size() < header.size()) Fail("a short CSV line: " + lines[i].toStdString());
    TRegionRow row;
    row.Scene = f[scene];
    row.Shape = f[shape];
    row.Left = std::stoll(f[left]);
    row.Top = std::stoll(f[top]);
    row.Right = std::stoll(f[right]);
    row.Bottom = std::stoll(f[bottom]);
    row.Pixels = std::stoll(f[pixels]);
    row.Sameness = std::stod(f[sameness]);
    rows.push_back(row);
    if (label < f.size()) rows.back().Label = f[label];
    if (runner < f.size() && !f[runner].empty()) rows.back().RunnerSameness = std::stod(f[runner]);
  }
  return rows;
}

}  // namespace ormax
