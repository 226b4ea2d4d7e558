#pragma once
// Message boxes with nobody at the screen: each box is answered as a person
// running the script would, and reported (an event on standard output, its
// text on standard error).
//
// - "No meter detected" (Retry / Cancel): Cancel at once; while a connect
//   within SECONDS is under way, the box is looked at for a second, as a
//   modal box would sit, and then answered Retry as long as the deadline has
//   not passed, Cancel once it has.
// - Every box that offers only OK (a lost meter, a port that cannot be
//   opened): OK, and the run is told of the error.
#include "shell/MessageBoxes.h"

#include <functional>
#include <optional>

class Clock;
class EventReport;
class QEventLoop;

class BoxAnswerer final : public MessageBoxes {
public:
    static constexpr int LookMs = 1000;  // how long "No meter detected" is looked at before Retry

    BoxAnswerer(Clock& clock, EventReport& report) : m_clock(clock), m_report(report) {}

    // Retry "No meter detected" until this moment on the clock; none: Cancel.
    void setRetryUntil(std::optional<double> deadline) { m_retryUntil = deadline; }
    // The run is ending: a box being looked at is closed now, as its close
    // box would close it (Cancel), and no box is retried any more.
    void Dismiss();
    // An OK box came up: the error it names ends the run.
    std::function<void(const QString& text)> onError;

    Answer Show(QWidget* parent, const QString& text, const QString& title, Icon icon, Buttons buttons) override;

private:
    Clock& m_clock;
    EventReport& m_report;
    std::optional<double> m_retryUntil;
    QEventLoop* m_looking = nullptr;
    bool m_dismissed = false;
};
