#pragma once
// A meter-sim process for the tests: started with options, its device path
// read from the first line of its output, every log line after that
// ("<seconds> <kind> [rest]") collected and parsed. Header-only Qt.
#include <QElapsedTimer>
#include <QList>
#include <QProcess>
#include <QString>
#include <QStringList>

#include <functional>

#ifndef METER_SIM_PATH
#error "METER_SIM_PATH must name the meter-sim executable"
#endif

class MeterSim {
public:
    struct Entry {
        double time = 0;  // CLOCK_MONOTONIC seconds
        QString kind;     // START, OPEN, RX, RX-PART, TX, CLOSE, DROP, STOP
        QString rest;
        QByteArray text;  // for RX, RX-PART and TX: the bytes, unquoted
    };

    explicit MeterSim(QStringList options = {}) : m_options(std::move(options)) {}
    ~MeterSim() { Stop(); }

    // Starts the simulator and waits for its device path; false (see error())
    // if it does not come up in time.
    bool Start(int timeoutMs = 10000)
    {
        m_process.start(QStringLiteral(METER_SIM_PATH), m_options);
        QElapsedTimer timer;
        timer.start();
        while (m_device.isEmpty()) {
            if (timer.elapsed() > timeoutMs || !m_process.waitForReadyRead(timeoutMs)) {
                m_error = m_process.errorString() + ": " + QString::fromLocal8Bit(m_process.readAllStandardError());
                return false;
            }
            Pump();
        }
        return true;
    }
    void Stop()  // SIGTERM, then wait
    {
        m_process.terminate();
        if (m_process.state() != QProcess::NotRunning && !m_process.waitForFinished(5000))
            m_process.kill();
        m_process.waitForFinished(5000);
        Pump();
    }

    QString device() const { return m_device; }
    QString error() const { return m_error; }
    QProcess& process() { return m_process; }

    // Everything logged so far (what waits on the pipe is read first).
    const QList<Entry>& Log()
    {
        Pump();
        return m_entries;
    }
    QList<Entry> Entries(const QString& kind)
    {
        QList<Entry> out;
        for (const Entry& e : Log())
            if (e.kind == kind)
                out << e;
        return out;
    }
    QList<QByteArray> Frames()  // the frames received, in order, without their CR
    {
        QList<QByteArray> out;
        for (const Entry& e : Entries(QStringLiteral("RX")))
            out << e.text;
        return out;
    }
    QString LogText()
    {
        Pump();
        return m_raw;
    }

    // Waits until the log satisfies `done`; processes no window events.
    bool WaitFor(const std::function<bool(const QList<Entry>&)>& done, int timeoutMs)
    {
        QElapsedTimer timer;
        timer.start();
        while (!done(Log())) {
            if (timer.elapsed() > timeoutMs)
                return false;
            if (m_process.state() != QProcess::Running)
                return done(Log());  // nothing more will come
            m_process.waitForReadyRead(50);
        }
        return true;
    }
    bool WaitForKind(const QString& kind, int count, int timeoutMs)
    {
        return WaitFor([&](const QList<Entry>&) { return Entries(kind).size() >= count; }, timeoutMs);
    }
    bool WaitForFrames(int count, int timeoutMs) { return WaitForKind(QStringLiteral("RX"), count, timeoutMs); }

    // The inverse of the simulator's quoting: "..." with \r \n \t \" \\ \xNN.
    static QByteArray Unquote(const QString& quoted)
    {
        const QByteArray in = quoted.toLatin1();
        QByteArray out;
        for (qsizetype i = 1; i + 1 < in.size(); ++i) {
            char c = in[i];
            if (c == '\\' && i + 2 < in.size()) {
                c = in[++i];
                c = c == 'r' ? '\r' : c == 'n' ? '\n' : c == 't' ? '\t' : c;
                if (c == 'x') {
                    c = char(in.mid(i + 1, 2).toInt(nullptr, 16));
                    i += 2;
                }
            }
            out += c;
        }
        return out;
    }

private:
    void Pump()
    {
        m_buffer += m_process.readAllStandardOutput();
        for (qsizetype nl; (nl = m_buffer.indexOf('\n')) >= 0;) {
            const QString line = QString::fromLatin1(m_buffer.left(nl));
            m_buffer.remove(0, nl + 1);
            if (m_device.isEmpty()) {
                m_device = line.trimmed();
                continue;
            }
            m_raw += line + '\n';
            const QStringList parts = line.split(' ');
            if (parts.size() < 2)
                continue;
            const QString rest = line.section(' ', 2);
            m_entries << Entry{parts[0].toDouble(), parts[1], rest, rest.startsWith('"') ? Unquote(rest) : QByteArray()};
        }
    }

    QStringList m_options;
    QProcess m_process;
    QString m_device, m_error, m_raw;
    QByteArray m_buffer;
    QList<Entry> m_entries;
};
