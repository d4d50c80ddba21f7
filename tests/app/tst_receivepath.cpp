#include "app/vantorterm.h"
#include "terminal/hexview.h"
#include "terminal/ostraview.h"
#include "terminal/terminalconstants.h"

#include "support/terminaluser.h"
#include "support/testenvironment.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QMenu>
#include <QRegularExpression>
#include <QScrollBar>
#include <QTextCursor>
#include <QTextDocument>
#include <QtTest>

#include <memory>

// What a simulated device sends reaching both views of the real main window: the text view
// filtered, the hex view byte for byte, whether hex mode shows it or not.
class TestReceivePath : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void batchReachesBothViews_data();
    void batchReachesBothViews();
    void hiddenHexViewKeepsEveryByte();
    void clearScreenEmptiesBothViews_data();
    void clearScreenEmptiesBothViews();
    void readCommWithNothingQueuedChangesNothing();
    void hexViewFollowsTheNewestBytes();
    void reconnectingStartsWithEmptyViews();
    void endlessLineKeepsItsNewestCharacters();
    void selectionSurvivesIncomingData();
    void timestampsBeginEachLine();

private:
    void setHexMode(bool on);
    void sendAndWait(const QByteArray &bytes);

    TestEnvironment m_environment;
    std::unique_ptr<TerminalUser> m_user;
    OstraView *m_view = nullptr;
    HexView *m_hex = nullptr;
};

void TestReceivePath::init()
{
    m_environment.clearSettings();
    m_user = std::make_unique<TerminalUser>();
    QVERIFY(m_user->isConnected());
    m_view = m_user->view();
    m_hex = m_user->hexView();
}

void TestReceivePath::cleanup()
{
    m_user.reset();
}

void TestReceivePath::setHexMode(bool on)
{
    m_user->setHexMode(on);
    QCOMPARE(m_user->hexViewShown(), on);
}

void TestReceivePath::sendAndWait(const QByteArray &bytes)
{
    QVERIFY(m_user->deviceSends(bytes));
}

void TestReceivePath::batchReachesBothViews_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("text");

    QTest::newRow("O K CR LF") << QByteArray("\x4F\x4B\x0D\x0A") << "OK\n";
    QTest::newRow("NUL CR A") << QByteArray("\x00\x0D\x41", 3) << "A";
    QTest::newRow("backspace in the batch") << QByteArray("AB\bC") << "AC";
    QTest::newRow("Latin-1") << QByteArray("caf\xE9") << QString::fromLatin1("caf\xE9");
    QTest::newRow("two lines") << QByteArray("x\r\ny") << "x\ny";
}

void TestReceivePath::batchReachesBothViews()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QString, text);

    DebugLog log;
    setHexMode(true);
    QVERIFY(m_user->device().send(bytes));
    QTRY_COMPARE(m_hex->data(), bytes);
    QCOMPARE(m_user->textShown(), text);
    QVERIFY(log.contains("VantorTerm::readComm() : "));
}

void TestReceivePath::hiddenHexViewKeepsEveryByte()
{
    setHexMode(false);
    QByteArray everyByte;
    for (int value = 0; value <= 0xFF; ++value)
        everyByte.append(char(value));
    // Several sends, some of them before the program has read the previous one.
    QVERIFY(m_user->device().send(everyByte.left(100)));
    QVERIFY(m_user->device().send(everyByte.mid(100, 50)));
    QVERIFY(m_user->device().send(everyByte.mid(150)));
    QTRY_COMPARE(m_hex->data().size(), everyByte.size());
    sendAndWait("tail");

    QVERIFY(!m_user->hexViewShown());
    QVERIFY(m_user->textShown().endsWith("tail"));
    // Rows to scroll, all received while hidden: shown, the view is at the newest of them.
    const QByteArray rows(4096, 'h');
    sendAndWait(rows);
    setHexMode(true);
    QCOMPARE(m_hex->data(), everyByte + "tail" + rows);
    QVERIFY(m_view->isVisible());
    QScrollBar *bar = m_hex->verticalScrollBar();
    QVERIFY(bar->maximum() > 0);
    QCOMPARE(bar->value(), bar->maximum());
}

void TestReceivePath::clearScreenEmptiesBothViews_data()
{
    QTest::addColumn<bool>("hexMode");
    QTest::newRow("hex mode on") << true;
    QTest::newRow("hex mode off") << false;
}

