// Saving the terminal's content: which format a name gives, what the file holds, and what the
// user is told when the file cannot be written.

#include "app/vantorterm.h"
#include "devsim/connectedwindow.h"
#include "support/simulateddevice.h"
#include "support/testenvironment.h"
#include "terminal/hexview.h"
#include "terminal/ostraview.h"

#include <QApplication>
#include <QMessageBox>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

#include <cerrno>
#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

QByteArray fileContent(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// Records the title and text of every critical box the window shows, and closes it.
class BoxWatcher : public QObject
{
public:
    BoxWatcher()
    {
        connect(&m_poll, &QTimer::timeout, this, [this] {
            if (auto box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget())) {
                boxes.append(box->windowTitle() + QLatin1Char('/') + box->text());
                icons.append(box->icon());
                box->accept();
            }
        });
        m_poll.start(10);
    }
    QStringList boxes;
    QList<QMessageBox::Icon> icons;

private:
    QTimer m_poll;
};

} // namespace

class TestCapture : public QObject
{
    Q_OBJECT

private slots:
    void formatFollowsTheName_data();
    void formatFollowsTheName();
    void emptyViewGivesEmptyTextFile();
    void replacesAnExistingFile();
    void charactersBeyondLatin1BecomeQuestionMarks();
    void plainCaptureHoldsEveryByteShown();
    void cancelWritesNothing();
    void unopenableFileIsReported();
    void failedWriteIsReported();
    void targetsASafeReplaceCannotTake_data();
    void targetsASafeReplaceCannotTake();

private:
    // Saves the view's content under name; returns the boxes the window showed.
    QStringList save(VantorTerm &window, const QString &name)
    {
        window.setCaptureFileNamePrompt([name](QWidget *) { return name; });
        BoxWatcher watcher;
        QMetaObject::invokeMethod(&window, "saveCapture");
        return watcher.boxes;
    }

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

    QTemporaryDir folder;
    VantorTerm window;
    auto view = window.findChild<OstraView *>();
    view->setPlainText(QString::fromLatin1("AT\nOK <ready> & done caf\xe9"));

    const QString path = folder.filePath(name);
    QCOMPARE(save(window, path), QStringList());
    QVERIFY2(QFile::exists(path), "no suffix is added to the chosen name");
    const QByteArray content = fileContent(path);
    if (html) {
        QVERIFY(content.contains("<head><meta http-equiv=\"Content-Type\" content=\"text/html; "
                                 "charset=ISO-8859-1\" />"));
        QVERIFY(!content.contains("utf-8"));
        QVERIFY(content.contains("&lt;ready&gt; &amp; done caf\xe9"));
    } else {
        QCOMPARE(content, QByteArray("AT\nOK <ready> & done caf\xe9"));
    }
}

void TestCapture::emptyViewGivesEmptyTextFile()
{
    QTemporaryDir folder;
    VantorTerm window;
    const QString path = folder.filePath("empty.log");
    QCOMPARE(save(window, path), QStringList());
    QVERIFY(QFile::exists(path));
    QCOMPARE(QFileInfo(path).size(), 0);
}

void TestCapture::replacesAnExistingFile()
{
    QTemporaryDir folder;
    const QString path = folder.filePath("old.log");
    {
        QFile old(path);
        QVERIFY(old.open(QIODevice::WriteOnly));
        old.write(QByteArray(10000, 'x'));
    }
    VantorTerm window;
    window.findChild<OstraView *>()->setPlainText(QStringLiteral("short"));
    QCOMPARE(save(window, path), QStringList());
    QCOMPARE(fileContent(path), QByteArray("short"));
}

void TestCapture::charactersBeyondLatin1BecomeQuestionMarks()
{
    QTemporaryDir folder;
    VantorTerm window;
    window.findChild<OstraView *>()->setPlainText(QString::fromUtf8("caf\u00e9 \u20ac5"));
    const QString path = folder.filePath("latin1.log");
    QCOMPARE(save(window, path), QStringList());
    QCOMPARE(fileContent(path), QByteArray("caf\xe9 ?5"));
}

