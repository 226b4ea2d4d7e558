#include "shell/SessionEnd.h"

#include <QGuiApplication>
#include <QSessionManager>
#include <QSocketNotifier>

#ifdef Q_OS_UNIX
#include <fcntl.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstring>
#endif

namespace {

#ifdef Q_OS_UNIX
constexpr std::array<int, 3> EndingSignals{SIGTERM, SIGINT, SIGHUP};
// The pipe from the signal handler to the event loop: [0] read, [1] write.
int g_pipe[2] = {-1, -1};
std::array<struct sigaction, EndingSignals.size()> g_previous{};

void OnEndingSignal(int signal)
{
    // Only async-signal-safe calls here. A full pipe means a wake-up is
    // already waiting, which is all that is needed.
    const int savedErrno = errno;
    const char byte = static_cast<char>(signal);
    [[maybe_unused]] const ssize_t written = ::write(g_pipe[1], &byte, 1);
    errno = savedErrno;
}
#endif

}  // namespace

SessionEnd::SessionEnd(std::function<void(int signal)> onEnd, QObject* parent) : QObject(parent), m_onEnd(std::move(onEnd))
{
#ifdef Q_OS_UNIX
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0, g_pipe) == 0) {
        m_notifier = new QSocketNotifier(g_pipe[0], QSocketNotifier::Read, this);
        connect(m_notifier, &QSocketNotifier::activated, this, &SessionEnd::SignalArrived);
        struct sigaction action {};
        action.sa_handler = OnEndingSignal;
        sigemptyset(&action.sa_mask);
        action.sa_flags = SA_RESTART;
        for (std::size_t i = 0; i < EndingSignals.size(); ++i)
            ::sigaction(EndingSignals[i], &action, &g_previous[i]);
    } else {
        qWarning("Cannot watch for SIGTERM, SIGINT and SIGHUP: %s", strerror(errno));
    }
#endif
#ifndef QT_NO_SESSIONMANAGER
    // Logging off or shutting down: the program is not asked to save
    // anything, it simply ends as if Exit had been chosen.
    if (qGuiApp)
        connect(qGuiApp, &QGuiApplication::commitDataRequest, this, [this](QSessionManager&) { End(0); });
#endif
}

SessionEnd::~SessionEnd()
{
#ifdef Q_OS_UNIX
    if (m_notifier) {
        for (std::size_t i = 0; i < EndingSignals.size(); ++i)
            ::sigaction(EndingSignals[i], &g_previous[i], nullptr);
        delete m_notifier;
        m_notifier = nullptr;
        ::close(g_pipe[0]);
        ::close(g_pipe[1]);
        g_pipe[0] = g_pipe[1] = -1;
    }
#endif
}

void SessionEnd::SignalArrived()
{
#ifdef Q_OS_UNIX
    // Take every byte waiting: several signals in a row end the program
    // once, as the first of them.
    int first = 0;
    char bytes[64];
    while (::read(g_pipe[0], bytes, sizeof bytes) > 0) {
        if (first == 0)
            first = static_cast<unsigned char>(bytes[0]);
    }
    End(first);
#else
    End(0);
#endif
}

void SessionEnd::End(int signal)
{
    // A second request while the first is handled adds nothing.
    if (m_ending)
        return;
    m_ending = true;
    m_onEnd(signal);
    m_ending = false;
}
