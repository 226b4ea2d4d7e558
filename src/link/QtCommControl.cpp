#include "link/QtCommControl.h"

#include "link/DeviceGate.h"
#include "link/DeviceIdentity.h"
#include "link/TerminalIo.h"

#include <QDeadlineTimer>
#include <QFileInfo>
#include <QMetaObject>
#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <limits>
#include <map>
#include <mutex>
#include <thread>

#ifdef Q_OS_UNIX
#include <fcntl.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#endif


namespace {

#ifdef Q_OS_UNIX
// Errors by which a descriptor says its device has gone.
bool MeansGone(int error)
{
    return error == EIO || error == ENXIO || error == ENODEV;
}
#endif

// The drains running, at most one per device (by device number).
namespace Drains {

struct Outcome {
    std::mutex mutex;
    std::condition_variable done;
    bool finished = false;
    bool drained = false;
    int error = 0;
};

std::mutex mutex;
std::map<quint64, std::shared_ptr<Outcome>> running;

// The drain of `device` running now, or a new one to start (then true).
std::pair<std::shared_ptr<Outcome>, bool> Join(const std::optional<quint64>& device)
{
    if (!device)
        return {std::make_shared<Outcome>(), true};
    const std::lock_guard<std::mutex> lock(mutex);
    std::shared_ptr<Outcome>& drain = running[*device];
    if (drain)
        return {drain, false};
    drain = std::make_shared<Outcome>();
    return {drain, true};
}

void Finish(const std::optional<quint64>& device, Outcome& outcome, bool drained, int error)
{
    if (device) {
        const std::lock_guard<std::mutex> lock(mutex);
        running.erase(*device);
    }
    const std::lock_guard<std::mutex> lock(outcome.mutex);
    outcome.finished = true;
    outcome.drained = drained;
    outcome.error = error;
    outcome.done.notify_all();
}

}  // namespace Drains

}  // namespace

QtCommControl::QtCommControl(std::shared_ptr<TerminalIo> io, PortMap::Source ports, std::shared_ptr<DeviceGate> gate)
    : m_io(io ? std::move(io) : std::make_shared<SystemTerminalIo>()),
      m_gate(gate ? std::move(gate) : std::make_shared<SystemDeviceGate>()),
      m_source(std::move(ports))
{
    QObject::connect(&m_serial, &QSerialPort::errorOccurred, &m_serial,
                     [this](QSerialPort::SerialPortError error) { OnError(error); });
    QObject::connect(&m_serial, &QSerialPort::readyRead, &m_serial, [this] { TakeArrived(); });
}

QtCommControl::~QtCommControl()
{
    Release();
}

void QtCommControl::RescanPorts()
{
    m_map = PortMap::Read(m_source);
    m_gate->Refresh();
}

const PortMap& QtCommControl::Ports()
{
    if (!m_map)
        RescanPorts();
    return *m_map;
}

bool QtCommControl::setCommPort(int port)
{
    if (m_open || port < 1 || port > PortMap::Count)
        return false;
    m_heldBy.reset();
    m_refusal.reset();
    m_port = port;
    m_device = Ports().Device(port);
    // A second name for a device an earlier number already reaches is no
    // port of its own: the search would probe the one device twice.
    return !m_device.isEmpty() && Ports().SameAs(port) == 0;
}

bool QtCommControl::setSettings(const QString& settings)
{
    const auto parsed = LineSettings::Parse(settings);
    if (!parsed)
        return false;
    m_line = *parsed;
    if (m_open && !m_lost) {
        return m_serial.setBaudRate(m_line.baudRate) && m_serial.setParity(m_line.parity) &&
               m_serial.setDataBits(m_line.dataBits) && m_serial.setStopBits(m_line.stopBits);
    }
    return true;
}

bool QtCommControl::setInBufferSize(int bytes)
{
    if (m_open || bytes < 1)
        return false;
    m_inBufferSize = bytes;
    return true;
}

