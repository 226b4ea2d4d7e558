#pragma once
// `ask` without a window on the screen: on the terminal the run was started
// from. The question is printed as "QUESTION [y/n] " and answered by a line
// that starts with y or n, in either case; any other line asks again. The
// terminal is read through the event loop as it becomes readable, never
// waited on, so a running sweep keeps its pace. A read or write that fails
// (the terminal gone, the run put in the background) or the end of its input
// is no answer.
#include "script/Asker.h"

#include <QByteArray>
#include <QObject>

#include <memory>

class QSocketNotifier;
class Terminal;

class TerminalAsker final : public Asker {
public:
    explicit TerminalAsker(Terminal& terminal);
    ~TerminalAsker() override;
    TerminalAsker(const TerminalAsker&) = delete;
    TerminalAsker& operator=(const TerminalAsker&) = delete;

    void Ask(const QString& question, int line, std::function<void(Answer)> answered) override;
    void Close() override;

private:
    void Prompt();
    void Readable();
    void Give(Answer answer);

    Terminal& m_terminal;
    QObject m_context;  // for answers handed over through the event loop
    int m_fd = -1;
    std::unique_ptr<QSocketNotifier> m_notifier;
    QByteArray m_prompt;
    QByteArray m_typed;  // a line not yet ended
    std::function<void(Answer)> m_answered;
};
