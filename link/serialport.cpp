#include "serialport.h"

#include "common/logging.h"
#include "link/platform.h"

#include <QCoreApplication>
#include <QDebug>

#include <cerrno>
#include <cstring>

#include <array>
#include <utility>

namespace {

constexpr std::array<qint32, 15> baudRates{110,   300,   600,   1200,  2400,   4800,   9600,  14400,
                                           19200, 38400, 56000, 57600, 115200, 128000, 256000};
using Port = QSerialPort;
constexpr std::array<Port::DataBits, 4> dataBits{Port::Data5, Port::Data6, Port::Data7,
                                                 Port::Data8};
// The classic order puts mark before space, the reverse of Qt's enumerator values.
constexpr std::array<Port::Parity, 5> parities{Port::NoParity, Port::OddParity, Port::EvenParity,
                                               Port::MarkParity, Port::SpaceParity};
constexpr std::array<Port::StopBits, 3> stopBits{Port::OneStop, Port::OneAndHalfStop,
                                                 Port::TwoStop};
constexpr std::array<Port::FlowControl, 3> flowControls{Port::NoFlowControl, Port::HardwareControl,
                                                        Port::SoftwareControl};

template <typename T, size_t size>
T entryOr(const std::array<T, size> &table, int index, T outside)
{
    return index >= 0 && index < int(size) ? table[size_t(index)] : outside;
}

// Why a lock keeps the port from opening, in the words of the open failure.
QString lockCause(const PortLock &lock)
{
    if (lock.live)
        return SerialPort::tr("in use by another program, %1").arg(lock.holder);
    if (!lock.removeError.isEmpty())
        return SerialPort::tr("stale lock file %1 of ended process %2 cannot be removed: %3")
            .arg(lock.file)
            .arg(lock.pid)
            .arg(lock.removeError);
    return SerialPort::tr("in use by another program");
}

} // namespace

qint32 baudRateForIndex(int index)
{
    return entryOr(baudRates, index, 0);
}

QSerialPort::DataBits dataBitsForIndex(int index)
{
    return entryOr(dataBits, index, QSerialPort::Data8);
}

QSerialPort::Parity parityForIndex(int index)
{
    return entryOr(parities, index, QSerialPort::NoParity);
}

QSerialPort::StopBits stopBitsForIndex(int index)
{
    return entryOr(stopBits, index, QSerialPort::OneStop);
}

QSerialPort::FlowControl flowControlForIndex(int index)
{
    return entryOr(flowControls, index, QSerialPort::NoFlowControl);
}

QString windowsSystemPortName(const QString &name)
{
    const QString prefix = QStringLiteral("\\\\.\\");
    return name.contains(prefix) ? name : prefix + name;
}

SerialPort::SerialPort(QObject *parent)
    : QObject(parent)
    , m_serial(new QSerialPort(this))
{
    connect(m_serial, &QSerialPort::readyRead, this, &SerialPort::readData);
    connect(m_serial, &QSerialPort::errorOccurred, this, &SerialPort::handleError);
    connect(m_serial, &QSerialPort::bytesWritten, this, &SerialPort::bytesWritten);
}

SerialPort::~SerialPort()
{
    // Closing reports nothing worth hearing any more.
    m_serial->disconnect(this);
    closePort();
}

void SerialPort::setBaudRateIndex(int index)
{
    m_baudRateIndex = index;
}

// One and a half stop bits go only with five data bits, and two stop bits never do. Each setter
// checks against the other setting as it stands, so the order of the calls matters.
void SerialPort::setDataBitsIndex(int index)
{
    if (index == m_dataBitsIndex)
        return;
    if ((m_stopBitsIndex == 2 && index == 0) || (m_stopBitsIndex == 1 && index != 0))
        return;
    m_dataBitsIndex = index;
}

void SerialPort::setParityIndex(int index)
{
    m_parityIndex = index;
}

void SerialPort::setStopBitsIndex(int index)
{
    if (index == m_stopBitsIndex)
        return;
    if ((m_dataBitsIndex == 0 && index == 2) || (index == 1 && m_dataBitsIndex != 0))
        return;
    m_stopBitsIndex = index;
}

void SerialPort::setFlowControlIndex(int index)
{
    m_flowControlIndex = index;
}

