#pragma once
// A serial control that hands every call to another one unchanged: the base
// of the controls that only watch what passes (the line trace, the script
// player's frame watch), each overriding just what it watches.
#include "link/CommControl.h"

class ForwardingCommControl : public CommControl {
public:
    explicit ForwardingCommControl(CommControl& line) : m_line(line) {}

    void RescanPorts() override { m_line.RescanPorts(); }
    bool setCommPort(int port) override { return m_line.setCommPort(port); }
    int CommPort() const override { return m_line.CommPort(); }
    bool setSettings(const QString& settings) override { return m_line.setSettings(settings); }
    bool setInBufferSize(int bytes) override { return m_line.setInBufferSize(bytes); }
    bool setHandshaking(int mode) override { return m_line.setHandshaking(mode); }
    bool setInputLen(int chars) override { return m_line.setInputLen(chars); }
    bool setPortOpen(bool open) override { return m_line.setPortOpen(open); }
    bool PortOpen() const override { return m_line.PortOpen(); }
    bool setRTSEnable(bool enable) override { return m_line.setRTSEnable(enable); }
    Written Output(const QByteArray& bytes) override { return m_line.Output(bytes); }
    QByteArray Input() override { return m_line.Input(); }
    int InBufferCount() override { return m_line.InBufferCount(); }
    QString DevicePath() const override { return m_line.DevicePath(); }
    void setDeviceLostHandler(std::function<void()> handler) override
    {
        m_line.setDeviceLostHandler(std::move(handler));
    }
    bool DeviceLost() const override { return m_line.DeviceLost(); }
    std::optional<DeviceAccess::Holder> LookForHolder() override { return m_line.LookForHolder(); }
    std::optional<DeviceAccess::Holder> HeldBy() const override { return m_line.HeldBy(); }
    std::optional<QString> RefusedFor() const override { return m_line.RefusedFor(); }
    bool OpenTried() const override { return m_line.OpenTried(); }
    QString Identity() const override { return m_line.Identity(); }

protected:
    CommControl& m_line;
};
