#pragma once
// A serial control that notes everything passing through another one in a
// line trace and otherwise changes nothing: every call goes straight to the
// wrapped control, and a frame is handed over before its trace line is
// written, so tracing adds no delay ahead of any frame.
//
// A frame is TX only once the device has taken it; one it did not take is
// TX-FAILED with the reason. Every loss of the device is noted as LOST, also
// one that the program closed the port on before it was reported.
//
// Bytes read back to back (the program reads one character at a time) are
// gathered into one RX line, written at the first CR, as soon as nothing more
// is waiting, or before any other event. When a port closes, what is still
// waiting in its receive buffer, never read by the program and about to be
// thrown away with the port, is noted as UNREAD.
#include "link/ForwardingCommControl.h"

class LineTrace;

class TracingCommControl final : public ForwardingCommControl {
public:
    // A lost device is traced even before the program asks to hear of it.
    TracingCommControl(CommControl& line, LineTrace& trace) : ForwardingCommControl(line), m_trace(trace)
    {
        setDeviceLostHandler({});
    }
    ~TracingCommControl() override;
    TracingCommControl(const TracingCommControl&) = delete;
    TracingCommControl& operator=(const TracingCommControl&) = delete;

    bool setPortOpen(bool open) override;
    Written Output(const QByteArray& bytes) override;
    QByteArray Input() override;
    int InBufferCount() override;
    void setDeviceLostHandler(std::function<void()> handler) override;

    // Most bytes a close reads out of the receive buffer to note them.
    static constexpr int UnreadLimit = 4096;

private:
    void FlushReceived();
    void NoteLoss();

    LineTrace& m_trace;
    QByteArray m_received;  // read since the last RX line
    double m_receivedAt = 0;
    bool m_lossNoted = false;  // LOST written for the device open now
};
