#include "shell/qzGlobals.h"

namespace qzGlobals {

void ResetGlobals()
{
    FormLoading = false;
    QuitRequested = false;
    AppFolder.clear();
    ScaleType = 0;
    PortAvailable.fill(false);
    PortHeld.fill(false);
    PortNumber = 0;
    SavedPort = 0;
    SerialNumber.clear();
    FwVersion.clear();
}

}  // namespace qzGlobals
