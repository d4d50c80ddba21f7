#include "pacedsender.h"

#include "link/serialport.h"

#include <QIODevice>

#include <algorithm>

namespace {

constexpr int progressInterval = 200;
// A send shorter than this shows no progress.
constexpr int progressAfter = 1000;
// How much of a file is read at a time.
constexpr qint64 pieceSize = 64 * 1024;

} // namespace

struct PacedSender::Item
{
    QByteArray bytes;
    // Negative for a typed key: one write, no wait.
    int delay = -1;
    int next = 0;
    // Where the rest of a file comes from, and how much of it is still to be read: negative
    // while it is read to its end.
    std::unique_ptr<QIODevice> source;
    qint64 unread = 0;
    // What a failure calls the source, its size as it was handed over, and how much of it has
    // been read.
    QString name;
    qint64 size = 0;
    qint64 read = 0;

    bool typed() const { return delay < 0; }
    bool openEnded() const { return unread < 0; }
    // What is still to be written of it, as far as it is known.
    qint64 left() const { return bytes.size() - next + std::max<qint64>(unread, 0); }
};

PacedSender::PacedSender(QObject *parent)
    : QObject(parent)
{
    m_wait.setSingleShot(true);
    connect(&m_wait, &QTimer::timeout, this, &PacedSender::sendNext);
    m_progressTimer.setInterval(progressInterval);
    connect(&m_progressTimer, &QTimer::timeout, this, [this] {
        if (m_started.elapsed() >= progressAfter)
            emit progress(sent(), total());
    });
}

PacedSender::~PacedSender() = default;

void PacedSender::setChannel(SerialPort *channel)
{
    dropAll();
    if (m_channel)
        m_channel->disconnect(this);
    m_channel = channel;
    if (m_channel)
        connect(m_channel, &SerialPort::bytesWritten, this, &PacedSender::onBytesWritten);
}

void PacedSender::sendPaced(const QByteArray &bytes, int delay)
{
    // A negative delay would be no bound at all; the delay bounds the wait, so it counts as 0.
    Item item;
    item.bytes = bytes;
    item.delay = std::max(delay, 0);
    enqueue(std::move(item));
}

void PacedSender::sendPaced(std::unique_ptr<QIODevice> source, qint64 size, const QString &name,
                            int delay)
{
    Item item;
    item.delay = std::max(delay, 0);
    item.source = std::move(source);
    item.unread = size > 0 ? size : -1;
    item.name = name;
    item.size = item.unread;
    enqueue(std::move(item));
}

void PacedSender::sendTyped(const QByteArray &bytes)
{
    Item item;
    item.bytes = bytes;
    enqueue(std::move(item));
}

void PacedSender::enqueue(Item item)
{
    if (item.left() == 0 && !item.openEnded())
        return;
    const bool wasIdle = m_queue.empty();
    m_total += item.left();
    m_queue.push_back(std::move(item));
    if (!wasIdle)
        return;
    m_started.start();
    m_progressTimer.start();
    sendNext();
}

void PacedSender::stop()
{
    for (auto item = m_queue.begin(); item != m_queue.end();) {
        if (item->typed()) {
            ++item;
            continue;
        }
        m_total -= item->left();
        item = m_queue.erase(item);
    }
    if (m_channel) {
        // What the library still holds is the stopped send's; it must not reach the device.
        m_handed -= m_channel->bytesToWrite();
        m_channel->discardOutput();
    }
    resume();
}

void PacedSender::dropAll()
{
    m_queue.clear();
    resume();
}

void PacedSender::resume()
{
    m_wait.stop();
    m_waitingForRoom = false;
    if (!m_queue.empty())
        sendNext();
    else if (m_progressTimer.isActive())
        finish();
}

void PacedSender::sendNext()
{
    // A write can report through the channel's own signals, which may stop us meanwhile.
    if (m_sending)
        return;
    m_sending = true;
    m_wait.stop();
    m_waitingForRoom = false;
    while (!m_queue.empty()) {
        Item &item = m_queue.front();
        // A paced string leaves the queue only once the wait after its last byte is over, so
        // that a key typed meanwhile still goes after it.
        QString readFailure;
        if (!refill(item, &readFailure)) {
            const Item ended = std::move(item);
            m_queue.pop_front();
            if (!readFailure.isEmpty())
                emit readFailed(ended.name, ended.read, ended.size, readFailure);
            continue;
        }
        if (!item.typed() && m_channel && m_channel->bytesToWrite() >= maximumPending) {
            m_waitingForRoom = true;
            m_sending = false;
            return;
        }
        const QByteArray chunk = item.typed() ? item.bytes : item.bytes.mid(item.next, 1);
        item.next += chunk.size();
        const bool written = m_channel && m_channel->writeData(chunk);
        if (m_queue.empty())
            break;
        if (!written) {
            m_total -= item.left();
            m_queue.pop_front();
            emit writeFailed();
            continue;
        }
        m_handed += chunk.size();
        if (!item.typed()) {
            m_wait.start(item.delay);
            m_sending = false;
            return;
        }
    }
    m_sending = false;
    if (m_progressTimer.isActive())
        finish();
}

bool PacedSender::refill(Item &item, QString *failure)
{
    if (item.next < item.bytes.size())
        return true;
    if (item.unread == 0 || !item.source)
        return false;
    const qint64 wanted = item.openEnded() ? pieceSize : std::min(item.unread, pieceSize);
    item.bytes.resize(int(wanted));
    const qint64 got = item.source->read(item.bytes.data(), wanted);
    item.bytes.resize(int(std::max<qint64>(got, 0)));
    item.next = 0;
    if (got <= 0) {
        // A file that shrank or cannot be read: what is left of it cannot be sent. One read to
        // its end has simply ended.
        if (got < 0)
            *failure = item.source->errorString();
        else if (!item.openEnded())
            *failure = tr("the file ended early");
        m_total -= std::max<qint64>(item.unread, 0);
        item.unread = 0;
        return false;
    }
    item.read += got;
    if (item.openEnded())
        m_total += got;
    else
        item.unread -= got;
    return true;
}

void PacedSender::onBytesWritten()
{
    if (!m_channel)
        return;
    const qint64 pending = m_channel->bytesToWrite();
    if ((m_wait.isActive() && pending == 0) || (m_waitingForRoom && pending < maximumPending))
        sendNext();
}

qint64 PacedSender::sent() const
{
    const qint64 pending = m_channel ? m_channel->bytesToWrite() : 0;
    return std::clamp<qint64>(m_handed - pending, 0, m_total);
}

qint64 PacedSender::total() const
{
    const bool known = std::none_of(m_queue.cbegin(), m_queue.cend(),
                                    [](const Item &item) { return item.openEnded(); });
    return known ? m_total : -1;
}

void PacedSender::finish()
{
    m_progressTimer.stop();
    m_handed = 0;
    m_total = 0;
    emit finished();
}
