// The production serial control over QSerialPort, on a pseudo-terminal that QZ_SERIAL_PORTS makes Comm1, the test
// playing the device; which device each Comm number stands for; how --list-ports judges and shows a device.
#include "Pty.h"
#include "Timing.h"
#include "link/DeviceGate.h"
#include "link/DeviceIdentity.h"
#include "link/PortMap.h"
#include "link/PortReport.h"
#include "link/QtCommControl.h"
#include "link/StableNames.h"
#include "link/SysfsPorts.h"
#include "link/TerminalIo.h"

#include <QTemporaryDir>
#include <QtTest>

#include <condition_variable>
#include <functional>
#include <mutex>
#include <utility>
#include <thread>

#include <linux/fs.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>

using namespace PortReport;

namespace {

// A pseudo-terminal that is Comm1.
struct Comm1 : Pty {
    Comm1() { qputenv(PortMap::OverrideVariable, name.toLocal8Bit()); }
};

// Both ways the control reaches the device, each call noted: the look and the open, and the terminal's drain and
// discard with whether the meter's 9600 baud was still in force. A drain takes drainMs (-1: 2 s, long after the output
// was thrown away; -2: until the test ends), a full output queue takes nothing, and afterLook runs after the next look.
struct Watched : DeviceGate, TerminalIo {
    SystemDeviceGate gate;
    SystemTerminalIo io;
    int drainMs = 0;
    bool full = false, ended = false;
    std::function<void()> afterLook;
    std::mutex mutex;
    std::condition_variable end;
    QStringList calls;

    void Note(QString what, int fd = -1)
    {
        termios line{};
        if (fd >= 0 && ::tcgetattr(fd, &line) == 0)
            what += ::cfgetospeed(&line) == B9600 ? " 9600" : " other";
        const std::lock_guard<std::mutex> lock(mutex);
        calls << what;
    }
    std::optional<DeviceAccess::Holder> Look(const QString& device) override
    {
        Note("look");
        const auto holder = gate.Look(device);
        if (afterLook)
            std::exchange(afterLook, nullptr)();
        return holder;
    }
    std::optional<QString> Refusal(const QString& device) override { return gate.Refusal(device); }
    Opened Open(QSerialPort& port, const QString& device) override
    {
        Note("open");
        return gate.Open(port, device);
    }
    qint64 Write(int fd, const char* data, qint64 size, int& error) override
    {
        return full ? (error = EAGAIN, -1) : io.Write(fd, data, size, error);
    }
    void WaitWritable(int fd, int ms) override { io.WaitWritable(fd, ms); }
    bool Drain(int fd, int& error) override
    {
        Note("drain", fd);
        std::unique_lock<std::mutex> lock(mutex);
        end.wait_for(lock, std::chrono::milliseconds(drainMs == -2 ? 3600000 : drainMs < 0 ? 2000 : drainMs),
                     [this] { return ended; });
        return io.Drain(fd, error);
    }
    void End()
    {
        const std::lock_guard<std::mutex> lock(mutex);
        ended = true;
        end.notify_all();
    }
    void DiscardOutput(int fd) override { Note("discard", fd); }
};

// A folder from which (`on`) not even root may remove a file, or (off) as it was.
void Unremovable(const QString& folder, bool on)
{
    const int fd = ::open(folder.toLocal8Bit().constData(), O_RDONLY | O_DIRECTORY);
    int flags = 0;
    if (::fchmod(fd, on ? 0555 : 0755) == 0 && ::ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0) {
        flags = on ? flags | FS_IMMUTABLE_FL : flags & ~FS_IMMUTABLE_FL;
        ::ioctl(fd, FS_IOC_SETFLAGS, &flags);
    }
    ::close(fd);
}

}  // namespace

