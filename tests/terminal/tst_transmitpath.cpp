#include "app/programtitle.h"
#include "app/vantorterm.h"
#include "fkeys/functiondlg.h"
#include "terminal/hexview.h"
#include "terminal/ostraview.h"

#include "devsim/connectedwindow.h"
#include "support/simulateddevice.h"
#include "support/testenvironment.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QSettings>
#include <QSpinBox>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QToolButton>
#include <QtTest>

#include <memory>

namespace {

const QString writeLine = QStringLiteral("SerialPort writeData() : [");
const QString notFound = QStringLiteral("the Tarquel Device was not found.");
const QString untouched = QStringLiteral("status before the key");

// Hangs the device up from inside the program's own debug output, once the program has logged
// a given number of writes: the only moment that lies inside a paste, which runs without
// returning to the event loop.
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

private:
    // A new window connected to the device, its status line then marked untouched.
    void connectWindow();
    void bindFunctionKeys(const QList<QPair<QString, bool>> &bindings, int delay);
    // Sends a sentinel key and returns everything the device received up to and including it,
    // so that "nothing was sent" is seen without waiting for a time-out.
    QByteArray receivedUpToSentinel();
    // What the text view shows, everything received inserted.
    QString shown() const;

    TestEnvironment m_environment;
    std::unique_ptr<SimulatedDevice> m_device;
    std::unique_ptr<ConnectedWindow> m_terminal;
    VantorTerm *m_window = nullptr;
    OstraView *m_view = nullptr;
};

QString TestTransmitPath::shown() const
{
    m_view->showAllReceived();
    return m_view->screen().text();
}

void TestTransmitPath::init()
{
    m_environment.clearSettings();
    m_device = std::make_unique<SimulatedDevice>();
    QVERIFY(m_device->isValid());
    connectWindow();
}

void TestTransmitPath::cleanup()
{
    m_terminal.reset();
    m_device.reset();
}

void TestTransmitPath::connectWindow()
{
    m_terminal = std::make_unique<ConnectedWindow>(m_device->portName());
    m_window = &m_terminal->window;
    m_view = m_terminal->view();
    QVERIFY(m_terminal->connectDevice());
    m_window->showStatus(untouched);
}

void TestTransmitPath::bindFunctionKeys(const QList<QPair<QString, bool>> &bindings, int delay)
{
    m_window->findChild<QAction *>("actionFunction_Settings")->trigger();
    FunctionDlg *dialog = nullptr;
    for (FunctionDlg *candidate : m_window->findChildren<FunctionDlg *>())
        dialog = candidate->isVisible() ? candidate : dialog;
    QVERIFY(dialog);
    for (int i = 0; i < bindings.size(); ++i) {
        functionKeyEdit(dialog, i)->setText(bindings.at(i).first);
        lineFeedBox(dialog, i)->setChecked(bindings.at(i).second);
    }
    delayBox(dialog)->setValue(delay);
    auto box = dialog->findChild<QDialogButtonBox *>("buttonBox");
    QTest::mouseClick(box->button(QDialogButtonBox::Ok), Qt::LeftButton);
    m_window->showStatus(untouched);
}

QByteArray TestTransmitPath::receivedUpToSentinel()
{
    QTest::keyClick(m_view, Qt::Key_Z);
    QByteArray received;
    QDeadlineTimer deadline(5000);
    while (!received.endsWith('z') && !deadline.hasExpired())
        received += m_device->read(1, 100);
    return received;
}

