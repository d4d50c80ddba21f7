// The serial channel against a simulated device: line settings, open and close, writes, the
// receive queue, how a port that dies under it is closed at once, and ports that others lock.

#include "link/linkconstants.h"
#include "link/platform.h"
#include "link/serialport.h"
#include "portfailure.h"
#include "support/simulateddevice.h"
#include "support/testenvironment.h"

#include <QFileInfo>
#include <QProcess>
#include <QScopeGuard>
#include <QSignalSpy>
#include <QSysInfo>
#include <QtTest>

#include <algorithm>

Q_DECLARE_METATYPE(QSerialPort::DataBits)
Q_DECLARE_METATYPE(QSerialPort::Parity)
Q_DECLARE_METATYPE(QSerialPort::StopBits)
Q_DECLARE_METATYPE(QSerialPort::FlowControl)
Q_DECLARE_METATYPE(QSerialPort::SerialPortError)

namespace {

// A path that no port will ever have: the open fails, but the settings reach the port first.
const QString missingPort = QStringLiteral("/nonexistent/ttyACM0");

QSerialPort *portOf(SerialPort &channel)
{
    return channel.findChild<QSerialPort *>();
}

} // namespace

// Tests of SerialPort: the channel the program talks to the device through.
class TestSerialPort : public QObject
{
    Q_OBJECT

private slots:
    void baudRateTable_data();
    void baudRateTable();
    void settingsReachThePortAtOpen_data();
    void settingsReachThePortAtOpen();
    void stopBitsRule_data();
    void stopBitsRule();
    void windowsNameRule_data();
    void windowsNameRule();
    void lockFileNamesProcess_data();
    void lockFileNamesProcess();
    void opensUnderTheGivenName();
    void reopeningClosesFirst();
    void writes();
    void queuesEveryArrival();
    void lostPortIsClosedAtOnce_data();
    void lostPortIsClosedAtOnce();
    void otherErrorsKeepThePortOpen_data();
    void otherErrorsKeepThePortOpen();
    void portHeldByAnotherProgram_data();
    void portHeldByAnotherProgram();
};

void TestSerialPort::baudRateTable_data()
{
    QTest::addColumn<int>("index");
    QTest::addColumn<int>("bitsPerSecond");
    QTest::newRow("the device's rate") << LinkConstants::baudRateIndex << 115200;
    QTest::newRow("first of the table") << 0 << 110;
    QTest::newRow("last of the table") << 14 << 256000;
    QTest::newRow("below the table") << -1 << 0;
    QTest::newRow("just above the table") << 15 << 0;
}

void TestSerialPort::baudRateTable()
{
    QFETCH(int, index);
    QFETCH(int, bitsPerSecond);
    QCOMPARE(baudRateForIndex(index), bitsPerSecond);

    SerialPort channel;
    channel.setBaudRateIndex(index);
    QVERIFY(!channel.openPort(missingPort));
    QCOMPARE(portOf(channel)->baudRate(), bitsPerSecond);
}

void TestSerialPort::settingsReachThePortAtOpen_data()
{
    QTest::addColumn<int>("dataBitsIndex");
    QTest::addColumn<int>("parityIndex");
    QTest::addColumn<int>("stopBitsIndex");
    QTest::addColumn<int>("flowControlIndex");
    QTest::addColumn<QSerialPort::DataBits>("dataBits");
    QTest::addColumn<QSerialPort::Parity>("parity");
    QTest::addColumn<QSerialPort::StopBits>("stopBits");
    QTest::addColumn<QSerialPort::FlowControl>("flowControl");

    QTest::newRow("defaults") << 3 << 0 << 0 << 0 << QSerialPort::Data8 << QSerialPort::NoParity
                              << QSerialPort::OneStop << QSerialPort::NoFlowControl;
    QTest::newRow("7 odd, hardware flow")
        << 2 << 1 << 0 << 1 << QSerialPort::Data7 << QSerialPort::OddParity << QSerialPort::OneStop
        << QSerialPort::HardwareControl;
    QTest::newRow("6 even, two stops, software flow")
        << 1 << 2 << 2 << 2 << QSerialPort::Data6 << QSerialPort::EvenParity << QSerialPort::TwoStop
        << QSerialPort::SoftwareControl;
    QTest::newRow("parity 3 is mark")
        << 3 << 3 << 0 << 0 << QSerialPort::Data8 << QSerialPort::MarkParity << QSerialPort::OneStop
        << QSerialPort::NoFlowControl;
    QTest::newRow("parity 4 is space")
        << 3 << 4 << 0 << 0 << QSerialPort::Data8 << QSerialPort::SpaceParity
        << QSerialPort::OneStop << QSerialPort::NoFlowControl;
    QTest::newRow("outside the tables: defaults")
        << 9 << 7 << 5 << 5 << QSerialPort::Data8 << QSerialPort::NoParity << QSerialPort::OneStop
        << QSerialPort::NoFlowControl;
    QTest::newRow("5 bits, one and a half stops")
        << 0 << 0 << 1 << 0 << QSerialPort::Data5 << QSerialPort::NoParity
        << QSerialPort::OneAndHalfStop << QSerialPort::NoFlowControl;
}

