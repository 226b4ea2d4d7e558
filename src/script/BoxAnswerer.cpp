#include "script/BoxAnswerer.h"

#include "script/EventReport.h"
#include "shell/Clock.h"

#include <QEventLoop>
#include <QTimer>

void BoxAnswerer::Dismiss()
{
    m_dismissed = true;
    if (m_looking)
        m_looking->quit();
}

MessageBoxes::Answer BoxAnswerer::Show(QWidget*, const QString& text, const QString& title, Icon, Buttons buttons)
{
    Answer answer = Answer::Ok;
    if (buttons == Buttons::RetryCancel) {
        answer = Answer::Cancel;
        if (!m_dismissed && m_retryUntil && m_clock.Timer() < *m_retryUntil) {
            // The box stays up for its second, the window working under it.
            QEventLoop look;
            QTimer::singleShot(LookMs, Qt::PreciseTimer, &look, &QEventLoop::quit);
            m_looking = &look;
            look.exec();
            m_looking = nullptr;
            // Dismiss() may have run inside the look.
            // cppcheck-suppress knownConditionTrueFalse
            if (!m_dismissed && m_clock.Timer() < *m_retryUntil)
                answer = Answer::Retry;
        }
    }
    static const char* const Names[] = {"ok", "retry", "cancel"};
    m_report.Event(QStringLiteral("box"),
                   {EventReport::Bare(QStringLiteral("title"), title, EventReport::Field::Kind::Quoted),
                    EventReport::Bare(QStringLiteral("text"), text, EventReport::Field::Kind::Quoted),
                    EventReport::Bare(QStringLiteral("answer"), QLatin1String(Names[int(answer)]))});
    m_report.BoxText(text);
    if (buttons == Buttons::Ok && onError)
        onError(text);
    return answer;
}
