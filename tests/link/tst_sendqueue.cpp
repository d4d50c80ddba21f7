// The order and the pace of what goes to the device, with no port: each row is what the user
// sends (and stops) and what the queue then gives out, step by step, printed.

#include "link/sendqueue.h"

#include <QBuffer>
#include <QtTest>

namespace {

// The bytes as a script writes them: LF and CR as \n and \r.
QString printable(const QByteArray &bytes)
{
    return QString::fromLatin1(bytes)
        .replace(QLatin1Char('\n'), QLatin1String("\\n"))
        .replace(QLatin1Char('\r'), QLatin1String("\\r"));
}

QString printed(const SendQueue::Step &step)
{
    using Action = SendQueue::Step::Action;
    switch (step.action) {
    case Action::Idle:
        return QStringLiteral("idle");
    case Action::WaitForRoom:
        return QStringLiteral("room");
    case Action::ReadFailed:
        return QStringLiteral("failed %1 %2/%3: %4")
            .arg(step.failure.name)
            .arg(step.failure.sent)
            .arg(step.failure.size)
            .arg(step.failure.reason);
    case Action::Write:
        break;
    }
    switch (step.wait) {
    case SendQueue::Wait::None:
        return QLatin1Char('[') + printable(step.bytes) + QLatin1Char(']');
    case SendQueue::Wait::UntilWritten:
        return printable(step.bytes) + QStringLiteral("<%1").arg(step.waitMs);
    case SendQueue::Wait::Whole:
        return printable(step.bytes) + QStringLiteral("=%1").arg(step.waitMs);
    }
    return QString();
}

// Runs script, commands separated by "; ", on a new queue and prints what it gave out:
// "paced TEXT", "typed TEXT", "file TEXT SIZE" (a source holding TEXT, queued as SIZE bytes),
// "line MS" and "whole" (the pace of what is queued next; \n and \r in TEXT stand for LF and
// CR), "step" (with room in the port), "full" (without), "drain" (steps until idle), "stop",
// "fail" (the last write failed), "total".
QString run(const QString &script)
{
    SendQueue queue;
    Pace pace;
    pace.delay = 5;
    QStringList out;
    for (const QString &command : script.split(QStringLiteral("; "))) {
        const QStringList words = command.split(QLatin1Char(' '));
        const QString verb = words.first();
        const QByteArray text = words.value(1)
                                    .replace(QLatin1String("\\n"), QLatin1String("\n"))
                                    .replace(QLatin1String("\\r"), QLatin1String("\r"))
                                    .toLatin1();
        if (verb == QLatin1String("paced")) {
            queue.addPaced(text, pace);
        } else if (verb == QLatin1String("typed")) {
            queue.addTyped(text);
        } else if (verb == QLatin1String("file")) {
            auto buffer = std::make_shared<QBuffer>();
            buffer->setData(text);
            buffer->open(QIODevice::ReadOnly);
            queue.addFile(buffer, words.value(2).toLongLong(), QStringLiteral("f"), pace);
        } else if (verb == QLatin1String("line")) {
            pace.lineDelay = words.value(1).toInt();
        } else if (verb == QLatin1String("whole")) {
            pace.wholeDelay = true;
        } else if (verb == QLatin1String("step") || verb == QLatin1String("full")) {
            out << printed(queue.next(verb == QLatin1String("step")));
        } else if (verb == QLatin1String("drain")) {
            for (int steps = 0; steps < 1000; ++steps) {
                out << printed(queue.next(true));
                if (out.last() == QLatin1String("idle"))
                    break;
            }
        } else if (verb == QLatin1String("stop")) {
            queue.dropPaced();
        } else if (verb == QLatin1String("fail")) {
            queue.dropCurrent();
        } else if (verb == QLatin1String("total")) {
            out << QStringLiteral("total=%1").arg(queue.total());
        } else {
            out << QStringLiteral("unknown command ") + command;
        }
    }
    return out.join(QLatin1Char(' '));
}

} // namespace

class TestSendQueue : public QObject
{
    Q_OBJECT

private slots:
    void givesOutInOrderAndPace_data();
    void givesOutInOrderAndPace();
    void lineEndAcrossPieces();
};

