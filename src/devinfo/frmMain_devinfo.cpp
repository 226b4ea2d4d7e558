// Tools / Device Info (placeholder).
#include "shell/frmMain.h"

void frmMain::mnuDeviceInfo_Click() {}
