#pragma once
// A serial control with a perfect meter behind every port: each port opens,
// every frame is taken at once and its arrival time noted, nothing is ever
// received. `onFrame` sees each frame as it is written.
#include "link/CommControl.h"

#include <chrono>
#include <functional>
#include <vector>

class RecordingComm final : public CommControl {
public:
    using Clock = std::chrono::steady_clock;

    std::vector<QByteArray> frames;
    std::vector<Clock::time_point> times;
    std::function<void(std::size_t index, const QByteArray& frame)> onFrame;

    bool setCommPort(int port) override
    {
        if (m_open || port < 1 || port > 16)
            return false;
        m_port = port;
        return true;
    }
    int CommPort() const override { return m_port; }
    bool setSettings(const QString&) override { return true; }
    bool setInBufferSize(int) override { return !m_open; }
    bool setHandshaking(int) override { return true; }
    bool setInputLen(int) override { return true; }
    bool setPortOpen(bool open) override
    {
        if (open && m_open)
            return false;
        m_open = open;
        return true;
    }
    bool PortOpen() const override { return m_open; }
    bool setRTSEnable(bool) override { return true; }
    Written Output(const QByteArray& bytes) override
    {
        if (!m_open)
            return {false, QStringLiteral("port closed")};
        frames.push_back(bytes);
        times.push_back(Clock::now());
        if (onFrame)
            onFrame(frames.size() - 1, bytes);
        return {};
    }
    QByteArray Input() override { return {}; }
    int InBufferCount() override { return 0; }
    QString DevicePath() const override { return QStringLiteral("COM%1").arg(m_port); }
    void setDeviceLostHandler(std::function<void()>) override {}  // never lost
    bool DeviceLost() const override { return false; }

private:
    int m_port = 1;
    bool m_open = false;
};
