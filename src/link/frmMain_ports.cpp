// Probing, opening and closing the one serial port, Comm1.
#include "shell/frmMain.h"

#include "link/CommControl.h"
#include "shell/MessageBoxes.h"
#include "shell/qzGlobals.h"

#include <QAction>

using namespace qzGlobals;

namespace {
// The meter's line: 9600 baud, no parity, 8 data bits, 1 stop bit.
constexpr char LineSettingsText[] = "9600,n,8,1";
constexpr int ReceiveBufferBytes = 100;
constexpr int NoHandshaking = 0;
constexpr int CharsPerRead = 1;
}  // namespace

void frmMain::Init_Ports()
{
    CommControl& comm = Comm1();

    // Every failure while probing only marks that port unavailable.
    Com_Close();
    // One reading of the system's ports for all sixteen numbers.
    comm.RescanPorts();
    PortAvailable[0] = false;
    PortHeld[0] = false;
    for (int i = 1; i <= 16; ++i) {
        PortAvailable[i] = true;
        PortHeld[i] = false;
        m_refused[i] = {};
        // Each step is tried even when the one before failed, as a trapped
        // error would let it: the port counts only if all three work.
        const bool numbered = comm.setCommPort(i);
        if (!numbered)
            PortAvailable[i] = false;
        if (!comm.setPortOpen(true)) {
            PortAvailable[i] = false;
            // Another program's: left alone (not even opened), but there.
            PortHeld[i] = numbered && comm.HeldBy().has_value();
            if (numbered && comm.RefusedFor())
                m_refused[i] = {comm.DevicePath(), *comm.RefusedFor()};
        }
        if (!comm.setPortOpen(false))
            PortAvailable[i] = false;
    }

    // The Port menu lists exactly the ports found, greyed and unticked;
    // "None" only when there are none.
    mnuSourcePortComm[0]->setVisible(true);
    for (int i = 1; i <= 16; ++i) {
        QAction* entry = mnuSourcePortComm[i];
        entry->setChecked(false);
        if (PortAvailable[i])
            Show_Port_Entry(i);
        else
            entry->setVisible(false);
    }
}

void frmMain::Show_Port_Entry(int port)
{
    QAction* entry = mnuSourcePortComm[port];
    entry->setText(QStringLiteral("Comm%1:").arg(port));
    entry->setVisible(true);
    entry->setEnabled(false);
    mnuSourcePortComm[0]->setVisible(false);
}

void frmMain::Com_Open()
{
    CommControl& comm = Comm1();
    if (comm.PortOpen() || PortNumber == 0)
        return;

    // Each setting only if the one before it worked.
    const bool opened = comm.setCommPort(PortNumber) && comm.setSettings(QLatin1String(LineSettingsText)) &&
                        comm.setInBufferSize(ReceiveBufferBytes) && comm.setHandshaking(NoHandshaking) &&
                        comm.setInputLen(CharsPerRead) && comm.setPortOpen(true) && comm.setRTSEnable(true);
    if (opened)
        return;
    // Another program holds it: not an error of ours, and not a port that
    // vanished. It is left to its holder; the search passes it by.
    if (comm.HeldBy())
        return;

    Show_Message(QStringLiteral("Error Opening Comm%1:%2").arg(PortNumber).arg(LineSettingsText),
                 QStringLiteral("Open Comms Port"), MessageBoxes::Icon::Critical, MessageBoxes::Buttons::Ok);
    // The program ends once control is back in the main loop.
    QuitRequested = true;
}

void frmMain::Com_Close()
{
    CommControl& comm = Comm1();
    if (comm.PortOpen())
        comm.setPortOpen(false);
}
