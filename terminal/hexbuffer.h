#pragma once

#include <QByteArray>
#include <QtGlobal>

// Every byte the hex view holds. Below its limit they sit in one byte array that grows by a
// sixteenth at a time, so that its memory stays close to what it holds (a plain append may
// double it). At the limit it gives up its oldest rows, so that a long run cannot outgrow what
// one byte array can hold; from then on the array is a ring of limit() bytes and giving rows up
// only moves where the oldest row starts, instead of moving the gigabytes that stay.
class HexBuffer
{
public:
    // Below the largest byte array the toolkit allows, headroom included.
    static constexpr qint64 defaultLimit = qint64(0x70000000);
    static constexpr qint64 minimumHeadroom = 64 * 1024;

    explicit HexBuffer(qint64 limit = defaultLimit);

    // Every byte held. Shared, not copied, until the oldest rows first go; after that a copy,
    // which costs as much as what is held: not something to do for every batch.
    QByteArray bytes() const { return mid(0, size()); }
    // count bytes from index on (indices count from the first byte held), cut to what is held.
    QByteArray mid(qint64 index, qint64 count) const;
    // The bytes of one row, all in a row wherever the ring stands: sixteen, fewer in the last.
    const char *row(qint64 row) const;
    qint64 size() const { return m_size; }
    qint64 capacity() const { return m_bytes.capacity(); }
    // Offset in the received stream of the first byte held; it only moves at the limit, and
    // always by whole rows.
    qint64 firstOffset() const { return m_firstOffset; }
    // At most this many bytes are held (the limit given, rounded up to whole rows).
    qint64 limit() const { return m_limit; }

    void setData(const QByteArray &data);
    // Costs time in proportion to data, not to what is held.
    void append(const QByteArray &data);

private:
    // The ring starts at the first drop and lasts until setData().
    bool isRing() const { return m_firstOffset > 0; }
    // Where the byte at index sits in m_bytes.
    qint64 position(qint64 index) const;
    void reserveFor(qint64 total);
    void becomeRing();
    void writeToRing(const char *data, qint64 count);

    // Below the limit the bytes held and headroom behind them; then limit() bytes, the oldest
    // at m_start, which like the ring's size is a multiple of a row, so rows never wrap.
    QByteArray m_bytes;
    qint64 m_start = 0;
    qint64 m_size = 0;
    qint64 m_firstOffset = 0;
    qint64 m_limit;
};
