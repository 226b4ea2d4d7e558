#pragma once
// The production serial control over QSerialPort (placeholder).
#include "link/CommControl.h"

class QtCommControl final : public CommControl {
public:
    bool setCommPort(int port) override { m_port = port; return false; }
    int CommPort() const override { return m_port; }
    bool setSettings(const QString&) override { return true; }
    bool setInBufferSize(int) override { return true; }
    bool setHandshaking(int) override { return true; }
    bool setInputLen(int) override { return true; }
    bool setPortOpen(bool) override { return false; }
    bool PortOpen() const override { return false; }
    bool setRTSEnable(bool) override { return true; }
    void Output(const QByteArray&) override {}
    QByteArray Input() override { return {}; }
    int InBufferCount() override { return 0; }

private:
    int m_port = 1;
};
