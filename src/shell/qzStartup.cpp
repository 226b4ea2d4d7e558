#include "shell/qzStartup.h"

#include "link/QtCommControl.h"
#include "shell/Clock.h"
#include "shell/MessageBoxes.h"
#include "shell/frmMain.h"

#include <QCoreApplication>

namespace qzStartup {

int Main()
{
    MonotonicClock clock;
    QtCommControl comm;
    QtMessageBoxes messages;

    Platform platform;
    platform.comm = &comm;
    platform.clock = &clock;
    platform.messages = &messages;

    frmMain form(platform);
    form.Form_Load();
    form.show();
    QCoreApplication::processEvents();
    form.Form_Activate();
    return 0;
}

}  // namespace qzStartup
