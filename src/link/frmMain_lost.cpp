// The meter's port stops working while connected: the adapter was pulled, or
// the meter switched off and took its USB serial chip with it. The program
// never reads back from a connected meter, so the port itself is what tells:
// the serial control reports the loss once, from the event loop.
#include "shell/frmMain.h"

#include "link/CommControl.h"
#include "shell/AppTitle.h"
#include "shell/MessageBoxes.h"
#include "shell/qzGlobals.h"

#include <QAction>
#include <QPushButton>

using namespace qzGlobals;

void frmMain::Comm1_DeviceLost()
{
    // During a search a port that goes away is only a port without a meter,
    // and a port left open by a probe that found none holds no meter either.
    if (!Connected)
        return;

    const int16_t port = PortNumber;
    const QString device = Comm1().DevicePath();
    // As Disconnect leaves the window, but with nothing sent: there is nobody
    // to send "I" to. Clearing Connected also ends a running sweep before its
    // next step, and a LEFT or RIGHT waiting to send its stop.
    Forget_Meter();
    mnuSourcePortComm[SavedPort]->setChecked(false);  // the meter's port, 1 to 16
    cmdSweep->setEnabled(false);
    cmdLeft->setEnabled(false);
    cmdRight->setEnabled(false);
    cmdConnect->setEnabled(true);

    Show_Message(QStringLiteral("Lost the meter on Comm%1 (%2): it was unplugged or switched off. "
                                             "Plug it back in and press Connect.")
                                  .arg(port)
                                  .arg(device),
                              QLatin1String(AppTitle), MessageBoxes::Icon::Critical, MessageBoxes::Buttons::Ok);
}
