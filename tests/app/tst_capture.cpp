// Saving the terminal's content: which format a name gives, what the file holds, and what the
// user is told when the file cannot be written.

#include "support/terminaluser.h"
#include "support/testenvironment.h"

#include <QtTest>

#include <cerrno>
#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

class TestCapture : public QObject
{
    Q_OBJECT

private slots:
    void formatFollowsTheName_data();
    void formatFollowsTheName();
    void emptyViewGivesEmptyTextFile();
    void plainCaptureHoldsEveryByteShown();
    void cancelWritesNothing();
    void unopenableFileIsReported();
    void failedWriteKeepsTheOldFile();
    void targetsASafeReplaceCannotTake_data();
    void targetsASafeReplaceCannotTake();

private:
    TestEnvironment m_environment;
};

void TestCapture::formatFollowsTheName_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("html");
    QTest::newRow("log.html") << "log.html" << true;
    QTest::newRow("x.html.txt") << "x.html.txt" << true;
    QTest::newRow("capture.HTML") << "capture.HTML" << false;
    QTest::newRow("capture.htm") << "capture.htm" << false;
    QTest::newRow("capture.log") << "capture.log" << false;
    QTest::newRow("no suffix") << "capture" << false;
}

void TestCapture::formatFollowsTheName()
{
    QFETCH(QString, name);
    QFETCH(bool, html);

    TerminalUser user;
    QVERIFY(user.deviceSends("AT\r\nOK <ready> & done caf\xe9"));
    const QString path = user.filePath(name);
    QCOMPARE(user.capture(path), QString());
    QVERIFY2(QFile::exists(path), "no suffix is added to the chosen name");
    const QByteArray content = fileBytes(path);
    if (html) {
        QVERIFY(content.contains("<head><meta http-equiv=\"Content-Type\" content=\"text/html; "
                                 "charset=ISO-8859-1\" />"));
        QVERIFY(!content.contains("utf-8"));
        QVERIFY(content.contains("&lt;ready&gt; &amp; done caf\xe9"));
    } else {
        QCOMPARE(content, QByteArray("AT\nOK <ready> & done caf\xe9"));
    }
}

// An empty screen replaces what the file held with nothing.
void TestCapture::emptyViewGivesEmptyTextFile()
{
    TerminalUser user;
    const QString path = user.filePath("old.log");
    QVERIFY(writeFile(path, QByteArray(10000, 'x')));
    QCOMPARE(user.capture(path), QString());
    QVERIFY(QFile::exists(path));
    QCOMPARE(QFileInfo(path).size(), 0);
}

void TestCapture::plainCaptureHoldsEveryByteShown()
{
    TerminalUser user;
    QByteArray everyByte;
    for (int value = 0; value < 256; ++value)
        everyByte.append(char(value));
    QVERIFY(user.deviceSends(everyByte));
    // Batches received a moment before the save, still waiting for the next frame to be shown.
    QVERIFY(user.device().send("AB"));
    QVERIFY(user.deviceSends("CD"));

    const QString path = user.filePath("bytes.log");
    QCOMPARE(user.capture(path), QString());
    // What the view shows of them: NUL and CR dropped, BS taking back the BEL before it.
    QByteArray shown = everyByte;
    shown.remove(0x0d, 1).remove(0x07, 2).remove(0, 1);
    QCOMPARE(fileBytes(path), shown + "ABCD");
}

void TestCapture::cancelWritesNothing()
{
    TerminalUser user;
    QVERIFY(user.deviceSends("data"));
    QCOMPARE(user.capture(QString()), QString());
    QCOMPARE(QDir(user.filePath(QString())).entryList(QDir::NoDotAndDotDot | QDir::AllEntries),
             QStringList());
}

void TestCapture::unopenableFileIsReported()
{
    TerminalUser user;
    QVERIFY(user.deviceSends("data"));
    const QString path = user.filePath("no/such/folder/capture.log");
    QCOMPARE(user.capture(path), QStringLiteral("Can't Open File (") + path
                                     + QStringLiteral(": No such file or directory)"));
    QVERIFY(!QFile::exists(path));
    QCOMPARE(user.textShown(), QStringLiteral("data"));
}