void TestSerialPort::settingsReachThePortAtOpen()
{
    QFETCH(int, dataBitsIndex);
    QFETCH(int, parityIndex);
    QFETCH(int, stopBitsIndex);
    QFETCH(int, flowControlIndex);

    SerialPort channel;
    channel.setDataBitsIndex(dataBitsIndex);
    channel.setParityIndex(parityIndex);
    channel.setStopBitsIndex(stopBitsIndex);
    channel.setFlowControlIndex(flowControlIndex);
    QVERIFY(!channel.openPort(missingPort));

    QSerialPort *port = portOf(channel);
    QTEST(port->dataBits(), "dataBits");
    QTEST(port->parity(), "parity");
    QTEST(port->stopBits(), "stopBits");
    QTEST(port->flowControl(), "flowControl");
}

void TestSerialPort::stopBitsRule_data()
{
    // Each call is "d<index>" for setDataBitsIndex or "s<index>" for setStopBitsIndex, made on a
    // new channel (8 data bits, one stop bit) in the order written.
    QTest::addColumn<QString>("calls");
    QTest::addColumn<QSerialPort::DataBits>("dataBits");
    QTest::addColumn<QSerialPort::StopBits>("stopBits");

    QTest::newRow("one and a half refused with eight bits")
        << "s1" << QSerialPort::Data8 << QSerialPort::OneStop;
    QTest::newRow("one and a half accepted after five bits")
        << "d0 s1" << QSerialPort::Data5 << QSerialPort::OneAndHalfStop;
    QTest::newRow("eight bits then refused with one and a half")
        << "d0 s1 d3" << QSerialPort::Data5 << QSerialPort::OneAndHalfStop;
    QTest::newRow("six bits refused with one and a half")
        << "d0 s1 d1" << QSerialPort::Data5 << QSerialPort::OneAndHalfStop;
    QTest::newRow("two stops refused with five bits")
        << "d0 s2" << QSerialPort::Data5 << QSerialPort::OneStop;
    QTest::newRow("five bits refused with two stops")
        << "s2 d0" << QSerialPort::Data8 << QSerialPort::TwoStop;
    QTest::newRow("two stops go with six bits")
        << "d1 s2" << QSerialPort::Data6 << QSerialPort::TwoStop;
    QTest::newRow("back to one stop frees the data bits")
        << "d0 s1 s0 d3" << QSerialPort::Data8 << QSerialPort::OneStop;
    QTest::newRow("supervision's order") << "d3 s0" << QSerialPort::Data8 << QSerialPort::OneStop;
}

void TestSerialPort::stopBitsRule()
{
    QFETCH(QString, calls);

    SerialPort channel;
    for (const QString &call : calls.split(QLatin1Char(' '))) {
        const int index = call.mid(1).toInt();
        if (call.startsWith(QLatin1Char('d')))
            channel.setDataBitsIndex(index);
        else
            channel.setStopBitsIndex(index);
    }
    QVERIFY(!channel.openPort(missingPort));
    QTEST(portOf(channel)->dataBits(), "dataBits");
    QTEST(portOf(channel)->stopBits(), "stopBits");
}

