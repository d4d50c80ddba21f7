#include "hexbuffer.h"

#include "hexlayout.h"

#include "common/logging.h"

#include <QDir>
#include <QLocale>

#include <algorithm>
#include <cstring>
#include <utility>

namespace {

qint64 roundUpTo(qint64 count, qint64 unit)
{
    return (count + unit - 1) / unit * unit;
}

qint64 roundUpToRow(qint64 count)
{
    return roundUpTo(count, HexLayout::bytesPerRow);
}

QString sizeText(qint64 bytes)
{
    return QLocale::c().formattedDataSize(bytes, 1);
}

} // namespace

HexBuffer::HexBuffer()
    : HexBuffer(Limits())
{}

HexBuffer::HexBuffer(const Limits &limits)
{
    setLimits(limits);
}

void HexBuffer::setLimits(const Limits &limits)
{
    m_limits = limits;
    // Memory holds eight slices at least, so that it moves to the file an eighth at a time or
    // less; a slice in whole rows, a power of two of them.
    const qint64 largest = qMin(largestSlice, qMax<qint64>(limits.memory / 8, 1));
    m_slice = HexLayout::bytesPerRow;
    while (m_slice * 2 <= largest)
        m_slice *= 2;
    m_file.close();
    m_fileState = FileState::Unopened;
    setData(QByteArray());
}

qint64 HexBuffer::limit() const
{
    if (!spills())
        return m_memoryLimit;
    return (m_fileRing ? m_fileLength : m_limits.file / m_slice * m_slice) + m_memoryLimit;
}

qint64 HexBuffer::cacheFileSize() const
{
    return m_file.isOpen() ? m_file.size() : 0;
}

QByteArray HexBuffer::mid(qint64 index, qint64 count) const
{
    index = qBound<qint64>(0, index, size());
    count = qBound<qint64>(0, count, qMin(size() - index, TerminalConstants::hexMemoryAloneBytes));
    if (count == 0 || (m_fileSize == 0 && !m_memoryRing))
        return m_bytes.mid(int(index), int(count));
    QByteArray bytes(int(count), Qt::Uninitialized);
    char *to = bytes.data();
    const qint64 fromFile = qBound<qint64>(0, m_fileSize - index, count);
    if (fromFile > 0 && !readFile(m_firstOffset + index, to, fromFile)) {
        sayReadFailure();
        return QByteArray();
    }
    const qint64 fromMemory = count - fromFile;
    if (fromMemory > 0) {
        const qint64 from = memoryPosition(index + fromFile - m_fileSize);
        const qint64 beforeWrap
            = m_memoryRing ? qMin(fromMemory, m_memoryLimit - from) : fromMemory;
        std::memcpy(to + fromFile, m_bytes.constData() + from, size_t(beforeWrap));
        std::memcpy(to + fromFile + beforeWrap, m_bytes.constData(),
                    size_t(fromMemory - beforeWrap));
    }
    return bytes;
}

const char *HexBuffer::row(qint64 row) const
{
    const qint64 index = HexLayout::indexOf(row, 0);
    if (index >= m_fileSize)
        return m_bytes.constData() + memoryPosition(index - m_fileSize);
    const qint64 offset = m_firstOffset + index;
    // Read back a slice at a time, which lies whole in the file.
    const qint64 blockSize = m_slice;
    const qint64 blockOffset = offset - offset % blockSize;
    for (const Block &block : m_readBlocks) {
        if (block.offset == blockOffset)
            return block.bytes.constData() + (offset - blockOffset);
    }
    Block &block = m_readBlocks[size_t(m_nextReadBlock)];
    m_nextReadBlock = (m_nextReadBlock + 1) % int(m_readBlocks.size());
    block.bytes.resize(int(blockSize));
    block.offset = blockOffset;
    if (!readFile(blockOffset, block.bytes.data(), blockSize)) {
        block.offset = -1;
        sayReadFailure();
        return nullptr;
    }
    return block.bytes.constData() + (offset - blockOffset);
}

qint64 HexBuffer::memoryPosition(qint64 index) const
{
    return m_memoryRing ? (m_start + index) % m_memoryLimit : index;
}

