// Commands: the subcommands of ormax-cli, run in-process so that tests can call them.
//   RunCli(arguments, out, err): codes, base, recognize, evaluate, view; --help for
//   each, --version
// Exit status: 0 success, 2 usage error, 1 an input that could not be processed
// (one line per problem on err, naming the file). Needs a QGuiApplication (codes and
// base, which draw nothing, a QCoreApplication).
#pragma once

#include <QStringList>
#include <ostream>

namespace ormax {

// arguments[0] is the program name. A progress line goes to err when
// errIsTerminal and there are several inputs.
int RunCli(const QStringList& arguments, std::ostream& out, std::ostream& err,
           bool errIsTerminal = false);

}  // namespace ormax
