// The meter's command framing, the quiet-line check and the identity query.
#include "shell/frmMain.h"

#include "link/CommControl.h"

void frmMain::Com_Send(const QString& command)
{
    // One frame: the command text and a carriage return, in a single write.
    Comm1().Output(command.toLatin1() + '\r');
}

bool frmMain::Quiet_Line_Check() { return false; }
bool frmMain::Com_Input_Vers() { return false; }
