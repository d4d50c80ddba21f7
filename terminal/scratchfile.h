#pragma once

#include <QString>
#include <QtGlobal>

// A file of this process's own for bytes that do not fit in memory: no other program can open it
// by a name, and nothing of it is left once the process ends, however it ends. It is read and
// written by position, never mapped, so that what it holds never counts as the process's memory.
// Defined once per platform, in scratchfile_unix.cpp and scratchfile_win.cpp.
class ScratchFile
{
public:
    ScratchFile() = default;
    ~ScratchFile();
    ScratchFile(const ScratchFile &) = delete;
    ScratchFile &operator=(const ScratchFile &) = delete;

    // Makes a new, empty file in folder, which must exist; false, and errorString() says why,
    // when it cannot.
    bool open(const QString &folder);
    bool isOpen() const { return m_handle != invalidHandle; }
    void close();

    // Every byte, or false and errorString() says why (a write that stops short is a failure).
    bool write(qint64 position, const char *data, qint64 count);
    bool read(qint64 position, char *data, qint64 count) const;
    // Empties the file, which gives its disk the space back.
    bool clear();
    // How long the file is, and what is free on its disk; -1 when that cannot be told.
    qint64 size() const;
    qint64 freeSpace() const;

    QString errorString() const { return m_error; }

private:
    static constexpr qintptr invalidHandle = -1;

    qintptr m_handle = invalidHandle;
    // The folder, where the platform asks for free space by path.
    QString m_folder;
    mutable QString m_error;
};
