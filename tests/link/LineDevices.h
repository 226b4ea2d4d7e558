#pragma once
// Devices for the in-memory ports whose bytes reach the receive buffer on
// time, as on a real line, whether or not window events are processed.
#include "MemoryCommControl.h"

#include <QList>

// Answers "V" with its reply, `delay` seconds after the frame; each byte
// `perByte` seconds after the one before (9600 baud is about 1 ms a byte).
class LineMeter : public MemoryDevice {
public:
    explicit LineMeter(QByteArray reply = "V,QZ1234,A,1.05\r", double delay = 0.0, double perByte = 0.0)
        : reply(std::move(reply)), delay(delay), perByte(perByte)
    {
    }
    QByteArray reply;
    double delay;
    double perByte;
    QList<QByteArray> received;

    void Received(MemoryCommControl& line, const QByteArray& bytes) override
    {
        received << bytes;
        if (bytes != "V\r" || reply.isEmpty())
            return;
        if (perByte <= 0) {
            line.ArriveAfter(delay, reply);
            return;
        }
        for (int i = 0; i < reply.size(); ++i)
            line.ArriveAfter(delay + perByte * i, reply.mid(i, 1));
    }
};

// Something that never falls quiet: while the port is open a byte arrives
// every `interval` seconds, events or not.
class ChattyDevice : public MemoryDevice {
public:
    explicit ChattyDevice(double interval = 0.005) : interval(interval) {}
    double interval;
    QList<QByteArray> received;

    void Opened(MemoryCommControl& line) override
    {
        // Enough chatter for any probe: 4 s worth.
        for (double t = 0; t < 4.0; t += interval)
            line.ArriveAfter(t, "x");
    }
    void Received(MemoryCommControl&, const QByteArray& bytes) override { received << bytes; }
};
