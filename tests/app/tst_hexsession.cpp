#include "terminal/hexview.h"

#include "support/terminaluser.h"
#include "support/testenvironment.h"

#include <QDir>
#include <QLocale>
#include <QtTest>

// A long session in the hex view, through the real window: every byte kept while memory holds
// only the newest, and the oldest said to be gone once even the cache file is full.
class TestHexSession : public QObject
{
    Q_OBJECT

private slots:
    void init() { m_environment.clearSettings(); }
    void wholeSessionUntilItsLimitThenSaid();

private:
    TestEnvironment m_environment;
};

static QByteArray stream(qint64 from, int count)
{
    QByteArray bytes(count, Qt::Uninitialized);
    for (int i = 0; i < count; ++i)
        bytes[i] = char((from + i) * 13 % 253);
    return bytes;
}

void TestHexSession::wholeSessionUntilItsLimitThenSaid()
{
    TerminalUser user;
    QVERIFY(user.isConnected());
    user.setHexMode(true);
    user.limitHexView(1024, 4096);
    const QString connected = user.status();

    // Three times what memory holds: all of it is there, from the first byte on.
    QVERIFY(user.deviceSends(stream(0, 3000)));
    QCOMPARE(user.hexHeld(), stream(0, 3000));
    QCOMPARE(user.status(), connected);

    // Past what memory and file hold together, the oldest rows go and the status bar says so.
    QVERIFY(user.deviceSends(stream(3000, 5000)));
    const QString notice = user.hexView()->droppedNotice();
    QVERIFY(!notice.isEmpty());
    QCOMPARE(user.status(), notice);
    const qint64 gone = 8000 - user.hexHeld().size();
    QVERIFY(gone > 0);
    QVERIFY(notice.contains(QLocale().formattedDataSize(gone, 1)));
    QCOMPARE(user.hexHeld(), stream(gone, int(8000 - gone)));

    // Cleared, the view holds every byte again, and the cache file leaves nothing behind.
    user.clearScreen();
    QVERIFY(user.hexView()->droppedNotice().isEmpty());
    QVERIFY(user.deviceSends(stream(0, 2000)));
    QCOMPARE(user.hexHeld(), stream(0, 2000));
    QVERIFY(QDir(user.filePath(QStringLiteral("cache"))).isEmpty());
}

QTEST_MAIN(TestHexSession)
#include "tst_hexsession.moc"
