#include "link/LineTrace.h"

#include <chrono>
#include <cstdio>

namespace {

QString Port(int comm, const QString& device)
{
    return QStringLiteral("Comm%1 %2").arg(comm).arg(device);
}

}  // namespace

LineTrace::LineTrace(const QString& path, TimeSource now) : m_now(std::move(now))
{
    // Unbuffered: every line goes to the system in one write as it is made.
    const auto mode = QIODevice::WriteOnly | QIODevice::Unbuffered;
    if (path == QLatin1String("-")) {
        m_file.open(fileno(stderr), mode, QFileDevice::DontCloseHandle);
    } else {
        m_file.setFileName(path);
        m_file.open(mode | QIODevice::Truncate);
    }
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
    if (!m_file.isOpen())
        return;
    const QString line = QString::asprintf("%.6f ", at) + QLatin1String(kind) + ' ' + details + '\n';
    m_file.write(line.toUtf8());
}

void LineTrace::Started(const QString& program)
{
    Write("START", program);
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

void LineTrace::Sent(double at, const QByteArray& frame)
{
    Write(at, "TX", Quote(frame));
}

void LineTrace::Dropped(double at, const QByteArray& frame)
{
    Write(at, "TX-DROPPED", Quote(frame));
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
