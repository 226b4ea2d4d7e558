#include "shell/ConfigFieldReader.h"

namespace {

bool IsBlank(char c)
{
    return c == ' ' || c == '\t';
}

bool IsLineEnd(char c)
{
    return c == '\r' || c == '\n';
}

}  // namespace

ConfigFieldReader::ConfigFieldReader(QByteArray data) : m_data(std::move(data)) {}

void ConfigFieldReader::SkipDelimiter()
{
    if (m_pos >= m_data.size())
        return;
    const char c = m_data.at(m_pos);
    if (c == ',' || c == '\n') {
        ++m_pos;
    } else if (c == '\r') {
        ++m_pos;
        if (m_pos < m_data.size() && m_data.at(m_pos) == '\n')
            ++m_pos;
    }
}

bool ConfigFieldReader::Next(Field& field)
{
    while (m_pos < m_data.size() && IsBlank(m_data.at(m_pos)))
        ++m_pos;
    if (m_pos >= m_data.size())
        return false;

    field = Field{};
    if (m_data.at(m_pos) == '"') {
        field.quoted = true;
        const qsizetype start = m_pos + 1;
        qsizetype end = m_data.indexOf('"', start);
        if (end < 0)
            end = m_data.size();
        field.text = m_data.mid(start, end - start);
        m_pos = end < m_data.size() ? end + 1 : end;
        while (m_pos < m_data.size() && m_data.at(m_pos) != ',' && !IsLineEnd(m_data.at(m_pos)))
            ++m_pos;
    } else {
        const qsizetype start = m_pos;
        while (m_pos < m_data.size() && m_data.at(m_pos) != ',' && !IsLineEnd(m_data.at(m_pos)))
            ++m_pos;
        qsizetype end = m_pos;
        while (end > start && IsBlank(m_data.at(end - 1)))
            --end;
        field.text = m_data.mid(start, end - start);
    }
    SkipDelimiter();
    return true;
}

bool ConfigFieldReader::ToInt16(const Field& field, int16_t& value)
{
    if (field.quoted)
        return false;
    const QByteArray& t = field.text;
    qsizetype i = 0;
    bool negative = false;
    if (i < t.size() && (t.at(i) == '-' || t.at(i) == '+')) {
        negative = t.at(i) == '-';
        ++i;
    }
    if (i >= t.size())
        return false;
    int32_t magnitude = 0;
    for (; i < t.size(); ++i) {
        const char c = t.at(i);
        if (c < '0' || c > '9')
            return false;
        magnitude = magnitude * 10 + (c - '0');
        if (magnitude > 32768)
            return false;
    }
    const int32_t result = negative ? -magnitude : magnitude;
    if (result > 32767)
        return false;
    value = static_cast<int16_t>(result);
    return true;
}
