#pragma once
// An in-memory serial control for tests: sixteen numbered ports that are missing, available, held by another program
// or refused by the system ("Permission denied"), an optional scripted device behind each, and a log of every open,
// close and write with its time.
#include "link/CommControl.h"

#include <QElapsedTimer>
#include <QList>
#include <algorithm>
#include <array>
#include <functional>
#include <map>
#include <memory>
#include <vector>

class MemoryCommControl;

// Something plugged into a port: it sees each frame the program writes and answers through Send / ArriveAfter.
class MemoryDevice {
public:
    virtual ~MemoryDevice() = default;
    virtual void Opened(MemoryCommControl&) {}
    virtual void Received(MemoryCommControl& line, const QByteArray& bytes) = 0;
};

class MemoryCommControl final : public CommControl {
public:
    enum class PortState { Missing, Available, Held, Refused };
    struct Event {
        enum Kind { Open, Close, Write, DroppedWrite, FailedWrite } kind;
        int port;
        QByteArray bytes;
        double time;  // seconds since this control was made
    };

    MemoryCommControl() { m_clock.start(); }

    void SetPort(int port, PortState state, std::shared_ptr<MemoryDevice> device = {})
    {
        m_slots.at(port) = Slot{state, std::move(device)};
    }
    // Another program (picocom, pid 4242) holds `port` for `seconds` from now; a Held port for ever. A hold not `seen`
    // shows only to an open (exclusive mode), its holder unknown.
    void HoldFor(int port, double seconds, bool seen = true)
    {
        (seen ? m_slots.at(port).heldUntil : m_slots.at(port).unseenUntil) = Now() + seconds;
    }
    // Another device is plugged in under the port's name from now on, or (`atOpen`) just as the port next opens.
    void Replug(int port, bool atOpen = false)
    {
        if (atOpen)
            m_slots.at(port).replugAtOpen = true;
        else
            ++m_slots.at(port).plugs;
    }
    // Device to program: into the receive buffer of the port open now.
    void Send(const QByteArray& bytes) { Deliver(bytes, m_port); }
    // The same as a real line delivers: there once `seconds` have passed, whether or not events are processed
    // meanwhile (seen by the next InBufferCount or Input).
    void ArriveAfter(double seconds, const QByteArray& bytes) { m_pending.insert({Now() + seconds, {bytes, m_port}}); }
    // The device behind the open port goes away (adapter pulled): from now on writes go nowhere and nothing arrives;
    // the loss is reported once, from the event loop, unless the port is closed first.
    void Vanish();
    // The device stops taking bytes (a stalled line): writes fail as the real control's do after its wait for room.
    void Stall(bool stalled = true) { m_stalled = stalled; }
    int rescans = 0;  // RescanPorts calls so far (each a walk of the system's port list)

    const std::vector<Event>& Events() const { return m_events; }
    std::function<void(const Event&)> onEvent;  // hears each event as it is logged
    void ClearLog() { m_events.clear(); }
    // Every write that reached an open port, one entry per Output call, and when.
    QList<QByteArray> Frames() const { return Of<QByteArray>(Event::Write, Bytes); }
    QList<double> FrameTimes() const { return Of<double>(Event::Write, [](const Event& e) { return e.time; }); }
    int OpenCount(int port) const { return int(Of<int>(Event::Open, Port).count(port)); }
    int DroppedWrites() const { return int(Of<int>(Event::DroppedWrite, [](const Event&) { return 0; }).size()); }
    QList<QByteArray> FailedWrites() const { return Of<QByteArray>(Event::FailedWrite, Bytes); }
    double Now() const { return static_cast<double>(m_clock.nsecsElapsed()) / 1e9; }
    // The line settings last made, e.g. "9600,n,8,1 in 100 handshaking 0 input 1 RTS 1".
    QString Line() const
    {
        return QStringLiteral("%1 in %2 handshaking %3 input %4 RTS %5")
            .arg(m_settings).arg(m_bufferLimit).arg(m_handshaking).arg(m_inputLen).arg(int(m_rts));
    }

