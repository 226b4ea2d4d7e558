#pragma once
// Reads the fields of a comma- and line-delimited text file one at a time, in
// the way the session file is read back:
//  - fields end at a comma or at a line end (CR, LF or CR LF);
//  - blanks before a field are skipped, blanks after an unquoted one dropped;
//  - a field in double quotes is the text between them; anything between the
//    closing quote and the next delimiter is ignored;
//  - there is no field once the data is used up.
// Pure: works on bytes in memory.
#include <QByteArray>
#include <cstdint>

class ConfigFieldReader {
public:
    struct Field {
        QByteArray text;
        bool quoted = false;
    };

    explicit ConfigFieldReader(QByteArray data);

    // The next field; false at the end of the data.
    bool Next(Field& field);

    // A decimal whole number in the 16-bit range, with an optional sign and
    // nothing else; quoted fields are strings, not numbers.
    static bool ToInt16(const Field& field, int16_t& value);

private:
    void SkipDelimiter();

    QByteArray m_data;
    qsizetype m_pos = 0;
};
