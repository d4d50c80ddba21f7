#pragma once

#include "scratchfile.h"
#include "terminalconstants.h"

#include <QByteArray>
#include <QString>
#include <QtGlobal>

#include <array>

// Every byte the hex view holds, in an amount of memory that does not grow with the session.
// The newest bytes sit in one byte array that grows by a sixteenth at a time (a plain append may
// double it) up to Limits::memory; from then on the array is a ring, and its oldest rows move
// on, a slice at a time, to a cache file of the process's own (a ScratchFile), which is read
// back by position when they are shown. The file grows up to its limit and is then a ring too.
// Where no cache file can be had (none asked for, a folder that cannot be written, a disk
// without room, a write that failed) the array alone holds up to Limits::memoryAlone. At the
// limit the oldest rows go, an eighth of the limit at once, so that the view has to say so only
// once in a long while; giving rows up only moves where the oldest row starts.
class HexBuffer
{
public:
    struct Limits
    {
        // The newest this many bytes stay in memory while a cache file takes the older ones.
        qint64 memory = TerminalConstants::hexMemoryBytes;
        // The cache file holds at most this many bytes, and leaves keepFree free on its disk.
        qint64 file = TerminalConstants::hexFileBytes;
        qint64 keepFree = TerminalConstants::hexKeepFreeBytes;
        // What memory holds where there is no cache file.
        qint64 memoryAlone = TerminalConstants::hexMemoryAloneBytes;
        // The folder the cache file is made in once memory is full; none when empty.
        QString folder;
    };
    static constexpr qint64 minimumHeadroom = 64 * 1024;
    // The most bytes moved to the cache file at once, and read back at once. Written from a 64 MiB
    // ring into the page cache (Linux, ext4), 64 KiB at a time took 0.5 ms of wall time and
    // 0.26 ms of CPU a megabyte; 16 KiB 0.9 / 0.32 ms, 256 KiB 1.4 / 0.7 ms, 1 MiB 1.9-3.6 /
    // 1.1-1.9 ms.
    static constexpr qint64 largestSlice = 64 * 1024;

    // In memory alone, up to Limits::memoryAlone.
    HexBuffer();
    explicit HexBuffer(const Limits &limits);

    // Every byte held. Shared, not copied, while all of it is in memory and no row has moved or
    // gone yet; after that a copy, which costs as much as what is held: not something to do for
    // every batch. At most what one byte array holds.
    QByteArray bytes() const { return mid(0, size()); }
    // count bytes from index on (indices count from the first byte held), cut to what is held;
    // empty when the cache file could not be read.
    QByteArray mid(qint64 index, qint64 count) const;
    // The bytes of one row, all in a row wherever they are held: sixteen, fewer in the last.
    // Valid until the next call; nullptr when the cache file could not be read.
    const char *row(qint64 row) const;
    qint64 size() const { return m_fileSize + m_memorySize; }
    // The memory the bytes take (the array's capacity), and how long the cache file is.
    qint64 capacity() const { return m_bytes.capacity(); }
    qint64 cacheFileSize() const;
    // Offset in the received stream of the first byte held; it only moves at the limit, and
    // always by whole rows.
    qint64 firstOffset() const { return m_firstOffset; }
    // At most this many bytes are held, as things stand (rounded up to whole rows).
    qint64 limit() const;
    // Why the cache file failed last.
    QString errorString() const { return m_file.errorString(); }

    // Empties the buffer and its cache file, and then holds data.
    void setData(const QByteArray &data);
    // Empties the buffer, which keeps within limits from now on.
    void setLimits(const Limits &limits);
    // Costs time in proportion to data, not to what is held.
    void append(const QByteArray &data);

private:
    enum class FileState { Unopened, Open, Refused };
    struct Block
    {
        qint64 offset = -1;
        QByteArray bytes;
    };

    bool spills() const { return m_fileState != FileState::Refused; }
    // Where the byte at index (counted from memory's first byte) sits in m_bytes.
    qint64 memoryPosition(qint64 index) const;
    void appendSpilling(const char *data, qint64 count);
    void appendToMemoryAlone(const char *data, qint64 count);
    void appendToMemory(const char *data, qint64 count);
    void reserveFor(qint64 total);
    void becomeRing();
    void writeToRing(const char *data, qint64 count);
    // Moves memory's oldest slice to the cache file; false when there is no cache file to be
    // had, and the buffer has fallen back to memory alone.
    bool spill();
    bool writeSlice(qint64 offset, const char *slice);
    void fallBackToMemory(const QString &why);
    bool readFile(qint64 offset, char *data, qint64 count) const;
    void sayReadFailure() const;
    void forgetReadBlocks() const;

    Limits m_limits;
    qint64 m_slice = 16;
    qint64 m_memoryLimit = 0;
    // In memory, the newest bytes: below the limit those and headroom behind them; then
    // m_memoryLimit bytes, the oldest at m_start, which like the ring's size is a multiple of a
    // row, so rows never wrap.
    QByteArray m_bytes;
    qint64 m_start = 0;
    qint64 m_memorySize = 0;
    bool m_memoryRing = false;
    qint64 m_firstOffset = 0;

    // In the cache file, the older bytes: m_fileSize of them from m_firstOffset on. The byte at
    // offset o is at position o while the file grows, and at o modulo m_fileLength once it is a
    // ring; either way a slice never wraps.
    ScratchFile m_file;
    FileState m_fileState = FileState::Refused;
    qint64 m_fileSize = 0;
    qint64 m_fileLength = 0;
    bool m_fileRing = false;

    // The file's blocks read last, so that painting the same rows again reads nothing.
    mutable std::array<Block, 4> m_readBlocks;
    mutable int m_nextReadBlock = 0;
    mutable bool m_readFailureSaid = false;
};
