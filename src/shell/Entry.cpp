#include "shell/Entry.h"

#include "link/LineTrace.h"
#include "link/PortMap.h"
#include "link/PortReport.h"
#include "link/QtCommControl.h"
#include "script/ScriptRun.h"
#include "shell/AppTitle.h"
#include "shell/CommandLine.h"
#include "shell/Console.h"
#include "shell/OutputQueue.h"
#include "shell/QtMessages.h"
#include "shell/StandardOutput.h"
#include "shell/StandardStreams.h"
#include "shell/Terminal.h"
#include "shell/qzStartup.h"

#include <QApplication>
#include <cstdio>
#include <memory>

#ifdef Q_OS_UNIX
#include <signal.h>
#endif

namespace Entry {

namespace {

// The window, or the script played on it; the application object exists
// only in here, so that what it says on its way out is queued too.
int RunWindow(int& argc, char** argv, const CommandLine& command, const std::optional<QList<ScriptAction>>& script,
              Terminal& terminal, LineTrace* trace, Console& console)
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QLatin1String(AppTitle));
    // The main loop decides when the program ends, not the last window.
    QApplication::setQuitOnLastWindowClosed(false);
    if (script)
        return ScriptRun::Main(*script, *command.run, command.show, terminal,
                               command.json ? EventReport::Format::Json : EventReport::Format::Text, trace, &console);
    return qzStartup::Main(trace, &console);
}

}  // namespace

int Run(int& argc, char** argv)
{
    // Before anything is opened, so that nothing takes a closed 0, 1 or 2.
    StandardStreams::Claim();
    StandardOutput::NoteStartingDisposition();
#ifdef Q_OS_UNIX
    // A reader that goes away (standard output or a trace piped into `head`)
    // is a failed write for the program to handle, never the end of a run.
    ::signal(SIGPIPE, SIG_IGN);
#endif

    const CommandLine command = CommandLine::Parse(CommandLine::Arguments(argc, argv));
    if (command.action == CommandLine::Action::Print) {
        if (command.exitStatus != 0) {
            std::fputs(command.message.toLocal8Bit().constData(), stderr);
            return command.exitStatus;
        }
        StandardOutput out;
        out.Write(command.message.toLocal8Bit());
        return out.Status(0);
    }
    // The option is the variable by another name: Connect and the port report
    // read the map from the very same place.
    if (command.ports)
        qputenv(PortMap::OverrideVariable, command.ports->toLocal8Bit());

    if (command.action == CommandLine::Action::ListPorts) {
        StandardOutput out;
        int status = 0;
        {
            // The serial port needs an event loop's company, not a display.
            QCoreApplication app(argc, argv);
            QtCommControl comm;
            status = PortReport::Print(comm, [&out](const QString& line) { return out.Write((line + '\n').toLocal8Bit()); });
        }
        return out.Status(status);
    }

    // A script is read and checked whole before anything is opened.
    std::optional<QList<ScriptAction>> script;
    ControllingTerminal terminal;  // where `ask` asks without --show
    if (command.action == CommandLine::Action::RunScript) {
        script = ScriptRun::Load(*command.run, command.show, terminal);
        if (!script)
            return CommandLine::UsageErrorStatus;
        // Played without a display unless asked to show (-platform still wins).
        if (!command.show)
            qputenv("QT_QPA_PLATFORM", "offscreen");
    }

    // From here on nothing the program says waits for its reader.
    QtMessages::Route();
    StandardError console;
    std::unique_ptr<LineTrace> trace;
    if (command.trace) {
        trace = std::make_unique<LineTrace>(*command.trace, &console);
        if (!trace->IsOpen()) {
            std::fprintf(stderr, "%s: cannot write the trace to '%s': %s\n", CommandLine::ProgramName,
                         command.trace->toLocal8Bit().constData(), trace->ErrorString().toLocal8Bit().constData());
            return CommandLine::UsageErrorStatus;
        }
        trace->Started(CommandLine::VersionLine());
    }

    const int status = RunWindow(argc, argv, command, script, terminal, trace.get(), console);
    // What is still queued gets a second, all outputs together; a reader
    // that has stalled does not keep the program.
    OutputQueue::FinishAll();
    return status;
}

}  // namespace Entry
