#pragma once
// A meter stand-in for the needle tests: it keeps every frame it receives and
// runs a scripted action after the n-th one. The action is posted, not run at
// once, so it reaches the program the way a user's click does: as a window
// event handled inside the program's next wait or event round.
#include "MemoryCommControl.h"

#include <QTimer>
#include <functional>
#include <map>

class FrameScript final : public MemoryDevice {
public:
    // `frame` counts from 1: At(3, ...) acts once the third frame has arrived.
    void At(int frame, std::function<void()> action) { m_actions[frame] = std::move(action); }

    QList<QByteArray> received;

    void Received(MemoryCommControl&, const QByteArray& bytes) override
    {
        received << bytes;
        const auto it = m_actions.find(static_cast<int>(received.size()));
        if (it != m_actions.end())
            QTimer::singleShot(0, it->second);
    }

private:
    std::map<int, std::function<void()>> m_actions;
};
