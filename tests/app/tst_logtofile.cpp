// Log to File as the user meets it: everything the device says ends up in the file, a close
// loses nothing that was received before it, and every stop says why.

#include "app/constants.h"
#include "app/devicelog.h"
#include "app/quitsignals.h"
#include "app/settings.h"

#include "support/terminaluser.h"
#include "support/testenvironment.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMutex>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QThread>
#include <QtTest>

#include <cstdio>
#include <fcntl.h>
#include <sys/resource.h>
#include <unistd.h>

namespace {

// The file's bytes with each marker's date and time as "T", so that they compare.
QString withoutTimes(const QByteArray &bytes)
{
    // Sized, or the conversion stops at the first NUL.
    QString text = QString::fromLatin1(bytes.constData(), bytes.size());
    static const QRegularExpression time(
        QStringLiteral("^--- \\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d:\\d\\d\\.\\d{3} "),
        QRegularExpression::MultilineOption);
    return text.replace(time, QStringLiteral("--- T "));
}

QString marker(const QString &text)
{
    return QStringLiteral("--- T %1 ---\n").arg(text);
}

// Lines of text, size bytes in all, the last one cut short.
QByteArray burst(char letter, int size)
{
    QByteArray bytes;
    for (int line = 0; bytes.size() < size; ++line)
        bytes += "line " + QByteArray::number(line) + ' ' + QByteArray(60, letter) + "\r\n";
    bytes.truncate(size);
    if (bytes.endsWith('\n'))
        bytes.chop(1);
    return bytes;
}

// The texts of the boxes that tell without waiting for an answer, once at least one has come.
QStringList awaitWarnings(TerminalUser &user)
{
    QStringList warnings;
    for (int tries = 0; tries < 500 && warnings.isEmpty(); ++tries) {
        QTest::qWait(10);
        warnings = user.takeWarnings();
    }
    return warnings;
}

} // namespace

class TestLogToFile : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void keepsEverythingTheDeviceSays();
    void closingWritesEverythingReceivedBeforeIt();
    void aFailedWriteSaysWhy();
    void aFileRemovedOrReplacedIsSaid_data();
    void aFileRemovedOrReplacedIsSaid();
    void aStoredLogThatCannotBeReopenedStaysSaid();
    void aStalledDiskNeverHoldsUpTheTerminal();

private:
    TestEnvironment m_environment;
    // Held while the story's disk takes nothing.
    QMutex m_stalledDisk;
};

void TestLogToFile::init()
{
    m_environment.clearSettings();
}

void TestLogToFile::cleanup()
{
    DeviceLog::setWriteHook({});
    DeviceLog::setWaitingLimit(Constants::logWaitingLimit);
}

// Every byte the device sends, appended to what the file held, across an unplug and a restart,
// with a marker line at each connect and disconnect. A folder, a relative name and the settings
// store are no log.
void TestLogToFile::keepsEverythingTheDeviceSays()
{
    TerminalUser user;
    QVERIFY(user.isConnected());
    const QString port = user.device().portName();
    const QString path = user.filePath(QStringLiteral("device.log"));
    QVERIFY(writeFile(path, "earlier\n"));
    const QString folder = QFileInfo(path).absolutePath();
    QCOMPARE(user.logTo(folder), "Can't log to " + folder + ": not a regular file");
    QCOMPARE(user.logTo("device.log"), "Can't log to device.log: not a full path");
    const QString store = settingsFileName();
    QCOMPARE(user.logTo(store), "Can't log to " + store + ": that is the terminal's settings file");
    QVERIFY(!user.isLogging());
    QVERIFY(!QFileInfo::exists(store));

    QCOMPARE(user.logTo(path), QString());
    QVERIFY(user.logLabel().startsWith("Logging to device.log"));
    // Every byte value, NUL and CR included, as it came; written out without waiting for more.
    QByteArray everyByte;
    for (int value = 0; value < 256; ++value)
        everyByte.append(char(value));
    QVERIFY(user.deviceSends(everyByte));
    QTRY_COMPARE(fileBytes(path), "earlier\n" + everyByte);

    user.unplug();
    QVERIFY(user.plugIn());
    QVERIFY(user.deviceSends("after\r\n"));
    QVERIFY(user.restart());
    QVERIFY(user.logLabel().startsWith("Logging to device.log"));
    QVERIFY(user.deviceSends("again\n"));
    user.quit();

    const QString closed = "disconnected from " + port + ": the terminal closed the port";
    const QString expected = "earlier\n" + QString::fromLatin1(everyByte.constData(), 256) + '\n'
                             + marker("disconnected from " + port + ": the device went away")
                             + marker("connected to " + port) + "after\r\n" + marker(closed)
                             + marker("connected to " + port) + "again\n" + marker(closed);
    QCOMPARE(withoutTimes(fileBytes(path)), expected);
}

