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

bool writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

} // namespace

class TestSending : public QObject
{
    Q_OBJECT

private slots:
    void init();

    void sendFileSaysWhenItStopsShort();

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

QTEST_MAIN(TestSending)
#include "tst_sending.moc"
