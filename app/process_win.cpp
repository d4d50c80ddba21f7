// On Windows a GUI program has no standard error worth guarding and no termination signals:
// the log keeps the toolkit's own handler and nothing is watched.

#include "logwriter.h"
#include "quitsignals.h"

#include <cstdio>

LogWriter::LogWriter(int descriptor)
    : m_descriptor(descriptor)
{}

LogWriter::~LogWriter() = default;

void LogWriter::writeLine(const QByteArray &line)
{
    std::fprintf(stderr, "%s\n", line.constData());
}

bool LogWriter::flushPending()
{
    return true;
}

qint64 LogWriter::put(const char *, qint64 size)
{
    return size;
}

void installLogHandler()
{
    qSetMessagePattern(QStringLiteral("%{message}"));
}

QuitSignals::QuitSignals(QObject *parent)
    : QObject(parent)
{}

QuitSignals::~QuitSignals() = default;

void QuitSignals::readSignals()
{}
