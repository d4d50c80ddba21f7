// Connection supervision through the real main window and a simulated device: the messages the
// user sees, the state of the views, and what happens when the port dies while it is open. The
// rules themselves, one row per transition, are in tst_connectionrules.

#include "devsim/connectedwindow.h"
#include "portfailure.h"
#include "support/simulateddevice.h"
#include "support/testenvironment.h"
#include "terminal/hexview.h"
#include "terminal/ostraview.h"

#include <QAction>
#include <QGroupBox>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

#include <unistd.h>

namespace {

const QString notFound = QStringLiteral("the Tarquel Device was not found.");

QString foundMessage(const QString &port)
{
    return QStringLiteral("the Tarquel Device was found. [%1]").arg(port);
}

// The shared connected window, its own tick stopped so that the test alone decides when one
// happens, with what these tests read of it.
class Window : public ConnectedWindow
{
public:
    Window() { stopTicks(); }

    // Shown and active, so that the text view can take the keyboard focus.
    bool showActive()
    {
        window.show();
        return QTest::qWaitForWindowActive(&window);
    }

    QString status() const { return window.statusBar()->currentMessage(); }

    // Empty when the views are in the disconnected state, else what is wrong.
    QString disconnectedProblem() const
    {
        QStringList problems;
        if (!view()->toPlainText().isEmpty())
            problems << QStringLiteral("text view not cleared");
        if (!hexView()->data().isEmpty())
            problems << QStringLiteral("hex view not emptied");
        if (view()->isEnabled() || hexView()->isEnabled())
            problems << QStringLiteral("a view is enabled");
        if (view()->isVisible() || hexView()->isVisible())
            problems << QStringLiteral("a view is shown");
        return problems.join(QStringLiteral(", "));
    }

    // Empty when the views are in the freshly connected state, else what is wrong.
    QString connectedProblem() const
    {
        QStringList problems;
        if (!view()->toPlainText().isEmpty())
            problems << QStringLiteral("text view not cleared");
        if (!hexView()->data().isEmpty())
            problems << QStringLiteral("hex view not emptied");
        if (!view()->isEnabled() || !hexView()->isEnabled())
            problems << QStringLiteral("a view is disabled");
        if (!view()->isVisible())
            problems << QStringLiteral("text view hidden");
        if (window.focusWidget() != view())
            problems << QStringLiteral("text view without focus");
        return problems.join(QStringLiteral(", "));
    }

    // Puts text into both views, to see whether the next tick clears or keeps it.
    void fillViews()
    {
        view()->setPlainText(QStringLiteral("stale"));
        hexView()->setData(QByteArray("stale"));
    }
};

} // namespace

// Tests of the once-a-second supervision that connects the main window to the device.
class TestConnection : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void timerDrivesSupervision();
    void deviceComesStaysGoesAndReturns();
    void portThatCannotBeOpened_data();
    void portThatCannotBeOpened();
    void portFailingWhileOpen_data();
    void portFailingWhileOpen();

private:
    TestEnvironment m_environment;
};

void TestConnection::init()
{
    m_environment.clearSettings();
}

void TestConnection::timerDrivesSupervision()
{
    SimulatedDevice device;
    QVERIFY(device.isValid());
    VantorTerm window;
    // Present from the start: the first tick of the window's own timer opens it.
    window.setPortFinder([&device] { return QStringList{device.portName()}; });
    window.show();

    QTimer *connectionTimer = nullptr;
    for (QTimer *timer : window.findChildren<QTimer *>(QString(), Qt::FindDirectChildrenOnly)) {
        if (timer->interval() == 1000)
            connectionTimer = timer;
    }
    QVERIFY(connectionTimer);
    QVERIFY(connectionTimer->isActive());
    QVERIFY(!connectionTimer->isSingleShot());

    QTRY_COMPARE_WITH_TIMEOUT(window.statusBar()->currentMessage(), foundMessage(device.portName()),
                              5000);
    QVERIFY(window.findChild<OstraView *>()->isEnabled());
}

