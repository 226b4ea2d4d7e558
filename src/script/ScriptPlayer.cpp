#include "script/ScriptPlayer.h"

#include "script/BoxAnswerer.h"
#include "script/FrameWatch.h"
#include "script/IdentityPattern.h"
#include "shell/Clock.h"
#include "shell/frmMain.h"
#include "shell/qzGlobals.h"

#include <QAction>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <QToolButton>

#include <csignal>
#include <cmath>

namespace {

using Kind = ScriptAction::Kind;
using Field = EventReport::Field;

const QString ConnectCaption = QStringLiteral("Connect");
const QString DisconnectCaption = QStringLiteral("Disconnect");

// The details of an action's event beyond its name.
QList<Field> Details(const ScriptAction& a)
{
    switch (a.kind) {
    case Kind::Connect:
        if (a.seconds >= 0)
            return {EventReport::Named("within", ScriptAction::Decimal(a.seconds), Field::Kind::Number)};
        return {};
    case Kind::Cycle:
        return {EventReport::Bare("count", QString::number(a.number), Field::Kind::Number)};
    case Kind::Speed:
        return {EventReport::Bare("value", QString::number(a.number), Field::Kind::Number)};
    case Kind::Wait:
        return {EventReport::Bare("seconds", ScriptAction::Decimal(a.seconds), Field::Kind::Number)};
    case Kind::CalibrationOn:
    case Kind::CalibrationOff:
    case Kind::ScaleTrad:
    case Kind::ScaleSimple:
        return {EventReport::Bare("setting", a.Text().section(' ', 1))};
    case Kind::ExpectSerial:
    case Kind::ExpectFirmware:
        return {EventReport::Bare("what", a.Text().section(' ', 1, 1)), EventReport::Bare("pattern", a.pattern)};
    default:
        return {};
    }
}

QString SignalName(int signal)
{
    switch (signal) {
    case SIGINT: return QStringLiteral("SIGINT");
    case SIGTERM: return QStringLiteral("SIGTERM");
    case SIGHUP: return QStringLiteral("SIGHUP");
    case 0: return QStringLiteral("the end of the desktop session");
    default: return QStringLiteral("signal %1").arg(signal);
    }
}

}  // namespace

ScriptPlayer::ScriptPlayer(frmMain& form, FrameWatch& frames, BoxAnswerer& boxes, Asker& asker, EventReport& report,
                           QList<ScriptAction> actions)
    : m_form(form), m_frames(frames), m_boxes(boxes), m_asker(asker), m_report(report), m_actions(std::move(actions))
{
    m_wait.setSingleShot(true);
    m_wait.setTimerType(Qt::PreciseTimer);
    connect(&m_wait, &QTimer::timeout, this, [this] { Done(m_waiting); });
    m_askLimit.setSingleShot(true);
    m_askLimit.setTimerType(Qt::PreciseTimer);
    connect(&m_askLimit, &QTimer::timeout, this, [this] {
        m_asker.Close();
        QuestionClosed(Asker::Answer::None);
        if (!EndedFromWindow())
            Fail(MeterFailed, QStringLiteral("no answer within %1 s: \"%2\"")
                                  .arg(ScriptAction::Decimal(m_asked.seconds), m_asked.question));
    });
    // SWEEP is done once it has sent its first position.
    m_frames.onFrame = [this](const QByteArray& frame) {
        if (m_sweepStarting && frame.startsWith('N')) {
            m_sweepStarting = false;
            Done(m_sweeping);
        }
    };
    // A box that only offers OK is an error the run cannot go past.
    m_boxes.onError = [this](const QString& text) { Fail(MeterFailed, QString(text).replace("\r\n", " ")); };
}

ScriptPlayer::~ScriptPlayer()
{
    m_frames.onFrame = nullptr;
    m_boxes.onError = nullptr;
}

void ScriptPlayer::Start()
{
    HandOver();
}

void ScriptPlayer::HandOver()
{
    QMetaObject::invokeMethod(this, &ScriptPlayer::PlayNext, Qt::QueuedConnection);
}

bool ScriptPlayer::SweepShownRunning() const
{
    return !m_form.cmdSweep->isEnabled() && m_form.cmdConnect->text() == DisconnectCaption;
}

bool ScriptPlayer::EndedFromWindow()
{
    // Exit, File > Exit or the close box, chosen by hand: the script never
    // asks for Exit before it has ended the run itself.
    if (!m_ended && qzGlobals::QuitRequested)
        Finish(EndedByHand, QStringLiteral("ended from the window"));
    return m_ended;
}

