#pragma once

#include <QByteArray>
#include <QtGlobal>

// Every byte the hex view holds, in one byte array. It grows by a sixteenth at a time, so that
// its memory stays close to what it holds (a plain append may double it), and at its limit it
// gives up its oldest rows, so that a long run cannot outgrow what one byte array can hold.
class HexBuffer
{
public:
    // Below the largest byte array the toolkit allows, headroom included.
    static constexpr qint64 defaultLimit = qint64(0x70000000);
    static constexpr qint64 minimumHeadroom = 64 * 1024;

    explicit HexBuffer(qint64 limit = defaultLimit);

    const QByteArray &bytes() const { return m_bytes; }
    qint64 size() const { return m_bytes.size(); }
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
    void reserveFor(qint64 total);

    QByteArray m_bytes;
    qint64 m_firstOffset = 0;
    qint64 m_limit;
};
