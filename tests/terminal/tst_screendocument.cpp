#include "terminal/screendocument.h"
#include "terminal/terminalconstants.h"
#include "terminal/timestamp.h"

#include <QRegularExpression>
#include <QTextDocument>
#include <QtTest>

#include <deque>
#include <limits>
#include <random>

// The screen without a widget: batches in, each with the time it came while Timestamps are on,
// and the screen out as printed lines, each after its time.
class TestScreenDocument : public QObject
{
    Q_OBJECT

private slots:
    void screen_data();
    void screen();
    void partOfAFrameWaits();
    void timesAddAPrefixAndNothingElse();
};

namespace {

using TerminalConstants::maximumLineLength;
using TerminalConstants::maximumLines;
using Steps = QList<QByteArray>;

const int everything = std::numeric_limits<int>::max();

// A step of a row: "@HH:mm:ss.zzz " and a batch that came then with Timestamps on, "|n" a frame
// inserting at most n characters ("|" all), "~" Clear Screen, or else a batch with Timestamps
// off.
QByteArray at(const char *time, const QByteArray &bytes)
{
    return QByteArray("@") + time + ' ' + bytes;
}

qint64 arrival(const QTime &time)
{
    return QDateTime(QDate(2024, 3, 5), time).toMSecsSinceEpoch();
}

enum class Frames { AfterEachBatch, AtTheEnd, InSmallParts };

QStringList printed(ScreenDocument &screen)
{
    screen.insertHeld(everything);
    return screen.text().split(QLatin1Char('\n'));
}

QStringList show(const Steps &steps, Frames frames)
{
    QTextDocument document;
    ScreenDocument screen(&document);
    for (const QByteArray &step : steps) {
        if (step == "~") {
            screen.clear();
        } else if (step.startsWith('|')) {
            screen.insertHeld(step.size() > 1 ? step.mid(1).toInt() : everything);
        } else {
            if (step.startsWith('@'))
                screen.hold(step.mid(14),
                            arrival(QTime::fromString(step.mid(1, 12), "HH:mm:ss.zzz")));
            else
                screen.hold(step);
            if (frames == Frames::AfterEachBatch)
                screen.insertHeld(everything);
            else if (frames == Frames::InSmallParts)
                screen.insertHeld(3);
        }
    }
    return printed(screen);
}

// Lines "row <n>" for n in [from, to), each ended by end.
QByteArray rows(int from, int to, const QByteArray &end = "\n")
{
    QByteArray text;
    for (int n = from; n < to; ++n)
        text += "row " + QByteArray::number(n) + end;
    return text;
}

QStringList printedRows(int from, int to, const QString &time = QString())
{
    QStringList lines;
    for (int n = from; n < to; ++n)
        lines << time + QStringLiteral("row %1").arg(n);
    return lines;
}

// The rules as a reader states them, one byte at a time, on a list of lines.
class ScreenModel
{
public:
    void receive(const QByteArray &batch, int time)
    {
        for (const char byte : batch) {
            if (byte == '\0' || byte == '\r')
                continue;
            Line &line = m_lines.back();
            const bool empty = line.text.size() == line.from;
            if (byte == '\b') {
                if (!empty)
                    line.text.chop(1);
                else if (m_lines.size() > 1)
                    m_lines.pop_back();
                continue;
            }
            if (time != HeldText::noTime && empty && line.time == HeldText::noTime)
                line.time = time;
            if (byte == '\n') {
                m_lines.emplace_back();
                if (int(m_lines.size()) > maximumLines)
                    m_lines.pop_front();
            } else {
                line.text.append(byte);
                if (line.text.size() - line.from > maximumLineLength)
                    ++line.from;
            }
        }
    }

    QStringList printed() const
    {
        QStringList lines;
        for (const Line &line : m_lines) {
            lines << (line.time == HeldText::noTime ? QString() : timestampText(line.time))
                         + QString::fromLatin1(line.text.mid(line.from));
        }
        return lines;
    }

private:
    // A line's characters are those of text from from on.
    struct Line
    {
        QByteArray text;
        int from = 0;
        int time = HeldText::noTime;
    };
    std::deque<Line> m_lines{Line()};
};

// Mostly the bytes with rules, in runs long enough to reach the limits.
QByteArray randomStream(std::mt19937 &random)
{
    const char bytes[] = {'\0', '\r', '\n', '\n', '\b', '\b', '\b', 'a', 'b', '\xe9'};
    QByteArray stream;
    for (int piece = int(random() % 30); piece >= 0; --piece) {
        switch (random() % 8) {
        case 0:
            stream += QByteArray(int(random() % (2 * maximumLineLength)), 'x');
            break;
        case 1:
            stream += rows(0, int(random() % (2 * maximumLines)));
            break;
        case 2:
            stream += QByteArray(int(random() % (maximumLineLength + 2000)), '\b');
            break;
        default:
            for (int n = int(random() % 50); n > 0; --n)
                stream += bytes[random() % sizeof bytes];
            break;
        }
    }
    return stream;
}

} // namespace

