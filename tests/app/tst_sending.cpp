// Sending exactly what the user means, told through the real window and a simulated device: a
// file that stops short, the command line, and the pace of lines and characters.

#include "support/terminaluser.h"
#include "support/testenvironment.h"

#include <QFile>
#include <QLocale>
#include <QtTest>

namespace {

QByteArray alphabet(int size)
{
    QByteArray bytes;
    bytes.reserve(size);
    for (int i = 0; i < size; ++i)
        bytes.append(char('a' + i % 26));
    return bytes;
}

} // namespace

class TestSending : public QObject
{
    Q_OBJECT

private slots:
    void init();

    void sendFileSaysWhenItStopsShort();
    void commandLineSendsWithItsLineEndAndRecalls();
    void hexCommandSendsExactBytes();
    void lineDelayGapsThePastedLines();
    void wholeDelayPacesAFunctionKey();

private:
    TestEnvironment m_environment;
};

void TestSending::init()
{
    m_environment.clearSettings();
}

// A file cut while it goes out, one that reads as empty but has content (as under /proc), and
// one chosen while the device went away: each goes as far as it can and says why it stopped.
void TestSending::sendFileSaysWhenItStopsShort()
{
    TerminalUser user;
    QVERIFY(user.isConnected());
    user.setDelay(0);
    const QString cut = user.filePath("cut.bin");
    const QByteArray bytes = alphabet(200000);
    QVERIFY(writeFile(cut, bytes));

    // The first piece is read as the send starts; the file then loses the rest.
    QCOMPARE(user.sendFile(cut), QString());
    QVERIFY(QFile::resize(cut, 65536));
    QCOMPARE(user.deviceReceived(65536, 20000), bytes.left(65536));
    const QLocale locale;
    QTRY_COMPARE(
        user.status(),
        QStringLiteral("Send File of %1 stopped after %2 of %3 bytes: the file ended early")
            .arg(cut, locale.toString(65536), locale.toString(200000)));
    QCOMPARE(user.deviceReceivedSoFar(), QByteArray());
    QVERIFY(!user.sendProgressShown());

    // A file that grows while it goes out is sent as far as it was when chosen.
    QVERIFY(writeFile(cut, "first"));
    QCOMPARE(user.sendFile(cut), QString());
    QFile grown(cut);
    QVERIFY(grown.open(QIODevice::Append) && grown.write("-added") == 6);
    grown.close();
    QCOMPARE(user.deviceReceivedSoFar(), QByteArray("first"));

    QFile proc(QStringLiteral("/proc/version"));
    QVERIFY(proc.open(QIODevice::ReadOnly));
    const QByteArray procText = proc.readAll();
    QVERIFY(!procText.isEmpty() && QFileInfo(proc).size() == 0);
    const QString statusBefore = user.status();
    QCOMPARE(user.sendFile(proc.fileName()), QString());
    QCOMPARE(user.deviceReceivedSoFar(), procText);
    QCOMPARE(user.status(), statusBefore);

    const QString refused = user.sendFile(cut, [&user] { user.unplug(); });
    QCOMPARE(refused, QStringLiteral("Can't send %1: the Tarquel Device was not found.").arg(cut));
}

