// The "Calibration" options: "OFF" puts the meter on its linear response
// ("S"), "ON" on its look-up table ("L"). Either one then sends the current
// scale point again so that the meter's needle moves to where that point lies
// under the new mode. The drawn needle shows positions, not calibrated
// deflections, so it stays where it is.
#include "shell/frmMain.h"

#include "link/CommControl.h"
#include "shell/qzGlobals.h"

using namespace qzGlobals;

namespace {

// Mode command, then the scale point that CYCLE reached last on the face shown.
void SendCalibration(frmMain& form, const char* modeCommand)
{
    // Start-up selects "OFF" itself; that must not reach a meter.
    if (FormLoading)
        return;
    // Without an open port only the option buttons change; nothing is kept
    // for later.
    if (!form.Comm1().PortOpen())
        return;
    form.Com_Send(QString::fromLatin1(modeCommand));
    const int16_t position = form.ScalePoints.at(form.CycleIndex).at(ScaleType);
    form.Com_Send(QStringLiteral("N") + form.Format_Position(position));
}

}  // namespace

void frmMain::optLIN_Click()
{
    SendCalibration(*this, "S");
}

void frmMain::optLUT_Click()
{
    SendCalibration(*this, "L");
}
