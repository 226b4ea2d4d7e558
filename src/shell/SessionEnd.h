#pragma once
// The ways a desktop session or a terminal ends a program: the signals SIGTERM
// (logout, shutdown, `kill`, systemd), SIGINT (Ctrl+C) and SIGHUP (the
// terminal closed), and the quit that Qt delivers to the application once the
// session manager says the session is over. Each becomes one call of `onEnd`
// on the user-interface thread, from the event loop, with the signal's number
// (0 for the end of the desktop session), so that the program can leave
// through its normal exit path. The signal handler itself only writes a byte
// to a pipe; nothing of Qt runs inside it.
//
// A signal that was ignored when the program started (`nohup`, a background
// job whose shell ignores SIGINT) stays ignored. The session manager's request
// to save data is not an end: it also comes for checkpoints and before a
// logout that another program may still cancel.
//
// The handlers, once set, stay for the rest of the process, and so does
// their pipe: a signal after the SessionEnd is gone (while the last of the
// output is written) is taken and changes nothing, so that the program ends
// as the first signal said. One SessionEnd at a time.
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

    // Whether `signal` ends the program (it was not ignored at start).
    bool Watches(int signal) const;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void SignalArrived();
    void End(int signal);

    std::function<void(int)> m_onEnd;
    QSocketNotifier* m_notifier = nullptr;
    bool m_ending = false;  // onEnd is running
};
