#include "hexbuffer.h"

#include "hexlayout.h"

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

void HexBuffer::setData(const QByteArray &data)
{
    m_bytes = QByteArray();
    m_firstOffset = 0;
    append(data);
}

void HexBuffer::append(const QByteArray &data)
{
    if (data.isEmpty())
        return;
    qint64 total = size() + data.size();
    qint64 skipped = 0;
    if (total > m_limit) {
        // Whole rows go from the front, and an eighth of the limit more, so that this costly
        // move happens once in a long while rather than on every batch.
        const qint64 drop = qMin(roundUpToRow(total - m_limit + m_limit / 8), total);
        m_firstOffset += drop;
        if (drop < size()) {
            m_bytes.remove(0, int(drop));
        } else {
            skipped = drop - size();
            m_bytes.clear();
        }
        total -= drop;
    }
    reserveFor(total);
    m_bytes.append(data.constData() + skipped, int(data.size() - skipped));
}

void HexBuffer::reserveFor(qint64 total)
{
    // A shared array would be detached by append() with the same doubling growth.
    if (total <= capacity() && m_bytes.isDetached())
        return;
    const qint64 headroom = qMax(total / 16, minimumHeadroom);
    m_bytes.reserve(int(qMin(total + headroom, m_limit + m_limit / 16)));
}
