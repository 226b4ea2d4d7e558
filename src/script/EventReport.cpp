#include "script/EventReport.h"

#include "link/LineTrace.h"
#include "script/TextOutput.h"
#include "shell/Console.h"
#include "shell/Clock.h"

namespace {

QString JsonString(const QString& text)
{
    QString out = QStringLiteral("\"");
    for (const QChar c : text) {
        switch (c.unicode()) {
        case '"': out += QLatin1String("\\\""); break;
        case '\\': out += QLatin1String("\\\\"); break;
        case '\n': out += QLatin1String("\\n"); break;
        case '\r': out += QLatin1String("\\r"); break;
        case '\t': out += QLatin1String("\\t"); break;
        default:
            if (c.unicode() < 0x20)
                out += QString::asprintf("\\u%04x", c.unicode());
            else
                out += c;
        }
    }
    return out + '"';
}

}  // namespace

QString EventReport::Seconds(double seconds)
{
    return QString::number(seconds, 'f', 3);
}

EventReport::EventReport(Clock& clock, TextOutput& out, Console& err, Format format)
    : m_clock(clock), m_out(out), m_err(err), m_format(format), m_start(clock.Timer())
{
}

double EventReport::Elapsed() const
{
    return m_clock.Timer() - m_start;
}

QString EventReport::Line(Format format, double t, int scriptLine, const QString& name, const QList<Field>& fields)
{
    QString line;
    if (format == Format::Json) {
        line = QStringLiteral("{\"t\":%1,\"line\":%2,\"event\":%3").arg(Seconds(t)).arg(scriptLine).arg(JsonString(name));
        for (const Field& f : fields) {
            if (!f.textOnly)
                line += ',' + JsonString(f.name) + ':' + (f.kind == Field::Kind::Number ? f.value : JsonString(f.value));
        }
        line += '}';
    } else {
        line = QStringLiteral("%1 %2 %3").arg(Seconds(t)).arg(scriptLine).arg(name);
        for (const Field& f : fields) {
            const QString value = f.kind == Field::Kind::Quoted ? LineTrace::Quote(f.value.toUtf8()) : f.value;
            line += ' ' + (f.bare ? value : f.name + '=' + value);
        }
    }
    return line + '\n';
}

void EventReport::Event(const QString& name, const QList<Field>& fields)
{
    const double t = Elapsed();
    m_out.Write(Line(m_format, t, m_line, name, fields).toUtf8(), {t, m_line});
}

void EventReport::End(QList<Field> fields)
{
    if (const qint64 dropped = m_out.Dropped(); dropped > 0)
        fields << Named(QStringLiteral("dropped"), QString::number(dropped), Field::Kind::Number);
    m_out.WriteLast(Line(m_format, Elapsed(), m_line, QStringLiteral("end"), fields).toUtf8());
}

OutputQueue::Marker EventReport::DroppedMarker(Format format)
{
    return [format](qint64 count, const OutputQueue::Stamp& first) {
        return Line(format, first.seconds, first.line, QStringLiteral("dropped"),
                    {Named(QStringLiteral("count"), QString::number(count), Field::Kind::Number)})
            .toUtf8();
    };
}

void EventReport::BoxText(const QString& text)
{
    m_err.Say(QString(text).replace(QLatin1String("\r\n"), QLatin1String("\n")));
}
