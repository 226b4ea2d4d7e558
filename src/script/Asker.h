#pragma once
// Whoever answers a script's `ask` lines: the person at the screen (a dialog
// on the window) or at the terminal the run was started from. Only a person
// answers; nothing in the program does.
#include <QString>

#include <functional>

class Asker {
public:
    enum class Answer { Yes, No, None };  // None: the question went away unanswered

    virtual ~Asker() = default;
    // Puts the question asked on script line `line`; `answered` is called
    // once, later, from the event loop, unless Close() comes first.
    virtual void Ask(const QString& question, int line, std::function<void(Answer)> answered) = 0;
    // Takes an open question away; `answered` is not called.
    virtual void Close() = 0;
};
