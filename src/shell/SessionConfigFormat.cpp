#include "shell/SessionConfigFormat.h"

#include "shell/ConfigFieldReader.h"

namespace SessionConfigFormat {

QByteArray Write(int16_t savedPort)
{
    QByteArray out = QByteArray::number(savedPort) + "\r\n";
    for (int record = 2; record <= RecordCount; ++record)
        out += "\"\"\r\n";
    return out;
}

bool Read(const QByteArray& data, int16_t& savedPort)
{
    ConfigFieldReader reader(data);
    ConfigFieldReader::Field field;
    int16_t port = 0;
    if (!reader.Next(field) || !ConfigFieldReader::ToInt16(field, port))
        return false;
    for (int record = 2; record <= RecordCount; ++record) {
        if (!reader.Next(field))
            return false;
    }
    savedPort = port;
    return true;
}

}  // namespace SessionConfigFormat