void TestTransmitPath::endToEndExample()
{
    DebugLog log;
    QVERIFY(m_device->send(QByteArray("\x4F\x4B\x0D\x0A")));
    auto hex = m_window->findChild<HexView *>();
    QTRY_COMPARE(hex->data(), QByteArray("OK\r\n"));
    QCOMPARE(shown(), QString("OK\n"));
    QVERIFY(log.contains("VantorTerm::readComm() : "));

    bindFunctionKeys({{"AT", true}}, 5);
    QCOMPARE(m_window->functionKeys().at(0).text, QString("AT\r\n"));
    log.clear();
    QTest::keyClick(m_view, Qt::Key_F1);
    QCOMPARE(m_device->read(4), QByteArray("\x41\x54\x0D\x0A"));
    QVERIFY(log.contains("keycode 0x1000030 delay 5"));
    QCOMPARE(log.count(writeLine), 4);
    // No local echo: the screen still shows only what the device sent.
    QCOMPARE(shown(), QString("OK\n"));
    QCOMPARE(m_window->statusBar()->currentMessage(), untouched);
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
    QTest::sendKeyEvent(QTest::Click, m_view, Qt::Key(key), text, Qt::NoModifier);
    QCOMPARE(log.count(writeLine), 1);
    QCOMPARE(m_device->read(expected.size()), expected);
    QCOMPARE(receivedUpToSentinel(), QByteArray("z"));
    QVERIFY(!log.contains("keycode"));
    QCOMPARE(m_window->statusBar()->currentMessage(), untouched);
    QVERIFY(shown().isEmpty());
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
    QTest::sendKeyEvent(QTest::Click, m_view, Qt::Key(key), QString(),
                        Qt::KeyboardModifiers(modifiers));
    QCOMPARE(log.count(writeLine), 0);
    QVERIFY(!log.contains("keycode"));
    QCOMPARE(m_window->statusBar()->currentMessage(), untouched);
    QCOMPARE(receivedUpToSentinel(), QByteArray("z"));
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
    QApplication::clipboard()->setText(text);
    m_view->paste();
    QCOMPARE(m_device->read(expected.size()), expected);
    QCOMPARE(receivedUpToSentinel(), QByteArray("z"));
    QCOMPARE(log.count(writeLine), text.size() + 1);
    QCOMPARE(m_window->statusBar()->currentMessage(), untouched);
    QVERIFY(shown().isEmpty());

    // A keyboard that really has an F35 key sends its text the same way.
    log.clear();
    QTest::sendKeyEvent(QTest::Click, m_view, Qt::Key_F35, text, Qt::NoModifier);
    QCOMPARE(m_device->read(expected.size()), expected);
    QCOMPARE(log.count(writeLine), text.size());
}

void TestTransmitPath::emptyPasteSendsNothing()
{
    DebugLog log;
    QVERIFY(QMetaObject::invokeMethod(m_window, "keyInput", Q_ARG(int, Qt::Key_F35),
                                      Q_ARG(QString, QString())));
    QCOMPARE(log.count(writeLine), 0);
    QCOMPARE(m_window->statusBar()->currentMessage(), untouched);
    QCOMPARE(receivedUpToSentinel(), QByteArray("z"));
}

void TestTransmitPath::functionKeyIgnoresTheEventText()
{
    bindFunctionKeys({{}, {}, {}, {}, {}, {}, {}, {}, {}, {}, {}, {"ATZ", false}}, 5);
    DebugLog log;
    QTest::sendKeyEvent(QTest::Click, m_view, Qt::Key_F12, "text of the key", Qt::NoModifier);
    QVERIFY(log.contains("keycode 0x100003b delay 5"));
    // The key typed while the string goes out follows it.
    QCOMPARE(receivedUpToSentinel(), QByteArray("ATZz"));
    QCOMPARE(log.count(writeLine), 4);
}

void TestTransmitPath::emptyFunctionKeyOnlyLogs()
{
    bindFunctionKeys({{"AT", true}}, 12);
    DebugLog log;
    QTest::keyClick(m_view, Qt::Key_F3);
    QCOMPARE(log.count("keycode 0x1000032 delay 12"), 1);
    QCOMPARE(log.count(writeLine), 0);
    QCOMPARE(m_window->statusBar()->currentMessage(), untouched);
    QCOMPARE(receivedUpToSentinel(), QByteArray("z"));
}

