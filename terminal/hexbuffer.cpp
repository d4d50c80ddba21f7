#include "hexbuffer.h"

#include "hexlayout.h"

#include <cstring>

namespace {

qint64 roundUpToRow(qint64 count)
{
    const qint64 row = HexLayout::bytesPerRow;
    return (count + row - 1) / row * row;
}

} // namespace

HexBuffer::HexBuffer(qint64 limit)
    : m_limit(qMax<qint64>(roundUpToRow(limit), HexLayout::bytesPerRow))
{}

QByteArray HexBuffer::mid(qint64 index, qint64 count) const
{
    index = qBound<qint64>(0, index, m_size);
    count = qBound<qint64>(0, count, m_size - index);
    if (!isRing() || count == 0)
        return m_bytes.mid(int(index), int(count));
    const qint64 from = position(index);
    const qint64 beforeWrap = qMin(count, m_limit - from);
    QByteArray bytes(int(count), Qt::Uninitialized);
    std::memcpy(bytes.data(), m_bytes.constData() + from, size_t(beforeWrap));
    std::memcpy(bytes.data() + beforeWrap, m_bytes.constData(), size_t(count - beforeWrap));
    return bytes;
}

const char *HexBuffer::row(qint64 row) const
{
    return m_bytes.constData() + position(HexLayout::indexOf(row, 0));
}

qint64 HexBuffer::position(qint64 index) const
{
    return isRing() ? (m_start + index) % m_limit : index;
}

void HexBuffer::setData(const QByteArray &data)
{
    m_bytes = QByteArray();
    m_start = 0;
    m_size = 0;
    m_firstOffset = 0;
    append(data);
}

void HexBuffer::append(const QByteArray &data)
{
    if (data.isEmpty())
        return;
    const qint64 total = m_size + data.size();
    qint64 skipped = 0;
    if (total > m_limit) {
        // Whole rows go from the front, and an eighth of the limit more, so that the view says
        // so once in a long while rather than on every batch.
        const qint64 drop = qMin(roundUpToRow(total - m_limit + m_limit / 8), total);
        if (!isRing())
            becomeRing();
        m_firstOffset += drop;
        if (drop < m_size) {
            m_start = (m_start + drop) % m_limit;
            m_size -= drop;
        } else {
            // The batch's own oldest bytes go too; the ring starts over at a row's start.
            skipped = drop - m_size;
            m_start = 0;
            m_size = 0;
        }
    }
    if (isRing()) {
        writeToRing(data.constData() + skipped, data.size() - skipped);
        return;
    }
    reserveFor(total);
    m_bytes.append(data);
    m_size = total;
}

void HexBuffer::reserveFor(qint64 total)
{
    // A shared array would be detached by append() with the same doubling growth.
    if (total <= capacity() && m_bytes.isDetached())
        return;
    const qint64 headroom = qMax(total / 16, minimumHeadroom);
    m_bytes.reserve(int(qMin(total + headroom, m_limit + m_limit / 16)));
}

void HexBuffer::becomeRing()
{
    // The bytes held stay where they are, the oldest at 0. The headroom reserved on the way up
    // covers the limit already, unless the batch that reached it was larger than the room left;
    // reserving first keeps resize() from rounding a new allocation up beyond the limit.
    m_bytes.reserve(int(m_limit));
    m_bytes.resize(int(m_limit));
    m_start = 0;
}

void HexBuffer::writeToRing(const char *data, qint64 count)
{
    char *ring = m_bytes.data();
    const qint64 end = position(m_size);
    const qint64 beforeWrap = qMin(count, m_limit - end);
    std::memcpy(ring + end, data, size_t(beforeWrap));
    std::memcpy(ring, data + beforeWrap, size_t(count - beforeWrap));
    m_size += count;
}
