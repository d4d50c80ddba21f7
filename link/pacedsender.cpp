#include "pacedsender.h"

#include "link/serialport.h"

#include <algorithm>

namespace {

constexpr int progressInterval = 200;
// A send shorter than this shows no progress.
constexpr int progressAfter = 1000;

} // namespace

PacedSender::PacedSender(QObject *parent)
    : QObject(parent)
{
    m_wait.setSingleShot(true);
    connect(&m_wait, &QTimer::timeout, this, &PacedSender::sendNext);
    m_progressTimer.setInterval(progressInterval);
    connect(&m_progressTimer, &QTimer::timeout, this, [this] {
        if (m_started.elapsed() >= progressAfter)
            emit progress(m_sent, m_total);
    });
}

void PacedSender::setChannel(SerialPort *channel)
{
    stop();
    if (m_channel)
        m_channel->disconnect(this);
    m_channel = channel;
    if (m_channel)
        connect(m_channel, &SerialPort::outputDrained, this, &PacedSender::onOutputDrained);
}

void PacedSender::sendPaced(const QByteArray &bytes, int delay)
{
    // A negative delay would be no bound at all; the delay bounds the wait, so it counts as 0.
    enqueue({bytes, std::max(delay, 0), 0});
}

void PacedSender::sendTyped(const QByteArray &bytes)
{
    enqueue({bytes, -1, 0});
}

void PacedSender::enqueue(Item item)
{
    if (item.bytes.isEmpty())
        return;
    const bool wasIdle = m_queue.empty();
    m_total += item.bytes.size();
    m_queue.push_back(std::move(item));
    if (!wasIdle)
        return;
    m_started.start();
    m_progressTimer.start();
    sendNext();
}

qint64 PacedSender::stop()
{
    qint64 dropped = 0;
    for (const Item &item : m_queue)
        dropped += item.bytes.size() - item.next;
    m_queue.clear();
    m_wait.stop();
    if (m_progressTimer.isActive())
        finish();
    return dropped;
}

void PacedSender::sendNext()
{
    // A write can report through the channel's own signals, which may stop us meanwhile.
    if (m_sending)
        return;
    m_sending = true;
    m_wait.stop();
    while (!m_queue.empty()) {
        Item &item = m_queue.front();
        // A paced string leaves the queue only once the wait after its last byte is over, so
        // that a key typed meanwhile still goes after it.
        if (item.next == item.bytes.size()) {
            m_queue.pop_front();
            continue;
        }
        const bool typed = item.delay < 0;
        const QByteArray chunk = typed ? item.bytes : item.bytes.mid(item.next, 1);
        item.next += chunk.size();
        m_sent += chunk.size();
        const bool written = m_channel && m_channel->writeData(chunk);
        if (m_queue.empty())
            break;
        if (!written) {
            m_sent += item.bytes.size() - item.next;
            m_queue.pop_front();
            emit writeFailed();
            continue;
        }
        if (!typed) {
            m_wait.start(item.delay);
            m_sending = false;
            return;
        }
    }
    m_sending = false;
    finish();
}

void PacedSender::onOutputDrained()
{
    if (m_wait.isActive())
        sendNext();
}

void PacedSender::finish()
{
    m_progressTimer.stop();
    m_sent = 0;
    m_total = 0;
    emit finished();
}
