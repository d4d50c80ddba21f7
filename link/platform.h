#pragma once

#include <QString>
#include <QStringList>

// What each platform supplies to the device link; defined once per platform in
// platform_unix.cpp or platform_win.cpp, chosen by the build.

// The port names of every Tarquel device present right now, in the platform's order; empty when
// there is none. Holds no state between calls.
QStringList findDevicePorts();

// The name under which the operating system opens the port that discovery called name.
QString systemPortName(const QString &name);

// What the system can tell about a port that failed for good while it was open.
enum class PortLoss { Unknown, WentAway, HungUp };
PortLoss portLoss(const QString &systemName, qintptr handle);

// Serial port locks. Before opening a port, a Unix program creates a file LCK..<name> in a lock
// folder naming its process; Windows has none (the system refuses a second open by itself).
struct PortLock
{
    QString file; // empty when no lock file names a process
    qint64 pid = 0;
    // The process lives (for this very process: one of its ports holds the lock).
    bool live = false;
    // A live holder as "name (process PID)", or "process PID" when the system does not tell.
    QString holder;
    // Why the lock of an ended process could not be removed; empty otherwise.
    QString removeError;
};

// Looks at every lock file of the port: removes those whose process has ended, and tells of the
// first one a live process holds, or else of the first that names an ended process and could not
// be removed. A file that names no process is left alone: its writer may not have finished.
PortLock checkPortLock(const QString &systemName);

// The Unix side of that check. The files that may lock the port, one per lock folder, in the
// order the serial library tries the folders.
QStringList portLockFiles(const QString &systemName);
// The process a lock file's content names: a decimal PID, alone or followed by blanks and a line
// end (the HDB form "%10d\n" puts blanks in front), or on the first of several lines (QLockFile's
// "pid\nprogram\nhost\n..."); 0 for any other content.
qint64 lockFileProcess(const QByteArray &content);
