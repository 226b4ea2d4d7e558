#pragma once
// What a scripted run tells its caller, one line per event on standard
// output, written the moment it happens:
//
//   <seconds since the start, 3 decimals> <script line> <event> [details]
//
// e.g. "3.214 2 found Comm1 /dev/ttyUSB0 serial=QZ1234 firmware=1.05",
// or, as JSON, one object per line with the keys "t", "line", "event" and the
// details by name: {"t":3.214,"line":2,"event":"found","port":"Comm1",...}.
// The text of every message box also goes to standard error.
//
// Lines the output had no room for are replaced by one event "dropped
// count=<n>" with the time and script line of the first of them; "end" is
// never dropped and then carries "dropped=<n>", all the lines lost.
#include "shell/OutputQueue.h"

#include <QList>
#include <QString>

class Clock;
class Console;
class TextOutput;

class EventReport {
public:
    enum class Format { Text, Json };

    // One detail of an event.
    struct Field {
        enum class Kind {
            Word,    // as it is in text, a string in JSON
            Quoted,  // quoted in text (\", \\, \r, \n, \xNN), a string in JSON
            Number,  // as it is in both
        };
        QString name;
        QString value;
        Kind kind = Kind::Word;
        bool bare = false;      // text shows the value alone, not name=value
        bool textOnly = false;  // left out of JSON, which has it already
    };
    static Field Bare(const QString& name, const QString& value, Field::Kind kind = Field::Kind::Word)
    {
        return {name, value, kind, true};
    }
    static Field Named(const QString& name, const QString& value, Field::Kind kind = Field::Kind::Word)
    {
        return {name, value, kind, false};
    }
    static QString Seconds(double seconds);  // 3 decimals

    // The time column counts from now.
    EventReport(Clock& clock, TextOutput& out, Console& err, Format format);

    // The script line that the events to come belong to.
    void setLine(int line) { m_line = line; }
    int Line() const { return m_line; }
    double Elapsed() const;

    void Event(const QString& name, const QList<Field>& fields = {});
    // The run's last event, "end".
    void End(QList<Field> fields);
    // The event that stands for `count` lost ones.
    static OutputQueue::Marker DroppedMarker(Format format);
    // A message box's text, for a person reading standard error.
    void BoxText(const QString& text);

private:
    static QString Line(Format format, double t, int scriptLine, const QString& name, const QList<Field>& fields);

    Clock& m_clock;
    TextOutput& m_out;
    Console& m_err;
    Format m_format;
    double m_start;
    int m_line = 0;
};
