#include "sendqueue.h"

#include <QIODevice>

#include <algorithm>

namespace {

// How much of a file is read at a time.
constexpr qint64 pieceSize = 64 * 1024;

} // namespace

qint64 SendQueue::Part::left() const
{
    return bytes.size() - next + std::max<qint64>(unread, 0);
}

void SendQueue::addTyped(const QByteArray &bytes)
{
    Part part;
    part.typed = true;
    part.bytes = bytes;
    add(std::move(part));
}

void SendQueue::addPaced(const QByteArray &bytes, const Pace &pace)
{
    Part part;
    part.bytes = bytes;
    part.pace = pace;
    add(std::move(part));
}

void SendQueue::addFile(std::shared_ptr<QIODevice> source, qint64 size, const QString &name,
                        const Pace &pace)
{
    Part part;
    part.pace = pace;
    part.source = std::move(source);
    part.unread = size > 0 ? size : -1;
    part.name = name;
    part.size = part.unread;
    add(std::move(part));
}

void SendQueue::add(Part part)
{
    if (part.left() == 0 && !part.openEnded())
        return;
    m_total += part.left();
    m_parts.push_back(std::move(part));
}

bool SendQueue::isEmpty() const
{
    return m_parts.empty();
}

SendQueue::Step SendQueue::next(bool room)
{
    Step step;
    while (!m_parts.empty()) {
        Part &part = m_parts.front();
        if (part.typed) {
            if (part.next > 0) {
                m_parts.pop_front();
                continue;
            }
            part.next = part.bytes.size();
            step.action = Step::Action::Write;
            step.bytes = part.bytes;
            return step;
        }
        if (!refill(part)) {
            step.failure = part.failure;
            m_parts.pop_front();
            if (step.failure.reason.isEmpty())
                continue;
            step.action = Step::Action::ReadFailed;
            return step;
        }
        if (!room) {
            step.action = Step::Action::WaitForRoom;
            return step;
        }
        const char byte = part.bytes.at(part.next++);
        step.action = Step::Action::Write;
        step.bytes = QByteArray(1, byte);
        setWait(step, part, byte);
        return step;
    }
    // Idle: the next send counts from nothing.
    m_total = 0;
    return step;
}

void SendQueue::setWait(Step &step, Part &part, char byte)
{
    const int delay = std::max(part.pace.delay, 0);
    const int lineDelay = std::max(part.pace.lineDelay, 0);
    // A CR that ends a piece of a file needs the next piece to tell whether a LF follows.
    const bool lineEnd
        = lineDelay > 0
          && (byte == '\n'
              || (byte == '\r' && !(refill(part) && part.bytes.at(part.next) == '\n')));
    if (lineEnd) {
        step.wait = Wait::Whole;
        step.waitMs = std::max(lineDelay, part.pace.wholeDelay ? delay : 0);
    } else {
        step.wait = part.pace.wholeDelay ? Wait::Whole : Wait::UntilWritten;
        step.waitMs = delay;
    }
}

bool SendQueue::refill(Part &part)
{
    if (part.next < part.bytes.size())
        return true;
    if (part.unread == 0 || !part.source)
        return false;
    const qint64 wanted = part.openEnded() ? pieceSize : std::min(part.unread, pieceSize);
    part.bytes.resize(int(wanted));
    const qint64 got = part.source->read(part.bytes.data(), wanted);
    part.bytes.resize(int(std::max<qint64>(got, 0)));
    part.next = 0;
    if (got > 0) {
        part.read += got;
        if (part.openEnded())
            m_total += got;
        else
            part.unread -= got;
        return true;
    }
    // A file that shrank or cannot be read: what is left of it cannot be sent. One read to its
    // end has simply ended.
    if (got < 0 || !part.openEnded()) {
        part.failure.name = part.name;
        part.failure.sent = part.read;
        part.failure.size = part.size;
        part.failure.reason = got < 0 ? part.source->errorString() : tr("the file ended early");
    }
    m_total -= std::max<qint64>(part.unread, 0);
    part.unread = 0;
    return false;
}

void SendQueue::dropCurrent()
{
    if (m_parts.empty())
        return;
    m_total -= m_parts.front().left();
    m_parts.pop_front();
}

void SendQueue::dropPaced()
{
    for (auto part = m_parts.begin(); part != m_parts.end();) {
        if (part->typed) {
            ++part;
            continue;
        }
        m_total -= part->left();
        part = m_parts.erase(part);
    }
}

void SendQueue::clear()
{
    m_parts.clear();
    m_total = 0;
}

qint64 SendQueue::total() const
{
    const bool known = std::none_of(m_parts.cbegin(), m_parts.cend(),
                                    [](const Part &part) { return part.openEnded(); });
    return known ? m_total : -1;
}
