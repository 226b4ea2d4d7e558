#pragma once
// Lines for the person at the terminal, on standard error. Saying something
// never ends the program: a line that cannot be written (the reader has gone,
// the disk is full) is dropped, and so is every later one, since there is
// nowhere left to say it.
#include <QString>

class Console {
public:
    virtual ~Console() = default;
    virtual void Say(const QString& line) = 0;
};

class StandardError final : public Console {
public:
    void Say(const QString& line) override;

private:
    bool m_broken = false;
};
