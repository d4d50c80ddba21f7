#include "logwriter.h"

#include <QFileInfo>
#include <QThread>

LogWriter::LogWriter(const QString &fileName, WriteHook hook)
    : m_fileName(fileName)
    , m_hook(std::move(hook))
    , m_file(fileName)
    , m_closed(m_closing.get_future().share())
{}

bool LogWriter::open()
{
    // Unbuffered: each piece handed over goes to the system in one write.
    if (!m_file.open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::Unbuffered))
        return false;
    m_identity = identityOfOpenFile(m_file.handle());
    return true;
}

QString LogWriter::errorString() const
{
    return m_file.errorString();
}

QString LogWriter::fileName() const
{
    return m_fileName;
}

qint64 LogWriter::size() const
{
    return m_file.size();
}

void LogWriter::handOver(qint64 bytes)
{
    m_waiting += bytes;
}

qint64 LogWriter::waiting() const
{
    return m_waiting;
}

std::shared_future<void> LogWriter::closed() const
{
    return m_closed;
}

void LogWriter::waitFor(const std::shared_future<void> &earlier)
{
    earlier.wait();
}

void LogWriter::write(const QByteArray &bytes)
{
    if (!m_failed) {
        // Checked by identity, never by size: a file growing because another program appends
        // to it is no fault, and a file put in its place may be of any size.
        const FileIdentity named = identityOfPath(m_fileName);
        if (named.missing)
            fail(DeviceLog::Stop::Removed, QString(), m_file.size());
        else if (named.known && m_identity.known && !named.isSameFileAs(m_identity))
            fail(DeviceLog::Stop::Replaced, QString(), m_file.size());
    }
    if (!m_failed) {
        if (m_hook)
            m_hook(m_file.handle());
        // A short write says nothing; writing on makes the system say why.
        qint64 done = 0;
        for (qint64 count = 0; done < bytes.size(); done += count) {
            count = m_file.write(bytes.constData() + done, bytes.size() - done);
            if (count <= 0)
                break;
        }
        // Sized by name: the name was just found to be this file.
        if (done < bytes.size())
            fail(DeviceLog::Stop::WriteFailed, m_file.errorString(), QFileInfo(m_fileName).size());
    }
    m_waiting -= bytes.size();
}

void LogWriter::sync()
{
    if (m_failed)
        return;
    const QString cause = syncToDisk(m_file.handle());
    if (!cause.isEmpty())
        fail(DeviceLog::Stop::WriteFailed, cause, m_file.size());
}

void LogWriter::finish()
{
    sync();
    m_file.close();
    if (!m_failed && m_file.error() != QFileDevice::NoError)
        fail(DeviceLog::Stop::WriteFailed, m_file.errorString(), QFileInfo(m_fileName).size());
    m_closing.set_value();
    // Nothing is queued behind this, so ending the loop here loses nothing.
    thread()->quit();
}

void LogWriter::fail(DeviceLog::Stop stop, const QString &cause, qint64 size)
{
    m_failed = true;
    emit failed(stop, cause, size);
}
