#pragma once

#include <QByteArray>
#include <QtGlobal>

#include <limits>
#include <vector>

// The lines already on the screen, as much as the text held back for it needs to see of them.
class ShownLines
{
public:
    virtual ~ShownLines() = default;
    virtual int lineCount() const = 0;
    virtual int lineLength(int line) const = 0;
    // Milliseconds since midnight, or HeldText::noTime.
    virtual int lineTime(int line) const = 0;
};

// What one frame does to the screen, in this order: erases characters off its end (line breaks
// included), lets its oldest lines go (all of them: the screen is emptied), cuts characters off
// the front of its last line, and inserts text. When a line has a time, times holds the time for
// the line the text goes on (noTime leaves that line's own) and one for each line it begins.
struct ScreenEdit
{
    int erase = 0;
    int dropLines = 0;
    int cut = 0;
    QByteArray text;
    std::vector<int> times;
};

// Received bytes held back for the screen's next frame, and the rules they follow on it. NUL and
// CR are dropped (so that CR LF is one line break); a backspace takes back the newest character,
// a line break too, but nothing before the screen's first line; the screen keeps its newest
// TerminalConstants::maximumLines lines and each line its newest maximumLineLength characters;
// and a line that is empty and has no time takes the time of the batch whose byte lands on it
// first while times are kept. Each rule holds byte by byte, so what the screen shows depends
// neither on how the bytes were split into batches and frames nor on whether times are kept.
class HeldText
{
public:
    static constexpr int noTime = -1;
    static constexpr qint64 untimed = std::numeric_limits<qint64>::min();

    explicit HeldText(const ShownLines &shown);

    // A batch as received at arrival, in milliseconds since the epoch; untimed keeps no time.
    void append(const QByteArray &batch, qint64 arrival = untimed);
    bool isEmpty() const;
    // The characters held for insertion.
    int size() const;
    // What the next frame does, inserting at most most characters; the rest waits for the one
    // after. The screen is to be edited as it says before anything is appended again.
    ScreenEdit take(int most);
    void clear();

private:
    // A line that begins in the held text: where its first character is, and its time.
    struct Line
    {
        int start;
        int time;
    };

    void readShown();
    char *takeBack(char *begin, char *end);
    void eraseShown();
    char *limitLine(char *begin, char *end);
    void limitLines();
    void dropFront();
    bool lineWantsTime(const char *begin, const char *end) const;
    void stamp();
    bool shownGone() const { return m_deadLines > m_line; }

    const ShownLines &m_shown;
    // The held characters; those before m_front belong to lines pushed out before they were
    // shown, and go when they are more than what stays.
    QByteArray m_text;
    int m_front = 0;
    std::vector<Line> m_lines;
    // The first of m_lines not pushed out, while every shown line is.
    int m_firstLive = 0;

    // The shown lines as the held text leaves them: read once a frame, then followed through the
    // backspaces that reach them. The held text continues line m_line, which has m_column
    // characters left, of which the line-length rule takes m_cut off its front; m_deadLines
    // lines are pushed out, and m_erase characters erased off the end.
    bool m_shownRead = false;
    int m_shownCount = 0;
    int m_line = 0;
    int m_column = 0;
    int m_cut = 0;
    int m_deadLines = 0;
    int m_erase = 0;
    // The time line m_line takes, if it takes one.
    int m_continuedTime = noTime;
    // Some held line has a time.
    bool m_stamped = false;

    // The batch being appended: when it came, and as a time of day once a line needs it; the
    // local zone's offset from UTC in the quarter of an hour it came in.
    qint64 m_arrival = untimed;
    int m_batchTime = noTime;
    qint64 m_offsetQuarter = -1;
    qint64 m_offsetMs = 0;
};
