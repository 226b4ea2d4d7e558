#include "script/TextOutput.h"

#include "shell/CommandLine.h"
#include "shell/WriteAll.h"

#include <cerrno>
#include <cstring>


void DescriptorOutput::Write(const QByteArray& bytes)
{
    if (m_broken)
        return;
    // With SIGPIPE ignored a reader that has gone is EPIPE here, not the end.
    const int error = WriteAll(m_fd, bytes);
    if (error == 0)
        return;
    m_broken = true;
    const QString complaint = QStringLiteral("%1: cannot write to %2: %3\n")
                                  .arg(QLatin1String(CommandLine::ProgramName), m_name,
                                       QString::fromLocal8Bit(std::strerror(error)));
    if (m_complaints)
        m_complaints->Write(complaint.toLocal8Bit());
}
