#pragma once
// Plays a script on the main window the way a person would: each action is a
// press of the window's own control (click(), the slider's value), and the
// next line is handed over, through the event queue, once the one before is
// done: the button's handler has returned, or, for SWEEP, the sweep is
// running (its first position sent). The sweep goes on under the lines that
// follow, which therefore run inside its steps, just as clicks do. A wait is
// a precise single-shot timer; nothing is ever polled.
//
// The run stops at the first line that cannot be played (its control
// disabled, Connect/Disconnect reading the other way), at a meter that fails
// it (none found, lost, a port that will not open, an identity that does not
// match) and at a terminating signal; the meter is then released as Exit
// releases it. After the last line the player presses Exit. A window closed
// by hand (Exit, File > Exit, the close box of a --show run) ends the run on
// the line that was playing, with EndedByHand.
//
// `ask` puts its question to the operator (Asker) and waits for the answer:
// Yes goes on, No or none fails the run. A running sweep goes on while the
// question is open. Whatever ends the run while it is open closes it, and
// its event says answer=none.
#include "script/Asker.h"
#include "script/EventReport.h"
#include "script/ScriptAction.h"

#include <QObject>
#include <QTimer>

class BoxAnswerer;
class FrameWatch;
class QAbstractButton;
class frmMain;

class ScriptPlayer final : public QObject {
    Q_OBJECT
public:
    // Exit statuses of a run.
    static constexpr int Passed = 0;
    static constexpr int MeterFailed = 1;
    static constexpr int LineFailed = 2;  // a control disabled or captioned otherwise
    static constexpr int EndedByHand = 130;  // the window closed by hand (--show), as SIGINT

    // `frames` must be the window's serial port, and `boxes` its message
    // boxes; `asker` puts the questions of `ask` lines.
    ScriptPlayer(frmMain& form, FrameWatch& frames, BoxAnswerer& boxes, Asker& asker, EventReport& report,
                 QList<ScriptAction> actions);
    ~ScriptPlayer() override;
    ScriptPlayer(const ScriptPlayer&) = delete;
    ScriptPlayer& operator=(const ScriptPlayer&) = delete;

    void Start();  // hands the first line over
    // A terminating signal (0: the desktop session ended): the run ends
    // here, through the window's own way out.
    void Interrupted(int signal);

    bool Ended() const { return m_ended; }
    int Status() const { return m_status; }
    // The last line: status, where and why it failed, the meter, the time.
    void ReportEnd();

private:
    void HandOver();
    void PlayNext();
    void Play(const ScriptAction& action);
    void Connect(const ScriptAction& action);
    void Sweep(const ScriptAction& action);
    void Choose(const ScriptAction& action, QAbstractButton* option);
    void Expect(const ScriptAction& action);
    void Ask(const ScriptAction& action);
    void Answered(Asker::Answer answer);
    void QuestionClosed(Asker::Answer answer);  // its event
    void Press(const ScriptAction& action, QAbstractButton* button, int times = 1);
    bool Usable(QAbstractButton* button, const QString& caption = {});
    bool SweepShownRunning() const;
    void Done(const ScriptAction& action, QList<EventReport::Field> more = {});
    void Fail(int status, const QString& reason);
    bool EndedFromWindow();  // whether the run has ended, by hand or otherwise
    void Finish(int status, const QString& reason);

    frmMain& m_form;
    FrameWatch& m_frames;
    BoxAnswerer& m_boxes;
    Asker& m_asker;
    EventReport& m_report;
    const QList<ScriptAction> m_actions;
    qsizetype m_next = 0;

    QTimer m_wait;  // the line `wait`
    ScriptAction m_waiting;
    int m_sweepClicks = 0;         // SWEEP clicks not yet returned
    bool m_sweepStarting = false;  // SWEEP pressed, no position sent yet
    ScriptAction m_sweeping;
    bool m_resumeAfterSweep = false;  // the next line waits for a stopped sweep to unwind

    ScriptAction m_asked;  // the question open, or answered last
    bool m_asking = false;
    double m_askedAt = 0;
    QTimer m_askLimit;  // `ask within`

    bool m_ended = false;
    int m_status = Passed;
    QString m_reason;
    int m_endLine = 0;
    QString m_serial, m_firmware;  // the meter found last
};
