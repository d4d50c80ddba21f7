#include "terminal/hexbuffer.h"
#include "terminal/terminalconstants.h"

#include "support/testenvironment.h"

#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QtTest>

#include <csignal>
#include <sys/resource.h>

// The bytes behind the hex view: what it holds, how much memory that takes, and what happens
// at its limit.
class TestHexBuffer : public QObject
{
    Q_OBJECT

private slots:
    void holdsEveryByte();
    void setDataReplaces();
    void memoryStaysCloseToSize_data();
    void memoryStaysCloseToSize();
    void copyHeldOutsideStaysIntact();
    void limitKeepsNewestRows_data();
    void limitKeepsNewestRows();
    void cacheFileHoldsOlderRows_data();
    void cacheFileHoldsOlderRows();
    void withoutCacheFileMemoryHoldsMore_data();
    void withoutCacheFileMemoryHoldsMore();
    void failedWriteFallsBack_data();
    void failedWriteFallsBack();
};

static QByteArray stream(qint64 from, int count)
{
    QByteArray bytes(count, Qt::Uninitialized);
    for (int i = 0; i < count; ++i)
        bytes[i] = char((from + i) * 7 % 251);
    return bytes;
}

// Everything in memory, as where no cache file can be made.
static HexBuffer::Limits inMemory(qint64 limit)
{
    HexBuffer::Limits limits;
    limits.memoryAlone = limit;
    return limits;
}

// The newest bytes in memory, older ones in a cache file in folder; the test disk's own free
// space plays no part.
static HexBuffer::Limits spilling(const QString &folder, qint64 memory, qint64 file)
{
    HexBuffer::Limits limits;
    limits.memory = memory;
    limits.file = file;
    limits.keepFree = 0;
    limits.memoryAlone = 1 << 20;
    limits.folder = folder;
    return limits;
}

// What is wrong with the bytes buffer holds after received bytes of stream(): empty when each
// one is where it belongs, read whole, row by row and as a stretch across memory and file.
static QString misheld(const HexBuffer &buffer, qint64 received)
{
    const qint64 first = buffer.firstOffset();
    if (first % 16 != 0 || first + buffer.size() != received)
        return QStringLiteral("holds %1 bytes from %2 of %3")
            .arg(buffer.size())
            .arg(first)
            .arg(received);
    if (buffer.bytes() != stream(first, int(buffer.size())))
        return QStringLiteral("bytes() differ");
    for (qint64 row = 0; row * 16 < buffer.size(); ++row) {
        const int rowSize = int(qMin<qint64>(16, buffer.size() - row * 16));
        const char *bytes = buffer.row(row);
        if (!bytes || QByteArray(bytes, rowSize) != stream(first + row * 16, rowSize))
            return QStringLiteral("row %1 differs").arg(row);
    }
    const qint64 third = buffer.size() / 3;
    if (buffer.mid(third, buffer.size() / 2) != stream(first + third, int(buffer.size() / 2)))
        return QStringLiteral("mid() differs");
    return QString();
}

void TestHexBuffer::holdsEveryByte()
{
    HexBuffer buffer;
    QCOMPARE(buffer.size(), qint64(0));
    QByteArray all;
    for (int value = 0; value < 256; ++value) {
        const QByteArray batch(value % 5, char(value));
        buffer.append(batch);
        all += batch;
    }
    buffer.append(QByteArray());
    QCOMPARE(buffer.bytes(), all);
    QCOMPARE(buffer.firstOffset(), qint64(0));
}

void TestHexBuffer::setDataReplaces()
{
    HexBuffer buffer;
    buffer.append("abc");
    buffer.setData("xyz");
    QCOMPARE(buffer.bytes(), QByteArray("xyz"));
    buffer.append(QByteArray("\0\r\n", 3));
    QCOMPARE(buffer.bytes(), QByteArray("xyz\0\r\n", 6));
    buffer.setData(QByteArray());
    QCOMPARE(buffer.size(), qint64(0));
    QCOMPARE(buffer.firstOffset(), qint64(0));

    // Once the oldest rows have gone, around and around: new data starts over at offset 0, and
    // the limit keeps the newest of it as before.
    HexBuffer small(inMemory(64));
    for (int batch = 0; batch < 20; ++batch)
        small.append(stream(batch * 13, 13));
    QVERIFY(small.firstOffset() > 64);
    small.setData("xyz");
    QCOMPARE(small.bytes(), QByteArray("xyz"));
    QCOMPARE(small.firstOffset(), qint64(0));
    small.append(stream(3, 100));
    const QByteArray all = "xyz" + stream(3, 100);
    QCOMPARE(small.firstOffset() + small.size(), qint64(all.size()));
    QCOMPARE(small.bytes(), all.mid(int(small.firstOffset())));
}