void TestTransmitPath::functionKeysUseLastAppliedTableWhileDialogOpen()
{
    m_window->findChild<QAction *>("actionFunction_Settings")->trigger();
    auto dialog = m_window->findChild<FunctionDlg *>();
    QVERIFY(dialog && dialog->isVisible());
    functionKeyEdit(dialog, 1)->setText("ATI");
    lineFeedBox(dialog, 1)->setChecked(true);
    QTest::mouseClick(dialog->findChild<QPushButton *>("btnApply"), Qt::LeftButton);
    // Typed but not applied: F2 keeps sending what Apply put in.
    functionKeyEdit(dialog, 1)->setText("not applied");
    lineFeedBox(dialog, 1)->setChecked(false);

    QTest::keyClick(m_view, Qt::Key_F2);
    QCOMPARE(receivedUpToSentinel(), QByteArray("ATI\r\nz"));
    QVERIFY(dialog->isVisible());
}

void TestTransmitPath::zeroDelayStillPacesEachCharacter()
{
    bindFunctionKeys({{"AT", true}}, 0);
    QCOMPARE(m_window->delay(), 0);
    DebugLog log;
    QTest::keyClick(m_view, Qt::Key_F1);
    QVERIFY(log.contains("keycode 0x1000030 delay 0"));
    QApplication::clipboard()->setText("xy!");
    m_view->paste();
    QCOMPARE(receivedUpToSentinel(), QByteArray("AT\r\nxy!z"));
    QCOMPARE(log.count(writeLine), 8);
}

void TestTransmitPath::portVanishingMidPasteStopsThePaste()
{
    m_terminal->stopTicks();
    const QString text = QString(200, QLatin1Char('p'));
    DebugLog log;
    hangUpDevice = m_device.get();
    writesBeforeHangUp = 50;
    receivedBeforeHangUp.clear();
    chainedHandler = qInstallMessageHandler(hangUpDuringPaste);
    QApplication::clipboard()->setText(text);
    m_view->paste();
    // The send ends with the device, and the status bar says the device is gone: a send cut by
    // its loss is no write failure of the user's.
    QTRY_COMPARE(m_window->statusBar()->currentMessage(), notFound);
    QTest::qWait(50);
    QCOMPARE(m_window->statusBar()->currentMessage(), notFound);
    qInstallMessageHandler(chainedHandler);
    QVERIFY2(!hangUpDevice, "the paste never reached the hang-up");

    // What the device took before it went is the start of the paste (the 50th was still
    // waiting in the port's buffer), and nothing of the paste was handed over after the loss.
    QCOMPARE(receivedBeforeHangUp, QByteArray(49, 'p'));
    QVERIFY(log.count(writeLine) <= 51);
    QVERIFY(!m_window->findChild<QWidget *>("sendProgress")->isVisible());
}

// A stored delay below 0 must not turn the bounded wait into an endless one: with a device that
// takes nothing for a while, the paste still returns, and every byte follows once it reads.
void TestTransmitPath::negativeDelayNeverWaitsWithoutLimit()
{
    m_terminal.reset();
    QSettings("TarquelTerm", programTitle()).setValue("delay", "-1");
    connectWindow();
    QCOMPARE(m_window->delay(), -1);

    // Far more than the pseudo-terminal holds while the device is not reading.
    QString text;
    for (int i = 0; i < 200000; ++i)
        text.append(QChar('a' + i % 26));
    DebugLog log;
    QApplication::clipboard()->setText(text);
    m_view->paste();
    QCOMPARE(m_device->read(text.size(), 20000), text.toLatin1());
    QCOMPARE(log.count(writeLine), text.size());
    QCOMPARE(m_window->statusBar()->currentMessage(), untouched);
}

