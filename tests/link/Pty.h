#pragma once
// A pseudo-terminal for serial tests: the test holds the master side and plays
// the device; the program opens the slave side by its path, as it would a
// serial adapter. Never touches the machine's real serial ports.
#include <QByteArray>
#include <QElapsedTimer>
#include <QString>

#include <algorithm>

#include <cerrno>
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

class Pty {
public:
    Pty()
    {
        int slave = -1;
        char name[256] = {};
        if (::openpty(&m_master, &slave, name, nullptr, nullptr) == 0) {
            m_path = QString::fromLocal8Bit(name);
            // The program opens the slave by its path; the test keeps no handle
            // on it, so the slave is free for the program to hold.
            ::close(slave);
            ::fcntl(m_master, F_SETFL, ::fcntl(m_master, F_GETFL) | O_NONBLOCK);
        }
    }
    ~Pty() { CloseMaster(); }
    Pty(const Pty&) = delete;
    Pty& operator=(const Pty&) = delete;

    bool Ok() const { return m_master >= 0 && !m_path.isEmpty(); }
    QString Path() const { return m_path; }
    int Master() const { return m_master; }

    // The device sends.
    bool Write(const QByteArray& bytes)
    {
        return ::write(m_master, bytes.constData(), static_cast<size_t>(bytes.size())) == bytes.size();
    }

    // What the program has sent so far, waiting up to `timeoutMs` for at least
    // `atLeast` bytes. Uses poll(2) only: no window events are processed.
    QByteArray Read(int atLeast, int timeoutMs)
    {
        QByteArray out;
        QElapsedTimer t;
        t.start();
        while (out.size() < atLeast) {
            const int left = std::max(0, timeoutMs - static_cast<int>(t.elapsed()));
            pollfd p{m_master, POLLIN, 0};
            if (::poll(&p, 1, left) <= 0)
                break;
            char buf[256];
            const ssize_t n = ::read(m_master, buf, sizeof buf);
            if (n > 0)
                out.append(buf, static_cast<int>(n));
            else if (n < 0 && errno != EAGAIN)
                break;  // EIO while nobody has the slave open
        }
        return out;
    }

    // The slave's line settings, as the program left them.
    bool Termios(termios& t) const { return ::tcgetattr(m_master, &t) == 0; }

    // The device vanishes.
    void CloseMaster()
    {
        if (m_master >= 0)
            ::close(m_master);
        m_master = -1;
    }

private:
    int m_master = -1;
    QString m_path;
};