bool SerialPort::openPort(const QString &name)
{
    if (m_opened) {
        m_opened = false;
        m_serial->close();
    }

    // The port keeps these while closed and applies them when it opens; a value it refuses
    // shows as a failed open.
    m_serial->setBaudRate(baudRateForIndex(m_baudRateIndex), QSerialPort::AllDirections);
    m_serial->setDataBits(dataBitsForIndex(m_dataBitsIndex));
    m_serial->setParity(parityForIndex(m_parityIndex));
    m_serial->setStopBits(stopBitsForIndex(m_stopBitsIndex));
    m_serial->setFlowControl(flowControlForIndex(m_flowControlIndex));

    const QString systemName = systemPortName(name);
    qCDebug(lcLink).nospace().noquote() << "MainController serial port:[" << name << "] opening...";
    m_serial->setPortName(systemName);
    // The serial library honours another program's lock only in its own form and for 30 s: a
    // lock holds here for as long as its process lives, and goes when the process has ended.
    const PortLock lock = checkPortLock(systemName);
    m_opened = !lock.live && m_serial->open(QIODevice::ReadWrite);
    m_openFailure.clear();
    if (m_opened) {
        m_currentPortName = name;
    } else if (lock.live) {
        m_openFailure = lockCause(lock);
    } else if (m_serial->error() == QSerialPort::PermissionError) {
        // Another program holding the port is not a matter of access rights: the library
        // reports its lock file, or the terminal held for exclusive use, as a permission error.
        const QString lockFailure = QCoreApplication::translate(
            "QSerialPort", "Permission error while locking the device");
        const QString busy = QString::fromLocal8Bit(std::strerror(EBUSY));
        const QString reported = m_serial->errorString();
        if (reported == lockFailure || reported == busy)
            m_openFailure = lockCause(checkPortLock(systemName));
    }
    return m_opened;
}

void SerialPort::closePort()
{
    m_opened = false;
    // Output the device has not taken is dropped first: closing a terminal otherwise waits for
    // it to drain, for half a minute when the device has stopped reading.
    discardOutput();
    m_serial->close();
}

bool SerialPort::writeData(const QByteArray &data)
{
    if (!m_serial->isOpen())
        return false;
    const qint64 written = m_serial->write(data);
    if (written <= 0) {
        qCDebug(lcLink).nospace().noquote()
            << "SerialPort write error.[" << m_currentPortName << "]";
        return false;
    }
    // Only the logged copy loses its line feeds, so that one write stays one log line.
    const QString logged = QString::fromLatin1(data).remove(QLatin1Char('\n'));
    qCDebug(lcTransmit).nospace().noquote()
        << "SerialPort writeData() : [" << m_currentPortName << "] :" << logged;
    return true;
}

qint64 SerialPort::bytesToWrite() const
{
    return m_serial->bytesToWrite();
}

void SerialPort::discardOutput()
{
    if (m_serial->isOpen())
        m_serial->clear(QSerialPort::Output);
}

void SerialPort::waitForBytesWritten(int msecs)
{
    if (m_opened)
        m_serial->waitForBytesWritten(msecs);
}

QString SerialPort::portName() const
{
    return m_currentPortName;
}

QString SerialPort::errorString() const
{
    return m_openFailure.isEmpty() ? m_serial->errorString() : m_openFailure;
}

void SerialPort::readData()
{
    // Read into place, behind what was not taken yet: readAll() grows its array a buffer's size
    // at a time, and so copied some 32 KB for each small batch a device streams.
    const qint64 available = m_serial->bytesAvailable();
    if (available > 0) {
        const int held = m_received.size();
        m_received.resize(held + int(available));
        const qint64 read = m_serial->read(m_received.data() + held, available);
        m_received.resize(held + int(qMax<qint64>(read, 0)));
    }
    // Announced even when nothing came, so the reader takes whatever is queued.
    emit readComm();
}

QByteArray SerialPort::takeReceived()
{
    return std::exchange(m_received, QByteArray());
}

void SerialPort::handleError(QSerialPort::SerialPortError error)
{
    // A port whose device was unplugged or reset reports either one ResourceError or, depending
    // on a stale errno inside Qt, a ReadError that repeats at full speed for as long as the port
    // stays open. Either way the port is dead: close it now so the loop stops, and let the owner
    // treat the device as gone. Timeouts and the like are not faults of the line.
    if (!m_serial->isOpen())
        return;
    if (error == QSerialPort::WriteError) {
        // The line still reads, but what was handed over cannot go out: said, rather than left
        // to wait in the library for good with everything sent after it.
        const QString reason = m_serial->errorString();
        qCDebug(lcLink).nospace().noquote()
            << "SerialPort write error.[" << m_currentPortName << "] " << reason;
        m_serial->clearError();
        emit writeFailed(reason);
        return;
    }
    if (error != QSerialPort::ResourceError && error != QSerialPort::ReadError)
        return;
    // The library's text can be a stale errno ("Inappropriate ioctl for device" after a
    // hang-up): say what happened to the device when the system can tell.
    QString reason;
    switch (portLoss(m_serial->portName(), qintptr(m_serial->handle()))) {
    case PortLoss::WentAway:
        reason = tr("the device went away");
        break;
    case PortLoss::HungUp:
        reason = tr("the device hung up");
        break;
    case PortLoss::Unknown:
        reason = error == QSerialPort::ResourceError ? tr("the device hung up")
                                                     : m_serial->errorString();
        break;
    }
    qCDebug(lcLink).nospace().noquote()
        << "SerialPort error.[" << m_currentPortName << "] " << reason;
    m_opened = false;
    m_serial->close();
    emit portLost(reason);
}
