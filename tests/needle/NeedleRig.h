#pragma once
// A main window as a successful connection leaves it, and a meter stand-in
// that runs a scripted action after the n-th frame it receives.
#include "TestRig.h"
#include "Timing.h"

#include <QPushButton>
#include <QTimer>
#include <functional>
#include <map>

class FrameScript final : public MemoryDevice {
public:
    // At(3, ...) acts once the third frame has arrived. The action is posted,
    // so it reaches the program as a click does: inside its next wait.
    void At(int frame, std::function<void()> action) { m_actions[frame] = std::move(action); }
    void Received(MemoryCommControl&, const QByteArray&) override
    {
        if (const auto it = m_actions.find(++m_count); it != m_actions.end())
            QTimer::singleShot(0, it->second);
    }

private:
    int m_count = 0;
    std::map<int, std::function<void()>> m_actions;
};

// Comm1 open on port 1 with `meter` behind it, Connected, the needle buttons
// enabled, the Connect button offering "Disconnect"; the log left empty.
inline FrameScript& Connect(TestRig& rig)
{
    auto meter = std::make_shared<FrameScript>();
    rig.comm.SetPort(1, MemoryCommControl::PortState::Available, meter);
    rig.comm.setCommPort(1);
    rig.comm.setPortOpen(true);
    qzGlobals::PortNumber = qzGlobals::SavedPort = 1;
    frmMain& form = *rig.form;
    form.Connected = true;
    for (QPushButton* b : {form.cmdSweep, form.cmdLeft, form.cmdRight})
        b->setEnabled(true);
    form.cmdConnect->setText(QStringLiteral("Disconnect"));
    rig.comm.ClearLog();
    return *meter;
}

// Ends a sweep that a broken stop path would leave running, so that such a
// fault fails the test's frame checks instead of hanging it.
inline void Guard(frmMain& form, double seconds = 15)
{
    QTimer::singleShot(int(seconds * 1000 * Timing::Scale()), &form, [&form] {
        form.StopSweep = true;
        qzGlobals::QuitRequested = true;
    });
}

using Frames = QList<QByteArray>;
