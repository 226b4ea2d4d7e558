#pragma once
// What a search passes by without the meter's answer deciding it: a port
// another program held (after its grace), a port the system refused at the
// pass's probe though nobody held it, and a port whose name led to another
// device by the time of the connection. The line trace notes both;
// a scripted run reports them, so that a production record says why a
// search found no meter.
#include "link/DeviceAccess.h"

#include <QString>

class SearchLog {
public:
    virtual ~SearchLog() = default;
    virtual void Busy(int comm, const QString& device, const DeviceAccess::Holder& holder) = 0;
    virtual void Skipped(int comm, const QString& device, const QString& reason) = 0;
    virtual void Unavailable(int comm, const QString& device, const QString& reason) = 0;
};
