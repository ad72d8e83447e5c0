// Commands: ormax-cli's entry: the overview, and each command handed to its own unit.
//   RunCli
// A usage error gives exit status 2 and a hint to the command's --help; any other
// error that reaches here gives 1. --version prints "ormax-cli VERSION".
#include "cli/Commands.h"

#include <map>

#include "cli/BaseCommand.h"
#include "cli/CodesCommand.h"
#include "cli/EvaluateCommand.h"
#include "cli/RecognizeCommand.h"
#include "cli/ViewCommand.h"

namespace ormax {

namespace {

const char* const kOverview =
    "Usage: ormax-cli COMMAND [options] FILES...\n"
    "Recognises shapes in pictures (BMP, PNG and the other formats Qt reads).\n\n"
    "Commands:\n"
    "  codes      the code of every region of each scene, one code file per region\n"
    "  base       a base (list file and code files) from one-shape pictures\n"
    "  recognize  the nearest base entry of every region of each scene\n"
    "  evaluate   how well a base recognises turned, scaled copies of known shapes\n"
    "  view       any view of the desktop program, written as a BMP picture\n\n"
    "Options:\n"
    "  -h, --help  Shows this help.\n"
    "  --version   Prints the version.\n\n"
    "'ormax-cli COMMAND --help' describes a command.\n";

}  // namespace

int RunCli(const QStringList& arguments, std::ostream& out, std::ostream& err, bool errIsTerminal) {
  const TCliContext cx{out, err, errIsTerminal};
  if (arguments.size() < 2 || arguments[1] == "--help" || arguments[1] == "-h" ||
      arguments[1] == "help") {
    (arguments.size() < 2 ? err : out) << kOverview;
    return arguments.size() < 2 ? ExitUsage : 0;
  }
  if (arguments[1] == "--version") {
    out << "ormax-cli " << ORMAX_VERSION << "\n";
    return 0;
  }
  const QString command = arguments[1];
  QStringList rest = arguments.mid(2);
  // The command's name as typed, not the binary's path: it heads the usage line.
  rest.prepend("ormax-cli " + command);
  static const std::map<QString, int (*)(const QStringList&, const TCliContext&)> commands = {
      {"codes", RunCodes}, {"base", RunBase}, {"recognize", RunRecognize}, {"evaluate", RunEvaluate},
      {"view", RunView}};
  const auto it = commands.find(command);
  if (it == commands.end()) {
    err << "ormax-cli: unknown command '" << Str(command) << "'\n\n" << kOverview;
    return ExitUsage;
  }
  try {
    return it->second(rest, cx);
  } catch (const EUsage& e) {
    err << "ormax-cli " << Str(command) << ": " << e.what() << "\n"
        << "Try 'ormax-cli " << Str(command) << " --help'.\n";
    return ExitUsage;
  } catch (const std::exception& e) {
    err << "ormax-cli: " << ProblemText(e) << "\n";
    return ExitInputFailed;
  }
}

}  // namespace ormax
