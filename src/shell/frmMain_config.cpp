// The session file qz_upgrade.cfg (not yet written).
#include "shell/frmMain.h"

bool frmMain::Load_Config() { return false; }
bool frmMain::Save_Config() { return false; }
