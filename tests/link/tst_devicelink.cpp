// The device link on a simulated device, without a window: what it opens, reports and loses,
// and how it sends. The rules themselves, one row per transition, are in tst_connectionrules.

#include "link/devicelink.h"
#include "portfailure.h"
#include "support/simulateddevice.h"
#include "support/testenvironment.h"

#include <QSignalSpy>
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

// A link whose discovery lists what the test says, with its events as readable lines.
struct Link
{
    Link()
    {
        link.setPortFinder([this] { return ports; });
        QObject::connect(&link, &DeviceLink::connected,
                         [this](const QString &port) { events << "connected " + port; });
        QObject::connect(&link, &DeviceLink::openFailed,
                         [this](const QString &port, const QString &cause) {
                             events << "open failed " + port + ": " + cause;
                         });
        QObject::connect(&link, &DeviceLink::portClosed,
                         [this](const QString &port, const QString &reason) {
                             events << "disconnected " + port + ": " + reason;
                         });
        QObject::connect(&link, &DeviceLink::deviceGone, [this] { events << "gone"; });
        QObject::connect(&link, &DeviceLink::bytesReceived,
                         [this](const QByteArray &batch) { received += batch; });
    }

    QStringList takeEvents() { return std::exchange(events, {}); }

    DeviceLink link;
    QStringList ports;
    QStringList events;
    QByteArray received;
};

} // namespace

class TestDeviceLink : public QObject
{
    Q_OBJECT

private slots:
    void timerDrivesSupervision();
    void deviceComesStaysGoesAndReturns();
    void portThatCannotBeOpened_data();
    void portThatCannotBeOpened();
    void portFailingWhileOpen_data();
    void portFailingWhileOpen();
    void sendsInOrderAndStopsAtOnce();
};

void TestDeviceLink::timerDrivesSupervision()
{
    SimulatedDevice device;
    QVERIFY(device.isValid());
    Link l;
    // Present from the start: the first tick of the link's own timer opens it.
    l.ports = QStringList{device.portName()};
    l.link.start();
    auto timer = l.link.findChild<QTimer *>();
    QVERIFY(timer && timer->isActive() && !timer->isSingleShot());
    QCOMPARE(timer->interval(), 1000);
    QVERIFY(l.events.isEmpty());
    QTRY_COMPARE_WITH_TIMEOUT(l.events, QStringList{"connected " + device.portName()}, 5000);
    QVERIFY(l.link.isConnected());

    l.link.stop();
    QVERIFY(!timer->isActive());
    QVERIFY(!l.link.isConnected());
}

void TestDeviceLink::deviceComesStaysGoesAndReturns()
{
    SimulatedDevice device;
    SimulatedDevice other;
    QVERIFY(device.isValid() && other.isValid());
    DebugLog log;
    Link l;

    // No device yet: a tick says nothing.
    l.link.checkConnection();
    QVERIFY(l.events.isEmpty());
    QCOMPARE(log.count(QStringLiteral("the Tarquel Device")), 0);

    // Appears: the first listed is opened, and its bytes come through.
    l.ports = QStringList{device.portName(), other.portName()};
    l.link.checkConnection();
    QCOMPARE(l.takeEvents(), QStringList{"connected " + device.portName()});
    QCOMPARE(log.count(foundMessage(device.portName())), 1);
    QCOMPARE(l.link.portName(), device.portName());
    QVERIFY(device.send("hi"));
    QTRY_COMPARE(l.received, QByteArray("hi"));
    QVERIFY(log.lines().contains(QStringLiteral("VantorTerm::readComm() :  \"hi\"")));

    // Stays: nothing is repeated.
    l.link.checkConnection();
    l.link.checkConnection();
    QVERIFY(l.events.isEmpty());
    QCOMPARE(log.count(QStringLiteral("opening...")), 1);

    // Disappears, though the other device is still listed: the port is closed, and what the
    // device sends now goes nowhere.
    l.ports = QStringList{other.portName()};
    l.link.checkConnection();
    QCOMPARE(l.takeEvents(),
             QStringList({"disconnected " + device.portName() + ": the device went away", "gone"}));
    QVERIFY(log.lines().contains(notFound));
    QVERIFY(device.send("lost"));
    QTest::qWait(50);
    QCOMPARE(l.received, QByteArray("hi"));

    // The other device gets its turn at the next tick; gone, it stays gone without a word.
    l.link.checkConnection();
    QCOMPARE(l.takeEvents(), QStringList{"connected " + other.portName()});
    l.ports.clear();
    l.link.checkConnection();
    QCOMPARE(l.takeEvents().last(), QStringLiteral("gone"));
    const int logged = log.lines().size();
    l.link.checkConnection();
    QVERIFY(l.events.isEmpty());
    QCOMPARE(log.lines().size(), logged);

    // Closed by its owner: said so, without a word of a lost device, and opened again at the
    // next tick while it is listed.
    l.ports = QStringList{device.portName()};
    l.link.checkConnection();
    l.takeEvents();
    l.link.disconnectDevice();
    QCOMPARE(l.takeEvents(),
             QStringList{"disconnected " + device.portName() + ": the terminal closed the port"});
    QCOMPARE(log.lines().count(notFound), 2);
    l.link.checkConnection();
    QCOMPARE(l.takeEvents(), QStringList{"connected " + device.portName()});
}

void TestDeviceLink::portThatCannotBeOpened_data()
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

