#pragma once
// Standard output for the reports the command line prints and exits after
// (--help, --version, --list-ports), written as they are made. A reader that
// has gone (`--list-ports | head -1`) ends the program quietly, as coreutils
// end: by SIGPIPE, once what is open has been let go, or with WriteErrorStatus
// and no word where SIGPIPE was ignored when the program started. Any other
// write error (`>/dev/full`) is said in one line on standard error and the
// program exits with WriteErrorStatus.
#include <QByteArray>

class StandardOutput {
public:
    static constexpr int WriteErrorStatus = 3;

    // Whether SIGPIPE was ignored when the program started; call before
    // anything changes it.
    static void NoteStartingDisposition();

    // false once a write has failed; nothing more is written then.
    bool Write(const QByteArray& bytes);
    // The exit status: `status` when everything was written; otherwise ends
    // the program as described above, or returns WriteErrorStatus.
    int Status(int status) const;

private:
    int m_error = 0;  // errno of the write that failed
};
