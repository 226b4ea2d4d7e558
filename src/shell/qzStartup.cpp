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

struct SystemPlatform::Parts {
    MonotonicClock clock;
    QtCommControl serial;
    std::optional<TracingCommControl> traced;
    QtMessageBoxes messages;
    SystemClipboard clipboard;
    RuntimeChipIdLibrary chipId;
    std::unique_ptr<Registry> registry = MakeSystemRegistry();
    SystemProcessLauncher launcher;
    StandardError standardError;
};

SystemPlatform::SystemPlatform(LineTrace* trace, Console* console) : m_parts(std::make_unique<Parts>())
{
    Parts& p = *m_parts;
    platform.comm = &p.serial;
    if (trace)
        platform.comm = &p.traced.emplace(p.serial, *trace);
    platform.clock = &p.clock;
    platform.messages = &p.messages;
    platform.clipboard = &p.clipboard;
    platform.chipId = &p.chipId;
    platform.registry = p.registry.get();
    platform.launcher = &p.launcher;
    platform.trace = trace;
    platform.console = console ? console : &p.standardError;
}

SystemPlatform::~SystemPlatform() = default;

int Main(LineTrace* trace, Console* console)
{
    SystemPlatform system(trace, console);
    frmMain form(system.platform);
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
