#include "shell/StandardOutput.h"

#include "shell/CommandLine.h"

#include <cstdio>
#include <cstring>

#ifdef Q_OS_UNIX
#include <signal.h>
#include <unistd.h>

#include <cerrno>
#endif

namespace {
bool g_sigpipeIgnoredAtStart = false;
}

void StandardOutput::NoteStartingDisposition()
{
#ifdef Q_OS_UNIX
    struct sigaction previous {};
    ::sigaction(SIGPIPE, nullptr, &previous);
    g_sigpipeIgnoredAtStart = previous.sa_handler == SIG_IGN;
#endif
}

bool StandardOutput::Write(const QByteArray& bytes)
{
    if (m_error != 0)
        return false;
#ifdef Q_OS_UNIX
    qsizetype done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(STDOUT_FILENO, bytes.constData() + done, static_cast<size_t>(bytes.size() - done));
        if (n > 0) {
            done += n;
        } else if (n < 0 && errno == EINTR) {
            continue;
        } else {
            m_error = n < 0 ? errno : EIO;
            return false;
        }
    }
#else
    if (std::fwrite(bytes.constData(), 1, static_cast<size_t>(bytes.size()), stdout) != static_cast<size_t>(bytes.size()) ||
        std::fflush(stdout) != 0) {
        m_error = errno ? errno : EIO;
        return false;
    }
#endif
    return true;
}

int StandardOutput::Status(int status) const
{
    if (m_error == 0)
        return status;
#ifdef Q_OS_UNIX
    if (m_error == EPIPE) {
        if (!g_sigpipeIgnoredAtStart) {
            ::signal(SIGPIPE, SIG_DFL);
            ::raise(SIGPIPE);
        }
        return WriteErrorStatus;
    }
#endif
    std::fprintf(stderr, "%s: cannot write to standard output: %s\n", CommandLine::ProgramName, std::strerror(m_error));
    return WriteErrorStatus;
}
