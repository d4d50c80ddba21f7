#include "serialport.h"

#include "link/platform.h"

#include <QDebug>

#include <array>

namespace {

constexpr std::array<qint32, 15> baudRates{110,   300,   600,   1200,  2400,   4800,   9600,  14400,
                                           19200, 38400, 56000, 57600, 115200, 128000, 256000};

} // namespace

qint32 baudRateForIndex(int index)
{
    if (index < 0 || index >= int(baudRates.size()))
        return 0;
    return baudRates[size_t(index)];
}

QSerialPort::DataBits dataBitsForIndex(int index)
{
    switch (index) {
    case 0:
        return QSerialPort::Data5;
    case 1:
        return QSerialPort::Data6;
    case 2:
        return QSerialPort::Data7;
    default:
        return QSerialPort::Data8;
    }
}

QSerialPort::Parity parityForIndex(int index)
{
    // The classic order puts mark before space, the reverse of Qt's enumerator values.
    switch (index) {
    case 1:
        return QSerialPort::OddParity;
    case 2:
        return QSerialPort::EvenParity;
    case 3:
        return QSerialPort::MarkParity;
    case 4:
        return QSerialPort::SpaceParity;
    default:
        return QSerialPort::NoParity;
    }
}

QSerialPort::StopBits stopBitsForIndex(int index)
{
    switch (index) {
    case 1:
        return QSerialPort::OneAndHalfStop;
    case 2:
        return QSerialPort::TwoStop;
    default:
        return QSerialPort::OneStop;
    }
}

QSerialPort::FlowControl flowControlForIndex(int index)
{
    switch (index) {
    case 1:
        return QSerialPort::HardwareControl;
    case 2:
        return QSerialPort::SoftwareControl;
    default:
        return QSerialPort::NoFlowControl;
    }
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
}

SerialPort::~SerialPort()
{
    // Closing reports nothing worth hearing any more.
    serial->disconnect(this);
    closePort();
    receivedBytes.clear();
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
    qDebug().nospace().noquote() << "MainController serial port:[" << name << "] opening...";
    serial->setPortName(systemName);
    opened = serial->open(QIODevice::ReadWrite);
    if (opened)
        currentPortName = name;
    return opened;
}

void SerialPort::closePort()
{
    opened = false;
    serial->close();
}

bool SerialPort::writeData(const QByteArray &data)
{
    if (!serial->isOpen())
        return false;
    const qint64 written = serial->write(data);
    if (written <= 0) {
        qDebug().nospace().noquote() << "SerialPort write error.[" << currentPortName << "]";
        return false;
    }
    // Only the logged copy loses its line feeds, so that one write stays one log line.
    const QString logged = QString::fromLatin1(data).remove(QLatin1Char('\n'));
    qDebug().nospace().noquote() << "SerialPort writeData() : [" << currentPortName
                                 << "] :" << logged;
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
    return serial->errorString();
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
    const QString reason = serial->errorString();
    qDebug().nospace().noquote() << "SerialPort error.[" << currentPortName << "] " << reason;
    opened = false;
    serial->close();
    emit portLost(reason);
}
