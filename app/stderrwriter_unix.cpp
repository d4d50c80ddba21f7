#include "stderrwriter.h"

#include <QString>

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

QByteArray droppedNotice(qint64 count)
{
    return QByteArray::number(count) + " lines dropped\n";
}

} // namespace

StderrWriter::StderrWriter(int descriptor)
    : m_descriptor(descriptor)
{
    struct stat status = {};
    if (::fstat(descriptor, &status) != 0)
        return;
    // Files and disks do not stall; a socket (a session journal) takes a flag per call. A pipe
    // or a terminal is opened a second time without blocking, which leaves the flags of the
    // description shared with the parent shell untouched.
    if (S_ISSOCK(status.st_mode)) {
        m_socket = true;
    } else if (!S_ISREG(status.st_mode) && !S_ISBLK(status.st_mode)
               && !(::fcntl(descriptor, F_GETFL) & O_NONBLOCK)) {
        const QByteArray path = "/proc/self/fd/" + QByteArray::number(descriptor);
        m_ownDescriptor = ::open(path.constData(), O_WRONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
        if (m_ownDescriptor >= 0)
            m_descriptor = m_ownDescriptor;
    }
}

StderrWriter::~StderrWriter()
{
    // One last try, without waiting, so that a count of dropped lines is not lost at exit.
    QMutexLocker lock(&m_mutex);
    if (flushPending() && m_dropped > 0) {
        m_pending = droppedNotice(m_dropped);
        flushPending();
    }
    lock.unlock();
    if (m_ownDescriptor >= 0)
        ::close(m_ownDescriptor);
}

void StderrWriter::writeLine(const QByteArray &line)
{
    QMutexLocker lock(&m_mutex);
    if (!flushPending()) {
        ++m_dropped;
        return;
    }
    if (m_dropped > 0) {
        m_pending = droppedNotice(m_dropped);
        m_dropped = 0;
        if (!flushPending()) {
            ++m_dropped;
            return;
        }
    }
    m_pending = line + '\n';
    // A line taken in part stays pending and goes out before anything else.
    flushPending();
}

bool StderrWriter::flushPending()
{
    while (!m_pending.isEmpty()) {
        const qint64 written = put(m_pending.constData(), m_pending.size());
        if (written > 0) {
            m_pending.remove(0, int(written));
        } else if (written < 0 && errno == EINTR) {
            continue;
        } else if (written < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            return false;
        } else {
            // The reader has gone or the descriptor is broken: nothing will ever take this.
            m_pending.clear();
        }
    }
    return true;
}

qint64 StderrWriter::put(const char *data, qint64 size)
{
    if (m_socket)
        return ::send(m_descriptor, data, size_t(size), MSG_DONTWAIT | MSG_NOSIGNAL);
    return ::write(m_descriptor, data, size_t(size));
}

namespace {

void writeMessage(QtMsgType type, const QMessageLogContext &context, const QString &message)
{
    static StderrWriter writer(STDERR_FILENO);
    writer.writeLine(qFormatLogMessage(type, context, message).toLocal8Bit());
}

} // namespace

void installLogHandler()
{
    // Standard error may be a pipe whose reader has gone; a write there must fail, not end the
    // program before it stores its settings.
    std::signal(SIGPIPE, SIG_IGN);
    // The category stays out of the line, so the lines read as they always have; Qt's own
    // QT_MESSAGE_PATTERN still overrides this.
    qSetMessagePattern(QStringLiteral("%{message}"));
    qInstallMessageHandler(writeMessage);
}
