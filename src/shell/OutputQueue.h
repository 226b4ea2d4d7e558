#pragma once
// Output that never holds the program up. The lines for one destination (a
// descriptor: standard output, standard error, the trace file) are only put
// in a queue by whoever makes them; a writer thread of the queue's own writes
// them out, as fast as the descriptor takes them, with ordinary blocking
// writes. A descriptor's flags are shared with whoever gave it to us (the
// shell), so they are left as they are.
//
// Every write ends at the end of a line. On a pipe, FIFO or socket a write is
// a run of whole lines of at most PIPE_BUF bytes (a longer line goes alone),
// which the system writes in one piece: a reader sees each line whole or not
// at all, also from a writer left behind at the end. On a file or a terminal
// a write takes up to 64 KiB of whole lines.
//
// The queue holds at most Capacity bytes, counting what is being written. A
// line that does not fit is dropped whole and counted (a text of several
// lines as that many). As soon as the reader
// has taken some, and so there is room again, one line goes in the gap that
// says how many the channel lost (its Marker, given the first lost line's
// stamp); until then the channel drops everything it is given, so the marker
// stands exactly where lines are missing, once. A last line (WriteLast) is
// never dropped for lack of room.
//
// A write that fails (the reader gone: EPIPE, SIGPIPE being ignored; a full
// disk) ends the queue: what is queued is thrown away, nothing more is taken,
// and each channel hears of it once, on the writer thread.
//
// At the end FinishAll gives what is still queued in every queue one common
// deadline. A queue whose reader has not taken it all by then is left behind,
// with its writer thread; the program does not wait for it.
#include <QByteArray>

#include <chrono>
#include <functional>
#include <memory>

class OutputQueue {
public:
    static constexpr qsizetype Capacity = 1024 * 1024;
    using Deadline = std::chrono::steady_clock::time_point;

    // When a line was made (on its destination's own clock) and, for a
    // script's events, on which script line.
    struct Stamp {
        double seconds = 0;
        int line = 0;
    };
    // The line that stands for `count` lost lines, the first stamped `first`.
    // Called on any thread, with the queue locked: formatting only.
    using Marker = std::function<QByteArray(qint64 count, const Stamp& first)>;
    // The destination failed with this errno; called once, on the writer thread.
    using Failure = std::function<void(int error)>;

    class Channel;

    // Writes to a duplicate of `fd`, made now; -1 stands for a descriptor
    // that was closed, on which every write fails with EBADF.
    explicit OutputQueue(int fd);
    ~OutputQueue();  // Finish within DefaultLimit
    OutputQueue(const OutputQueue&) = delete;
    OutputQueue& operator=(const OutputQueue&) = delete;

    // A producer of lines with a marker of its own; it lives as long as the queue.
    Channel& AddChannel(Marker marker, Failure failure = {});

    // Waits until everything queued is written, or the deadline; then takes
    // nothing more. Whether everything was written.
    bool Finish(Deadline deadline);
    // Finish for every queue there is, with one deadline `limit` from now.
    static void FinishAll(std::chrono::milliseconds limit = DefaultLimit);
    static constexpr std::chrono::milliseconds DefaultLimit{1000};

    struct State;

private:
    std::shared_ptr<State> m_state;
};

class OutputQueue::Channel {
public:
    // `line` whole, with its newline (or several lines, each with its own).
    void Write(const QByteArray& line, const Stamp& stamp = {});
    // A line that goes in whatever the room, after the marker of any gap.
    void WriteLast(const QByteArray& line);
    // Lines lost for lack of room so far.
    qint64 Dropped() const;

private:
    friend class OutputQueue;
    friend struct OutputQueue::State;
    Channel(State& state, Marker marker, Failure failure)
        : m_state(state), m_marker(std::move(marker)), m_failure(std::move(failure))
    {
    }

    State& m_state;
    Marker m_marker;
    Failure m_failure;
    qint64 m_dropped = 0;  // in all
    qint64 m_gap = 0;      // lost since the last marker
    Stamp m_firstLost;
};
