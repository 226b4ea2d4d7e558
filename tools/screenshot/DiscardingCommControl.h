#pragma once
// A serial line with nothing behind it: all sixteen ports open and close, and
// whatever is written goes nowhere. Enough to drive the window for a picture.
#include "link/CommControl.h"

class DiscardingCommControl final : public CommControl {
public:
    bool setCommPort(int port) override
    {
        if (port < 1 || port > 16)
            return false;
        m_port = port;
        return true;
    }
    int CommPort() const override { return m_port; }
    bool setSettings(const QString&) override { return true; }
    bool setInBufferSize(int) override { return true; }
    bool setHandshaking(int) override { return true; }
    bool setInputLen(int) override { return true; }
    bool setPortOpen(bool open) override
    {
        m_open = open;
        return true;
    }
    bool PortOpen() const override { return m_open; }
    bool setRTSEnable(bool) override { return true; }
    Written Output(const QByteArray&) override { return {}; }
    QByteArray Input() override { return {}; }
    int InBufferCount() override { return 0; }
    QString DevicePath() const override { return QStringLiteral("COM%1").arg(m_port); }
    void setDeviceLostHandler(std::function<void()>) override {}  // never lost
    bool DeviceLost() const override { return false; }

private:
    int m_port = 1;
    bool m_open = false;
};
