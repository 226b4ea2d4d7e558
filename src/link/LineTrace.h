#pragma once
// The line trace (--trace): everything that passes between the utility and
// the serial line, one line per event, each handed at once to a writer thread
// of its own (OutputQueue), so that a reader who stalls never holds up the
// meter and a crash loses at most what is still queued:
//
//   <seconds> <KIND> <details>
//
//   START qz-ruvude-zivo 2.0.0 wall=2026-05-01T10:22:33.123456+02:00
//                                         the trace begins; wall= is the local
//                                         time at which the monotonic clock
//                                         read the stamp, so the trace lines up
//                                         with the system log
//   OPEN Comm1 /dev/ttyUSB0               a port was opened (the probe's too)
//   OPEN-FAILED Comm2 /dev/ttyUSB1        a port with a device would not open
//                                         (not for one only looked at, or busy)
//   CLOSE Comm1 /dev/ttyUSB0              a port was closed
//   TX "H\r"                              a frame the device took
//   TX-FAILED "R\r" device lost            a frame the device did not take, and why
//   TX-DROPPED "S\r"                      a frame written to a closed port
//   RX "V,QZ1234,A,1.05\r"                bytes the utility read, one line per
//                                         run read back to back, ending at a CR
//   UNREAD "\nJUNK"                       bytes still waiting when the port closed
//   LOST Comm1 /dev/ttyUSB0               the open device stopped working
//   BUSY Comm2 /dev/pts/4 held by picocom, pid 4242
//                                         a search passed a port another
//                                         program held (not opened)
//   UNAVAILABLE Comm2 /dev/ttyUSB0 "refused by the system (Permission denied)"
//                                         a search passed a port refused at
//                                         its probe though nobody held it
//   SKIPPED Comm2 /dev/ttyUSB0 "another device has this name now"
//                                         a port that answered, not connected
//   IDENTITY Comm1 serial="QZ1234" firmware="1.05"   a meter was recognised
//   MESSAGE "Open Comms Port" "Error Opening Comm3:9600,n,8,1"
//                                         a message nobody was left to see
//   DROPPED 12                            12 lines lost here, the reader being
//                                         a megabyte behind; stamped with the
//                                         first lost line's time
//
// A trace that cannot be written any more (disk full, its reader gone) stops;
// that is said once on the console and the program goes on.
//
// <seconds> is the system's monotonic clock with six decimals: on Linux
// CLOCK_MONOTONIC, the clock meter-sim stamps its log with, so the two logs
// read side by side. Bytes are a double-quoted text in which printable ASCII
// stands for itself and \r, \n, \t, \", \\ and \xNN for the rest.
#include "link/DeviceAccess.h"
#include "shell/OutputQueue.h"

#include <QByteArray>
#include <QFile>
#include <QString>

#include <functional>
#include <memory>

class Console;

class LineTrace {
public:
    using TimeSource = std::function<double()>;
    // A moment of the wall clock, and the local time's offset from UTC then.
    struct WallTime {
        qint64 seconds = 0;  // since 1970-01-01 00:00 UTC
        int microseconds = 0;
        int utcOffsetSeconds = 0;
    };
    using WallSource = std::function<WallTime()>;

    // Opens `path` for writing, emptying it ("-": standard error). Standard
    // output or error under another name (/dev/stderr, /dev/fd/1, the file
    // they go to) is not opened: the trace shares its queue. A FIFO
    // that no program reads is refused rather than waited for. Whether that
    // worked: IsOpen(), and ErrorString() says why not. `console` hears, once
    // and from the writer thread, that the trace stopped.
    explicit LineTrace(const QString& path, Console* console = nullptr, TimeSource now = MonotonicSeconds,
                       WallSource wall = SystemWallTime);
    ~LineTrace();  // what is queued gets OutputQueue::DefaultLimit
    LineTrace(const LineTrace&) = delete;
    LineTrace& operator=(const LineTrace&) = delete;

    bool IsOpen() const { return m_channel != nullptr; }
    QString ErrorString() const { return m_error.isEmpty() ? m_file.errorString() : m_error; }

    // Seconds on the trace's clock, for events stamped before they are noted.
    double Now() const { return m_now(); }

    void Started(const QString& program);
    void Opened(int comm, const QString& device);
    void OpenFailed(int comm, const QString& device);
    void Closed(int comm, const QString& device);
    void Lost(int comm, const QString& device);
    void Busy(int comm, const QString& device, const DeviceAccess::Holder& holder);
    void Skipped(int comm, const QString& device, const QString& reason);
    void Unavailable(int comm, const QString& device, const QString& reason);
    void Sent(double at, const QByteArray& frame);
    void Dropped(double at, const QByteArray& frame);
    void Failed(double at, const QByteArray& frame, const QString& reason);
    void Received(double at, const QByteArray& bytes);
    void Unread(const QByteArray& bytes);
    void Identity(int comm, const QString& serialNumber, const QString& fwVersion);
    void Message(const QString& title, const QString& text);

    static QString Quote(const QByteArray& bytes);
    // The system's monotonic clock in seconds since its own origin.
    static double MonotonicSeconds();
    // The system's wall clock, in local time.
    static WallTime SystemWallTime();
    // "2026-05-01T10:22:33.123456+02:00"
    static QString FormatWall(const WallTime& wall);
    // "3.500000 DROPPED 12": the line that stands for lost ones.
    static QByteArray DroppedLine(qint64 count, const OutputQueue::Stamp& first);

private:
    void Write(double at, const char* kind, const QString& details);
    void Write(const char* kind, const QString& details) { Write(Now(), kind, details); }

    bool OpenFifo(const QString& path);
    void Queue(OutputQueue& queue);
    void QueueOwn(int fd);  // onto a queue of its own for fd

    QFile m_file;
    std::unique_ptr<OutputQueue> m_queue;  // none for standard output or error, which have their own
    OutputQueue::Channel* m_channel = nullptr;
    QString m_path;
    QString m_error;
    Console* m_console;
    TimeSource m_now;
    WallSource m_wall;
};
