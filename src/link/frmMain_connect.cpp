// Connect / Disconnect: finding the meter on the ports and letting it go.
#include "shell/frmMain.h"

#include "link/LineTrace.h"
#include "shell/MessageBoxes.h"
#include "shell/qzGlobals.h"

#include <QAction>
#include <QLabel>
#include <QPushButton>

using namespace qzGlobals;

bool frmMain::Check_Version()
{
    lblInfo->setText(QStringLiteral("Checking Port %1 for Hardware").arg(PortNumber));

    Com_Close();
    // Another program's port is passed by without a byte.
    if (!Open_Unless_Held())
        return false;

    if (!Quiet_Line_Check()) {
        // Something that never falls quiet is no meter.
        Com_Close();
        return false;
    }
    // Quiet but no meter's answer: the port stays open until the next close.
    if (!Com_Input_Vers())
        return false;

    lblFirm->setText(FwVersion);
    lblHard->setText(SerialNumber);
    lblSerialNum->setVisible(true);
    lblFw->setVisible(true);
    lblHard->setVisible(true);
    lblFirm->setVisible(true);
    // A port held at the probe and let go in its grace is listed now.
    Show_Port_Entry(SavedPort);
    mnuSourcePortComm[SavedPort]->setChecked(true);
    if (LineTrace* trace = platform().trace)
        trace->Identity(PortNumber, SerialNumber, FwVersion);
    return true;
}

void frmMain::cmdConnect_Click()
{
    cmdConnect->setEnabled(false);
    cmdSweep->setEnabled(false);
    cmdLeft->setEnabled(false);
    cmdRight->setEnabled(false);
    lblTitle->setText(QStringLiteral("Searching for meter"));

    // The button's caption says which way it goes.
    const QString caption = cmdConnect->text();
    if (caption == QLatin1String("Connect")) {
        Init_Ports();
        lblInfo->setVisible(true);
        lblTitle->setVisible(true);
        lblInfo->setText(QStringLiteral("Establishing connection to meter"));

        bool found = false;
        for (;;) {
            // Every pass looks at the ports afresh, from Comm1 upwards.
            Init_Ports();
            for (int16_t i = 1; i <= 16 && !found; ++i) {
                // A port another program held at the probe is looked at
                // too: the hold may have been brief.
                if (!PortAvailable[i] && !PortHeld[i]) {
                    Note_Unavailable(i);
                    continue;
                }
                SavedPort = i;
                PortNumber = i;
                // The connection is a fresh open of the meter's port; a
                // port that is not the meter's any more is no find.
                found = Check_Version() && Reach_Meter();
            }
            if (found) {
                Connected = true;
                lblInfo->setVisible(false);
                lblTitle->setVisible(false);
                break;
            }

            lblInfo->setVisible(false);
            lblTitle->setVisible(false);
            // When the program is already on its way out (Exit chosen during
            // the search, or a port that failed to open) there is nobody to
            // ask: offering another pass would only keep it from ending.
            MessageBoxes::Answer answer = MessageBoxes::Answer::Cancel;
            if (!QuitRequested) {
                answer = Show_Message(
                    QStringLiteral("No meter detected\r\n"
                                   "Retry - First check meter is connected and turned on.\r\n"
                                   "Otherwise - Cancel"),
                    QStringLiteral("qz Firmware Upgrade "), MessageBoxes::Icon::Critical,
                    MessageBoxes::Buttons::RetryCancel);
            }
            if (answer != MessageBoxes::Answer::Retry) {
                SavedPort = 0;
                PortNumber = 0;
                break;
            }
            lblInfo->setVisible(true);
            lblTitle->setVisible(true);
        }

        if (found) {
            cmdConnect->setText(QStringLiteral("Disconnect"));
            cmdSweep->setEnabled(true);
            cmdLeft->setEnabled(true);
            cmdRight->setEnabled(true);
            cmdSweep->setFocus();
            // On the port opened afresh (Reach_Meter): linear response.
            Com_Send(QStringLiteral("S"));
            // Exit (or the end of the session) came during the search: the
            // meter it found is let go as Exit lets go of an open port,
            // rather than left selected.
            if (QuitRequested)
                Release_Meter();
        }
    } else if (caption == QLatin1String("Disconnect")) {
        Com_Send(QStringLiteral("I"));
        Forget_Meter();
    }

    cmdConnect->setEnabled(true);
}

void frmMain::Forget_Meter()
{
    Connected = false;
    Com_Close();
    Blank_Identity();
    cmdConnect->setText(QStringLiteral("Connect"));
}

void frmMain::Blank_Identity()
{
    lblFirm->setText(QString());
    lblHard->setText(QString());
    lblSerialNum->setVisible(false);
    lblFw->setVisible(false);
    lblHard->setVisible(false);
    lblFirm->setVisible(false);
}
