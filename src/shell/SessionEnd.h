#pragma once
// The ways a desktop session or a terminal ends a program: the session
// manager's end-of-session request (logging off, shutting down) and the
// signals SIGTERM (logout, shutdown, `kill`, systemd), SIGINT (Ctrl+C) and
// SIGHUP (the terminal closed). Each becomes one call of `onEnd` on the
// user-interface thread, from the event loop, so that the program can leave
// through its normal exit path; `onEnd` gets the signal's number, or 0 for the
// end of the desktop session. The signal handler itself only writes the
// signal's number to a pipe; nothing of Qt runs inside it.
//
// One SessionEnd at a time; it puts the signals' earlier handling back when
// it is destroyed.
#include <QObject>

#include <functional>

class QSocketNotifier;

class SessionEnd final : public QObject {
    Q_OBJECT
public:
    explicit SessionEnd(std::function<void(int signal)> onEnd, QObject* parent = nullptr);
    ~SessionEnd() override;
    SessionEnd(const SessionEnd&) = delete;
    SessionEnd& operator=(const SessionEnd&) = delete;

private:
    void SignalArrived();
    void End(int signal);

    std::function<void(int signal)> m_onEnd;
    QSocketNotifier* m_notifier = nullptr;
    bool m_ending = false;  // onEnd is running
};
