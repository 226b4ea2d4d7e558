// Ports another program holds, as a search meets them. On a shared test
// station other instances of the utility probe and search the same ports,
// and terminal programs hold theirs for hours. A port held when the search
// reaches it is not a vanished port and no reason to end the program: it
// gets one short grace, in case the hold was only another instance's probe
// (microseconds on a pseudo-terminal, tens of milliseconds on a USB
// adapter), and is otherwise passed by without a byte. The whole grace is
// given even when a look sees no lock, since an open may still find a hold
// that shows to nothing else (exclusive mode). The connection is made only
// on the very device that answered.
#include "shell/frmMain.h"

#include "link/CommControl.h"
#include "link/LineTrace.h"
#include "link/SearchLog.h"
#include "shell/Clock.h"
#include "shell/qzGlobals.h"

#include <QAction>
#include <QLabel>

#include <algorithm>

using namespace qzGlobals;

namespace {

// The grace: the port is looked at again every GraceStep seconds for up to
// GraceSeconds, with window events handled in between, and opened whenever
// no lock is seen.
constexpr double GraceStep = 0.010;
constexpr double GraceSeconds = 0.100;

}  // namespace

bool frmMain::Open_Unless_Held()
{
    CommControl& comm = Comm1();
    Com_Open();
    // Opened, or failed for a reason of its own (that has been said).
    if (comm.PortOpen() || !comm.HeldBy())
        return true;
    // Looking touches nothing: only while no hold shows is it opened again.
    DeviceAccess::Holder holder = *comm.HeldBy();
    Clock& clock = *platform().clock;
    const double start = clock.Timer();
    for (double left = GraceSeconds; left > 0; left = GraceSeconds - Delays::Since(start, clock.Timer())) {
        TDelay(std::min(GraceStep, left) / Delays::Tick);
        if (const auto looked = comm.LookForHolder()) {
            holder = *looked;
            continue;
        }
        Com_Open();
        // Opened, or failed for a reason of its own (said by Com_Open).
        if (comm.PortOpen() || !comm.HeldBy())
            return true;
        holder = *comm.HeldBy();
    }
    Note_Busy(holder);
    return false;
}

bool frmMain::Reach_Meter()
{
    // The device that answered, known by its descriptor while the probe
    // still has it open; then what its name leads to once it is closed, and
    // what the open for the connection reached.
    const QString answered = Comm1().Identity();
    Com_Close();
    const QString named = Comm1().Identity();
    bool reached = false;
    // A name that leads nowhere now goes on to the open, which fails as for
    // any port that vanished (Com_Open says so, and the program ends).
    if (!named.isEmpty() && named != answered) {
        // Unplugged, and something else plugged in under its name meanwhile.
        Note_Skipped(QStringLiteral("another device has this name now"));
    } else if (Open_Unless_Held()) {
        const QString opened = Comm1().Identity();
        // Not open: it failed to open for a reason of its own, said already.
        reached = !Comm1().PortOpen() || opened == answered;
        if (!reached) {
            Com_Close();
            Note_Skipped(QStringLiteral("another device has this name now"));
        }
    }
    if (reached)
        return true;
    // As if this port had not answered (held: said by Open_Unless_Held).
    Blank_Identity();
    mnuSourcePortComm[SavedPort]->setChecked(false);
    return false;
}

void frmMain::Note_Busy(const DeviceAccess::Holder& holder)
{
    const QString device = Comm1().DevicePath();
    if (LineTrace* trace = platform().trace)
        trace->Busy(PortNumber, device, holder);
    if (SearchLog* log = platform().searchLog)
        log->Busy(PortNumber, device, holder);
}

void frmMain::Note_Unavailable(int port)
{
    const Refused& refused = m_refused[port];
    // A port with no device, or one this user may not use, passes silently.
    if (refused.reason.isEmpty())
        return;
    if (LineTrace* trace = platform().trace)
        trace->Unavailable(port, refused.device, refused.reason);
    if (SearchLog* log = platform().searchLog)
        log->Unavailable(port, refused.device, refused.reason);
}

void frmMain::Note_Skipped(const QString& reason)
{
    const QString device = Comm1().DevicePath();
    if (LineTrace* trace = platform().trace)
        trace->Skipped(PortNumber, device, reason);
    if (SearchLog* log = platform().searchLog)
        log->Skipped(PortNumber, device, reason);
}