// The command line: each line end after a command, Up and Down through what was sent (kept
// across a restart), a character Latin-1 has no byte for refused and named, and Enter with no
// device said; the view still takes typed keys, and nothing is echoed into it.
void TestSending::commandLineSendsWithItsLineEndAndRecalls()
{
    TerminalUser user;
    QVERIFY(user.isConnected());
    user.setCommandLine(true);
    QVERIFY(user.commandLineHasFocus());

    // CR at first, as Enter typed into the view sends.
    user.enterCommand(QStringLiteral("ATI"));
    QCOMPARE(user.deviceReceivedSoFar(), QByteArray("ATI\r"));
    QVERIFY(user.commandLineText().isEmpty());
    QVERIFY(user.commandLineHasFocus());
    const QList<QPair<QString, QByteArray>> lineEnds{
        {"None", ""}, {"LF", "\n"}, {"CR LF", "\r\n"}, {"CR", "\r"}, {"CR LF", "\r\n"}};
    for (int i = 0; i < lineEnds.size(); ++i) {
        user.setLineEnd(lineEnds.at(i).first);
        user.enterCommand(QStringLiteral("AT+X=%1").arg(i));
        QCOMPARE(user.deviceReceivedSoFar(),
                 "AT+X=" + QByteArray::number(i) + lineEnds.at(i).second);
    }
    // A line sent twice in a row is recalled once.
    user.enterCommand(QStringLiteral("AT+X=4"));
    QCOMPARE(user.deviceReceivedSoFar(), QByteArray("AT+X=4\r\n"));
    // The view still takes typed keys; F1 sends its binding from the line too.
    user.type(QStringLiteral("k"));
    QCOMPARE(user.deviceReceivedSoFar(), QByteArray("k"));
    user.bind(1, QStringLiteral("F1"));
    user.pressInCommandLine(Qt::Key_F1);
    QCOMPARE(user.deviceReceivedSoFar(), QByteArray("F1"));
    QVERIFY(user.textShown().isEmpty());

    user.enterCommand(QStringLiteral("half"));
    QCOMPARE(user.deviceReceivedSoFar(), QByteArray("half\r\n"));
    user.pressInCommandLine(Qt::Key_Escape);
    QVERIFY(user.deviceReceivedSoFar().isEmpty());
    user.pressInCommandLine(Qt::Key_Up);
    user.pressInCommandLine(Qt::Key_Up);
    QCOMPARE(user.commandLineText(), QStringLiteral("AT+X=4"));
    user.pressInCommandLine(Qt::Key_Up);
    QCOMPARE(user.commandLineText(), QStringLiteral("AT+X=3"));
    user.pressInCommandLine(Qt::Key_Down);
    user.pressInCommandLine(Qt::Key_Down);
    QCOMPARE(user.commandLineText(), QStringLiteral("half"));
    user.pressInCommandLine(Qt::Key_Escape);
    QVERIFY(user.commandLineText().isEmpty());

    // Text goes as Latin-1: a character beyond it is not sent as some other byte.
    user.enterCommand(QString::fromUtf8("5\xe2\x82\xac"));
    QCOMPARE(user.status(), QString::fromUtf8("Not sent: \"\xe2\x82\xac\" (U+20AC, character 2) "
                                              "is not a Latin-1 character"));
    QVERIFY(user.deviceReceivedSoFar().isEmpty());
    user.pressInCommandLine(Qt::Key_Escape);
    user.enterCommand(QString::fromUtf8("caf\xc3\xa9"));
    QCOMPARE(user.deviceReceivedSoFar(), QByteArray("caf\xe9\r\n"));

    // With no device, Enter keeps the line and says why it did not send it.
    user.unplug();
    user.enterCommand(QStringLiteral("ATZ"));
    QCOMPARE(user.status(), QStringLiteral("Not sent: no Tarquel device is connected."));
    QCOMPARE(user.commandLineText(), QStringLiteral("ATZ"));
    QVERIFY(user.plugIn());
    user.enterCommand(QString());
    QCOMPARE(user.deviceReceivedSoFar(), QByteArray("ATZ\r\n"));

    // Shown, its line end and what was sent come back with the next start.
    QVERIFY(user.restart());
    QVERIFY(user.commandLineHasFocus());
    user.pressInCommandLine(Qt::Key_Up);
    QCOMPARE(user.commandLineText(), QStringLiteral("ATZ"));
    user.pressInCommandLine(Qt::Key_Up);
    QCOMPARE(user.commandLineText(), QString::fromUtf8("caf\xc3\xa9"));
    user.enterCommand(QString());
    QCOMPARE(user.deviceReceivedSoFar(), QByteArray("caf\xe9\r\n"));
    user.setCommandLine(false);
    QVERIFY(user.viewHasFocus());
    QVERIFY(user.textShown().isEmpty());
}

