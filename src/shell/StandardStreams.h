#pragma once
// Standard input, output and error as the program found them at start.
//
// A service manager or a cron set-up may start us with one of them closed
// (`>&-`, `2>&-`). The next file opened would then take that number, and
// whatever the program says on standard output would land in the trace or
// on a serial port. So before anything else is opened, each closed one gets
// /dev/null, and the program remembers that it was closed: writing to it
// still fails as it would have (EBADF), and reading a script from it is an
// error, not an empty script.
//
// The queued writers of standard output and error (OutputQueue) are made here
// on first use; when both are the same pipe, terminal or file they are one
// queue, so that their lines keep the order they were made in. Another output
// that names one of them (a trace to /dev/stderr) writes through its queue
// too, and never opens it afresh.
#include <QString>

class OutputQueue;

namespace StandardStreams {

// Call first thing in main, before any file is opened.
void Claim();
// Whether descriptor 0, 1 or 2 was closed when Claim ran.
bool WasClosed(int fd);

OutputQueue& Output();
OutputQueue& Error();

// The queue of standard output or error when `path` is the same file (the
// same device and inode, also the same pipe), else none. Looked up with stat,
// without opening `path`.
OutputQueue* SameFileAs(const QString& path);

}  // namespace StandardStreams
