// Calibration OFF / ON (placeholder).
#include "shell/frmMain.h"

void frmMain::optLIN_Click() {}
void frmMain::optLUT_Click() {}
