#include "script/ScriptReader.h"

#include <QRegularExpression>

namespace {

using Kind = ScriptAction::Kind;

constexpr double MostSeconds = 86400;  // a day
constexpr int MostCycles = 1000;
constexpr int SlowestSpeed = 8;  // the slider's range
constexpr int FastestSpeed = 100;
constexpr int LongestQuestion = 200;

// Actions that are one word alone.
struct Word {
    const char* text;
    Kind kind;
};
constexpr Word SingleWords[] = {{"disconnect", Kind::Disconnect}, {"left", Kind::Left}, {"right", Kind::Right},
                                {"sweep", Kind::Sweep},           {"exit", Kind::Exit}};

// A word and its two settings, e.g. calibration on / off.
struct Choice {
    const char* word;
    const char* first;
    Kind firstKind;
    const char* second;
    Kind secondKind;
};
constexpr Choice Choices[] = {{"calibration", "on", Kind::CalibrationOn, "off", Kind::CalibrationOff},
                              {"scale", "trad", Kind::ScaleTrad, "simple", Kind::ScaleSimple},
                              {"expect", "serial", Kind::ExpectSerial, "firmware", Kind::ExpectFirmware}};

// One line taken apart; `error` set at the first thing wrong with it.
class Line {
public:
    Line(const QStringList& words, const QString& text) : m_words(words), m_text(text) {}

    QString error;

    QString Word(qsizetype i) const { return Raw(i).toLower(); }
    QString Raw(qsizetype i) const { return i < m_words.size() ? m_words.at(i) : QString(); }
    // The line's text after its first `count` words, trimmed, its spacing kept.
    QString After(qsizetype count) const
    {
        const QRegularExpression words(QStringLiteral("^\\s*(?:\\S+(?:\\s+|$)){%1}").arg(count));
        return m_text.mid(words.match(m_text).capturedEnd()).trimmed();
    }
    // Nothing may stand after word `last`.
    bool EndsAfter(qsizetype last)
    {
        if (m_words.size() > last + 1 && error.isEmpty())
            error = QStringLiteral("unexpected '%1' after %2").arg(m_words.at(last + 1), m_words.mid(0, last + 1).join(' '));
        return error.isEmpty();
    }
    // Word i as a number in [low, high]: decimal, or whole when `whole`.
    double Number(qsizetype i, const QString& what, double low, double high, bool whole)
    {
        static const QRegularExpression decimal(QStringLiteral("^[0-9]+(\\.[0-9]+)?$"));
        static const QRegularExpression integer(QStringLiteral("^[0-9]+$"));
        const QString wanted = QStringLiteral("%1 needs %2 from %3 to %4")
                                   .arg(what, whole ? QStringLiteral("a whole number") : QStringLiteral("a number of seconds"))
                                   .arg(low)
                                   .arg(high);
        if (i >= m_words.size()) {
            error = wanted;
            return 0;
        }
        const QString text = m_words.at(i);
        const double value = text.toDouble();
        // Out of range, the value is not returned: a huge one would not even fit the int it becomes.
        if (!(whole ? integer : decimal).match(text).hasMatch() || value < low || value > high) {
            error = wanted + QStringLiteral(", not '%1'").arg(text);
            return low;
        }
        return value;
    }

private:
    QStringList m_words;
    QString m_text;  // up to the comment
};

ScriptAction ReadLine(Line& line)
{
    ScriptAction action;
    const QString word = line.Word(0);
    for (const auto& single : SingleWords) {
        if (word == QLatin1String(single.text)) {
            action.kind = single.kind;
            line.EndsAfter(0);
            return action;
        }
    }
    if (word == QLatin1String("connect")) {
        action.kind = Kind::Connect;
        if (line.Word(1) == QLatin1String("within")) {
            action.seconds = line.Number(2, QStringLiteral("connect within"), 0, MostSeconds, false);
            line.EndsAfter(2);
        } else {
            line.EndsAfter(0);
        }
    } else if (word == QLatin1String("cycle")) {
        action.kind = Kind::Cycle;
        if (!line.Word(1).isEmpty())
            action.number = int(line.Number(1, word, 1, MostCycles, true));
        line.EndsAfter(1);
    } else if (word == QLatin1String("speed")) {
        action.kind = Kind::Speed;
        action.number = int(line.Number(1, word, SlowestSpeed, FastestSpeed, true));
        line.EndsAfter(1);
    } else if (word == QLatin1String("ask")) {
        action.kind = Kind::Ask;
        qsizetype before = 1;
        if (line.Word(1) == QLatin1String("within")) {
            action.seconds = line.Number(2, QStringLiteral("ask within"), 0, MostSeconds, false);
            before = 3;
        }
        action.question = line.After(before);
        if (line.error.isEmpty() && (action.question.isEmpty() || action.question.size() > LongestQuestion))
            line.error = QStringLiteral("ask needs a question of 1 to %1 characters").arg(LongestQuestion);
    } else if (word == QLatin1String("wait")) {
        action.kind = Kind::Wait;
        action.seconds = line.Number(1, word, 0, MostSeconds, false);
        line.EndsAfter(1);
    } else {
        for (const auto& choice : Choices) {
            if (word != QLatin1String(choice.word))
                continue;
            const bool expect = choice.firstKind == Kind::ExpectSerial;
            const QString setting = line.Word(1);
            if (setting == QLatin1String(choice.first))
                action.kind = choice.firstKind;
            else if (setting == QLatin1String(choice.second))
                action.kind = choice.secondKind;
            if ((setting != QLatin1String(choice.first) && setting != QLatin1String(choice.second)) ||
                (expect && line.Word(2).isEmpty())) {
                line.error = QStringLiteral("%1 needs %2 or %3%4")
                                 .arg(word, QLatin1String(choice.first), QLatin1String(choice.second),
                                      expect ? QStringLiteral(" and a pattern") : QString());
                return action;
            }
            if (expect)
                action.pattern = line.Raw(2);
            line.EndsAfter(expect ? 2 : 1);
            return action;
        }
        line.error = QStringLiteral("unknown action '%1'").arg(word);
    }
    return action;
}

}  // namespace

