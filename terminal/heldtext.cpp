#include "heldtext.h"

#include "terminalconstants.h"

#include <QDateTime>
#include <QtAlgorithms>
#include <QtEndian>

#include <algorithm>
#include <cstring>
#include <utility>

namespace {

using TerminalConstants::maximumLineLength;
using TerminalConstants::maximumLines;

// Lines pushed out unshown are let go in one move once they take this much room and more than
// the lines that stay: a long burst then holds about twice its newest lines, not all of them.
const int frontToDrop = 64 * 1024;

// How many of the eight bytes at bytes only show before the first that may do more. NUL,
// backspace, line feed and CR are all below 14, and eight bytes are checked for such a byte at
// once.
int plainBytes(const char *bytes)
{
    constexpr quint64 ones = 0x0101010101010101;
    const quint64 word = qFromLittleEndian<quint64>(bytes);
    const quint64 below = (word - ones * ('\r' + 1)) & ~word & (ones * 0x80);
    return below ? int(qCountTrailingZeroBits(below) / 8) : 8;
}

} // namespace

HeldText::HeldText(const ShownLines &shown)
    : m_shown(shown)
{}

void HeldText::append(const QByteArray &batch, qint64 arrival)
{
    if (batch.isEmpty())
        return;
    // Read again whenever nothing is held, in case the screen was edited in between.
    if (!m_shownRead || isEmpty())
        readShown();
    m_arrival = arrival;
    m_batchTime = noTime;
    const bool timed = arrival != untimed;
    // Written in place: a batch comes every millisecond while a device streams, and appending
    // byte by byte cost more than the rest of this. Only a backspace and a line break do more.
    // The room for the whole batch also takes the eight bytes copied at a time.
    const int held = m_text.size();
    m_text.resize(held + batch.size());
    char *const begin = m_text.data();
    char *end = begin + held;
    bool wantsTime = timed && lineWantsTime(begin, end);
    const char *next = batch.constData();
    const char *const stop = next + batch.size();
    while (next != stop) {
        // Bytes that only show are copied eight at a time, up to one that may do more.
        if (!wantsTime) {
            while (stop - next >= 8) {
                const int plain = plainBytes(next);
                std::memcpy(end, next, 8);
                end += plain;
                next += plain;
                if (plain < 8)
                    break;
            }
            if (next == stop)
                break;
        }
        const char byte = *next++;
        switch (byte) {
        case '\0':
        case '\r':
            break;
        case '\b':
            end = takeBack(begin, end);
            wantsTime = timed && lineWantsTime(begin, end);
            break;
        case '\n':
            if (wantsTime)
                stamp();
            end = limitLine(begin, end);
            *end++ = '\n';
            m_lines.push_back({int(end - begin), noTime});
            wantsTime = timed;
            break;
        default:
            if (wantsTime) {
                stamp();
                wantsTime = false;
            }
            *end++ = byte;
            break;
        }
    }
    m_text.truncate(int(limitLine(begin, end) - begin));
    limitLines();
    dropFront();
}

bool HeldText::isEmpty() const
{
    return m_text.size() == m_front && m_erase == 0 && m_deadLines == 0 && m_cut == 0
           && m_continuedTime == noTime;
}

int HeldText::size() const
{
    return m_text.size() - m_front;
}

ScreenEdit HeldText::take(int most)
{
    ScreenEdit edit;
    if (isEmpty())
        return edit;
    if (!m_shownRead)
        readShown();
    const bool gone = shownGone();
    // Once every shown line is pushed out, the screen starts again from the first line that
    // stays, and what was to be erased or cut went with the rest.
    edit.dropLines = gone ? m_shownCount : m_deadLines;
    if (!gone) {
        edit.erase = m_erase;
        edit.cut = m_cut;
    }
    const int live = size();
    const int count = std::min(live, most);
    int next = gone ? m_firstLive : 0;
    if (m_stamped)
        edit.times.push_back(gone ? m_lines[next++].time : m_continuedTime);
    else if (gone)
        ++next;
    for (; next < int(m_lines.size()) && m_lines[next].start - m_front <= count; ++next) {
        if (m_stamped)
            edit.times.push_back(m_lines[next].time);
    }
    if (count == live) {
        edit.text = m_front == 0 ? std::exchange(m_text, QByteArray()) : m_text.mid(m_front);
        m_text.clear();
        m_lines.clear();
    } else {
        edit.text = m_text.mid(m_front, count);
        const int taken = m_front + count;
        m_text.remove(0, taken);
        m_lines.erase(m_lines.begin(), m_lines.begin() + next);
        for (Line &line : m_lines)
            line.start -= taken;
    }
    m_front = m_firstLive = 0;
    m_erase = m_cut = m_deadLines = 0;
    m_continuedTime = noTime;
    m_stamped = std::any_of(m_lines.begin(), m_lines.end(),
                            [](const Line &line) { return line.time != noTime; });
    // The screen changes with this edit; what waits continues the screen as it will be.
    m_shownRead = false;
    return edit;
}

