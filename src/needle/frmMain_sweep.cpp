// Sweep and cycle (placeholder).
#include "shell/frmMain.h"

void frmMain::cmdSweep_Click() {}
void frmMain::cmdCycle_Click() {}
QString frmMain::Format_Position(const int16_t&) const { return {}; }
