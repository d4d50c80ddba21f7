#include "terminal/hexbuffer.h"

#include <QtTest>

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
};

static QByteArray stream(qint64 from, int count)
{
    QByteArray bytes(count, Qt::Uninitialized);
    for (int i = 0; i < count; ++i)
        bytes[i] = char((from + i) * 7 % 251);
    return bytes;
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
    HexBuffer small(64);
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
    const qint64 limit = HexBuffer::defaultLimit;
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
    HexBuffer buffer(limit);
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
    HexBuffer small(64);
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
    HexBuffer buffer(limit);
    qint64 received = 0;
    for (int count : batches) {
        const qint64 heldBefore = buffer.size();
        const qint64 firstBefore = buffer.firstOffset();
        buffer.append(stream(received, count));
        received += count;
        QVERIFY(buffer.size() <= limit + 15);
        QVERIFY(buffer.size() > 0);
        // Offsets still name the true place of each byte in the stream, in whole rows.
        const qint64 first = buffer.firstOffset();
        QCOMPARE(first % 16, qint64(0));
        QCOMPARE(first + buffer.size(), received);
        QCOMPARE(buffer.bytes(), stream(first, int(buffer.size())));
        // Rows go only when the batch would not fit, and then an eighth of the limit more, so
        // that the view has to say so only once in a long while.
        if (first != firstBefore) {
            QVERIFY(heldBefore + count > buffer.limit());
            const qint64 kept = buffer.limit() - buffer.limit() / 8;
            QVERIFY(buffer.size() <= kept && buffer.size() > kept - 16);
        }
        // Each row whole, wherever it is held, and a stretch that may run across the ring's end.
        for (qint64 row = 0; row * 16 < buffer.size(); ++row) {
            const int rowSize = int(qMin<qint64>(16, buffer.size() - row * 16));
            QCOMPARE(QByteArray(buffer.row(row), rowSize), stream(first + row * 16, rowSize));
        }
        const qint64 third = buffer.size() / 3;
        QCOMPARE(buffer.mid(third, buffer.size() / 2),
                 stream(first + third, int(buffer.size() / 2)));
    }
    QVERIFY(buffer.firstOffset() > 0);
}

QTEST_MAIN(TestHexBuffer)
#include "tst_hexbuffer.moc"
