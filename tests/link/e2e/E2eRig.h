#pragma once
// The program as it runs, minus the screen: a main window on the real serial
// control and the monotonic clock, with recorded message boxes. The port map
// comes from QZ_SERIAL_PORTS, set before the window is built.
#include "FakeMessageBoxes.h"
#include "link/QtCommControl.h"
#include "shell/Clock.h"
#include "shell/Platform.h"
#include "shell/frmMain.h"
#include "shell/qzGlobals.h"

#include <QStringList>

#include <memory>

struct E2eRig {
    MonotonicClock clock;
    QtCommControl comm;
    FakeMessageBoxes messages;
    Platform platform{.comm = &comm, .clock = &clock, .messages = &messages};
    std::unique_ptr<frmMain> form;

    // ports: entry n is the device of Comm n+1 ("" for none).
    explicit E2eRig(const QStringList& ports)
    {
        SetPorts(ports);
        qzGlobals::ResetGlobals();
    }
    ~E2eRig()
    {
        form.reset();
        qunsetenv("QZ_SERIAL_PORTS");
    }

    static void SetPorts(const QStringList& ports) { qputenv("QZ_SERIAL_PORTS", ports.join(',').toLocal8Bit()); }

    // Builds the window, runs its load handler and shows it, as start-up does.
    frmMain& Make()
    {
        form = std::make_unique<frmMain>(platform);
        form->Form_Load();
        form->show();
        return *form;
    }
};