// A capture that fails half-way, as on a full disk, leaves the file it was to replace as it was.
void TestCapture::failedWriteKeepsTheOldFile()
{
    TerminalUser user;
    const QString path = user.filePath("old.log");
    QVERIFY(writeFile(path, "the capture of yesterday"));
    QByteArray lines;
    for (int n = 0; n < 300; ++n)
        lines += QByteArray(60, char('a' + n % 26)) + '\n';
    QVERIFY(user.deviceSends(lines));

    // Files of this process may not grow past 4 KB.
    rlimit before{};
    QVERIFY(getrlimit(RLIMIT_FSIZE, &before) == 0);
    rlimit small = before;
    small.rlim_cur = 4096;
    const auto previousHandler = signal(SIGXFSZ, SIG_IGN);
    QVERIFY(setrlimit(RLIMIT_FSIZE, &small) == 0);
    const QString box = user.capture(path);
    setrlimit(RLIMIT_FSIZE, &before);
    signal(SIGXFSZ, previousHandler);

    QCOMPARE(box,
             QStringLiteral("Can't Write File (") + path + QStringLiteral(": File too large)"));
    QCOMPARE(fileBytes(path), QByteArray("the capture of yesterday"));
    QCOMPARE(QDir(user.filePath(QString())).entryList(QDir::Files), QStringList{"old.log"});
}

void TestCapture::targetsASafeReplaceCannotTake_data()
{
    QTest::addColumn<QString>("target");
    QTest::addColumn<QString>("cause");
    QTest::newRow("FIFO with a reader") << "fifo" << QString();
    // Said at once, rather than the window waiting for a reader.
    QTest::newRow("FIFO without a reader") << "lone fifo"
                                           << "no program reads from it";
    QTest::newRow("writable file in a read-only folder") << "read-only folder" << QString();
    QTest::newRow("folder") << "folder" << qt_error_string(EISDIR);
}

void TestCapture::targetsASafeReplaceCannotTake()
{
    QFETCH(QString, target);
    QFETCH(QString, cause);
    QTemporaryDir folder;
    const QString path = folder.filePath("capture.log");
    const QByteArray nativePath = QFile::encodeName(path);
    int reader = -1;
    if (target.endsWith("fifo")) {
        QVERIFY(mkfifo(nativePath.constData(), 0600) == 0);
        if (target == "fifo")
            QVERIFY((reader = ::open(nativePath.constData(), O_RDONLY | O_NONBLOCK)) >= 0);
    } else if (target == "folder") {
        QVERIFY(QDir(folder.path()).mkdir("capture.log"));
    } else {
        if (geteuid() == 0)
            QSKIP("root may write in any folder");
        QFile old(path);
        QVERIFY(old.open(QIODevice::WriteOnly));
        old.write("the capture of yesterday");
        old.close();
        QVERIFY(QFile::setPermissions(folder.path(), QFile::ReadOwner | QFile::ExeOwner));
    }
    TerminalUser user;
    QVERIFY(user.deviceSends("AT\r\nOK"));
    const QString box = user.capture(path);
    QFile::setPermissions(folder.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);

    QCOMPARE(box, cause.isEmpty() ? QString()
                                  : QStringLiteral("Can't Open File (") + path
                                        + QStringLiteral(": ") + cause + QLatin1Char(')'));
    const QFileInfo after(path);
    if (target == "folder") {
        QVERIFY(after.isDir());
    } else if (target.endsWith("fifo")) {
        struct stat status = {};
        QVERIFY(::stat(nativePath.constData(), &status) == 0 && S_ISFIFO(status.st_mode));
    } else {
        QCOMPARE(fileBytes(path), QByteArray("AT\nOK"));
    }
    if (reader >= 0) {
        char received[64] = {};
        const auto count = ::read(reader, received, sizeof received);
        ::close(reader);
        QCOMPARE(QByteArray(received, int(qMax<ssize_t>(count, 0))), QByteArray("AT\nOK"));
    }
    // Nothing left beside it.
    QCOMPARE(QDir(folder.path()).entryList(QDir::NoDotAndDotDot | QDir::AllEntries | QDir::System),
             QStringList{"capture.log"});
}

QTEST_MAIN(TestCapture)
#include "tst_capture.moc"
