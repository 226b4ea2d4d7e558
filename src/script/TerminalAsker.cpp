#include "script/TerminalAsker.h"

#include "shell/Terminal.h"

#include <QSocketNotifier>

#include <cerrno>

#include <unistd.h>

TerminalAsker::TerminalAsker(Terminal& terminal) : m_terminal(terminal) {}

TerminalAsker::~TerminalAsker()
{
    Close();
}

void TerminalAsker::Ask(const QString& question, int, std::function<void(Answer)> answered)
{
    Close();
    m_answered = std::move(answered);
    m_prompt = (question + QStringLiteral(" [y/n] ")).toUtf8();
    m_typed.clear();
    m_fd = m_terminal.Open();
    if (m_fd < 0) {
        QMetaObject::invokeMethod(&m_context, [this] { Give(Answer::None); }, Qt::QueuedConnection);
        return;
    }
    m_notifier = std::make_unique<QSocketNotifier>(m_fd, QSocketNotifier::Read);
    QObject::connect(m_notifier.get(), &QSocketNotifier::activated, &m_context, [this] { Readable(); });
    Prompt();
}

void TerminalAsker::Close()
{
    m_answered = nullptr;
    m_notifier.reset();
    if (m_fd >= 0)
        ::close(std::exchange(m_fd, -1));
}

void TerminalAsker::Give(Answer answer)
{
    if (!m_answered)
        return;
    const auto answered = std::exchange(m_answered, nullptr);
    Close();
    answered(answer);
}

void TerminalAsker::Prompt()
{
    for (qsizetype done = 0; done < m_prompt.size();) {
        const ssize_t n = ::write(m_fd, m_prompt.constData() + done, size_t(m_prompt.size() - done));
        if (n > 0) {
            done += n;
        } else if (n < 0 && errno == EAGAIN) {
            return;  // a terminal with no room now: the question shows in part
        } else if (n < 0 && errno != EINTR) {
            QMetaObject::invokeMethod(&m_context, [this] { Give(Answer::None); }, Qt::QueuedConnection);
            return;
        }
    }
}

void TerminalAsker::Readable()
{
    bool ended = false;  // the end of input, or a read that failed
    char buffer[256];
    for (;;) {
        const ssize_t n = ::read(m_fd, buffer, sizeof buffer);
        if (n > 0)
            m_typed.append(buffer, n);
        else if (n == 0 || (errno != EAGAIN && errno != EINTR))
            ended = true;
        if (ended || (n < 0 && errno == EAGAIN))
            break;
    }
    // The lines typed before the input ended still answer.
    for (qsizetype end; (end = m_typed.indexOf('\n')) >= 0;) {
        const char first = m_typed.at(0);
        m_typed.remove(0, end + 1);
        if (first == 'y' || first == 'Y')
            return Give(Answer::Yes);
        if (first == 'n' || first == 'N')
            return Give(Answer::No);
        Prompt();
    }
    if (ended)
        Give(Answer::None);
}
