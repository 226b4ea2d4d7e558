// "SWEEP" runs the needle up and down the whole range at the pace of the
// "Sweep Speed" slider; "CYCLE" steps it to the next scale point of the face
// shown. Format_Position turns a position into the meter's three hex digits.
#include "shell/frmMain.h"

#include "link/CommControl.h"
#include "shell/qzGlobals.h"

#include <QCoreApplication>
#include <QPushButton>
#include <QSlider>

using namespace qzGlobals;

namespace {

constexpr int16_t TopPosition = 4095;   // last position of a ramp (0xFFF)
constexpr int SweepStartSpeed = 54;     // slider value every sweep starts with

// The three ways a running sweep is told to end: Disconnect clears
// Connected, Exit sets QuitRequested, LEFT and RIGHT set StopSweep.
bool SweepMustStop(const frmMain& form)
{
    return !form.Connected || QuitRequested || form.StopSweep;
}

}  // namespace

QString frmMain::Format_Position(const int16_t& position) const
{
    // Upper-case hex of the 16-bit value, at least three digits; a value past
    // 0xFFF keeps all its digits.
    QString text = QString::number(static_cast<uint16_t>(position), 16).toUpper();
    while (text.size() < 3)
        text.prepend(QLatin1Char('0'));
    return text;
}

void frmMain::cmdSweep_Click()
{
    // "SWEEP" stays enabled during the pause before the sweep starts. A second
    // click then would start another sweep nested in this one, and when LEFT
    // or RIGHT stopped the inner one this one would start sweeping by itself.
    // So a click while a sweep is starting or running is ignored.
    if (m_sweepActive)
        return;
    m_sweepActive = true;
    struct ActiveUntilReturn {
        bool& flag;
        ~ActiveUntilReturn() { flag = false; }
    } active{m_sweepActive};

    SldSpeed->setValue(SweepStartSpeed);
    StopSweep = true;
    const int16_t pause = 1;
    SDelay(pause);

    // A Disconnect or Exit during the pause has already left the buttons as
    // they should be; enabling LEFT and RIGHT now would offer the stop
    // commands on a closed port.
    if (!Connected || QuitRequested)
        return;

    cmdSweep->setEnabled(false);
    cmdLeft->setEnabled(true);
    cmdRight->setEnabled(true);
    SldSpeed->setEnabled(true);
    StopSweep = false;

    // One step: draw, tell the meter, wait one tick while the window works.
    // The sweep sends without asking whether the port is open; Connected
    // stands for that.
    auto step = [this](int16_t position) {
        Update_Needle(position);
        Com_Send(QStringLiteral("N") + Format_Position(position));
        TDelay(1);
        QCoreApplication::processEvents(QEventLoop::AllEvents);
    };
    // The step is read from the slider every time, so moving it changes the
    // pace at once. The sum is formed wide before it is stored.
    auto advance = [this](int16_t k) {
        return static_cast<int16_t>(static_cast<int32_t>(k) + SldSpeed->value());
    };

    // Up ramp: 0, step, 2 * step, ... while not past the top; then the down
    // ramp: 4095, 4095 - step, ...; and over again until told to stop.
    for (;;) {
        for (const bool down : {false, true}) {
            if (SweepMustStop(*this))
                return;
            for (int16_t k = 0; k <= TopPosition; k = advance(k)) {
                if (SweepMustStop(*this))
                    return;
                step(down ? static_cast<int16_t>(TopPosition - k) : k);
            }
        }
    }
}

void frmMain::cmdCycle_Click()
{
    // TRAD has 13 scale points (column 0), SIMPLE 11 (column 1).
    int rows = 0;
    switch (ScaleType) {
    case 0:
        rows = 13;
        break;
    case 1:
        rows = 11;
        break;
    default:
        return;
    }
    const int column = ScaleType;

    CycleIndex = static_cast<int16_t>((CycleIndex + 1) % rows);
    const int16_t position = ScalePoints[CycleIndex][column];
    if (Comm1().PortOpen())
        Com_Send(QStringLiteral("N") + Format_Position(position));
    // The drawn needle follows even with no meter attached.
    Update_Needle(position);
}
