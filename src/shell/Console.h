#pragma once
// Lines for the person at the terminal, on standard error. Saying something
// never ends the program and never waits for the reader: the line is queued
// (OutputQueue) and written by a thread of its own. A line that cannot be
// written (the reader has gone, the disk is full) is dropped, and so is every
// later one, since there is nowhere left to say it. Say may be called on any
// thread.
#include "shell/OutputQueue.h"

#include <QString>

class Console {
public:
    virtual ~Console() = default;
    virtual void Say(const QString& line) = 0;
};

class StandardError final : public Console {
public:
    StandardError();
    void Say(const QString& line) override;

    // "qz-ruvude-zivo: 12 lines not shown (the reader fell behind)"
    static QByteArray DroppedLine(qint64 count);

private:
    OutputQueue::Channel& m_channel;
};
