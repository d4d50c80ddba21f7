#pragma once

#include <QByteArray>
#include <QMutex>

// Writes whole lines to a descriptor without ever waiting for it, so that a reader that stops
// draining standard error cannot freeze the window: a line the descriptor cannot take now is
// dropped and counted, and "N lines dropped" is written once it takes lines again. A reader
// that has gone makes writes fail; they never end the program.
class StderrWriter
{
public:
    explicit StderrWriter(int descriptor);
    ~StderrWriter();
    StderrWriter(const StderrWriter &) = delete;
    StderrWriter &operator=(const StderrWriter &) = delete;

    // line comes without its line feed.
    void writeLine(const QByteArray &line);

private:
    // Hands over what is pending; false when the descriptor cannot take it now.
    bool flushPending();
    qint64 put(const char *data, qint64 size);

    int m_descriptor = -1;
    // A second, non-blocking opening of the same pipe or terminal, when one was made.
    int m_ownDescriptor = -1;
    bool m_socket = false;
    QByteArray m_pending;
    qint64 m_dropped = 0;
    QMutex m_mutex;
};

// Sends every message of the program to standard error through a StderrWriter, one plain line
// each, and keeps a broken pipe from ending the program. Called once, before the application
// object exists.
void installLogHandler();