void HeldText::clear()
{
    m_text.clear();
    m_lines.clear();
    m_front = m_firstLive = 0;
    m_erase = m_cut = m_deadLines = 0;
    m_continuedTime = noTime;
    m_stamped = false;
    m_shownRead = false;
}

void HeldText::readShown()
{
    m_shownCount = m_shown.lineCount();
    m_line = m_shownCount - 1;
    m_column = m_shown.lineLength(m_line);
    m_shownRead = true;
}

// The backspace rule, for held and shown text alike: the newest character goes, or the line
// break before an empty line, which joins it to the line before (which keeps its own time); at
// the start of the screen's first line a backspace does nothing. The limits are applied first,
// so that what they took does not come back.
char *HeldText::takeBack(char *begin, char *end)
{
    end = limitLine(begin, end);
    limitLines();
    if (!m_lines.empty()) {
        if (end - begin > m_lines.back().start)
            return end - 1;
        if (shownGone() && int(m_lines.size()) - 1 == m_firstLive)
            return end;
        m_lines.pop_back();
        return end - 1;
    }
    if (end > begin)
        return end - 1;
    eraseShown();
    return end;
}

void HeldText::eraseShown()
{
    if (m_column > m_cut) {
        --m_column;
        ++m_erase;
        return;
    }
    if (m_line == m_deadLines)
        return;
    // The characters the line-length rule took go with the line break.
    m_erase += m_cut + 1;
    m_cut = 0;
    m_column = m_shown.lineLength(--m_line);
    m_continuedTime = noTime;
}

// Lets the line being written keep only its newest maximumLineLength characters, the shown part
// of a line that the held text continues first.
char *HeldText::limitLine(char *begin, char *end)
{
    const int start = m_lines.empty() ? 0 : m_lines.back().start;
    const int shown = m_lines.empty() ? m_column - m_cut : 0;
    const int excess = int(end - begin) - start + shown - maximumLineLength;
    if (excess <= 0)
        return end;
    const int fromShown = std::min(excess, shown);
    m_cut += fromShown;
    const int fromHeld = excess - fromShown;
    if (fromHeld > 0) {
        std::memmove(begin + start, begin + start + fromHeld,
                     size_t(end - begin - start - fromHeld));
        end -= fromHeld;
    }
    return end;
}

// Lets the screen keep only its newest maximumLines lines: the shown ones go first, then the
// held ones that come before the newest.
void HeldText::limitLines()
{
    const int excess = m_line + 1 + int(m_lines.size()) - maximumLines;
    if (excess <= 0)
        return;
    m_deadLines = std::max(m_deadLines, std::min(excess, m_line + 1));
    if (shownGone()) {
        m_firstLive = std::max(m_firstLive, excess - m_line - 1);
        m_front = m_lines[m_firstLive].start;
    }
}

void HeldText::dropFront()
{
    if (m_front < frontToDrop || m_front < size())
        return;
    m_text.remove(0, m_front);
    m_lines.erase(m_lines.begin(), m_lines.begin() + m_firstLive);
    for (Line &line : m_lines)
        line.start -= m_front;
    m_front = m_firstLive = 0;
}

bool HeldText::lineWantsTime(const char *begin, const char *end) const
{
    if (!m_lines.empty())
        return m_lines.back().time == noTime && end - begin == m_lines.back().start;
    return end == begin && m_column == m_cut && m_continuedTime == noTime
           && m_shown.lineTime(m_line) == noTime;
}

void HeldText::stamp()
{
    // Worked out once a batch, and only for a batch that gives a line its time.
    if (m_batchTime == noTime) {
        // The zone's offset from UTC is looked up once a quarter of an hour, since looking it up
        // reads the zone's rules: offsets, and the times they change at, are whole quarters.
        constexpr qint64 quarter = 15 * 60 * 1000;
        constexpr qint64 day = 24 * 60 * 60 * 1000;
        if (m_arrival / quarter != m_offsetQuarter) {
            m_offsetQuarter = m_arrival / quarter;
            m_offsetMs = QDateTime::fromMSecsSinceEpoch(m_offsetQuarter * quarter).offsetFromUtc()
                         * qint64(1000);
        }
        m_batchTime = int(((m_arrival + m_offsetMs) % day + day) % day);
    }
    (m_lines.empty() ? m_continuedTime : m_lines.back().time) = m_batchTime;
    m_stamped = true;
}