    // CommControl; the port and the buffer size stay as they are while the port is open.
    void RescanPorts() override { ++rescans; }
    bool setCommPort(int port) override
    {
        m_heldBy.reset();
        m_refusal.reset();
        return !m_open && port >= 1 && port <= 16 && Set(m_port, port);
    }
    int CommPort() const override { return m_port; }
    bool setSettings(const QString& settings) override { m_settings = settings; return true; }
    bool setInBufferSize(int bytes) override { return !m_open && Set(m_bufferLimit, bytes); }
    bool setHandshaking(int mode) override { m_handshaking = mode; return true; }
    bool setInputLen(int chars) override { m_inputLen = chars; return true; }
    bool setPortOpen(bool open) override;
    bool PortOpen() const override { return m_open; }
    bool setRTSEnable(bool enable) override { m_rts = enable; return true; }
    Written Output(const QByteArray& bytes) override;
    QByteArray Input() override
    {
        DeliverDue();
        const QByteArray out = m_rx.left(m_inputLen > 0 ? m_inputLen : m_rx.size());
        m_rx.remove(0, out.size());
        return out;
    }
    int InBufferCount() override { DeliverDue(); return int(m_rx.size()); }
    QString DevicePath() const override { return QStringLiteral("/dev/mem%1").arg(m_port); }
    void setDeviceLostHandler(std::function<void()> handler) override { m_lostHandler = std::move(handler); }
    bool DeviceLost() const override { return m_lost; }
    std::optional<DeviceAccess::Holder> LookForHolder() override
    {
        const Slot& slot = m_slots.at(m_port);
        if (slot.state == PortState::Held || slot.heldUntil > Now())
            return DeviceAccess::Holder{QStringLiteral("picocom"), 4242};
        return std::nullopt;
    }
    std::optional<DeviceAccess::Holder> HeldBy() const override { return m_heldBy; }
    bool OpenTried() const override { return m_openTried; }
    std::optional<QString> RefusedFor() const override { return m_refusal; }
    QString Identity() const override
    {
        return m_slots.at(m_port).state == PortState::Missing ? QString()
               : QStringLiteral("mem%1 plug %2").arg(m_port).arg(m_open ? m_openedPlugs : m_slots.at(m_port).plugs);
    }

private:
    static bool Set(int& field, int value) { field = value; return true; }
    static QByteArray Bytes(const Event& e) { return e.bytes; }
    static int Port(const Event& e) { return e.port; }
    void Log(const Event& event)
    {
        m_events.push_back(event);
        if (onEvent)
            onEvent(event);
    }
    template <typename T, typename F> QList<T> Of(Event::Kind kind, F field) const
    {
        QList<T> out;
        for (const Event& e : m_events)
            if (e.kind == kind)
                out << field(e);
        return out;
    }
    // Into the receive buffer if the port is open on `port`; a full buffer drops the rest.
    void Deliver(const QByteArray& bytes, int port)
    {
        if (m_open && !m_lost && port == m_port)
            m_rx.append(bytes.left(std::max(0, m_bufferLimit - static_cast<int>(m_rx.size()))));
    }
    void DeliverDue()
    {
        const double now = Now();
        while (!m_pending.empty() && m_pending.begin()->first <= now) {
            const auto [bytes, port] = m_pending.begin()->second;
            m_pending.erase(m_pending.begin());
            Deliver(bytes, port);
        }
    }
    struct Slot {
        PortState state = PortState::Missing;
        std::shared_ptr<MemoryDevice> device;
        double heldUntil = 0;  // on this control's clock
        double unseenUntil = 0;
        int plugs = 0;
        bool replugAtOpen = false;
    };
    std::array<Slot, 17> m_slots{};
    std::vector<Event> m_events;
    std::multimap<double, std::pair<QByteArray, int>> m_pending;  // bytes on their way, by when they arrive
    QByteArray m_rx;
    std::optional<DeviceAccess::Holder> m_heldBy;
    std::optional<QString> m_refusal;
    int m_openedPlugs = 0;
    int m_port = 1;
    int m_bufferLimit = 1024;
    int m_inputLen = 0;
    int m_handshaking = -1;
    bool m_open = false;
    bool m_openTried = false;
    bool m_lost = false;
    bool m_stalled = false;
    bool m_rts = false;
    std::function<void()> m_lostHandler;
    std::shared_ptr<int> m_alive = std::make_shared<int>();  // for reports still queued
    QString m_settings;
    QElapsedTimer m_clock;
};

// A meter as the program expects one: quiet after "H", answers "V" with its identity line at once.
class ScriptedMeter : public MemoryDevice {
public:
    explicit ScriptedMeter(QByteArray identity = "V,QZ1234,A,1.05\r") : identity(std::move(identity)) {}
    QByteArray identity;

    void Received(MemoryCommControl& line, const QByteArray& bytes) override
    {
        if (bytes == "V\r")
            line.Send(identity);
    }
};
