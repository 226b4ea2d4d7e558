// Probing, opening and closing the serial port (placeholder).
#include "shell/frmMain.h"

void frmMain::Init_Ports() {}
void frmMain::Com_Open() {}
void frmMain::Com_Close() {}
