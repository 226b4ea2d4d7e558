// Help / About (placeholder).
#include "shell/frmMain.h"

void frmMain::mnuhelpAbout_Click() {}