void TestHexBuffer::memoryStaysCloseToSize_data()
{
    QTest::addColumn<int>("batchSize");
    QTest::addColumn<int>("total");
    QTest::addColumn<qint64>("limit");
    const qint64 limit = TerminalConstants::hexMemoryAloneBytes;
    const int megabyte = 1024 * 1024;
    QTest::newRow("USB packets") << 64 << 4 * megabyte << limit;
    QTest::newRow("odd batches") << 1021 << 6 * megabyte << limit;
    QTest::newRow("large batches") << 256 * 1024 << 16 * megabyte << limit;
    QTest::newRow("odd batches around the limit") << 1021 << 20 * megabyte << qint64(4 * megabyte);
    // The limit reached by a batch larger than the headroom left.
    QTest::newRow("huge batches around the limit")
        << 3 * megabyte - 7 << 30 * megabyte << qint64(4 * megabyte + 1);
}

void TestHexBuffer::memoryStaysCloseToSize()
{
    QFETCH(int, batchSize);
    QFETCH(int, total);
    QFETCH(qint64, limit);
    HexBuffer buffer(inMemory(limit));
    const QByteArray batch = stream(0, batchSize);
    qint64 worst = 0;
    for (qint64 received = 0; received < total; received += batchSize) {
        buffer.append(batch);
        // What the array reserves beyond a tenth of what it holds; once the oldest rows go,
        // beyond the limit and its sixteenth.
        const qint64 allowed = buffer.firstOffset() == 0 ? buffer.size() + buffer.size() / 10
                                                         : buffer.limit() + buffer.limit() / 16;
        worst = qMax(worst, buffer.capacity() - allowed);
    }
    QCOMPARE(buffer.firstOffset() > 0, total > limit);
    QVERIFY2(worst <= HexBuffer::minimumHeadroom,
             qPrintable(QStringLiteral("%1 bytes over what it may reserve").arg(worst)));
}

void TestHexBuffer::copyHeldOutsideStaysIntact()
{
    HexBuffer buffer;
    buffer.append(stream(0, 100000));
    const QByteArray copy = buffer.bytes();
    buffer.append(stream(100000, 5000));
    QCOMPARE(copy, stream(0, 100000));
    QCOMPARE(buffer.bytes(), stream(0, 105000));
    QVERIFY(buffer.capacity() <= buffer.size() + buffer.size() / 10 + HexBuffer::minimumHeadroom);

    // Also when the array it shares becomes the ring that newer bytes are written into.
    HexBuffer small(inMemory(64));
    small.append(stream(0, 60));
    const QByteArray copyBeforeDrop = small.bytes();
    small.append(stream(60, 30));
    QVERIFY(small.firstOffset() > 0);
    QCOMPARE(copyBeforeDrop, stream(0, 60));
}

void TestHexBuffer::limitKeepsNewestRows_data()
{
    QTest::addColumn<int>("limit");
    QTest::addColumn<QList<int>>("batches");
    QTest::newRow("small batches") << 1024 << QVector<int>(60, 100).toList();
    QTest::newRow("batch of exactly the limit") << 1024 << QList<int>{10, 1024, 3};
    QTest::newRow("batch larger than the limit") << 1024 << QList<int>{5, 5000, 17};
    QTest::newRow("odd limit") << 1000 << QVector<int>(40, 77).toList();
    QTest::newRow("many times around in odd batches") << 1024 << QVector<int>(300, 77).toList();
    QTest::newRow("one byte at a time") << 256 << QVector<int>(1000, 1).toList();
    QTest::newRow("batches just over an odd limit") << 1000 << QVector<int>(12, 1021).toList();
    QTest::newRow("batches larger than the limit after going around")
        << 1024 << QVector<int>(25, 100).toList() + QList<int>{5000, 33, 2047, 3, 999, 64};
}

