#pragma once

#include <QByteArray>
#include <QDeadlineTimer>
#include <QMap>
#include <QObject>
#include <QString>
#include <QTimer>

#include <functional>

class LogWriter;
class QEventLoop;

// Keeps everything the device sends in a file, byte for byte as received, appended to what the
// file held, across disconnects and reconnects. The only bytes of its own are a marker line at
// each connect and disconnect, and, while timestamps are on, the time before each line. What
// arrives is in the file within a second, so a reader following it sees it and a crash of the
// program loses at most that second; at each disconnect the file is put on the disk, so that a
// power cut after a device's reset keeps what it said last. The file is written on a thread of
// its own, so that a slow or busy disk never holds up the terminal; what waits for a disk that
// cannot keep up is bounded, and logging stops, said, when it would pass the bound.
class DeviceLog : public QObject
{
    Q_OBJECT

public:
    // Why logging stopped on its own.
    enum class Stop {
        // A write failed, or the file could not be put on the disk: the system says why.
        WriteFailed,
        // The name names no file any more (removed, or renamed away).
        Removed,
        // The name names another file (an editor saved over it, a rename put one there).
        Replaced,
        // More waited for the disk than may wait.
        DiskTooSlow,
    };
    Q_ENUM(Stop)

    explicit DeviceLog(QObject *parent = nullptr);
    ~DeviceLog() override;

    // Starts logging into fileName, appending; returns why it cannot, empty when it can. A path
    // that is not a regular file (a folder, a FIFO, a device) is refused.
    QString open(const QString &fileName);
    // Stops logging without waiting: what was handed over is written, the file put on the disk
    // and closed, on the writer's thread.
    void close();
    // Stops logging and waits until every file is written out and closed, painting meanwhile but
    // taking no input; a disk that has not taken everything within 5 seconds is given up on,
    // and standard error says how much it did not take.
    void closeAndWait();
    bool isOpen() const;
    QString fileName() const;
    // Bytes the file holds, written out or on their way.
    qint64 size() const;

    void setTimestamps(bool on);

    // Received bytes, as they came at arrival (milliseconds since the epoch).
    void appendReceived(const QByteArray &batch, qint64 arrival);
    void markConnected(const QString &port);
    void markDisconnected(const QString &port, const QString &reason);

    // Hands what is buffered to the file now.
    void flush();

    // Seams for tests; the program never calls them. The hook runs on the writer's thread before
    // each write into a file opened after it was set (it slows or stalls the disk, or puts a
    // full device in the file's place); the limit replaces the bytes that may wait for the disk.
    static void setWriteHook(std::function<void(int descriptor)> hook);
    static void setWaitingLimit(qint64 bytes);

signals:
    // Handed to the file: it holds, or is about to hold, size bytes.
    void flushed(qint64 size);
    // Logging into fileName stopped on its own, or the end of a log closed earlier could not be
    // written: why (cause in the system's words where it has them), and what the file holds
    // (for DiskTooSlow, will hold once the disk has written what it was given).
    void failed(const QString &fileName, DeviceLog::Stop stop, const QString &cause, qint64 size);

private:
    void append(const QByteArray &bytes);
    void writeMarker(const QString &text);
    qint64 waitingForDisk() const;
    void writerFailed(quint64 id, Stop stop, const QString &cause, qint64 size);
    void writerEnded(quint64 id);
    // Waits for the writers without an event loop until deadline, then gives up on those left.
    void waitForWriters(QDeadlineTimer deadline);

    // The open file's writer; null while logging is off.
    LogWriter *m_writer = nullptr;
    // Every writer whose thread runs, by the order they were made: the open one and those still
    // writing out a file closed earlier.
    QMap<quint64, LogWriter *> m_writers;
    quint64 m_lastWriterId = 0;
    // Set while closeAndWait() waits, which ends it once no writer is left.
    QEventLoop *m_closeLoop = nullptr;
    QByteArray m_buffer;
    QTimer m_flushTimer;
    // Bytes handed to the writer, the file's size when it was opened included.
    qint64 m_handed = 0;
    bool m_timestamps = false;
    // Whether the next byte starts a line: the file is empty or ends with a line feed.
    bool m_atLineStart = true;
};
