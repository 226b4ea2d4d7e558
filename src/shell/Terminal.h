#pragma once
// The terminal a person started the program from, as a place to ask them
// something: the controlling terminal (/dev/tty, never standard input, which
// may carry a script), and only while this process is in its foreground
// process group. Its settings are left as they are.
class Terminal {
public:
    virtual ~Terminal() = default;
    // Whether there is a terminal to ask on now.
    virtual bool Present() const = 0;
    // Opens it for one question: a non-blocking descriptor to read and write,
    // with the input typed ahead discarded; -1 when there is none. The caller
    // closes it.
    virtual int Open() = 0;
};

class ControllingTerminal final : public Terminal {
public:
    bool Present() const override;
    // Also ignores SIGTTIN and SIGTTOU from then on: a run put in the
    // background fails to read instead of being stopped.
    int Open() override;
};