void TestConnection::deviceComesStaysGoesAndReturns()
{
    SimulatedDevice device;
    SimulatedDevice other;
    QVERIFY(device.isValid() && other.isValid());
    DebugLog log;
    Window w;
    QVERIFY(w.showActive());

    // No device yet: the window starts disconnected and a tick says nothing.
    const QString startStatus = w.status();
    w.tick();
    QCOMPARE(w.status(), startStatus);
    QCOMPARE(log.count(QStringLiteral("the Tarquel Device")), 0);
    QVERIFY2(w.disconnectedProblem().isEmpty(), qPrintable(w.disconnectedProblem()));

    // Appears: the first listed is opened at the next tick, views cleared, enabled, shown and
    // focused; the hex pane, shown behind the mode's back, follows the mode (off).
    auto hexMode = w.window.findChild<QAction *>(QStringLiteral("actionHexa_Mode"));
    auto hexaGroup = w.window.findChild<QGroupBox *>(QStringLiteral("hexaGroup"));
    QVERIFY(hexMode && hexaGroup);
    hexaGroup->show();
    w.fillViews();
    w.ports = QStringList{device.portName(), other.portName()};
    w.tick();
    QCOMPARE(w.status(), foundMessage(device.portName()));
    QCOMPARE(log.count(foundMessage(device.portName())), 1);
    QVERIFY2(w.connectedProblem().isEmpty(), qPrintable(w.connectedProblem()));
    QVERIFY(w.view()->hasFocus());
    QVERIFY(!hexaGroup->isVisible());

    // The device's bytes reach the views.
    QVERIFY(device.send("hi"));
    QTRY_COMPARE(w.hexView()->data(), QByteArray("hi"));

    // Stays: nothing is repeated and the views keep what they show.
    w.window.showStatus(QStringLiteral("unrelated"));
    w.fillViews();
    w.tick();
    w.tick();
    QCOMPARE(w.status(), QStringLiteral("unrelated"));
    QCOMPARE(log.count(QStringLiteral("opening...")), 1);
    QCOMPARE(log.count(QStringLiteral("the Tarquel Device was")), 1);
    QCOMPARE(w.view()->toPlainText(), QStringLiteral("stale"));
    QCOMPARE(w.hexView()->data(), QByteArray("stale"));
    QVERIFY(w.view()->isEnabled());

    // Disappears, though the other device is still listed: the not-found message and the
    // disconnected views.
    w.ports = QStringList{other.portName()};
    w.tick();
    QCOMPARE(w.status(), notFound);
    QVERIFY(log.lines().contains(notFound));
    QVERIFY2(w.disconnectedProblem().isEmpty(), qPrintable(w.disconnectedProblem()));
    // The port was closed: what the device sends now goes nowhere.
    QVERIFY(device.send("lost"));
    QTest::qWait(50);
    QCOMPARE(w.hexView()->data(), QByteArray());

    // The other device gets its turn at the next tick.
    w.tick();
    QCOMPARE(w.status(), foundMessage(other.portName()));
    QVERIFY2(w.connectedProblem().isEmpty(), qPrintable(w.connectedProblem()));
    QVERIFY(other.send("2"));
    QTRY_COMPARE(w.hexView()->data(), QByteArray("2"));

    // Gone stays gone without a word.
    w.ports.clear();
    w.tick();
    QCOMPARE(w.status(), notFound);
    w.window.showStatus(QStringLiteral("unrelated"));
    const int logged = log.lines().size();
    w.tick();
    QCOMPARE(w.status(), QStringLiteral("unrelated"));
    QCOMPARE(log.lines().size(), logged);
    QVERIFY2(w.disconnectedProblem().isEmpty(), qPrintable(w.disconnectedProblem()));

    // Reappears: opened again, with empty views, and in hex mode with the hex pane.
    hexMode->setChecked(true);
    hexaGroup->hide();
    w.fillViews();
    w.ports = QStringList{device.portName()};
    w.tick();
    QCOMPARE(w.status(), foundMessage(device.portName()));
    QVERIFY2(w.connectedProblem().isEmpty(), qPrintable(w.connectedProblem()));
    QVERIFY(hexaGroup->isVisible() && w.hexView()->isVisible());
    QCOMPARE(log.count(foundMessage(device.portName())), 2);
}

