#pragma once
// `--run FILE`: the window, built as always, played by a script instead of a
// person, with the events on standard output and the outcome in the exit
// status (0 every line ran, 1 the meter failed the run or the operator said
// no, 2 a line could not be played, 128 + n after signal n, 130 the window
// closed by hand). While it plays, the window takes no presses by hand but
// its ways out. `ask` lines are put to the operator in a dialog on the
// window with --show, else on the terminal the run was started from.
#include "script/EventReport.h"
#include "script/ScriptAction.h"

#include <QList>
#include <optional>

class LineTrace;
class Console;
class Terminal;

namespace ScriptRun {

// Reads and checks the whole script, FILE or "-" for standard input (read to
// its end). A script that cannot be read or has a mistake is said on
// standard error; the result is then empty. So is a script that asks
// without --show (`show`) when there is no `terminal` to ask on.
std::optional<QList<ScriptAction>> Load(const QString& path, bool show, const Terminal& terminal);

// Plays the script read from `path`; the application object exists. Returns
// the exit status.
int Main(const QList<ScriptAction>& actions, const QString& path, bool show, Terminal& terminal,
         EventReport::Format format, LineTrace* trace, Console* console);

}  // namespace ScriptRun
