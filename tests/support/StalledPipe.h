#pragma once
// A pipe whose reader stalls: the test holds its read end and reads only when
// it chooses. Shrunk to one page and filled with '#', it makes a writer wait
// from its first byte. A program the test starts takes the write end as one
// of its descriptors (Give, in the child before it runs), or, made as a FIFO,
// opens it by its name.
#include <QByteArray>

#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

struct StalledPipe {
    int read = -1, write = -1;

    StalledPipe()
    {
        int ends[2] = {-1, -1};
        ::pipe2(ends, O_CLOEXEC | O_NONBLOCK);
        read = ends[0], write = ends[1];
        Stall();
    }
    explicit StalledPipe(const char* fifo)
    {
        ::mkfifo(fifo, 0600);
        read = ::open(fifo, O_RDONLY | O_NONBLOCK | O_CLOEXEC);
        write = ::open(fifo, O_WRONLY | O_NONBLOCK | O_CLOEXEC);
        Stall();
    }
    void Stall()
    {
        ::fcntl(write, F_SETPIPE_SZ, 4096);
        while (::write(write, QByteArray(4096, '#').constData(), 4096) > 0) {
        }
        ::fcntl(write, F_SETFL, 0), ::fcntl(read, F_SETFL, 0);
    }
    ~StalledPipe() { ::close(read), ::close(write); }
    void Give(int fd) const { ::dup2(write, fd); }
    // What has come, the filler left out, until nothing more comes for `quietMs`.
    QByteArray Drain(int quietMs = 200) const
    {
        QByteArray got;
        char buf[4096];
        pollfd p{read, POLLIN, 0};
        for (ssize_t n = 0; ::poll(&p, 1, quietMs) > 0 && (n = ::read(read, buf, sizeof buf)) > 0;)
            got.append(buf, n);
        return got.replace('#', "");
    }
    // One read: the reader takes a page of what waits (at first, the filler), then pauses.
    QByteArray Take() const
    {
        char buf[4096];
        const ssize_t n = ::read(read, buf, sizeof buf);
        return QByteArray(buf, n > 0 ? int(n) : 0).replace('#', "");
    }
};
