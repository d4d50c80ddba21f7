#pragma once

#include <QByteArray>
#include <QCoreApplication>
#include <QString>
#include <QStringList>

// The rules of the command line, with no widget: what a line sends in Text and in Hex, and the
// lines sent before, which Up and Down walk.
class CommandLine
{
    Q_DECLARE_TR_FUNCTIONS(CommandLine)

public:
    enum class Mode { Text, Hex };
    enum class LineEnd { None, Cr, Lf, CrLf };

    // The most lines the history keeps, the oldest going first.
    static constexpr int historyLimit = 100;

    // What a line sends, or why it is not sent.
    struct Command
    {
        QByteArray bytes;
        // Empty when the line can be sent; else what the status bar says.
        QString problem;
        // The first wrong character of a line that is not sent (from 0), and what its tool tip
        // says of it.
        int position = -1;
        QString hint;
    };

    // Text: the line as Latin-1, then the line end; a character Latin-1 has no byte for is
    // not sent as some other byte. Hex: pairs of hex digits, blanks between them allowed, sent
    // exactly as they say, with no line end.
    static Command command(const QString &line, Mode mode, LineEnd lineEnd);

    QStringList history() const;
    // The newest historyLimit of lines, oldest first.
    void setHistory(const QStringList &lines);
    // A line sent becomes the newest, unless it is the newest already; Up starts from it again.
    void remember(const QString &line);
    // Up: the line sent before the one shown; shown is what the line holds now, and comes back
    // when Down walks past the newest. At the oldest, the oldest stays.
    QString older(const QString &shown);
    // Down: the line sent after the one shown; past the newest, what the line held before Up.
    QString newer(const QString &shown);
    // The line was emptied or sent: Up starts from the newest again.
    void restartWalk();

private:
    QStringList m_history;
    // Where Up and Down have got to: an index into m_history, or its size while no line of it
    // is shown.
    int m_walk = 0;
    QString m_draft;
};
