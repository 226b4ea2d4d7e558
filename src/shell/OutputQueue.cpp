#include "shell/OutputQueue.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <vector>

#ifdef Q_OS_UNIX
#include <fcntl.h>
#include <limits.h>
#include <poll.h>
#include <pthread.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>
#else
#include <io.h>
#endif

namespace {

// Most bytes handed to one write: on a pipe, FIFO or socket what the system
// writes in one piece, so that a writer left behind at the end, blocked in
// its write, has written all of its lines or none; elsewhere (a file, a
// terminal) more at a time.
#ifdef Q_OS_UNIX
constexpr qsizetype PipeBytes = PIPE_BUF;
#else
constexpr qsizetype PipeBytes = 4096;
#endif
constexpr qsizetype ChunkBytes = 64 * 1024;

qsizetype WriteLimit(int fd)
{
#ifdef Q_OS_UNIX
    struct stat status {};
    if (fd >= 0 && ::fstat(fd, &status) == 0 && (S_ISFIFO(status.st_mode) || S_ISSOCK(status.st_mode)))
        return PipeBytes;
#else
    Q_UNUSED(fd);
#endif
    return ChunkBytes;
}

// How much of `bytes` the next write takes: the whole lines that fit in
// `limit`, or the first line alone when it is longer.
qsizetype NextWrite(const QByteArray& bytes, qsizetype limit)
{
    const qsizetype lastEnd = bytes.lastIndexOf('\n', std::min(bytes.size(), limit) - 1);
    if (lastEnd >= 0)
        return lastEnd + 1;
    const qsizetype firstEnd = bytes.indexOf('\n');
    return firstEnd >= 0 ? firstEnd + 1 : bytes.size();
}

int Duplicate(int fd)
{
#ifdef Q_OS_UNIX
    // Above the standard three, and not handed to programs we start.
    return fd < 0 ? -1 : ::fcntl(fd, F_DUPFD_CLOEXEC, 3);
#else
    return fd < 0 ? -1 : ::_dup(fd);
#endif
}

// Some of `bytes` written: how many, or minus the errno of the failure.
qsizetype WriteSome(int fd, const QByteArray& bytes)
{
    for (;;) {
#ifdef Q_OS_UNIX
        const ssize_t n = ::write(fd, bytes.constData(), static_cast<size_t>(bytes.size()));
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            // Someone else made the descriptor non-blocking: wait here, on
            // this thread, as a blocking write would.
            pollfd writable{fd, POLLOUT, 0};
            ::poll(&writable, 1, -1);
            continue;
        }
#else
        const int n = ::_write(fd, bytes.constData(), static_cast<unsigned>(bytes.size()));
#endif
        if (n > 0)
            return n;
        if (n == 0)
            return -EIO;
        if (errno != EINTR)
            return -errno;
    }
}

void CloseDuplicate(int fd)
{
#ifdef Q_OS_UNIX
    if (fd >= 0)
        ::close(fd);
#else
    if (fd >= 0)
        ::_close(fd);
#endif
}

std::mutex& RegistryMutex()
{
    static std::mutex mutex;
    return mutex;
}

std::vector<OutputQueue*>& Registry()
{
    static std::vector<OutputQueue*> queues;
    return queues;
}

}  // namespace

struct OutputQueue::State {
    std::mutex mutex;
    std::condition_variable wake;     // for the writer: bytes queued, or the end
    std::condition_variable drained;  // for Finish: the writer has stopped
    QByteArray bytes;                 // queued, the front one being written
    std::vector<std::unique_ptr<Channel>> channels;
    int fd = -1;
    qsizetype writeLimit = 0;  // most bytes in one write
    int error = 0;             // errno of the write that failed
    bool finishing = false;    // the writer stops once the queue is empty
    bool closed = false;       // nothing more is taken
    bool writerDone = false;
    std::atomic<bool> abandoned = false;  // left behind: no more calls out
    std::mutex hooks;                     // held while failure hooks run
    std::thread writer;

    // Puts the marker of `channel`'s gap in the queue, if it has one and
    // there is room for it (or whatever the room, when `always`).
    void PlaceMarker(Channel& channel, bool always)
    {
        if (channel.m_gap == 0)
            return;
        const QByteArray marker = channel.m_marker ? channel.m_marker(channel.m_gap, channel.m_firstLost) : QByteArray();
        if (!always && bytes.size() + marker.size() > Capacity)
            return;
        bytes += marker;
        channel.m_gap = 0;
        wake.notify_one();
    }

