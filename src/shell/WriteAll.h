#pragma once
// Writes all of `bytes` to the descriptor `fd`, waiting for room where the
// descriptor is non-blocking and retrying when a signal interrupts. Returns 0,
// or the system's error number of the write that failed (EPIPE for a reader
// that has gone, SIGPIPE being ignored; ENOSPC for a full disk).
#include <QByteArray>

int WriteAll(int fd, const QByteArray& bytes);