// Closing the window right after a burst, while the writer is still busy with it, leaves every
// byte and the closing marker in the file, six closes out of six; so does turning the log off,
// even when it is turned on again into the same file at once.
void TestLogToFile::closingWritesEverythingReceivedBeforeIt()
{
    // Each write takes a while, so that a close finds the writer busy and more queued behind.
    DeviceLog::setWriteHook([](int) { QThread::msleep(30); });
    TerminalUser user;
    QVERIFY(user.isConnected());
    const QString port = user.device().portName();
    const QString path = user.filePath(QStringLiteral("device.log"));
    QCOMPARE(user.logTo(path), QString());
    QByteArray bytes = burst('a', 3 << 20);
    QVERIFY(user.deviceSends(bytes));
    user.stopLogging();
    QCOMPARE(user.logTo(path), QString());
    QString expected = QString::fromLatin1(bytes);
    for (int close = 0; close < 5; ++close) {
        bytes = burst(char('b' + close), (2 << 20) + close);
        QVERIFY(user.deviceSends(bytes));
        QVERIFY(user.restart());
        expected += QString::fromLatin1(bytes) + '\n'
                    + marker("disconnected from " + port + ": the terminal closed the port")
                    + marker("connected to " + port);
    }
    user.quit();
    expected += marker("disconnected from " + port + ": the terminal closed the port");
    QCOMPARE(withoutTimes(fileBytes(path)), expected);
}

// A full disk and a file-size limit stop the log with the system's words and what the file
// holds; the terminal goes on as it was.
void TestLogToFile::aFailedWriteSaysWhy()
{
    // The program's own signal handling, which makes a file-size limit fail the write instead of
    // ending the process.
    QuitSignals signalHandling;
    TerminalUser user;
    QVERIFY(user.isConnected());
    const QString path = user.filePath(QStringLiteral("device.log"));
    QVERIFY(writeFile(path, "earlier\n"));

    // No file system can be made full here without mounting one: the log's own descriptor is
    // turned into the system's full device just before it writes.
    DeviceLog::setWriteHook([](int descriptor) {
        const int full = ::open("/dev/full", O_WRONLY | O_CLOEXEC);
        ::dup2(full, descriptor);
        ::close(full);
    });
    QCOMPARE(user.logTo(path), QString());
    DeviceLog::setWriteHook({});
    QVERIFY(user.deviceSends("lost\n"));
    // Turned off before the bytes went out: the write that fails is the log's last, and is said.
    user.stopLogging();
    QCOMPARE(awaitWarnings(user),
             QStringList("Logging to " + path
                         + " stopped: No space left on device. The file holds 8 bytes."));
    QVERIFY(!user.isLogging());
    QCOMPARE(user.logLabel(), QString());

    // The limit falls in the middle of a write: the part that fits is written.
    QCOMPARE(user.logTo(path), QString());
    rlimit unlimited{};
    QCOMPARE(getrlimit(RLIMIT_FSIZE, &unlimited), 0);
    rlimit limit = unlimited;
    limit.rlim_cur = 108;
    QCOMPARE(setrlimit(RLIMIT_FSIZE, &limit), 0);
    {
        const auto lift = qScopeGuard([&unlimited] { setrlimit(RLIMIT_FSIZE, &unlimited); });
        QVERIFY(user.deviceSends(QByteArray(1000, 'x')));
        QCOMPARE(awaitWarnings(user),
                 QStringList("Logging to " + path
                             + " stopped: File too large. The file holds 108 bytes."));
    }
    QVERIFY(!user.isLogging());
    QVERIFY(user.deviceSends("still here"));
    QCOMPARE(user.hexHeld().right(10), QByteArray("still here"));
    QCOMPARE(fileBytes(path), "earlier\n" + QByteArray(100, 'x'));
}