// A device that stops reading: a long paste goes out from the event loop, shows how far it has
// got, and stops on the stop button, on Clear Screen and on closing the window; keys typed
// meanwhile still go.
void TestTransmitPath::longSendToAStalledDevice()
{
    bindFunctionKeys({}, 10);
    // Far more than the pseudo-terminal holds while the device is not reading.
    const QString text(300000, QLatin1Char('p'));
    auto progress = m_window->findChild<QWidget *>("sendProgress");
    auto stop = m_window->findChild<QToolButton *>("stopSending");
    QVERIFY(progress && stop);

    QApplication::clipboard()->setText(text);
    m_view->paste();
    QTRY_VERIFY(progress->isVisible());
    const QString shown = progress->findChild<QLabel *>()->text();
    QVERIFY2(QRegularExpression("^sent [0-9]+ of 300000 bytes$").match(shown).hasMatch(),
             qPrintable(shown));
    QCOMPARE(m_window->statusBar()->currentMessage(), untouched);
    // A key typed meanwhile waits behind the paste; Stop drops the rest of the paste, not the
    // user's keystroke.
    QTest::keyClick(m_view, Qt::Key_K);
    QTest::mouseClick(stop, Qt::LeftButton);
    QVERIFY(!progress->isVisible());
    QByteArray received = receivedUpToSentinel();
    QVERIFY(received.size() < text.size());
    QCOMPARE(received, QByteArray(received.size() - 2, 'p') + "kz");

    // Clear Screen stops it the same way.
    m_view->paste();
    QTest::keyClick(m_view, Qt::Key_K);
    m_window->findChild<QAction *>("action_Clear_Screen")->trigger();
    received = receivedUpToSentinel();
    QVERIFY(received.size() < text.size());
    QCOMPARE(received, QByteArray(received.size() - 2, 'p') + "kz");

    // Closing in the middle of a send still stores the settings.
    m_view->paste();
    QVERIFY(m_window->close());
    QCOMPARE(QSettings("TarquelTerm", programTitle()).value("delay").toString(), QString("10"));
}

// A file goes out as its bytes (no conversion), paced like a paste: it can be stopped half way,
// and a key typed meanwhile follows. What is no regular readable file is refused with the cause.
void TestTransmitPath::sendFileGoesOutPacedAndStops()
{
    bindFunctionKeys({}, 1);
    QTemporaryDir folder;
    const auto writeFile = [&folder](const QString &name, const QByteArray &bytes) {
        QFile file(folder.filePath(name));
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size());
    };
    QByteArray bytes;
    for (int i = 0; i < 1000; ++i)
        bytes.append(char(i % 256));
    writeFile("small.bin", bytes);
    // Far more than the pseudo-terminal holds while the device is not reading.
    writeFile("large.bin", QByteArray(3000000, 'f'));
    QString chosen = folder.filePath("small.bin");
    m_window->setSendFileNamePrompt([&chosen](QWidget *) { return chosen; });
    auto sendFile = m_window->findChild<QAction *>("actionSend_File");
    QVERIFY(sendFile->isEnabled());

    DebugLog log;
    sendFile->trigger();
    QCOMPARE(m_device->read(bytes.size()), bytes);
    QCOMPARE(log.count(writeLine), bytes.size());

    chosen = folder.filePath("large.bin");
    sendFile->trigger();
    auto progress = m_window->findChild<QWidget *>("sendProgress");
    QTRY_VERIFY(progress->isVisible());
    QTest::keyClick(m_view, Qt::Key_K);
    QTest::mouseClick(m_window->findChild<QToolButton *>("stopSending"), Qt::LeftButton);
    const QByteArray received = receivedUpToSentinel();
    QVERIFY(received.size() < 3000000);
    QCOMPARE(received, QByteArray(received.size() - 2, 'f') + "kz");
    QCOMPARE(m_window->statusBar()->currentMessage(), untouched);

    QString refused;
    for (const QString &name : {QStringLiteral("missing.bin"), QString()}) {
        chosen = folder.filePath(name);
        whenDialogOpens<QMessageBox>([&refused](QMessageBox *box) {
            refused = box->text();
            box->accept();
        });
        sendFile->trigger();
        QVERIFY2(refused.startsWith("Can't send " + chosen + ": "), qPrintable(refused));
    }
    QCOMPARE(receivedUpToSentinel(), QByteArray("z"));
}

QTEST_MAIN(TestTransmitPath)
#include "tst_transmitpath.moc"