// Hex: pairs of digits, blanks between them or none, sent exactly and with no line end; a line
// that is not whole bytes is not sent, and the line and the status bar say where it goes wrong.
void TestSending::hexCommandSendsExactBytes()
{
    TerminalUser user;
    QVERIFY(user.isConnected());
    user.setCommandLine(true);
    user.setLineEnd(QStringLiteral("CR LF"));
    user.setCommandMode(QStringLiteral("Hex"));
    user.enterCommand(QStringLiteral(" 00 0D7f  80 fF "));
    QCOMPARE(user.deviceReceivedSoFar(), QByteArray("\x00\x0d\x7f\x80\xff", 5));

    user.enterCommand(QStringLiteral("41 5G 0D"));
    QCOMPARE(user.status(), QStringLiteral("Not sent: \"5G\" at character 4 is not a hex byte"));
    QVERIFY(user.commandLineShownWrong());
    QCOMPARE(user.commandLineToolTip(),
             QStringLiteral("Character 5, \"G\", is not a hex digit (0-9, A-F)"));
    QCOMPARE(user.commandLineText(), QStringLiteral("41 5G 0D"));
    QVERIFY(user.deviceReceivedSoFar().isEmpty());
    user.pressInCommandLine(Qt::Key_Escape);
    QVERIFY(!user.commandLineShownWrong());
}

// A paste of three lines with a line delay arrives with a gap of at least that delay after each
// line end; Clear Screen ends a long wait at once, and a key typed meanwhile still goes.
void TestSending::lineDelayGapsThePastedLines()
{
    TerminalUser user;
    QVERIFY(user.isConnected());
    const int lineDelay = 150;
    user.setLineDelay(lineDelay);
    user.paste(QStringLiteral("one\ntwo\r\nend"));
    const QList<TerminalUser::Arrival> arrivals = user.deviceArrivals(12);
    QByteArray received;
    for (const TerminalUser::Arrival &arrival : arrivals)
        received += arrival.byte;
    QCOMPARE(received, QByteArray("one\ntwo\r\nend"));
    for (const int lineEnd : {3, 8}) {
        const qint64 gap = arrivals.at(lineEnd + 1).by - arrivals.at(lineEnd).after;
        QVERIFY2(gap >= lineDelay,
                 qPrintable(QStringLiteral("%1 ms after byte %2").arg(gap).arg(lineEnd)));
    }

    user.setLineDelay(10000);
    user.paste(QStringLiteral("one\ntwo"));
    QCOMPARE(user.deviceReceived(4), QByteArray("one\n"));
    user.type(QStringLiteral("k"));
    user.clearScreen();
    QCOMPARE(user.deviceReceivedSoFar(), QByteArray("k"));
}

// With "Wait the whole delay after each character", a function key's characters arrive at least
// the write delay apart.
void TestSending::wholeDelayPacesAFunctionKey()
{
    TerminalUser user;
    QVERIFY(user.isConnected());
    const int delay = 60;
    user.bind(1, QStringLiteral("ABCD"), false, delay);
    user.setWholeDelayPace(true);
    user.pressKey(Qt::Key_F1);
    const QList<TerminalUser::Arrival> arrivals = user.deviceArrivals(4);
    QCOMPARE(arrivals.size(), 4);
    for (int i = 1; i < arrivals.size(); ++i) {
        const qint64 gap = arrivals.at(i).by - arrivals.at(i - 1).after;
        QVERIFY2(gap >= delay, qPrintable(QStringLiteral("%1 ms before byte %2").arg(gap).arg(i)));
    }
}

QTEST_MAIN(TestSending)
#include "tst_sending.moc"
