#include "script/TextOutput.h"

#include "shell/CommandLine.h"
#include "shell/Console.h"

#include <cstring>

DescriptorOutput::DescriptorOutput(OutputQueue& queue, OutputQueue::Marker dropped, const QString& name,
                                   Console& complaints)
    : m_channel(queue.AddChannel(std::move(dropped), [name, &complaints](int error) {
          // With SIGPIPE ignored a reader that has gone is EPIPE here, not the end.
          complaints.Say(QStringLiteral("%1: cannot write to %2: %3")
                             .arg(QLatin1String(CommandLine::ProgramName), name,
                                  QString::fromLocal8Bit(std::strerror(error))));
      }))
{
}