void TestSendQueue::givesOutInOrderAndPace_data()
{
    QTest::addColumn<QString>("script");
    QTest::addColumn<QString>("expected");

    QTest::newRow("a key typed during a paste goes after it") << "paced abc; step; typed k; drain"
                                                              << "a<5 b<5 c<5 [k] idle";
    QTest::newRow("Stop keeps typed keys, in their order")
        << "paced abc; step; typed k; paced xyz; typed m; stop; drain"
        << "a<5 [k] [m] idle";
    QTest::newRow("a failed write drops the rest of its string only")
        << "paced abc; step; fail; typed k; paced de; drain"
        << "a<5 [k] d<5 e<5 idle";
    QTest::newRow("a full port holds a paced byte, not a key")
        << "typed k; paced ab; full; full; drain"
        << "[k] room a<5 b<5 idle";
    QTest::newRow("a file that shrinks ends its part with the reason")
        << "file abc 10; typed k; drain"
        << "a<5 b<5 c<5 failed f 3/10: the file ended early [k] idle";
    QTest::newRow("a file that reads as empty is read to its end, without a total")
        << "file abc 0; total; step; total; drain; total"
        << "total=-1 a<5 total=-1 b<5 c<5 idle total=0";
    QTest::newRow("a line delay follows each LF and each CR not followed by LF")
        << "line 100; paced a\\nb\\r\\nc\\rd\\r; drain"
        << "a<5 \\n=100 b<5 \\r<5 \\n=100 c<5 \\r=100 d<5 \\r=100 idle";
    QTest::newRow("a line delay ends a file's lines too") << "line 100; file a\\rb 3; drain"
                                                          << "a<5 \\r=100 b<5 idle";
    QTest::newRow("the whole pace waits every delay out") << "whole; paced ab; drain"
                                                          << "a=5 b=5 idle";
    QTest::newRow("with both, a line end waits the longer")
        << "whole; line 3; paced a\\nb; line 100; paced \\nc; drain"
        << "a=5 \\n=5 b=5 \\n=100 c=5 idle";
    QTest::newRow("typed keys never wait") << "whole; line 100; typed a\\nb; drain"
                                           << "[a\\nb] idle";
    QTest::newRow("Stop ends a line's wait: what follows is the typed key")
        << "line 100; paced a\\nb; step; step; typed k; stop; drain"
        << "a<5 \\n=100 [k] idle";
    QTest::newRow("what is stopped leaves the total")
        << "paced abc; typed k; total; step; stop; total; drain; total"
        << "total=4 a<5 total=2 [k] idle total=0";
}

void TestSendQueue::givesOutInOrderAndPace()
{
    QFETCH(QString, script);
    QFETCH(QString, expected);
    QCOMPARE(run(script), expected);
}

// A file is read a piece at a time: a CR that ends a piece is a line end only when the next
// piece does not start with a LF.
void TestSendQueue::lineEndAcrossPieces()
{
    for (const QByteArray &after : {QByteArray("\ny"), QByteArray("y")}) {
        const QByteArray bytes = QByteArray(64 * 1024 - 1, 'x') + '\r' + after;
        auto buffer = std::make_shared<QBuffer>();
        buffer->setData(bytes);
        QVERIFY(buffer->open(QIODevice::ReadOnly));
        SendQueue queue;
        Pace pace;
        pace.lineDelay = 100;
        queue.addFile(buffer, bytes.size(), QStringLiteral("f"), pace);
        QByteArray sent;
        QStringList lineEnds;
        for (SendQueue::Step step = queue.next(true); step.action != SendQueue::Step::Action::Idle;
             step = queue.next(true)) {
            QCOMPARE(int(step.action), int(SendQueue::Step::Action::Write));
            sent += step.bytes;
            if (step.wait == SendQueue::Wait::Whole)
                lineEnds << printed(step);
        }
        QCOMPARE(sent, bytes);
        QCOMPARE(lineEnds, QStringList{after.startsWith('\n') ? "\\n=100" : "\\r=100"});
    }
}

QTEST_MAIN(TestSendQueue)
#include "tst_sendqueue.moc"
