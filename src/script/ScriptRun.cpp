#include "script/ScriptRun.h"

#include "script/BoxAnswerer.h"
#include "script/DialogAsker.h"
#include "script/FrameWatch.h"
#include "script/HandsOff.h"
#include "script/ScriptPlayer.h"
#include "script/ScriptReader.h"
#include "script/SearchReport.h"
#include "script/TerminalAsker.h"
#include "script/TextOutput.h"
#include "shell/CommandLine.h"
#include "shell/SessionEnd.h"
#include "shell/StandardStreams.h"
#include "shell/Terminal.h"
#include "shell/frmMain.h"
#include "shell/qzStartup.h"

#include <QCoreApplication>
#include <QFile>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>

namespace ScriptRun {

std::optional<QList<ScriptAction>> Load(const QString& path, bool show, const Terminal& terminal)
{
    QFile file(path);
    const bool standardInput = path == QLatin1String("-");
    // A standard input that was closed is no script, not an empty one.
    const bool closed = standardInput && StandardStreams::WasClosed(0);
    const bool open = !closed && (standardInput ? file.open(stdin, QIODevice::ReadOnly) : file.open(QIODevice::ReadOnly));
    const QByteArray text = open ? file.readAll() : QByteArray();
    if (!open || file.error() != QFileDevice::NoError) {
        const QString why = closed ? QString::fromLocal8Bit(std::strerror(EBADF)) : file.errorString();
        std::fprintf(stderr, "%s: cannot read the script '%s': %s\n", CommandLine::ProgramName,
                     path.toLocal8Bit().constData(), why.toLocal8Bit().constData());
        return std::nullopt;
    }
    const ScriptReader::Result script = ScriptReader::Read(QString::fromUtf8(text), path);
    if (!script.error.isEmpty()) {
        std::fprintf(stderr, "%s\n", script.error.toLocal8Bit().constData());
        return std::nullopt;
    }
    for (const ScriptAction& action : script.actions) {
        if (action.kind == ScriptAction::Kind::Ask && !show && !terminal.Present()) {
            std::fprintf(stderr, "%s:%d: ask needs --show or a terminal to ask on\n", path.toLocal8Bit().constData(),
                         action.line);
            return std::nullopt;
        }
    }
    return script.actions;
}

int Main(const QList<ScriptAction>& actions, const QString& path, bool show, Terminal& terminal,
         EventReport::Format format, LineTrace* trace, Console* console)
{
    // SIGPIPE is ignored from the start: a reader of the report that goes
    // away makes writing to it fail with EPIPE, which is said once.
    qzStartup::SystemPlatform system(trace, console);
    DescriptorOutput out(StandardStreams::Output(), EventReport::DroppedMarker(format),
                         QStringLiteral("standard output"), *system.platform.console);
    FrameWatch frames(*system.platform.comm);
    EventReport report(*system.platform.clock, out, *system.platform.console, format);
    BoxAnswerer boxes(*system.platform.clock, report);
    SearchReport searches(report);
    Platform platform = system.platform;
    platform.comm = &frames;
    platform.messages = &boxes;
    platform.searchLog = &searches;

    frmMain form(platform);
    HandsOff hands(form);
    std::unique_ptr<Asker> asker;
    if (show)
        asker = std::make_unique<DialogAsker>(form, hands, path);
    else
        asker = std::make_unique<TerminalAsker>(terminal);
    ScriptPlayer player(form, frames, boxes, *asker, report, actions);
    SessionEnd sessionEnd([&player](int signal) { player.Interrupted(signal); });
    form.Form_Load();
    form.show();
    QCoreApplication::processEvents();
    player.Start();
    form.Form_Activate();
    player.ReportEnd();
    return player.Status();
}

}  // namespace ScriptRun
