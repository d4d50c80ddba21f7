#pragma once

#include "app/devicelog.h"
#include "app/diskfile.h"

#include <QByteArray>
#include <QFile>
#include <QObject>
#include <QString>

#include <atomic>
#include <functional>
#include <future>

// Writes a device log's bytes into its file on a thread of its own: checks before each write
// that the name still names the file it opened, gets the system's cause of a write that fails,
// and puts the file on the disk when asked and when it finishes.
class LogWriter : public QObject
{
    Q_OBJECT

public:
    // Runs on the writer's thread before each write, with the file's descriptor.
    using WriteHook = std::function<void(int descriptor)>;

    LogWriter(const QString &fileName, WriteHook hook);

    // On the thread that made the writer, before it moves to its own: opens the file to append.
    bool open();
    QString errorString() const;
    QString fileName() const;
    // The file's size once open.
    qint64 size() const;

    // From any thread: bytes are counted while they wait to be written.
    void handOver(qint64 bytes);
    qint64 waiting() const;
    // Becomes ready once the file is closed.
    std::shared_future<void> closed() const;

    // On the writer's thread, in the order they were queued:
    // Waits until another writer of the same file has closed it, so that what they write stays
    // in the order it was handed over.
    void waitFor(const std::shared_future<void> &earlier);
    void write(const QByteArray &bytes);
    void sync();
    // Puts the file on the disk, closes it and ends the thread; queued last.
    void finish();

signals:
    // Writing stopped: why, and what the file (the one it wrote, when the name now names
    // another or none) holds.
    void failed(DeviceLog::Stop stop, const QString &cause, qint64 size);

private:
    void fail(DeviceLog::Stop stop, const QString &cause, qint64 size);

    const QString m_fileName;
    const WriteHook m_hook;
    QFile m_file;
    FileIdentity m_identity;
    std::atomic<qint64> m_waiting{0};
    bool m_failed = false;
    std::promise<void> m_closing;
    std::shared_future<void> m_closed;
};
