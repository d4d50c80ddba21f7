#include "simulateddevice.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QThread>

#include <cerrno>
#include <fcntl.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

SimulatedDevice::SimulatedDevice()
{
    char name[256] = {};
    if (openpty(&m_master, &m_slave, name, nullptr, nullptr) != 0) {
        m_master = m_slave = -1;
        return;
    }
    // Raw from the start, so that nothing sent before the program opens the port is echoed or
    // cooked. The slave end stays open here so that the master never reads a hang-up while the
    // program has the port closed.
    termios settings{};
    tcgetattr(m_slave, &settings);
    cfmakeraw(&settings);
    tcsetattr(m_slave, TCSANOW, &settings);
    fcntl(m_master, F_SETFL, fcntl(m_master, F_GETFL) | O_NONBLOCK);
    m_portName = QString::fromLocal8Bit(name);
}

SimulatedDevice::~SimulatedDevice()
{
    hangUp();
    if (m_slave >= 0)
        ::close(m_slave);
}

bool SimulatedDevice::send(const QByteArray &bytes)
{
    if (m_master < 0)
        return false;
    qint64 done = 0;
    QDeadlineTimer deadline(5000);
    while (done < bytes.size()) {
        const ssize_t n = ::write(m_master, bytes.constData() + done, size_t(bytes.size() - done));
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
    if (m_master < 0)
        return result;
    char buffer[4096];
    for (;;) {
        const ssize_t n = ::read(m_master, buffer, sizeof buffer);
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

void SimulatedDevice::hangUp()
{
    if (m_master >= 0) {
        ::close(m_master);
        m_master = -1;
    }
}
