#include "script/TextOutput.h"

#include "shell/CommandLine.h"
#include "shell/Console.h"
#include "shell/WriteAll.h"

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
    m_complaints.Say(QStringLiteral("%1: cannot write to %2: %3")
                         .arg(QLatin1String(CommandLine::ProgramName), m_name,
                              QString::fromLocal8Bit(std::strerror(error))));
}