void TestSerialPort::windowsNameRule_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("systemName");

    QTest::newRow("plain name gets the prefix") << "COM5"
                                                << "\\\\.\\COM5";
    QTest::newRow("two-digit port") << "COM12"
                                    << "\\\\.\\COM12";
    QTest::newRow("prefixed name unchanged") << "\\\\.\\COM5"
                                             << "\\\\.\\COM5";
    QTest::newRow("prefix anywhere counts") << "x\\\\.\\COM5"
                                            << "x\\\\.\\COM5";
    QTest::newRow("forward slashes are no prefix") << "//./COM5"
                                                   << "\\\\.\\//./COM5";
    QTest::newRow("empty name") << ""
                                << "\\\\.\\";
}

void TestSerialPort::windowsNameRule()
{
    QFETCH(QString, name);
    QTEST(windowsSystemPortName(name), "systemName");
}

void TestSerialPort::lockFileNamesProcess_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<qint64>("pid");

    QTest::newRow("QLockFile's own") << QByteArray("4242\nminicom\nhost\nid\nboot\n") << 4242LL;
    QTest::newRow("bare") << QByteArray("4242\n") << 4242LL;
    QTest::newRow("bare, no line end") << QByteArray("4242") << 4242LL;
    QTest::newRow("bare, trailing blanks") << QByteArray("4242  \n") << 4242LL;
    QTest::newRow("HDB") << QByteArray("      4242\n") << 4242LL;
    QTest::newRow("HDB, largest PID") << QByteArray("2147483647\n") << 2147483647LL;
    QTest::newRow("beyond any PID") << QByteArray("2147483648\n") << 0LL;
    QTest::newRow("huge") << QByteArray("99999999999999999999\n") << 0LL;
    QTest::newRow("zero") << QByteArray("         0\n") << 0LL;
    QTest::newRow("negative") << QByteArray("     -4242\n") << 0LL;
    QTest::newRow("signed") << QByteArray("+4242\n") << 0LL;
    QTest::newRow("empty") << QByteArray() << 0LL;
    QTest::newRow("blank line") << QByteArray("   \n") << 0LL;
    QTest::newRow("PID not first") << QByteArray("\n4242\n") << 0LL;
    QTest::newRow("garbage") << QByteArray("minicom\n") << 0LL;
    QTest::newRow("digits then garbage") << QByteArray("4242x\n") << 0LL;
    // Old binary locks, an int in memory order: no Linux serial program writes them any more.
    QTest::newRow("binary") << QByteArray("\x92\x10\0\0", 4) << 0LL;
}

void TestSerialPort::lockFileNamesProcess()
{
    QFETCH(QByteArray, content);
    QTEST(lockFileProcess(content), "pid");
}

void TestSerialPort::opensUnderTheGivenName()
{
    SimulatedDevice device;
    QVERIFY(device.isValid());
    DebugLog log;

    // A bare name is found under /dev by the serial library itself: the channel hands it over
    // unchanged and reports it as given.
    const QString bareName = device.portName().mid(int(qstrlen("/dev/")));
    SerialPort channel;
    QVERIFY(channel.openPort(bareName));
    QCOMPARE(channel.portName(), bareName);
    QVERIFY(log.lines().contains(
        QStringLiteral("MainController serial port:[%1] opening...").arg(bareName)));

    SerialPort other;
    QVERIFY(!other.openPort(missingPort));
    QCOMPARE(other.portName(), QString());
    QVERIFY(log.lines().contains(
        QStringLiteral("MainController serial port:[%1] opening...").arg(missingPort)));
}

void TestSerialPort::reopeningClosesFirst()
{
    SimulatedDevice device;
    QVERIFY(device.isValid());
    SerialPort channel;
    QVERIFY(channel.openPort(device.portName()));
    // Opening an open port fails unless the channel closes it first.
    QVERIFY(channel.openPort(device.portName()));
    QVERIFY(channel.writeData("ok"));
    QCOMPARE(device.read(2), QByteArray("ok"));

    // A failed open has closed the old port too, and keeps its name.
    QVERIFY(!channel.openPort(missingPort));
    QCOMPARE(channel.portName(), device.portName());
    QVERIFY(!channel.writeData("x"));

    QVERIFY(channel.openPort(device.portName()));
    channel.closePort();
    QVERIFY(!channel.writeData("x"));
    QVERIFY(!portOf(channel)->isOpen());
}

