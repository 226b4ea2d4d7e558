// The drawn needle and the stop buttons (placeholder).
#include "shell/frmMain.h"

void frmMain::Update_Needle(const int16_t&) {}
void frmMain::cmdLeft_Click() {}
void frmMain::cmdRight_Click() {}
