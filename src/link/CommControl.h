#pragma once
// The serial-communications control the program drives the meter through: a
// small interface shaped like the classic comm control (port number, line
// settings, buffers, open state, RTS, Output / Input / InBufferCount).
//
// The setters return false where that control raises an error the caller is
// expected to trap (unknown port number, port missing or held by another
// program). Output on a closed port and Input with nothing waiting fail quietly.
#include "link/DeviceAccess.h"

#include <QByteArray>
#include <QString>

#include <functional>
#include <optional>

class CommControl {
public:
    // What became of the bytes handed to Output.
    struct Written {
        bool ok = true;    // all of them are in the system's output queue
        QString failure;   // otherwise why not: "port closed", "device lost", ...
    };

    virtual ~CommControl() = default;

    // Reads the system's list of ports once: the numbers chosen from now on
    // (the probe's, the search's and the reopen of the meter's port) are
    // mapped from this reading, not from a list that may have changed since.
    virtual void RescanPorts() {}
    // Port number 1..16; only while the port is closed.
    virtual bool setCommPort(int port) = 0;
    virtual int CommPort() const = 0;
    // "9600,n,8,1" style line settings; applied at the next open.
    virtual bool setSettings(const QString& settings) = 0;
    virtual bool setInBufferSize(int bytes) = 0;
    virtual bool setHandshaking(int mode) = 0;  // 0 = none
    virtual bool setInputLen(int chars) = 0;    // characters per Input read
    // true opens, false closes. Closing lets what was written leave first.
    // A device another program holds is not opened at all (see HeldBy).
    virtual bool setPortOpen(bool open) = 0;
    virtual bool PortOpen() const = 0;
    virtual bool setRTSEnable(bool enable) = 0;
    // Hands the bytes to the device in one write, before returning, whatever
    // has arrived meanwhile; gives up after a bounded wait for room.
    virtual Written Output(const QByteArray& bytes) = 0;
    // Takes up to InputLen characters from the receive buffer ("" when none).
    virtual QByteArray Input() = 0;
    // Received characters waiting; looks at the device itself, so bytes that
    // arrived while no events were processed are counted.
    virtual int InBufferCount() = 0;

    // The device that Comm CommPort() stands for ("/dev/ttyUSB0", "COM3"),
    // named as the port map gives it; empty when there is none.
    virtual QString DevicePath() const = 0;
    // `handler` runs once each time the open device stops working (adapter
    // pulled, meter switched off): from the event loop, never from inside a
    // read or a write. The port still reads as open until it is closed;
    // writes go nowhere and reads find nothing. Closing the port first means
    // no report.
    virtual void setDeviceLostHandler(std::function<void()> handler) = 0;
    // Whether the device stopped working while it was last open, reported or
    // not; stays so after the close, until the next open.
    virtual bool DeviceLost() const = 0;

    // Another program that holds the device of Comm CommPort() now, by what
    // the system shows without opening it (its lock file, its lock on the
    // device): looking touches nothing, so a search may look as often as it
    // likes.
    virtual std::optional<DeviceAccess::Holder> LookForHolder() { return std::nullopt; }
    // Set when the last setPortOpen(true) failed because another program
    // holds the device (with its holder where the system shows it), rather
    // than because the device is gone or unusable; cleared by the next open
    // and by a new port number.
    virtual std::optional<DeviceAccess::Holder> HeldBy() const { return std::nullopt; }
    // Why the last setPortOpen(true) was refused where nobody holds the
    // device and this user may use it: "stale lock file ...", "refused by
    // the system (...)". Cleared as HeldBy is.
    virtual std::optional<QString> RefusedFor() const { return std::nullopt; }
    // Whether the last setPortOpen(true) went as far as opening the device,
    // rather than stopping at the look (a hold or a stale lock file seen).
    virtual bool OpenTried() const { return true; }
    // Which device Comm CommPort() reaches: the open device while the port
    // is open, else whatever its name leads to now. Another device under the
    // same name (an adapter plugged in where the meter's was) reads
    // differently; empty when the name leads nowhere.
    virtual QString Identity() const { return DevicePath(); }
};
