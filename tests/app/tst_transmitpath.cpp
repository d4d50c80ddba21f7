#include "app/programtitle.h"
#include "app/vantorterm.h"
#include "fkeys/functiondlg.h"
#include "link/portfailure.h"
#include "support/terminaluser.h"
#include "support/testenvironment.h"

#include <QDialogButtonBox>
#include <QLineEdit>
#include <QPushButton>
#include <QSettings>
#include <QtTest>

#include <cerrno>
#include <csignal>
#include <memory>

namespace {

const QString writeLine = QStringLiteral("SerialPort writeData() : [");
const QString untouched = QStringLiteral("status before the key");

// Hangs the device up from inside the program's own debug output, once the program has logged
// a given number of writes: a moment inside a paste that only the program itself reaches.
SimulatedDevice *hangUpDevice = nullptr;
int writesBeforeHangUp = 0;
QByteArray receivedBeforeHangUp;
QtMessageHandler chainedHandler = nullptr;

void hangUpDuringPaste(QtMsgType type, const QMessageLogContext &context, const QString &message)
{
    if (hangUpDevice && message.contains(writeLine) && --writesBeforeHangUp == 0) {
        receivedBeforeHangUp = hangUpDevice->readAvailable();
        hangUpDevice->hangUp();
        hangUpDevice = nullptr;
    }
    chainedHandler(type, context, message);
}

} // namespace

// What the user types, pastes or binds to F1-F12 reaching a simulated device through the real
// main window, byte for byte and write for write.
class TestTransmitPath : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void endToEndExample();
    void typedKeySendsItsTextInOneWrite_data();
    void typedKeySendsItsTextInOneWrite();
    void keyWithoutTextSendsNothing_data();
    void keyWithoutTextSendsNothing();
    void pasteSendsOneWritePerCharacter_data();
    void pasteSendsOneWritePerCharacter();
    void emptyPasteSendsNothing();
    void functionKeyIgnoresTheEventText();
    void emptyFunctionKeyOnlyLogs();
    void functionKeysUseLastAppliedTableWhileDialogOpen();
    void zeroDelayStillPacesEachCharacter();
    void portVanishingMidPasteStopsThePaste();
    void negativeDelayNeverWaitsWithoutLimit();
    void longSendToAStalledDevice();
    void sendFileGoesOutPacedAndStops();
    void portThatCannotWriteStopsTheSendAndSaysWhy();

private:
    // A terminal connected to the device, its status line then marked untouched.
    void start();

    TestEnvironment m_environment;
    std::unique_ptr<TerminalUser> m_user;
};

void TestTransmitPath::init()
{
    m_environment.clearSettings();
    m_user = std::make_unique<TerminalUser>();
    QVERIFY(m_user->isConnected());
    m_user->window().showStatus(untouched);
}

void TestTransmitPath::cleanup()
{
    m_user.reset();
}

void TestTransmitPath::endToEndExample()
{
    DebugLog log;
    QVERIFY(m_user->deviceSends(QByteArray("\x4F\x4B\x0D\x0A")));
    QCOMPARE(m_user->textShown(), QString("OK\n"));
    QVERIFY(log.contains("VantorTerm::readComm() : "));

    m_user->bind(1, "AT", true, 5);
    m_user->window().showStatus(untouched);
    QCOMPARE(m_user->window().functionKeys().at(0).text, QString("AT\r\n"));
    log.clear();
    m_user->pressKey(Qt::Key_F1);
    QCOMPARE(m_user->deviceReceived(4), QByteArray("\x41\x54\x0D\x0A"));
    QVERIFY(log.contains("keycode 0x1000030 delay 5"));
    QCOMPARE(log.count(writeLine), 4);
    // No local echo: the screen still shows only what the device sent.
    QCOMPARE(m_user->textShown(), QString("OK\n"));
    QCOMPARE(m_user->status(), untouched);
}

void TestTransmitPath::typedKeySendsItsTextInOneWrite_data()
{
    QTest::addColumn<int>("key");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QByteArray>("expected");

    QTest::newRow("letter") << int(Qt::Key_A) << "a" << QByteArray("a");
    QTest::newRow("shifted letter") << int(Qt::Key_A) << "A" << QByteArray("A");
    QTest::newRow("Enter") << int(Qt::Key_Return) << "\r" << QByteArray("\r");
    QTest::newRow("Backspace") << int(Qt::Key_Backspace) << "\b" << QByteArray("\b");
    QTest::newRow("Tab") << int(Qt::Key_Tab) << "\t" << QByteArray("\t");
    QTest::newRow("Ctrl+C") << int(Qt::Key_C) << "\x03" << QByteArray("\x03");
    QTest::newRow("Escape") << int(Qt::Key_Escape) << "\x1b" << QByteArray("\x1b");
    QTest::newRow("e acute") << int(Qt::Key_Eacute) << QString(QChar(0xE9)) << QByteArray("\xE9");
    QTest::newRow("euro sign") << int(Qt::Key_unknown) << QString(QChar(0x20AC))
                               << QByteArray("\x3F");
    QTest::newRow("input method text")
        << int(Qt::Key_unknown) << QString::fromUtf8("ab\xC3\xA9\xE2\x82\xAC")
        << QByteArray("ab\xE9?");
    // A keyboard's F13 and up have no text; one that comes with text sends it like any key.
    QTest::newRow("F13 with text") << int(Qt::Key_F13) << "x" << QByteArray("x");
}

