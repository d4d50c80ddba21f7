#include "terminal/hexlayout.h"

#include <QtTest>

// The hex view's arithmetic: rows, offsets, cells and the text of a row, without painting.
class TestHexLayout : public QObject
{
    Q_OBJECT

private slots:
    void rowCount_data();
    void rowCount();
    void indexRoundTrip();
    void cells();
    void offsetDigits_data();
    void offsetDigits();
    void displayCharEveryByte();
    void rowText_data();
    void rowText();
};

void TestHexLayout::rowCount_data()
{
    QTest::addColumn<qint64>("size");
    QTest::addColumn<qint64>("rows");
    QTest::newRow("empty") << qint64(0) << qint64(0);
    QTest::newRow("one byte") << qint64(1) << qint64(1);
    QTest::newRow("one short of a row") << qint64(15) << qint64(1);
    QTest::newRow("one row") << qint64(16) << qint64(1);
    QTest::newRow("one past a row") << qint64(17) << qint64(2);
    QTest::newRow("100 MB") << qint64(100) * 1024 * 1024 << qint64(100) * 1024 * 1024 / 16;
    QTest::newRow("beyond 32 bits") << (qint64(1) << 36) + 1 << (qint64(1) << 32) + 1;
}

void TestHexLayout::rowCount()
{
    QFETCH(qint64, size);
    QFETCH(qint64, rows);
    QCOMPARE(HexLayout(0, size).rowCount(), rows);
}

void TestHexLayout::indexRoundTrip()
{
    for (qint64 index : {qint64(0), qint64(1), qint64(15), qint64(16), qint64(31), qint64(4097),
                         (qint64(1) << 33) + 7}) {
        const qint64 row = HexLayout::rowOf(index);
        const int column = HexLayout::columnOf(index);
        QVERIFY(column >= 0 && column < HexLayout::bytesPerRow);
        QCOMPARE(HexLayout::indexOf(row, column), index);
    }
    QCOMPARE(HexLayout::rowOf(16), qint64(1));
    QCOMPARE(HexLayout::columnOf(17), 1);
    QCOMPARE(HexLayout(4096, 100).rowOffset(2), qint64(4096 + 32));
}

void TestHexLayout::cells()
{
    const HexLayout layout(0, 100);
    // Offset (8), two blanks, sixteen "hh " with one more blank after the eighth, one more blank,
    // then the sixteen characters.
    QCOMPARE(layout.hexCell(0), 10);
    QCOMPARE(layout.hexCell(1), 13);
    QCOMPARE(layout.hexCell(7), 31);
    QCOMPARE(layout.hexCell(8), 35);
    QCOMPARE(layout.hexCell(15), 56);
    QCOMPARE(layout.charCell(0), 60);
    QCOMPARE(layout.charCell(15), 75);
    QCOMPARE(layout.cellsPerRow(), 76);
    // No two cells overlap.
    QSet<int> used;
    for (int column = 0; column < HexLayout::bytesPerRow; ++column) {
        for (int cell :
             {layout.hexCell(column), layout.hexCell(column) + 1, layout.charCell(column)}) {
            QVERIFY2(!used.contains(cell), qPrintable(QString::number(cell)));
            used.insert(cell);
        }
    }

    // Where a pointer lands: on the offset, on a byte's digits or the blank after them, on its
    // character, or past the end of the row.
    const QList<QPair<int, int>> pointed{{0, 0},   {12, 0},  {13, 1}, {33, 7}, {34, 7},  {35, 8},
                                         {58, 15}, {59, 15}, {60, 0}, {67, 7}, {75, 15}, {90, 15}};
    for (const auto &[cell, column] : pointed)
        QVERIFY2(layout.columnAtCell(cell) == column, qPrintable(QString::number(cell)));
}

void TestHexLayout::offsetDigits_data()
{
    QTest::addColumn<qint64>("firstOffset");
    QTest::addColumn<qint64>("size");
    QTest::addColumn<int>("digits");
    QTest::newRow("empty") << qint64(0) << qint64(0) << 8;
    QTest::newRow("last row below 4 GiB") << qint64(0xffffff00) << qint64(0xf0) << 8;
    QTest::newRow("last row at 4 GiB") << qint64(0xffffff00) << qint64(0x101) << 9;
    QTest::newRow("far into a long run") << (qint64(1) << 40) << qint64(16) << 11;
}

void TestHexLayout::offsetDigits()
{
    QFETCH(qint64, firstOffset);
    QFETCH(qint64, size);
    QFETCH(int, digits);
    const HexLayout layout(firstOffset, size);
    QCOMPARE(layout.offsetDigits(), digits);
    QCOMPARE(layout.hexCell(0), digits + 2);
    QCOMPARE(layout.cellsPerRow(), digits + 68);
}

void TestHexLayout::displayCharEveryByte()
{
    for (int value = 0; value < 256; ++value) {
        const QChar shown = HexLayout::displayChar(uchar(value));
        if (value >= 0x20 && value <= 0x7e)
            QCOMPARE(shown.unicode(), ushort(value));
        else
            QCOMPARE(shown, QLatin1Char('.'));
    }
}

void TestHexLayout::rowText_data()
{
    QTest::addColumn<QByteArray>("data");
    QTest::addColumn<qint64>("firstOffset");
    QTest::addColumn<qint64>("row");
    QTest::addColumn<QString>("expected");

    QByteArray counting;
    for (int value = 0; value < 256; ++value)
        counting.append(char(value));

    QTest::newRow("first row of every byte value")
        << counting << qint64(0) << qint64(0)
        << "00000000  00 01 02 03 04 05 06 07  08 09 0a 0b 0c 0d 0e 0f  ................";
    QTest::newRow("printable row")
        << counting << qint64(0) << qint64(4)
        << "00000040  40 41 42 43 44 45 46 47  48 49 4a 4b 4c 4d 4e 4f  @ABCDEFGHIJKLMNO";
    QTest::newRow("DEL and high bytes are dots")
        << counting << qint64(0) << qint64(7)
        << "00000070  70 71 72 73 74 75 76 77  78 79 7a 7b 7c 7d 7e 7f  pqrstuvwxyz{|}~.";
    QTest::newRow("last row of every byte value")
        << counting << qint64(0) << qint64(15)
        << "000000f0  f0 f1 f2 f3 f4 f5 f6 f7  f8 f9 fa fb fc fd fe ff  ................";
    QTest::newRow("short last row leaves blanks")
        << QByteArray("0123456789abcdefOK\r\n") << qint64(0) << qint64(1)
        << "00000010  4f 4b 0d 0a                                       OK..            ";
    QTest::newRow("offset of a trimmed front")
        << QByteArray("Z") << qint64(0x12340) << qint64(0)
        << "00012340  5a                                                Z               ";
}

void TestHexLayout::rowText()
{
    QFETCH(QByteArray, data);
    QFETCH(qint64, firstOffset);
    QFETCH(qint64, row);
    QFETCH(QString, expected);
    const HexLayout layout(firstOffset, data.size());
    const QString text = layout.rowText(data.constData() + HexLayout::indexOf(row, 0), row);
    QCOMPARE(text, expected);
    QCOMPARE(text.size(), layout.cellsPerRow());
}

QTEST_MAIN(TestHexLayout)
#include "tst_hexlayout.moc"