class TestQtComm : public QObject {
    Q_OBJECT

private slots:
    // The line as the meter wants it; what the device said before the open is not read. Frames go to the device
    // before Output returns, however much the meter has said that nobody read; bytes are counted without event
    // processing too, and read one at a time, in order.
    void framesLeaveWhateverHasArrived()
    {
        Comm1 pty;
        QtCommControl comm;
        QVERIFY(!comm.setCommPort(0) && !comm.setCommPort(17) && !comm.setCommPort(2));  // 2: no device
        QCOMPARE(::write(pty.master, "STALE\r", 6), 6);
        QVERIFY(comm.setCommPort(1) && comm.setSettings("9600,n,8,2") && comm.setHandshaking(0) &&
                comm.setInBufferSize(100) && comm.setInputLen(1) && comm.setPortOpen(true) && comm.setRTSEnable(true));
        QVERIFY(!comm.setCommPort(1));  // not while open
        const termios line = pty.Line();
        QVERIFY(::cfgetospeed(&line) == B9600 && (line.c_cflag & (CSTOPB | CRTSCTS)) == CSTOPB);
        QTest::qWait(50);
        QCOMPARE(comm.InBufferCount(), 0);

        QByteArray said;
        for (int i = 0; i < 60; ++i)
            said += "M," + QByteArray::number(800 + i) + "\r";
        QCOMPARE(::write(pty.master, said.constData(), size_t(said.size())), ssize_t(said.size()));
        QTest::qWait(50);  // events handled: the port takes it all in
        QCOMPARE(comm.InBufferCount(), 100);
        QVERIFY(comm.Output("N0C6\r").ok && comm.Output("U\r").ok);
        QCOMPARE(pty.Read(7, 0), QByteArray("N0C6\rU\r"));  // already there: no waiting
        const QByteArray reply = "V,QZ1234,A,1.05\r\n";  // arrives while no events are handled
        QCOMPARE(::write(pty.master, reply.constData(), 17), 17);
        said += reply;
        int queued = 0;
        for (QDeadlineTimer limit(2000); queued < 17 && !limit.hasExpired();)
            ::ioctl(pty.slave, FIONREAD, &queued);
        for (qsizetype i = 0; i < said.size(); ++i) {
            QCOMPARE(comm.InBufferCount(), int(std::min<qsizetype>(100, said.size() - i)));
            QCOMPARE(comm.Input(), said.mid(i, 1));
        }
    }

    // A line that never drains: each close after the first finds that drain still running, starts none, waits its
    // 250 ms and lets go; after 50 cycles this process has the descriptors and threads it had after the first. (Run
    // before the drains of the other tests are left running.)
    void neverDrains()
    {
        Comm1 pty;
        auto watched = std::make_shared<Watched>();
        watched->drainMs = -2;
        const auto ended = qScopeGuard([&watched] { watched->End(); });
        QtCommControl comm(watched, PortMap::SystemPorts, watched);
        const auto count = [] { return std::pair(QDir("/proc/self/fd").count(), QDir("/proc/self/task").count()); };
        std::pair<uint, uint> first;
        for (int i = 0; i < 50; ++i) {
            QVERIFY(comm.setCommPort(1) && comm.setPortOpen(true) && comm.Output("U\r").ok && comm.setPortOpen(false));
            if (i == 0)
                first = count();
        }
        QCOMPARE(count(), first);
        const std::lock_guard<std::mutex> lock(watched->mutex);
        QCOMPARE(watched->calls.filter("drain").size(), 1);
    }

