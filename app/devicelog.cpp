#include "devicelog.h"

#include "app/constants.h"
#include "app/logwriter.h"
#include "common/logging.h"
#include "terminal/timestamp.h"

#include <QDateTime>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QThread>

#include <memory>
#include <utility>

using namespace Constants;

namespace {

LogWriter::WriteHook &writeHook()
{
    static LogWriter::WriteHook hook;
    return hook;
}

qint64 waitingLimit = logWaitingLimit;

} // namespace

DeviceLog::DeviceLog(QObject *parent)
    : QObject(parent)
{
    // Reported across threads.
    qRegisterMetaType<DeviceLog::Stop>();
    m_flushTimer.setSingleShot(true);
    connect(&m_flushTimer, &QTimer::timeout, this, &DeviceLog::flush);
}

DeviceLog::~DeviceLog()
{
    // Whoever would hear of a failure now may be going too; and no event loop may run here.
    blockSignals(true);
    close();
    waitForWriters(QDeadlineTimer(logCloseTimeoutMs));
}

void DeviceLog::setWriteHook(std::function<void(int)> hook)
{
    writeHook() = std::move(hook);
}

void DeviceLog::setWaitingLimit(qint64 bytes)
{
    waitingLimit = bytes;
}

QString DeviceLog::open(const QString &fileName)
{
    close();
    // Opening a FIFO would wait for a reader, and a device or a folder is no log: refused
    // before anything is opened.
    const QFileInfo info(fileName);
    if (info.exists() && !info.isFile())
        return tr("not a regular file");
    auto writer = std::make_unique<LogWriter>(fileName, writeHook());
    if (!writer->open())
        return writer->errorString();

    // A log of this file closed a moment ago may still be writing its end: this one writes
    // after it, and goes on from where the bytes handed to it ended.
    const QString canonical = QFileInfo(fileName).canonicalFilePath();
    LogWriter *earlier = nullptr;
    for (LogWriter *running : qAsConst(m_writers)) {
        if (QFileInfo(running->fileName()).canonicalFilePath() == canonical)
            earlier = running;
    }
    m_handed = writer->size() + (earlier ? earlier->waiting() : 0);
    if (!earlier) {
        m_atLineStart = true;
        QFile existing(fileName);
        if (m_handed > 0 && existing.open(QIODevice::ReadOnly) && existing.seek(m_handed - 1))
            m_atLineStart = existing.read(1) == "\n";
    }

    const quint64 id = ++m_lastWriterId;
    m_writer = writer.release();
    m_writers.insert(id, m_writer);
    auto thread = new QThread;
    thread->setObjectName(QStringLiteral("log file"));
    m_writer->moveToThread(thread);
    connect(m_writer, &LogWriter::failed, this,
            [this, id](Stop stop, const QString &cause, qint64 size) {
                writerFailed(id, stop, cause, size);
            });
    connect(thread, &QThread::finished, this, [this, id] { writerEnded(id); });
    if (earlier) {
        QMetaObject::invokeMethod(
            m_writer, [writer = m_writer, closed = earlier->closed()] { writer->waitFor(closed); });
    }
    thread->start();
    return QString();
}

void DeviceLog::close()
{
    if (!m_writer)
        return;
    flush();
    // Queued behind every write handed over, on the writer's own thread, so that they are all
    // done before the file closes and the thread ends.
    LogWriter *writer = std::exchange(m_writer, nullptr);
    QMetaObject::invokeMethod(writer, [writer] { writer->finish(); });
}

void DeviceLog::closeAndWait()
{
    close();
    // A close that comes while one waits (a quit signal meanwhile) leaves the waiting to it.
    if (m_closeLoop)
        return;
    const QDeadlineTimer deadline(logCloseTimeoutMs);
    if (!m_writers.isEmpty()) {
        QEventLoop loop;
        m_closeLoop = &loop;
        QTimer::singleShot(logCloseTimeoutMs, &loop, &QEventLoop::quit);
        loop.exec(QEventLoop::ExcludeUserInputEvents);
        m_closeLoop = nullptr;
    }
    // The application quitting ends every event loop, this one too: what is left is waited for
    // without one.
    waitForWriters(deadline);
}

