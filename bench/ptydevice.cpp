#include "ptydevice.h"

#include <cerrno>
#include <chrono>
#include <ctime>
#include <poll.h>
#include <unistd.h>

PtyDevice::~PtyDevice()
{
    stop();
}

void PtyDevice::start(const QByteArray &pattern, qint64 total, int chunk, int intervalUs)
{
    stop();
    m_stop = false;
    m_finished = false;
    m_sent = 0;
    m_marks.clear();
    m_marks.reserve(size_t(m_markCapacity));
    m_thread = std::thread(&PtyDevice::run, this, pattern, total, chunk, intervalUs);
}

void PtyDevice::stop()
{
    m_stop = true;
    if (m_thread.joinable())
        m_thread.join();
}

namespace {

double threadCpuSeconds()
{
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return double(now.tv_sec) + double(now.tv_nsec) / 1e9;
}

void addMicroseconds(timespec &time, int us)
{
    time.tv_nsec += long(us) * 1000;
    while (time.tv_nsec >= 1000000000L) {
        time.tv_nsec -= 1000000000L;
        ++time.tv_sec;
    }
}

} // namespace

void PtyDevice::run(QByteArray pattern, qint64 total, int chunk, int intervalUs)
{
    const double cpuStart = threadCpuSeconds();
    // Twice the pattern, so that any chunk is one contiguous piece of it.
    const QByteArray doubled = pattern + pattern;
    timespec next{};
    clock_gettime(CLOCK_MONOTONIC, &next);
    qint64 sent = 0;
    while (sent < total && !m_stop) {
        if (intervalUs > 0) {
            addMicroseconds(next, intervalUs);
            clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &next, nullptr);
        }
        const int offset = int(sent % pattern.size());
        const qint64 size = qMin<qint64>(qMin(chunk, pattern.size()), total - sent);
        qint64 done = 0;
        while (done < size && !m_stop) {
            const ssize_t n
                = ::write(m_pty.master(), doubled.constData() + offset + done, size_t(size - done));
            if (n > 0) {
                done += n;
            } else if (n < 0 && errno != EAGAIN && errno != EINTR) {
                m_stop = true;
            } else {
                // The pty is full until the terminal reads; look again for a stop now and then.
                pollfd writable{m_pty.master(), POLLOUT, 0};
                poll(&writable, 1, 100);
            }
        }
        sent += done;
        m_sent = sent;
        if (int(m_marks.size()) < m_markCapacity) {
            const auto now = std::chrono::steady_clock::now().time_since_epoch();
            m_marks.push_back(
                {sent, std::chrono::duration_cast<std::chrono::nanoseconds>(now).count()});
        }
    }
    m_cpuSeconds = threadCpuSeconds() - cpuStart;
    m_finished = true;
}

bool PtyDevice::awaitByte(char byte, int timeoutMs)
{
    timespec deadline{};
    clock_gettime(CLOCK_MONOTONIC, &deadline);
    addMicroseconds(deadline, timeoutMs * 1000);
    for (;;) {
        char buffer[256];
        const ssize_t n = ::read(m_pty.master(), buffer, sizeof buffer);
        for (ssize_t i = 0; i < n; ++i) {
            if (buffer[i] == byte)
                return true;
        }
        if (n > 0)
            continue;
        timespec now{};
        clock_gettime(CLOCK_MONOTONIC, &now);
        const long leftMs = long(deadline.tv_sec - now.tv_sec) * 1000
                            + (deadline.tv_nsec - now.tv_nsec) / 1000000;
        if (leftMs <= 0)
            return false;
        pollfd readable{m_pty.master(), POLLIN, 0};
        poll(&readable, 1, int(leftMs));
    }
}
