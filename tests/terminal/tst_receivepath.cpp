#include "app/vantorterm.h"
#include "terminal/hexview.h"
#include "terminal/ostraview.h"
#include "terminal/terminalconstants.h"

#include "devsim/connectedwindow.h"
#include "support/simulateddevice.h"
#include "support/testenvironment.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QFile>
#include <QGroupBox>
#include <QMenu>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTextCursor>
#include <QTextDocument>
#include <QtTest>

#include <QLabel>
#include <QMessageBox>
#include <QRegularExpression>
#include <QStatusBar>

#include <csignal>
#include <memory>
#include <sys/resource.h>

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
    void logFileKeepsEverythingTheDeviceSays();
    void timestampsBeginEachLine();

private:
    void setHexMode(bool on);
    void sendAndWait(const QByteArray &bytes);

    TestEnvironment m_environment;
    std::unique_ptr<SimulatedDevice> m_device;
    std::unique_ptr<ConnectedWindow> m_terminal;
    VantorTerm *m_window = nullptr;
    OstraView *m_view = nullptr;
    HexView *m_hex = nullptr;
    QGroupBox *m_hexGroup = nullptr;
    QAction *m_hexAction = nullptr;
};

void TestReceivePath::init()
{
    m_environment.clearSettings();
    m_device = std::make_unique<SimulatedDevice>();
    QVERIFY(m_device->isValid());
    m_terminal = std::make_unique<ConnectedWindow>(m_device->portName());
    m_window = &m_terminal->window;
    m_view = m_terminal->view();
    m_hex = m_terminal->hexView();
    m_hexGroup = m_window->findChild<QGroupBox *>("hexaGroup");
    m_hexAction = m_window->findChild<QAction *>("actionHexa_Mode");
    QVERIFY(m_view && m_hex && m_hexGroup && m_hexAction);
    QVERIFY(m_terminal->connectDevice());
}

void TestReceivePath::cleanup()
{
    m_terminal.reset();
    m_device.reset();
}

void TestReceivePath::setHexMode(bool on)
{
    m_hexAction->setChecked(on);
    QCOMPARE(m_hexGroup->isVisible(), on);
}

void TestReceivePath::sendAndWait(const QByteArray &bytes)
{
    const int before = m_hex->data().size();
    QVERIFY(m_device->send(bytes));
    QTRY_COMPARE(m_hex->data().size(), before + bytes.size());
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
    QVERIFY(m_device->send(bytes));
    QTRY_COMPARE(m_hex->data(), bytes);
    QCOMPARE(m_view->toPlainText(), text);
    QVERIFY(log.contains("VantorTerm::readComm() : "));
}

void TestReceivePath::hiddenHexViewKeepsEveryByte()
{
    setHexMode(false);
    QByteArray everyByte;
    for (int value = 0; value <= 0xFF; ++value)
        everyByte.append(char(value));
    // Several sends, some of them before the program has read the previous one.
    QVERIFY(m_device->send(everyByte.left(100)));
    QVERIFY(m_device->send(everyByte.mid(100, 50)));
    QVERIFY(m_device->send(everyByte.mid(150)));
    QTRY_COMPARE(m_hex->data().size(), everyByte.size());
    sendAndWait("tail");

    QVERIFY(!m_hexGroup->isVisible());
    QVERIFY(m_view->toPlainText().endsWith("tail"));
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
    QVERIFY(!m_view->toPlainText().isEmpty());

    m_window->findChild<QAction *>("action_Clear_Screen")->trigger();
    QVERIFY(m_view->toPlainText().isEmpty());
    QVERIFY(m_hex->data().isEmpty());
    QCOMPARE(m_hexAction->isChecked(), hexMode);
    QCOMPARE(m_hexGroup->isVisible(), hexMode);
    QVERIFY(m_view->isEnabled() && m_view->isVisible());

    // Still connected: the next bytes land in the emptied views.
    sendAndWait("again");
    QCOMPARE(m_hex->data(), QByteArray("again"));
    QCOMPARE(m_view->toPlainText(), QString("again"));
}

