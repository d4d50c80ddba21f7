#pragma once

#include <QByteArray>
#include <QElapsedTimer>
#include <QObject>
#include <QPointer>
#include <QTimer>

#include <deque>
#include <memory>

class QIODevice;
class SerialPort;

// Sends byte strings through the channel from the event loop, in the order they were queued: a
// paced string (a paste, a function key, a file) one byte at a time, waiting after each byte at
// most its delay for the byte to be written; a typed key's bytes in one write. The window keeps
// painting and taking input while a long string goes out, and a send can be stopped at any byte.
// The serial library is handed only what the device can take soon, so that what is counted as
// sent has been written to the port, and a stop leaves nothing behind to trickle out.
class PacedSender : public QObject
{
    Q_OBJECT

public:
    // The most bytes of paced sends left in the serial library's hands: a few milliseconds of
    // the line, so a device that stops reading holds up the send, not the memory.
    static constexpr qint64 maximumPending = 256;

    explicit PacedSender(QObject *parent = nullptr);
    ~PacedSender() override;

    // The channel to write to; a new channel, or none, drops whatever was still queued.
    void setChannel(SerialPort *channel);

    void sendPaced(const QByteArray &bytes, int delay);
    // The size bytes of source, read a piece at a time as they are sent: as far as the source
    // was when it was handed over, or to its end when size is 0 or less (a file under /proc
    // reads as empty but has content). name is what a failure calls it.
    void sendPaced(std::unique_ptr<QIODevice> source, qint64 size, const QString &name, int delay);
    // Written at once when nothing is queued, else after everything queued before it.
    void sendTyped(const QByteArray &bytes);

    // Drops what is left of the paced sends, and what the serial library still holds of them;
    // keys typed meanwhile go after all the same.
    void stop();

signals:
    // A write failed; the rest of that string or key has been dropped.
    void writeFailed();
    // The source called name could not be read further, after sent of its size bytes (size is
    // negative when it was read to its end); reason says why, in the system's words or as "the
    // file ended early". The rest of it has been dropped.
    void readFailed(const QString &name, qint64 sent, qint64 size, const QString &reason);
    // While a send has lasted a second or more, now and then: bytes written to the port, of the
    // total, which is negative while a source is read to its end.
    void progress(qint64 sent, qint64 total);
    // Everything queued has been written, or dropped.
    void finished();

private:
    struct Item;

    void enqueue(Item item);
    // Writes until it has to wait for the device, or nothing is left.
    void sendNext();
    void onBytesWritten();
    // Whether item has a byte left to write, reading the next piece of its source when its
    // bytes are used up; failure says why a source could not be read.
    bool refill(Item &item, QString *failure);
    qint64 sent() const;
    qint64 total() const;
    void dropAll();
    // After items were dropped: sends what is left, or says the send is over.
    void resume();
    void finish();

    QPointer<SerialPort> m_channel;
    std::deque<Item> m_queue;
    // Running while a byte is waiting to be written; on time-out the next byte goes anyway.
    QTimer m_wait;
    // Set while the serial library holds maximumPending bytes of paced sends.
    bool m_waitingForRoom = false;
    QTimer m_progressTimer;
    QElapsedTimer m_started;
    qint64 m_handed = 0;
    qint64 m_total = 0;
    bool m_sending = false;
};
