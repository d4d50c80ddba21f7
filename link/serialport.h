#pragma once

#include <QByteArray>
#include <QObject>
#include <QSerialPort>
#include <QString>

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
    // Bytes handed to writeData() that the serial library has not yet written to the port.
    qint64 bytesToWrite() const;
    // Drops what the serial library and the system still hold for the device.
    void discardOutput();
    void waitForBytesWritten(int msecs);
    QString portName() const;
    // Why the last open or the port itself failed: in the serial library's words, except for a
    // port locked by another program, which says so (and who, when the lock tells).
    QString errorString() const;

    // Every byte received and not yet taken, oldest first; the queue is empty afterwards.
    QByteArray takeReceived();

signals:
    void readComm();
    // The port failed for good (unplugged, hung up); it has been closed already.
    void portLost(const QString &reason);
    // count bytes handed to writeData() have been written to the port.
    void bytesWritten(qint64 count);
    // The port took bytes but could not write them (reason in the system's words); they are
    // still held, and so is all that follows, until the output is discarded.
    void writeFailed(const QString &reason);

private slots:
    void readData();

private:
    void handleError(QSerialPort::SerialPortError error);

    QSerialPort *m_serial = nullptr;
    // The name given to the last successful openPort(), as it was given.
    QString m_currentPortName;
    QString m_openFailure;
    QByteArray m_received;
    bool m_opened = false;
    int m_baudRateIndex = 8;
    int m_dataBitsIndex = 3;
    int m_parityIndex = 0;
    int m_stopBitsIndex = 0;
    int m_flowControlIndex = 0;
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
