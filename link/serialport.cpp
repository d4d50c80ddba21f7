#include "serialport.h"

#include "app/logging.h"
#include "link/platform.h"

#include <QCoreApplication>
#include <QDebug>

#include <cerrno>
#include <cstring>

#include <array>

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
    , serial(new QSerialPort(this))
{
    connect(serial, &QSerialPort::readyRead, this, &SerialPort::readData);
    connect(serial, &QSerialPort::errorOccurred, this, &SerialPort::handleError);
    connect(serial, &QSerialPort::bytesWritten, this, [this] {
        if (serial->bytesToWrite() == 0)
            emit outputDrained();
    });
}

SerialPort::~SerialPort()
{
    // Closing reports nothing worth hearing any more.
    serial->disconnect(this);
    closePort();
}

void SerialPort::setBaudRateIndex(int index)
{
    baudRateIndex = index;
}

// One and a half stop bits go only with five data bits, and two stop bits never do. Each setter
// checks against the other setting as it stands, so the order of the calls matters.
void SerialPort::setDataBitsIndex(int index)
{
    if (index == dataBitsIndex)
        return;
    if ((stopBitsIndex == 2 && index == 0) || (stopBitsIndex == 1 && index != 0))
        return;
    dataBitsIndex = index;
}

void SerialPort::setParityIndex(int index)
{
    parityIndex = index;
}

void SerialPort::setStopBitsIndex(int index)
{
    if (index == stopBitsIndex)
        return;
    if ((dataBitsIndex == 0 && index == 2) || (index == 1 && dataBitsIndex != 0))
        return;
    stopBitsIndex = index;
}

void SerialPort::setFlowControlIndex(int index)
{
    flowControlIndex = index;
}

bool SerialPort::openPort(const QString &name)
{
    if (opened) {
        opened = false;
        serial->close();
    }

    // The port keeps these while closed and applies them when it opens; a value it refuses
    // shows as a failed open.
    serial->setBaudRate(baudRateForIndex(baudRateIndex), QSerialPort::AllDirections);
    serial->setDataBits(dataBitsForIndex(dataBitsIndex));
    serial->setParity(parityForIndex(parityIndex));
    serial->setStopBits(stopBitsForIndex(stopBitsIndex));
    serial->setFlowControl(flowControlForIndex(flowControlIndex));

    const QString systemName = systemPortName(name);
    qCDebug(lcLink).nospace().noquote() << "MainController serial port:[" << name << "] opening...";
    serial->setPortName(systemName);
    // The serial library honours another program's lock only in its own form and for 30 s: a
    // lock holds here for as long as its process lives, and goes when the process has ended.
    const PortLock lock = checkPortLock(systemName);
    opened = !lock.live && serial->open(QIODevice::ReadWrite);
    m_openFailure.clear();
    if (opened) {
        currentPortName = name;
    } else if (lock.live) {
        m_openFailure = lockCause(lock);
    } else if (serial->error() == QSerialPort::PermissionError) {
        // Another program holding the port is not a matter of access rights: the library
        // reports its lock file, or the terminal held for exclusive use, as a permission error.
        const QString lockFailure = QCoreApplication::translate(
            "QSerialPort", "Permission error while locking the device");
        const QString busy = QString::fromLocal8Bit(std::strerror(EBUSY));
        const QString reported = serial->errorString();
        if (reported == lockFailure || reported == busy)
            m_openFailure = lockCause(checkPortLock(systemName));
    }
    return opened;
}

void SerialPort::closePort()
{
    opened = false;
    // Output the device has not taken is dropped first: closing a terminal otherwise waits for
    // it to drain, for half a minute when the device has stopped reading.
    if (serial->isOpen())
        serial->clear(QSerialPort::Output);
    serial->close();
}

bool SerialPort::writeData(const QByteArray &data)
{
    if (!serial->isOpen())
        return false;
    const qint64 written = serial->write(data);
    if (written <= 0) {
        qCDebug(lcLink).nospace().noquote() << "SerialPort write error.[" << currentPortName << "]";
        return false;
    }
    // Only the logged copy loses its line feeds, so that one write stays one log line.
    const QString logged = QString::fromLatin1(data).remove(QLatin1Char('\n'));
    qCDebug(lcTransmit).nospace().noquote()
        << "SerialPort writeData() : [" << currentPortName << "] :" << logged;
    return true;
}

void SerialPort::waitForBytesWritten(int msecs)
{
    if (opened)
        serial->waitForBytesWritten(msecs);
}

QString SerialPort::portName() const
{
    return currentPortName;
}

QString SerialPort::errorString() const
{
    return m_openFailure.isEmpty() ? serial->errorString() : m_openFailure;
}

void SerialPort::readData()
{
    const QByteArray bytes = serial->readAll();
    receivedBytes.insert(receivedBytes.end(), bytes.cbegin(), bytes.cend());
    // Announced even when nothing came, so the reader drains whatever is queued.
    emit readComm();
}

void SerialPort::handleError(QSerialPort::SerialPortError error)
{
    // A port whose device was unplugged or reset reports either one ResourceError or, depending
    // on a stale errno inside Qt, a ReadError that repeats at full speed for as long as the port
    // stays open. Either way the port is dead: close it now so the loop stops, and let the owner
    // treat the device as gone. Timeouts and the like are not faults of the line.
    if (error != QSerialPort::ResourceError && error != QSerialPort::ReadError)
        return;
    if (!serial->isOpen())
        return;
    // The library's text can be a stale errno ("Inappropriate ioctl for device" after a
    // hang-up): say what happened to the device when the system can tell.
    QString reason;
    switch (portLoss(serial->portName(), qintptr(serial->handle()))) {
    case PortLoss::WentAway:
        reason = tr("the device went away");
        break;
    case PortLoss::HungUp:
        reason = tr("the device hung up");
        break;
    case PortLoss::Unknown:
        reason = error == QSerialPort::ResourceError ? tr("the device hung up")
                                                     : serial->errorString();
        break;
    }
    qCDebug(lcLink).nospace().noquote()
        << "SerialPort error.[" << currentPortName << "] " << reason;
    opened = false;
    serial->close();
    emit portLost(reason);
}