void TestTransmitPath::typedKeySendsItsTextInOneWrite()
{
    QFETCH(int, key);
    QFETCH(QString, text);
    QFETCH(QByteArray, expected);

    DebugLog log;
    m_user->pressKey(key, text);
    QCOMPARE(log.count(writeLine), 1);
    QCOMPARE(m_user->deviceReceivedSoFar(), expected);
    QVERIFY(!log.contains("keycode"));
    QCOMPARE(m_user->status(), untouched);
    QVERIFY(m_user->textShown().isEmpty());
}

void TestTransmitPath::keyWithoutTextSendsNothing_data()
{
    QTest::addColumn<int>("key");
    QTest::addColumn<int>("modifiers");

    QTest::newRow("Shift") << int(Qt::Key_Shift) << int(Qt::ShiftModifier);
    QTest::newRow("Control") << int(Qt::Key_Control) << int(Qt::ControlModifier);
    QTest::newRow("Left") << int(Qt::Key_Left) << int(Qt::NoModifier);
    QTest::newRow("Up") << int(Qt::Key_Up) << int(Qt::NoModifier);
    QTest::newRow("Home") << int(Qt::Key_Home) << int(Qt::NoModifier);
    QTest::newRow("End") << int(Qt::Key_End) << int(Qt::NoModifier);
    QTest::newRow("Page Down") << int(Qt::Key_PageDown) << int(Qt::NoModifier);
    QTest::newRow("F13") << int(Qt::Key_F13) << int(Qt::NoModifier);
    QTest::newRow("F34") << int(Qt::Key_F34) << int(Qt::NoModifier);
}

void TestTransmitPath::keyWithoutTextSendsNothing()
{
    QFETCH(int, key);
    QFETCH(int, modifiers);

    DebugLog log;
    m_user->pressKey(key, QString(), Qt::KeyboardModifiers(modifiers));
    QCOMPARE(log.count(writeLine), 0);
    QVERIFY(!log.contains("keycode"));
    QCOMPARE(m_user->status(), untouched);
    QCOMPARE(m_user->deviceReceivedSoFar(), QByteArray());
}

void TestTransmitPath::pasteSendsOneWritePerCharacter_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QByteArray>("expected");

    QTest::newRow("one word") << "hello" << QByteArray("hello");
    QTest::newRow("line breaks unchanged")
        << "line 1\nline 2\r\nline 3\rend" << QByteArray("line 1\nline 2\r\nline 3\rend");
    QTest::newRow("Latin-1 as its values")
        << QString::fromLatin1("caf\xE9\xFF") << QByteArray("caf\xE9\xFF");
    QTest::newRow("euro sign as NUL") << QString(QChar(0x20AC)) << QByteArray(1, '\0');
    QTest::newRow("NUL in the middle") << QString::fromUtf8("a\xE2\x82\xAC"
                                                            "b")
                                       << QByteArray("a\0b", 3);
}

void TestTransmitPath::pasteSendsOneWritePerCharacter()
{
    QFETCH(QString, text);
    QFETCH(QByteArray, expected);

    DebugLog log;
    m_user->paste(text);
    QCOMPARE(m_user->deviceReceivedSoFar(), expected);
    QCOMPARE(log.count(writeLine), text.size() + 1);
    QCOMPARE(m_user->status(), untouched);
    QVERIFY(m_user->textShown().isEmpty());

    // A keyboard that really has an F35 key sends its text the same way.
    log.clear();
    m_user->pressKey(Qt::Key_F35, text);
    QCOMPARE(m_user->deviceReceived(expected.size()), expected);
    QCOMPARE(log.count(writeLine), text.size());
}

void TestTransmitPath::emptyPasteSendsNothing()
{
    DebugLog log;
    m_user->paste(QString());
    QCOMPARE(log.count(writeLine), 0);
    QCOMPARE(m_user->status(), untouched);
    QCOMPARE(m_user->deviceReceivedSoFar(), QByteArray());
}

