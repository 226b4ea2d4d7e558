#include "shell/SessionEnd.h"

#include <QCoreApplication>
#include <QEvent>
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
std::array<bool, EndingSignals.size()> g_handled{};

void OnEndingSignal(int signal)
{
    // Only async-signal-safe calls here. The byte carries the signal's
    // number. A full pipe means a wake-up is already waiting, which is all
    // that is needed.
    const int savedErrno = errno;
    const auto byte = static_cast<unsigned char>(signal);
    [[maybe_unused]] const ssize_t written = ::write(g_pipe[1], &byte, 1);
    errno = savedErrno;
}

// Once for the process. The handlers and the pipe stay until it exits: a
// signal that comes while the last of the output is written, the window
// gone, finds the handler and changes nothing, where the signal's own
// action would end the program a second time, by the signal.
bool Install()
{
    if (g_pipe[0] >= 0)
        return true;
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0, g_pipe) != 0)
        return false;
    struct sigaction action {};
    action.sa_handler = OnEndingSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (std::size_t i = 0; i < EndingSignals.size(); ++i) {
        // Whoever started us with the signal ignored meant it to be.
        struct sigaction previous {};
        ::sigaction(EndingSignals[i], nullptr, &previous);
        g_handled[i] = previous.sa_handler != SIG_IGN;
        if (g_handled[i])
            ::sigaction(EndingSignals[i], &action, nullptr);
    }
    return true;
}

// The first signal waiting in the pipe, or 0; takes every byte.
int TakeSignals()
{
    int signal = 0;
    unsigned char bytes[64];
    for (ssize_t n; (n = ::read(g_pipe[0], bytes, sizeof bytes)) > 0;)
        if (signal == 0)
            signal = bytes[0];
    return signal;
}
#endif

}  // namespace

SessionEnd::SessionEnd(std::function<void(int)> onEnd, QObject* parent) : QObject(parent), m_onEnd(std::move(onEnd))
{
#ifdef Q_OS_UNIX
    if (Install()) {
        // A signal that came while no session listened ended nothing then.
        TakeSignals();
        m_notifier = new QSocketNotifier(g_pipe[0], QSocketNotifier::Read, this);
        connect(m_notifier, &QSocketNotifier::activated, this, &SessionEnd::SignalArrived);
    } else {
        qWarning("Cannot watch for SIGTERM, SIGINT and SIGHUP: %s", strerror(errno));
    }
#endif
    // Once the session manager has said the session is over, Qt delivers a
    // quit to the application (and would close the windows itself).
    if (QCoreApplication::instance())
        QCoreApplication::instance()->installEventFilter(this);
}

SessionEnd::~SessionEnd()
{
    if (QCoreApplication::instance())
        QCoreApplication::instance()->removeEventFilter(this);
    // The handlers and the pipe stay: see Install.
    delete m_notifier;
    m_notifier = nullptr;
}

bool SessionEnd::Watches(int signal) const
{
#ifdef Q_OS_UNIX
    for (std::size_t i = 0; i < EndingSignals.size(); ++i)
        if (EndingSignals[i] == signal)
            return m_notifier && g_handled[i];
#endif
    Q_UNUSED(signal);
    return false;
}

bool SessionEnd::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == QCoreApplication::instance() && event->type() == QEvent::Quit) {
        End(0);
        return true;  // the program leaves through its own exit path
    }
    return QObject::eventFilter(watched, event);
}

void SessionEnd::SignalArrived()
{
#ifdef Q_OS_UNIX
    // Take every byte waiting: several signals in a row end the program once,
    // as the first of them.
    const int signal = TakeSignals();
    if (signal != 0)
        End(signal);
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
