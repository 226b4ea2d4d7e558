#include "shell/Console.h"

#include <QByteArray>
#include <cstdio>

#ifdef Q_OS_UNIX
#include <unistd.h>

#include <cerrno>
#endif

void StandardError::Say(const QString& line)
{
    if (m_broken)
        return;
    const QByteArray bytes = (line + '\n').toLocal8Bit();
#ifdef Q_OS_UNIX
    // Straight to the descriptor: one write per line, nothing kept back.
    qsizetype done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(STDERR_FILENO, bytes.constData() + done, static_cast<size_t>(bytes.size() - done));
        if (n > 0) {
            done += n;
        } else if (n < 0 && errno == EINTR) {
            continue;
        } else {
            m_broken = true;
            return;
        }
    }
#else
    if (std::fwrite(bytes.constData(), 1, static_cast<size_t>(bytes.size()), stderr) != static_cast<size_t>(bytes.size()) ||
        std::fflush(stderr) != 0)
        m_broken = true;
#endif
}
