#include "terminal/displayfilter.h"

#include <QTextCursor>
#include <QTextDocument>
#include <QtTest>

#include <random>

// The byte rules of the text view without the view: what a batch erases and adds, which part of
// a long text can still be among the newest lines, and what of a long line is kept.
class TestDisplayFilter : public QObject
{
    Q_OBJECT

private slots:
    void edit_data();
    void edit();
    void editMatchesByteByByteRule();
    void newestLines_data();
    void newestLines();
    void newestLinesLeaveTheSameDocument_data();
    void newestLinesLeaveTheSameDocument();
    void limitLineLength_data();
    void limitLineLength();
};

namespace {

// The rule as a reader would apply it, one byte at a time, to the characters on screen.
QByteArray showByteByByte(QByteArray screen, const QByteArray &batch)
{
    QByteArray pending;
    for (const char byte : batch) {
        if (byte == '\0' || byte == '\r')
            continue;
        if (byte == '\b') {
            if (pending.isEmpty() && !screen.isEmpty())
                screen.chop(1);
            pending.chop(1);
            continue;
        }
        pending.append(byte);
    }
    return screen + pending;
}

QByteArray randomBatch(std::mt19937 &generator, int size)
{
    // Mostly the bytes with rules, so that they meet each other often.
    const char interesting[] = {'\0', '\r', '\n', '\b', '\b', '\b', 'a', 'b', 'c', '\xe9'};
    QByteArray batch;
    for (int i = 0; i < size; ++i)
        batch.append(interesting[generator() % sizeof interesting]);
    return batch;
}

QString documentText(const QTextDocument &document)
{
    return document.toRawText();
}

} // namespace

void TestDisplayFilter::edit_data()
{
    QTest::addColumn<QByteArray>("batch");
    QTest::addColumn<int>("erase");
    QTest::addColumn<QByteArray>("text");
    QTest::newRow("empty") << QByteArray() << 0 << QByteArray();
    QTest::newRow("backspace takes back its own byte")
        << QByteArray("AB\bC") << 0 << QByteArray("AC");
    QTest::newRow("lone backspace") << QByteArray("\b") << 1 << QByteArray();
    QTest::newRow("backspaces then text") << QByteArray("\b\bxy") << 2 << QByteArray("xy");
    QTest::newRow("more backspaces than its bytes") << QByteArray("ab\b\b\b") << 1 << QByteArray();
    QTest::newRow("screen, own bytes, screen again")
        << QByteArray("\bab\b\b\bz") << 2 << QByteArray("z");
    QTest::newRow("NUL and CR dropped") << QByteArray("a\0\rb\r\n", 6) << 0 << QByteArray("ab\n");
    QTest::newRow("backspace after dropped bytes")
        << QByteArray("ab\r\0\b", 5) << 0 << QByteArray("a");
    QTest::newRow("controls and high bytes kept")
        << QByteArray("\t\x1b\x7f\xff\x01") << 0 << QByteArray("\t\x1b\x7f\xff\x01");
}

void TestDisplayFilter::edit()
{
    QFETCH(QByteArray, batch);
    QFETCH(int, erase);
    QFETCH(QByteArray, text);
    const DisplayEdit result = displayEdit(batch);
    QCOMPARE(result.erase, erase);
    QCOMPARE(result.text, text);
}

void TestDisplayFilter::editMatchesByteByByteRule()
{
    std::mt19937 generator(7);
    for (int round = 0; round < 2000; ++round) {
        const QByteArray screen = randomBatch(generator, int(generator() % 6)).replace('\b', 'x');
        const QByteArray batch = randomBatch(generator, int(generator() % 12));
        const DisplayEdit edit = displayEdit(batch);
        const QByteArray shown = screen.left(qMax(0, screen.size() - edit.erase)) + edit.text;
        QCOMPARE(shown, showByteByByte(screen, batch));
    }
}

void TestDisplayFilter::newestLines_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<int>("maximum");
    QTest::addColumn<QByteArray>("expected");
    QTest::newRow("no line feed") << QByteArray("abcdefgh") << 3 << QByteArray("abcdefgh");
    QTest::newRow("fewer line feeds") << QByteArray("a\nb\nc") << 3 << QByteArray("a\nb\nc");
    QTest::newRow("exactly as many") << QByteArray("a\nb\nc\nd") << 3 << QByteArray("\nb\nc\nd");
    QTest::newRow("more") << QByteArray("a\nb\nc\nd\ne\n") << 3 << QByteArray("\nd\ne\n");
    QTest::newRow("only line feeds") << QByteArray("\n\n\n\n\n") << 3 << QByteArray("\n\n\n");
    QTest::newRow("line feed first") << QByteArray("\na\nb") << 2 << QByteArray("\na\nb");
    QTest::newRow("shorter than the maximum") << QByteArray("\n\n") << 3 << QByteArray("\n\n");
}

