#pragma once
// What the serial control does on the open device's descriptor itself, below
// QSerialPort: writing frames straight into the system's output queue,
// waiting for room there, draining the output onto the line and throwing away
// what has not left. The production implementation calls the system; tests
// put one in its place to see the order of the calls and to play a device
// that never drains.
#include <QtGlobal>

class TerminalIo {
public:
    virtual ~TerminalIo() = default;

    // Writes without blocking. Returns the bytes taken, or -1 with the
    // system's error number in `error` (EAGAIN: no room just now).
    virtual qint64 Write(int fd, const char* data, qint64 size, int& error) = 0;
    // Waits up to `ms` milliseconds for room in the output queue.
    virtual void WaitWritable(int fd, int ms) = 0;
    // Blocks until everything written has left the line (tcdrain). Runs on a
    // thread of its own, on a copy of the descriptor; false with the error
    // number in `error` when the device could not be drained.
    virtual bool Drain(int fd, int& error) = 0;
    // Throws away the output that has not left yet (tcflush, TCOFLUSH).
    virtual void DiscardOutput(int fd) = 0;
};

// The system's own calls.
class SystemTerminalIo final : public TerminalIo {
public:
    qint64 Write(int fd, const char* data, qint64 size, int& error) override;
    void WaitWritable(int fd, int ms) override;
    bool Drain(int fd, int& error) override;
    void DiscardOutput(int fd) override;
};