    // Whether another program holds the device is learnt before it is opened: its flock, POSIX or
    // open-file-description lock (whose owner /proc/locks does not show), a lock file of a live process in any of the
    // usual formats, our own lock from another control. Such a device is not opened at all. Exclusive mode shows only
    // to an open, which it refuses before the line is touched. A lock file of a process that has ended holds nothing.
    // Once open, the device is locked for others. Output waits at most 100 ms for room in the output queue. Closing
    // drains the output while the meter's settings are still in force, throws away what has not left after 250 ms,
    // and only then lets the device's old settings (4800 baud, handshaking) back and closes it, unlocked even while
    // the drain still waits: it opens again at once.
    void lookOpenWriteClose_data()
    {
        QTest::addColumn<QString>("lock");
        QTest::addColumn<QByteArray>("file");  // the lock file; PID: this process
        QTest::addColumn<int>("drainMs");
        QTest::addColumn<QString>("calls");
        QTest::addColumn<QString>("held");  // "": opened
        const QString self = QString("held by tst_qtcomm, pid %1").arg(QCoreApplication::applicationPid());
        const QString other = "held by another program", drained = "look open drain 9600";
        const QString stale = "stale lock file {lock} (pid 4194305 has ended): sudo rm {lock}";
        for (const char* lock : {"flock", "POSIX lock", "another control"})
            QTest::newRow(lock) << lock << QByteArray() << 0 << "look" << self;
        QTest::newRow("none") << "none" << QByteArray() << 0 << drained << "";
        QTest::newRow("OFD lock") << "OFD lock" << QByteArray() << 0 << "look" << other;
        QTest::newRow("exclusive mode") << "exclusive mode" << QByteArray() << 0 << "look open look" << other;
        QTest::newRow("uucp lock file") << "lock file" << QByteArray("      PID\n") << 0 << "look" << self;
        QTest::newRow("QLockFile lock file") << "lock file" << QByteArray("PID\nqz\nhost\n") << 0 << "look" << self;
        QTest::newRow("binary lock file") << "lock file" << QByteArray("BINARY") << 0 << "look" << self;
        QTest::newRow("lock file, no newline") << "lock file" << QByteArray("PID") << 0 << "look" << self;
        QTest::newRow("dead lock file") << "lock file" << QByteArray("4194305\n") << 0 << drained << "";  // no such pid
        // Taken between the look and the open: the open's own locks find it, and a look then names the holder.
        const QString lookOpenLook = "look open look";
        QTest::newRow("flock after the look") << "flock after the look" << QByteArray() << 0 << lookOpenLook << self;
        // (Closing our port drops this process's POSIX lock too: the holder goes unnamed.)
        QTest::newRow("POSIX lock after the look") << "POSIX lock after the look" << QByteArray() << 0 << lookOpenLook
                                                   << other;
        QTest::newRow("OFD lock after the look") << "OFD lock after the look" << QByteArray() << 0 << lookOpenLook
                                                 << other;
        // Root's, left by a killed sudo run: not ours to remove, and so in the way, though nobody holds the device.
        QTest::newRow("stale lock file") << "stale lock file" << QByteArray("4194305\n") << 0 << "look" << stale;
        QTest::newRow("drains within the bound") << "none" << QByteArray() << 190 << drained << "";
        QTest::newRow("never drains") << "none" << QByteArray() << -1 << drained + " discard 9600" << "";
        QTest::newRow("no room") << "no room" << QByteArray() << 0 << drained << "";
    }
    void lookOpenWriteClose()
    {
        QFETCH(QString, lock);
        QFETCH(QByteArray, file);
        QFETCH(int, drainMs);
        QFETCH(QString, held);
        Comm1 pty;
        auto watched = std::make_shared<Watched>();
        watched->drainMs = drainMs;
        watched->full = lock == "no room";
        QtCommControl other, comm(watched, PortMap::SystemPorts, watched);
        QTemporaryDir rootsFolder;
        const bool notOurs = lock == "stale lock file";
        if (notOurs)
            watched->gate = SystemDeviceGate("/proc", {rootsFolder.path()});
        QFile lockFile((notOurs ? rootsFolder.path() : "/tmp") + "/LCK.." + pty.name.mid(5).replace('/', '_'));
        const auto removedAtTheEnd = qScopeGuard([&lockFile] { lockFile.remove(); });
        struct flock posix{F_WRLCK, SEEK_SET, 0, 0, 0};
        const qint32 pid = ::getpid();
        held.replace("{lock}", lockFile.fileName());
        if (lock == "flock")
            QCOMPARE(::flock(pty.slave, LOCK_EX | LOCK_NB), 0);
        else if (lock == "flock after the look")
            watched->afterLook = [&pty] { ::flock(pty.slave, LOCK_EX | LOCK_NB); };
        else if (lock.endsWith("after the look"))
            watched->afterLook = [&] { ::fcntl(pty.slave, lock.startsWith("OFD") ? F_OFD_SETLK : F_SETLK, &posix); };
        else if (lock.endsWith("lock"))
            QCOMPARE(::fcntl(pty.slave, lock == "OFD lock" ? F_OFD_SETLK : F_SETLK, &posix), 0);
        else if (lock == "exclusive mode")
            QCOMPARE(::ioctl(pty.slave, TIOCEXCL), 0);
        else if (lock == "another control")
            QVERIFY(other.setCommPort(1) && other.setPortOpen(true));
        else if (lock.endsWith("lock file")) {
            file.replace("PID", QByteArray::number(pid));
            QVERIFY(lockFile.open(QIODevice::WriteOnly) &&
                    lockFile.write(file == "BINARY" ? QByteArray(reinterpret_cast<const char*>(&pid), 4) : file) > 0);
            lockFile.close();
        }
        Unremovable(rootsFolder.path(), notOurs);
        const auto removable = qScopeGuard([&rootsFolder] { Unremovable(rootsFolder.path(), false); });
        QVERIFY(comm.setCommPort(1) && comm.setSettings("9600,n,8,1"));
        QCOMPARE(comm.setPortOpen(true), held.isEmpty());
        QCOMPARE(comm.HeldBy() ? DeviceAccess::HeldByText(comm.HeldBy()) : comm.RefusedFor().value_or(""), held);
        QCOMPARE(comm.OpenError(), held.isEmpty() ? QSerialPort::NoError : QSerialPort::PermissionError);
        if (!comm.PortOpen()) {
            QTEST(watched->calls.join(' '), "calls");
            const bool named = held.endsWith(" pid " + QString::number(pid));
            QCOMPARE(comm.LookForHolder().has_value(), named || lock.startsWith("OFD"));
            QCOMPARE(pty.Read(1, 0), QByteArray());  // nothing was written to it
            return;
        }
        QCOMPARE(::flock(pty.slave, LOCK_EX | LOCK_NB), -1);  // while it is open here, it is locked for others

        QElapsedTimer took;
        took.start();
        const CommControl::Written written = comm.Output("U\r");
        QCOMPARE(written.ok ? QString() : written.failure,
                 watched->full ? "no room in the output queue within 100 ms (0 of 2 bytes written)" : "");
        if (watched->full)
            VERIFY_WAIT(took.nsecsElapsed() / 1e9, 0.1);
        took.start();
        QVERIFY(comm.setPortOpen(false));
        const double seconds = took.nsecsElapsed() / 1e9;
        if (drainMs < 0)
            VERIFY_WAIT(seconds, 0.25);
        else
            VERIFY_TIME(seconds, drainMs / 1000.0, 0.25);
        QTEST(watched->calls.join(' '), "calls");
        const termios line = pty.Line();  // the device's own settings back
        QVERIFY(::cfgetospeed(&line) == B4800 && (line.c_cflag & CRTSCTS));
        QCOMPARE(pty.Read(2, 500), QByteArray(watched->full ? "" : "U\r"));
        // Nothing written since the open: nothing to drain.
        watched->calls.clear();
        QVERIFY(comm.setPortOpen(true) && comm.setPortOpen(false));
        QCOMPARE(watched->calls, (QStringList{"look", "open"}));
    }