Q_DECLARE_METATYPE(Frames)

void TestScreenDocument::screen_data()
{
    QTest::addColumn<Steps>("steps");
    QTest::addColumn<Frames>("frames");
    QTest::addColumn<QStringList>("expected");
    // Each row three times: what the screen shows must not depend on its frames.
    const auto row = [](const char *name, const Steps &steps, const QStringList &expected) {
        const QString label = QString::fromLatin1(name);
        QTest::newRow(qPrintable(label + " / a frame a batch"))
            << steps << Frames::AfterEachBatch << expected;
        QTest::newRow(qPrintable(label + " / one frame")) << steps << Frames::AtTheEnd << expected;
        QTest::newRow(qPrintable(label + " / small frames"))
            << steps << Frames::InSmallParts << expected;
    };
    const QString t1 = QStringLiteral("12:00:00.001 ");
    const QString t2 = QStringLiteral("12:00:00.002 ");

    row("backspace takes back a byte of its batch", {"AB\bC"}, {"AC"});
    row("backspace erases what is shown", {"AB", "\b", "C\b\b"}, {""});
    row("backspaces erase line breaks", {"ab\ncd", "\b\b\b"}, {"ab"});
    row("backspaces at the start do nothing", {"\b", "\b\bz", "\b\b\b\bX"}, {"X"});
    row("NUL and CR dropped, CR LF one break", {QByteArray("x\r\ny\0\r", 5), "\r", "z\n\r\nw"},
        {"x", "yz", "", "w"});
    row("backspace after dropped bytes", {QByteArray("AB\r\0\b", 5)}, {"A"});
    QByteArray everyByte;
    QString everyShown;
    for (int value = 0; value < 256; ++value) {
        everyByte.append(char(value));
        // The backspace takes back BEL, the byte before it.
        if (value == 0x08)
            everyShown.chop(1);
        else if (value != 0x00 && value != 0x0d)
            everyShown.append(QChar(value));
    }
    row("every byte value, 0xA0 as it came", {everyByte}, everyShown.split(QLatin1Char('\n')));

    row("a line has the time its first byte came",
        {at("12:00:00.001", "one\r\ntw"), at("12:00:00.002", "o\n"), "three"},
        {t1 + "one", t1 + "two", "three"});
    row("an empty line has the time of the break that ends it",
        {at("12:00:00.001", "a\n"), at("12:00:00.002", "\n")}, {t1 + "a", t2, ""});
    row("a line begun without a time keeps none", {"ab", at("12:00:00.002", "c\nd")},
        {"abc", t2 + "d"});
    row("a joined line keeps the earlier time",
        {at("12:00:00.001", "ab\n"), at("12:00:00.002", "cd"), at("12:00:00.003", "\b\b\bX")},
        {t1 + "abX"});
    row("backspaces over an empty line join as without times", {at("12:00:00.001", "ab\n\n\b\bc")},
        {t1 + "abc"});
    row("an emptied line keeps its time",
        {at("12:00:00.001", "x\ny"), "|", "\b", at("12:00:00.002", "\b\b\bz")}, {t1 + "z"});
    row("the start changes no line's time",
        {at("12:00:00.001", "x"), "\b\b", at("12:00:00.002", "y")}, {t1 + "y"});

    row("400 lines in one batch", {rows(0, 1000)}, printedRows(601, 1000) << "");
    Steps lineByLine{"first"};
    for (int n = 0; n < 1000; ++n)
        lineByLine << rows(n, n + 1, "\r\n");
    row("400 lines a batch a line", lineByLine + Steps{"tail", "!\n"},
        printedRows(602, 1000) + QStringList{"tail!", ""});
    row("the 400th line feed", {"old\nlast", rows(0, 399) + "x"},
        QStringList{"last" + printedRows(0, 1).first()} + printedRows(1, 399) << "x");
    row("lines pushed out take their times",
        {at("12:00:00.001", rows(0, 300)), at("12:00:00.002", rows(300, 500))},
        printedRows(101, 300, t1) + printedRows(300, 500, t2) << "");
    row("backspaces bring back no line pushed out",
        {at("12:00:00.001", rows(0, 500) + QByteArray(1999, '\b'))},
        printedRows(101, 250, t1) << t1 + "r");
    // Long enough that the lines pushed out while it is held are let go before it ends.
    Steps burst;
    const QByteArray many = rows(10000, 17000);
    for (int from = 0; from < many.size(); from += 4096)
        burst << many.mid(from, 4096);
    row("a long burst", burst << QByteArray(100, '\b'), printedRows(16601, 16990) << "");
    row("backspaces held with the lines they erase", {rows(0, 500), QByteArray(2000 - 1, '\b')},
        printedRows(101, 250) << "r");

    const QByteArray digits = rows(0, 3000, ",");
    const QString newest = QString::fromLatin1(digits.right(maximumLineLength));
    row("a long line keeps its newest", {digits}, {newest});
    row("the cut comes behind the time", {at("12:00:00.001", digits + '\n')}, {t1 + newest, ""});
    row("a backspace after the cut", {digits, "\b\b", "XY"}, {newest.chopped(2) + "XY"});
    row("backspaces past the cut join the line before",
        {"x\nabc", "|", digits, QByteArray(maximumLineLength + 1, '\b')}, {"x"});
    row("each long line on its own",
        {"ab", digits.left(maximumLineLength + 7) + "\r\nshort\n" + digits},
        {QString::fromLatin1(("ab" + digits.left(maximumLineLength + 7)).right(maximumLineLength)),
         "short", newest});

    row("clearing drops what is held",
        {at("12:00:00.001", "stale\n"), "~", "\b", at("12:00:00.002", "new")}, {t2 + "new"});
}

