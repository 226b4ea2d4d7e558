#include "shell/Terminal.h"

#include <QtGlobal>

#ifdef Q_OS_UNIX
#include <csignal>

#include <fcntl.h>
#include <termios.h>
#include <unistd.h>
#endif

namespace {

#ifdef Q_OS_UNIX
int OpenForeground()
{
    const int fd = ::open("/dev/tty", O_RDWR | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd >= 0 && ::tcgetpgrp(fd) != ::getpgrp()) {
        ::close(fd);
        return -1;
    }
    return fd;
}
#endif

}  // namespace

bool ControllingTerminal::Present() const
{
#ifdef Q_OS_UNIX
    const int fd = OpenForeground();
    if (fd < 0)
        return false;
    ::close(fd);
    return true;
#else
    return false;
#endif
}

int ControllingTerminal::Open()
{
#ifdef Q_OS_UNIX
    ::signal(SIGTTIN, SIG_IGN);
    ::signal(SIGTTOU, SIG_IGN);
    const int fd = OpenForeground();
    if (fd >= 0)
        ::tcflush(fd, TCIFLUSH);
    return fd;
#else
    return -1;
#endif
}