    // Who holds a terminal without any lock, as the open descriptors of the processes under a /proc of the test's own
    // show it (/dev/null, /dev/zero and /dev/full terminals by the word of a sysfs of its own): read once per reading
    // (until Refresh), the holder found looked at again when asked, this process's own descriptors, pseudo-terminals
    // and other devices left out. Of several locks on a device, one with a process names the holder.
    void holdersWithoutALock()
    {
        QTemporaryDir proc, sys;
        Pty pty;
        for (const char* number : {"1:3", "1:5", "1:7"})
            QVERIFY(QDir().mkpath(sys.filePath("class/tty")) && QDir().mkpath(sys.filePath("dev/char/") + number) &&
                    QFile::link(sys.filePath("class/tty"), sys.filePath("dev/char/") + number + "/subsystem"));
        const auto process = [&proc](qint64 pid, const QByteArray& name, const QString& fd, const QString& device) {
            QDir().mkpath(proc.filePath(QString("%1/fd").arg(pid)));
            QFile comm(proc.filePath(QString("%1/comm").arg(pid)));
            return comm.open(QIODevice::WriteOnly) && comm.write(name + "\n") > 0 &&
                   QFile::link(device, proc.filePath(QString("%1/fd/%2").arg(pid).arg(fd)));
        };
        QVERIFY(process(4242, "minicom", "3", "/dev/null") && process(4243, "sh", "0", "/dev/null") &&
                process(QCoreApplication::applicationPid(), "tst_qtcomm", "5", "/dev/zero") &&
                process(4242, "minicom", "4", pty.name));
        SystemDeviceGate gate(proc.path(), {}, sys.path());
        QCOMPARE(DeviceAccess::HeldByText(gate.Look("/dev/null")), "held by minicom, pid 4242");
        QVERIFY(!gate.Look("/dev/zero") && !gate.Look(pty.name));
        QVERIFY(!SystemDeviceGate(proc.path(), {}).Look("/dev/null"));  // by the machine's sysfs, no terminal
        QVERIFY(process(4244, "cat", "1", "/dev/full") && !gate.Look("/dev/full"));  // opened since the reading
        gate.Refresh();
        QCOMPARE(DeviceAccess::HeldByText(gate.Look("/dev/full")), "held by cat, pid 4244");
        QVERIFY(QFile::remove(proc.filePath("4242/fd/3")));  // minicom let go since
        QCOMPARE(DeviceAccess::HeldByText(gate.Look("/dev/null")), "held by sh, pid 4243");

        struct stat status {};
        QVERIFY(::stat("/dev/zero", &status) == 0);
        const QByteArray file = QString::asprintf("%02x:%02x:%llu", major(status.st_dev), minor(status.st_dev),
                                                  static_cast<unsigned long long>(status.st_ino)).toLatin1();
        QFile locks(proc.filePath("locks"));
        QVERIFY(locks.open(QIODevice::WriteOnly) && locks.write("1: OFDLCK ADVISORY WRITE -1 " + file + " 0 EOF\n" +
                                                               "2: FLOCK ADVISORY WRITE 4244 " + file + " 0 EOF\n"));
        locks.close();
        QCOMPARE(DeviceAccess::HeldByText(gate.Look("/dev/zero")), "held by cat, pid 4244");
    }

