#include "MemoryCommControl.h"

#include <QTimer>

#include <algorithm>

bool MemoryCommControl::setPortOpen(bool open)
{
    if (open == m_open)
        return !open;  // opening an open port is an error; closing a closed one is not
    const Slot& slot = m_slots.at(m_port);
    if (open) {
        m_heldBy = LookForHolder();
        if (m_heldBy || slot.state != PortState::Available)
            return false;
        m_openedPlugs = slot.plugs;
    }
    m_open = open;
    if (open)
        m_lost = false;  // a loss stays known until the next open
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

QByteArray MemoryCommControl::Input()
{
    DeliverDue();
    const int n = std::min<int>(m_inputLen > 0 ? m_inputLen : static_cast<int>(m_rx.size()), m_rx.size());
    QByteArray out = m_rx.left(n);
    m_rx.remove(0, n);
    return out;
}

void MemoryCommControl::Log(const Event& event)
{
    m_events.push_back(event);
    if (onEvent)
        onEvent(event);
}

std::optional<DeviceAccess::Holder> MemoryCommControl::LookForHolder()
{
    const Slot& slot = m_slots.at(m_port);
    if (slot.state == PortState::Held || slot.heldUntil > Now())
        return DeviceAccess::Holder{QStringLiteral("picocom"), 4242};
    return std::nullopt;
}

void MemoryCommControl::Vanish()
{
    if (!m_open || m_lost)
        return;
    m_lost = true;
    m_rx.clear();
    m_pending.clear();
    const int port = m_port;
    QTimer::singleShot(0, [this, port, alive = std::weak_ptr<int>(m_alive)] {
        // Gone, closed, or closed and opened again since: nothing to report.
        if (alive.expired())
            return;
        if (m_open && m_lost && m_port == port && m_lostHandler)
            m_lostHandler();
    });
}

void MemoryCommControl::Send(const QByteArray& bytes, int port)
{
    if (!m_open || m_lost || (port != 0 && port != m_port))
        return;
    const int room = std::max(0, m_bufferLimit - static_cast<int>(m_rx.size()));
    m_rx.append(bytes.left(room));  // a full receive buffer drops the rest
}

void MemoryCommControl::ArriveAfter(double seconds, const QByteArray& bytes)
{
    const double when = Now() + seconds;
    auto at = std::find_if(m_pending.begin(), m_pending.end(), [when](const Pending& p) { return p.time > when; });
    m_pending.insert(at, {when, bytes, m_port});
}

void MemoryCommControl::DeliverDue()
{
    const double now = Now();
    while (!m_pending.empty() && m_pending.front().time <= now) {
        const Pending due = m_pending.front();
        m_pending.erase(m_pending.begin());
        Send(due.bytes, due.port);
    }
}
