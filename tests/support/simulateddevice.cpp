#include "simulateddevice.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QThread>

#include <cerrno>
#include <unistd.h>

bool SimulatedDevice::send(const QByteArray &bytes)
{
    if (m_pty.master() < 0)
        return false;
    qint64 done = 0;
    QDeadlineTimer deadline(5000);
    while (done < bytes.size()) {
        const ssize_t n
            = ::write(m_pty.master(), bytes.constData() + done, size_t(bytes.size() - done));
        if (n > 0) {
            done += n;
        } else if (n < 0 && errno != EAGAIN && errno != EINTR) {
            return false;
        } else {
            // The pty buffer is full: let the program read some of it.
            if (deadline.hasExpired())
                return false;
            QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        }
    }
    return true;
}

QByteArray SimulatedDevice::readAvailable()
{
    QByteArray result;
    if (m_pty.master() < 0)
        return result;
    char buffer[4096];
    for (;;) {
        const ssize_t n = ::read(m_pty.master(), buffer, sizeof buffer);
        if (n <= 0)
            break;
        result.append(buffer, int(n));
    }
    return result;
}

QByteArray SimulatedDevice::read(int count, int timeoutMs)
{
    QByteArray result;
    QDeadlineTimer deadline(timeoutMs);
    while (result.size() < count && !deadline.hasExpired()) {
        result += readAvailable();
        if (result.size() >= count)
            break;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        QThread::msleep(1);
    }
    return result;
}
