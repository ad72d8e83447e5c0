// Options: what the commands of ormax-cli share: where they write, their exit
// statuses, the usage error, parsing with --help, and the options several take.
//   TCliContext, ExitUsage, ExitInputFailed, EUsage, ParseCommand, Option, FileArguments,
//   WholeOption, LevelOption, ErrorOption, JobsOption and AddJobsOption, FormatOption and
//   AddFormatOption, AddReadingOptions, ReadingOption, AddBaseOptions, ReadBaseOptions,
//   Str, Stem, ProblemText, ReportProblems, ReportWarnings
// A wrong value throws EUsage with a message naming the option; RunCli turns it into
// exit status 2 and a hint to the command's --help.
#pragma once

#include <QCommandLineParser>
#include <QStringList>
#include <cstdint>
#include <ostream>
#include <stdexcept>
#include <string>
#include <vector>

#include "app/BaseBuilder.h"
#include "app/SceneReading.h"

namespace ormax {

inline constexpr int ExitUsage = 2;
inline constexpr int ExitInputFailed = 1;

struct TCliContext {
  std::ostream& Out;
  std::ostream& Err;
  bool ErrIsTerminal = false;  // a progress line goes to Err when it is a terminal
};

class EUsage : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

std::string Str(const QString& s);
// The picture's file name without folder and last extension.
std::string Stem(const QString& file);

QCommandLineOption Option(const QStringList& names, const QString& help, const QString& value = {});

// Parses one command's arguments (arguments[0] names the command, "ormax-cli recognize")
// after adding -h; returns false when --help was asked, the help then written to Out
// with the usage line "Usage: ormax-cli recognize [options] scenes…" (filesName last).
bool ParseCommand(QCommandLineParser& parser, const QStringList& arguments, const TCliContext& cx,
                  const QString& description, const QString& files,
                  const QString& filesName = QStringLiteral("files…"));

// A whole-number option from lowest to highest, or fallback when it is not given. A
// refusal names the option, the numbers it takes and the value it got.
int64_t WholeOption(const QCommandLineParser& p, const QString& name, int64_t lowest,
                    int64_t highest, int64_t fallback);
// A tree level, from 0 to the deepest a tree is built to.
int32_t LevelOption(const QCommandLineParser& p, const QString& name, int32_t fallback);
double ErrorOption(const QCommandLineParser& p, double fallback);
// Inputs worked on at once; the number of cores when not given.
int32_t JobsOption(const QCommandLineParser& p);
// "table", "csv" or "json".
std::string FormatOption(const QCommandLineParser& p);
// -f/--format, which FormatOption reads.
void AddFormatOption(QCommandLineParser& p);
// -j/--jobs, which JobsOption reads; what names what the jobs work on ("Scenes"), also
// what else the number sets, after a comma.
void AddJobsOption(QCommandLineParser& p, const QString& what, const QString& also = QString());
// The command's file arguments; a usage error "COMMAND needs at least one WHAT" when
// there are none.
QStringList FileArguments(const QCommandLineParser& p, const std::string& command,
                          const std::string& what);

// --background and --min-pixels, which every command that reads scenes takes; for a
// command given a base, baseDecides says that the base's list decides by default.
void AddReadingOptions(QCommandLineParser& p, bool baseDecides = false);

// --level, --error, --turns, --mirror and --scales: how a base's entries are made.
void AddBaseOptions(QCommandLineParser& p);
// The options given, over options' values (the defaults of TBaseOptions).
void ReadBaseOptions(const QCommandLineParser& p, TBaseOptions& options);
// The reading they ask for; fallback where neither is given (recognize's: the base's).
// --background alone brings its own default speck size.
TSceneReading ReadingOption(const QCommandLineParser& p, const TSceneReading& fallback = {});

// What an error says on one line: for a file's error its reason too ("Cannot create
// file out.bmp (Permission denied)").
std::string ProblemText(const std::exception& e);

// Writes "ormax-cli: warning: <warning>" for every warning that is not empty.
void ReportWarnings(const TCliContext& cx, const std::vector<std::string>& warnings);

// Writes "ormax-cli: <problem>" for every problem that is not empty; returns
// ExitInputFailed when there was one, else 0.
int ReportProblems(const TCliContext& cx, const std::vector<std::string>& problems);

}  // namespace ormax
