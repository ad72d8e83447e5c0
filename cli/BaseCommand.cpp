// BaseCommand: the base is built by the application layer from the pictures as the
// command line reads them, and only a whole base is written (app/BaseList): a new one,
// entries added to one, or entries taken out.
//   RunBase
#include "cli/BaseCommand.h"

#include <QDir>
#include <QFileInfo>
#include <set>

#include "app/BaseBuilder.h"
#include "app/BaseList.h"
#include "app/EntryNames.h"
#include "app/Records.h"
#include "cli/Pictures.h"
#include "codes/Files.h"

namespace ormax {

namespace {

enum class TBaseWork { New, Add, Remove };

struct TBaseCall {
  TBaseWork Work = TBaseWork::New;
  QStringList Files;  // pictures and folders, or for Remove shapes and pictures
  QString List;
  QString Truth;
  TBaseOptions Options;
  bool CopiesGiven = false;  // --turns, --scales or --mirror
  bool SkipBad = false;
  bool Force = false;
};

const char* const kBaseHelp = R"(Builds a base from pictures of one shape each: a code file per picture and per
turned copy (NAME@DEGREES) beside the list file, and the list file. Nothing is
written when a picture would make the base fail to load, and no file is replaced
unless --force asks for it.

A picture's shape is its file name up to the first '_' (star_2.bmp is a star), or
the name of its folder when a folder of folders is given (shapes/star/01.bmp is a
star, entry star_01), or what --truth says. Every picture keeps entries of its own:
two pictures of one name get NAME and NAME_2.