void DeviceLog::waitForWriters(QDeadlineTimer deadline)
{
    for (LogWriter *writer : qAsConst(m_writers))
        writer->thread()->wait(deadline);
    for (const quint64 id : m_writers.keys()) {
        LogWriter *writer = m_writers.value(id);
        if (writer->thread()->isFinished()) {
            writerEnded(id);
            continue;
        }
        // A thread destroyed while it runs would end the process: the writer and its thread are
        // left to finish on their own if the disk ever answers, and are never destroyed.
        disconnect(writer, nullptr, this, nullptr);
        disconnect(writer->thread(), nullptr, this, nullptr);
        m_writers.remove(id);
        const qint64 lost = writer->waiting();
        const QString seconds = QString::number(logCloseTimeoutMs / 1000);
        if (lost > 0) {
            qCWarning(lcApp).noquote()
                << tr("Log to File: %1 bytes could not be written to %2: the disk did not take "
                      "them within %3 seconds.")
                       .arg(QString::number(lost), writer->fileName(), seconds);
        } else {
            qCWarning(lcApp).noquote()
                << tr("Log to File: %1 was not confirmed on the disk within %2 seconds; every "
                      "byte was handed to the system.")
                       .arg(writer->fileName(), seconds);
        }
    }
}

bool DeviceLog::isOpen() const
{
    return m_writer;
}

QString DeviceLog::fileName() const
{
    return m_writer ? m_writer->fileName() : QString();
}

qint64 DeviceLog::size() const
{
    return m_handed + m_buffer.size();
}

void DeviceLog::setTimestamps(bool on)
{
    m_timestamps = on;
}

void DeviceLog::appendReceived(const QByteArray &batch, qint64 arrival)
{
    if (!m_writer || batch.isEmpty())
        return;
    if (!m_timestamps) {
        append(batch);
        m_atLineStart = batch.endsWith('\n');
        return;
    }
    // Every line the batch starts gets the time before its first byte.
    const QByteArray prefix = timestampPrefix(QDateTime::fromMSecsSinceEpoch(arrival).time());
    int from = 0;
    while (from < batch.size()) {
        if (m_atLineStart)
            append(prefix);
        const int lineFeed = batch.indexOf('\n', from);
        const int end = lineFeed < 0 ? batch.size() : lineFeed + 1;
        append(batch.mid(from, end - from));
        m_atLineStart = lineFeed >= 0;
        from = end;
    }
}

void DeviceLog::markConnected(const QString &port)
{
    writeMarker(tr("connected to %1").arg(port));
}

void DeviceLog::markDisconnected(const QString &port, const QString &reason)
{
    writeMarker(tr("disconnected from %1: %2").arg(port, reason));
    // A device that resets may be followed by a power cut: what it said last goes onto the disk
    // now.
    flush();
    if (m_writer)
        QMetaObject::invokeMethod(m_writer, [writer = m_writer] { writer->sync(); });
}

void DeviceLog::writeMarker(const QString &text)
{
    if (!m_writer)
        return;
    const QString stamp
        = QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss.zzz"));
    QByteArray line = m_atLineStart ? QByteArray() : QByteArray("\n");
    line += QStringLiteral("--- %1 %2 ---\n").arg(stamp, text).toUtf8();
    append(line);
    m_atLineStart = true;
}

void DeviceLog::append(const QByteArray &bytes)
{
    // Logging may have stopped half-way through a batch.
    if (!m_writer)
        return;
    m_buffer += bytes;
    if (m_buffer.size() >= logFlushSize)
        flush();
    else if (!m_flushTimer.isActive())
        m_flushTimer.start(logFlushIntervalMs);
}

qint64 DeviceLog::waitingForDisk() const
{
    qint64 waiting = 0;
    for (const LogWriter *writer : m_writers)
        waiting += writer->waiting();
    return waiting;
}

void DeviceLog::flush()
{
    m_flushTimer.stop();
    if (!m_writer || m_buffer.isEmpty())
        return;
    // The disk has not kept up: rather than let memory grow without end, logging stops, with
    // everything received so far handed over.
    const bool tooMuchWaits = waitingForDisk() + m_buffer.size() > waitingLimit;
    m_handed += m_buffer.size();
    m_writer->handOver(m_buffer.size());
    QMetaObject::invokeMethod(m_writer, [writer = m_writer, bytes = std::exchange(m_buffer, {})] {
        writer->write(bytes);
    });
    emit flushed(m_handed);
    if (tooMuchWaits) {
        const QString fileName = m_writer->fileName();
        close();
        emit failed(fileName, Stop::DiskTooSlow, QString(), m_handed);
    }
}

void DeviceLog::writerFailed(quint64 id, Stop stop, const QString &cause, qint64 size)
{
    LogWriter *writer = m_writers.value(id);
    if (!writer)
        return;
    if (writer == m_writer) {
        // The writer drops what comes after a failure: nothing more is handed to it.
        m_buffer.clear();
        close();
    }
    emit failed(writer->fileName(), stop, cause, size);
}

void DeviceLog::writerEnded(quint64 id)
{
    LogWriter *writer = m_writers.take(id);
    if (!writer)
        return;
    QThread *thread = writer->thread();
    thread->wait();
    delete writer;
    delete thread;
    if (m_closeLoop && m_writers.isEmpty())
        m_closeLoop->quit();
}