void TestReceivePath::readCommWithNothingQueuedChangesNothing()
{
    setHexMode(true);
    sendAndWait("abc\r\n");
    const QString text = m_view->toPlainText();
    DebugLog log;
    QVERIFY(QMetaObject::invokeMethod(m_window, "readComm"));
    QVERIFY(log.contains("VantorTerm::readComm() : "));
    QCOMPARE(m_hex->data(), QByteArray("abc\r\n"));
    QCOMPARE(m_view->toPlainText(), text);
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

    m_terminal->ports.clear();
    m_terminal->tick();
    QVERIFY(!m_view->isEnabled());
    QVERIFY(m_view->toPlainText().isEmpty());
    QVERIFY(m_hex->data().isEmpty());

    m_terminal->ports = QStringList{m_device->portName()};
    QVERIFY(m_terminal->connectDevice());
    QVERIFY(m_view->toPlainText().isEmpty());
    QVERIFY(m_hex->data().isEmpty());
    sendAndWait("after");
    QCOMPARE(m_view->toPlainText(), QString("after"));
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
    QCOMPARE(m_view->toPlainText(), QString::fromLatin1(newest));

    // A capture holds what the view shows, in both formats.
    QTemporaryDir folder;
    for (const QString &name : {QStringLiteral("c.log"), QStringLiteral("c.html")}) {
        const QString path = folder.filePath(name);
        m_window->setCaptureFileNamePrompt([path](QWidget *) { return path; });
        QVERIFY(QMetaObject::invokeMethod(m_window, "saveCapture"));
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
    QVERIFY(m_view->toPlainText().endsWith("more 9"));

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
    QVERIFY(m_view->toPlainText().startsWith("more"));
    QVERIFY(!m_view->textCursor().hasSelection());
    QVERIFY(m_view->textCursor().atEnd());
}

// The log keeps every byte the device sends, appended to what the file held, across a
// disconnect, a reconnect and a restart, with a marker line at each connect and disconnect; when
// its disk fills it stops and says so, and the terminal goes on.
void TestReceivePath::logFileKeepsEverythingTheDeviceSays()
{
    QTemporaryDir folder;
    const QString path = folder.filePath(QStringLiteral("device.log"));
    const auto logged = [&path] {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    };
    {
        QFile earlier(path);
        QVERIFY(earlier.open(QIODevice::WriteOnly));
        earlier.write("earlier\n");
    }
    const QString port = m_device->portName();
    QString chosen = folder.path();
    m_window->setLogFileNamePrompt([&chosen](QWidget *) { return chosen; });
    auto logAction = m_window->findChild<QAction *>("actionLog_to_File");
    // A folder is no log: said so, and logging stays off.
    QString refused;
    whenDialogOpens<QMessageBox>([&refused](QMessageBox *box) {
        refused = box->text();
        box->accept();
    });
    logAction->trigger();
    QCOMPARE(refused, "Can't log to " + chosen + ": not a regular file");
    QVERIFY(!logAction->isChecked());
    chosen = path;
    logAction->trigger();
    QVERIFY(logAction->isChecked());
    QVERIFY(m_window->findChild<QLabel *>("logStatus")->isVisible());

    // Every byte value, NUL and CR included, as it came; written out without waiting for more.
    QByteArray everyByte;
    for (int value = 0; value < 256; ++value)
        everyByte.append(char(value));
    sendAndWait(everyByte);
    QTRY_COMPARE(logged(), "earlier\n" + everyByte);

    // Unplugged and back, then a restart: the log goes on in the same file.
    m_terminal->stopTicks();
    m_terminal->ports.clear();
    m_terminal->tick();
    m_terminal->ports = QStringList{port};
    m_terminal->tick();
    sendAndWait("after\r\n");
    m_terminal->window.close();
    m_terminal = std::make_unique<ConnectedWindow>(port);
    QCOMPARE(m_terminal->window.statusBar()->currentMessage(), "Logging resumed: " + path);
    QVERIFY(m_terminal->connectDevice());
    m_hex = m_terminal->hexView();
    sendAndWait("again\n");
    m_terminal->window.close();

    const QByteArray bytes = logged();
    // Sized, or the conversion stops at the first NUL.
    QString text = QString::fromLatin1(bytes.constData(), bytes.size());
    text.replace(
        QRegularExpression(QStringLiteral("\\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d:\\d\\d\\.\\d{3}")),
        QStringLiteral("T"));
    const QString marker = QStringLiteral("--- T %1 ---\n");
    const QString closed = QStringLiteral("disconnected from %1: the terminal closed the port");
    const QString expected = "earlier\n" + QString::fromLatin1(everyByte.constData(), 256) + '\n'
                             + marker.arg("disconnected from " + port + ": the device went away")
                             + marker.arg("connected to " + port) + "after\r\n"
                             + marker.arg(closed.arg(port)) + marker.arg("connected to " + port)
                             + "again\n" + marker.arg(closed.arg(port));
    QCOMPARE(text.toLatin1(), expected.toLatin1());

    // A full disk (here: a file size limit) stops the log; the terminal goes on as it was.
    m_terminal.reset();
    m_terminal = std::make_unique<ConnectedWindow>(port);
    QVERIFY(m_terminal->connectDevice());
    m_hex = m_terminal->hexView();
    const qint64 held = logged().size();
    std::signal(SIGXFSZ, SIG_IGN);
    rlimit unlimited{};
    QCOMPARE(getrlimit(RLIMIT_FSIZE, &unlimited), 0);
    rlimit limit = unlimited;
    limit.rlim_cur = rlim_t(held + 100);
    QCOMPARE(setrlimit(RLIMIT_FSIZE, &limit), 0);
    sendAndWait(QByteArray(1000, 'x'));
    auto status = m_terminal->window.statusBar();
    QTRY_VERIFY(status->currentMessage().startsWith("Logging to " + path + " stopped: "));
    setrlimit(RLIMIT_FSIZE, &unlimited);
    QVERIFY2(status->currentMessage().endsWith(
                 QStringLiteral("The file holds %1 bytes.").arg(held + 100)),
             qPrintable(status->currentMessage()));
    QVERIFY(!m_terminal->window.findChild<QAction *>("actionLog_to_File")->isChecked());
    delete m_terminal->window.findChild<QMessageBox *>();
    sendAndWait("still here");
    QCOMPARE(m_hex->data().right(10), QByteArray("still here"));
    QCOMPARE(logged().size(), held + 100);
}

// With Timestamps on, each line begins with the time its first character came. The time is the
// terminal's: backspaces never erase it, the line-length rule counts only what the device sent,
// and a line still growing keeps the time it began with. A capture keeps the times, the hex view
// stays raw, and switching off changes only the lines that come next.
void TestReceivePath::timestampsBeginEachLine()
{
    QTemporaryDir folder;
    const QString logPath = folder.filePath(QStringLiteral("device.log"));
    m_window->setLogFileNamePrompt([logPath](QWidget *) { return logPath; });
    m_window->findChild<QAction *>("actionLog_to_File")->trigger();
    auto timestamps = m_window->findChild<QAction *>("actionTimestamps");
    timestamps->trigger();
    QVERIFY(timestamps->isChecked());
    sendAndWait("one\r\ntw");
    QTest::qWait(20);
    // Three backspaces erase "two", the others meet the line's time and erase nothing.
    sendAndWait("o\b\b\b\b\b\bx\n");
    QTest::qWait(20);
    sendAndWait(QByteArray(9000, 'a') + "\n");

    const QRegularExpression stamped(QStringLiteral("^(\\d\\d:\\d\\d:\\d\\d\\.\\d{3}) (.*)$"));
    QStringList lines = m_view->toPlainText().split('\n');
    QCOMPARE(lines.size(), 4);
    QCOMPARE(lines.takeLast(), QString());
    QStringList times;
    QStringList texts;
    for (const QString &line : qAsConst(lines)) {
        const QRegularExpressionMatch match = stamped.match(line);
        QVERIFY2(match.hasMatch(), qPrintable(line.left(40)));
        times << match.captured(1);
        texts << match.captured(2);
    }
    QCOMPARE(texts, QStringList({"one", "x", QString(TerminalConstants::maximumLineLength, 'a')}));
    QCOMPARE(times.at(1), times.at(0));
    QVERIFY(times.at(2) != times.at(0));
    QVERIFY(m_hex->data().startsWith("one\r\ntwo\b\b"));

    // The log's lines carry the same times; its bytes are still the device's, all of them.
    QFile log(logPath);
    QTRY_VERIFY(log.size() > 9000);
    QVERIFY(log.open(QIODevice::ReadOnly));
    QCOMPARE(log.readLine(), times.at(0).toLatin1() + " one\r\n");
    QCOMPARE(log.readLine(), times.at(0).toLatin1() + " two\b\b\b\b\b\bx\n");

    const QString path = folder.filePath(QStringLiteral("capture.log"));
    m_window->setCaptureFileNamePrompt([path](QWidget *) { return path; });
    QVERIFY(QMetaObject::invokeMethod(m_window, "saveCapture"));
    QFile capture(path);
    QVERIFY(capture.open(QIODevice::ReadOnly));
    QCOMPARE(QString::fromLatin1(capture.readAll()), m_view->toPlainText());

    // What is copied from the view carries the times too.
    m_view->selectAll();
    m_view->copy();
    QCOMPARE(QApplication::clipboard()->text(), m_view->toPlainText());

    timestamps->trigger();
    sendAndWait("late\n");
    QVERIFY(m_view->toPlainText().endsWith("a\nlate\n"));
    QVERIFY(m_view->toPlainText().startsWith(times.at(0) + " one\n"));

    // Lines pushed out before they are shown take their times with them: each line kept shows
    // the time of the batch it came in.
    timestamps->trigger();
    QByteArray older;
    QByteArray newer;
    for (int n = 0; n < 300; ++n) {
        older += "older " + QByteArray::number(n) + '\n';
        newer += "newer " + QByteArray::number(n) + '\n';
    }
    QVERIFY(m_device->send(older));
    QTest::qWait(5);
    sendAndWait(newer);
    QTRY_COMPARE(m_hex->data().right(newer.size()), newer);
    lines = m_view->toPlainText().split('\n');
    lines.removeLast();
    QCOMPARE(lines.size(), TerminalConstants::maximumLines - 1);
    const QString olderTime = lines.first().left(12);
    const QString newerTime = lines.last().left(12);
    for (const QString &line : qAsConst(lines)) {
        const QString time = line.contains(" older ") ? olderTime : newerTime;
        QVERIFY2(line.startsWith(time + (line.contains(" older ") ? " older " : " newer ")),
                 qPrintable(line));
    }
}

QTEST_MAIN(TestReceivePath)
#include "tst_receivepath.moc"