void ScriptPlayer::PlayNext()
{
    if (EndedFromWindow())
        return;
    // A line played inside a sweep step stopped the sweep (LEFT, RIGHT,
    // Disconnect): a person would see it stop before going on.
    if (m_sweepClicks > 0 && !SweepShownRunning()) {
        m_resumeAfterSweep = true;
        return;
    }
    if (m_next == m_actions.size()) {
        m_form.cmdExit->click();
        Finish(Passed, {});
        return;
    }
    const ScriptAction& action = m_actions.at(m_next++);
    m_report.setLine(action.line);
    Play(action);
}

void ScriptPlayer::Play(const ScriptAction& a)
{
    switch (a.kind) {
    case Kind::Connect: return Connect(a);
    case Kind::Disconnect:
        if (Usable(m_form.cmdConnect, DisconnectCaption))
            Press(a, m_form.cmdConnect);
        return;
    case Kind::Left: return Press(a, m_form.cmdLeft);
    case Kind::Right: return Press(a, m_form.cmdRight);
    case Kind::Sweep: return Sweep(a);
    case Kind::Cycle: return Press(a, m_form.cmdCycle, a.number);
    case Kind::CalibrationOn: return Choose(a, m_form.optLUT);
    case Kind::CalibrationOff: return Choose(a, m_form.optLIN);
    case Kind::ScaleTrad: return Choose(a, m_form.optTrad);
    case Kind::ScaleSimple: return Choose(a, m_form.optSimple);
    case Kind::Speed:
        // The slider sets the pace of a running sweep and of nothing else.
        if (m_sweepClicks == 0 || m_sweepStarting || !SweepShownRunning() || !m_form.SldSpeed->isEnabled())
            return Fail(LineFailed, QStringLiteral("Sweep Speed moves only while a sweep runs"));
        m_form.SldSpeed->setValue(a.number);
        return Done(a);
    case Kind::Wait:
        m_waiting = a;
        m_wait.start(static_cast<int>(std::lround(a.seconds * 1000)));
        return;
    case Kind::ExpectSerial:
    case Kind::ExpectFirmware: return Expect(a);
    case Kind::Ask: return Ask(a);
    case Kind::Exit:
        if (Usable(m_form.cmdExit)) {
            m_form.cmdExit->click();
            m_report.Event(QStringLiteral("exit"));
            Finish(Passed, {});
        }
        return;
    }
}

bool ScriptPlayer::Usable(QAbstractButton* button, const QString& caption)
{
    if (EndedFromWindow())
        return false;
    if (!button->isEnabled())
        Fail(LineFailed, QStringLiteral("%1 is disabled").arg(button->text()));
    else if (!caption.isEmpty() && button->text() != caption)
        Fail(LineFailed, QStringLiteral("the button reads '%1', not '%2'").arg(button->text(), caption));
    return !m_ended;
}

void ScriptPlayer::Press(const ScriptAction& a, QAbstractButton* button, int times)
{
    for (int i = 0; i < times; ++i) {
        if (!Usable(button))
            return;
        button->click();
    }
    Done(a);
}

void ScriptPlayer::Connect(const ScriptAction& a)
{
    if (!Usable(m_form.cmdConnect, ConnectCaption))
        return;
    if (a.seconds >= 0)
        m_boxes.setRetryUntil(m_form.platform().clock->Timer() + a.seconds);
    m_form.cmdConnect->click();  // returns once a meter is found or given up
    m_boxes.setRetryUntil(std::nullopt);
    const bool found = m_form.cmdConnect->text() == DisconnectCaption;
    if (found) {
        // The meter as the window shows it: its port ticked in the Port
        // menu. Said also when the run ended during the search, so that
        // "end" names the meter that was found and let go.
        QString port;
        for (int i = 1; i <= 16; ++i)
            if (m_form.mnuSourcePortComm[i]->isChecked())
                port = QStringLiteral("Comm%1").arg(i);
        m_serial = m_form.lblHard->text();
        m_firmware = m_form.lblFirm->text();
        m_report.Event(QStringLiteral("found"), {EventReport::Bare("port", port),
                                                 EventReport::Bare("device", m_form.Comm1().DevicePath()),
                                                 EventReport::Named("serial", m_serial),
                                                 EventReport::Named("firmware", m_firmware)});
    }
    if (EndedFromWindow())
        return;
    if (!found)
        return Fail(MeterFailed, QStringLiteral("no meter found"));
    Done(a);
}

void ScriptPlayer::Sweep(const ScriptAction& a)
{
    if (!Usable(m_form.cmdSweep))
        return;
    m_sweeping = a;
    m_sweepStarting = true;
    ++m_sweepClicks;
    m_form.cmdSweep->click();  // returns when the sweep has ended
    --m_sweepClicks;
    // The first position, seen through the port inside the click, clears it.
    // cppcheck-suppress knownConditionTrueFalse
    if (m_sweepStarting) {
        m_sweepStarting = false;
        if (!EndedFromWindow())
            Fail(MeterFailed, QStringLiteral("the sweep did not start"));
    }
    if (m_resumeAfterSweep && m_sweepClicks == 0) {
        m_resumeAfterSweep = false;
        HandOver();
    }
}

