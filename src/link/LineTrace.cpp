#include "link/LineTrace.h"

#include "shell/CommandLine.h"
#include "shell/Console.h"
#include "shell/StandardStreams.h"

#include <QDateTime>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <ctime>

#ifdef Q_OS_UNIX
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#endif

namespace {

QString Port(int comm, const QString& device)
{
    return QStringLiteral("Comm%1 %2").arg(comm).arg(device);
}

}  // namespace

LineTrace::LineTrace(const QString& path, Console* console, TimeSource now, WallSource wall)
    : m_path(path), m_console(console), m_now(std::move(now)), m_wall(std::move(wall))
{
    // Standard output or error named by a path of its own (/dev/stderr,
    // /dev/fd/1, the file `2>>` appends to) is written through its queue:
    // opened afresh it would be emptied, and two writers would split lines.
    OutputQueue* standard = path == QLatin1String("-") ? &StandardStreams::Error() : StandardStreams::SameFileAs(path);
    if (standard) {
        Queue(*standard);
    } else if (!OpenFifo(path)) {
        m_file.setFileName(path);
        if (m_file.open(QIODevice::WriteOnly | QIODevice::Unbuffered | QIODevice::Truncate))
            QueueOwn(m_file.handle());
    }
}

LineTrace::~LineTrace() = default;

void LineTrace::QueueOwn(int fd)
{
    m_queue = std::make_unique<OutputQueue>(fd);
    Queue(*m_queue);
}

void LineTrace::Queue(OutputQueue& queue)
{
    // The writer thread may say so after this trace is gone (standard
    // error's queue outlives it): only copies go with it.
    const auto stopped = [console = m_console, path = m_path](int error) {
        if (console)
            console->Say(QStringLiteral("%1: the trace to '%2' stopped: %3")
                             .arg(QLatin1String(CommandLine::ProgramName), path,
                                  QString::fromLocal8Bit(std::strerror(error))));
    };
    m_channel = &queue.AddChannel(DroppedLine, stopped);
}

QByteArray LineTrace::DroppedLine(qint64 count, const OutputQueue::Stamp& first)
{
    return QString::asprintf("%.6f DROPPED %lld\n", first.seconds, static_cast<long long>(count)).toUtf8();
}