    void Run()
    {
#ifdef Q_OS_UNIX
        // Signals are the user-interface thread's business.
        sigset_t all;
        sigfillset(&all);
        pthread_sigmask(SIG_BLOCK, &all, nullptr);
#endif
        std::unique_lock lock(mutex);
        for (;;) {
            wake.wait(lock, [this] { return !bytes.isEmpty() || finishing || abandoned; });
            if (abandoned || bytes.isEmpty())
                break;
            const QByteArray chunk = bytes.left(NextWrite(bytes, writeLimit));
            lock.unlock();
            const qsizetype written = WriteSome(fd, chunk);
            lock.lock();
            if (abandoned)
                break;
            if (written < 0) {
                Fail(static_cast<int>(-written), lock);
                break;
            }
            bytes.remove(0, written);
            for (const auto& channel : channels)
                PlaceMarker(*channel, false);
        }
        writerDone = true;
        closed = true;
        drained.notify_all();
        lock.unlock();
        CloseDuplicate(fd);
    }

    void Fail(int errorNumber, std::unique_lock<std::mutex>& lock)
    {
        error = errorNumber;
        closed = true;
        bytes.clear();
        std::vector<Failure> failures;
        for (const auto& channel : channels)
            if (channel->m_failure)
                failures.push_back(channel->m_failure);
        lock.unlock();
        {
            // Told outside the queue's lock: a channel may say so on this
            // very queue (the trace on standard error), which takes nothing now.
            const std::lock_guard told(hooks);
            if (!abandoned)
                for (const Failure& failure : failures)
                    failure(errorNumber);
        }
        lock.lock();
    }
};

OutputQueue::OutputQueue(int fd) : m_state(std::make_shared<State>())
{
    m_state->fd = Duplicate(fd);
    m_state->writeLimit = WriteLimit(m_state->fd);
    m_state->writer = std::thread([state = m_state] { state->Run(); });
    const std::lock_guard lock(RegistryMutex());
    Registry().push_back(this);
}

OutputQueue::~OutputQueue()
{
    {
        const std::lock_guard lock(RegistryMutex());
        std::erase(Registry(), this);
    }
    Finish(std::chrono::steady_clock::now() + DefaultLimit);
}

OutputQueue::Channel& OutputQueue::AddChannel(Marker marker, Failure failure)
{
    const std::lock_guard lock(m_state->mutex);
    m_state->channels.push_back(std::unique_ptr<Channel>(new Channel(*m_state, std::move(marker), std::move(failure))));
    return *m_state->channels.back();
}

bool OutputQueue::Finish(Deadline deadline)
{
    State& s = *m_state;
    std::unique_lock lock(s.mutex);
    if (!s.writer.joinable())
        return s.error == 0 && s.bytes.isEmpty();
    s.finishing = true;
    for (const auto& channel : s.channels)
        s.PlaceMarker(*channel, true);
    s.wake.notify_one();
    const bool stopped = s.drained.wait_until(lock, deadline, [&s] { return s.writerDone; });
    const bool written = stopped && s.error == 0;
    if (!stopped) {
        // The reader has stalled: what it has not taken is dropped, and the
        // writer, blocked in its write, is left to the end of the process.
        s.abandoned = true;
        s.closed = true;
        s.bytes.clear();
        s.wake.notify_one();
    }
    lock.unlock();
    if (stopped) {
        s.writer.join();
    } else {
        const std::lock_guard waitForHooks(s.hooks);
        s.writer.detach();
    }
    return written;
}

void OutputQueue::FinishAll(std::chrono::milliseconds limit)
{
    const Deadline deadline = std::chrono::steady_clock::now() + limit;
    const std::lock_guard lock(RegistryMutex());
    for (OutputQueue* queue : Registry())
        queue->Finish(deadline);
}

void OutputQueue::Channel::Write(const QByteArray& line, const Stamp& stamp)
{
    const std::lock_guard lock(m_state.mutex);
    if (m_state.closed)
        return;
    // A gap stays open until the reader has taken something (the writer
    // then marks it), so that it is marked once, not line by line.
    if (m_gap > 0 || m_state.bytes.size() + line.size() > Capacity) {
        // Counted in lines: a message may take several.
        const qint64 lines = std::max<qint64>(1, line.count('\n'));
        if (m_gap == 0)
            m_firstLost = stamp;
        m_gap += lines;
        m_dropped += lines;
        return;
    }
    m_state.bytes += line;
    m_state.wake.notify_one();
}

void OutputQueue::Channel::WriteLast(const QByteArray& line)
{
    const std::lock_guard lock(m_state.mutex);
    if (m_state.closed)
        return;
    m_state.PlaceMarker(*this, true);
    m_state.bytes += line;
    m_state.wake.notify_one();
}

qint64 OutputQueue::Channel::Dropped() const
{
    const std::lock_guard lock(m_state.mutex);
    return m_dropped;
}
