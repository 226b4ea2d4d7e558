#pragma once
// A pseudo-terminal the test holds the master side of, playing the device or the far end of a line; its device side as
// another program left it, at 4800 baud with hardware handshaking. Programs the test starts get neither end.
#include <QString>

#include <utility>

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

struct Pty {
    int master = -1, slave = -1;
    QString name;

    Pty()
    {
        char path[256] = {};
        termios line{};
        ::cfmakeraw(&line);
        ::cfsetspeed(&line, B4800);
        line.c_cflag |= CRTSCTS;
        if (::openpty(&master, &slave, path, &line, nullptr) == 0)
            name = QString::fromLatin1(path);
        ::fcntl(master, F_SETFD, FD_CLOEXEC);
        ::fcntl(slave, F_SETFD, FD_CLOEXEC);
    }
    ~Pty()
    {
        ::close(slave);
        HangUp();
    }
    void HangUp() { ::close(std::exchange(master, -1)); }
    // Up to `count` bytes from the device side, waiting at most `ms` for each part.
    QByteArray Read(qsizetype count, int ms = 2000) const
    {
        QByteArray got;
        char buf[512];
        pollfd p{master, POLLIN, 0};
        for (ssize_t n = 0; got.size() < count && ::poll(&p, 1, ms) > 0 && (n = ::read(master, buf, sizeof buf)) > 0;)
            got.append(buf, n);
        return got;
    }
    termios Line() const
    {
        termios line{};
        ::tcgetattr(slave, &line);
        return line;
    }
};
