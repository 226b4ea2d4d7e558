#include "link/QtCommControl.h"

#include "link/PortMap.h"

#include <QMetaObject>
#include <algorithm>
#include <cstdint>
#include <limits>

QtCommControl::QtCommControl()
{
    QObject::connect(&m_serial, &QSerialPort::errorOccurred, &m_serial,
                     [this](QSerialPort::SerialPortError error) { OnError(error); });
}

QtCommControl::~QtCommControl()
{
    if (m_serial.isOpen())
        m_serial.close();
}

bool QtCommControl::setCommPort(int port)
{
    if (m_open || port < 1 || port > 16)
        return false;
    m_port = port;
    // The system's list is read afresh every time a number is chosen, so an
    // adapter plugged in since the last probe gets its number.
    m_device = PortMap::Device(port);
    return !m_device.isEmpty();
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
        if (m_serial.isOpen())
            m_serial.close();
        m_open = false;
        m_lost = false;
        m_lossReported = false;
        return true;
    }
    if (m_open || m_device.isEmpty())
        return false;

    m_serial.setPortName(m_device);
    m_serial.setBaudRate(m_line.baudRate);
    m_serial.setParity(m_line.parity);
    m_serial.setDataBits(m_line.dataBits);
    m_serial.setStopBits(m_line.stopBits);
    m_serial.setFlowControl(m_flow);
    m_serial.setReadBufferSize(m_inBufferSize);
    if (!m_serial.open(QIODevice::ReadWrite))
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
    m_lossReported = false;
    // Start with an empty receive buffer, whatever the device said before.
    m_serial.clear(QSerialPort::Input);
    m_serial.clearError();
    if (m_rts && !ApplyRts()) {
        // The port is open; only the RTS line could not be set.
        return false;
    }
    return true;
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

void QtCommControl::Output(const QByteArray& bytes)
{
    if (!m_open || m_lost || !m_serial.isOpen() || bytes.isEmpty())
        return;
    m_serial.write(bytes);
    // Hand the bytes to the device now, so frames leave in the order written
    // even when no window events are processed until much later. write() can
    // report a vanished device at once, through OnError, which sets m_lost.
    // cppcheck-suppress knownConditionTrueFalse
    if (!m_lost && m_serial.bytesToWrite() > 0)
        m_serial.waitForBytesWritten(WriteTimeoutMs);
    if (m_lost)
        DropDevice();
}

void QtCommControl::Poll()
{
    if (!m_open || m_lost || !m_serial.isOpen())
        return;
    // Take whatever the device holds into the receive buffer without waiting.
    m_serial.waitForReadyRead(0);
    if (m_serial.error() == QSerialPort::TimeoutError)
        m_serial.clearError();
    if (m_lost)
        DropDevice();
}

QByteArray QtCommControl::Input()
{
    if (!m_serial.isOpen())
        return {};
    if (m_serial.bytesAvailable() == 0)
        Poll();
    if (!m_serial.isOpen())
        return {};
    const qint64 waiting = m_serial.bytesAvailable();
    const qint64 n = m_inputLen > 0 ? std::min<qint64>(m_inputLen, waiting) : waiting;
    if (n <= 0)
        return {};
    return m_serial.read(n);
}

int QtCommControl::InBufferCount()
{
    Poll();
    if (!m_serial.isOpen())
        return 0;
    return static_cast<int>(
        std::min<qint64>(m_serial.bytesAvailable(), std::numeric_limits<int16_t>::max()));
}

void QtCommControl::OnError(QSerialPort::SerialPortError error)
{
    if (!m_open || m_lost)
        return;
    if (error != QSerialPort::ResourceError && error != QSerialPort::ReadError &&
        error != QSerialPort::WriteError)
        return;
    // The device has gone (or stopped working). Let go of it once control is
    // back in the event loop: closing from inside QSerialPort's own
    // notification is not safe, and until then the port's notifiers would
    // keep firing on the dead descriptor.
    m_lost = true;
    QMetaObject::invokeMethod(
        &m_serial, [this] { ReportLoss(); }, Qt::QueuedConnection);
}

void QtCommControl::ReportLoss()
{
    DropDevice();
    // Closed (or closed and opened again) since the error: nothing to report.
    if (!m_open || !m_lost || m_lossReported)
        return;
    m_lossReported = true;
    if (m_lostHandler)
        m_lostHandler();
}

void QtCommControl::DropDevice()
{
    if (m_lost && m_serial.isOpen())
        m_serial.close();
}
