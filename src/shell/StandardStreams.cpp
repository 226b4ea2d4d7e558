#include "shell/StandardStreams.h"

#include "shell/OutputQueue.h"

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

bool SameFile(int a, int b)
{
#ifdef Q_OS_UNIX
    struct stat first {}, second {};
    return ::fstat(a, &first) == 0 && ::fstat(b, &second) == 0 && first.st_dev == second.st_dev &&
           first.st_ino == second.st_ino;
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

}  // namespace StandardStreams
