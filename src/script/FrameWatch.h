#pragma once
// A serial control that passes everything to another one and tells a watcher
// of each frame written, once the frame has been handed on, so that watching
// puts no delay ahead of any frame. The script player learns from it when a
// sweep has sent its first position.
#include "link/CommControl.h"

class FrameWatch final : public CommControl {
public:
    explicit FrameWatch(CommControl& line) : m_line(line) {}

    std::function<void(const QByteArray& frame)> onFrame;

    bool setCommPort(int port) override { return m_line.setCommPort(port); }
    int CommPort() const override { return m_line.CommPort(); }
    bool setSettings(const QString& settings) override { return m_line.setSettings(settings); }
    bool setInBufferSize(int bytes) override { return m_line.setInBufferSize(bytes); }
    bool setHandshaking(int mode) override { return m_line.setHandshaking(mode); }
    bool setInputLen(int chars) override { return m_line.setInputLen(chars); }
    bool setPortOpen(bool open) override { return m_line.setPortOpen(open); }
    bool PortOpen() const override { return m_line.PortOpen(); }
    bool setRTSEnable(bool enable) override { return m_line.setRTSEnable(enable); }
    void Output(const QByteArray& bytes) override
    {
        m_line.Output(bytes);
        if (onFrame)
            onFrame(bytes);
    }
    QByteArray Input() override { return m_line.Input(); }
    int InBufferCount() override { return m_line.InBufferCount(); }
    QString DevicePath() const override { return m_line.DevicePath(); }
    void setDeviceLostHandler(std::function<void()> handler) override
    {
        m_line.setDeviceLostHandler(std::move(handler));
    }

private:
    CommControl& m_line;
};