void TestTransmitPath::functionKeyIgnoresTheEventText()
{
    m_user->bind(12, "ATZ", false, 5);
    DebugLog log;
    m_user->pressKey(Qt::Key_F12, "text of the key");
    QVERIFY(log.contains("keycode 0x100003b delay 5"));
    // The key typed while the string goes out follows it.
    QCOMPARE(m_user->deviceReceivedSoFar(), QByteArray("ATZ"));
    QCOMPARE(log.count(writeLine), 4);
}

void TestTransmitPath::emptyFunctionKeyOnlyLogs()
{
    m_user->bind(1, "AT", true, 12);
    m_user->window().showStatus(untouched);
    DebugLog log;
    m_user->pressKey(Qt::Key_F3);
    QCOMPARE(log.count("keycode 0x1000032 delay 12"), 1);
    QCOMPARE(log.count(writeLine), 0);
    QCOMPARE(m_user->status(), untouched);
    QCOMPARE(m_user->deviceReceivedSoFar(), QByteArray());
}

void TestTransmitPath::functionKeysUseLastAppliedTableWhileDialogOpen()
{
    QVERIFY(QMetaObject::invokeMethod(&m_user->window(), "functionSetting"));
    auto dialog = m_user->window().findChild<FunctionDlg *>();
    QVERIFY(dialog && dialog->isVisible());
    functionKeyEdit(dialog, 1)->setText("ATI");
    lineFeedBox(dialog, 1)->setChecked(true);
    QTest::mouseClick(dialog->findChild<QPushButton *>("btnApply"), Qt::LeftButton);
    // Typed but not applied: F2 keeps sending what Apply put in.
    functionKeyEdit(dialog, 1)->setText("not applied");
    lineFeedBox(dialog, 1)->setChecked(false);

    m_user->pressKey(Qt::Key_F2);
    QCOMPARE(m_user->deviceReceivedSoFar(), QByteArray("ATI\r\n"));
    QVERIFY(dialog->isVisible());
}

void TestTransmitPath::zeroDelayStillPacesEachCharacter()
{
    m_user->bind(1, "AT", true, 0);
    QCOMPARE(m_user->window().delay(), 0);
    DebugLog log;
    m_user->pressKey(Qt::Key_F1);
    QVERIFY(log.contains("keycode 0x1000030 delay 0"));
    m_user->paste("xy!");
    QCOMPARE(m_user->deviceReceivedSoFar(), QByteArray("AT\r\nxy!"));
    QCOMPARE(log.count(writeLine), 8);
}

void TestTransmitPath::portVanishingMidPasteStopsThePaste()
{
    DebugLog log;
    hangUpDevice = &m_user->device();
    writesBeforeHangUp = 50;
    receivedBeforeHangUp.clear();
    chainedHandler = qInstallMessageHandler(hangUpDuringPaste);
    m_user->paste(QString(200, QLatin1Char('p')));
    // The send ends with the device, and the status bar says the device is gone: a send cut by
    // its loss is no write failure of the user's.
    const QString notFound = QStringLiteral("the Tarquel Device was not found.");
    QTRY_COMPARE(m_user->status(), notFound);
    QTest::qWait(50);
    QCOMPARE(m_user->status(), notFound);
    qInstallMessageHandler(chainedHandler);
    QVERIFY2(!hangUpDevice, "the paste never reached the hang-up");

    // What the device took before it went is the start of the paste (the 50th was still
    // waiting in the port's buffer), and nothing of the paste was handed over after the loss.
    QCOMPARE(receivedBeforeHangUp, QByteArray(49, 'p'));
    QVERIFY(log.count(writeLine) <= 51);
    QVERIFY(!m_user->sendProgressShown());
}

// A stored delay below 0 must not turn the bounded wait into an endless one: with a device that
// takes nothing for a while, the paste still returns, and every byte follows once it reads.
void TestTransmitPath::negativeDelayNeverWaitsWithoutLimit()
{
    m_user->quit();
    QSettings("TarquelTerm", programTitle()).setValue("delay", "-1");
    QVERIFY(m_user->start());
    QCOMPARE(m_user->window().delay(), -1);
    m_user->window().showStatus(untouched);

    // Far more than the pseudo-terminal holds while the device is not reading.
    QString text;
    for (int i = 0; i < 200000; ++i)
        text.append(QChar('a' + i % 26));
    DebugLog log;
    m_user->paste(text);
    QCOMPARE(m_user->deviceReceived(text.size(), 20000), text.toLatin1());
    QCOMPARE(log.count(writeLine), text.size());
    QCOMPARE(m_user->status(), untouched);
}

