#pragma once

#include <QByteArray>
#include <QElapsedTimer>
#include <QObject>
#include <QPointer>
#include <QTimer>

#include <deque>

class SerialPort;

// Sends byte strings through the channel from the event loop, in the order they were queued: a
// paced string one byte at a time, waiting after each byte at most its delay for the byte to be
// written; a typed key's bytes in one write. The window keeps painting and taking input while a
// long string goes out, and the send can be stopped at any byte.
class PacedSender : public QObject
{
    Q_OBJECT

public:
    explicit PacedSender(QObject *parent = nullptr);

    // The channel to write to; a new channel, or none, drops whatever was still queued.
    void setChannel(SerialPort *channel);

    void sendPaced(const QByteArray &bytes, int delay);
    // Written at once when nothing is queued, else after everything queued before it.
    void sendTyped(const QByteArray &bytes);

    // Drops every byte not yet handed to the channel and returns how many there were.
    qint64 stop();

signals:
    // A write failed; the rest of that string or key has been dropped.
    void writeFailed();
    // While a send has lasted a second or more, now and then: bytes handed over, of the total.
    void progress(qint64 sent, qint64 total);
    // Everything queued has been handed over, or dropped.
    void finished();

private:
    struct Item
    {
        QByteArray bytes;
        // Negative for a typed key: one write, no wait.
        int delay = -1;
        int next = 0;
    };

    void enqueue(Item item);
    // Writes until it has to wait for the device, or nothing is left.
    void sendNext();
    void onOutputDrained();
    void finish();

    QPointer<SerialPort> m_channel;
    std::deque<Item> m_queue;
    // Running while a byte is waiting to be written; on time-out the next byte goes anyway.
    QTimer m_wait;
    QTimer m_progressTimer;
    QElapsedTimer m_started;
    qint64 m_sent = 0;
    qint64 m_total = 0;
    bool m_sending = false;
};