    // Which device a Comm number stands for: the system's ports in this order (USB adapters first), the entries of
    // the override however it is spaced (set but empty: none at all), or Windows' COM ports; nothing beyond.
    void portMap()
    {
        const QStringList system{"/dev/ttyS10", "/dev/ttyACM1", "/dev/ttyUSB10", "/dev/ttyS2", "/dev/rfcomm0",
                                 "/dev/ttyACM0", "/dev/ttyUSB2"};
        QCOMPARE(PortMap::Ordered(system), (QStringList{"/dev/ttyUSB2", "/dev/ttyUSB10", "/dev/ttyACM0", "/dev/ttyACM1",
                                                        "/dev/rfcomm0", "/dev/ttyS2", "/dev/ttyS10"}));
        const auto device = [&](int n, const std::optional<QString>& override, bool windows = false) {
            return PortMap::Resolve(n, override, system, windows);
        };
        const QString given = "/dev/pts/4,,/dev/pts/7";
        QCOMPARE(device(6, {}), QString("/dev/ttyS2"));
        QCOMPARE(device(8, {}), QString());
        QCOMPARE(device(3, {}, true), QString("COM3"));
        QCOMPARE(device(0, {}, true), QString());
        QCOMPARE(device(3, " " + given + " "), QString("/dev/pts/7"));
        QCOMPARE(device(2, given, true), QString());  // an empty entry
        QCOMPARE(device(4, given), QString());
        QCOMPARE(device(1, QString("")), QString());
    }