  ormax-cli base shapes/ -o base/base.txt       a new base
  ormax-cli base --add base/base.txt new/*.bmp  pictures added, with the base's settings
  ormax-cli base --remove base/base.txt star    a shape (or one picture) taken out

How well a collection recognises new drawings of its shapes, and at which --level
and --error: ormax-cli evaluate --leave-one-out shapes/ --sweep.)";

// Parses the options; nothing when --help was asked.
std::optional<TBaseCall> ParseBase(const QStringList& arguments, const TCliContext& cx) {
  QCommandLineParser p;
  p.addOption(Option({"o", "output"}, "The base list file to write.", "LIST.txt"));
  p.addOption(Option({"a", "add"},
                     "Adds the pictures to this base, made with its level, error, reading and "
                     "copies (as its list records them).",
                     "LIST.txt"));
  p.addOption(Option({"r", "remove"},
                     "Takes the shapes (or pictures) named as arguments out of this base, "
                     "with their code files.",
                     "LIST.txt"));
  p.addOption(Option({"force"},
                     "Replaces an existing list (deleting the code files only it named) and "
                     "existing code files."));
  p.addOption(Option({"truth"},
                     "A CSV file of lines 'picture,shape' naming each picture's shape.",
                     "FILE.csv"));
  AddBaseOptions(p);
  p.addOption(Option({"j", "jobs"},
                     "Copies made at once (default: the number of cores); the base is the same "
                     "whatever the number.",
                     "N"));
  p.addOption(Option({"s", "skip-bad"},
                     "Leave out, with a warning, pictures that do not hold exactly one region "
                     "or whose trees would make the base fail to load."));
  AddReadingOptions(p);
  if (!ParseCommand(p, arguments, cx, kBaseHelp,
                    "One-shape pictures, folders of them, or folders of folders of them (with "
                    "--remove: shapes or pictures).",
                    "pictures…"))
    return std::nullopt;
  TBaseCall call;
  call.Files = p.positionalArguments();
  const int works = p.isSet("output") + p.isSet("add") + p.isSet("remove");
  if (works != 1) throw EUsage("base needs one of -o LIST.txt, --add LIST.txt and --remove LIST.txt");
  if (p.isSet("add")) {
    call.Work = TBaseWork::Add;
    call.List = p.value("add");
    for (const char* fixed : {"level", "error", "background", "min-pixels"})
      if (p.isSet(fixed))
        throw EUsage(std::string("--add makes the new entries with the base's own settings; "
                                 "leave out --") + fixed);
  } else if (p.isSet("remove")) {
    call.Work = TBaseWork::Remove;
    call.List = p.value("remove");
  } else {
    call.List = p.value("output");
  }
  if (call.Files.isEmpty())
    throw EUsage(call.Work == TBaseWork::Remove ? "base --remove needs the shapes to take out"
                                                : "base needs at least one picture");
  call.Truth = p.value("truth");
  call.Force = p.isSet("force");
  call.CopiesGiven = p.isSet("turns") || p.isSet("scales") || p.isSet("mirror");
  ReadBaseOptions(p, call.Options);
  call.Options.Threads = JobsOption(p);
  call.SkipBad = p.isSet("skip-bad");
  call.Options.Reading = ReadingOption(p);
  return call;
}

// The base's settings for --add: its level and error, the reading and the copies its
// list records (the options given, or the defaults, when it does not).
void AdoptBase(TBaseCall& call, const TCodeBase& base) {
  call.Options.MaxTreeLevel = base.MaxLevel;
  call.Options.AdmissibleError = base.AdmissibleError;
  call.Options.Reading = ReadingOfBaseList(Str(call.List)).value_or(TSceneReading());
  if (call.CopiesGiven) return;
  if (const std::optional<TBaseCopies> copies = CopiesOfBaseList(Str(call.List))) {
    call.Options.Turns = copies->Turns;
    call.Options.Scales = copies->Scales;
    call.Options.Mirror = copies->Mirror;
  }
}

// Each picture's entry name, distinct from every other and from those taken.
std::vector<TBasePicture> NamedPictures(const std::vector<TShapePicture>& collection,
                                        const std::set<std::string>& taken) {
  std::vector<std::string> names;
  for (const TShapePicture& p : collection)
    names.push_back(PictureEntryName(Stem(p.File), p.Shape));
  names = UniqueEntryNames(names, taken);
  std::vector<TBasePicture> pictures;
  for (size_t i = 0; i < collection.size(); ++i)
    pictures.push_back(TBasePicture{Str(collection[i].File), names[i]});
  return pictures;
}

int RemoveShapes(const TBaseCall& call, const TCliContext& cx) {
  std::vector<std::string> names;
  for (const QString& name : call.Files) names.push_back(Str(name));
  const TRemoved removed = RemoveFromBase(Str(call.List), names);
  cx.Out << removed.Entries << " entries removed from " << Str(call.List) << ", "
         << removed.Remaining << " left\n";
  return 0;
}

}  // namespace

int RunBase(const QStringList& arguments, const TCliContext& cx) {
  std::optional<TBaseCall> call = ParseBase(arguments, cx);
  if (!call) return 0;
  if (call->Work == TBaseWork::Remove) return RemoveShapes(*call, cx);
  const QFileInfo list(call->List);
  if (!QDir().mkpath(list.absolutePath()))
    throw std::runtime_error(Str(list.absolutePath()) + ": cannot create the folder");
  TCodeBase base;
  std::set<std::string> taken;
  if (call->Work == TBaseWork::Add) {
    LoadBase(Str(call->List), base);
    AdoptBase(*call, base);
    taken = TakenPictureNames(Str(call->List));
  } else if (list.exists() && !call->Force) {
    throw std::runtime_error(Str(call->List) + ": a base list already; --add " +
                             Str(call->List) + " adds pictures to it, --force replaces it");
  }
  const int32_t before = base.Count();
  std::vector<std::string> problems, warnings;
  std::vector<TShapePicture> collection;
  for (TShapePicture& picture : CollectPictures(call->Files, call->Truth))
    if (picture.Problem.empty()) collection.push_back(std::move(picture));
    else problems.push_back(picture.Problem);
  const std::vector<TBasePicture> pictures = NamedPictures(collection, taken);
  BuildBase(
      pictures,
      [&](const TBasePicture& picture) {
        return std::move(LoadScene(QString::fromStdString(picture.File), call->Options.Reading)
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
  if (base.Count() == before) {
    cx.Err << "ormax-cli: no picture made an entry; nothing written\n";
    return ExitInputFailed;
  }
  if (call->Work == TBaseWork::Add) {
    AddToBase(Str(list.absoluteFilePath()), base, before);
    cx.Out << base.Count() - before << " entries added to " << Str(list.filePath()) << ", "
           << base.Count() << " in all\n";
    return 0;
  }
  WriteNewBase(Str(list.absoluteFilePath()), base, BaseListHeader(call->Options), call->Force);
  cx.Out << base.Count() << " entries written to " << Str(list.filePath()) << "\n";
  return 0;
}

}  // namespace ormax
