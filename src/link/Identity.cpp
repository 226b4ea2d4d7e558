#include "link/Identity.h"

namespace Identity {

QByteArray Filter(const QByteArray& received)
{
    QByteArray out;
    out.reserve(received.size());
    for (const char c : received)
        if (PassesFilter(c))
            out += c;
    return out;
}

Line Parse(const QString& reply)
{
    Line line;
    if (!reply.startsWith(QLatin1String(Prefix)))
        return line;
    line.recognised = true;

    // Drop "V," so that the working text begins with "QZ".
    QString work = reply.mid(2);

    const qsizetype serialEnd = work.indexOf(',');
    if (serialEnd >= 0) {
        line.serialNumber = work.left(serialEnd);
        work = work.mid(serialEnd + 1);
    } else {
        // "V,QZ1234": the serial number is all there is.
        line.serialNumber = work;
        work.clear();
    }

    // The third field is not used; the firmware version is the rest.
    const qsizetype thirdEnd = work.indexOf(',');
    if (thirdEnd >= 0)
        line.fwVersion = work.mid(thirdEnd + 1);
    return line;
}

}  // namespace Identity
