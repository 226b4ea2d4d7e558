#include "script/SearchReport.h"

#include "script/EventReport.h"

void SearchReport::Busy(int comm, const QString& device, const DeviceAccess::Holder& holder)
{
    QList<EventReport::Field> fields{EventReport::Bare("port", QStringLiteral("Comm%1").arg(comm)),
                                     EventReport::Bare("device", device)};
    if (!holder.name.isEmpty())
        fields << EventReport::Named("holder", holder.name, EventReport::Field::Kind::Quoted);
    if (holder.pid > 0)
        fields << EventReport::Named("pid", QString::number(holder.pid), EventReport::Field::Kind::Number);
    m_report.Event(QStringLiteral("busy"), fields);
}

void SearchReport::Skipped(int comm, const QString& device, const QString& reason)
{
    Passed(QStringLiteral("skipped"), comm, device, reason);
}

void SearchReport::Unavailable(int comm, const QString& device, const QString& reason)
{
    Passed(QStringLiteral("unavailable"), comm, device, reason);
}

void SearchReport::Passed(const QString& event, int comm, const QString& device, const QString& reason)
{
    m_report.Event(event, {EventReport::Bare("port", QStringLiteral("Comm%1").arg(comm)),
                           EventReport::Bare("device", device),
                           EventReport::Named("reason", reason, EventReport::Field::Kind::Quoted)});
}