void HexBuffer::setData(const QByteArray &data)
{
    m_bytes = QByteArray();
    m_start = 0;
    m_memorySize = 0;
    m_memoryRing = false;
    m_firstOffset = 0;
    m_fileSize = 0;
    m_fileLength = 0;
    m_fileRing = false;
    forgetReadBlocks();
    m_readFailureSaid = false;
    if (m_file.isOpen() && !m_file.clear()) {
        qCWarning(lcTerminal).noquote()
            << QStringLiteral("The hex view makes a new cache file: can't empty its old one: %1")
                   .arg(m_file.errorString());
        m_file.close();
    }
    // A cache folder that could not be written, or a disk that was full, may do now.
    if (m_limits.folder.isEmpty())
        m_fileState = FileState::Refused;
    else
        m_fileState = m_file.isOpen() ? FileState::Open : FileState::Unopened;
    m_memoryLimit = spills()
                        ? roundUpTo(qMax(m_limits.memory, m_slice), m_slice)
                        : qMax(roundUpToRow(m_limits.memoryAlone), qint64(HexLayout::bytesPerRow));
    append(data);
}

void HexBuffer::append(const QByteArray &data)
{
    if (data.isEmpty())
        return;
    if (spills())
        appendSpilling(data.constData(), data.size());
    else
        appendToMemoryAlone(data.constData(), data.size());
}

void HexBuffer::appendSpilling(const char *data, qint64 count)
{
    while (count > 0) {
        if (m_memorySize == m_memoryLimit && !spill()) {
            appendToMemoryAlone(data, count);
            return;
        }
        const qint64 part = qMin(count, m_memoryLimit - m_memorySize);
        appendToMemory(data, part);
        data += part;
        count -= part;
    }
}

void HexBuffer::appendToMemoryAlone(const char *data, qint64 count)
{
    const qint64 total = m_memorySize + count;
    qint64 skipped = 0;
    if (total > m_memoryLimit) {
        // Whole rows go from the front, and an eighth of the limit more.
        const qint64 drop = qMin(roundUpToRow(total - m_memoryLimit + m_memoryLimit / 8), total);
        if (!m_memoryRing)
            becomeRing();
        m_firstOffset += drop;
        if (drop < m_memorySize) {
            m_start = (m_start + drop) % m_memoryLimit;
            m_memorySize -= drop;
        } else {
            // The batch's own oldest bytes go too; the ring starts over at a row's start.
            skipped = drop - m_memorySize;
            m_start = 0;
            m_memorySize = 0;
        }
    }
    appendToMemory(data + skipped, count - skipped);
}

void HexBuffer::appendToMemory(const char *data, qint64 count)
{
    if (m_memoryRing) {
        writeToRing(data, count);
        return;
    }
    reserveFor(m_memorySize + count);
    m_bytes.append(data, int(count));
    m_memorySize += count;
}

void HexBuffer::reserveFor(qint64 total)
{
    // A shared array would be detached by append() with the same doubling growth.
    if (total <= capacity() && m_bytes.isDetached())
        return;
    const qint64 headroom = qMax(total / 16, minimumHeadroom);
    m_bytes.reserve(int(qMin(total + headroom, m_memoryLimit + m_memoryLimit / 16)));
}

void HexBuffer::becomeRing()
{
    // The bytes held stay where they are, the oldest at 0. The headroom reserved on the way up
    // covers the limit already, unless the batch that reached it was larger than the room left;
    // reserving first keeps resize() from rounding a new allocation up beyond the limit.
    m_bytes.reserve(int(m_memoryLimit));
    m_bytes.resize(int(m_memoryLimit));
    m_start = 0;
    m_memoryRing = true;
}

void HexBuffer::writeToRing(const char *data, qint64 count)
{
    char *ring = m_bytes.data();
    const qint64 end = memoryPosition(m_memorySize);
    const qint64 beforeWrap = qMin(count, m_memoryLimit - end);
    std::memcpy(ring + end, data, size_t(beforeWrap));
    std::memcpy(ring, data + beforeWrap, size_t(count - beforeWrap));
    m_memorySize += count;
}

