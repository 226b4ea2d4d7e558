#pragma once
// A main window as a successful connection leaves it, with a meter stand-in
// that runs a scripted action after the n-th frame it receives.
#include "TestRig.h"
#include "Timing.h"

#include <QPushButton>
#include <QTimer>
#include <functional>
#include <map>

using Frames = QList<QByteArray>;

class FrameScript final : public MemoryDevice {
public:
    // At(3, ...) acts once the third frame has arrived. The action is posted,
    // so it reaches the program as a click does: inside its next wait.
    std::map<int, std::function<void()>> At;
    void Received(MemoryCommControl&, const QByteArray&) override
    {
        if (const auto it = At.find(++m_count); it != At.end())
            QTimer::singleShot(0, it->second);
    }

private:
    int m_count = 0;
};

// Comm1 open on port 1 with a FrameScript behind it, Connected, the needle
// buttons enabled and the Connect button offering "Disconnect"; no frames yet.
inline FrameScript& Connect(TestRig& rig)
{
    auto meter = std::make_shared<FrameScript>();
    rig.comm.SetPort(1, MemoryCommControl::PortState::Available, meter);
    rig.comm.setCommPort(1);
    rig.comm.setPortOpen(true);
    qzGlobals::PortNumber = qzGlobals::SavedPort = 1;
    rig.form->Connected = true;
    for (QPushButton* b : {rig.form->cmdSweep, rig.form->cmdLeft, rig.form->cmdRight})
        b->setEnabled(true);
    rig.form->cmdConnect->setText(QStringLiteral("Disconnect"));
    rig.comm.ClearLog();
    return *meter;
}

// Ends a sweep that a broken stop path would leave running, so that such a
// fault fails the frame checks instead of hanging the test.
inline void Guard(frmMain& form)
{
    const int ms = int(15000 * Timing::Scale());
    QTimer::singleShot(ms, &form, [&form] { form.StopSweep = qzGlobals::QuitRequested = true; });
}
