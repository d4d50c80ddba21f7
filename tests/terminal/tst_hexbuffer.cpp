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
}

void TestHexBuffer::memoryStaysCloseToSize_data()
{
    QTest::addColumn<int>("batchSize");
    QTest::addColumn<int>("total");
    QTest::newRow("USB packets") << 64 << 4 * 1024 * 1024;
    QTest::newRow("odd batches") << 1021 << 6 * 1024 * 1024;
    QTest::newRow("large batches") << 256 * 1024 << 16 * 1024 * 1024;
}

void TestHexBuffer::memoryStaysCloseToSize()
{
    QFETCH(int, batchSize);
    QFETCH(int, total);
    HexBuffer buffer;
    const QByteArray batch = stream(0, batchSize);
    qint64 worst = 0;
    while (buffer.size() < total) {
        buffer.append(batch);
        // What the array reserves beyond a tenth of what it holds.
        worst = qMax(worst, buffer.capacity() - buffer.size() - buffer.size() / 10);
    }
    QVERIFY2(worst <= HexBuffer::minimumHeadroom,
             qPrintable(QStringLiteral("%1 bytes over 1.1 x size").arg(worst)));
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
}

void TestHexBuffer::limitKeepsNewestRows_data()
{
    QTest::addColumn<int>("limit");
    QTest::addColumn<QList<int>>("batches");
    QTest::newRow("small batches") << 1024 << QVector<int>(60, 100).toList();
    QTest::newRow("batch of exactly the limit") << 1024 << QList<int>{10, 1024, 3};
    QTest::newRow("batch larger than the limit") << 1024 << QList<int>{5, 5000, 17};
    QTest::newRow("odd limit") << 1000 << QVector<int>(40, 77).toList();
}

void TestHexBuffer::limitKeepsNewestRows()
{
    QFETCH(int, limit);
    QFETCH(QList<int>, batches);
    HexBuffer buffer(limit);
    qint64 received = 0;
    for (int count : batches) {
        buffer.append(stream(received, count));
        received += count;
        QVERIFY(buffer.size() <= limit + 15);
        QVERIFY(buffer.size() > 0);
        // Offsets still name the true place of each byte in the stream, in whole rows.
        QCOMPARE(buffer.firstOffset() % 16, qint64(0));
        QCOMPARE(buffer.firstOffset() + buffer.size(), received);
        QCOMPARE(buffer.bytes(), stream(buffer.firstOffset(), int(buffer.size())));
    }
    QVERIFY(buffer.firstOffset() > 0);
}

QTEST_MAIN(TestHexBuffer)
#include "tst_hexbuffer.moc"
