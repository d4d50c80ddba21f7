#pragma once

#include "common/pace.h"
#include "link/connectionrules.h"

#include <QByteArray>
#include <QObject>
#include <QStringList>

#include <functional>
#include <memory>

class PacedSender;
class QIODevice;
class QTimer;
class SerialPort;

// The device as the rest of the program sees it. Once a second it looks for a Tarquel device,
// opens the first one's port at 115200 8N1 and closes it when the device goes, as
// decideConnection() rules; it hands over every batch the device sends, sends what it is given,
// and tells by signals what happened. It owns the serial channel, its tick and the paced sender,
// and knows no window or view.
class DeviceLink : public QObject
{
    Q_OBJECT

public:
    using PortFinder = std::function<QStringList()>;

    explicit DeviceLink(QObject *parent = nullptr);
    ~DeviceLink() override;

    // Replaces discovery, for tests and benchmarks.
    void setPortFinder(PortFinder finder);

    // Starts the tick: the first check comes one interval from now.
    void start();
    // Stops the tick and closes the port, as the program does when it ends.
    void stop();
    // One tick, now.
    void checkConnection();
    // Closes the port, if one is open, and drops what was still to be sent; the next tick opens
    // the device again if it is still there.
    void disconnectDevice();

    bool isConnected() const;
    QString portName() const;

    // A typed key's bytes, in one write, behind whatever is still going out.
    void sendTyped(const QByteArray &bytes);
    // A paste, a function key's or a command's string, one byte at a time as pace says.
    void sendPaced(const QByteArray &bytes, const Pace &pace);
    // The size bytes of source (a file called name), paced the same way, read a piece at a
    // time; to its end when size is 0 or less.
    void sendFile(const std::shared_ptr<QIODevice> &source, qint64 size, const QString &name,
                  const Pace &pace);
    // Drops the rest of what is being sent paced; typed keys still go.
    void stopSending();

    // Hands over what the port has received and not yet handed over, as one batch.
    void readComm();

signals:
    void connected(const QString &port);
    // The device is there, but its port cannot be opened; the next tick tries again.
    void openFailed(const QString &port, const QString &cause);
    // The open port was closed: reason says why (the device went away, failed, or the link was
    // told to close it).
    void portClosed(const QString &port, const QString &reason);
    // The device is no longer there: after portClosed() when its port was open, alone when
    // it could not be opened.
    void deviceGone();
    // A batch as received, and when it came (milliseconds since the epoch, which cost nothing to
    // read), the time the lines it begins are stamped with wherever they are shown or kept.
    void bytesReceived(const QByteArray &batch, qint64 arrival);
    // While a long send goes out: bytes written to the port, of the total (negative while a
    // file is read to its end).
    void sendProgress(qint64 sent, qint64 total);
    // Everything given to send has been written, or dropped.
    void sendFinished();
    // A write through an open port failed; the rest of that string or key was dropped. reason is
    // the system's word when the port took bytes it could not write (then every paced send was
    // dropped), empty when it took none.
    void writeFailed(const QString &reason);
    // The file called name could not be read further after sent of its size bytes (size is
    // negative for one read to its end); the rest of it was dropped.
    void readFailed(const QString &name, qint64 sent, qint64 size, const QString &reason);

private:
    void apply(ConnectionEvent event, const QStringList &ports = {},
               const QString &lostReason = {});
    bool openDevicePort(const QStringList &ports);
    enum class ChannelEnd { Now, FromEventLoop };
    void releaseChannel(ChannelEnd end, const QString &reason);

    QTimer *m_connectionTimer = nullptr;
    PortFinder m_portFinder;
    SerialPort *m_channel = nullptr;
    PacedSender *m_sender = nullptr;
    DeviceState m_deviceFoundBefore = DeviceState::Absent;
    // The port whose open failed last, and why.
    QString m_failedPort;
    QString m_openFailure;
};