void TestLogToFile::aFileRemovedOrReplacedIsSaid_data()
{
    QTest::addColumn<QString>("change");
    // %1 is the log file.
    QTest::addColumn<QString>("said");
    const QString removed = QStringLiteral("Logging to %1 stopped: the file was removed. It held "
                                           "8 bytes.");
    const QString replaced = QStringLiteral("Logging to %1 stopped: the file was replaced by "
                                            "another file. The file logged to held 8 bytes.");
    QTest::newRow("removed") << "remove" << removed;
    QTest::newRow("renamed") << "rename" << removed;
    QTest::newRow("replaced by a larger file") << "replace with 100 bytes" << replaced;
    QTest::newRow("replaced by a smaller file") << "replace with 2 bytes" << replaced;
    // Not a fault: logging goes on.
    QTest::newRow("appended to by another program") << "append" << QString();
}

// The file the user chose is the file written: one that is removed, renamed or replaced while
// logging stops the log, said with what it held; what the name names now is left alone.
void TestLogToFile::aFileRemovedOrReplacedIsSaid()
{
    QFETCH(QString, change);
    QFETCH(QString, said);
    TerminalUser user;
    QVERIFY(user.isConnected());
    const QString path = user.filePath(QStringLiteral("device.log"));
    QVERIFY(writeFile(path, "earlier\n"));
    QCOMPARE(user.logTo(path), QString());

    QByteArray now;
    if (change == "remove") {
        QVERIFY(QFile::remove(path));
    } else if (change == "rename") {
        QVERIFY(QFile::rename(path, path + ".old"));
    } else if (change.startsWith("replace")) {
        // As an editor saves: a new file renamed over the old one.
        now = QByteArray(change.split(' ').at(2).toInt(), 'n');
        QVERIFY(writeFile(path + ".new", now));
        QCOMPARE(std::rename(qPrintable(path + ".new"), qPrintable(path)), 0);
    } else {
        QFile other(path);
        QVERIFY(other.open(QIODevice::Append));
        other.write("another program\n");
        now = "earlier\nanother program\nafter\n";
    }
    QVERIFY(user.deviceSends("after\n"));

    if (said.isEmpty()) {
        QTRY_COMPARE(fileBytes(path), now);
        QVERIFY(user.isLogging());
        QCOMPARE(user.takeWarnings(), QStringList());
        return;
    }
    QCOMPARE(awaitWarnings(user), QStringList(said.arg(path)));
    QVERIFY(!user.isLogging());
    QCOMPARE(user.logLabel(), QString());
    QCOMPARE(QFileInfo::exists(path), !now.isEmpty());
    QCOMPARE(fileBytes(path), now);
}