void TestCapture::plainCaptureHoldsEveryByteShown()
{
    SimulatedDevice device;
    QVERIFY(device.isValid());
    ConnectedWindow terminal(device.portName());
    QVERIFY(terminal.connectDevice());
    QByteArray everyByte;
    for (int value = 0; value < 256; ++value)
        everyByte.append(char(value));
    QVERIFY(device.send(everyByte));
    QTRY_COMPARE(terminal.hexView()->data().size(), 256);
    // Batches received a moment before the save, still waiting for the next frame to be shown.
    terminal.view()->displayBytes("AB");
    terminal.view()->displayBytes("CD");

    QTemporaryDir folder;
    const QString path = folder.filePath("bytes.log");
    QCOMPARE(save(terminal.window, path), QStringList());
    // What the view shows of them: NUL and CR dropped, BS taking back the BEL before it.
    QByteArray shown = everyByte;
    shown.remove(0x0d, 1).remove(0x07, 2).remove(0, 1);
    QCOMPARE(fileContent(path), shown + "ABCD");
}

void TestCapture::cancelWritesNothing()
{
    QTemporaryDir folder;
    VantorTerm window;
    window.findChild<OstraView *>()->setPlainText(QStringLiteral("data"));
    QCOMPARE(save(window, QString()), QStringList());
    QCOMPARE(QDir(folder.path()).entryList(QDir::NoDotAndDotDot | QDir::AllEntries), QStringList());
}

void TestCapture::unopenableFileIsReported()
{
    QTemporaryDir folder;
    VantorTerm window;
    window.findChild<OstraView *>()->setPlainText(QStringLiteral("data"));
    const QString path = folder.filePath("no/such/folder/capture.log");
    const QStringList boxes = save(window, path);
    QCOMPARE(boxes.size(), 1);
    QCOMPARE(boxes.first(), QStringLiteral("save capture file Error!/Can't Open File (") + path
                                + QStringLiteral(": No such file or directory)"));
    QVERIFY(!QFile::exists(path));
    QCOMPARE(window.findChild<OstraView *>()->toPlainText(), QStringLiteral("data"));
}

void TestCapture::failedWriteIsReported()
{
    QTemporaryDir folder;
    const QString path = folder.filePath("old.log");
    {
        QFile old(path);
        QVERIFY(old.open(QIODevice::WriteOnly));
        old.write("the capture of yesterday");
    }
    VantorTerm window;
    window.findChild<OstraView *>()->setPlainText(QString(100000, QLatin1Char('x')));

    // Files of this process may not grow past 4 KB, so the new capture fails half-way, as on a
    // full disk.
    rlimit before{};
    QVERIFY(getrlimit(RLIMIT_FSIZE, &before) == 0);
    rlimit small = before;
    small.rlim_cur = 4096;
    const auto previousHandler = signal(SIGXFSZ, SIG_IGN);
    QVERIFY(setrlimit(RLIMIT_FSIZE, &small) == 0);
    const QStringList boxes = save(window, path);
    setrlimit(RLIMIT_FSIZE, &before);
    signal(SIGXFSZ, previousHandler);

    QCOMPARE(boxes, QStringList{QStringLiteral("save capture file Error!/Can't Write File (") + path
                                + QStringLiteral(": File too large)")});
    QCOMPARE(fileContent(path), QByteArray("the capture of yesterday"));
    QCOMPARE(QDir(folder.path()).entryList(QDir::Files), QStringList{"old.log"});
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
    VantorTerm window;
    window.findChild<OstraView *>()->setPlainText(QStringLiteral("AT\nOK"));
    const QStringList boxes = save(window, path);
    QFile::setPermissions(folder.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);

    if (cause.isEmpty()) {
        QCOMPARE(boxes, QStringList());
    } else {
        QCOMPARE(boxes, QStringList{QStringLiteral("save capture file Error!/Can't Open File (")
                                    + path + QStringLiteral(": ") + cause + QLatin1Char(')')});
    }
    const QFileInfo after(path);
    if (target == "folder") {
        QVERIFY(after.isDir());
    } else if (target.endsWith("fifo")) {
        struct stat status = {};
        QVERIFY(::stat(nativePath.constData(), &status) == 0 && S_ISFIFO(status.st_mode));
    } else {
        QCOMPARE(fileContent(path), QByteArray("AT\nOK"));
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
