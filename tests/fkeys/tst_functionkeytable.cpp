#include "fkeys/functionkey.h"

#include <QtTest>

// The rules of the twelve-entry function-key table: its fixed key codes, how a binding is rebuilt
// from a line edit and an LF box, and how a stored write delay is read.
class TestFunctionKeyTable : public QObject
{
    Q_OBJECT

private slots:
    void emptyTableHoldsF1ToF12();
    void rebuild_data();
    void rebuild();
    void rebuildWithMissingEntries();
    void parseDelay_data();
    void parseDelay();
};

static void verifyKeyCodes(const QList<FunctionKey> &keys)
{
    QCOMPARE(keys.size(), 12);
    for (int i = 0; i < keys.size(); ++i)
        QCOMPARE(keys.at(i).key, int(Qt::Key_F1) + i);
    QCOMPARE(keys.first().key, 0x01000030);
    QCOMPARE(keys.last().key, 0x0100003B);
}

void TestFunctionKeyTable::emptyTableHoldsF1ToF12()
{
    const QList<FunctionKey> keys = emptyFunctionKeys();
    verifyKeyCodes(keys);
    for (const FunctionKey &entry : keys)
        QVERIFY(entry.text.isEmpty());
}

void TestFunctionKeyTable::rebuild_data()
{
    QTest::addColumn<int>("index");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<bool>("lineFeed");
    QTest::addColumn<QString>("expected");

    const QString euro(QChar(0x20AC));
    QTest::newRow("F1 text, box clear") << 0 << "AT" << false << "AT";
    QTest::newRow("F1 text, box ticked appends CR LF") << 0 << "AT" << true << "AT\r\n";
    QTest::newRow("empty, box ticked sends CR LF alone") << 4 << "" << true << "\r\n";
    QTest::newRow("empty, box clear") << 5 << "" << false << "";
    QTest::newRow("lone LF kept") << 6 << "A\nB" << false << "A\nB";
    QTest::newRow("lone CR kept, box ticked") << 7 << "A\rB" << true << "A\rB\r\n";
    QTest::newRow("typed CR LF is not merged") << 8 << "X\r\n" << true << "X\r\n\r\n";
    QTest::newRow("beyond Latin-1 kept") << 9 << euro << false << euro;
    QTest::newRow("spaces kept") << 10 << "  a b  " << false << "  a b  ";
    QTest::newRow("F12 box ticked") << 11 << "ATZ" << true << "ATZ\r\n";
}

void TestFunctionKeyTable::rebuild()
{
    QFETCH(int, index);
    QFETCH(QString, typed);
    QFETCH(bool, lineFeed);
    QFETCH(QString, expected);

    QStringList texts;
    QList<bool> lineFeeds;
    for (int i = 0; i < 12; ++i) {
        texts.append(i == index ? typed : QString());
        lineFeeds.append(i == index && lineFeed);
    }
    const QList<FunctionKey> keys = buildFunctionKeys(texts, lineFeeds);
    verifyKeyCodes(keys);
    for (int i = 0; i < 12; ++i)
        QCOMPARE(keys.at(i).text, i == index ? expected : QString());
}

void TestFunctionKeyTable::rebuildWithMissingEntries()
{
    const QList<FunctionKey> keys = buildFunctionKeys({"one", "two"}, {false, true, true});
    verifyKeyCodes(keys);
    QCOMPARE(keys.at(0).text, QString("one"));
    QCOMPARE(keys.at(1).text, QString("two\r\n"));
    QCOMPARE(keys.at(2).text, QString("\r\n"));
    for (int i = 3; i < 12; ++i)
        QVERIFY(keys.at(i).text.isEmpty());
}

void TestFunctionKeyTable::parseDelay_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("expected");

    // What a store holds: the spin box's text, or anything a hand or an older build wrote.
    QTest::newRow("the spin box's text") << "250" << 250;
    QTest::newRow("above the spin box range") << "20000" << 20000;
    QTest::newRow("negative") << "-3" << -3;
    QTest::newRow("surrounding blanks") << " 7 " << 7;
    QTest::newRow("empty") << "" << 0;
    QTest::newRow("trailing letters") << "12ms" << 0;
    QTest::newRow("too large for int") << "99999999999" << 0;
}

void TestFunctionKeyTable::parseDelay()
{
    QFETCH(QString, text);
    QFETCH(int, expected);
    QCOMPARE(::parseDelay(text), expected);
}

QTEST_MAIN(TestFunctionKeyTable)
#include "tst_functionkeytable.moc"
