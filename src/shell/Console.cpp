#include "shell/Console.h"

#include "shell/CommandLine.h"
#include "shell/StandardStreams.h"

StandardError::StandardError()
    : m_channel(StandardStreams::Error().AddChannel([](qint64 count, const OutputQueue::Stamp&) {
          return DroppedLine(count);
      }))
{
}

void StandardError::Say(const QString& line)
{
    m_channel.Write((line + '\n').toLocal8Bit());
}

QByteArray StandardError::DroppedLine(qint64 count)
{
    return QStringLiteral("%1: %2 lines not shown (the reader fell behind)\n")
        .arg(QLatin1String(CommandLine::ProgramName))
        .arg(count)
        .toLocal8Bit();
}
