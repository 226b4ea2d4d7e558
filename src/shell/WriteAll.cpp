#include "shell/WriteAll.h"

#include <cerrno>
#include <cstdio>

#ifdef Q_OS_UNIX
#include <poll.h>
#include <unistd.h>

int WriteAll(int fd, const QByteArray& bytes)
{
    for (qsizetype done = 0; done < bytes.size();) {
        const ssize_t n = ::write(fd, bytes.constData() + done, static_cast<size_t>(bytes.size() - done));
        if (n > 0) {
            done += n;
        } else if (n < 0 && errno == EAGAIN) {
            pollfd writable{fd, POLLOUT, 0};
            ::poll(&writable, 1, -1);
        } else if (n < 0 && errno != EINTR) {
            return errno;
        } else if (n == 0) {
            return EIO;
        }
    }
    return 0;
}
#else
#include <io.h>

int WriteAll(int fd, const QByteArray& bytes)
{
    for (qsizetype done = 0; done < bytes.size();) {
        const int n = ::_write(fd, bytes.constData() + done, static_cast<unsigned>(bytes.size() - done));
        if (n <= 0)
            return n < 0 ? errno : EIO;
        done += n;
    }
    return 0;
}
#endif