bool QtCommControl::setHandshaking(int mode)
{
    switch (mode) {
    case 0:
        m_flow = QSerialPort::NoFlowControl;
        break;
    case 1:
        m_flow = QSerialPort::SoftwareControl;
        break;
    case 2:
    case 3:
        m_flow = QSerialPort::HardwareControl;
        break;
    default:
        return false;
    }
    if (m_open && !m_lost)
        return m_serial.setFlowControl(m_flow);
    return true;
}

bool QtCommControl::setInputLen(int chars)
{
    if (chars < 0)
        return false;
    m_inputLen = chars;
    return true;
}

bool QtCommControl::setPortOpen(bool open)
{
    if (!open) {
        Release();
        m_open = false;
        return true;
    }
    if (m_open)
        return false;
    m_heldBy.reset();
    m_refusal.reset();
    m_openTried = false;
    if (m_device.isEmpty())
        return false;

    // Opened by its real name, so that the lock file names the device
    // itself whichever of its names the map gave.
    QString real = QFileInfo(m_device).canonicalFilePath();
    if (real.isEmpty())
        real = m_device;
    m_openError = QSerialPort::NoError;
    // Look before touching: a device another program holds is left alone.
    m_heldBy = m_gate->Look(real);
    if (m_heldBy) {
        m_openError = QSerialPort::PermissionError;
        return false;
    }
    m_refusal = m_gate->Refusal(real);
    if (m_refusal) {
        m_openError = QSerialPort::PermissionError;
        return false;
    }
    m_openTried = true;
    m_serial.setPortName(real);
    m_serial.setBaudRate(m_line.baudRate);
    m_serial.setParity(m_line.parity);
    m_serial.setDataBits(m_line.dataBits);
    m_serial.setStopBits(m_line.stopBits);
    m_serial.setFlowControl(m_flow);
    // Everything that arrives is taken into m_received at once.
    m_serial.setReadBufferSize(0);
    if (!OpenDevice(real))
        return false;
    // The port settings must have taken: a device that refuses 9600,n,8,1 is
    // no port for the meter.
    if (m_serial.baudRate() != m_line.baudRate || m_serial.parity() != m_line.parity ||
        m_serial.dataBits() != m_line.dataBits || m_serial.stopBits() != m_line.stopBits) {
        m_serial.close();
        return false;
    }
    m_open = true;
    m_lost = false;
    m_written = false;
    ++m_generation;
#ifdef Q_OS_UNIX
    m_openedIdentity = DeviceIdentity::OfDescriptor(static_cast<int>(m_serial.handle()));
#else
    m_openedIdentity = DeviceIdentity::OfPath(m_device);
#endif
    // Start with an empty receive buffer, whatever the device said before.
    m_serial.clear(QSerialPort::Input);
    m_received.clear();
    m_serial.clearError();
    if (m_rts && !ApplyRts()) {
        // The port is open; only the RTS line could not be set.
        return false;
    }
    return true;
}

bool QtCommControl::OpenDevice(const QString& real)
{
    const DeviceGate::Opened opened = m_gate->Open(m_serial, real);
    if (opened.ok)
        return true;
    m_openError = opened.error;
    // Held in a way that shows only to an open (exclusive mode), or taken
    // between the look and the open: busy all the same, its holder named by
    // a look where one shows.
    if (opened.busy)
        m_heldBy = m_gate->Look(real).value_or(DeviceAccess::Holder{});
    if (!opened.refusal.isEmpty())
        m_refusal = opened.refusal;
    return false;
}

std::optional<DeviceAccess::Holder> QtCommControl::LookForHolder()
{
    if (m_device.isEmpty())
        return std::nullopt;
    const QString real = QFileInfo(m_device).canonicalFilePath();
    return m_gate->Look(real.isEmpty() ? m_device : real);
}

QString QtCommControl::Identity() const
{
    return m_serial.isOpen() ? m_openedIdentity : DeviceIdentity::OfPath(m_device);
}

