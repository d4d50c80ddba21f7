#include "displayfilter.h"

DisplayEdit displayEdit(const QByteArray &batch)
{
    DisplayEdit edit;
    edit.text.reserve(batch.size());
    for (const char byte : batch) {
        switch (byte) {
        case '\0':
        case '\r':
            // Dropping CR makes CR LF one line break.
            break;
        case '\b':
            if (edit.text.isEmpty())
                ++edit.erase;
            else
                edit.text.chop(1);
            break;
        default:
            edit.text.append(byte);
            break;
        }
    }
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
