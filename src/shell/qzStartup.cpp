#include "shell/qzStartup.h"

#include "about/SystemProcessLauncher.h"
#include "about/SystemRegistry.h"
#include "devinfo/RuntimeChipIdLibrary.h"
#include "devinfo/SystemClipboard.h"
#include "link/QtCommControl.h"
#include "link/TracingCommControl.h"
#include "shell/Clock.h"
#include "shell/Console.h"
#include "shell/MessageBoxes.h"
#include "shell/SessionEnd.h"
#include "shell/frmMain.h"

#include <QCoreApplication>
#include <optional>

namespace qzStartup {

int Main(LineTrace* trace, Console* console)
{
    StandardError standardError;
    MonotonicClock clock;
    QtCommControl serial;
    std::optional<TracingCommControl> traced;
    CommControl* comm = &serial;
    if (trace)
        comm = &traced.emplace(serial, *trace);
    QtMessageBoxes messages;
    SystemClipboard clipboard;
    RuntimeChipIdLibrary chipId;
    const auto registry = MakeSystemRegistry();
    SystemProcessLauncher launcher;

    Platform platform;
    platform.comm = comm;
    platform.clock = &clock;
    platform.messages = &messages;
    platform.clipboard = &clipboard;
    platform.chipId = &chipId;
    platform.registry = registry.get();
    platform.launcher = &launcher;
    platform.trace = trace;
    platform.console = console ? console : &standardError;

    frmMain form(platform);
    // From here on logging off, shutting down, `kill` and Ctrl+C end the
    // program through its Exit path.
    SessionEnd sessionEnd([&form](int) { form.Session_End(); });
    form.Form_Load();
    form.show();
    QCoreApplication::processEvents();
    form.Form_Activate();
    return 0;
}

}  // namespace qzStartup