void QtCommControl::Release()
{
    if (!m_serial.isOpen())
        return;
    if (m_written && !m_lost)
        DrainOutput();
    // QSerialPort puts back the settings the device had before we opened it
    // and closes it; with the output drained or thrown away the close itself
    // has nothing left to wait for.
    m_serial.close();
    m_received.clear();
}

void QtCommControl::DrainOutput()
{
#ifdef Q_OS_UNIX
    const int fd = static_cast<int>(m_serial.handle());
    // tcdrain cannot be told how long to try, so it runs on a thread of its
    // own, on a copy of the descriptor that stays valid however long the
    // device takes; this thread waits for it at most DrainBoundMs. A device
    // that never drains keeps that thread and its copy until it hangs up, so
    // each device has at most one drain running: a close that finds one
    // waits for that one instead (it drains the same output queue).
    struct stat status {};
    const std::optional<quint64> device =
        ::fstat(fd, &status) == 0 ? std::optional<quint64>(status.st_rdev) : std::nullopt;
    auto [outcome, started] = Drains::Join(device);
    if (started) {
        const int copy = ::fcntl(fd, F_DUPFD_CLOEXEC, 0);
        if (copy < 0) {
            Drains::Finish(device, *outcome, false, errno);
            m_io->DiscardOutput(fd);
            return;
        }
        std::thread([io = m_io, copy, outcome, device] {
            int error = 0;
            const bool drained = io->Drain(copy, error);
            ::close(copy);
            Drains::Finish(device, *outcome, drained, error);
        }).detach();
    }

    std::unique_lock<std::mutex> lock(outcome->mutex);
    outcome->done.wait_for(lock, std::chrono::milliseconds(DrainBoundMs), [&] { return outcome->finished; });
    if (!outcome->finished) {
        // The line does not take it (hardware handshaking left on by an
        // earlier program, a stalled adapter): throw the rest away, so that
        // neither the restore of the old settings nor the close waits for it.
        lock.unlock();
        m_io->DiscardOutput(fd);
        LetGo(fd);
    } else if (started && !outcome->drained && MeansGone(outcome->error)) {
        m_lost = true;
    }
#endif
}

void QtCommControl::LetGo(int fd)
{
#ifdef Q_OS_UNIX
    // The drain's copy of the descriptor stays open until its tcdrain
    // returns, and with it the open file description that holds our locks:
    // unlocked here, the device is free for our own next open and for other
    // programs as soon as the close returns, not when the device drains.
    ::flock(fd, LOCK_UN);
    struct flock whole {};
    whole.l_type = F_UNLCK;
    whole.l_whence = SEEK_SET;
    ::fcntl(fd, F_OFD_SETLK, &whole);
    ::ioctl(fd, TIOCNXCL);
#else
    Q_UNUSED(fd);
#endif
}

bool QtCommControl::ApplyRts()
{
    m_serial.clearError();
    if (m_serial.setRequestToSend(m_rts))
        return true;
    // Pseudo-terminals and some adapters have no modem lines: there is no
    // RTS to assert, and that is no reason to refuse the port.
    const bool unsupported = m_serial.error() == QSerialPort::UnsupportedOperationError;
    m_serial.clearError();
    return unsupported;
}

bool QtCommControl::setRTSEnable(bool enable)
{
    m_rts = enable;
    if (m_open && !m_lost)
        return ApplyRts();
    return true;
}