void TestHexBuffer::limitKeepsNewestRows()
{
    QFETCH(int, limit);
    QFETCH(QList<int>, batches);
    HexBuffer buffer(inMemory(limit));
    qint64 received = 0;
    for (int count : batches) {
        const qint64 heldBefore = buffer.size();
        const qint64 firstBefore = buffer.firstOffset();
        buffer.append(stream(received, count));
        received += count;
        QVERIFY(buffer.size() <= limit + 15);
        QVERIFY(buffer.size() > 0);
        // Offsets still name the true place of each byte in the stream, in whole rows; each row
        // is whole wherever it is held, and a stretch may run across the ring's end.
        const QString wrong = misheld(buffer, received);
        QVERIFY2(wrong.isEmpty(), qPrintable(wrong));
        // Rows go only when the batch would not fit, and then an eighth of the limit more, so
        // that the view has to say so only once in a long while.
        if (buffer.firstOffset() != firstBefore) {
            QVERIFY(heldBefore + count > buffer.limit());
            const qint64 kept = buffer.limit() - buffer.limit() / 8;
            QVERIFY(buffer.size() <= kept && buffer.size() > kept - 16);
        }
    }
    QVERIFY(buffer.firstOffset() > 0);
}

void TestHexBuffer::cacheFileHoldsOlderRows_data()
{
    QTest::addColumn<int>("memory");
    QTest::addColumn<int>("file");
    QTest::addColumn<QList<int>>("batches");
    QTest::newRow("small batches") << 1024 << 4096 << QVector<int>(60, 100).toList();
    QTest::newRow("one byte at a time") << 256 << 1024 << QVector<int>(1500, 1).toList();
    QTest::newRow("batch larger than memory") << 1024 << 8192 << QList<int>{10, 5000, 17};
    QTest::newRow("batch larger than memory and file") << 1024 << 4096 << QList<int>{5, 20000, 33};
    QTest::newRow("odd limits, many times around")
        << 1000 << 3000 << QVector<int>(300, 77).toList();
}

void TestHexBuffer::cacheFileHoldsOlderRows()
{
    QFETCH(int, memory);
    QFETCH(int, file);
    QFETCH(QList<int>, batches);
    // A folder that is not there yet, as the user's cache folder may not be.
    QTemporaryDir cache;
    const QString folder = cache.filePath(QStringLiteral("not/yet"));
    HexBuffer buffer(spilling(folder, memory, file));
    qint64 received = 0;
    for (int count : batches) {
        const qint64 heldBefore = buffer.size();
        const qint64 firstBefore = buffer.firstOffset();
        buffer.append(stream(received, count));
        received += count;
        const QString wrong = misheld(buffer, received);
        QVERIFY2(wrong.isEmpty(), qPrintable(wrong));
        // Memory holds its share and no more, the file its limit and no more.
        QVERIFY(buffer.capacity() <= memory + memory / 8);
        QVERIFY(buffer.cacheFileSize() <= file);
        // Rows go only past both limits, and then an eighth of the file's at once.
        if (buffer.firstOffset() != firstBefore) {
            QVERIFY(heldBefore + count > buffer.limit());
            QVERIFY(buffer.size() > buffer.limit() * 3 / 4);
        }
    }
    QVERIFY(buffer.cacheFileSize() > 0);
    QCOMPARE(buffer.firstOffset() > 0, received > memory + file);
    // The file has no name that another program could open, or that could stay behind.
    QVERIFY(QFileInfo(folder).isDir());
    QVERIFY(QDir(folder).isEmpty(QDir::AllEntries | QDir::Hidden | QDir::System
                                 | QDir::NoDotAndDotDot));

    // Cleared, as by Clear Screen or a reconnect: the disk gets its space back; then given more
    // than memory holds at once.
    buffer.setData(QByteArray());
    QCOMPARE(buffer.size(), qint64(0));
    QCOMPARE(buffer.cacheFileSize(), qint64(0));
    buffer.setData(stream(0, 3 * memory));
    buffer.append(stream(3 * memory, 100));
    const QString wrong = misheld(buffer, 3 * memory + 100);
    QVERIFY2(wrong.isEmpty(), qPrintable(wrong));
    QVERIFY(buffer.cacheFileSize() > 0);
}

