// On Windows a GUI program has no standard error worth guarding: the messages keep the toolkit's
// own handler.

#include "stderrwriter.h"

#include <cstdio>

StderrWriter::StderrWriter(int descriptor)
    : m_descriptor(descriptor)
{}

StderrWriter::~StderrWriter() = default;

void StderrWriter::writeLine(const QByteArray &line)
{
    std::fprintf(stderr, "%s\n", line.constData());
}

bool StderrWriter::flushPending()
{
    return true;
}

qint64 StderrWriter::put(const char *, qint64 size)
{
    return size;
}

void installLogHandler()
{
    qSetMessagePattern(QStringLiteral("%{message}"));
}
