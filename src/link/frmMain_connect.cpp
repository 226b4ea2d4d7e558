// Connect / Disconnect (placeholder).
#include "shell/frmMain.h"

bool frmMain::Check_Version() { return false; }
void frmMain::cmdConnect_Click() {}
