#pragma once

#include "common/pace.h"

#include <QByteArray>
#include <QCoreApplication>
#include <QString>

#include <deque>
#include <memory>

class QIODevice;

// What is still to go to the device, in the order it was given, and how far each part has got:
// typed keys, paced strings, and files read a piece at a time. It says what to write next and
// what to wait for after it, and keeps the count a send's progress shows. It knows no port, so
// that the order and the pace are the same with any channel, or none.
class SendQueue
{
    Q_DECLARE_TR_FUNCTIONS(SendQueue)

public:
    // What the sender waits for after a write, before it asks for the next step.
    enum class Wait {
        // Nothing: the next step follows at once.
        None,
        // The byte to be written to the port, for at most the step's waitMs.
        UntilWritten,
        // The whole of waitMs, however soon the byte is written.
        Whole,
    };

    // How a file stopped short.
    struct ReadFailure
    {
        QString name;
        // The bytes of it given out before it failed, of its size when it was queued (negative
        // for one read to its end).
        qint64 sent = 0;
        qint64 size = 0;
        // In the system's words, or "the file ended early".
        QString reason;
    };

    struct Step
    {
        enum class Action {
            // Nothing is left to send.
            Idle,
            // A paced byte is next, but the port has no room for it yet.
            WaitForRoom,
            // Write bytes, then wait as said.
            Write,
            // A file could not be read further; the rest of it has been dropped.
            ReadFailed,
        };
        Action action = Action::Idle;
        QByteArray bytes;
        Wait wait = Wait::None;
        int waitMs = 0;
        ReadFailure failure;
    };

    // A key's bytes, written in one go, with no wait after them.
    void addTyped(const QByteArray &bytes);
    // A paste or a function key's string, one byte at a time with the pace's wait after each.
    void addPaced(const QByteArray &bytes, const Pace &pace);
    // The size bytes of source, read a piece at a time as they are needed and paced like a
    // paste: as far as the source was when it was queued, or to its end when size is 0 or less
    // (a file under /proc reads as empty but has content). name is what a failure calls it.
    void addFile(std::shared_ptr<QIODevice> source, qint64 size, const QString &name,
                 const Pace &pace);

    bool isEmpty() const;
    // What to do next; room says whether the port can take a paced byte now. A paced part
    // leaves the queue only at the step after its last byte, so that what is queued behind it
    // (a key typed meanwhile) waits out the wait after that byte too. After a line end (a LF,
    // or a CR that the part does not follow with a LF) the pace's line delay is waited whole.
    Step next(bool room);
    // The write of the last step failed: the rest of its part is dropped.
    void dropCurrent();
    // Drops every paced part, files too; typed keys stay, in their order.
    void dropPaced();
    void clear();

    // The bytes given to send since the queue was last idle, less those dropped; negative while
    // a file is read to its end.
    qint64 total() const;

private:
    struct Part
    {
        bool typed = false;
        QByteArray bytes;
        int next = 0;
        Pace pace;
        // Where the rest of a file comes from, and how much of it is still to be read: negative
        // while it is read to its end.
        std::shared_ptr<QIODevice> source;
        qint64 unread = 0;
        QString name;
        qint64 size = 0;
        qint64 read = 0;
        // Why the source could not be read further, told at the step after its last byte.
        ReadFailure failure;

        bool openEnded() const { return unread < 0; }
        // What is still to be given out of it, as far as it is known.
        qint64 left() const;
    };

    void add(Part part);
    // Whether part has a byte left, reading the next piece of its source when it needs one.
    bool refill(Part &part);
    // What to wait for after byte, just taken from part.
    void setWait(Step &step, Part &part, char byte);

    std::deque<Part> m_parts;
    qint64 m_total = 0;
};
