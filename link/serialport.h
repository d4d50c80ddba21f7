#pragma once

#include <QObject>
#include <QSerialPort>
#include <QString>

#include <deque>

// The one channel to the device: keeps the line settings as classic indices, opens a named port
// with them, writes byte arrays, and queues every received byte, announcing each arrival with
// readComm().
class SerialPort : public QObject
{
    Q_OBJECT

public:
    explicit SerialPort(QObject *parent = nullptr);
    ~SerialPort() override;

    void setBaudRateIndex(int index);
    void setDataBitsIndex(int index);
    void setParityIndex(int index);
    void setStopBitsIndex(int index);
    void setFlowControlIndex(int index);

    bool openPort(const QString &name);
    void closePort();
    bool writeData(const QByteArray &data);
    void waitForBytesWritten(int msecs);
    QString portName() const;
    // Why the last open or the port itself failed: in the serial library's words, except for a
    // port locked by another program, which says so (and who, when the lock tells).
    QString errorString() const;

    // Every received byte, oldest at the front; drained by the main window.
    std::deque<char> receivedBytes;

signals:
    void readComm();
    // The port failed for good (unplugged, hung up); it has been closed already.
    void portLost(const QString &reason);
    // Everything handed to writeData so far has gone to the device's driver.
    void outputDrained();

private slots:
    void readData();

private:
    void handleError(QSerialPort::SerialPortError error);

    QSerialPort *serial = nullptr;
    QString currentPortName;
    QString m_openFailure;
    bool opened = false;
    int baudRateIndex = 8;
    int dataBitsIndex = 3;
    int parityIndex = 0;
    int stopBitsIndex = 0;
    int flowControlIndex = 0;
};

// The classic line-setting tables behind the indices. A baud-rate index outside its table gives
// 0 bits per second (the port then refuses to open); outside the other tables the channel's
// defaults are used: 8 data bits, no parity, one stop bit, no flow control.
qint32 baudRateForIndex(int index);
QSerialPort::DataBits dataBitsForIndex(int index);
QSerialPort::Parity parityForIndex(int index);
QSerialPort::StopBits stopBitsForIndex(int index);
QSerialPort::FlowControl flowControlForIndex(int index);

// A port name in the Windows device namespace: "\\.\" in front, unless the name holds it already.
QString windowsSystemPortName(const QString &name);
