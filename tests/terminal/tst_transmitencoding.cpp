#include "terminal/transmitencoding.h"

#include <QtTest>

// The two byte encodings of the transmit path: a typed key's text in one write, and the
// one-byte-per-character form of pastes and function-key strings.
class TestTxEncoding : public QObject
{
    Q_OBJECT

private slots:
    void typedBytes_data();
    void typedBytes();
    void typedBytesKeepsEveryLatin1Value();
    void pacedByteOfEveryCodeUnit();
};

void TestTxEncoding::typedBytes_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QByteArray>("expected");

    QTest::newRow("empty") << QString() << QByteArray();
    QTest::newRow("letter") << "a" << QByteArray("a");
    QTest::newRow("carriage return of Enter") << "\r" << QByteArray("\r");
    QTest::newRow("control character of Ctrl+C") << QString(QChar(0x03)) << QByteArray("\x03");
    QTest::newRow("NUL of Ctrl+Space") << QString(QChar(0)) << QByteArray(1, '\0');
    QTest::newRow("e acute") << QString(QChar(0xE9)) << QByteArray("\xE9");
    QTest::newRow("y diaeresis, last of Latin-1") << QString(QChar(0xFF)) << QByteArray("\xFF");
    QTest::newRow("euro sign") << QString(QChar(0x20AC)) << QByteArray("?");
    QTest::newRow("first beyond Latin-1") << QString(QChar(0x100)) << QByteArray("?");
    QTest::newRow("several characters of an input method")
        << QString::fromUtf8("a\xC3\xA9\xE2\x82\xAC") << QByteArray("a\xE9?");
    // One byte per UTF-16 code unit: a character outside the BMP is two question marks.
    QTest::newRow("surrogate pair") << QString::fromUtf8("\xF0\x9F\x98\x80") << QByteArray("??");
}

void TestTxEncoding::typedBytes()
{
    QFETCH(QString, text);
    QFETCH(QByteArray, expected);
    const QByteArray bytes = ::typedBytes(text);
    QCOMPARE(bytes, expected);
    QCOMPARE(bytes.size(), text.size());
}

void TestTxEncoding::typedBytesKeepsEveryLatin1Value()
{
    QString text;
    QByteArray expected;
    for (int value = 0; value <= 0xFF; ++value) {
        text.append(QChar(value));
        expected.append(char(value));
    }
    QCOMPARE(::typedBytes(text), expected);
}

void TestTxEncoding::pacedByteOfEveryCodeUnit()
{
    for (int value = 0; value <= 0xFFFF; ++value) {
        const char expected = value <= 0xFF ? char(value) : '\0';
        if (pacedByte(QChar(value)) != expected)
            QFAIL(qPrintable(QStringLiteral("code unit 0x%1").arg(value, 0, 16)));
    }
}

QTEST_MAIN(TestTxEncoding)
#include "tst_transmitencoding.moc"
