#include "link/TracingCommControl.h"

#include "link/LineTrace.h"

TracingCommControl::~TracingCommControl()
{
    FlushReceived();
}

void TracingCommControl::FlushReceived()
{
    if (m_received.isEmpty())
        return;
    m_trace.Received(m_receivedAt, m_received);
    m_received.clear();
}

bool TracingCommControl::setPortOpen(bool open)
{
    FlushReceived();
    const bool wasOpen = m_line.PortOpen();
    if (open) {
        const bool result = m_line.setPortOpen(true);
        // A port number without a device is no event on the line.
        if (!wasOpen && m_line.PortOpen()) {
            m_lossNoted = false;
            m_trace.Opened(m_line.CommPort(), m_line.DevicePath());
        }
        // A port only looked at, or found busy, was not refused by its
        // device: a search that passes it by says so (BUSY).
        else if (!wasOpen && !m_line.DevicePath().isEmpty() && m_line.OpenTried() && !m_line.HeldBy())
            m_trace.OpenFailed(m_line.CommPort(), m_line.DevicePath());
        return result;
    }
    if (wasOpen) {
        QByteArray unread;
        while (unread.size() < UnreadLimit && m_line.InBufferCount() > 0)
            unread += m_line.Input();
        if (!unread.isEmpty())
            m_trace.Unread(unread);
    }
    const bool result = m_line.setPortOpen(false);
    if (wasOpen) {
        // Lost before the program heard of it (Disconnect or Exit first), or
        // found lost by the close itself.
        if (m_line.DeviceLost())
            NoteLoss();
        m_trace.Closed(m_line.CommPort(), m_line.DevicePath());
    }
    return result;
}

void TracingCommControl::NoteLoss()
{
    if (m_lossNoted)
        return;
    m_lossNoted = true;
    FlushReceived();
    m_trace.Lost(m_line.CommPort(), m_line.DevicePath());
}

CommControl::Written TracingCommControl::Output(const QByteArray& bytes)
{
    FlushReceived();
    const double at = m_trace.Now();
    const bool open = m_line.PortOpen();
    const Written written = m_line.Output(bytes);
    if (!open)
        m_trace.Dropped(at, bytes);
    else if (written.ok)
        m_trace.Sent(at, bytes);
    else
        m_trace.Failed(at, bytes, written.failure);
    return written;
}

QByteArray TracingCommControl::Input()
{
    const double at = m_trace.Now();
    const QByteArray bytes = m_line.Input();
    if (bytes.isEmpty())
        return bytes;
    if (m_received.isEmpty())
        m_receivedAt = at;
    m_received += bytes;
    // A line ends at its CR; what follows it starts the next.
    for (qsizetype cr = m_received.indexOf('\r'); cr >= 0; cr = m_received.indexOf('\r')) {
        m_trace.Received(m_receivedAt, m_received.left(cr + 1));
        m_received.remove(0, cr + 1);
    }
    return bytes;
}

int TracingCommControl::InBufferCount()
{
    const int waiting = m_line.InBufferCount();
    if (waiting == 0)
        FlushReceived();
    return waiting;
}

void TracingCommControl::setDeviceLostHandler(std::function<void()> handler)
{
    m_line.setDeviceLostHandler([this, handler = std::move(handler)] {
        NoteLoss();
        if (handler)
            handler();
    });
}