QString ScriptAction::Decimal(double seconds)
{
    return QString::number(seconds, 'g', 12);
}

QString ScriptAction::Text() const
{
    switch (kind) {
    case Kind::Connect:
        return seconds < 0 ? QStringLiteral("connect") : QStringLiteral("connect within ") + Decimal(seconds);
    case Kind::Disconnect: return QStringLiteral("disconnect");
    case Kind::Left: return QStringLiteral("left");
    case Kind::Right: return QStringLiteral("right");
    case Kind::Sweep: return QStringLiteral("sweep");
    case Kind::Cycle: return QStringLiteral("cycle %1").arg(number);
    case Kind::CalibrationOn: return QStringLiteral("calibration on");
    case Kind::CalibrationOff: return QStringLiteral("calibration off");
    case Kind::ScaleTrad: return QStringLiteral("scale trad");
    case Kind::ScaleSimple: return QStringLiteral("scale simple");
    case Kind::Speed: return QStringLiteral("speed %1").arg(number);
    case Kind::Wait: return QStringLiteral("wait ") + Decimal(seconds);
    case Kind::ExpectSerial: return QStringLiteral("expect serial ") + pattern;
    case Kind::ExpectFirmware: return QStringLiteral("expect firmware ") + pattern;
    case Kind::Ask:
        return (seconds < 0 ? QStringLiteral("ask ") : QStringLiteral("ask within %1 ").arg(Decimal(seconds))) + question;
    case Kind::Exit: return QStringLiteral("exit");
    }
    return {};
}

namespace ScriptReader {

Result Read(const QString& text, const QString& name)
{
    static const QRegularExpression blanks(QStringLiteral("\\s+"));
    Result result;
    int exitLine = 0;
    const QStringList lines = text.split('\n');
    for (qsizetype i = 0; i < lines.size(); ++i) {
        const QString uncommented = lines.at(i).section('#', 0, 0);
        const QStringList words = uncommented.split(blanks, Qt::SkipEmptyParts);
        if (words.isEmpty())
            continue;
        Line line(words, uncommented);
        ScriptAction action = ReadLine(line);
        action.line = int(i + 1);
        if (line.error.isEmpty() && exitLine > 0)
            line.error = QStringLiteral("nothing may follow exit (line %1)").arg(exitLine);
        if (!line.error.isEmpty()) {
            result.actions.clear();
            result.error = QStringLiteral("%1:%2: %3").arg(name).arg(action.line).arg(line.error);
            return result;
        }
        if (action.kind == Kind::Exit)
            exitLine = action.line;
        result.actions << action;
    }
    return result;
}

}  // namespace ScriptReader
