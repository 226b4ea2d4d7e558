#include "shell/StandardStreams.h"

#include "shell/OutputQueue.h"

#include <QFile>

#include <array>

#ifdef Q_OS_UNIX
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#endif

namespace {

std::array<bool, 3> g_closed{};

struct Queues {
    OutputQueue* output = nullptr;
    OutputQueue* error = nullptr;
};

#ifdef Q_OS_UNIX
bool SameFile(const struct stat& first, const struct stat& second)
{
    return first.st_dev == second.st_dev && first.st_ino == second.st_ino;
}
#endif

bool SameFile(int a, int b)
{
#ifdef Q_OS_UNIX
    struct stat first {}, second {};
    return ::fstat(a, &first) == 0 && ::fstat(b, &second) == 0 && SameFile(first, second);
#else
    Q_UNUSED(a);
    Q_UNUSED(b);
    return false;
#endif
}

const Queues& Made()
{
    // Made once and never destroyed: a writer left blocked on a stalled
    // reader at exit must find its queue still there.
    static const Queues queues = [] {
        Queues q;
        q.output = new OutputQueue(StandardStreams::WasClosed(1) ? -1 : 1);
        q.error = !StandardStreams::WasClosed(1) && !StandardStreams::WasClosed(2) && SameFile(1, 2)
                      ? q.output
                      : new OutputQueue(StandardStreams::WasClosed(2) ? -1 : 2);
        return q;
    }();
    return queues;
}

}  // namespace

namespace StandardStreams {

void Claim()
{
#ifdef Q_OS_UNIX
    for (int fd = 0; fd < 3; ++fd) {
        if (::fcntl(fd, F_GETFD) >= 0 || errno != EBADF)
            continue;
        g_closed[fd] = true;
        const int null = ::open("/dev/null", O_RDWR);
        if (null >= 0 && null != fd) {
            ::dup2(null, fd);
            ::close(null);
        }
    }
#endif
}

bool WasClosed(int fd)
{
    return fd >= 0 && fd < 3 && g_closed[fd];
}

OutputQueue& Output()
{
    return *Made().output;
}

OutputQueue& Error()
{
    return *Made().error;
}

OutputQueue* SameFileAs(const QString& path)
{
#ifdef Q_OS_UNIX
    struct stat named {};
    if (::stat(QFile::encodeName(path).constData(), &named) != 0)
        return nullptr;
    for (const int fd : {STDERR_FILENO, STDOUT_FILENO}) {
        struct stat standard {};
        if (!WasClosed(fd) && ::fstat(fd, &standard) == 0 && SameFile(standard, named))
            return fd == STDOUT_FILENO ? &Output() : &Error();
    }
#else
    Q_UNUSED(path);
#endif
    return nullptr;
}

}  // namespace StandardStreams
