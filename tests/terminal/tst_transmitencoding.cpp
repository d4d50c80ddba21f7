#include "terminal/transmitencoding.h"

#include <QtTest>

// What reaches the device for a character: a typed key's text goes in one write, a paste or a
// function-key string one byte per character; they differ only beyond Latin-1.
class TestTransmitEncoding : public QObject
{
    Q_OBJECT

private slots:
    void bytesOfText_data();
    void bytesOfText();
    void everyLatin1ValueGoesAsItself();
};

void TestTransmitEncoding::bytesOfText_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QByteArray>("typed");
    QTest::addColumn<QByteArray>("paced");

    QTest::newRow("empty") << QString() << QByteArray() << QByteArray();
    QTest::newRow("carriage return of Enter") << "\r" << QByteArray("\r") << QByteArray("\r");
    QTest::newRow("NUL of Ctrl+Space")
        << QString(QChar(0)) << QByteArray(1, '\0') << QByteArray(1, '\0');
    QTest::newRow("y diaeresis, last of Latin-1")
        << QString(QChar(0xFF)) << QByteArray("\xFF") << QByteArray("\xFF");
    QTest::newRow("first beyond Latin-1")
        << QString(QChar(0x100)) << QByteArray("?") << QByteArray(1, '\0');
    QTest::newRow("euro sign") << QString(QChar(0x20AC)) << QByteArray("?") << QByteArray(1, '\0');
    QTest::newRow("several characters of an input method")
        << QString::fromUtf8("a\xC3\xA9\xE2\x82\xAC") << QByteArray("a\xE9?")
        << QByteArray("a\xE9\0", 3);
    // One byte per UTF-16 code unit: a character outside the BMP is two.
    QTest::newRow("surrogate pair")
        << QString::fromUtf8("\xF0\x9F\x98\x80") << QByteArray("??") << QByteArray(2, '\0');
}

void TestTransmitEncoding::bytesOfText()
{
    QFETCH(QString, text);
    QFETCH(QByteArray, typed);
    QFETCH(QByteArray, paced);

    QCOMPARE(typedBytes(text), typed);
    QByteArray bytes;
    for (const QChar unit : text)
        bytes.append(pacedByte(unit));
    QCOMPARE(bytes, paced);
}

void TestTransmitEncoding::everyLatin1ValueGoesAsItself()
{
    QString text;
    QByteArray expected;
    for (int value = 0; value <= 0xFF; ++value) {
        text.append(QChar(value));
        expected.append(char(value));
    }
    QCOMPARE(typedBytes(text), expected);
    for (int value = 0; value <= 0xFF; ++value)
        QCOMPARE(pacedByte(text.at(value)), expected.at(value));
}

QTEST_MAIN(TestTransmitEncoding)
#include "tst_transmitencoding.moc"
