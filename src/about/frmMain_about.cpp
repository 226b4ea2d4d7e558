// Help / About.
#include "about/frmAbout.h"
#include "shell/frmMain.h"

void frmMain::mnuhelpAbout_Click()
{
    // A new window for every showing; it is gone when this returns.
    frmAbout about(m_platform, this);
    about.Form_Load();
    about.exec();
}
