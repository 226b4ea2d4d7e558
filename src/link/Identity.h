#pragma once
// The meter's identity line and the filter its characters pass on the way in.
//
// The meter answers "V" with "V,<serial>,<third field>,<firmware>" and a
// carriage return. Only the characters "," (0x2C) to "Z" (0x5A) are kept as
// they arrive: digits, upper-case letters and , - . / : ; < = > ? @. Line
// ends, blanks, lower-case letters and everything else are dropped.
#include <QByteArray>
#include <QString>

namespace Identity {

// The prefix every identity line of a meter of the family starts with.
inline constexpr char Prefix[] = "V,QZ";

// True when a received character is kept.
constexpr bool PassesFilter(char c)
{
    return c >= ',' && c <= 'Z';
}

// The characters of `received` that pass the filter, in order.
QByteArray Filter(const QByteArray& received);

struct Line {
    bool recognised = false;  // the text began with "V,QZ"
    QString serialNumber;     // the field after "V,", up to the next comma
    QString fwVersion;        // everything after the third comma, commas included
};

// Takes a filtered reply apart. A text not beginning with "V,QZ" is not
// recognised and its fields are empty. A recognised line always yields both
// fields: a serial-number field with no comma behind it runs to the end of
// the text, and a missing firmware field is empty, so nothing of an earlier
// meter's identity survives a new answer.
Line Parse(const QString& reply);

}  // namespace Identity