void TestSerialPort::writes()
{
    SimulatedDevice device;
    QVERIFY(device.isValid());
    DebugLog log;
    SerialPort channel;

    QVERIFY(!channel.writeData("early"));
    QCOMPARE(log.count(QStringLiteral("SerialPort")), 0);

    QVERIFY(channel.openPort(device.portName()));
    log.clear();
    QVERIFY(channel.writeData("AT\r\n"));
    QCOMPARE(device.read(4), QByteArray("AT\r\n"));
    const QString expected = QStringLiteral("SerialPort writeData() : [%1] :AT\r");
    QVERIFY2(log.lines().contains(expected.arg(device.portName())),
             qPrintable(log.lines().join('|')));

    log.clear();
    QVERIFY(!channel.writeData(QByteArray()));
    QVERIFY(
        log.lines().contains(QStringLiteral("SerialPort write error.[%1]").arg(device.portName())));
    QCOMPARE(device.readAvailable(), QByteArray());

    // Bytes outside ASCII go out as they are.
    QVERIFY(channel.writeData(QByteArray("\x00\xff\x80", 3)));
    QCOMPARE(device.read(3), QByteArray("\x00\xff\x80", 3));
}

void TestSerialPort::queuesEveryArrival()
{
    SimulatedDevice device;
    QVERIFY(device.isValid());
    SerialPort channel;
    QSignalSpy announced(&channel, &SerialPort::readComm);
    QVERIFY(channel.openPort(device.portName()));

    QVERIFY(device.send("ab"));
    QVERIFY(announced.wait());
    QCOMPARE(announced.count(), 1);
    // Not taken yet: the next arrival queues behind it.
    QVERIFY(device.send("c"));
    QVERIFY(announced.wait());
    // A run that finds nothing still announces, and leaves the queue as it was.
    QVERIFY(QMetaObject::invokeMethod(&channel, "readData"));
    QCOMPARE(announced.count(), 3);
    QCOMPARE(channel.takeReceived(), QByteArray("abc"));
    QCOMPARE(channel.takeReceived(), QByteArray());
}

void TestSerialPort::lostPortIsClosedAtOnce_data()
{
    addPortFailureRows();
}

void TestSerialPort::lostPortIsClosedAtOnce()
{
    QFETCH(QString, failure);
    QFETCH(QString, reason);

    SimulatedDevice device;
    QVERIFY(device.isValid());
    SerialPort channel;
    QSignalSpy lost(&channel, &SerialPort::portLost);
    QVERIFY(channel.openPort(device.portName()));

    if (failure == "unplugged")
        device.hangUp();
    else
        QVERIFY(failure == "directory" ? replaceWithDirectory(portOf(channel)->handle())
                                       : replaceWithHungUpTerminal(portOf(channel)->handle()));
    QTRY_COMPARE(lost.count(), 1);
    QCOMPARE(lost.first().first().toString(), reason);
    QVERIFY(!portOf(channel)->isOpen());
    QVERIFY(!channel.writeData("x"));

    const double cpu = cpuSecondsOver(1000);
    QVERIFY2(cpu < 0.3, qPrintable(QStringLiteral("%1 s of CPU in one second").arg(cpu)));
    QCOMPARE(lost.count(), 1);
}

void TestSerialPort::otherErrorsKeepThePortOpen_data()
{
    QTest::addColumn<QSerialPort::SerialPortError>("error");
    QTest::newRow("timeout") << QSerialPort::TimeoutError;
    QTest::newRow("no error") << QSerialPort::NoError;
    QTest::newRow("not open") << QSerialPort::NotOpenError;
}

