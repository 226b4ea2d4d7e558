#pragma once
// The production serial control over QSerialPort.
//
// Comm n is mapped to a device by PortMap when the number is chosen. Line
// settings, buffer size, flow control and RTS are kept while the port is
// closed and applied when it opens. A port that another program holds fails
// to open (lock file and exclusive open). Reception is by polling only:
// InBufferCount and Input look at the device themselves, so bytes that
// arrived while no window events were processed are seen. A device that
// vanishes while open (adapter unplugged, pseudo-terminal closed) is let go
// at once and reported once to the device-lost handler: the port still reads
// as open until the program closes it, writes go nowhere and reads find
// nothing.
#include "link/CommControl.h"
#include "link/LineSettings.h"

#include <QSerialPort>

class QtCommControl final : public CommControl {
public:
    QtCommControl();
    ~QtCommControl() override;
    QtCommControl(const QtCommControl&) = delete;
    QtCommControl& operator=(const QtCommControl&) = delete;

    bool setCommPort(int port) override;
    int CommPort() const override { return m_port; }
    bool setSettings(const QString& settings) override;
    bool setInBufferSize(int bytes) override;
    bool setHandshaking(int mode) override;
    bool setInputLen(int chars) override;
    bool setPortOpen(bool open) override;
    bool PortOpen() const override { return m_open; }
    bool setRTSEnable(bool enable) override;
    void Output(const QByteArray& bytes) override;
    QByteArray Input() override;
    int InBufferCount() override;

    QString DevicePath() const override { return m_device; }
    void setDeviceLostHandler(std::function<void()> handler) override { m_lostHandler = std::move(handler); }
    // True once the open device has stopped working (until the port is closed).
    bool DeviceLost() const { return m_lost; }
    // Why the last open failed, as QSerialPort saw it: NoError when the device
    // opened but refused the meter's line settings.
    QSerialPort::SerialPortError OpenError() const { return m_serial.error(); }

    // Longest a write waits for the device to take its bytes.
    static constexpr int WriteTimeoutMs = 100;

private:
    bool ApplyRts();
    void OnError(QSerialPort::SerialPortError error);
    void DropDevice();
    void ReportLoss();
    void Poll();

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
    bool m_lossReported = false;
    std::function<void()> m_lostHandler;
};