// A stored log whose file cannot be opened at start (its stick not mounted yet) is said in the
// log's label, which stays, and in a box; Log to File stays on and tries the same file at each
// start until the user turns it off.
void TestLogToFile::aStoredLogThatCannotBeReopenedStaysSaid()
{
    TerminalUser user;
    const QString stick = user.filePath(QStringLiteral("stick"));
    const QString path = stick + QStringLiteral("/device.log");
    QVERIFY(QDir().mkpath(stick));
    QCOMPARE(user.logTo(path), QString());
    for (int start = 0; start < 4; ++start) {
        user.quit();
        // Mounted in time for the third start only.
        QVERIFY(start == 2 ? QDir().mkpath(stick) : QDir(stick).removeRecursively());
        QVERIFY(user.start());
        QVERIFY(user.isLogging());
        if (start == 2) {
            QVERIFY(user.logLabel().startsWith("Logging to device.log"));
            continue;
        }
        const QString cause = QStringLiteral("No such file or directory");
        QCOMPARE(awaitWarnings(user),
                 QStringList("Can't resume logging to " + path + ": " + cause
                             + ". Log to File stays on and tries this file again at the next "
                               "start; uncheck it to stop."));
        QCOMPARE(user.logLabel(), "Not logging: can't reopen " + path + ": " + cause);
    }
    user.stopLogging();
    QCOMPARE(user.logLabel(), QString());
    QVERIFY(user.restart());
    QVERIFY(!user.isLogging());
    QCOMPARE(user.takeWarnings(), QStringList());
}

// A disk that takes nothing never holds the terminal up: the bytes waiting for it are bounded,
// and passing the bound stops the log with what the file will hold; a close gives up on such a
// disk after a few seconds and says on standard error how much it did not take. Once the disk
// answers again, all of it is written.
void TestLogToFile::aStalledDiskNeverHoldsUpTheTerminal()
{
    const auto answerAgain = [this] {
        m_stalledDisk.unlock();
    };
    DeviceLog::setWriteHook([this](int) {
        m_stalledDisk.lock();
        m_stalledDisk.unlock();
    });
    DeviceLog::setWaitingLimit(2 << 20);
    TerminalUser user;
    QVERIFY(user.isConnected());
    const QString path = user.filePath(QStringLiteral("device.log"));
    QRegularExpressionMatch stop;
    {
        m_stalledDisk.lock();
        const auto stalled = qScopeGuard(answerAgain);
        QCOMPARE(user.logTo(path), QString());
        QStringList warnings;
        for (int sent = 0; sent < 8 && warnings.isEmpty(); ++sent) {
            QVERIFY(user.deviceSends(burst('s', 1 << 20)));
            warnings = user.takeWarnings();
        }
        QCOMPARE(warnings.size(), 1);
        stop = QRegularExpression("^Logging to " + QRegularExpression::escape(path)
                                  + " stopped: the disk could not keep up with the device. The "
                                    "file holds (\\d+) bytes once the disk has written what it "
                                    "was given.$")
                   .match(warnings.first());
        QVERIFY2(stop.hasMatch(), qPrintable(warnings.first()));
        QVERIFY(!user.isLogging());
        QVERIFY(user.deviceSends("still here"));
    }
    QTRY_COMPARE(QFileInfo(path).size(), stop.captured(1).toLongLong());

    DeviceLog::setWaitingLimit(Constants::logWaitingLimit);
    const QString stalledPath = user.filePath(QStringLiteral("stalled.log"));
    const QRegularExpression given("^Log to File: (\\d+) bytes could not be written to "
                                   + QRegularExpression::escape(stalledPath)
                                   + ": the disk did not take them within 5 seconds.$");
    qint64 lost = 0;
    {
        m_stalledDisk.lock();
        const auto stalled = qScopeGuard(answerAgain);
        QCOMPARE(user.logTo(stalledPath), QString());
        QVERIFY(user.deviceSends(QByteArray(100000, 'z')));
        DebugLog log;
        user.quit();
        const QStringList said = log.lines().filter(given);
        QCOMPARE(said.size(), 1);
        lost = given.match(said.first()).captured(1).toLongLong();
        // The 100000 bytes and the closing marker.
        QVERIFY2(lost > 100000, qPrintable(said.first()));
    }
    QTRY_COMPARE(QFileInfo(stalledPath).size(), lost);
}

QTEST_MAIN(TestLogToFile)
#include "tst_logtofile.moc"