void TestReceivePath::clearScreenEmptiesBothViews()
{
    QFETCH(bool, hexMode);

    setHexMode(hexMode);
    sendAndWait("first\r\nsecond\r\n");
    QVERIFY(!m_user->textShown().isEmpty());

    m_user->clearScreen();
    QVERIFY(m_user->textShown().isEmpty());
    QVERIFY(m_hex->data().isEmpty());
    QCOMPARE(m_user->hexViewShown(), hexMode);
    QVERIFY(m_view->isEnabled() && m_view->isVisible());

    // Still connected: the next bytes land in the emptied views.
    sendAndWait("again");
    QCOMPARE(m_hex->data(), QByteArray("again"));
    QCOMPARE(m_user->textShown(), QString("again"));
}

void TestReceivePath::readCommWithNothingQueuedChangesNothing()
{
    setHexMode(true);
    sendAndWait("abc\r\n");
    const QString text = m_user->textShown();
    DebugLog log;
    QVERIFY(QMetaObject::invokeMethod(&m_user->window(), "readComm"));
    QVERIFY(log.contains("VantorTerm::readComm() : "));
    QCOMPARE(m_hex->data(), QByteArray("abc\r\n"));
    QCOMPARE(m_user->textShown(), text);
}

void TestReceivePath::hexViewFollowsTheNewestBytes()
{
    setHexMode(true);
    QScrollBar *bar = m_hex->verticalScrollBar();
    // The scroll bars follow by the next frame, not batch by batch.
    sendAndWait(QByteArray(4096, 'h'));
    QTRY_COMPARE(bar->maximum(), 4096 / 16 - bar->pageStep());
    QCOMPARE(bar->value(), bar->maximum());

    bar->setValue(0);
    sendAndWait(QByteArray(64, 'i'));
    QTRY_COMPARE(bar->maximum(), (4096 + 64) / 16 - bar->pageStep());
    QCOMPARE(bar->value(), bar->maximum());
}

void TestReceivePath::reconnectingStartsWithEmptyViews()
{
    setHexMode(true);
    sendAndWait("before unplugging");

    m_user->unplug();
    QVERIFY(!m_view->isEnabled());
    QVERIFY(m_user->textShown().isEmpty());
    QVERIFY(m_hex->data().isEmpty());

    QVERIFY(m_user->plugIn());
    QVERIFY(m_user->textShown().isEmpty());
    QVERIFY(m_hex->data().isEmpty());
    sendAndWait("after");
    QCOMPARE(m_user->textShown(), QString("after"));
    QCOMPARE(m_hex->data(), QByteArray("after"));
}

void TestReceivePath::endlessLineKeepsItsNewestCharacters()
{
    // A device that ends its lines with CR only: the view drops the CR, so this is one line.
    QByteArray stream;
    for (int n = 0; stream.size() < 100000; ++n)
        stream += "reading " + QByteArray::number(n) + "\r";
    stream.truncate(100000);
    setHexMode(true);
    sendAndWait(stream);

    QCOMPARE(m_hex->data(), stream);
    QByteArray newest = stream;
    newest.replace('\r', QByteArray());
    newest = newest.right(TerminalConstants::maximumLineLength);
    QCOMPARE(m_user->textShown(), QString::fromLatin1(newest));

    // A capture holds what the view shows, in both formats.
    for (const QString &name : {QStringLiteral("c.log"), QStringLiteral("c.html")}) {
        const QString path = m_user->filePath(name);
        QCOMPARE(m_user->capture(path), QString());
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QString saved = QString::fromLatin1(file.readAll());
        QTextDocument document;
        if (name.endsWith(QLatin1String(".html")))
            document.setHtml(saved);
        else
            document.setPlainText(saved);
        QCOMPARE(document.toPlainText(), QString::fromLatin1(newest));
    }
}

void TestReceivePath::selectionSurvivesIncomingData()
{
    sendAndWait("first line\r\nsecond line\r\n");
    QTextCursor selection(m_view->document());
    selection.setPosition(6);
    selection.setPosition(10, QTextCursor::KeepAnchor);
    m_view->setTextCursor(selection);

    QByteArray lines;
    for (int n = 0; n < 100; ++n)
        lines += "more " + QByteArray::number(n) + "\r\n";
    sendAndWait(lines);
    sendAndWait("\b\b");
    QVERIFY(m_user->textShown().endsWith("more 9"));

    const std::unique_ptr<QMenu> menu(m_view->createStandardContextMenu());
    QAction *copy = menu->findChild<QAction *>(QStringLiteral("edit-copy"));
    QVERIFY(copy);
    QVERIFY(copy->isEnabled());
    copy->trigger();
    QCOMPARE(QApplication::clipboard()->text(), QStringLiteral("line"));
    // The newest text is still in sight.
    QScrollBar *bar = m_view->verticalScrollBar();
    QVERIFY(bar->maximum() > 0);
    QCOMPARE(bar->value(), bar->maximum());

    // Once the lines it covers are trimmed, the selection goes with them.
    sendAndWait(lines + lines + lines + lines);
    QVERIFY(m_user->textShown().startsWith("more"));
    QVERIFY(!m_view->textCursor().hasSelection());
    QVERIFY(m_view->textCursor().atEnd());
}