    // The system's list is walked once per reading, and every number comes from that reading: an adapter plugged in
    // later takes no number until the next. A second name for one device is no port of its own.
    void oneReadingPerProbe()
    {
        qunsetenv(PortMap::OverrideVariable);
        QList<PortMap::SystemPort> system{{"/dev/ttyUSB1", {}, {}, {}, {}, {}}};
        int walks = 0;
        QtCommControl comm({}, [&] { return ++walks, system; });
        comm.RescanPorts();
        for (int n = 1; n <= 16; ++n)
            QCOMPARE(comm.setCommPort(n), n == 1);
        system.prepend({"/dev/ttyUSB0", {}, {}, {}, {}, {}});  // plugged in after the search
        QVERIFY(comm.setCommPort(1) && comm.DevicePath() == "/dev/ttyUSB1" && walks == 1);
        comm.RescanPorts();
        QVERIFY(comm.setCommPort(1) && comm.DevicePath() == "/dev/ttyUSB0" && walks == 2);

        Pty pty;
        QTemporaryDir dir;
        const QString link = dir.filePath("by-id-link");
        QVERIFY(QFile::link(pty.name, link));
        qputenv(PortMap::OverrideVariable, (link + "," + pty.name).toLocal8Bit());
        comm.RescanPorts();
        QCOMPARE(walks, 2);  // the override says it all
        QVERIFY(comm.setCommPort(1) && !comm.setCommPort(2));
        QCOMPARE(comm.Ports().SameAs(2), 1);
        QVERIFY(comm.setCommPort(1) && comm.setPortOpen(true));
        QCOMPARE(comm.DevicePath(), link);  // named as the map gives it
    }

    // How --list-ports shows a device: what the system knows of it, its stable names, and what stands in the way,
    // with the remedy that fits the group the device belongs to (root is never refused, so only here).
    void portReportLine()
    {
        using Group = DeviceAccess::Group;
        const auto line = [](const Facts& facts, const SystemInfo& info = {}) {
            return Line(2, "/dev/ttyUSB0", info, facts);
        };
        const auto device = [](bool permitted, bool opened, QSerialPort::SerialPortError error = {}) {
            return Facts{Facts::Kind::CharacterDevice, permitted, opened, error, {}, {}, {}};
        };
        const auto refused = [](const Group& group) {
            return Facts{Facts::Kind::CharacterDevice, false, false, QSerialPort::NoError, group, {}, {}};
        };
        const QString at = "Comm2: /dev/ttyUSB0: ", denied = at + "permission denied (",
                      udev = ": ask your administrator for a udev rule that lets a group such as dialout use it)";
        const QStringList stable{"/dev/serial/by-id/usb-FTDI_A50285BI-if00-port0",
                                 "/dev/serial/by-path/pci-0000:00:14.0-usb-0:2:1.0-port0"};
        QCOMPARE(line(device(true, true), {"FT232R USB UART", "FTDI", "A50285BI", 0x0403, 0x6001, "ftdi_sio", stable}),
                 "Comm2: /dev/ttyUSB0 (FT232R USB UART, FTDI, serial A50285BI, 0403:6001, driver ftdi_sio): ok" +
                     ("\n    also " + stable.join("\n    also ")));
        QCOMPARE(line(device(true, true), {{}, "ACME", {}, 0x1234, {}, {}, {}}), "Comm2: /dev/ttyUSB0 (ACME): ok");
        QCOMPARE(line(refused({"uucp", true, false, false})),
                 denied + "it belongs to the group uucp: sudo usermod -aG uucp $USER, then log out and in again, or "
                          "newgrp uucp for this shell)");
        QCOMPARE(line(refused({"dialout", true, true, false})),
                 denied + "you are in the group dialout, but this login is older than that: log out and in again)");
        QCOMPARE(line(refused({"root", false, false, false})), denied + "it belongs to root" + udev);
        QCOMPARE(line(refused({"tty", false, true, true})), denied + "the group tty may not use it" + udev);
        QCOMPARE(line(device(true, false, QSerialPort::DeviceNotFoundError)), at + "missing");  // gone since
        QCOMPARE(line(device(true, false)), at + "not a serial device");  // refuses 9600,n,8,1
        const QString lockFile = "/var/lock/LCK..ttyUSB0";
        Facts inTheWay = device(true, false, QSerialPort::PermissionError);
        inTheWay.refusal = DeviceAccess::StaleLock{lockFile, 4242}.Text();
        QCOMPARE(line(inTheWay), at + "stale lock file " + lockFile + " (pid 4242 has ended): sudo rm " + lockFile);

        // A refused open: the system's refusal (EACCES) where no lock shows; busy for exclusive mode (EBUSY), a lock
        // file Qt could not take, a lock seen now.
        const auto refusedAs = [](const QString& text, bool mayUse, bool lockSeen) {
            const auto opened = DeviceGate::Refused(QSerialPort::PermissionError, text, mayUse, lockSeen);
            return opened.busy ? "busy" : opened.refusal;
        };
        QCOMPARE(refusedAs(qt_error_string(EBUSY), true, false), "busy");
        QCOMPARE(refusedAs("Permission error while locking the device", true, false), "busy");
        QCOMPARE(refusedAs(qt_error_string(EACCES), true, true), "busy");
        QCOMPARE(refusedAs(qt_error_string(EACCES), true, false), "refused by the system (Permission denied)");
        QCOMPARE(refusedAs(qt_error_string(EACCES), false, false), "");
    }

