#pragma once
// Puts a freshly loaded main window into the state a successful connection
// leaves it in, without the port search: Comm1 open on port 1 with `device`
// behind it, Connected true, the needle buttons enabled and the Connect
// button reading "Disconnect", so that its next click disconnects.
#include "TestRig.h"

#include <QPushButton>
#include <memory>

inline void ConnectDirectly(TestRig& rig, std::shared_ptr<MemoryDevice> device = {})
{
    rig.comm.SetPort(1, MemoryCommControl::PortState::Available, std::move(device));
    rig.comm.setCommPort(1);
    rig.comm.setPortOpen(true);
    qzGlobals::PortNumber = 1;
    qzGlobals::SavedPort = 1;
    frmMain& form = *rig.form;
    form.Connected = true;
    form.cmdSweep->setEnabled(true);
    form.cmdLeft->setEnabled(true);
    form.cmdRight->setEnabled(true);
    form.cmdConnect->setText(QStringLiteral("Disconnect"));
}

