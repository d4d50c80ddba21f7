#include "devicelog.h"

#include "terminal/timestamp.h"

#include <QDateTime>
#include <QFileInfo>

namespace {

// Written out at the latest this long after it arrived.
constexpr int flushIntervalMs = 1000;
// Written out at once when this much waits, so that a fast stream costs few writes and bounded
// memory.
constexpr int flushSize = 1 << 20;

} // namespace

DeviceLog::DeviceLog(QObject *parent)
    : QObject(parent)
{
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
    m_file.setFileName(fileName);
    if (!m_file.open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::Unbuffered))
        return m_file.errorString();
    m_written = m_file.size();
    m_atLineStart = true;
    if (m_written > 0) {
        QFile existing(fileName);
        if (existing.open(QIODevice::ReadOnly) && existing.seek(m_written - 1))
            m_atLineStart = existing.read(1) == "\n";
    }
    return QString();
}

void DeviceLog::close()
{
    if (!m_file.isOpen())
        return;
    flush();
    m_file.close();
}

bool DeviceLog::isOpen() const
{
    return m_file.isOpen();
}

QString DeviceLog::fileName() const
{
    return m_file.fileName();
}

qint64 DeviceLog::size() const
{
    return m_written + m_buffer.size();
}

void DeviceLog::setTimestamps(bool on)
{
    m_timestamps = on;
}

void DeviceLog::write(const QByteArray &batch, qint64 arrival)
{
    if (!m_file.isOpen() || batch.isEmpty())
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
    if (!m_file.isOpen())
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
    if (!m_file.isOpen() || m_buffer.isEmpty())
        return;
    // A file removed (or replaced) while open would swallow every byte without a word.
    const QFileInfo info(m_file.fileName());
    if (!info.exists() || info.size() < m_written) {
        fail(tr("the file was removed or replaced"));
        return;
    }
    const qint64 count = m_file.write(m_buffer);
    if (count > 0)
        m_written += count;
    if (count != m_buffer.size()) {
        fail(m_file.errorString());
        return;
    }
    m_buffer.clear();
    emit flushed(m_written);
}

void DeviceLog::fail(const QString &reason)
{
    m_buffer.clear();
    m_file.close();
    const qint64 held
        = QFileInfo(m_file.fileName()).exists() ? QFileInfo(m_file.fileName()).size() : 0;
    emit failed(reason, held);
}