void TestDisplayFilter::newestLines()
{
    QFETCH(QByteArray, text);
    QFETCH(int, maximum);
    QFETCH(QByteArray, expected);
    QCOMPARE(::newestLines(text, maximum), expected);
}

void TestDisplayFilter::newestLinesLeaveTheSameDocument_data()
{
    QTest::addColumn<int>("maximum");
    QTest::addColumn<QByteArray>("before");
    QTest::addColumn<QByteArray>("text");
    // n lines joined by line feeds: n - 1 of them.
    const auto lines = [](int n) {
        QByteArray text;
        for (int i = 0; i < n; ++i)
            text += (i ? "\nline " : "line ") + QByteArray::number(i);
        return text;
    };
    QTest::newRow("one short of the limit") << 400 << QByteArray("old\nlast") << lines(400);
    QTest::newRow("exactly the limit") << 400 << QByteArray("old\nlast") << lines(401);
    QTest::newRow("limit and a line feed") << 400 << QByteArray("old") << lines(401) + "\n";
    QTest::newRow("twice the limit") << 400 << QByteArray() << lines(800);
    QTest::newRow("small limit") << 3 << QByteArray("p\nq\nr") << QByteArray("a\nb\nc\nd\ne");
    QTest::newRow("empty lines") << 3 << QByteArray("p") << QByteArray("\n\n\n\n\n\nx");
}

void TestDisplayFilter::newestLinesLeaveTheSameDocument()
{
    QFETCH(int, maximum);
    QFETCH(QByteArray, before);
    QFETCH(QByteArray, text);

    QTextDocument whole;
    QTextDocument newest;
    for (QTextDocument *document : {&whole, &newest}) {
        document->setMaximumBlockCount(maximum);
        document->setUndoRedoEnabled(false);
        QTextCursor(document).insertText(QString::fromLatin1(before));
    }
    QTextCursor wholeEnd(&whole);
    wholeEnd.movePosition(QTextCursor::End);
    wholeEnd.insertText(QString::fromLatin1(text));
    QTextCursor newestEnd(&newest);
    newestEnd.movePosition(QTextCursor::End);
    newestEnd.insertText(QString::fromLatin1(::newestLines(text, maximum)));

    QCOMPARE(documentText(newest), documentText(whole));
    QCOMPARE(newest.blockCount(), whole.blockCount());
}

void TestDisplayFilter::limitLineLength_data()
{
    QTest::addColumn<QByteArray>("screen");
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QByteArray>("expected");
    // The limit is 4 characters a line.
    QTest::newRow("short lines as they are")
        << QByteArray("ab") << QByteArray("cd\nefgh\n") << QByteArray("abcd\nefgh\n");
    QTest::newRow("an overlong line keeps its newest")
        << QByteArray() << QByteArray("abcdefghij") << QByteArray("ghij");
    QTest::newRow("the shown line gives up its oldest")
        << QByteArray("x\nabc") << QByteArray("de") << QByteArray("x\nbcde");
    QTest::newRow("the shown line gives up all, the text its oldest")
        << QByteArray("x\nabc") << QByteArray("defghi") << QByteArray("x\nfghi");
    QTest::newRow("each line of the text on its own")
        << QByteArray("abcd") << QByteArray("e\n123456\n\n78\nuvwxyz")
        << QByteArray("bcde\n3456\n\n78\nwxyz");
    QTest::newRow("a line feed first closes the shown line")
        << QByteArray("abcd") << QByteArray("\nefghi") << QByteArray("abcd\nfghi");
}

void TestDisplayFilter::limitLineLength()
{
    QFETCH(QByteArray, screen);
    QFETCH(QByteArray, text);
    QFETCH(QByteArray, expected);
    const int lastLine = screen.lastIndexOf('\n') + 1;
    const LineLimitEdit edit = ::limitLineLength(text, screen.size() - lastLine, 4);
    screen.remove(lastLine, edit.dropShown);
    QCOMPARE(screen + edit.text, expected);
}

QTEST_MAIN(TestDisplayFilter)
#include "tst_displayfilter.moc"