void TestDeviceLink::portThatCannotBeOpened()
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
    Link l;
    l.ports = QStringList{port};
    // Every tick tries again, and says so.
    const QString message = notFound + QStringLiteral(" (%1: %2)").arg(port, cause);
    for (int attempt = 1; attempt <= 3; ++attempt) {
        l.link.checkConnection();
        QCOMPARE(l.takeEvents(), QStringList{"open failed " + port + ": " + cause});
        QCOMPARE(log.count(QStringLiteral("MainController serial port:[%1] opening...").arg(port)),
                 attempt);
        QCOMPARE(log.lines().count(QStringLiteral("exit")), attempt);
        QCOMPARE(log.lines().count(message), attempt);
        QVERIFY(!l.link.isConnected());
    }
    // Unplugged, it is simply absent again, once.
    l.ports.clear();
    l.link.checkConnection();
    QCOMPARE(l.takeEvents(), QStringList{"gone"});
    l.link.checkConnection();
    QVERIFY(l.events.isEmpty());
}

void TestDeviceLink::portFailingWhileOpen_data()
{
    addPortFailureRows();
}

void TestDeviceLink::portFailingWhileOpen()
{
    QFETCH(QString, failure);
    QFETCH(QString, reason);

    SimulatedDevice device;
    QVERIFY(device.isValid());
    DebugLog log;
    Link l;
    const QList<int> before = descriptorsOpenOn(device.portName());
    l.ports = QStringList{device.portName()};
    l.link.checkConnection();
    QCOMPARE(l.takeEvents(), QStringList{"connected " + device.portName()});
    QList<int> opened = descriptorsOpenOn(device.portName());
    for (int descriptor : before)
        opened.removeAll(descriptor);
    QCOMPARE(opened.size(), 1);

    // No tick runs: the port's own failure has to bring the link down.
    if (failure == "unplugged")
        device.hangUp();
    else
        QVERIFY(failure == "directory" ? replaceWithDirectory(opened.first())
                                       : replaceWithHungUpTerminal(opened.first()));
    QTRY_COMPARE(l.events,
                 QStringList({"disconnected " + device.portName() + ": " + reason, "gone"}));
    l.takeEvents();
    // The log says what happened to the device, not a stale error of the library.
    const QString logged = notFound + QStringLiteral(" (%1: %2)").arg(device.portName(), reason);
    QVERIFY2(log.lines().contains(logged), qPrintable(log.lines().join('|')));

    const double cpu = cpuSecondsOver(1000);
    QVERIFY2(cpu < 0.3, qPrintable(QStringLiteral("%1 s of CPU in one second").arg(cpu)));

    // Still listed, so the next tick tries again: an unplugged device's node is gone with it,
    // anything else is opened again.
    l.link.checkConnection();
    QCOMPARE(log.count(QStringLiteral("opening...")), 2);
    if (failure == "unplugged")
        return;
    QCOMPARE(l.takeEvents(), QStringList{"connected " + device.portName()});
    QVERIFY(device.send("back"));
    QTRY_COMPARE(l.received, QByteArray("back"));
}

// Keys go in the order given; a long send to a device that stops reading is counted only as far
// as the port took it, stops at once, lets the keys typed meanwhile follow, and ends quietly when
// the device goes.
void TestDeviceLink::sendsInOrderAndStopsAtOnce()
{
    SimulatedDevice device;
    QVERIFY(device.isValid());
    Link l;
    l.ports = QStringList{device.portName()};
    l.link.checkConnection();
    QVERIFY(l.link.isConnected());
    QSignalSpy progress(&l.link, &DeviceLink::sendProgress);
    QSignalSpy finished(&l.link, &DeviceLink::sendFinished);
    QSignalSpy writeFailed(&l.link, &DeviceLink::writeFailed);

    l.link.sendPaced("abc", Pace());
    l.link.sendTyped("k");
    QCOMPARE(device.read(4), QByteArray("abck"));
    QTRY_VERIFY(!finished.isEmpty());

    // Far more than the pseudo-terminal holds while the device is not reading.
    const qint64 total = 300000;
    l.link.sendPaced(QByteArray(int(total), 'p'), Pace());
    l.link.sendTyped("k");
    QVERIFY(progress.wait(5000));
    const qint64 sent = progress.last().at(0).toLongLong();
    QCOMPARE(progress.last().at(1).toLongLong(), total + 1);
    QVERIFY(sent > 0 && sent < total);
    // The port takes no more, so no more is counted, however long the send goes on.
    QVERIFY(progress.wait(5000) && progress.wait(5000));
    QCOMPARE(progress.last().at(0).toLongLong(), sent);
    l.link.stopSending();
    // Nothing beyond what was counted as sent reaches the device, and the typed key follows.
    QByteArray received;
    while (!received.endsWith('k') && received.size() <= total)
        received += device.read(1, 5000);
    QCOMPARE(received, QByteArray(received.size() - 1, 'p') + 'k');
    QVERIFY2(received.size() - 1 <= sent, qPrintable(QString::number(received.size())));

    // The device goes in the middle of a send: the send ends with the link, and no write is
    // reported as failed.
    finished.clear();
    l.link.sendPaced(QByteArray(int(total), 'q'), Pace());
    QTest::qWait(100);
    device.hangUp();
    QTRY_COMPARE(l.events.value(l.events.size() - 1), QStringLiteral("gone"));
    QVERIFY(!finished.isEmpty());
    QCOMPARE(writeFailed.count(), 0);
}

QTEST_MAIN(TestDeviceLink)
#include "tst_devicelink.moc"
