#pragma once

#include "common/pace.h"
#include "link/sendqueue.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <QObject>
#include <QPointer>
#include <QTimer>

#include <memory>

class QIODevice;
class SerialPort;

// Sends what it is given through the channel from the event loop, in the order it was given: a
// paced string (a paste, a function key, a command, a file) one byte at a time with its pace's
// wait after each byte; a typed key's bytes in one write. The window keeps painting and taking
// input while a long string goes out, and a send can be stopped at any byte. The serial library is
// handed only what the device can take soon, so that what is counted as sent has been written to
// the port, and a stop leaves nothing behind to trickle out. The order and the waits are the
// SendQueue's; this writes and waits.
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

    // Written at once when nothing is queued, else after everything queued before it.
    void sendTyped(const QByteArray &bytes);
    void sendPaced(const QByteArray &bytes, const Pace &pace);
    // The size bytes of source, read a piece at a time as they are sent: as far as the source
    // was when it was handed over, or to its end when size is 0 or less. name is what a failure
    // calls it.
    void sendFile(std::shared_ptr<QIODevice> source, qint64 size, const QString &name,
                  const Pace &pace);

    // Drops what is left of the paced sends, and what the serial library still holds of them,
    // and ends the wait at once; keys typed meanwhile go after all the same.
    void stop();

signals:
    // A write failed; the rest of that string or key has been dropped. reason is the system's
    // word for a write the port took and could not carry out, which also drops every paced send
    // and what the port still held; empty when the port took nothing.
    void writeFailed(const QString &reason);
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
    enum class State {
        // Nothing is queued.
        Idle,
        // Inside sendNext(), which writes until it has to wait.
        Writing,
        // After a paced byte: for the byte to be written, at most until m_wait times out.
        WaitingUntilWritten,
        // After a paced byte that is followed by a whole wait (a real pace, or the wait after a
        // line end): for the byte to be written, which starts the wait.
        WaitingToPause,
        // The whole wait: until m_wait times out, however soon anything is written.
        Pausing,
        // For the serial library to hold fewer than maximumPending bytes.
        WaitingForRoom,
    };

    void start();
    // Writes until it has to wait for the device, or nothing is left.
    void sendNext();
    void onBytesWritten();
    // Starts the whole wait.
    void pause();
    qint64 sent() const;
    // After parts were dropped: ends the wait and sends what is left, or says the send is over.
    void resume();
    void finish();

    QPointer<SerialPort> m_channel;
    SendQueue m_queue;
    State m_state = State::Idle;
    QTimer m_wait;
    // How long the whole wait lasts once its byte has been written.
    int m_pauseMs = 0;
    QTimer m_progressTimer;
    QElapsedTimer m_started;
    // Bytes handed to the channel since the send began.
    qint64 m_handed = 0;
};
