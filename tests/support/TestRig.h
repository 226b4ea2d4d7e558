#pragma once
// A main window on fake surroundings: in-memory serial ports, message boxes that must be expected, the real monotonic
// clock. Globals are reset for every rig.
#include "FakeMessageBoxes.h"
#include "HeardConsole.h"
#include "MemoryCommControl.h"
#include "Shows.h"
#include "shell/Clock.h"
#include "shell/Platform.h"
#include "shell/qzGlobals.h"

#include <QTimer>
#include <memory>

struct TestRig {
    MonotonicClock clock;
    MemoryCommControl comm;
    FakeMessageBoxes messages;
    HeardConsole console;
    Platform platform{.comm = &comm, .clock = &clock, .messages = &messages, .console = &console};
    std::unique_ptr<frmMain> form;

    TestRig() { qzGlobals::ResetGlobals(); }
    // Builds the window; with load, runs Form_Load as start-up does.
    frmMain& Make(bool load = true)
    {
        form = std::make_unique<frmMain>(platform);
        if (load)
            form->Form_Load();
        return *form;
    }
};