// With Timestamps on, each line begins with the time its first character came. The time is a
// prefix and nothing else: backspaces cross a line break as they do without times (the joined
// line keeps the earlier time), the line-length rule counts only what the device sent, and a
// line still growing keeps the time it began with. A capture keeps the times, the hex view stays
// raw, and switching off changes only the lines that come next.
void TestReceivePath::timestampsBeginEachLine()
{
    const QString logPath = m_user->filePath(QStringLiteral("device.log"));
    QCOMPARE(m_user->logTo(logPath), QString());
    m_user->setTimestamps(true);
    sendAndWait("one\r\ntw");
    QTest::qWait(20);
    // Six backspaces erase "two", the line break and "ne".
    sendAndWait("o\b\b\b\b\b\bx\n");
    QTest::qWait(20);
    sendAndWait(QByteArray(9000, 'a') + "\n");

    const QRegularExpression stamped(QStringLiteral("^(\\d\\d:\\d\\d:\\d\\d\\.\\d{3}) (.*)$"));
    QStringList lines = m_user->textShown().split('\n');
    QCOMPARE(lines.size(), 3);
    QCOMPARE(lines.takeLast(), QString());
    QStringList times;
    QStringList texts;
    for (const QString &line : qAsConst(lines)) {
        const QRegularExpressionMatch match = stamped.match(line);
        QVERIFY2(match.hasMatch(), qPrintable(line.left(40)));
        times << match.captured(1);
        texts << match.captured(2);
    }
    QCOMPARE(texts, QStringList({"ox", QString(TerminalConstants::maximumLineLength, 'a')}));
    QVERIFY(times.at(1) != times.at(0));
    QVERIFY(m_hex->data().startsWith("one\r\ntwo\b\b"));

    // The log's lines carry the same times; its bytes are still the device's, all of them.
    QFile log(logPath);
    QTRY_VERIFY(log.size() > 9000);
    QVERIFY(log.open(QIODevice::ReadOnly));
    QCOMPARE(log.readLine(), times.at(0).toLatin1() + " one\r\n");
    QCOMPARE(log.readLine(), times.at(0).toLatin1() + " two\b\b\b\b\b\bx\n");

    const QString path = m_user->filePath(QStringLiteral("capture.log"));
    QCOMPARE(m_user->capture(path), QString());
    QFile capture(path);
    QVERIFY(capture.open(QIODevice::ReadOnly));
    QCOMPARE(QString::fromLatin1(capture.readAll()), m_user->textShown());

    // What is copied from the view carries the times too.
    m_view->selectAll();
    m_view->copy();
    QCOMPARE(QApplication::clipboard()->text(), m_user->textShown());

    m_user->setTimestamps(false);
    sendAndWait("late\n");
    QVERIFY(m_user->textShown().endsWith("a\nlate\n"));
    QVERIFY(m_user->textShown().startsWith(times.at(0) + " ox\n"));

    // Lines pushed out before they are shown take their times with them: each line kept shows
    // the time of a batch that came after it was sent, however the lines were read.
    m_user->setTimestamps(true);
    QByteArray older;
    QByteArray newer;
    for (int n = 0; n < 300; ++n) {
        older += "older " + QByteArray::number(n) + '\n';
        newer += "newer " + QByteArray::number(n) + '\n';
    }
    const QTime olderSent = QTime::currentTime();
    QVERIFY(m_user->device().send(older));
    QTest::qWait(5);
    const QTime newerSent = QTime::currentTime();
    sendAndWait(newer);
    QTRY_COMPARE(m_hex->data().right(newer.size()), newer);
    lines = m_user->textShown().split('\n');
    lines.removeLast();
    QCOMPARE(lines.size(), TerminalConstants::maximumLines - 1);
    for (const QString &line : qAsConst(lines)) {
        const QTime time = QTime::fromString(line.left(12), QStringLiteral("HH:mm:ss.zzz"));
        QVERIFY2(time >= (line.contains(QLatin1String(" newer ")) ? newerSent : olderSent),
                 qPrintable(line));
    }
}

QTEST_MAIN(TestReceivePath)
#include "tst_receivepath.moc"
