// The meter face (placeholder).
#include "shell/frmMain.h"

void frmMain::Draw_Panel() {}
void frmMain::optTrad_Click() {}
void frmMain::optSimple_Click() {}
