#include "script/TextOutput.h"

#include "shell/CommandLine.h"

#include <cerrno>
#include <cstring>

#include <poll.h>
#include <unistd.h>

void DescriptorOutput::Write(const QByteArray& bytes)
{
    if (m_broken)
        return;
    // With SIGPIPE ignored a reader that has gone is EPIPE here, not the end.
    for (qsizetype done = 0; done < bytes.size();) {
        const ssize_t n = ::write(m_fd, bytes.constData() + done, static_cast<size_t>(bytes.size() - done));
        if (n >= 0) {
            done += n;
            continue;
        }
        if (errno == EINTR)
            continue;
        if (errno == EAGAIN || errno == EWOULDBLOCK) {
            pollfd writable{m_fd, POLLOUT, 0};
            ::poll(&writable, 1, -1);
            continue;
        }
        m_broken = true;
        const QString complaint = QStringLiteral("%1: cannot write to %2: %3\n")
                                      .arg(QLatin1String(CommandLine::ProgramName), m_name,
                                           QString::fromLocal8Bit(std::strerror(errno)));
        if (m_complaints)
            m_complaints->Write(complaint.toLocal8Bit());
        return;
    }
}
