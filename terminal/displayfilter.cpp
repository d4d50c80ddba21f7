#include "displayfilter.h"

DisplayEdit displayEdit(const QByteArray &batch)
{
    DisplayEdit edit;
    // Written in place: a batch comes every millisecond while a device streams, and appending
    // byte by byte cost more than the rest of this.
    edit.text.resize(batch.size());
    char *const begin = edit.text.data();
    char *end = begin;
    for (const char byte : batch) {
        switch (byte) {
        case '\0':
        case '\r':
            // Dropping CR makes CR LF one line break.
            break;
        case '\b':
            if (end == begin)
                ++edit.erase;
            else
                --end;
            break;
        default:
            *end++ = byte;
            break;
        }
    }
    edit.text.truncate(int(end - begin));
    return edit;
}

QByteArray newestLines(const QByteArray &text, int maximumLines)
{
    if (maximumLines <= 0 || text.size() < maximumLines)
        return text;
    int from = text.size();
    for (int found = 0; found < maximumLines; ++found) {
        from = from > 0 ? text.lastIndexOf('\n', from - 1) : -1;
        if (from < 0)
            return text;
    }
    return text.mid(from);
}

LineLimitEdit limitLineLength(const QByteArray &text, int shownLength, int maximumLength)
{
    LineLimitEdit edit;
    int from = 0;
    int lineLength = shownLength;
    // Copies only when a line is too long; text of ordinary lines is shared as it is.
    bool copying = false;
    while (from <= text.size()) {
        int end = text.indexOf('\n', from);
        if (end < 0)
            end = text.size();
        const bool continuesShown = from == 0;
        // A line's mark is no character of it, and stays at its front.
        if (from < end && text.at(from) == lineStartMark) {
            if (copying)
                edit.text.append(lineStartMark);
            ++from;
        }
        const int length = end - from;
        const int excess = lineLength + length - maximumLength;
        if (excess > 0) {
            const int fromShown = qMin(excess, lineLength);
            if (continuesShown)
                edit.dropShown = fromShown;
            if (!copying) {
                edit.text = text.left(from);
                copying = true;
            }
            edit.text.append(text.constData() + from + (excess - fromShown),
                             length - (excess - fromShown));
        } else if (copying) {
            edit.text.append(text.constData() + from, length);
        }
        if (end == text.size())
            break;
        if (copying)
            edit.text.append('\n');
        from = end + 1;
        lineLength = 0;
    }
    if (!copying)
        edit.text = text;
    return edit;
}
