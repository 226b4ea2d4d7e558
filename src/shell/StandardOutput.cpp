#include "shell/StandardOutput.h"

#include "shell/CommandLine.h"
#include "shell/WriteAll.h"

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
    if (m_error == 0)
        m_error = WriteAll(fileno(stdout), bytes);
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