void TestConnection::portThatCannotBeOpened_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("cause");
    QTest::newRow("missing device node") << "missing"
                                         << "No such file or directory";
    QTest::newRow("not a terminal") << "file"
                                    << "Inappropriate ioctl for device";
    QTest::newRow("no permission") << "forbidden"
                                   << "Permission denied";
}

void TestConnection::portThatCannotBeOpened()
{
    QFETCH(QString, kind);
    QFETCH(QString, cause);

    QTemporaryDir folder;
    QString port = folder.filePath(QStringLiteral("ttyACM0"));
    if (kind == "missing") {
        port = folder.filePath(QStringLiteral("gone/ttyACM0"));
    } else {
        if (kind == "forbidden" && geteuid() == 0)
            QSKIP("file permissions do not bind the superuser");
        QFile file(port);
        QVERIFY(file.open(QIODevice::WriteOnly));
        if (kind == "forbidden")
            QVERIFY(file.setPermissions(QFileDevice::Permissions()));
    }

    DebugLog log;
    Window w;
    QVERIFY(w.showActive());
    w.ports = QStringList{port};
    const QString message = notFound + QStringLiteral(" (%1: %2)").arg(port, cause);
    for (int attempt = 1; attempt <= 3; ++attempt) {
        w.window.showStatus(QStringLiteral("unrelated"));
        w.tick();
        QCOMPARE(w.status(), message);
        QCOMPARE(log.count(QStringLiteral("MainController serial port:[%1] opening...").arg(port)),
                 attempt);
        QCOMPARE(log.lines().count(QStringLiteral("exit")), attempt);
        QCOMPARE(log.lines().count(message), attempt);
        QVERIFY2(w.disconnectedProblem().isEmpty(), qPrintable(w.disconnectedProblem()));
    }
}

void TestConnection::portFailingWhileOpen_data()
{
    addPortFailureRows();
}

void TestConnection::portFailingWhileOpen()
{
    QFETCH(QString, failure);
    QFETCH(QString, reason);

    SimulatedDevice device;
    QVERIFY(device.isValid());
    DebugLog log;
    Window w;
    QVERIFY(w.showActive());
    const QList<int> before = descriptorsOpenOn(device.portName());
    w.ports = QStringList{device.portName()};
    w.tick();
    QCOMPARE(w.status(), foundMessage(device.portName()));
    QList<int> opened = descriptorsOpenOn(device.portName());
    for (int descriptor : before)
        opened.removeAll(descriptor);
    QCOMPARE(opened.size(), 1);

    // No tick runs: the port's own failure has to bring the window down.
    if (failure == "unplugged")
        device.hangUp();
    else
        QVERIFY(failure == "directory" ? replaceWithDirectory(opened.first())
                                       : replaceWithHungUpTerminal(opened.first()));
    QTRY_COMPARE(w.status(), notFound);
    QVERIFY2(w.disconnectedProblem().isEmpty(), qPrintable(w.disconnectedProblem()));
    // The log says what happened to the device, not a stale error of the library.
    const QString logged = notFound + QStringLiteral(" (%1: %2)").arg(device.portName(), reason);
    QVERIFY2(log.lines().contains(logged), qPrintable(log.lines().join('|')));

    const double cpu = cpuSecondsOver(1000);
    QVERIFY2(cpu < 0.3, qPrintable(QStringLiteral("%1 s of CPU in one second").arg(cpu)));

    // Still listed, so the next tick tries again: an unplugged device's node is gone with it
    // (as for a missing node above), anything else is opened again.
    w.fillViews();
    w.tick();
    QCOMPARE(log.count(QStringLiteral("opening...")), 2);
    if (failure == "unplugged")
        return;
    QCOMPARE(w.status(), foundMessage(device.portName()));
    QVERIFY2(w.connectedProblem().isEmpty(), qPrintable(w.connectedProblem()));
    QVERIFY(device.send("back"));
    QTRY_COMPARE(w.hexView()->data(), QByteArray("back"));
}

QTEST_MAIN(TestConnection)
#include "tst_connection.moc"