// A device that stops reading: a long paste goes out from the event loop, shows how far it has
// got, and stops on the stop button, on Clear Screen and on closing the window; keys typed
// meanwhile still go.
void TestTransmitPath::longSendToAStalledDevice()
{
    m_user->setDelay(10);
    m_user->window().showStatus(untouched);
    // Far more than the pseudo-terminal holds while the device is not reading.
    const QString text(300000, QLatin1Char('p'));

    m_user->paste(text);
    QTRY_VERIFY(m_user->sendProgressShown());
    const QString shown = m_user->sendProgressText();
    QVERIFY2(QRegularExpression("^sent [0-9]+ of 300000 bytes$").match(shown).hasMatch(),
             qPrintable(shown));
    QCOMPARE(m_user->status(), untouched);
    // A key typed meanwhile waits behind the paste; Stop drops the rest of the paste, not the
    // user's keystroke.
    m_user->type("k");
    QVERIFY(m_user->stopSending());
    QVERIFY(!m_user->sendProgressShown());
    QByteArray received = m_user->deviceReceivedSoFar();
    QVERIFY(received.size() < text.size());
    QCOMPARE(received, QByteArray(received.size() - 1, 'p') + "k");

    // Clear Screen stops it the same way.
    m_user->paste(text);
    m_user->type("k");
    m_user->clearScreen();
    received = m_user->deviceReceivedSoFar();
    QVERIFY(received.size() < text.size());
    QCOMPARE(received, QByteArray(received.size() - 1, 'p') + "k");

    // Closing in the middle of a send still stores the settings.
    m_user->paste(text);
    m_user->quit();
    QCOMPARE(QSettings("TarquelTerm", programTitle()).value("delay").toString(), QString("10"));
}

// A file goes out as its bytes (no conversion), paced like a paste: it can be stopped half way,
// and a key typed meanwhile follows. What is no regular readable file is refused with the cause.
void TestTransmitPath::sendFileGoesOutPacedAndStops()
{
    m_user->setDelay(1);
    m_user->window().showStatus(untouched);
    const auto writeFile = [this](const QString &name, const QByteArray &bytes) {
        QFile file(m_user->filePath(name));
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size());
    };
    QByteArray bytes;
    for (int i = 0; i < 1000; ++i)
        bytes.append(char(i % 256));
    writeFile("small.bin", bytes);
    // Far more than the pseudo-terminal holds while the device is not reading.
    writeFile("large.bin", QByteArray(3000000, 'f'));

    DebugLog log;
    QCOMPARE(m_user->sendFile(m_user->filePath("small.bin")), QString());
    QCOMPARE(m_user->deviceReceived(bytes.size()), bytes);
    QCOMPARE(log.count(writeLine), bytes.size());

    QCOMPARE(m_user->sendFile(m_user->filePath("large.bin")), QString());
    QTRY_VERIFY(m_user->sendProgressShown());
    m_user->type("k");
    QVERIFY(m_user->stopSending());
    const QByteArray received = m_user->deviceReceivedSoFar();
    QVERIFY(received.size() < 3000000);
    QCOMPARE(received, QByteArray(received.size() - 1, 'f') + "k");
    QCOMPARE(m_user->status(), untouched);

    const QString missing = m_user->filePath("missing.bin");
    QCOMPARE(m_user->sendFile(missing), "Can't send " + missing + ": " + qt_error_string(ENOENT));
    const QString folder = m_user->filePath(QString());
    QCOMPARE(m_user->sendFile(folder), "Can't send " + folder + ": not a regular file");
    QCOMPARE(m_user->deviceReceivedSoFar(), QByteArray());
}

// A port that takes bytes but cannot write them (behind it, a socket whose reader has gone) stops
// the paste under way and says why, instead of holding what it was given for good.
void TestTransmitPath::portThatCannotWriteStopsTheSendAndSaysWhy()
{
    const auto previousHandler = std::signal(SIGPIPE, SIG_IGN);
    const QList<int> descriptors = descriptorsOpenOn(m_user->device().portName());
    QVERIFY(!descriptors.isEmpty());
    QVERIFY(replaceWithBrokenPipe(descriptors.last()));
    m_user->paste(QString(5000, QLatin1Char('p')));
    QTRY_COMPARE(m_user->status(), "Can't write through the serial port. ("
                                       + m_user->device().portName() + ": " + qt_error_string(EPIPE)
                                       + ")");
    QTRY_VERIFY(!m_user->sendProgressShown());
    QVERIFY(m_user->isConnected());
    std::signal(SIGPIPE, previousHandler);
}

QTEST_MAIN(TestTransmitPath)
#include "tst_transmitpath.moc"
