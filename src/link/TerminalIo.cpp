#include "link/TerminalIo.h"

#ifdef Q_OS_UNIX
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>

qint64 SystemTerminalIo::Write(int fd, const char* data, qint64 size, int& error)
{
    const ssize_t n = ::write(fd, data, static_cast<size_t>(size));
    error = n < 0 ? errno : 0;
    return n;
}

void SystemTerminalIo::WaitWritable(int fd, int ms)
{
    pollfd p{fd, POLLOUT, 0};
    ::poll(&p, 1, ms);
}

bool SystemTerminalIo::Drain(int fd, int& error)
{
    int rc;
    do {
        rc = ::tcdrain(fd);
    } while (rc != 0 && errno == EINTR);
    error = rc == 0 ? 0 : errno;
    return rc == 0;
}

void SystemTerminalIo::DiscardOutput(int fd)
{
    ::tcflush(fd, TCOFLUSH);
}
#else
// QSerialPort's Windows handle is no descriptor of this kind: the serial
// control writes through QSerialPort there and never comes here.
qint64 SystemTerminalIo::Write(int, const char*, qint64, int& error)
{
    error = -1;
    return -1;
}
void SystemTerminalIo::WaitWritable(int, int) {}
bool SystemTerminalIo::Drain(int, int& error)
{
    error = 0;
    return true;
}
void SystemTerminalIo::DiscardOutput(int) {}
#endif
