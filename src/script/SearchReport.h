#pragma once
// What a search passed by, as events of the line that was playing (the
// `connect`), so that a production record says why no meter was found:
//
//   busy Comm2 /dev/pts/4 holder="picocom" pid=4242     another program held it
//   skipped Comm2 /dev/ttyUSB0 reason="another device has this name now"
//   unavailable Comm2 /dev/ttyUSB0 reason="refused by the system (Permission denied)"
//
// JSON: "port", "device", then "holder" and "pid" where the system names
// the holder, or "reason".
#include "link/SearchLog.h"

class EventReport;

class SearchReport final : public SearchLog {
public:
    explicit SearchReport(EventReport& report) : m_report(report) {}

    void Busy(int comm, const QString& device, const DeviceAccess::Holder& holder) override;
    void Skipped(int comm, const QString& device, const QString& reason) override;
    void Unavailable(int comm, const QString& device, const QString& reason) override;

private:
    void Passed(const QString& event, int comm, const QString& device, const QString& reason);

    EventReport& m_report;
};