void TestHexBuffer::withoutCacheFileMemoryHoldsMore_data()
{
    QTest::addColumn<QString>("folder");
    QTest::addColumn<qint64>("keepFree");
    QTest::addColumn<QString>("cause");
    QTest::newRow("none asked for") << QString() << qint64(0) << QString();
    QTest::newRow("folder under a file") << "file/cache" << qint64(0) << "Not a directory";
    QTest::newRow("disk without room")
        << "cache" << (qint64(1) << 62) << "and its cache file leaves";
}

void TestHexBuffer::withoutCacheFileMemoryHoldsMore()
{
    QFETCH(QString, folder);
    QFETCH(qint64, keepFree);
    QFETCH(QString, cause);
    QTemporaryDir temporary;
    QFile file(temporary.filePath(QStringLiteral("file")));
    QVERIFY(file.open(QIODevice::WriteOnly));
    HexBuffer::Limits limits
        = spilling(folder.isEmpty() ? folder : temporary.filePath(folder), 256, 1 << 20);
    limits.keepFree = keepFree;
    limits.memoryAlone = 4096;
    HexBuffer buffer(limits);
    DebugLog log;

    // Memory alone holds all of it, up to its own limit, and then gives up the oldest rows as
    // ever.
    qint64 received = 0;
    for (; received < 4000; received += 100)
        buffer.append(stream(received, 100));
    QCOMPARE(buffer.firstOffset(), qint64(0));
    QCOMPARE(buffer.bytes(), stream(0, int(received)));
    QCOMPARE(buffer.cacheFileSize(), qint64(0));
    for (; received < 9000; received += 100)
        buffer.append(stream(received, 100));
    QVERIFY(buffer.firstOffset() > 0);
    QVERIFY(buffer.size() <= 4096);
    QCOMPARE(buffer.bytes(), stream(buffer.firstOffset(), int(buffer.size())));
    // Said once, with the cause.
    QCOMPARE(log.count(QStringLiteral("The hex view keeps at most")), cause.isEmpty() ? 0 : 1);
    if (!cause.isEmpty())
        QVERIFY2(log.contains(cause), qPrintable(log.lines().join(QLatin1Char('\n'))));
}

void TestHexBuffer::failedWriteFallsBack_data()
{
    QTest::addColumn<int>("fileSizeLimit");
    QTest::addColumn<QString>("said");
    QTest::newRow("the file can't grow on") << 2048 << "can't grow: File too large";
    QTest::newRow("the file can't be written at all")
        << 0 << "in memory: can't write its cache file";
}

void TestHexBuffer::failedWriteFallsBack()
{
    QFETCH(int, fileSizeLimit);
    QFETCH(QString, said);
    QTemporaryDir folder;
    HexBuffer::Limits limits = spilling(folder.path(), 1024, 1 << 20);
    limits.memoryAlone = 1 << 16;
    HexBuffer buffer(limits);
    DebugLog log;
    // As on a full disk, the system refuses more than so much of a file.
    std::signal(SIGXFSZ, SIG_IGN);
    rlimit before{};
    QVERIFY(getrlimit(RLIMIT_FSIZE, &before) == 0);
    rlimit limited = before;
    limited.rlim_cur = rlim_t(fileSizeLimit);
    QVERIFY(setrlimit(RLIMIT_FSIZE, &limited) == 0);
    qint64 received = 0;
    for (; received < 20000; received += 100)
        buffer.append(stream(received, 100));
    setrlimit(RLIMIT_FSIZE, &before);

    // Nothing is lost without a word: what is held is right, and what went is said by the
    // offset of the first byte held, which the view shows.
    const QString wrong = misheld(buffer, received);
    QVERIFY2(wrong.isEmpty(), qPrintable(wrong));
    QVERIFY(buffer.cacheFileSize() <= fileSizeLimit);
    if (fileSizeLimit > 0) {
        // What the file holds stays, and it is a ring of that from then on.
        QCOMPARE(buffer.limit(), qint64(fileSizeLimit + 1024));
        QVERIFY(buffer.firstOffset() > 0);
    } else {
        QCOMPARE(buffer.firstOffset(), qint64(0));
    }
    QCOMPARE(log.count(said), 1);
    QCOMPARE(log.count(QStringLiteral("File too large")), 1);
}

QTEST_MAIN(TestHexBuffer)
#include "tst_hexbuffer.moc"
