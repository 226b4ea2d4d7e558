#include "shell/StandardOutput.h"

#include "shell/CommandLine.h"
#include "shell/StandardStreams.h"
#include "shell/WriteAll.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

#ifdef Q_OS_UNIX
#include <signal.h>
#include <unistd.h>
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
    // A standard output that was closed at start stays a failed write.
    if (m_error == 0)
        m_error = StandardStreams::WasClosed(fileno(stdout)) ? EBADF : WriteAll(fileno(stdout), bytes);
    return m_error == 0;
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
