#include "SpinSweep.h"

#include "shell/Clock.h"
#include "shell/frmMain.h"
#include "shell/qzGlobals.h"

#include <QCoreApplication>
#include <QSlider>

namespace {

void SpinTicks(Clock& clock, double ticks)
{
    const double end = clock.Timer() + ticks * 0.054;
    do
        QCoreApplication::processEvents();
    while (clock.Timer() < end);
}

bool MustStop(const frmMain& form)
{
    return !form.Connected || qzGlobals::QuitRequested || form.StopSweep;
}

}  // namespace

namespace SpinSweep {

void Run(frmMain& form, Clock& clock)
{
    auto step = [&](int16_t position) {
        form.Update_Needle(position);
        form.Com_Send(QStringLiteral("N") + form.Format_Position(position));
        SpinTicks(clock, 1);
        QCoreApplication::processEvents();
    };
    for (;;) {
        for (int k = 0; k <= 4095; k += form.SldSpeed->value()) {
            if (MustStop(form))
                return;
            step(static_cast<int16_t>(k));
        }
        for (int k = 0; k <= 4095; k += form.SldSpeed->value()) {
            if (MustStop(form))
                return;
            step(static_cast<int16_t>(4095 - k));
        }
    }
}

}  // namespace SpinSweep
