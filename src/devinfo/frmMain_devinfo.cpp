// Tools / Device Info.
#include "devinfo/frmDevInfo.h"
#include "shell/frmMain.h"

void frmMain::mnuDeviceInfo_Click()
{
    // A new window for every showing: the list starts empty and every query
    // is made again before the window appears.
    frmDevInfo info(m_platform, this);
    info.Form_Load();
    info.exec();
}
