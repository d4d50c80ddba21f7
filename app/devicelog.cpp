#include "devicelog.h"

#include "terminal/timestamp.h"

#include <QDateTime>
#include <QFile>
#include <QFileInfo>

#include <memory>
#include <utility>

namespace {

// Written out at the latest this long after it arrived.
constexpr int flushIntervalMs = 1000;
// Written out at once when this much waits, so that a fast stream costs few writes and bounded
// memory.
constexpr int flushSize = 1 << 20;

} // namespace

// Writes what it is handed to the log file, in its own thread, and says when that fails.
class DeviceLog::Writer : public QObject
{
public:
    Writer(DeviceLog *log, int generation, const QString &fileName)
        : m_log(log)
        , m_generation(generation)
        , m_file(fileName)
    {}

    bool open() { return m_file.open(QIODevice::WriteOnly | QIODevice::Append); }
    QString errorString() const { return m_file.errorString(); }
    qint64 size() const { return m_file.size(); }

    void write(const QByteArray &bytes)
    {
        if (m_failed)
            return;
        // A file removed (or replaced) while open would swallow every byte without a word.
        const QFileInfo info(m_file.fileName());
        if (!info.exists() || info.size() < m_file.size()) {
            fail(tr("the file was removed or replaced"));
            return;
        }
        if (m_file.write(bytes) != bytes.size() || !m_file.flush())
            fail(m_file.errorString());
    }

    void close() { m_file.close(); }

private:
    void fail(const QString &reason)
    {
        m_failed = true;
        m_file.close();
        const QFileInfo info(m_file.fileName());
        const qint64 size = info.exists() ? info.size() : 0;
        QMetaObject::invokeMethod(m_log, [log = m_log, generation = m_generation, reason, size] {
            log->writerFailed(generation, reason, size);
        });
    }

    DeviceLog *m_log;
    int m_generation;
    QFile m_file;
    bool m_failed = false;
};

DeviceLog::DeviceLog(QObject *parent)
    : QObject(parent)
{
    m_thread.setObjectName(QStringLiteral("log file"));
    m_flushTimer.setSingleShot(true);
    connect(&m_flushTimer, &QTimer::timeout, this, &DeviceLog::flush);
}

DeviceLog::~DeviceLog()
{
    // Whoever would hear of a failure now may be going too.
    blockSignals(true);
    close();
}

QString DeviceLog::open(const QString &fileName)
{
    close();
    // Opening a FIFO would wait for a reader, and a device or a folder is no log: refused
    // before anything is opened.
    const QFileInfo info(fileName);
    if (info.exists() && !info.isFile())
        return tr("not a regular file");
    auto writer = std::make_unique<Writer>(this, ++m_generation, fileName);
    if (!writer->open())
        return writer->errorString();
    m_handed = writer->size();
    m_atLineStart = true;
    if (m_handed > 0) {
        QFile existing(fileName);
        if (existing.open(QIODevice::ReadOnly) && existing.seek(m_handed - 1))
            m_atLineStart = existing.read(1) == "\n";
    }
    m_fileName = fileName;
    m_writer = writer.release();
    m_writer->moveToThread(&m_thread);
    m_thread.start();
    return QString();
}

void DeviceLog::close()
{
    if (!m_writer)
        return;
    flush();
    // What was handed over is written before the file closes.
    QMetaObject::invokeMethod(m_writer, [writer = m_writer] { writer->close(); });
    m_thread.quit();
    m_thread.wait();
    delete m_writer;
    m_writer = nullptr;
}

bool DeviceLog::isOpen() const
{
    return m_writer;
}

QString DeviceLog::fileName() const
{
    return m_fileName;
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
    m_buffer += bytes;
    if (m_buffer.size() >= flushSize)
        flush();
    else if (!m_flushTimer.isActive())
        m_flushTimer.start(flushIntervalMs);
}

void DeviceLog::flush()
{
    m_flushTimer.stop();
    if (!m_writer || m_buffer.isEmpty())
        return;
    m_handed += m_buffer.size();
    QMetaObject::invokeMethod(m_writer, [writer = m_writer, bytes = std::exchange(m_buffer, {})] {
        writer->write(bytes);
    });
    emit flushed(m_handed);
}

void DeviceLog::writerFailed(int generation, const QString &reason, qint64 size)
{
    // A failure of a file closed since is old news.
    if (!m_writer || generation != m_generation)
        return;
    m_buffer.clear();
    close();
    emit failed(reason, size);
}
