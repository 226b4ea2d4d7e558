#pragma once
// A meter-sim process for the tests: started with options, its device path
// read from the first line, every log line after that collected and parsed.
// Header-only Qt; shares nothing with the program.
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
    // One log line: "<seconds> <kind> [rest]"; for RX and TX, text holds the
    // unquoted bytes.
    struct Entry {
        double time = 0;
        QString kind;
        QString rest;
        QByteArray text;
    };

    explicit MeterSim(QStringList options = {}) : m_options(std::move(options)) {}
    ~MeterSim() { Stop(); }
    MeterSim(const MeterSim&) = delete;
    MeterSim& operator=(const MeterSim&) = delete;

    // Starts the simulator and waits for its device path. False (with the
    // reason in error()) if it did not come up within the timeout.
    bool Start(int timeoutMs = 10000)
    {
        m_process.setProgram(QStringLiteral(METER_SIM_PATH));
        m_process.setArguments(m_options);
        m_process.setProcessChannelMode(QProcess::SeparateChannels);
        m_process.start();
        if (!m_process.waitForStarted(timeoutMs)) {
            m_error = m_process.errorString();
            return false;
        }
        QElapsedTimer timer;
        timer.start();
        while (m_device.isEmpty()) {
            Pump();
            if (!m_device.isEmpty())
                break;
            const qint64 left = timeoutMs - timer.elapsed();
            if (left <= 0 || m_process.state() != QProcess::Running) {
                m_error = QStringLiteral("no device path; stderr: ") +
                          QString::fromLocal8Bit(m_process.readAllStandardError());
                return false;
            }
            m_process.waitForReadyRead(int(left));
        }
        return true;
    }

    // Asks the simulator to end (SIGTERM) and waits for it.
    void Stop()
    {
        if (m_process.state() == QProcess::NotRunning)
            return;
        m_process.terminate();
        if (!m_process.waitForFinished(5000)) {
            m_process.kill();
            m_process.waitForFinished(5000);
        }
        Pump();
    }

    QString device() const { return m_device; }
    QString error() const { return m_error; }
    QProcess& process() { return m_process; }

    // Everything logged so far (reads what is waiting on the pipe first).
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
    // The texts of the frames received, in order.
    QList<QByteArray> Frames()
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

    // Waits until the log satisfies the condition, reading the simulator's
    // output as it comes. Does not process window events.
    bool WaitFor(const std::function<bool(const QList<Entry>&)>& done, int timeoutMs)
    {
        QElapsedTimer timer;
        timer.start();
        for (;;) {
            Pump();
            if (done(m_entries))
                return true;
            const qint64 left = timeoutMs - timer.elapsed();
            if (left <= 0)
                return false;
            if (m_process.state() != QProcess::Running) {
                m_process.waitForFinished(int(left));
                Pump();
                return done(m_entries);
            }
            m_process.waitForReadyRead(int(qMin<qint64>(left, 100)));
        }
    }
    bool WaitForKind(const QString& kind, int count, int timeoutMs)
    {
        return WaitFor(
            [&](const QList<Entry>& log) {
                int n = 0;
                for (const Entry& e : log)
                    n += e.kind == kind;
                return n >= count;
            },
            timeoutMs);
    }
    bool WaitForFrames(int count, int timeoutMs) { return WaitForKind(QStringLiteral("RX"), count, timeoutMs); }

    // The inverse of the simulator's quoting: "\r" "\n" "\t" "\"" "\\" "\xNN".
    static QByteArray Unquote(const QString& quoted)
    {
        QByteArray in = quoted.toLatin1();
        if (in.size() < 2 || !in.startsWith('"') || !in.endsWith('"'))
            return {};
        in = in.mid(1, in.size() - 2);
        QByteArray out;
        for (qsizetype i = 0; i < in.size(); ++i) {
            const char c = in[i];
            if (c != '\\' || i + 1 >= in.size()) {
                out += c;
                continue;
            }
            const char e = in[++i];
            switch (e) {
            case 'r': out += '\r'; break;
            case 'n': out += '\n'; break;
            case 't': out += '\t'; break;
            case 'x':
                out += char(in.mid(i + 1, 2).toInt(nullptr, 16));
                i += 2;
                break;
            default: out += e;
            }
        }
        return out;
    }

private:
    void Pump()
    {
        m_buffer += m_process.readAllStandardOutput();
        qsizetype nl;
        while ((nl = m_buffer.indexOf('\n')) >= 0) {
            const QString line = QString::fromLatin1(m_buffer.left(nl));
            m_buffer.remove(0, nl + 1);
            if (m_device.isEmpty()) {
                m_device = line.trimmed();
                continue;
            }
            m_raw += line + '\n';
            Entry e;
            const QStringList parts = line.split(' ');
            if (parts.size() < 2)
                continue;
            e.time = parts[0].toDouble();
            e.kind = parts[1];
            e.rest = line.section(' ', 2);
            if (e.kind == QLatin1String("RX") || e.kind == QLatin1String("TX") ||
                e.kind == QLatin1String("RX-PART"))
                e.text = Unquote(e.rest);
            m_entries << e;
        }
    }

    QStringList m_options;
    QProcess m_process;
    QString m_device;
    QString m_error;
    QByteArray m_buffer;
    QString m_raw;
    QList<Entry> m_entries;
};
