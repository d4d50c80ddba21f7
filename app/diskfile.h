#pragma once

#include <QString>
#include <QtGlobal>

// What the device log asks of the system about the file it keeps open: which file it is, so
// that a file removed or replaced under it is noticed, and getting its data onto the disk.
// Defined once per platform, in diskfile_unix.cpp and diskfile_win.cpp.

// Which file a name or an open file is: the same for one file under any of its names, and
// different for a new file put in its place.
struct FileIdentity
{
    // The system said which file it is.
    bool known = false;
    // The name names nothing (any more).
    bool missing = false;
    quint64 volume = 0;
    quint64 file = 0;

    bool isSameFileAs(const FileIdentity &other) const
    {
        return known && other.known && volume == other.volume && file == other.file;
    }
};

// descriptor is what QFile::handle() returns.
FileIdentity identityOfOpenFile(int descriptor);
FileIdentity identityOfPath(const QString &fileName);

// Returns once what was written through descriptor is on the disk: why it is not, empty when
// it is.
QString syncToDisk(int descriptor);
