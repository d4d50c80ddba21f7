// STUB: to be implemented by the device-link work.
#include "serialport.h"

SerialPort::SerialPort(QObject *parent) : QObject(parent), serial(new QSerialPort(this)) {}
SerialPort::~SerialPort() = default;
void SerialPort::setBaudRateIndex(int index) { baudRateIndex = index; }
void SerialPort::setDataBitsIndex(int index) { dataBitsIndex = index; }
void SerialPort::setParityIndex(int index) { parityIndex = index; }
void SerialPort::setStopBitsIndex(int index) { stopBitsIndex = index; }
void SerialPort::setFlowControlIndex(int index) { flowControlIndex = index; }
bool SerialPort::openPort(const QString &) { return false; }
void SerialPort::closePort() {}
bool SerialPort::writeData(const QByteArray &) { return false; }
void SerialPort::waitForBytesWritten(int) {}
QString SerialPort::portName() const { return currentPortName; }
void SerialPort::readData() { emit readComm(); }
void SerialPort::handleError(QSerialPort::SerialPortError) {}
