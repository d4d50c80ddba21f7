#pragma once

#include <QByteArray>

// What one received batch does to the text on screen: the characters its backspaces erase from
// what is shown already, then the text it adds. NUL and CR are dropped, and a backspace takes
// back the newest byte of the batch not yet shown before it reaches the screen.
struct DisplayEdit
{
    int erase = 0;
    QByteArray text;
};

// A batch's backspaces can reach the screen only before the first byte that stays, so erasing
// first and inserting after is the same as acting on each byte in turn.
DisplayEdit displayEdit(const QByteArray &batch);

// The part of text that can still be among the newest maximumLines lines once it is appended
// to a document that keeps only that many: when text holds that many line feeds or more, it
// starts at the maximumLines-th line feed from its end, whose break then still closes the
// older line as it would have. Otherwise text is returned whole.
QByteArray newestLines(const QByteArray &text, int maximumLines);

// What appending text to a view whose lines keep only their newest maximumLength characters
// leaves: dropShown characters come off the front of the line shown last (shownLength long,
// which text continues), and text keeps of each of its lines only what can still be among the
// newest maximumLength characters of that line. Line feeds are all kept.
struct LineLimitEdit
{
    int dropShown = 0;
    QByteArray text;
};

LineLimitEdit limitLineLength(const QByteArray &text, int shownLength, int maximumLength);

// While timestamps are on, filtered text carries a mark before the first byte of each line it
// starts, where the view puts that line's time. The filter drops NUL, so no received byte is
// ever taken for a mark; limitLineLength() keeps marks and does not count them.
constexpr char lineStartMark = '\0';
