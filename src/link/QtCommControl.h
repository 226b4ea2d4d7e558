#pragma once
// The production serial control over QSerialPort.
//
// Comm n is mapped to a device by a PortMap reading (RescanPorts). Line
// settings, buffer size, flow control and RTS are kept while the port is
// closed and applied when it opens. A port that another program holds fails
// to open: whether it holds the device by a lock file, by its exclusive mode
// (TIOCEXCL, which keeps out even root here), by an flock as picocom, tio and
// pyserial take one, by a POSIX or open-file-description lock, or (a device
// other than a pseudo-terminal) merely has it open. This control takes a lock
// file, exclusive mode, an flock and an open-file-description lock while the
// port is open. Holds are looked for before the device is opened, through
// the DeviceGate, so a device held that way is not opened at all: its
// holder's modem lines and line settings stay as they are; a lock taken
// after the look is found right after the open, before any byte.
//
// Frames are written straight into the system's output queue on the device's
// descriptor before Output returns, whatever has arrived meanwhile: nothing
// waits in a queue of our own for events that may never be processed before
// the port closes. Closing drains the output onto the line first (bounded, so
// that a device that never drains cannot hold the program), while the
// meter's line settings are still in force; only then does QSerialPort put
// the device's old settings back and close it.
//
// Reception is by polling only: InBufferCount and Input look at the device
// themselves, so bytes that arrived while no window events were processed are
// seen. Arrivals are taken off the device as they come into a queue of at
// most ReceiveQueueLimit bytes (more than the system's own terminal buffer),
// so that a meter talking while nobody reads can never stop the port from
// noticing that its device has gone. A device that vanishes while open
// (adapter unplugged, pseudo-terminal closed) is let go at once and reported
// once to the device-lost handler: the port still reads as open until the
// program closes it, writes go nowhere and reads find nothing.
#include "link/CommControl.h"
#include "link/LineSettings.h"
#include "link/PortMap.h"

#include <QSerialPort>

#include <memory>
#include <optional>

class DeviceGate;
class TerminalIo;

class QtCommControl final : public CommControl {
public:
    explicit QtCommControl(std::shared_ptr<TerminalIo> io = {}, PortMap::Source ports = PortMap::SystemPorts,
                           std::shared_ptr<DeviceGate> gate = {});
    ~QtCommControl() override;
    QtCommControl(const QtCommControl&) = delete;
    QtCommControl& operator=(const QtCommControl&) = delete;

    void RescanPorts() override;
    bool setCommPort(int port) override;
    int CommPort() const override { return m_port; }
    bool setSettings(const QString& settings) override;
    bool setInBufferSize(int bytes) override;
    bool setHandshaking(int mode) override;
    bool setInputLen(int chars) override;
    bool setPortOpen(bool open) override;
    bool PortOpen() const override { return m_open; }
    bool setRTSEnable(bool enable) override;
    Written Output(const QByteArray& bytes) override;
    QByteArray Input() override;
    int InBufferCount() override;

    QString DevicePath() const override { return m_device; }
    void setDeviceLostHandler(std::function<void()> handler) override { m_lostHandler = std::move(handler); }
    bool DeviceLost() const override { return m_lost; }
    std::optional<DeviceAccess::Holder> LookForHolder() override;
    std::optional<DeviceAccess::Holder> HeldBy() const override { return m_heldBy; }
    std::optional<QString> RefusedFor() const override { return m_refusal; }
    bool OpenTried() const override { return m_openTried; }
    QString Identity() const override;
    // The reading the numbers are mapped from (read now if there is none yet).
    const PortMap& Ports();
    // Why the last open failed, as QSerialPort saw it (PermissionError also
    // for a device another program holds, opened or not): NoError when the
    // device opened but refused the meter's line settings.
    QSerialPort::SerialPortError OpenError() const { return m_openError; }

    // Longest a write waits for room in the system's output queue.
    static constexpr int WriteTimeoutMs = 100;
    // Longest a close waits for the output to leave; what is left then is
    // thrown away. The longest run of frames takes under 10 ms at 9600 baud.
    static constexpr int DrainBoundMs = 250;
    // Most received bytes kept while nobody reads; later ones are dropped.
    static constexpr int ReceiveQueueLimit = 4096;

private:
    bool OpenDevice(const QString& real);
    void LetGo(int fd);
    bool ApplyRts();
    void OnError(QSerialPort::SerialPortError error);
    void MarkLost();
    void DropDevice();
    void ReportLoss(unsigned generation);
    void TakeArrived();
    void Poll();
    void DrainOutput();
    void Release();

    std::shared_ptr<TerminalIo> m_io;
    std::shared_ptr<DeviceGate> m_gate;
    PortMap::Source m_source;
    std::optional<PortMap> m_map;
    QSerialPort m_serial;
    int m_port = 1;
    QString m_device;
    LineSettings m_line;
    int m_inBufferSize = 1024;
    QSerialPort::FlowControl m_flow = QSerialPort::NoFlowControl;
    int m_inputLen = 0;  // 0: everything waiting
    bool m_rts = false;
    bool m_open = false;
    bool m_lost = false;
    bool m_written = false;  // bytes written since the port opened
    unsigned m_generation = 0;  // counts opens, so a late loss report knows its own
    QByteArray m_received;
    QSerialPort::SerialPortError m_openError = QSerialPort::NoError;
    std::optional<DeviceAccess::Holder> m_heldBy;
    std::optional<QString> m_refusal;
    bool m_openTried = false;
    QString m_openedIdentity;  // of the device the port has open
    std::function<void()> m_lostHandler;
};
