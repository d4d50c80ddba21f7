#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>
#include <QThread>
#include <QTimer>

// Keeps everything the device sends in a file, byte for byte as received, appended to what the
// file held, across disconnects and reconnects. The only bytes of its own are a marker line at
// each connect and disconnect, and, while timestamps are on, the time before each line. What
// arrives is in the file within a second, so a reader following it sees it and a crash of the
// program loses at most that second. The file is written on a thread of its own, so that a slow
// or busy disk never holds up the terminal.
class DeviceLog : public QObject
{
    Q_OBJECT

public:
    explicit DeviceLog(QObject *parent = nullptr);
    ~DeviceLog() override;

    // Starts logging into fileName, appending; returns why it cannot, empty when it can. A path
    // that is not a regular file (a folder, a FIFO, a device) is refused.
    QString open(const QString &fileName);
    // Writes out what is buffered and stops logging.
    void close();
    bool isOpen() const;
    QString fileName() const;
    // Bytes the file holds, written out or buffered.
    qint64 size() const;

    void setTimestamps(bool on);

    // Received bytes, as they came at arrival (milliseconds since the epoch).
    void appendReceived(const QByteArray &batch, qint64 arrival);
    void markConnected(const QString &port);
    void markDisconnected(const QString &port, const QString &reason);

    // Hands what is buffered to the file now.
    void flush();

signals:
    // Handed to the file: it holds, or is about to hold, size bytes.
    void flushed(qint64 size);
    // Writing failed (disk full, file removed, medium gone): logging has stopped. reason says
    // why, in the system's words; size is what the file holds.
    void failed(const QString &reason, qint64 size);

private:
    class Writer;

    void append(const QByteArray &bytes);
    void writeMarker(const QString &text);
    void writerFailed(int generation, const QString &reason, qint64 size);

    QThread m_thread;
    // The open file's writer, living in m_thread; null while logging is off.
    Writer *m_writer = nullptr;
    // Counts the files opened, so that a failure reported late is told from a current one.
    int m_generation = 0;
    QString m_fileName;
    QByteArray m_buffer;
    QTimer m_flushTimer;
    // Bytes handed to the writer, the file's size when it was opened included.
    qint64 m_handed = 0;
    bool m_timestamps = false;
    // Whether the next byte starts a line: the file is empty or ends with a line feed.
    bool m_atLineStart = true;
};