void TestScreenDocument::screen()
{
    QFETCH(Steps, steps);
    QFETCH(Frames, frames);
    QFETCH(QStringList, expected);
    QCOMPARE(show(steps, frames), expected);
}

void TestScreenDocument::partOfAFrameWaits()
{
    QTextDocument document;
    ScreenDocument screen(&document);
    screen.hold("abc\ndef", arrival(QTime(12, 0, 0, 1)));
    screen.insertHeld(5);
    QCOMPARE(screen.text(), QStringLiteral("12:00:00.001 abc\n12:00:00.001 d"));
    QVERIFY(screen.isHolding());
    // The rest waits, and what comes meanwhile acts on it first.
    screen.hold("\b\b\b");
    QCOMPARE(printed(screen), QStringList({"12:00:00.001 abc", "12:00:00.001 "}));
    QVERIFY(!screen.isHolding());
    QVERIFY(screen.html().contains(QLatin1String("12:00:00.001 abc</p>")));

    // Clearing keeps the document's limit and its lack of undo, and forgets the times.
    QVERIFY(screen.hasTimes());
    screen.clear();
    QVERIFY(!screen.hasTimes());
    QCOMPARE(screen.text(), QString());
    QCOMPARE(document.maximumBlockCount(), maximumLines);
    QVERIFY(!document.isUndoRedoEnabled());
}

// Random streams split at random points, with frames of random sizes between the batches: with
// times or without, the screen shows what the rules give byte by byte, and the same text.
void TestScreenDocument::timesAddAPrefixAndNothingElse()
{
    const QRegularExpression time(QStringLiteral("^\\d\\d:\\d\\d:\\d\\d\\.\\d\\d\\d "));
    for (unsigned seed = 1; seed <= 150; ++seed) {
        std::mt19937 random(seed);
        const QByteArray stream = randomStream(random);
        QTextDocument untimedDocument;
        QTextDocument timedDocument;
        ScreenDocument untimed(&untimedDocument);
        ScreenDocument timed(&timedDocument);
        ScreenModel untimedModel;
        ScreenModel timedModel;
        const qint64 start = arrival(QTime(12, 0));
        int from = 0;
        for (int batch = 0; from < stream.size(); ++batch) {
            const int size = int(random() % 3 ? random() % 64 : random() % 20000);
            const QByteArray bytes = stream.mid(from, size);
            from += size;
            untimed.hold(bytes);
            // Timestamps on for most batches, off for some.
            const bool on = random() % 4 != 0;
            timed.hold(bytes, on ? start + batch : HeldText::untimed);
            untimedModel.receive(bytes, HeldText::noTime);
            timedModel.receive(bytes,
                               on ? QTime(12, 0).msecsSinceStartOfDay() + batch : HeldText::noTime);
            if (random() % 4 == 0) {
                const int most = random() % 2 ? int(random() % 100) : int(random() % 40000);
                untimed.insertHeld(most);
                timed.insertHeld(most);
            }
        }
        const QStringList untimedLines = printed(untimed);
        const QStringList timedLines = printed(timed);
        QStringList lessTimes = timedLines;
        lessTimes.replaceInStrings(time, QString());
        const QByteArray where = "seed " + QByteArray::number(seed);
        QVERIFY2(lessTimes == untimedLines, where.constData());
        QVERIFY2(untimedLines == untimedModel.printed(), where.constData());
        QVERIFY2(timedLines == timedModel.printed(), where.constData());
    }
}

QTEST_MAIN(TestScreenDocument)
#include "tst_screendocument.moc"
