#include "MemoryCommControl.h"

#include <QTimer>

#include <utility>

bool MemoryCommControl::setPortOpen(bool open)
{
    if (open == m_open)
        return !open;  // opening an open port is an error; closing a closed one is not
    Slot& slot = m_slots.at(m_port);
    if (open) {
        m_heldBy = LookForHolder();
        m_openTried = !m_heldBy;
        if (!m_heldBy && slot.unseenUntil > Now())
            m_heldBy = DeviceAccess::Holder{};
        m_refusal.reset();
        if (!m_heldBy && slot.state == PortState::Refused)
            m_refusal = "refused by the system (Permission denied)";
        if (m_heldBy || slot.state != PortState::Available)
            return false;
        slot.plugs += std::exchange(slot.replugAtOpen, false);
        m_openedPlugs = slot.plugs;
        m_lost = false;  // a loss stays known until the next open
    }
    m_open = open;
    m_rx.clear();
    Log({open ? Event::Open : Event::Close, m_port, {}, Now()});
    if (open && slot.device)
        slot.device->Opened(*this);
    return true;
}

CommControl::Written MemoryCommControl::Output(const QByteArray& bytes)
{
    if (!m_open) {
        Log({Event::DroppedWrite, m_port, bytes, Now()});
        return {false, "port closed"};
    }
    if (m_lost || m_stalled) {
        Log({Event::FailedWrite, m_port, bytes, Now()});
        return {false, m_lost ? "device lost" : "no room in the output queue within 100 ms (0 of 2 bytes written)"};
    }
    Log({Event::Write, m_port, bytes, Now()});
    if (auto device = m_slots.at(m_port).device)
        device->Received(*this, bytes);
    return {};
}

void MemoryCommControl::Vanish()
{
    if (!m_open || m_lost)
        return;
    m_lost = true;
    m_rx.clear();
    m_pending.clear();
    QTimer::singleShot(0, [this, port = m_port, alive = std::weak_ptr<int>(m_alive)] {
        if (!alive.expired() && m_open && m_lost && m_port == port && m_lostHandler)
            m_lostHandler();  // not when gone, closed, or closed and opened again since
    });
}
