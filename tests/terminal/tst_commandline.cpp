// The command line's rules with no widget: what a line sends in Text and Hex, or why not, and
// the history that Up and Down walk.

#include "terminal/commandline.h"

#include <QtTest>

using Mode = CommandLine::Mode;
using LineEnd = CommandLine::LineEnd;

Q_DECLARE_METATYPE(Mode)
Q_DECLARE_METATYPE(LineEnd)

class TestCommandLine : public QObject
{
    Q_OBJECT

private slots:
    void lineBecomesBytesOrSaysWhy_data();
    void lineBecomesBytesOrSaysWhy();
    void historyKeepsTheNewestLines();
};

void TestCommandLine::lineBecomesBytesOrSaysWhy_data()
{
    QTest::addColumn<QString>("line");
    QTest::addColumn<Mode>("mode");
    QTest::addColumn<LineEnd>("lineEnd");
    // The bytes as hex, or the status text and the tool tip, with the position marked.
    QTest::addColumn<QString>("expected");

    QTest::newRow("text with CR") << "ATI" << Mode::Text << LineEnd::Cr << "41 54 49 0d";
    QTest::newRow("empty text sends the line end") << "" << Mode::Text << LineEnd::CrLf << "0d 0a";
    QTest::newRow("Latin-1 as its bytes")
        << QString::fromLatin1("\xe9\xff\x01") << Mode::Text << LineEnd::None << "e9 ff 01";
    QTest::newRow("a character beyond the basic plane")
        << QString::fromUtf8("\xf0\x9f\x98\x80") << Mode::Text << LineEnd::Cr
        << QString::fromUtf8("at 0: Not sent: \"\xf0\x9f\x98\x80\" (U+1F600, character 1) is not "
                             "a Latin-1 character | Character 1, \"\xf0\x9f\x98\x80\" (U+1F600), "
                             "has no Latin-1 byte");
    QTest::newRow("hex with blanks, any case, no line end")
        << " 0D 0a\t41 54 " << Mode::Hex << LineEnd::CrLf << "0d 0a 41 54";
    QTest::newRow("hex of blanks only sends nothing") << "  " << Mode::Hex << LineEnd::Cr << "";
    QTest::newRow("hex with a wrong second digit")
        << "4x" << Mode::Hex << LineEnd::Cr
        << "at 1: Not sent: \"4x\" at character 1 is not a hex byte | Character 2, \"x\", is not "
           "a hex digit (0-9, A-F)";
    QTest::newRow("hex digit alone at the end")
        << "0d0" << Mode::Hex << LineEnd::Cr
        << "at 2: Not sent: \"0\" at character 3 is not a hex byte | Character 3, \"0\", is half "
           "a byte: a hex byte is two digits, such as 0D";
    QTest::newRow("hex byte split by a blank")
        << "4 1" << Mode::Hex << LineEnd::Cr
        << "at 0: Not sent: \"4\" at character 1 is not a hex byte | Character 1, \"4\", is half "
           "a byte: a hex byte is two digits, such as 0D";
    QTest::newRow("a percent sign is shown as it is")
        << "%1" << Mode::Hex << LineEnd::Cr
        << "at 0: Not sent: \"%1\" at character 1 is not a hex byte | Character 1, \"%\", is not "
           "a hex digit (0-9, A-F)";
}

void TestCommandLine::lineBecomesBytesOrSaysWhy()
{
    QFETCH(QString, line);
    QFETCH(Mode, mode);
    QFETCH(LineEnd, lineEnd);
    QFETCH(QString, expected);

    const CommandLine::Command command = CommandLine::command(line, mode, lineEnd);
    const QString result = command.problem.isEmpty() ? QString::fromLatin1(command.bytes.toHex(' '))
                                                     : QStringLiteral("at %1: %2 | %3")
                                                           .arg(QString::number(command.position),
                                                                command.problem, command.hint);
    QCOMPARE(result, expected);
    QVERIFY(command.problem.isEmpty() || command.bytes.isEmpty());
}

// Only the newest lines are kept, and Up stops at the oldest.
void TestCommandLine::historyKeepsTheNewestLines()
{
    CommandLine rules;
    QStringList stored;
    for (int i = 0; i < 150; ++i)
        stored << QString::number(i);
    rules.setHistory(stored);
    rules.remember(QStringLiteral("a"));
    QCOMPARE(rules.history(), stored.mid(51) << QStringLiteral("a"));
    for (int i = 0; i < 120; ++i)
        rules.older(QString());
    QCOMPARE(rules.older(QString()), QStringLiteral("51"));
}

QTEST_MAIN(TestCommandLine)
#include "tst_commandline.moc"
