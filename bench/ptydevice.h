#pragma once

#include "devsim/rawpty.h"

#include <QByteArray>
#include <QString>

#include <atomic>
#include <thread>
#include <vector>

// A device at the far end of a pseudo-terminal that transmits from a thread of its own, so that
// the terminal under measurement has its GUI thread to itself and receives the bytes in whatever
// batches the pty delivers, as from a real port.
class PtyDevice
{
public:
    PtyDevice() = default;
    ~PtyDevice();
    PtyDevice(const PtyDevice &) = delete;
    PtyDevice &operator=(const PtyDevice &) = delete;

    bool isValid() const { return m_pty.master() >= 0; }
    QString portName() const { return m_pty.portName(); }

    // When each write went out (steady clock, ns) and how many bytes had gone out by its end.
    struct WriteMark
    {
        qint64 sent;
        qint64 timeNs;
    };

    // Sends total bytes, cycling through pattern, in writes of up to chunk bytes; with
    // intervalUs > 0 one chunk per interval, otherwise as fast as the terminal takes them.
    void start(const QByteArray &pattern, qint64 total, int chunk, int intervalUs = 0);
    // Stops sending (at once if the terminal has stopped reading) and waits for the thread.
    void stop();
    // Keeps the time of up to capacity writes of the next start(); writeMarks() reads them once
    // the device has stopped.
    void keepWriteMarks(int capacity) { m_markCapacity = capacity; }
    const std::vector<WriteMark> &writeMarks() const { return m_marks; }

    // Waits up to timeoutMs for byte to arrive from the terminal; bytes before it are skipped.
    // Safe to call from a thread other than the sending one.
    bool awaitByte(char byte, int timeoutMs);

    qint64 sent() const { return m_sent.load(); }
    bool finished() const { return m_finished.load(); }
    // CPU time the sending thread used, so that it can be left out of the terminal's figure.
    double cpuSeconds() const { return m_cpuSeconds.load(); }

private:
    void run(QByteArray pattern, qint64 total, int chunk, int intervalUs);

    RawPty m_pty;
    std::thread m_thread;
    std::atomic<bool> m_stop{false};
    std::atomic<bool> m_finished{false};
    std::atomic<qint64> m_sent{0};
    std::atomic<double> m_cpuSeconds{0};
    int m_markCapacity = 0;
    std::vector<WriteMark> m_marks;
};
