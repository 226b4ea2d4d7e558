// The meter's command framing, the quiet-line check and the identity query.
#include "shell/frmMain.h"

#include "link/CommControl.h"
#include "link/Identity.h"
#include "shell/Clock.h"
#include "shell/Delays.h"
#include "shell/qzGlobals.h"

using namespace qzGlobals;

namespace {

// The longest the quiet-line check lets a device go on talking after the
// first "H", seconds.
constexpr double QuietLimit = 2.0;
// The identity line is read from 0.5 s after the "V" for at most 0.2 s.
constexpr double ReplyWait = 0.5;
constexpr double ReplyReadTime = 0.2;

}  // namespace

void frmMain::Com_Send(const QString& command)
{
    // One frame: the command text and a carriage return, in a single write.
    Comm1().Output(command.toLatin1() + '\r');
}

bool frmMain::Quiet_Line_Check()
{
    CommControl& comm = Comm1();
    Clock& clock = *platform().clock;

    Com_Send(QString());
    SDelay(1);

    const double t0 = clock.Timer();
    Com_Send(QStringLiteral("H"));
    TDelay(2);
    Com_Send(QStringLiteral("H"));

    // Anything still arriving after the second "H" is drained, pass after
    // pass, until the line stays quiet or the device has had its time.
    while (comm.InBufferCount() != 0) {
        Com_Send(QStringLiteral("H"));
        TDelay(5);
        while (comm.InBufferCount() > 0)
            comm.Input();
        TDelay(10);
        if (Delays::Since(t0, clock.Timer()) > QuietLimit)
            return false;
    }
    return true;
}

bool frmMain::Com_Input_Vers()
{
    CommControl& comm = Comm1();
    Clock& clock = *platform().clock;

    Com_Send(QStringLiteral("V"));
    const double sent = clock.Timer();

    // Give the meter half a second to answer; the window stays live. `waited`
    // is read from the clock each pass, not counted up, so it cannot drift.
    // NOLINTNEXTLINE(clang-analyzer-security.FloatLoopCounter)
    for (double waited = 0; waited < ReplyWait; waited = Delays::Since(sent, clock.Timer()))
        TDelay((ReplyWait - waited) / Delays::Tick);

    // Then read the line as it stands, character by character, up to its
    // carriage return, for at most 0.2 s and without handling window events.
    QByteArray reply;
    char last = 0;
    const double readStart = clock.Timer();
    for (;;) {
        if (comm.InBufferCount() > 0) {
            const QByteArray got = comm.Input();
            if (!got.isEmpty()) {
                last = got.at(0);
                if (Identity::PassesFilter(last))
                    reply += last;
            }
        }
        if (last == '\r' || Delays::Since(readStart, clock.Timer()) > ReplyReadTime)
            break;
    }

    const Identity::Line line = Identity::Parse(QString::fromLatin1(reply));
    if (!line.recognised)
        return false;
    SerialNumber = line.serialNumber;
    FwVersion = line.fwVersion;
    return true;
}
