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
    // A pace is a least wait: the timer must not end it early.
    m_wait.setTimerType(Qt::PreciseTimer);
    connect(&m_wait, &QTimer::timeout, this, &PacedSender::sendNext);
    m_progressTimer.setInterval(progressInterval);
    connect(&m_progressTimer, &QTimer::timeout, this, [this] {
        if (m_started.elapsed() >= progressAfter)
            emit progress(sent(), m_queue.total());
    });
}

PacedSender::~PacedSender() = default;

void PacedSender::setChannel(SerialPort *channel)
{
    m_queue.clear();
    resume();
    if (m_channel)
        m_channel->disconnect(this);
    m_channel = channel;
    if (!m_channel)
        return;
    connect(m_channel, &SerialPort::bytesWritten, this, &PacedSender::onBytesWritten);
    connect(m_channel, &SerialPort::writeFailed, this, [this](const QString &reason) {
        // Nothing gets through: what the port holds, and the paced sends, are dropped as by
        // Stop; keys typed afterwards are tried again.
        stop();
        emit writeFailed(reason);
    });
}

void PacedSender::sendTyped(const QByteArray &bytes)
{
    m_queue.addTyped(bytes);
    start();
}

void PacedSender::sendPaced(const QByteArray &bytes, const Pace &pace)
{
    m_queue.addPaced(bytes, pace);
    start();
}

void PacedSender::sendFile(std::shared_ptr<QIODevice> source, qint64 size, const QString &name,
                           const Pace &pace)
{
    m_queue.addFile(std::move(source), size, name, pace);
    start();
}

void PacedSender::start()
{
    // A send under way takes what is added in its turn.
    if (m_state != State::Idle || m_queue.isEmpty())
        return;
    m_started.start();
    m_progressTimer.start();
    sendNext();
}

void PacedSender::stop()
{
    m_queue.dropPaced();
    if (m_channel) {
        // What the library still holds is the stopped send's; it must not reach the device.
        m_handed -= m_channel->bytesToWrite();
        m_channel->discardOutput();
    }
    resume();
}

void PacedSender::resume()
{
    // Idle has nothing to resume; a write under way goes on with what is left when it returns.
    if (m_state == State::Idle || m_state == State::Writing)
        return;
    sendNext();
}

void PacedSender::sendNext()
{
    // A write can report through the channel's own signals, which may drop the queue meanwhile.
    if (m_state == State::Writing)
        return;
    m_wait.stop();
    m_state = State::Writing;
    for (;;) {
        const bool room = !m_channel || m_channel->bytesToWrite() < maximumPending;
        const SendQueue::Step step = m_queue.next(room);
        switch (step.action) {
        case SendQueue::Step::Action::Idle:
            finish();
            return;
        case SendQueue::Step::Action::WaitForRoom:
            m_state = State::WaitingForRoom;
            return;
        case SendQueue::Step::Action::ReadFailed:
            emit readFailed(step.failure.name, step.failure.sent, step.failure.size,
                            step.failure.reason);
            continue;
        case SendQueue::Step::Action::Write:
            break;
        }
        SerialPort *const channel = m_channel;
        const bool written = channel && channel->writeData(step.bytes);
        // The channel went away while writing, and took the queue with it: a send cut by the
        // device's loss is no failed write.
        if (m_channel != channel)
            continue;
        if (!written) {
            m_queue.dropCurrent();
            emit writeFailed(QString());
            continue;
        }
        m_handed += step.bytes.size();
        switch (step.wait) {
        case SendQueue::Wait::None:
            continue;
        case SendQueue::Wait::UntilWritten:
            m_state = State::WaitingUntilWritten;
            m_wait.start(step.waitMs);
            return;
        case SendQueue::Wait::Whole:
            // Counted from when the byte has gone out, so that the device sees the whole gap.
            m_pauseMs = step.waitMs;
            if (channel->bytesToWrite() == 0)
                pause();
            else
                m_state = State::WaitingToPause;
            return;
        }
    }
}

void PacedSender::onBytesWritten()
{
    if (!m_channel)
        return;
    const qint64 pending = m_channel->bytesToWrite();
    if ((m_state == State::WaitingUntilWritten && pending == 0)
        || (m_state == State::WaitingForRoom && pending < maximumPending))
        sendNext();
    else if (m_state == State::WaitingToPause && pending == 0)
        pause();
}

void PacedSender::pause()
{
    m_state = State::Pausing;
    m_wait.start(m_pauseMs);
}

qint64 PacedSender::sent() const
{
    const qint64 pending = m_channel ? m_channel->bytesToWrite() : 0;
    const qint64 total = m_queue.total();
    const qint64 written = std::max<qint64>(m_handed - pending, 0);
    return total < 0 ? written : std::min(written, total);
}

void PacedSender::finish()
{
    m_state = State::Idle;
    m_progressTimer.stop();
    m_handed = 0;
    emit finished();
}