bool HexBuffer::spill()
{
    if (m_fileState == FileState::Unopened) {
        // A folder that could not be made fails the open, which says why.
        QDir().mkpath(m_limits.folder);
        if (!m_file.open(m_limits.folder)) {
            fallBackToMemory(QStringLiteral("can't make a cache file in %1: %2")
                                 .arg(m_limits.folder, m_file.errorString()));
            return false;
        }
        m_fileState = FileState::Open;
    }
    if (!m_memoryRing)
        becomeRing();
    // Memory's oldest slice lies in a row: the ring's size and where it starts are multiples of
    // a slice.
    if (!writeSlice(m_firstOffset + m_fileSize, m_bytes.constData() + m_start))
        return false;
    m_fileSize += m_slice;
    m_start = (m_start + m_slice) % m_memoryLimit;
    m_memorySize -= m_slice;
    return true;
}

bool HexBuffer::writeSlice(qint64 offset, const char *slice)
{
    if (!m_fileRing) {
        qint64 room = m_limits.file;
        const qint64 free = m_file.freeSpace();
        if (free >= 0)
            room = qMin(room, m_fileLength + free - m_limits.keepFree);
        if (m_fileLength + m_slice > room) {
            if (m_fileLength == 0) {
                fallBackToMemory(
                    QStringLiteral("%1 has %2 free, and its cache file leaves %3")
                        .arg(m_limits.folder, sizeText(free), sizeText(m_limits.keepFree)));
                return false;
            }
            // From here on the file is a ring of what it holds.
            m_fileRing = true;
        } else if (m_file.write(offset, slice, m_slice)) {
            m_fileLength += m_slice;
            return true;
        } else if (m_fileLength == 0) {
            fallBackToMemory(QStringLiteral("can't write its cache file in %1: %2")
                                 .arg(m_limits.folder, m_file.errorString()));
            return false;
        } else {
            // Writing over what the file holds takes no more room on its disk.
            qCWarning(lcTerminal).noquote()
                << QStringLiteral("The hex view's cache file in %1 can't grow: %2. It keeps the "
                                  "newest %3 from now on.")
                       .arg(m_limits.folder, m_file.errorString(),
                            sizeText(m_fileLength + m_memoryLimit));
            m_fileRing = true;
        }
    }
    if (m_fileSize + m_slice > m_fileLength) {
        const qint64 drop = qMin(
            roundUpTo(m_fileSize + m_slice - m_fileLength + m_fileLength / 8, m_slice), m_fileSize);
        m_firstOffset += drop;
        m_fileSize -= drop;
    }
    if (m_file.write(offset % m_fileLength, slice, m_slice))
        return true;
    fallBackToMemory(QStringLiteral("can't write its cache file in %1: %2")
                         .arg(m_limits.folder, m_file.errorString()));
    return false;
}

void HexBuffer::fallBackToMemory(const QString &why)
{
    m_memoryLimit = qMax(roundUpToRow(m_limits.memoryAlone), m_memoryLimit);
    qCWarning(lcTerminal).noquote()
        << QStringLiteral("The hex view keeps at most %1, in memory: %2")
               .arg(sizeText(m_memoryLimit), why);
    // What the file held is gone with it; memory's bytes follow on from there.
    m_firstOffset += m_fileSize;
    m_fileSize = 0;
    m_fileLength = 0;
    m_fileRing = false;
    m_file.close();
    m_fileState = FileState::Refused;
    forgetReadBlocks();
    if (m_memoryRing) {
        // Oldest first again, as an array that grows.
        char *bytes = m_bytes.data();
        std::rotate(bytes, bytes + m_start, bytes + m_bytes.size());
        m_bytes.resize(int(m_memorySize));
        m_start = 0;
        m_memoryRing = false;
    }
}

bool HexBuffer::readFile(qint64 offset, char *data, qint64 count) const
{
    const qint64 position = m_fileRing ? offset % m_fileLength : offset;
    const qint64 beforeWrap = m_fileRing ? qMin(count, m_fileLength - position) : count;
    return m_file.read(position, data, beforeWrap)
           && (beforeWrap == count || m_file.read(0, data + beforeWrap, count - beforeWrap));
}

void HexBuffer::sayReadFailure() const
{
    if (std::exchange(m_readFailureSaid, true))
        return;
    qCWarning(lcTerminal).noquote()
        << QStringLiteral("The hex view can't read back its cache file in %1: %2")
               .arg(m_limits.folder, m_file.errorString());
}

void HexBuffer::forgetReadBlocks() const
{
    for (Block &block : m_readBlocks)
        block = Block();
}
