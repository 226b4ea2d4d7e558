#pragma once
// Where the run's report goes: standard output behind a seam. A line is
// handed over whole and never waited for; one that finds no room (the
// reader a megabyte behind) is lost, and the output says so in its place. An
// output that cannot be written (its reader gone, the disk full) is said
// once on the console and then left alone; it never ends the run.
#include "shell/OutputQueue.h"

#include <QByteArray>
#include <QString>

class Console;

class TextOutput {
public:
    using Stamp = OutputQueue::Stamp;

    virtual ~TextOutput() = default;
    // One line; `stamp` dates it, should it be lost.
    virtual void Write(const QByteArray& line, const Stamp& stamp) = 0;
    // The last line, never lost for lack of room.
    virtual void WriteLast(const QByteArray& line) { Write(line, {}); }
    // How many lines were lost so far.
    virtual qint64 Dropped() const { return 0; }
};

// A descriptor's queue (OutputQueue).
class DescriptorOutput final : public TextOutput {
public:
    // `dropped` makes the line that stands for lost ones; `name` is for the
    // complaint ("standard output"), said on `complaints`.
    DescriptorOutput(OutputQueue& queue, OutputQueue::Marker dropped, const QString& name, Console& complaints);

    void Write(const QByteArray& line, const Stamp& stamp) override { m_channel.Write(line, stamp); }
    void WriteLast(const QByteArray& line) override { m_channel.WriteLast(line); }
    qint64 Dropped() const override { return m_channel.Dropped(); }

private:
    OutputQueue::Channel& m_channel;
};
