// The real program as a process: a termination signal closes it the normal way, settings
// stored, also when standard error is a pipe whose reader has gone; and a standard error that
// nobody drains cannot hold the program up.

#include "app/stderrwriter.h"

#include <QDir>
#include <QFile>
#include <QProcessEnvironment>
#include <QScopeGuard>
#include <QSettings>
#include <QTemporaryDir>
#include <QtTest>

#include <csignal>
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

// Whether process pid has a handler of its own for signalNumber, which the program installs
// once its event loop can take the signal.
bool catches(pid_t pid, int signalNumber)
{
    QFile status(QStringLiteral("/proc/%1/status").arg(pid));
    if (!status.open(QIODevice::ReadOnly))
        return false;
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith("SigCgt:"))
            return (line.mid(7).trimmed().toULongLong(nullptr, 16) >> (signalNumber - 1)) & 1;
    }
    return false;
}

QByteArray readAll(int descriptor)
{
    QByteArray text;
    char buffer[4096];
    qint64 count = 0;
    while ((count = ::read(descriptor, buffer, sizeof buffer)) > 0)
        text.append(buffer, int(count));
    return text;
}

} // namespace

class TestProcess : public QObject
{
    Q_OBJECT

private slots:
    void signalsCloseTheWindowTheNormalWay_data();
    void signalsCloseTheWindowTheNormalWay();
    void stalledStandardErrorNeverBlocks();
};

void TestProcess::signalsCloseTheWindowTheNormalWay_data()
{
    QTest::addColumn<QVector<int>>("signalNumbers");
    QTest::addColumn<bool>("readerGone");
    QTest::addColumn<QString>("store");
    QTest::newRow("SIGTERM, nobody reads standard error") << QVector<int>{SIGTERM} << true << "";
    QTest::newRow("SIGINT, standard error read") << QVector<int>{SIGINT} << false << "";
    QTest::newRow("SIGHUP, nobody reads standard error") << QVector<int>{SIGHUP} << true << "";
    // A session ending may send several at once: the window still closes once, with the
    // function-key dialog recorded as it was.
    QTest::newRow("SIGTERM, SIGHUP and a storm of SIGINT, dialog open")
        << QVector<int>(202, SIGINT) << false << "dialog open";
    // Nobody is there to answer a box at logout.
    QTest::newRow("SIGTERM, store cannot be written")
        << QVector<int>{SIGTERM} << false << "unwritable";
}

void TestProcess::signalsCloseTheWindowTheNormalWay()
{
    QFETCH(QVector<int>, signalNumbers);
    QFETCH(bool, readerGone);
    QFETCH(QString, store);

    QTemporaryDir config;
    const QString storePath
        = config.filePath(QStringLiteral("TarquelTerm/Tarquel's Terminal V3.00.conf"));
    if (store == "dialog open")
        QSettings(storePath, QSettings::IniFormat).setValue("ShowFunctionDlg", true);
    if (store == "unwritable")
        QVERIFY(QDir().mkpath(storePath));
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("XDG_CONFIG_HOME"), config.path());
    QList<QByteArray> variables;
    for (const QString &variable : environment.toStringList())
        variables.append(variable.toLocal8Bit());
    std::vector<char *> envp;
    for (QByteArray &variable : variables)
        envp.push_back(variable.data());
    envp.push_back(nullptr);

    int errorPipe[2];
    QCOMPARE(::pipe2(errorPipe, O_CLOEXEC), 0);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, errorPipe[1], STDERR_FILENO);
    QByteArray program(TARQUEL_PROGRAM);
    char *argv[] = {program.data(), nullptr};
    pid_t pid = 0;
    const int spawned
        = posix_spawn(&pid, program.constData(), &actions, nullptr, argv, envp.data());
    posix_spawn_file_actions_destroy(&actions);
    ::close(errorPipe[1]);
    if (readerGone)
        ::close(errorPipe[0]);
    QCOMPARE(spawned, 0);

    int status = 0;
    bool ended = false;
    const auto reaped = [&] {
        return ended = ended || ::waitpid(pid, &status, WNOHANG) == pid;
    };
    // A program that hangs must not outlive the test, nor keep its pipe open.
    const auto reap = qScopeGuard([&] {
        if (!reaped()) {
            ::kill(pid, SIGKILL);
            ::waitpid(pid, &status, 0);
        }
    });
    QTRY_VERIFY_WITH_TIMEOUT(catches(pid, signalNumbers.first()) || reaped(), 20000);
    QVERIFY2(!ended, "the program ended before it was asked to");
    if (signalNumbers.size() > 1) {
        signalNumbers[0] = SIGTERM;
        signalNumbers[1] = SIGHUP;
    }
    for (int signalNumber : signalNumbers)
        QCOMPARE(::kill(pid, signalNumber), 0);
    QTRY_VERIFY_WITH_TIMEOUT(reaped(), 20000);
    QVERIFY2(WIFEXITED(status), "the program was ended by a signal");
    QCOMPARE(WEXITSTATUS(status), 0);

    if (store != "unwritable") {
        QSettings stored(storePath, QSettings::IniFormat);
        QCOMPARE(stored.value(QStringLiteral("delay")).toString(), QStringLiteral("5"));
        QCOMPARE(stored.value(QStringLiteral("ShowFunctionDlg")).toBool(), store == "dialog open");
    }
    if (!readerGone) {
        // Each line as it always was, without its category in front.
        const QList<QByteArray> lines = readAll(errorPipe[0]).split('\n');
        ::close(errorPipe[0]);
        QCOMPARE(lines.count("closeEvent"), 1);
        QCOMPARE(lines.join().contains("Can't store the settings ("), store == "unwritable");
    }
}

void TestProcess::stalledStandardErrorNeverBlocks()
{
    // A blocking pipe, as a shell gives; a writer that waited would hang this test for good.
    int pipe[2];
    QCOMPARE(::pipe2(pipe, O_CLOEXEC), 0);
    constexpr int lineCount = 5000;
    QByteArray received;
    {
        StderrWriter writer(pipe[1]);
        for (int n = 0; n < lineCount; ++n)
            writer.writeLine(QByteArray::number(n).rightJustified(99, '.'));
        ::fcntl(pipe[0], F_SETFL, O_NONBLOCK);
        received = readAll(pipe[0]);
        writer.writeLine("after");
        received += readAll(pipe[0]);
    }
    ::close(pipe[0]);
    ::close(pipe[1]);

    // Whole lines in order up to where the pipe was full, then the count of the rest.
    QList<QByteArray> lines = received.split('\n');
    QCOMPARE(lines.takeLast(), QByteArray());
    QCOMPARE(lines.takeLast(), QByteArray("after"));
    const int kept = lines.size() - 1;
    QVERIFY(kept > 0 && kept < lineCount);
    QCOMPARE(lines.takeLast(), QByteArray::number(lineCount - kept) + " lines dropped");
    for (int n = 0; n < kept; ++n)
        QCOMPARE(lines.at(n), QByteArray::number(n).rightJustified(99, '.'));
}

QTEST_MAIN(TestProcess)
#include "tst_process.moc"