void ScriptPlayer::Choose(const ScriptAction& a, QAbstractButton* option)
{
    if (!Usable(option))
        return;
    // Selecting the selected option changes nothing, on screen as here.
    if (option->isChecked())
        return Done(a, {EventReport::Named("note", "already selected, nothing sent", Field::Kind::Quoted)});
    option->click();
    Done(a);
}

void ScriptPlayer::Expect(const ScriptAction& a)
{
    const bool serial = a.kind == Kind::ExpectSerial;
    if (m_form.cmdConnect->text() != DisconnectCaption || m_form.lblHard->isHidden())
        return Fail(MeterFailed, QStringLiteral("no meter connected"));
    const QString value = (serial ? m_form.lblHard : m_form.lblFirm)->text();
    const QString what = serial ? QStringLiteral("serial") : QStringLiteral("firmware");
    if (!IdentityPattern::Matches(a.pattern, value))
        return Fail(MeterFailed, QStringLiteral("%1 %2 does not match %3").arg(what, value, a.pattern));
    Done(a, {EventReport::Named("value", value)});
}

void ScriptPlayer::Ask(const ScriptAction& a)
{
    m_asked = a;
    m_asking = true;
    m_askedAt = m_form.platform().clock->Timer();
    if (a.seconds >= 0)
        m_askLimit.start(static_cast<int>(std::lround(a.seconds * 1000)));
    m_asker.Ask(a.question, a.line, [this](Asker::Answer answer) { Answered(answer); });
}

void ScriptPlayer::Answered(Asker::Answer answer)
{
    QuestionClosed(answer);
    if (EndedFromWindow())
        return;
    switch (answer) {
    case Asker::Answer::Yes: return HandOver();
    case Asker::Answer::No:
        return Fail(MeterFailed, QStringLiteral("operator answered no: \"%1\"").arg(m_asked.question));
    case Asker::Answer::None: return Fail(MeterFailed, QStringLiteral("no answer: \"%1\"").arg(m_asked.question));
    }
}

void ScriptPlayer::QuestionClosed(Asker::Answer answer)
{
    static const char* const Names[] = {"yes", "no", "none"};
    m_asking = false;
    m_askLimit.stop();
    m_report.setLine(m_asked.line);
    m_report.Event(QStringLiteral("ask"),
                   {EventReport::Named("question", m_asked.question, Field::Kind::Quoted),
                    EventReport::Named("answer", QLatin1String(Names[int(answer)])),
                    EventReport::Named("seconds", EventReport::Seconds(m_form.platform().clock->Timer() - m_askedAt),
                                       Field::Kind::Number)});
}

void ScriptPlayer::Done(const ScriptAction& a, QList<Field> more)
{
    if (EndedFromWindow())
        return;
    m_report.setLine(a.line);
    m_report.Event(a.Text().section(' ', 0, 0), Details(a) + more);
    HandOver();
}

void ScriptPlayer::Finish(int status, const QString& reason)
{
    m_ended = true;
    m_status = status;
    m_reason = reason;
    m_endLine = m_report.Line();
    m_wait.stop();
    m_boxes.Dismiss();
    if (m_asking) {
        m_asker.Close();
        QuestionClosed(Asker::Answer::None);
    }
}

void ScriptPlayer::Fail(int status, const QString& reason)
{
    if (m_ended)
        return;
    Finish(status, reason);
    // Released as Exit releases it: "R" and "U" if the port is open.
    m_form.cmdExit->click();
}

void ScriptPlayer::Interrupted(int signal)
{
    if (!m_ended)
        Finish(128 + (signal > 0 ? signal : SIGTERM), QStringLiteral("ended by %1").arg(SignalName(signal)));
    m_boxes.Dismiss();
    m_form.Session_End();
}

void ScriptPlayer::ReportEnd()
{
    // The main loop ended without the script's say: the window was closed
    // while a line was playing.
    EndedFromWindow();
    m_report.setLine(m_endLine);
    QList<Field> fields{EventReport::Named("status", QString::number(m_status), Field::Kind::Number)};
    if (m_status != Passed) {
        fields << Field{"line", QString::number(m_endLine), Field::Kind::Number, false, true}
               << EventReport::Named("reason", m_reason, Field::Kind::Quoted);
    }
    fields << EventReport::Named("serial", m_serial) << EventReport::Named("firmware", m_firmware)
           << EventReport::Named("elapsed", EventReport::Seconds(m_report.Elapsed()), Field::Kind::Number);
    m_report.End(fields);
}