bool LineTrace::OpenFifo(const QString& path)
{
#ifdef Q_OS_UNIX
    const QByteArray name = QFile::encodeName(path);
    struct stat status {};
    if (::stat(name.constData(), &status) != 0 || !S_ISFIFO(status.st_mode))
        return false;
    // Opening a FIFO for writing waits for a reader, for ever if none
    // comes; asked not to wait, it says at once whether one is there.
    const int fd = ::open(name.constData(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        m_error = errno == ENXIO ? QStringLiteral("no program is reading that FIFO")
                                 : QString::fromLocal8Bit(std::strerror(errno));
        return true;
    }
    // From here on the trace's writer thread waits for a slow reader.
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    if (m_file.open(fd, QIODevice::WriteOnly | QIODevice::Unbuffered, QFileDevice::AutoCloseHandle))
        QueueOwn(fd);
    else
        ::close(fd);
    return true;
#else
    Q_UNUSED(path);
    return false;
#endif
}

double LineTrace::MonotonicSeconds()
{
    // steady_clock is CLOCK_MONOTONIC on Linux, counted from the same origin
    // in every process.
    const auto since = std::chrono::steady_clock::now().time_since_epoch();
    return std::chrono::duration<double>(since).count();
}

QString LineTrace::Quote(const QByteArray& bytes)
{
    QString out = QStringLiteral("\"");
    for (const char c : bytes) {
        switch (c) {
        case '\r': out += QLatin1String("\\r"); break;
        case '\n': out += QLatin1String("\\n"); break;
        case '\t': out += QLatin1String("\\t"); break;
        case '"': out += QLatin1String("\\\""); break;
        case '\\': out += QLatin1String("\\\\"); break;
        default:
            if (c >= 0x20 && c < 0x7f)
                out += QLatin1Char(c);
            else
                out += QString::asprintf("\\x%02X", static_cast<unsigned char>(c));
        }
    }
    return out + '"';
}

void LineTrace::Write(double at, const char* kind, const QString& details)
{
    if (m_channel)
        m_channel->Write((QString::asprintf("%.6f ", at) + QLatin1String(kind) + ' ' + details + '\n').toUtf8(), {at});
}

LineTrace::WallTime LineTrace::SystemWallTime()
{
    WallTime wall;
#ifdef Q_OS_UNIX
    timespec now {};
    ::clock_gettime(CLOCK_REALTIME, &now);
    tm local {};
    ::localtime_r(&now.tv_sec, &local);
    wall.seconds = now.tv_sec;
    wall.microseconds = static_cast<int>(now.tv_nsec / 1000);
    wall.utcOffsetSeconds = static_cast<int>(local.tm_gmtoff);
#else
    const QDateTime now = QDateTime::currentDateTime();
    wall.seconds = now.toSecsSinceEpoch();
    wall.microseconds = static_cast<int>(now.time().msec()) * 1000;
    wall.utcOffsetSeconds = now.offsetFromUtc();
#endif
    return wall;
}

QString LineTrace::FormatWall(const WallTime& wall)
{
    const QDateTime local = QDateTime::fromSecsSinceEpoch(wall.seconds, Qt::OffsetFromUTC, wall.utcOffsetSeconds);
    const int offset = std::abs(wall.utcOffsetSeconds) / 60;
    return local.toString(QStringLiteral("yyyy-MM-ddTHH:mm:ss")) +
           QString::asprintf(".%06d%c%02d:%02d", wall.microseconds, wall.utcOffsetSeconds < 0 ? '-' : '+', offset / 60,
                             offset % 60);
}

void LineTrace::Started(const QString& program)
{
    // The stamp and the wall clock read back to back.
    const double at = Now();
    const WallTime wall = m_wall();
    Write(at, "START", program + QStringLiteral(" wall=") + FormatWall(wall));
}

void LineTrace::Opened(int comm, const QString& device)
{
    Write("OPEN", Port(comm, device));
}

void LineTrace::OpenFailed(int comm, const QString& device)
{
    Write("OPEN-FAILED", Port(comm, device));
}

void LineTrace::Closed(int comm, const QString& device)
{
    Write("CLOSE", Port(comm, device));
}

void LineTrace::Lost(int comm, const QString& device)
{
    Write("LOST", Port(comm, device));
}

void LineTrace::Busy(int comm, const QString& device, const DeviceAccess::Holder& holder)
{
    Write("BUSY", Port(comm, device) + ' ' + DeviceAccess::HeldByText(holder));
}

void LineTrace::Skipped(int comm, const QString& device, const QString& reason)
{
    Write("SKIPPED", Port(comm, device) + ' ' + Quote(reason.toUtf8()));
}

void LineTrace::Unavailable(int comm, const QString& device, const QString& reason)
{
    Write("UNAVAILABLE", Port(comm, device) + ' ' + Quote(reason.toUtf8()));
}

void LineTrace::Sent(double at, const QByteArray& frame)
{
    Write(at, "TX", Quote(frame));
}

void LineTrace::Dropped(double at, const QByteArray& frame)
{
    Write(at, "TX-DROPPED", Quote(frame));
}

void LineTrace::Failed(double at, const QByteArray& frame, const QString& reason)
{
    Write(at, "TX-FAILED", Quote(frame) + ' ' + reason);
}

void LineTrace::Received(double at, const QByteArray& bytes)
{
    Write(at, "RX", Quote(bytes));
}

void LineTrace::Unread(const QByteArray& bytes)
{
    Write("UNREAD", Quote(bytes));
}

void LineTrace::Identity(int comm, const QString& serialNumber, const QString& fwVersion)
{
    Write("IDENTITY", QStringLiteral("Comm%1 serial=%2 firmware=%3")
                          .arg(comm)
                          .arg(Quote(serialNumber.toLatin1()), Quote(fwVersion.toLatin1())));
}

void LineTrace::Message(const QString& title, const QString& text)
{
    Write("MESSAGE", Quote(title.toUtf8()) + ' ' + Quote(text.toUtf8()));
}
