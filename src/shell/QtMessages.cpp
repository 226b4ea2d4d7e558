#include "shell/QtMessages.h"

#include "shell/Console.h"
#include "shell/StandardStreams.h"
#include "shell/WriteAll.h"

#include <QtGlobal>

namespace {

// Made once, for the rest of the process: Qt may warn at any moment until
// the very end.
StandardError* g_console = nullptr;

void Handle(QtMsgType type, const QMessageLogContext& context, const QString& message)
{
    const QString line = qFormatLogMessage(type, context, message);
    if (type != QtFatalMsg) {
        g_console->Say(line);
        return;
    }
    if (!StandardStreams::WasClosed(2))
        WriteAll(2, (line + '\n').toLocal8Bit());
}

}  // namespace

namespace QtMessages {

void Route()
{
    if (!g_console)
        g_console = new StandardError;
    qInstallMessageHandler(Handle);
}

}  // namespace QtMessages