    // What sysfs tells without opening anything: the machine's serial ports (a built-in 8250 port only with a UART
    // fitted, no virtual terminal), a USB device's facts, the driver, which plugging of a USB device a name leads to;
    // and the stable names, the links that lead to the very device.
    void fromSysfs()
    {
        QTemporaryDir dir;
        const QString sys = dir.filePath("sys"), usb = sys + "/devices/usb1/", serial = dir.filePath("serial");
        const auto put = [](const QString& file, const QByteArray& text) {
            QDir().mkpath(QFileInfo(file).path());
            QFile f(file);
            return f.open(QIODevice::WriteOnly) && f.write(text) == text.size();
        };
        const auto link = [](const QString& folder, const QString& at) {  // folders made as needed
            return QDir().mkpath(folder) && QDir().mkpath(QFileInfo(at).path()) && QFile::link(folder, at);
        };
        const QString tty = sys + "/class/tty/", drivers = sys + "/bus/drivers/", uart = sys + "/devices/platform/8250",
                      adapter = usb + "1-2/1-2:1.0/ttyUSB0", acm = usb + "1-3/1-3:1.0";
        QVERIFY(link(uart, tty + "ttyS0/device") && link(uart, tty + "ttyS1/device") &&
                link(adapter, tty + "ttyUSB0/device") && link(acm, tty + "ttyACM0/device") &&
                link(drivers + "serial8250", uart + "/driver") && link(drivers + "ftdi_sio", adapter + "/driver") &&
                link(drivers + "cdc_acm", acm + "/driver"));
        // Since Linux 6.5: tty -> port -> ctrl -> the PnP device, whose driver is "serial".
        const QString pnp = sys + "/devices/pnp0/00:01", ctrl = pnp + "/00:01:0";
        QVERIFY(link(ctrl + "/00:01:0.0", tty + "ttyS2/device") && link(ctrl + "/00:01:0.1", tty + "ttyS3/device") &&
                link(drivers + "port", ctrl + "/00:01:0.0/driver") &&
                link(drivers + "port", ctrl + "/00:01:0.1/driver") && link(drivers + "ctrl", ctrl + "/driver") &&
                link(drivers + "serial", pnp + "/driver"));
        QVERIFY(put(tty + "ttyS0/type", "4\n") && put(tty + "ttyS1/type", "0\n") && QDir().mkpath(tty + "tty1") &&
                put(tty + "ttyS2/type", "4\n") && put(tty + "ttyS3/type", "0\n"));
        const QStringList files{"idVendor", "idProduct", "manufacturer", "product", "serial", "devnum", "busnum"};
        const QByteArrayList ftdi{"0403", "6001", "FTDI", "FT232R", "A5", "5", "1"},
            meter{"1d6b", "0104", "Drift", "Meter", "", "7", "1"};
        for (int i = 0; i < 7; ++i)
            QVERIFY(put(usb + "1-2/" + files[i], ftdi[i] + "\n") && put(usb + "1-3/" + files[i], meter[i] + "\n"));
        QStringList ports;
        for (const PortMap::SystemPort& p : SysfsPorts::Read(sys, "/dev"))
            ports << QString("%1 %2 %3 %4 ").arg(p.location, p.description, p.manufacturer, p.serialNumber) +
                         QString::asprintf("%04x:%04x", p.vendorId.value_or(0), p.productId.value_or(0));
        QCOMPARE(ports, (QStringList{"/dev/ttyACM0 Meter Drift  1d6b:0104", "/dev/ttyS0    0000:0000",
                                     "/dev/ttyS2    0000:0000", "/dev/ttyUSB0 FT232R FTDI A5 0403:6001"}));
        QStringList driverOf;
        for (const char* name : {"ttyS0", "ttyS2", "ttyACM0", "ttyUSB0"}) {
            QVERIFY(put(dir.filePath(name), {}));
            driverOf << StableNames::DriverOf(dir.filePath(name), sys);
        }
        QCOMPARE(driverOf, (QStringList{"serial8250", "serial", "cdc_acm", "ftdi_sio"}));

        // Which device a name leads to: the USB device above its terminal, its device number new at every plugging.
        Pty pty, other;
        struct stat status {};
        QVERIFY(::stat(pty.name.toLocal8Bit().constData(), &status) == 0);
        const QString number = QString("%1:%2").arg(major(status.st_rdev)).arg(minor(status.st_rdev));
        QVERIFY(link(adapter, sys + "/dev/char/" + number));
        QCOMPARE(DeviceIdentity::OfPath(pty.name, sys), "char " + number + " usb 1:5");
        QCOMPARE(DeviceIdentity::OfDescriptor(pty.slave, sys), "char " + number + " usb 1:5");
        QVERIFY(put(usb + "1-2/devnum", "6\n"));  // unplugged, and an adapter plugged in under its name
        QCOMPARE(DeviceIdentity::OfPath(pty.name, sys), "char " + number + " usb 1:6");
        QVERIFY(DeviceIdentity::OfPath(other.name, sys).startsWith("char ") && DeviceIdentity::OfPath("/x").isEmpty());

        // Stable names and the driver, for a device file standing in for ttyUSB0.
        QFile device(dir.filePath("ttyUSB0")), second(dir.filePath("ttyUSB1"));
        QVERIFY(device.open(QIODevice::WriteOnly) && second.open(QIODevice::WriteOnly) &&
                QDir().mkpath(serial + "/by-id") && QDir().mkpath(serial + "/by-path"));
        const QString byId = serial + "/by-id/usb-FTDI_A-if00-port0", byPath = serial + "/by-path/pci-usb-0:2-port0";
        QVERIFY(QFile::link(device.fileName(), byId) && QFile::link(device.fileName(), byPath) &&
                QFile::link(second.fileName(), serial + "/by-id/usb-FTDI_B-if00-port0") &&
                QFile::link(dir.filePath("gone"), serial + "/by-path/pci-usb-0:3-port0"));
        QCOMPARE(StableNames::Of(device.fileName(), serial), (QStringList{byId, byPath}));
        QCOMPARE(StableNames::Of(byId, serial), QStringList{byPath});  // given one of its stable names: the other
        QCOMPARE(StableNames::DriverOf(byId, sys), QString("ftdi_sio"));
        QCOMPARE(StableNames::DriverOf(second.fileName(), sys), QString());
    }

    // This machine's own ports, as the system's list gives them: the sysfs reading, with no empty slot in it. Nothing
    // is opened.
    void systemPortsOfThisMachine()
    {
        QStringList system, sysfs;
        for (const PortMap::SystemPort& port : PortMap::SystemPorts())
            system << port.location;
        for (const PortMap::SystemPort& port : SysfsPorts::Read())
            sysfs << port.location;
        QCOMPARE(system, sysfs);
        for (const QString& device : system) {
            QFile type("/sys/class/tty/" + device.section('/', -1) + "/type");
            QVERIFY2(!type.open(QIODevice::ReadOnly) || type.readAll().trimmed().toInt() != 0, qPrintable(device));
        }
    }
};

QTEST_MAIN(TestQtComm)
#include "tst_qtcomm.moc"