CommControl::Written QtCommControl::Output(const QByteArray& bytes)
{
    if (!m_open || !m_serial.isOpen())
        return {false, m_open ? QStringLiteral("device lost") : QStringLiteral("port closed")};
    if (m_lost)
        return {false, QStringLiteral("device lost")};
    if (bytes.isEmpty())
        return {};
    m_written = true;
#ifdef Q_OS_UNIX
    const int fd = static_cast<int>(m_serial.handle());
    const QDeadlineTimer deadline(WriteTimeoutMs, Qt::PreciseTimer);
    qint64 done = 0;
    while (done < bytes.size()) {
        int error = 0;
        const qint64 n = m_io->Write(fd, bytes.constData() + done, bytes.size() - done, error);
        if (n > 0) {
            done += n;
            continue;
        }
        if (n < 0 && error == EINTR)
            continue;
        if (n < 0 && error != EAGAIN && error != EWOULDBLOCK) {
            if (MeansGone(error)) {
                MarkLost();
                return {false, QStringLiteral("device lost")};
            }
            return {false, QString::fromLocal8Bit(std::strerror(error))};
        }
        // The system's output queue is full: wait for room, not for ever.
        const qint64 left = deadline.remainingTime();
        if (left <= 0) {
            return {false, QStringLiteral("no room in the output queue within %1 ms (%2 of %3 bytes written)")
                               .arg(WriteTimeoutMs)
                               .arg(done)
                               .arg(bytes.size())};
        }
        m_io->WaitWritable(fd, static_cast<int>(left));
    }
    return {};
#else
    m_serial.write(bytes);
    // write() can report a vanished device at once, through OnError.
    if (m_serial.bytesToWrite() > 0 && !m_serial.waitForBytesWritten(WriteTimeoutMs) && !m_lost)
        return {false, QStringLiteral("no room in the output queue within %1 ms").arg(WriteTimeoutMs)};
    if (m_lost) {
        DropDevice();
        return {false, QStringLiteral("device lost")};
    }
    return {};
#endif
}

void QtCommControl::TakeArrived()
{
    const QByteArray arrived = m_serial.readAll();
    const qsizetype room = ReceiveQueueLimit - m_received.size();
    // Beyond the limit nobody is reading: what arrives then is dropped.
    if (room > 0)
        m_received.append(arrived.left(room));
}

void QtCommControl::Poll()
{
    if (!m_open || m_lost || !m_serial.isOpen())
        return;
    // Take whatever the device holds without waiting.
    m_serial.waitForReadyRead(0);
    if (m_serial.error() == QSerialPort::TimeoutError)
        m_serial.clearError();
    if (m_lost)
        DropDevice();
    else
        TakeArrived();
}

QByteArray QtCommControl::Input()
{
    if (m_received.isEmpty())
        Poll();
    const qsizetype waiting = std::min<qsizetype>(m_received.size(), m_inBufferSize);
    const qsizetype n = m_inputLen > 0 ? std::min<qsizetype>(m_inputLen, waiting) : waiting;
    if (n <= 0)
        return {};
    const QByteArray out = m_received.left(n);
    m_received.remove(0, n);
    return out;
}

int QtCommControl::InBufferCount()
{
    Poll();
    if (!m_serial.isOpen())
        return 0;
    const qsizetype waiting = std::min<qsizetype>(m_received.size(), m_inBufferSize);
    return static_cast<int>(std::min<qsizetype>(waiting, std::numeric_limits<int16_t>::max()));
}

void QtCommControl::OnError(QSerialPort::SerialPortError error)
{
    if (!m_open || m_lost)
        return;
    if (error != QSerialPort::ResourceError && error != QSerialPort::ReadError &&
        error != QSerialPort::WriteError)
        return;
    MarkLost();
}

void QtCommControl::MarkLost()
{
    // The device has gone (or stopped working). Let go of it once control is
    // back in the event loop: closing from inside QSerialPort's own
    // notification is not safe, and until then the port's notifiers would
    // keep firing on the dead descriptor.
    m_lost = true;
    m_received.clear();
    QMetaObject::invokeMethod(
        &m_serial, [this, generation = m_generation] { ReportLoss(generation); }, Qt::QueuedConnection);
}

void QtCommControl::ReportLoss(unsigned generation)
{
    // Closed (or closed and opened again) since the error: nothing to report.
    if (!m_open || !m_lost || generation != m_generation)
        return;
    DropDevice();
    ++m_generation;  // once per loss
    if (m_lostHandler)
        m_lostHandler();
}

void QtCommControl::DropDevice()
{
    if (m_lost && m_serial.isOpen())
        m_serial.close();
}