void TestSerialPort::otherErrorsKeepThePortOpen()
{
    QFETCH(QSerialPort::SerialPortError, error);

    SimulatedDevice device;
    QVERIFY(device.isValid());
    SerialPort channel;
    QSignalSpy lost(&channel, &SerialPort::portLost);
    QVERIFY(channel.openPort(device.portName()));

    emit portOf(channel)->errorOccurred(error);
    QCOMPARE(lost.count(), 0);
    QVERIFY(channel.writeData("still"));
    QCOMPARE(device.read(5), QByteArray("still"));

    // The same report of a dead line does end it, so the check above is not vacuous.
    emit portOf(channel)->errorOccurred(QSerialPort::ResourceError);
    QCOMPARE(lost.count(), 1);
    QVERIFY(!channel.writeData("x"));
}

void TestSerialPort::portHeldByAnotherProgram_data()
{
    // A lock names its process right-aligned to the width, then the tail follows.
    QTest::addColumn<int>("width");
    QTest::addColumn<QByteArray>("tail");
    QTest::newRow("QLockFile's own") << 0 << QByteArray("\n<program>\n<host>\n");
    QTest::newRow("bare") << 0 << QByteArray("\n");
    QTest::newRow("bare, no line end") << 0 << QByteArray();
    QTest::newRow("HDB") << 10 << QByteArray("\n");
}

// A second instance, or any program that locks the port the classic way, holds it for as long as
// it runs: the reason names the holder instead of sending the user after access rights. A lock
// whose process has ended gives way, and so does one this process left without holding the port.
void TestSerialPort::portHeldByAnotherProgram()
{
    QFETCH(int, width);
    QFETCH(QByteArray, tail);

    SimulatedDevice device;
    QVERIFY(device.isValid());
    SerialPort holder;
    QVERIFY(holder.openPort(device.portName()));
    // The serial library locks in the first usable folder; the test plants its locks there.
    const QStringList lockFiles = portLockFiles(device.portName());
    const auto found = std::find_if(lockFiles.cbegin(), lockFiles.cend(),
                                    [](const QString &file) { return QFile::exists(file); });
    QVERIFY(found != lockFiles.cend());
    const QString lockFile = *found;
    const auto removeLock = qScopeGuard([&lockFile] { QFile::remove(lockFile); });
    const auto plantLock = [&](qint64 pid, const QString &program, int age) {
        QFile file(lockFile);
        const QByteArray content = QByteArray::number(pid).rightJustified(width)
                                   + QByteArray(tail)
                                         .replace("<program>", program.toLocal8Bit())
                                         .replace("<host>", QSysInfo::machineHostName().toUtf8());
        const QDateTime modified = QDateTime::currentDateTime().addSecs(-age);
        return file.open(QIODevice::WriteOnly) && file.write(content) == content.size()
               && file.flush() && file.setFileTime(modified, QFileDevice::FileModificationTime);
    };
    const QString inUse = QStringLiteral("in use by another program, %1 (process %2)");

    SerialPort second;
    QVERIFY(!second.openPort(device.portName()));
    const QString program = QFileInfo(QCoreApplication::applicationFilePath()).fileName();
    const qint64 pid = QCoreApplication::applicationPid();
    QCOMPARE(second.errorString(), inUse.arg(program).arg(pid));
    holder.closePort();
    QVERIFY(second.openPort(device.portName()));
    second.closePort();

    // QLockFile takes a lock older than 30 s for stale even while its process runs.
    QProcess other;
    other.start(QStringLiteral("sleep"), QStringList{QStringLiteral("60")});
    QVERIFY(other.waitForStarted());
    QVERIFY(plantLock(other.processId(), QStringLiteral("sleep"), 60));
    QVERIFY(!second.openPort(device.portName()));
    QCOMPARE(second.errorString(), inUse.arg(QStringLiteral("sleep")).arg(other.processId()));

    other.kill();
    QVERIFY(other.waitForFinished());
    QVERIFY(second.openPort(device.portName()));
    second.closePort();

    // QLockFile alone would keep this one for 30 s.
    QVERIFY(plantLock(pid, program, 0));
    QVERIFY(second.openPort(device.portName()));
}

QTEST_MAIN(TestSerialPort)
#include "tst_serialport.moc"
